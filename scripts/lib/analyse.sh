#!/usr/bin/env bash
# Static analysis of the project's own code: cppcheck, and clang-tidy with the checks in .clang-tidy.
# Uses the compile commands of the native, sanitize, web and windows builds (configure them first).
set -euo pipefail
cd "$(dirname "$0")/../.."

echo "== cppcheck"
cppcheck --enable=warning,style,performance,portability --std=c++20 --error-exitcode=1 --quiet \
  --inline-suppr --suppress=missingIncludeSystem --suppress=missingInclude --suppress=useStlAlgorithm \
  --library=googletest --library=windows -D_WIN32 -DUNICODE \
  -I decoder -I ui -I cli -I resources -I tests decoder ui cli startup tests bench web
echo "cppcheck: no findings"

echo "== clang-tidy"
# A file at a time, two at once (the machine's two cores), with the compile commands of BUILD.
extra=()
tidy() { printf '%s\n' "${@:2}" | xargs -P 2 -n 1 clang-tidy --quiet -p "build/$1" "${extra[@]}"; }  # tidy BUILD FILE...
tidy native decoder/calculate.cpp decoder/hash_text_utf16.cpp decoder/hash_text_bytes.cpp decoder/calculate_test.cpp \
  decoder/text.cpp decoder/encode.cpp decoder/lines.cpp decoder/extract.cpp decoder/encode_test.cpp decoder/lines_test.cpp \
  bench/decoder_bench.cpp bench/cli_reference.cpp cli/kavlo_ipfinder.cpp cli/formats.cpp cli/writer.cpp cli/io_posix.cpp \
  cli/make_pages.cpp
tidy web web/exports.cpp
tidy sanitize decoder/calculate_fuzz.cpp decoder/encode_fuzz.cpp decoder/extract_fuzz.cpp cli/program_fuzz.cpp
# The Windows sources, parsed as MinGW-w64 sees them.
gcc_dir=$(dirname "$(i686-w64-mingw32-g++-posix -print-libgcc-file-name)")
extra=(--extra-arg=--target=i686-w64-mingw32 --extra-arg=-nostdinc++)
for dir in include/c++ include/c++/i686-w64-mingw32 include/c++/backward; do
  extra+=("--extra-arg=-isystem$gcc_dir/$dir")
done
tidy windows ui/ip_finder.cpp ui/dpi.cpp ui/main.cpp ui/dpi_test.cpp tests/ui_test.cpp tests/walkthrough.cpp \
  tests/dll_marker.cpp cli/io_windows.cpp startup/safe_start.cpp decoder/units_test.cpp
echo "clang-tidy: no findings"
