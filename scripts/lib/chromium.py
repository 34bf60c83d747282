"""Debian's Chromium, headless, driven through Selenium, for the web page's tests, walkthrough and
benchmark: with a profile of its own, which goes with it, and nothing of Chromium's own traffic
(as root it needs --no-sandbox)."""
import contextlib
import shutil
import tempfile

from selenium import webdriver


@contextlib.contextmanager
def chromium(*flags):
    """The driver of a headless Chromium started with these flags as well."""
    profile = tempfile.mkdtemp()
    options = webdriver.ChromeOptions()

    # Every request the page makes, and what its console says (a request its policy refused among
    # them), for the tests to read: driver.get_log("performance") and driver.get_log("browser").
    options.set_capability("goog:loggingPrefs", {"performance": "ALL", "browser": "ALL"})
    for flag in ["--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage", "--no-first-run",
                 "--disable-background-networking", "--disable-component-update", "--disable-sync",
                 f"--user-data-dir={profile}", *flags]:
        options.add_argument(flag)
    driver = webdriver.Chrome(options=options)
    try:
        yield driver
    finally:
        driver.quit()
        shutil.rmtree(profile, ignore_errors=True)


def choose_file(driver, selector, path):
    """Chooses `path` in the file input `selector`, as a person does in its dialog (which headless
    Chromium has not); the input's change event follows."""
    document = driver.execute_cdp_cmd("DOM.getDocument", {})["root"]["nodeId"]
    node = driver.execute_cdp_cmd("DOM.querySelector", {"nodeId": document, "selector": selector})["nodeId"]
    driver.execute_cdp_cmd("DOM.setFileInputFiles", {"nodeId": node, "files": [str(path)]})
