#!/usr/bin/env bash
# Runs a Windows program under Wine in one of the project's own prefixes, and cleans up after it.
#
#   wine-run.sh --prefix DIR [--dpi N] [--desktop WxH] [--display own|user] PROGRAM.exe [ARGS...]
#   wine-run.sh --prefix DIR --host --arch win32|win64 [options] COMMAND [ARGS...]
#
# --prefix   a Wine prefix (inside the build folder); created on first use, then reused. Its
#            architecture follows the program's: win32 for a PE32 program, win64 for PE32+.
# --fresh    start from a new prefix, for tests that must not meet what an earlier run left
# --dpi      the prefix's screen DPI (LogPixels), 96 by default
# --desktop  run inside a Wine virtual desktop of that size (draws window frames; no X window manager needed)
# --as-xp    Wine tells the program of that file name (NAME.exe) that it runs on Windows XP
#            (winxp, or winxp64 in a 64-bit prefix); may be given more than once
# --display  own: always start a private Xvfb; user: use $DISPLAY if set, else a private Xvfb.
#            Without --display the program gets no X display at all (console programs).
# --host     COMMAND is a host command to run in the prepared environment; it starts Windows
#            programs with "$KAVLO_WINE" (the loader for --arch).
#
# The program's exit code is the script's; 77 means this host cannot run the program's architecture
# (scripts/lib/wine-loader.sh says why). Whatever the script started (Xvfb, wineserver and everything in
# the prefix) is stopped when it ends: pass, fail, or killed outright, when a watchdog outside the
# script's process tree does it.
set -uo pipefail

prefix="" fresh=0 dpi=96 desktop="" display_mode="" host=0 arch="" as_xp=()
while [ $# -gt 0 ]; do
  case "$1" in
    --prefix) prefix=$2; shift 2 ;;
    --fresh) fresh=1; shift ;;
    --dpi) dpi=$2; shift 2 ;;
    --desktop) desktop=$2; shift 2 ;;
    --as-xp) as_xp+=("$2"); shift 2 ;;
    --display) display_mode=$2; shift 2 ;;
    --host) host=1; shift ;;
    --arch) arch=$2; shift 2 ;;
    --) shift; break ;;
    -*) echo "wine-run: unknown option $1" >&2; exit 2 ;;
    *) break ;;
  esac
done
[ -n "$prefix" ] && [ $# -ge 1 ] || { echo "usage: wine-run --prefix DIR [options] PROGRAM [ARGS...]" >&2; exit 2; }
if [ "$host" = 0 ]; then
  arch=$1
elif [ -z "$arch" ]; then
  echo "wine-run: --host needs --arch win32 or win64" >&2
  exit 2
fi

here=$(cd "$(dirname "$0")" && pwd)
loader_and_arch=$("$here/wine-loader.sh" "$arch")
status=$?
if [ "$status" -ne 0 ]; then
  [ "$status" -eq 77 ] && echo "wine-run: not run: $1 needs 32-bit Wine" >&2
  exit "$status"
fi
read -r loader winearch <<<"$loader_and_arch"

mkdir -p "$prefix"
export WINEPREFIX
WINEPREFIX=$(cd "$prefix" && pwd)
export WINEARCH=$winearch WINELOADER=$loader KAVLO_WINE=$loader WINEDEBUG=-all
# No Mono or Gecko prompts: the project needs neither. No menu builder: shortcuts that installers
# make stay in the prefix instead of landing in the desktop's menus.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d${WINEDLLOVERRIDES:+;$WINEDLLOVERRIDES}"
# The watchdog: it holds the prefix's lock (one run at a time per prefix: a prefix has one
# wineserver, and cleaning up stops it), and if this script dies without cleaning up, even by
# SIGKILL, it stops the prefix's wineserver and our Xvfb. It runs in a session of its own, so
# whoever kills this script's process tree or group leaves it be.
state="$WINEPREFIX.run"
ready=$(mktemp -u)
mkfifo "$ready"
setsid -f bash -c '
  prefix=$1 parent=$2 state=$3 ready=$4
  exec 9>"$prefix.lock"
  flock 9
  echo >"$ready"
  while kill -0 "$parent" 2>/dev/null; do sleep 0.2; done
  [ -f "$state" ] || exit 0
  WINEPREFIX=$prefix wineserver -k
  read -r xvfb <"$state"
  if [ -n "$xvfb" ] && grep -q Xvfb "/proc/$xvfb/cmdline" 2>/dev/null; then kill "$xvfb"; fi
  rm -f "$state"
' wine-run-watchdog "$WINEPREFIX" $$ "$state" "$ready" </dev/null >/dev/null 2>&1
read -r _ <"$ready"
rm -f "$ready"

if [ -f "$WINEPREFIX/system.reg" ] && ! grep -q "^#arch=$winearch" "$WINEPREFIX/system.reg"; then
  echo "wine-run: $WINEPREFIX is not a $winearch prefix" >&2
  exit 2
fi
# A prefix whose set-up was cut short is made again from scratch.
if [ ! -f "$WINEPREFIX/.kavlo-ready" ] || [ "$fresh" = 1 ]; then
  rm -rf "$WINEPREFIX"
  mkdir -p "$WINEPREFIX"
fi

xvfb_pid=""
echo >"$state"
cleanup() {
  wineserver -k >/dev/null 2>&1
  wineserver -w >/dev/null 2>&1
  if [ -n "$xvfb_pid" ]; then
    kill "$xvfb_pid" 2>/dev/null
    wait "$xvfb_pid" 2>/dev/null
  fi
  rm -f "$state"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

start_xvfb() {
  local fifo display_number
  fifo=$(mktemp -u)
  mkfifo "$fifo"
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fifo" </dev/null >/dev/null 2>&1 &
  xvfb_pid=$!
  echo "$xvfb_pid" >"$state"
  read -r -t 20 display_number <"$fifo"
  rm -f "$fifo"
  [ -n "$display_number" ] || { echo "wine-run: Xvfb did not start" >&2; exit 3; }
  export DISPLAY=":$display_number"
}

case "$display_mode" in
  own) start_xvfb ;;
  user) [ -n "${DISPLAY:-}" ] || start_xvfb ;;
  "") unset DISPLAY ;;
  *) echo "wine-run: --display takes own or user" >&2; exit 2 ;;
esac

# Kept between the set-up steps and the program, and gone ten seconds after its last client should
# both this script and its watchdog be killed. Helpers inherit the server's streams: detach them,
# or whoever reads our output waits forever.
wineserver -p10 </dev/null >/dev/null 2>&1

settings="dpi=$dpi desktop=$desktop xp=${as_xp[*]}"
if [ ! -f "$WINEPREFIX/.kavlo-ready" ]; then
  "$loader" wineboot --init </dev/null >/dev/null 2>&1 && touch "$WINEPREFIX/.kavlo-ready"
fi
# Wine draws the caption's buttons with its Marlett font, which it does not look for in its own
# data folder: without it the close box shows the letter "r". It goes where Windows keeps it.
marlett=/usr/share/wine/fonts/marlett.ttf
if [ -f "$marlett" ] && [ ! -f "$WINEPREFIX/drive_c/windows/Fonts/marlett.ttf" ]; then
  cp "$marlett" "$WINEPREFIX/drive_c/windows/Fonts/"
fi
if [ "$(cat "$WINEPREFIX/.kavlo-settings" 2>/dev/null)" != "$settings" ]; then
  reg="$WINEPREFIX/kavlo-settings.reg"
  {
    printf 'REGEDIT4\n\n[HKEY_CURRENT_USER\\Control Panel\\Desktop]\n"LogPixels"=dword:%08x\n\n' "$dpi"
    printf '[HKEY_CURRENT_CONFIG\\Software\\Fonts]\n"LogPixels"=dword:%08x\n\n' "$dpi"
    if [ -n "$desktop" ]; then
      printf '[HKEY_CURRENT_USER\\Software\\Wine\\Explorer]\n"Desktop"="Default"\n\n'
      printf '[HKEY_CURRENT_USER\\Software\\Wine\\Explorer\\Desktops]\n"Default"="%s"\n\n' "$desktop"
    else
      printf '[-HKEY_CURRENT_USER\\Software\\Wine\\Explorer]\n\n'
    fi
    xp=winxp
    [ "$winearch" = win64 ] && xp=winxp64
    for program in "${as_xp[@]}"; do
      printf '[HKEY_CURRENT_USER\\Software\\Wine\\AppDefaults\\%s]\n"Version"="%s"\n\n' "$program" "$xp"
    done
  } >"$reg"
  "$loader" regedit /S "$reg" </dev/null >/dev/null 2>&1
  # Restart the prefix so that nothing started during set-up keeps the old settings.
  wineserver -k >/dev/null 2>&1
  wineserver -w >/dev/null 2>&1
  wineserver -p10 </dev/null >/dev/null 2>&1
  echo "$settings" >"$WINEPREFIX/.kavlo-settings"
fi

if [ "$host" = 1 ]; then
  "$@"
else
  "$loader" "$@"
fi
status=$?
exit "$status"
