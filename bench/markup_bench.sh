#!/usr/bin/env bash
# Markup parsing speed (CXmlMarkup against pugixml, same run) and the cost of decoding and drawing
# a 462 x 312 PNG, both as the program runs them: 32-bit Windows builds under Wine.
#
#   bench/markup_bench.sh                       builds build/target's benchmarks if needed
#   ORVIX_BUILD_DIR=out bench/markup_bench.sh   uses out/target
#   WINEPREFIX=/some/prefix ...                 uses that prefix instead of a throwaway one
#   MARKUP_BENCH_ITERATIONS=20000 ...           parses per contender and round (default 5000)
#
# The programs need no display. Not part of the tests.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
target="$root/${ORVIX_BUILD_DIR:-build}/target"

if [ ! -f "$target/build.ninja" ]; then
  cmake -S "$root" -B "$target" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" >/dev/null
fi
cmake --build "$target" --target markup_bench render_bench >/dev/null

work=$(mktemp -d /tmp/orvix-markup-bench.XXXXXX)
own_prefix=0
cleanup() {
  if [ "$own_prefix" = 1 ]; then
    wineserver -k >/dev/null 2>&1 || true
    wineserver -w >/dev/null 2>&1 || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

export WINEDEBUG=-all
if [ -z "${WINEPREFIX:-}" ]; then
  export WINEPREFIX="$work/prefix"
  own_prefix=1
  echo "markup_bench: creating a throwaway Wine prefix"
  wineboot -i </dev/null >/dev/null 2>&1
fi
# A warm server whose children do not hold our output open.
wineserver -p </dev/null >/dev/null 2>&1 || true
wine cmd /c exit </dev/null >/dev/null 2>&1 || true

wine "$target/bench/markup_bench.exe" "${MARKUP_BENCH_ITERATIONS:-5000}" </dev/null 2>/dev/null | tr -d '\r'
wine "$target/bench/render_bench.exe" </dev/null 2>/dev/null | tr -d '\r'
