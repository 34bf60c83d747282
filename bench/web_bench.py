#!/usr/bin/env python3
"""The web page's speed in headless Chromium: the time from opening it to its button being ready,
Find in text on a paste of 10 MB (the first 10 MB of the command line's benchmark log), and a file
of 200 MB (its first 200 MB) opened, each beside the native kavlo-ipfinder --extract on the same
bytes. Medians of several runs.
    web_bench.py PAGE.html NATIVE-KAVLO-IPFINDER LOG"""
import pathlib
import statistics
import subprocess
import sys
import tempfile
import time

from selenium.webdriver.common.by import By

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent.parent / "scripts/lib"))
from chromium import choose_file, chromium  # noqa: E402

page, native, log = pathlib.Path(sys.argv[1]).resolve(), sys.argv[2], pathlib.Path(sys.argv[3])
text = log.read_bytes()[:10_000_000].decode(errors="replace")
text = text[:text.rfind("\n") + 1]
megabytes = len(text.encode()) / 1e6
with chromium() as driver:
    def wait_for(what):
        while not driver.execute_script(f"return document.documentElement.dataset.{what}"):
            time.sleep(0.005)
        return float(driver.execute_script(f"return document.documentElement.dataset.{what}"))

    ready = []
    for _ in range(7):
        driver.get(page.as_uri())
        ready.append(wait_for("ready"))
    finding = []
    for _ in range(5):
        # Pasted, and shown, as a person's paste is before they press Find.
        driver.execute_script("document.getElementById('text').value = arguments[0];"
                              "delete document.documentElement.dataset.found", text)
        driver.execute_async_script("requestAnimationFrame(() => requestAnimationFrame(arguments[0]))")
        driver.find_element(By.ID, "findButton").click()
        finding.append(wait_for("found") / 1000)
    count = driver.find_element(By.ID, "count").text.split()[0]
    with open(log, "rb") as whole, tempfile.NamedTemporaryFile(suffix=".log") as big:
        head = whole.read(200_000_000)
        big.write(head[:head.rfind(b"\n") + 1])
        big.flush()
        big_megabytes = big.tell() / 1e6
        opening = []
        for _ in range(3):
            driver.execute_script("delete document.documentElement.dataset.found")
            choose_file(driver, "#file", big.name)
            opening.append(wait_for("found") / 1000)
        big_count = driver.find_element(By.ID, "count").text.split()[0]
        memory = int(driver.execute_script("return document.documentElement.dataset.memory")) / (1 << 20)
        big_native = []
        for _ in range(3):
            started = time.perf_counter()
            big_found = subprocess.run([native, "--extract", "-f", big.name], capture_output=True, check=False).stdout
            big_native.append(time.perf_counter() - started)
with tempfile.NamedTemporaryFile("w", suffix=".txt") as paste:
    paste.write(text)
    paste.flush()
    native_times = []
    for _ in range(5):
        started = time.perf_counter()
        found = subprocess.run([native, "--extract", "-f", paste.name], capture_output=True, check=False).stdout
        native_times.append(time.perf_counter() - started)
assert found.count(b"\n") == int(count), "the page and the native program found other hashes"
assert big_found.count(b"\n") == int(big_count), "the page and the native program found other hashes in the file"
opened, web, ours = statistics.median(ready), statistics.median(finding), statistics.median(native_times)
print(f"  ready, from opening the page:      {opened:7.1f} ms (target under 100: {'met' if opened < 100 else 'MISSED'})")
print(f"  Find in text, {megabytes:.0f} MB, {count} hashes: {web:7.3f} s {megabytes / web:7.0f} MB/s")
print(f"  kavlo-ipfinder --extract, native:  {ours:7.3f} s {megabytes / ours:7.0f} MB/s")
print(f"  the page finds at {ours / web:.2f} the native speed (target at least 0.5: {'met' if ours / web >= 0.5 else 'MISSED'})")
web, ours = statistics.median(opening), statistics.median(big_native)
print(f"  a file opened, {big_megabytes:.0f} MB, {big_count} hashes: {web:7.3f} s {big_megabytes / web:7.0f} MB/s,"
      f" the module's memory {memory:.1f} MiB")
print(f"  kavlo-ipfinder --extract -f, native: {ours:7.3f} s {big_megabytes / ours:7.0f} MB/s")
print(f"  the page finds in a file at {ours / web:.2f} the native speed (target at least 0.5: {'met' if ours / web >= 0.5 else 'MISSED'})")
