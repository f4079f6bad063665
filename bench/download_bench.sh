#!/usr/bin/env bash
# Package download under Wine: DownloadUrlToFile (bench/download_bench.exe) against curl, both
# fetching the same 256 MiB package from the loopback package server in the same run, to a file.
# Prints both throughputs, their ratio (the program's goal: 0.8 or more) and the downloader's
# peak working set, which must stay bounded by its chunk buffer, not grow with the package.
#
# Two references of the same run show what Wine itself allows: the bare WinHTTP read loop (one
# GET read with 1 MiB reads into memory: no WinHTTP downloader can be faster), and plain Winsock
# receives of 8 KiB and of 1 MiB, the per-call cost that Wine's WinHTTP pays once per 8 KiB.
#
#   bench/download_bench.sh                       builds build/target's download_bench if needed
#   ORVIX_BUILD_DIR=out bench/download_bench.sh   uses out/target
#   WINEPREFIX=/some/prefix ...                   uses that prefix instead of a throwaway one
#   DOWNLOAD_BENCH_MIB=64 ...                     another package size
#   BENCH_CPU=0 ...                               Wine server and all clients on CPU 0 only
#
# The package server (tests/fixtures/package_server.py) listens on 127.0.0.1 only; the WinHTTP
# clients and curl reach it as their HTTP proxy, as the downloader always uses port 80. Not part
# of the tests.
set -euo pipefail

source "$(dirname "${BASH_SOURCE[0]}")/wine_env.sh"
server_pid=""
bench_on_exit() { [ -n "$server_pid" ] && kill "$server_pid" >/dev/null 2>&1; }
bench_start download_bench download_bench
program="$target/bench/download_bench.exe"
mib="${DOWNLOAD_BENCH_MIB:-256}"
runs=3

mkdir -p "$work/packages"
head -c "$((mib * 1024 * 1024))" /dev/urandom >"$work/packages/package.bin"
expected=$(md5sum "$work/packages/package.bin" | cut -d' ' -f1)

python3 "$root/tests/fixtures/package_server.py" --dir "$work/packages" >"$work/server.out" 2>&1 &
server_pid=$!
for _ in $(seq 50); do grep -q '^port ' "$work/server.out" 2>/dev/null && break; sleep 0.1; done
port=$(sed -n 's/^port //p' "$work/server.out")
[ -n "$port" ] || { echo "download_bench: the package server did not start"; cat "$work/server.out"; exit 1; }
proxy="http://127.0.0.1:$port"
url="http://127.0.0.1/files/package.bin"

# Windows path of the output file: drive Z: is the Unix root in a new prefix.
out_unix="$work/downloaded.bin"
out_windows="Z:$(echo "$out_unix" | tr / '\\')"

best() { sort -g | tail -n 1; }
field() { sed -n "s/^$1 //p" | tr -d '\r'; }

# Best MiB/s of $runs runs of download_bench.exe with the given arguments.
best_wine_rate() {
  local rates=() report
  for _ in $(seq "$runs"); do
    report=$(http_proxy="$proxy" bench_run wine "$program" "$@" </dev/null 2>/dev/null) ||
      { echo "download_bench: download_bench.exe $* failed" >&2; echo "$report" >&2; return 1; }
    rates+=("$(echo "$report" | field mib_per_s)")
  done
  printf '%s\n' "${rates[@]}" | best
}

curl_rates=()
for _ in $(seq "$runs"); do
  rm -f "$out_unix"
  rate=$(bench_run curl -s -x "$proxy" -o "$out_unix" -w '%{speed_download}' "$url")
  [ "$(md5sum "$out_unix" | cut -d' ' -f1)" = "$expected" ] || { echo "download_bench: curl got other bytes"; exit 1; }
  curl_rates+=("$(awk -v r="$rate" 'BEGIN { printf "%.1f", r / 1048576 }')")
done
curl_best=$(printf '%s\n' "${curl_rates[@]}" | best)

ours=()
peak=0
before=0
for _ in $(seq "$runs"); do
  rm -f "$out_unix"
  report=$(http_proxy="$proxy" bench_run wine "$program" "$url" "$out_windows" </dev/null 2>/dev/null)
  [ "$(md5sum "$out_unix" | cut -d' ' -f1)" = "$expected" ] ||
    { echo "download_bench: DownloadUrlToFile got other bytes"; echo "$report"; exit 1; }
  ours+=("$(echo "$report" | field mib_per_s)")
  run_peak=$(echo "$report" | field peak_working_set)
  before=$(echo "$report" | field peak_working_set_before)
  [ "$run_peak" -gt "$peak" ] && peak=$run_peak
done
rm -f "$out_unix"
ours_best=$(printf '%s\n' "${ours[@]}" | best)

winhttp_best=$(best_wine_rate --winhttp-loop "$url")
winsock_small=$(best_wine_rate --winsock-loop "$port" /files/package.bin 8192)
winsock_large=$(best_wine_rate --winsock-loop "$port" /files/package.bin 1048576)

echo "package:                         $mib MiB over loopback (best of $runs)${BENCH_CPU:+, on CPU $BENCH_CPU}"
echo "curl:                            $curl_best MiB/s"
echo "DownloadUrlToFile (Wine):        $ours_best MiB/s"
awk -v a="$ours_best" -v b="$curl_best" 'BEGIN { printf "ratio to curl:                   %.2f (goal 0.8 or more)\n", a / b }'
awk -v p="$peak" -v s="$before" -v m="$mib" 'BEGIN {
  printf "peak working set:                %.1f MiB (%.1f MiB before the download; package %d MiB)\n", p / 1048576, s / 1048576, m
  printf "growth during download:          %.2f MiB\n", (p - s) / 1048576 }'
echo "references under Wine, same run:"
echo "  bare WinHTTP read loop:        $winhttp_best MiB/s (1 MiB reads, nothing written)"
awk -v a="$ours_best" -v b="$winhttp_best" 'BEGIN { printf "  DownloadUrlToFile / that loop: %.2f\n", a / b }'
echo "  Winsock recv, 8 KiB calls:     $winsock_small MiB/s"
echo "  Winsock recv, 1 MiB calls:     $winsock_large MiB/s"
