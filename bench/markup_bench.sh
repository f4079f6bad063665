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

source "$(dirname "${BASH_SOURCE[0]}")/wine_env.sh"
bench_start markup_bench markup_bench render_bench

wine "$target/bench/markup_bench.exe" "${MARKUP_BENCH_ITERATIONS:-5000}" </dev/null 2>/dev/null | tr -d '\r'
wine "$target/bench/render_bench.exe" </dev/null 2>/dev/null | tr -d '\r'
