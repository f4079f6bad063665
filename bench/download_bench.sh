#!/usr/bin/env bash
# Package download under Wine: DownloadUrlToFile (bench/download_bench.exe) against curl, both
# fetching the same 256 MiB package from the loopback package server in the same run, to a file.
# Prints both throughputs, their ratio (the program's goal: 0.8 or more) and the downloader's
# peak working set, which must stay bounded by its chunk buffer, not grow with the package.
#
#   bench/download_bench.sh                       builds build/target's download_bench if needed
#   ORVIX_BUILD_DIR=out bench/download_bench.sh   uses out/target
#   WINEPREFIX=/some/prefix ...                   uses that prefix instead of a throwaway one
#   DOWNLOAD_BENCH_MIB=64 ...                     another package size
#
# The package server (tests/fixtures/package_server.py) listens on 127.0.0.1 only; both clients
# reach it as their HTTP proxy, as the downloader always uses port 80. Not part of the tests.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
target="$root/${ORVIX_BUILD_DIR:-build}/target"
mib="${DOWNLOAD_BENCH_MIB:-256}"
runs=3

if [ ! -f "$target/build.ninja" ]; then
  cmake -S "$root" -B "$target" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" >/dev/null
fi
cmake --build "$target" --target download_bench >/dev/null
program="$target/bench/download_bench.exe"

work=$(mktemp -d /tmp/orvix-download-bench.XXXXXX)
own_prefix=0
server_pid=""
cleanup() {
  [ -n "$server_pid" ] && kill "$server_pid" >/dev/null 2>&1
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
  echo "download_bench: creating a throwaway Wine prefix"
  wineboot -i </dev/null >/dev/null 2>&1
fi
wineserver -p </dev/null >/dev/null 2>&1 || true  # already running: fine
wine cmd /c exit </dev/null >/dev/null 2>&1 || true

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

curl_rates=()
for _ in $(seq "$runs"); do
  rm -f "$out_unix"
  rate=$(curl -s -x "$proxy" -o "$out_unix" -w '%{speed_download}' "$url")
  [ "$(md5sum "$out_unix" | cut -d' ' -f1)" = "$expected" ] || { echo "download_bench: curl got other bytes"; exit 1; }
  curl_rates+=("$(awk -v r="$rate" 'BEGIN { printf "%.1f", r / 1048576 }')")
done
curl_best=$(printf '%s\n' "${curl_rates[@]}" | best)

ours=()
peak=0
before=0
for _ in $(seq "$runs"); do
  rm -f "$out_unix"
  report=$(http_proxy="$proxy" wine "$program" "$url" "$out_windows")
  [ "$(md5sum "$out_unix" | cut -d' ' -f1)" = "$expected" ] ||
    { echo "download_bench: DownloadUrlToFile got other bytes"; echo "$report"; exit 1; }
  ours+=("$(echo "$report" | sed -n 's/^mib_per_s //p' | tr -d '\r')")
  run_peak=$(echo "$report" | sed -n 's/^peak_working_set //p' | tr -d '\r')
  before=$(echo "$report" | sed -n 's/^peak_working_set_before //p' | tr -d '\r')
  [ "$run_peak" -gt "$peak" ] && peak=$run_peak
done
ours_best=$(printf '%s\n' "${ours[@]}" | best)

echo "package:                    $mib MiB over loopback (best of $runs)"
echo "curl:                       $curl_best MiB/s"
echo "DownloadUrlToFile (Wine):   $ours_best MiB/s"
awk -v a="$ours_best" -v b="$curl_best" 'BEGIN { printf "throughput ratio:           %.2f (goal 0.8 or more)\n", a / b }'
awk -v p="$peak" -v s="$before" -v m="$mib" 'BEGIN {
  printf "peak working set:           %.1f MiB (%.1f MiB before the download; package %d MiB)\n", p / 1048576, s / 1048576, m
  printf "growth during download:     %.2f MiB\n", (p - s) / 1048576 }'
