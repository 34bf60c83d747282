#!/usr/bin/env python3
"""Writes the page: page.html with its style, its script and the module inlined, and a
Content-Security-Policy that allows that script and style by their hashes, the module's
compilation, and no connection at all. The same inputs give the same bytes.
    make_page.py WEB-DIR MODULE.wasm VERSION OUT.html"""
import base64
import hashlib
import pathlib
import sys

web, module, version, out = pathlib.Path(sys.argv[1]), pathlib.Path(sys.argv[2]), sys.argv[3], pathlib.Path(sys.argv[4])
style = (web / "page.css").read_text(encoding="utf-8")
script = (web / "page.js").read_text(encoding="utf-8").replace("@MODULE@", base64.b64encode(module.read_bytes()).decode())


def allowed(text):
    return "'sha256-" + base64.b64encode(hashlib.sha256(text.encode()).digest()).decode() + "'"


csp = (f"default-src 'none'; script-src {allowed(script)} 'wasm-unsafe-eval'; style-src {allowed(style)}; "
       "base-uri 'none'; form-action 'none'")
page = (web / "page.html").read_text(encoding="utf-8")
for name, value in (("@CSP@", csp), ("@VERSION@", version), ("@STYLE@", style), ("@SCRIPT@", script)):
    page = page.replace(name, value)
out.write_bytes(page.encode("utf-8"))
size = out.stat().st_size
if size > 32 * 1024:
    sys.exit(f"make_page.py: {out.name} is {size} bytes, more than 32 KiB")
if module.stat().st_size > 12 * 1024:
    sys.exit(f"make_page.py: the module is {module.stat().st_size} bytes, more than 12 KiB")
print(f"{out.name}: {size} bytes, the module {module.stat().st_size} bytes")
