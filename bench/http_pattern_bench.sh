#!/usr/bin/env bash
# Header pattern matcher throughput against a hand-written scan and std::wregex, measured in the
# same run (see http_pattern_bench.cpp). Builds an optimised host binary without sanitizers, so
# that the figures are the matcher's own. Not part of the tests.
#
#   bench/http_pattern_bench.sh [max megabytes, default 4]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
work=$(mktemp -d /tmp/orvix-pattern-bench.XXXXXX)
trap 'rm -rf "$work"' EXIT
g++ -std=c++17 -O2 -DNDEBUG -I"$root" "$root/bench/http_pattern_bench.cpp" "$root/net/header_pattern.cpp" \
  -o "$work/http_pattern_bench"
"$work/http_pattern_bench" "$@"
