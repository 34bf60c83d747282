#!/usr/bin/env python3
"""The web page as a person uses it, in Debian's headless Chromium, opened from file:// with the
network shut: the focus at load, the window's verdicts typed and confirmed with Enter and with the
button and with Alt+C, the field's limit in UTF-16 units, the read-only output, Find in text and Encode, a paste
of 10 MB, a narrow screen, and axe's accessibility rules in both colour schemes; and the page's
promises: its Content-Security-Policy, no request attempted in a whole session, a focus indicator
that stands out in every scheme, each answer and count heard, the page without script or
WebAssembly, and a file of 200 MB opened. Expected answers come from the native program, given
the same texts.
    web_test.py PAGE.html NATIVE-KAVLO-IPFINDER [UNITTEST-ARGUMENTS...]"""
import base64
import hashlib
import json
import pathlib
import random
import re
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

from selenium.webdriver.common.action_chains import ActionChains
from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys

ROOT = pathlib.Path(__file__).resolve().parent.parent
sys.path.insert(0, str(ROOT / "scripts/lib"))
from chromium import choose_file, chromium  # noqa: E402

PAGE, NATIVE = pathlib.Path(sys.argv[1]).resolve(), sys.argv[2]
AXE = ROOT / "web/node_modules/axe-core/axe.min.js"
PATIENCE = 120  # seconds


def native(options, lines):
    """The native program's result column for each line, with these options and --tsv."""
    run = subprocess.run([NATIVE, "--tsv", *options], input="".join(f"{line}\n" for line in lines).encode(),
                         capture_output=True, check=False)
    return [line.rsplit("\t", 1)[1] for line in run.stdout.decode().splitlines()]


class Page(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        # The network shut: no proxy answers, and no name is found.
        cls.browser = chromium("--proxy-server=127.0.0.1:9", "--host-resolver-rules=MAP * ~NOTFOUND", "--window-size=800,900")
        cls.driver = cls.browser.__enter__()

    @classmethod
    def tearDownClass(cls):
        cls.browser.__exit__(None, None, None)

    def until(self, script, what):
        """Waits for the script to give something true: a wait that ends when it does, with a
        deadline only a fault reaches, however loaded the machine."""
        deadline = time.monotonic() + PATIENCE
        while not self.driver.execute_script(script):
            if time.monotonic() > deadline:
                self.fail(what)
            time.sleep(0.02)

    def open(self, page=PAGE):
        self.driver.get(page.as_uri())
        self.until("return document.documentElement.dataset.ready", "the page's module did not load")

    def field(self, name):
        return self.driver.find_element(By.ID, name)

    def heard(self):
        """As a screen reader is given them by the accessibility tree: the texts of the live regions,
        and which fields are marked invalid."""
        nodes = {node["nodeId"]: node for node in self.driver.execute_cdp_cmd("Accessibility.getFullAXTree", {})["nodes"]}
        properties = {node["nodeId"]: {p["name"]: p["value"].get("value") for p in node.get("properties", [])} for node in nodes.values()}
        text = lambda node: node.get("name", {}).get("value", "") if node["role"]["value"] == "StaticText" else \
            "".join(text(nodes[child]) for child in node.get("childIds", []) if child in nodes)
        return ([text(node) for id, node in nodes.items() if properties[id].get("live") and not node.get("ignored")],
                {node["name"]["value"] for id, node in nodes.items() if properties[id].get("invalid") == "true"})

    def type(self, name, text):
        """Types `text` as a person would, characters above U+FFFF too (which keys cannot send)."""
        element = self.field(name)
        element.clear()
        element.click()
        self.driver.execute_cdp_cmd("Input.insertText", {"text": text})

    def test_starts_with_the_focus_in_the_hash_field_and_both_fields_empty(self):
        self.open()
        self.assertEqual(self.driver.switch_to.active_element.get_attribute("id"), "txtHash")
        self.assertEqual([self.field(f).get_attribute("value") for f in ("txtHash", "txtIPPort")], ["", ""])
        self.assertEqual(self.driver.title, "Kavlo IP Finder")

    def test_gives_the_windows_verdicts_by_enter_the_button_and_alt_c(self):
        texts = ["0100A8C01F90", "0100a8c01f90", "FFFFFFFFFFFF", "000000000000", "7F0000010050", "0100A8C01F9",
                 "0100A8C01F9G", "G100A8C01F90", "0100A8 01F90", "+100A8C01F90", "0x00A8C01F90", "\uff10100A8C01F90",
                 "0100A8C01F\U0001F600", "0100A8C01F9\u00e9"]
        expected = native([], texts)
        self.assertEqual(expected[:2], ["192.168.0.1:8080"] * 2)
        self.assertEqual(expected[5:7], ["Please enter 12 digits", "Please enter hex digits"])
        self.open()
        presses = {"Enter": lambda: self.field("txtHash").send_keys(Keys.ENTER),
                   "the button": lambda: self.field("cmdCalculate").click(),
                   "Alt+C": lambda: ActionChains(self.driver).key_down(Keys.ALT).send_keys("c").key_up(Keys.ALT).perform()}
        for press, pressed in presses.items():
            for text, answer in [("", "Please enter 12 digits"), *zip(texts, expected)]:
                self.type("txtHash", text)
                pressed()
                self.assertEqual(self.field("txtIPPort").get_attribute("value"), answer, f"{text!r} by {press}")
                self.assertEqual([self.field(f).get_attribute(a) for f, a in (("calculated", "textContent"), ("txtHash", "aria-invalid"))],
                                 [answer, str(answer.startswith("Please")).lower()], f"{text!r} by {press}")
        live, invalid = self.heard()
        self.assertIn(expected[-1], live)
        self.assertEqual(invalid, {"User hash number"})

    def test_takes_twelve_utf16_units_and_refuses_a_thirteenth(self):
        self.open()
        self.type("txtHash", "0100A8C01F\U0001F600")
        self.driver.execute_cdp_cmd("Input.insertText", {"text": "0"})
        self.assertEqual(self.field("txtHash").get_attribute("value"), "0100A8C01F\U0001F600")
        self.type("txtHash", "0100A8C01F900")
        self.assertEqual(self.field("txtHash").get_attribute("value"), "0100A8C01F90")

    def test_the_output_can_be_selected_but_not_changed(self):
        self.open()
        self.field("txtHash").send_keys("0100A8C01F90", Keys.ENTER)
        output = self.field("txtIPPort")
        output.send_keys("x", Keys.BACK_SPACE, Keys.BACK_SPACE)
        self.assertEqual(output.get_attribute("value"), "192.168.0.1:8080")
        selected = self.driver.execute_script("arguments[0].select(); return window.getSelection().toString()"
                                              " || arguments[0].value.slice(arguments[0].selectionStart,"
                                              " arguments[0].selectionEnd)", output)
        self.assertEqual(selected, "192.168.0.1:8080")

    def test_finds_and_encodes_as_the_command_line_does(self):
        texts = ["hash=0100A8C01F90, then", "x0100A8C01F90 0100A8C01F90g _0100A8C01F90 0100A8C01F90AB",
                 "7f0000010050 x 0100A8C01F90", "{4167239C-7281-5977-8133-90D68B94A1A1} 7281-5977-8133-90D68B94A1A1",
                 "\u00e90100A8C01F90\u00e9 (7F0000010050)-FFFFFFFFFFFF.", "0100A8\nC01F90 FFFFFFFFFFFF"]
        run = subprocess.run([NATIVE, "--extract", "--tsv"], input="\n".join(texts).encode(), capture_output=True,
                             check=False)
        self.open()
        self.field("text").send_keys("\n".join(texts))
        self.field("findButton").click()
        self.wait_for_found()
        shown = [item.text for item in self.driver.find_elements(By.CSS_SELECTOR, "#found li")]
        self.assertEqual(shown, [line.replace("\t", " \u2192 ") for line in run.stdout.decode().splitlines()])
        self.assertEqual(shown[0], "0100A8C01F90 \u2192 192.168.0.1:8080")
        self.assertEqual([said for said in self.heard()[0] if said], [f"{len(shown)} hashes found"])  # once, at the end
        addresses = ["192.168.0.1:8080", "255.255.255.255:65535", "1.2.3.256:80", "010.0.0.1:80", "1.2.3.4"]
        for address, answer in zip(addresses, native(["--encode"], addresses)):
            self.type("address", address)
            self.field("address").send_keys(Keys.ENTER)
            self.assertEqual(self.field("hash").get_attribute("value"), answer, address)
            self.assertEqual([self.field(f).get_attribute(a) for f, a in (("encoded", "textContent"), ("address", "aria-invalid"))],
                             [answer, str(len(answer) != 12).lower()], address)

    def wait_for_found(self):
        self.until("return document.documentElement.dataset.found", "Find did not finish")

    def test_a_paste_of_ten_megabytes_shows_the_first_hashes_and_the_count_and_copies_them_all(self):
        generator = random.Random(20261210)
        lines = [f"2026-12-10 INFO user={generator.randrange(1000)} hash={generator.getrandbits(48):012X} ok"
                 for _ in range(250_000)]
        text = "\n".join(lines)
        self.assertGreater(len(text), 10_000_000)
        self.open()
        self.driver.execute_cdp_cmd("Browser.grantPermissions", {"permissions": ["clipboardReadWrite",
                                                                                 "clipboardSanitizedWrite"]})
        self.driver.execute_script("document.getElementById('text').value = arguments[0]", text)
        self.field("findButton").click()
        # Encode and Calculate while Find goes on change nothing of its answers.
        self.driver.execute_script("document.getElementById('address').value = '1.2.3.4:' + '5'.repeat(4000000)")
        self.field("encodeButton").click()
        self.type("txtHash", "0100A8C01F90")
        self.field("cmdCalculate").click()
        self.assertEqual([self.field(f).get_attribute("value") for f in ("hash", "txtIPPort")],
                         ["the port is more than 65535", "192.168.0.1:8080"])
        self.wait_for_found()
        self.assertTrue(self.field("count").text.startswith(f"{len(lines)} hashes found; the first 200 are shown"))
        self.assertEqual(len(self.driver.find_elements(By.CSS_SELECTOR, "#found li")), 200)
        self.field("copyAll").click()
        self.until("return document.getElementById('copied').textContent", "Copy all said nothing")
        self.assertEqual(self.field("copied").text, f"Copied {len(lines)} lines to the clipboard")
        copied = self.driver.execute_async_script("navigator.clipboard.readText().then(arguments[0])")
        self.assertEqual(copied.count("\n"), len(lines))
        self.assertEqual(copied.split("\n")[0], lines[0][-12 - 3:-3] + "\t" + native([], [lines[0][-15:-3]])[0])

    def test_allows_no_connection_and_attempts_none_in_a_whole_session(self):
        page = PAGE.read_text(encoding="utf-8")
        allowed = {tag: "'sha256-" + base64.b64encode(hashlib.sha256(re.search(f"<{tag}>(.*?)</{tag}>", page, re.S)[1]
                                                                         .encode()).digest()).decode() + "'"
                   for tag in ("script", "style")}
        self.assertEqual(re.search('http-equiv="Content-Security-Policy" content="([^"]*)"', page)[1],
                         f"default-src 'none'; script-src {allowed['script']} 'wasm-unsafe-eval'; "
                         f"style-src {allowed['style']}; worker-src blob:; base-uri 'none'; form-action 'none'")
        self.driver.get_log("performance"), self.driver.get_log("browser")  # what earlier tests did
        self.open()
        self.driver.execute_cdp_cmd("Browser.grantPermissions", {"permissions": ["clipboardReadWrite",
                                                                                 "clipboardSanitizedWrite"]})
        self.type("txtHash", "0100A8C01F90")
        self.field("txtHash").send_keys(Keys.ENTER)
        self.type("text", "see https://example.com/a.png <img src=//example.com/b.png> 0100A8C01F90")
        self.field("findButton").click()
        self.wait_for_found()
        self.field("copyAll").click()
        self.type("address", "192.168.0.1:8080")
        self.field("address").send_keys(Keys.ENTER)
        requests = [json.loads(entry["message"])["message"]["params"].get("request", {}).get("url")
                    for entry in self.driver.get_log("performance")
                    if json.loads(entry["message"])["message"]["method"] == "Network.requestWillBeSent"]
        self.assertEqual([url for url in requests if not url.startswith("blob:null/")], [PAGE.as_uri()])  # and the worker
        self.assertEqual([entry["message"] for entry in self.driver.get_log("browser")], [])  # none refused

    def test_shows_where_the_focus_is_at_3_to_1_and_read_only_fields_apart_in_every_scheme(self):
        # The focused control's outline, over the page's background, against that background.
        contrast = """const rgb = (colour) => colour.match(/[\\d.]+/g).map(Number), ground = rgb(getComputedStyle(document.body).backgroundColor);
            const style = getComputedStyle(document.activeElement), [r, g, b, alpha = 1] = rgb(style.outlineColor);
            const luminance = (colour) => colour.map((c) => (c /= 255) <= 0.03928 ? c / 12.92 : ((c + 0.055) / 1.055) ** 2.4)
                .reduce((sum, c, i) => sum + c * [0.2126, 0.7152, 0.0722][i], 0) + 0.05;
            const ratio = luminance([r, g, b].map((c, i) => alpha * c + (1 - alpha) * ground[i])) / luminance(ground);
            return [document.activeElement.id, style.outlineStyle, parseFloat(style.outlineWidth), Math.max(ratio, 1 / ratio)];"""
        look = ("return [...arguments].map((field) => { const style = getComputedStyle(field);"
                " return [style.backgroundColor, style.borderStyle, field.getBoundingClientRect().left]; })")
        for scheme, feature in (("light", "prefers-color-scheme"), ("dark", "prefers-color-scheme"), ("active", "forced-colors")):
            self.driver.execute_cdp_cmd("Emulation.setEmulatedMedia", {"features": [{"name": feature, "value": scheme}]})
            self.open()
            editable, read_only, address, hash_ = self.driver.execute_script(look, *map(self.field, ("txtHash", "txtIPPort", "address", "hash")))
            self.assertNotEqual(editable[:2], read_only[:2], scheme)
            self.assertEqual((editable, read_only), (address, hash_), f"{scheme}: the forms' columns and fields")
            self.type("text", "0100A8C01F90")
            self.field("findButton").click()
            self.wait_for_found()
            self.field("txtHash").click()
            seen = []
            for _ in range(10):
                control, style, width, ratio = self.driver.execute_script(contrast)
                seen.append(control)
                self.assertTrue(style != "none" and width >= 2 and ratio >= 3, f"{control}, {scheme}: {style} {width}px {ratio:.2f}:1")
                ActionChains(self.driver).send_keys(Keys.TAB).perform()
            self.assertEqual(len(set(seen)), 10, seen)
        self.driver.execute_cdp_cmd("Emulation.setEmulatedMedia", {"features": []})

    def test_says_what_it_needs_without_script_or_webassembly_and_leaves_every_control_off(self):
        controls = "return [...document.querySelectorAll('input, textarea, button')].filter((c) => !c.matches(':disabled')).length"
        try:
            for without, problem in (("Emulation.setScriptExecutionDisabled", "noscript p"), ("WebAssembly", "#problem")):
                if without == "WebAssembly":
                    self.driver.execute_cdp_cmd("Emulation.setScriptExecutionDisabled", {"value": False})
                    self.driver.execute_cdp_cmd("Page.addScriptToEvaluateOnNewDocument", {"source": "delete globalThis.WebAssembly"})
                else:
                    self.driver.execute_cdp_cmd(without, {"value": True})
                self.driver.get(PAGE.as_uri())  # which returns once the page has loaded, its module failed
                self.assertRegex(self.driver.find_element(By.CSS_SELECTOR, problem).text, "^This page (needs JavaScript|cannot work here)")
                self.assertEqual([self.driver.execute_script(controls), self.field("txtHash").get_attribute("maxlength")], [0, "12"])
        finally:
            self.driver.execute_cdp_cmd("Emulation.setScriptExecutionDisabled", {"value": False})
            self.tearDownClass()  # the script that removes WebAssembly goes with its browser
            self.setUpClass()

    def test_a_file_of_200_megabytes_opened_finds_what_the_command_line_does_and_keeps_the_page_responsive(self):
        generator = random.Random(2026)
        block = "".join(f"2026-12-10 INFO user={generator.randrange(1000)} " + (f"hash={generator.getrandbits(48):012X}"
                        if generator.random() < 0.2 else "nothing to see") + " ok\n" for _ in range(16_000)).encode()
        with tempfile.NamedTemporaryFile(suffix=".log") as log:
            for _ in range(200_000_000 // len(block) + 1):
                log.write(block)
            log.flush()
            extracted = subprocess.run([NATIVE, "--extract", "--tsv", "-f", log.name], capture_output=True, check=True).stdout.decode()
            self.open()
            self.driver.execute_script("window.slow = []; new PerformanceObserver((list) => slow.push(...list.getEntries()"
                                       ".map((task) => task.duration))).observe({ type: 'longtask' })")
            started = self.driver.execute_script("return document.documentElement.dataset.memory")
            choose_file(self.driver, "#file", log.name)
            self.wait_for_found()
        hashes = extracted.splitlines()
        self.assertGreater(len(hashes), 500_000)
        self.assertTrue(self.field("count").text.startswith(f"{len(hashes)} hashes found; the first 200 are shown"))
        self.assertEqual([item.text for item in self.driver.find_elements(By.CSS_SELECTOR, "#found li")],
                         [line.replace("\t", " \u2192 ") for line in hashes[:200]])
        self.assertEqual(self.driver.execute_script("return slow.filter((duration) => duration > 50)"), [])
        # The module's memory the same at the end as at the start, which no size of file changes.
        self.assertEqual(self.driver.execute_script("return document.documentElement.dataset.memory"), started)
        self.assertLess(int(started), 16 << 20)

    def test_fits_a_screen_320_pixels_wide(self):
        self.open()
        self.driver.set_window_size(320, 800)
        try:
            overflow = self.driver.execute_script("return document.documentElement.scrollWidth"
                                                  " - document.documentElement.clientWidth")
            self.assertLessEqual(overflow, 0)
        finally:
            self.driver.set_window_size(800, 900)

    def axe(self):
        self.driver.execute_script(AXE.read_text(encoding="utf-8"))
        result = self.driver.execute_async_script("axe.run().then(arguments[0])")
        return [violation["id"] for violation in result["violations"]]

    def test_axe_finds_nothing_in_the_light_or_the_dark(self):
        for scheme in ("light", "dark"):
            self.driver.execute_cdp_cmd("Emulation.setEmulatedMedia",
                                        {"features": [{"name": "prefers-color-scheme", "value": scheme}]})
            self.open()
            self.assertEqual(self.axe(), [], scheme)

    def test_axe_catches_a_field_without_its_label(self):
        broken = pathlib.Path(tempfile.mkdtemp()) / "broken.html"
        page = PAGE.read_text(encoding="utf-8")
        broken.write_text(page.replace('<label for="txtHash">User hash number</label>', ""), encoding="utf-8")
        self.assertNotEqual(broken.read_text(encoding="utf-8"), page)
        self.open(broken)
        self.assertIn("label", self.axe())
        shutil.rmtree(broken.parent)


if __name__ == "__main__":
    # Brief: ctest keeps the first 1024 bytes of a passing test's words. Further arguments go to
    # unittest ("-k focus"), as the seeded faults give them.
    unittest.main(argv=sys.argv[:1] + sys.argv[3:])
