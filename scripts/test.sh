#!/usr/bin/env bash
# The one test command: makes the machine ready, builds the host and the target build, starts a
# virtual display and a throwaway Wine prefix with a warm wine server, runs every test, and stops
# everything it started, also when a test fails.
#
#   scripts/test.sh            everything
#   ORVIX_SKIP_SETUP=1 ...     skip the package check (a machine already set up)
#   CTEST_ARGS="-R md5" ...    passed on to both ctest runs
#   ORVIX_BUILD_DIR=out ...    build trees under out/host and out/target (default build/)
set -uo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
jobs=$(nproc)

if [ "${ORVIX_SKIP_SETUP:-0}" != 1 ]; then
  bash scripts/setup.sh || { echo "test: setup failed"; exit 1; }
fi

build() {  # build DIR [cmake args...]
  local dir=$1; shift
  cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >"$dir.configure.log" 2>&1 ||
    { cat "$dir.configure.log"; return 1; }
  cmake --build "$dir" -j "$jobs"
}
out="${ORVIX_BUILD_DIR:-build}"
mkdir -p "$out"
echo "== host build"
build "$out/host" || exit 1
echo "== target build"
build "$out/target" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" || exit 1

# Everything below is torn down on exit, whatever happens.
work=$(mktemp -d /tmp/orvix-test.XXXXXX)
xvfb_pid=""
cleanup() {
  if [ -n "${WINEPREFIX:-}" ] && [ -d "$WINEPREFIX" ]; then
    wineserver -k >/dev/null 2>&1 || true
    wineserver -w >/dev/null 2>&1 || true
  fi
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" >/dev/null 2>&1
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

display=90
while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do display=$((display + 1)); done
Xvfb ":$display" -screen 0 1280x1024x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
export DISPLAY=":$display"

export WINEPREFIX="$work/prefix"
export WINEDEBUG=-all
# No Mono/Gecko prompts, and no menu or desktop entries on the host for shortcuts the tests make.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
echo "== wine prefix $WINEPREFIX"
wineboot -i </dev/null >"$work/wineboot.log" 2>&1
# A new prefix links the user's Desktop, Documents and the like to the Unix home folder: make them
# folders of the prefix, so that what the tests create stays inside it.
for link in "$WINEPREFIX"/drive_c/users/*/*; do
  if [ -L "$link" ]; then rm -f "$link" && mkdir -p "$link"; fi
done
# Warm server, output sent away: otherwise its children keep ctest's pipe open.
wineserver -p </dev/null >/dev/null 2>&1
wine cmd /c exit </dev/null >/dev/null 2>&1

status=0
echo "== host tests"
(cd "$out/host" && ctest --output-on-failure -j "$jobs" ${CTEST_ARGS:-}) || status=1
echo "== target tests (under Wine)"
(cd "$out/target" && ctest --output-on-failure ${CTEST_ARGS:-}) || status=1

if [ $status -eq 0 ]; then echo "test: all passed"; else echo "test: FAILED"; fi
exit $status
