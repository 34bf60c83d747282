#!/usr/bin/env bash
# Seeds faults, one at a time, into a scratch copy of the project, and checks that the tests meant
# to catch each one fail: a test that cannot see a broken promise is found here. Each fault is one
# small change of text; the suite that should catch it is rebuilt and run. A fault that survives
# fails the run, named. Run by the test command after the web build (the page's faults use its
# module), or alone:
#   scripts/seeded-faults.sh [-k WORDS]     (only the faults whose description holds WORDS)
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
work=$root/build/seeded-faults
only=""
[ "${1:-}" = -k ] && only=$2

# A fault a line: the suite that must catch it and the file, and then, after bars, its text, the
# text it becomes, and what that breaks. The suite is a test of the native or sanitize build
# (ctest's name, and the target it is built from), the module's test of the web build likewise,
# or web:WORDS, the browser tests named so.
faults=$(cat <<'TABLE'
native:decoder_test:decoder_test decoder/calculate.h|"Please enter 12 digits"|"Please enter twelve digits"|a message: the wrong length's
native:cli_test:kavlo-ipfinder cli/kavlo_ipfinder.cpp|return found_ ? kAllGood : kSomeBad;|return kAllGood;|an exit status: --extract's when it finds nothing
native:cli_test:kavlo-ipfinder cli/kavlo_ipfinder.cpp|if (!err_.output().error().empty()|if (false && !err_.output().error().empty()|an exit status: when messages cannot be written
native:cli_test:kavlo-ipfinder decoder/text.h|kShownBytes = 64;|kShownBytes = 63;|a boundary: the bytes of an input that messages show
native:cli_test:kavlo-ipfinder cli/writer.cpp|return code < 0x20|return code < 0x1B|an escape: ESC reaching the terminal
native:cli_test:kavlo-ipfinder cli/formats.h|file.empty() ? "''" : file|file|an empty file name shown as nothing
native:cli_test:kavlo-ipfinder cli/kavlo_ipfinder.cpp|decodeStep(bytesAfter(argument, at)).length|1|an unknown option shown by half its character
native:cli_test:kavlo-ipfinder decoder/extract.cpp|dash <= 28; dash += 5|dash <= 23; dash += 5|the GUID rule: a GUID's last group taken for a hash
native:cli_test:kavlo-ipfinder decoder/classify.h|& kDigits) == kDigits;|& kDigits) != 0;|the vector finder: a line that starts with a digit taken for a hash
native:cli_test_scalar:kavlo-ipfinder-scalar decoder/classify.h|<< i % 32;|<< i % 31;|the scalar finder: bytes classified in the wrong place
native:encode_test:encode_test decoder/encode.cpp|text.size() > 1 && text[0] == '0'|text.size() > 2 && text[0] == '0'|a boundary: a two-digit octet with a leading zero encoded
native:lines_test:lines_test decoder/lines.cpp|case Mark::Utf8: std::memmove(out, out + 3, have - 3); return have - 3;|case Mark::Utf8: return have;|a UTF-8 byte-order mark read as text
native:lines_test:lines_test decoder/text.cpp|out = putUtf8(trail ? 0xFFFD : unit, out);|out = putUtf8(unit, out);|a lone surrogate counted as two units
native:lines_test:lines_test decoder/lines.cpp|const bool big = state_.mark == Mark::Utf16Big;|const bool big = state_.mark == Mark::Utf16Little;|UTF-16 read in the other byte order
native:lines_test:lines_test decoder/lines.cpp|return maybe && more ?|return maybe && more && !first.empty() ?|a text fed in chunks taken to have no mark before its first chunk
native:cli_test:kavlo-ipfinder cli/kavlo_ipfinder.cpp|bool together_ = out_.output().sameDestination(err_.output());|bool together_ = false;|messages out of order where output and messages go to one file
native:completions_test:make_pages cli/make_pages.cpp|:file:_files|:file:_nothing|zsh's completion of file names
sanitize:program_fuzz:program_fuzz cli/formats.cpp|"\", \"port\": "|"\", \"port\": 1"|--json's port written with a digit too many
sanitize:program_fuzz:program_fuzz cli/writer.cpp|>= room ? whole : used_|>= room ? used_ : used_|a writer's flush: writes that end inside a line
web:no_connection web/make_page.py|form-action 'none'")|form-action 'none'; connect-src *")|the Content-Security-Policy: connections allowed
web:focus web/page.css|:focus-visible { outline: 2px solid #0b57d0;|:focus-visible { outline: none;|the focus indicator
web:finds_and_encodes web/page.html|<p id="count" role="status">|<p id="count">|the count's live region
web:verdicts web/page.html|<p id="calculated" class="said" role="status">|<p id="calculated" class="said">|Calculate's answer heard
web:verdicts web/page.js|$(field).setAttribute('aria-invalid', String(length < 0));|$(field).setAttribute('aria-invalid', 'false');|a field that shows a message marked invalid
web:without_script web/page.html|<noscript><p class="problem">|<noscript><p class="problem" hidden>|the page without script says what it needs
web:without_script web/page.js|$('problem').hidden = false;|$('problem').hidden = true;|the page without WebAssembly says so
web:twelve web/page.html|maxlength="@HASH_LENGTH@"|data-length="@HASH_LENGTH@"|the hash field's limit before the module is made
web:focus web/page.css|color: ButtonText; border-style: dashed; }|color: ButtonText; }|read-only fields told from the others in forced colours
web:focus web/page.css|grid-template-columns: 10rem minmax|grid-template-columns: max-content minmax|the two forms' columns lined up
web:web_verdicts:kavlo_web web/exports.cpp|char* findInput() { return chunk; }|char* findInput() { return reinterpret_cast<char*>(&__heap_base); }|Find's text where Encode puts its own
TABLE
)

# The scratch copy: the project's files as they stand, without its builds.
rm -rf "$work/src"
mkdir -p "$work/src"
(cd "$root" && git ls-files -co --exclude-standard -z | xargs -0 cp --parents -t "$work/src")
cd "$work/src" || exit 1
configured=""
# Runs SUITE on the scratch copy: 0 when it passes, 1 when it fails, 2 when it cannot be built.
suite_passes() {  # suite_passes SUITE
  local kind=${1%%:*} rest=${1#*:}
  if [ "$kind" = web ] && [[ "$rest" != *:* ]]; then
    python3 web/make_page.py web "$root/build/web/kavlo_web.wasm" "$(scripts/lib/version.sh TEXT)" "$work/page.html" \
      >"$work/log" 2>&1 || return 2
    /usr/bin/python3 tests/web_test.py "$work/page.html" "$root/build/native/kavlo-ipfinder" -k "$rest" >"$work/log" 2>&1
    return
  fi
  local test=${rest%%:*} target=${rest#*:}
  if [[ " $configured " != *" $kind "* ]]; then
    # The web tests' yardstick is the project's own native program, built before this run.
    cmake --preset "$kind" -DKAVLO_FUZZ_SECONDS=60 -DKAVLO_NATIVE_CLI="$root/build/native/kavlo-ipfinder" \
      >"$work/log" 2>&1 || { cat "$work/log"; exit 1; }
    configured+=" $kind"
  fi
  cmake --build "build/$kind" --target "$target" >"$work/log" 2>&1 || return 2
  ctest --test-dir "build/$kind" -R "^$test\$" --output-on-failure >"$work/log" 2>&1
}

survived=0 caught=0
began=$(date +%s)
while IFS='|' read -r place text changed what; do
  suite=${place%% *} file=${place#* }
  [ -z "$only" ] || [[ "$what" == *"$only"* ]] || continue
  cp "$file" "$work/original"
  python3 - "$file" "$text" "$changed" <<'PY' || exit 1
import pathlib, sys
path, text, changed = pathlib.Path(sys.argv[1]), sys.argv[2], sys.argv[3]
source = path.read_text(encoding="utf-8")
if text not in source:
    sys.exit(f"seeded-faults.sh: the table's text is no longer in {path}: {text}")
path.write_text(source.replace(text, changed, 1), encoding="utf-8")
PY
  started=$(date +%s)
  suite_passes "$suite" </dev/null
  result=$?
  if [ $result = 2 ]; then
    echo "NOT BUILT: $what ($file): a fault must build, for its suite to judge it"
    tail -5 "$work/log"
    survived=$((survived + 1))
  elif [ $result = 0 ]; then
    echo "SURVIVED: $what ($file), which ${suite%%:*} ${suite#*:} did not notice"
    survived=$((survived + 1))
  else
    echo "caught in $(($(date +%s) - started)) s: $what ($file), by ${suite%%:*} ${suite#*:}"
    caught=$((caught + 1))
  fi
  cp "$work/original" "$file"
done <<<"$faults"
echo "seeded faults: $caught caught, $survived survived, in $(($(date +%s) - began)) s"
[ "$survived" = 0 ]
