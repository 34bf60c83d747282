#!/usr/bin/env bash
# Installs, from Debian's archive, only what this project needs and the machine lacks:
# CMake, a host compiler, GoogleTest, Google Benchmark, clang (fuzzing, sanitizers, analysis),
# cppcheck, MinGW-w64 for i686 and x86-64, Wine with its 32-bit and 64-bit parts, Xvfb, and a few
# small tools the scripts use (Wine's own fonts, ImageMagick for screenshots; for the release zip,
# wixl and msitools for the MSIs, osslsigncode and openssl for signing, faketime and uuidgen for
# reproducible packages, Python's YAML reader for checking the package manifests, and GNU time for
# the benchmarks' memory figures).
# The 32-bit part of Wine is installed everywhere, even where the kernel cannot run it:
# scripts/wine-loader finds out (and says so where the archive could not provide it).
set -euo pipefail

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "setup: run as root or install sudo" >&2; exit 1; }
  SUDO="sudo"
fi

need_i386=0
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  echo "setup: enabling the i386 architecture (for wine32)"
  $SUDO dpkg --add-architecture i386
  need_i386=1
fi

packages=(cmake make g++ clang libclang-rt-14-dev clang-tidy cppcheck googletest libgtest-dev
          libbenchmark-dev g++-mingw-w64-i686-posix binutils-mingw-w64-i686 g++-mingw-w64-x86-64-posix
          binutils-mingw-w64-x86-64 wine wine32:i386 wine64 fonts-wine xvfb imagemagick zip unzip
          wixl msitools osslsigncode openssl faketime uuid-runtime python3 python3-yaml time dpkg-dev lintian)
missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [ "$status" = "install ok installed" ] || missing+=("$p")
done

if [ "${#missing[@]}" -eq 0 ] && [ "$need_i386" -eq 0 ]; then
  echo "setup: everything is installed"
  exit 0
fi
echo "setup: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
# A mirror caught mid-sync fails one index ("File has unexpected size") while the rest are fine:
# try again, then go on with the lists apt has. The install below fails clearly if they lack a package.
for attempt in 1 2 3; do
  $SUDO apt-get update -q && break
  if [ "$attempt" -eq 3 ]; then
    echo "setup: apt-get update failed 3 times; installing from the package lists apt has" >&2
  else
    echo "setup: apt-get update failed; trying again in 15 s" >&2
    sleep 15
  fi
done
apt_install() { $SUDO apt-get install -y -q --no-install-recommends "$@"; }
apt_install "${missing[@]}" && exit 0
# The 32-bit part of Wine needs every shared i386 library at the version of its amd64 twin. Where the
# archive's i386 lists lag behind (the mirror case above), it cannot go in; the rest still can, and
# the tests then treat this host as one that cannot run 32-bit programs (scripts/wine-loader says so).
rest=()
for p in "${missing[@]}"; do [ "$p" = "wine32:i386" ] || rest+=("$p"); done
[ "${#rest[@]}" -lt "${#missing[@]}" ] || exit 1
echo "setup: the 32-bit part of Wine (wine32:i386) cannot be installed from this machine's package lists (above);" \
     "installing the rest" >&2
[ "${#rest[@]}" -eq 0 ] || apt_install "${rest[@]}"
