#!/usr/bin/env bash
# Installs, from Debian's archive, only what this project needs and the machine lacks: CMake, g++,
# clang, GoogleTest, Google Benchmark, cppcheck, MinGW-w64 for i686 and x86-64, Wine, Xvfb, and the
# tools the scripts use (Wine's fonts, ImageMagick, wixl and msitools, osslsigncode, openssl,
# faketime, uuidgen, Python's YAML and PE readers, lintian and dpkg-dev, GNU time, a JSON reader
# for the whole-program fuzzer, ripgrep, which the benchmark compares with, fish and zsh, whose
# completions the tests run, and man, which renders the manual for its test); for the web page, clang's WebAssembly linker and headers, Chromium,
# its WebDriver and Selenium, Node.js where there is none, and axe-core from npm (web/package-lock.json).
# Wine's 32-bit part only where the kernel runs 32-bit programs. Where the i386 lists lag behind the
# amd64 ones, shared packages (Multi-Arch: same) stand at versions they lack: under CI=true or with
# KAVLO_ALIGN_I386=1 setup puts those at the release's versions (taking their security updates
# back) and says what it changed; otherwise it prints the command, and the tests drive 64-bit only.
set -euo pipefail
lib=$(cd "$(dirname "$0")/lib" && pwd)

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "setup: run as root or install sudo" >&2; exit 1; }
  SUDO="sudo"
fi

packages=(cmake make g++ clang libclang-rt-14-dev clang-tidy cppcheck googletest libgtest-dev
          libbenchmark-dev g++-mingw-w64-i686-posix binutils-mingw-w64-i686 g++-mingw-w64-x86-64-posix
          binutils-mingw-w64-x86-64 wine wine64 fonts-wine xvfb imagemagick zip unzip wixl msitools
          osslsigncode openssl faketime uuid-runtime python3 python3-yaml python3-pefile time dpkg-dev file lintian
          nlohmann-json3-dev ripgrep fish zsh man-db
          lld-14 libc++-14-dev-wasm32 wasi-libc chromium chromium-driver python3-selenium)
# Node.js and npm, for the web page's tests, where the machine has none of its own.
command -v node >/dev/null && command -v npm >/dev/null || packages+=(nodejs npm)

# The web tests' npm packages, as the lock file pins them.
npm_packages() {
  local web
  web=$(cd "$lib/../../web" && pwd)
  if ! cmp -s "$web/package-lock.json" "$web/node_modules/.kavlo-installed" 2>/dev/null; then
    echo "setup: installing the web tests' npm packages (web/package-lock.json)"
    (cd "$web" && npm ci --no-audit --no-fund --loglevel=error && cp package-lock.json node_modules/.kavlo-installed)
  fi
}
# Whichever way the Debian part below ends well, the npm packages follow.
trap 'status=$?; [ "$status" = 0 ] && npm_packages; exit $?' EXIT
need_i386=0
if "$lib/wine-loader.sh" kernel 2>/dev/null; then
  packages+=(wine32:i386)
  if ! dpkg --print-foreign-architectures | grep -x i386 >/dev/null; then
    echo "setup: enabling the i386 architecture (for wine32)"
    $SUDO dpkg --add-architecture i386
    need_i386=1
  fi
fi
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
rest=()
for p in "${missing[@]}"; do [ "$p" = "wine32:i386" ] || rest+=("$p"); done
[ "${#rest[@]}" -lt "${#missing[@]}" ] || exit 1
[ "${#rest[@]}" -eq 0 ] || apt_install "${rest[@]}"

# wine32:i386 alone could not go in: are shared packages at versions the i386 lists lack?
skew=$("$lib/wine-loader.sh" i386-skew)
if [ -z "$skew" ]; then
  echo "setup: the 32-bit part of Wine (wine32:i386) cannot be installed (above); the rest is" >&2
  exit 0
fi
release=$(sed -n "s/^VERSION_CODENAME=//p" /etc/os-release)
# shellcheck disable=SC2207  # a package=version a word
align=(apt-get install -y -q --no-install-recommends -t "$release" --allow-downgrades wine32:i386
       $(awk '{ print $1 "=" $3 }' <<<"$skew"))
if [ "${CI:-}" != true ] && [ "${KAVLO_ALIGN_I386:-}" != 1 ]; then
  echo "setup: wine32:i386 needs $(wc -l <<<"$skew") amd64 packages at the versions of $release, which takes" \
       "their security updates back. To do that: ${SUDO:+sudo }${align[*]}, or setup with KAVLO_ALIGN_I386=1." \
       "Until then the tests drive the 64-bit build alone." >&2
  exit 0
fi
before=$(dpkg-query -W -f='${Package}:${Architecture} ${Version}\n' | sort)
$SUDO "${align[@]}"
echo "setup: installed wine32:i386 from $release, changing these packages to its versions:"
join <(echo "$before") <(dpkg-query -W -f='${Package}:${Architecture} ${Version}\n' | sort) |
  awk '$2 != $3 { print "  " $1 " " $2 " -> " $3 }'
