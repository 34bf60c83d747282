#!/usr/bin/env python3
"""Walks through the web page as the window's walkthrough does, in headless Chromium: types the
example hash, presses Enter, prints what "IP and port" shows, and photographs the page, with the
focus on Calculate, in the light and the dark colour scheme and in forced colours; then the page
with scripts off and with WebAssembly removed.
    web-walkthrough.py PAGE.html SCREENSHOT.png     (and SCREENSHOT-dark.png, -forced, -noscript, -nomodule)"""
import pathlib
import sys
import time

from chromium import chromium
from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys

page, screenshot = pathlib.Path(sys.argv[1]).resolve(), pathlib.Path(sys.argv[2])
named = lambda name: screenshot.with_name(f"{screenshot.stem}-{name}.png") if name else screenshot  # noqa: E731


def photograph(driver, name, what):
    # The whole page, Find in text and Encode too: as tall a window as the page is.
    driver.set_window_size(640, 560)
    tall = driver.execute_script("return document.documentElement.scrollHeight")
    driver.set_window_size(640, 560 + tall - driver.execute_script("return window.innerHeight"))
    driver.save_screenshot(str(named(name)))
    print(f"Screenshot of the page ({what}): {named(name)}")


with chromium("--hide-scrollbars", "--window-size=640,560") as driver:
    for scheme, feature, value in (("", "prefers-color-scheme", "light"), ("dark", "prefers-color-scheme", "dark"),
                                   ("forced", "forced-colors", "active")):
        driver.execute_cdp_cmd("Emulation.setEmulatedMedia", {"features": [{"name": feature, "value": value}]})
        driver.get(page.as_uri())
        deadline = time.monotonic() + 120
        while not driver.execute_script("return document.documentElement.dataset.ready"):
            if time.monotonic() > deadline:
                sys.exit("the page's module did not load")
            time.sleep(0.02)
        driver.switch_to.active_element.send_keys("0100A8C01F90", Keys.ENTER)
        if not scheme:
            print("User hash number: 0100A8C01F90")
            print("IP and port:     ", driver.find_element(By.ID, "txtIPPort").get_attribute("value"))
        driver.switch_to.active_element.send_keys(Keys.TAB, Keys.TAB)  # to Calculate, as a keyboard user
        photograph(driver, scheme, "forced colours" if scheme == "forced" else value)
    driver.execute_cdp_cmd("Emulation.setEmulatedMedia", {"features": []})
    driver.execute_cdp_cmd("Emulation.setScriptExecutionDisabled", {"value": True})
    driver.get(page.as_uri())
    photograph(driver, "noscript", "scripts off")
    driver.execute_cdp_cmd("Emulation.setScriptExecutionDisabled", {"value": False})
    driver.execute_cdp_cmd("Page.addScriptToEvaluateOnNewDocument", {"source": "delete globalThis.WebAssembly"})
    driver.get(page.as_uri())
    photograph(driver, "nomodule", "no WebAssembly")
