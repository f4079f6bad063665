#!/usr/bin/env bash
# MD5 throughput of GetFileHexMd5 under Wine against the system's md5sum, on the same 256 MiB
# file in the same run. Prints both figures and their ratio (the program's goal: 0.9 or more).
#
#   bench/md5_bench.sh                       builds build/target's md5_bench if needed
#   ORVIX_BUILD_DIR=out bench/md5_bench.sh   uses out/target
#   WINEPREFIX=/some/prefix ...              uses that prefix instead of a throwaway one
#   MD5_BENCH_MIB=64 ...                     another file size
#
# Wine runs the console program without a display. Not part of the tests.
set -euo pipefail

source "$(dirname "${BASH_SOURCE[0]}")/wine_env.sh"
bench_start md5_bench md5_bench
program="$target/bench/md5_bench.exe"
mib="${MD5_BENCH_MIB:-256}"
runs=3

file="$work/data.bin"
head -c "$((mib * 1024 * 1024))" /dev/urandom >"$file"
md5sum "$file" >/dev/null  # page cache warm for both contenders

# md5sum: best of $runs, wall clock of the whole command (its start-up is negligible).
best_ns=0
for _ in $(seq "$runs"); do
  start=$(date +%s%N)
  reference=$(md5sum "$file" | cut -d' ' -f1)
  elapsed=$(($(date +%s%N) - start))
  if [ "$best_ns" = 0 ] || [ "$elapsed" -lt "$best_ns" ]; then best_ns=$elapsed; fi
done
md5sum_rate=$(awk -v b="$((mib * 1024 * 1024))" -v ns="$best_ns" 'BEGIN { printf "%.1f", b / 1048576 / (ns / 1e9) }')

output=$(wine "$program" "$(winepath -w "$file")" "$runs" </dev/null 2>/dev/null | tr -d '\r')
digest=$(sed -n 's/^digest //p' <<<"$output")
rate=$(sed -n 's/^mib_per_s //p' <<<"$output")
if [ -z "$rate" ]; then
  echo "md5_bench: the program gave no figure"; echo "$output"; exit 1
fi
if [ "$digest" != "$reference" ]; then
  echo "md5_bench: digests differ: GetFileHexMd5 $digest, md5sum $reference"; exit 1
fi

echo "file:                     $mib MiB, digest $digest"
echo "GetFileHexMd5 under Wine: $rate MiB/s (best of $runs)"
echo "md5sum:                   $md5sum_rate MiB/s (best of $runs)"
awk -v a="$rate" -v b="$md5sum_rate" 'BEGIN { printf "ratio:                    %.2f (goal 0.90 or more)\n", a / b }'
