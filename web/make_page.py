#!/usr/bin/env python3
"""Writes the page: page.html with its style, its script and the module inlined, and a
Content-Security-Policy that allows that script and style by their hashes, the module's
compilation, the finder's worker made from the page's own script, and no connection at all; the
hash field's limit is the decoder's, read from its header. The same inputs give the same bytes.
    make_page.py WEB-DIR MODULE.wasm VERSION OUT.html"""
import base64
import hashlib
import pathlib
import re
import sys

web, module, version, out = pathlib.Path(sys.argv[1]), pathlib.Path(sys.argv[2]), sys.argv[3], pathlib.Path(sys.argv[4])
style = (web / "page.css").read_text(encoding="utf-8")
script = (web / "page.js").read_text(encoding="utf-8").replace("@MODULE@", base64.b64encode(module.read_bytes()).decode())


def allowed(text):
    return "'sha256-" + base64.b64encode(hashlib.sha256(text.encode()).digest()).decode() + "'"


csp = (f"default-src 'none'; script-src {allowed(script)} 'wasm-unsafe-eval'; style-src {allowed(style)}; "
       "worker-src blob:; base-uri 'none'; form-action 'none'")
hash_length = re.search(r"kHashLength = (\d+);", (web.parent / "decoder/calculate.h").read_text(encoding="utf-8"))[1]
page = (web / "page.html").read_text(encoding="utf-8")
for name, value in (("@CSP@", csp), ("@VERSION@", version), ("@HASH_LENGTH@", hash_length), ("@STYLE@", style),
                    ("@SCRIPT@", script)):
    page = page.replace(name, value)
out.write_bytes(page.encode("utf-8"))
size = out.stat().st_size
if size > 32 * 1024:
    sys.exit(f"make_page.py: {out.name} is {size} bytes, more than 32 KiB")
if module.stat().st_size > 13 * 1024:
    sys.exit(f"make_page.py: the module is {module.stat().st_size} bytes, more than 13 KiB")
print(f"{out.name}: {size} bytes, the module {module.stat().st_size} bytes")
