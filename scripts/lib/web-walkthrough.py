#!/usr/bin/env python3
"""Walks through the web page as the window's walkthrough does, in headless Chromium: types the
example hash, presses Enter, prints what "IP and port" shows, and photographs the page in the light
and the dark colour scheme.
    web-walkthrough.py PAGE.html SCREENSHOT.png     (and SCREENSHOT-dark.png)"""
import pathlib
import sys
import time

from chromium import chromium
from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys

page, screenshot = pathlib.Path(sys.argv[1]).resolve(), pathlib.Path(sys.argv[2])
with chromium("--hide-scrollbars", "--window-size=640,560") as driver:
    for scheme, path in (("light", screenshot), ("dark", screenshot.with_name(screenshot.stem + "-dark.png"))):
        driver.execute_cdp_cmd("Emulation.setEmulatedMedia", {"features": [{"name": "prefers-color-scheme", "value": scheme}]})
        driver.get(page.as_uri())
        deadline = time.monotonic() + 120
        while not driver.execute_script("return document.documentElement.dataset.ready"):
            if time.monotonic() > deadline:
                sys.exit("the page's module did not load")
            time.sleep(0.02)
        driver.switch_to.active_element.send_keys("0100A8C01F90", Keys.ENTER)
        # The whole page, Find in text and Encode too: as tall a window as the page is.
        driver.set_window_size(640, 560)
        tall = driver.execute_script("return document.documentElement.scrollHeight")
        driver.set_window_size(640, 560 + tall - driver.execute_script("return window.innerHeight"))
        if scheme == "light":
            print("User hash number: 0100A8C01F90")
            print("IP and port:     ", driver.find_element(By.ID, "txtIPPort").get_attribute("value"))
        driver.save_screenshot(str(path))
        print(f"Screenshot of the page ({scheme}): {path}")
