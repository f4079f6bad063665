# Shared set-up of the benchmark scripts that run target programs under Wine. Sourced, not run.
#
#   bench_start NAME TARGET...
#
# builds TARGETs in $target (ORVIX_BUILD_DIR/target, default build/target; configured first when
# it does not exist yet), makes a work folder $work, and prepares Wine: WINEDEBUG=-all, the
# prefix in WINEPREFIX when one is set, else a throwaway prefix inside $work, and a warm Wine
# server whose children do not hold the script's output open. On exit the work folder goes, the
# throwaway prefix's server is stopped, and bench_on_exit runs first when the script defines it.
#
# BENCH_CPU=N runs the Wine server (of a throwaway prefix) and every command started through
# bench_run on CPU N only.

bench_start() {
  local name="$1"
  shift
  root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
  target="$root/${ORVIX_BUILD_DIR:-build}/target"
  if [ ! -f "$target/build.ninja" ]; then
    cmake -S "$root" -B "$target" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" >/dev/null
  fi
  cmake --build "$target" --target "$@" >/dev/null

  work=$(mktemp -d "/tmp/orvix-$name.XXXXXX")
  bench_own_prefix=0
  trap bench_finish EXIT

  export WINEDEBUG=-all
  if [ -z "${WINEPREFIX:-}" ]; then
    export WINEPREFIX="$work/prefix"
    bench_own_prefix=1
    echo "$name: creating a throwaway Wine prefix"
    bench_run wineboot -i </dev/null >/dev/null 2>&1
  fi
  # Started up front so that its start is not inside anything timed. Already running: fine.
  bench_run wineserver -p </dev/null >/dev/null 2>&1 || true
  bench_run wine cmd /c exit </dev/null >/dev/null 2>&1 || true
}

# Runs a command, on CPU BENCH_CPU when that is set.
bench_run() {
  if [ -n "${BENCH_CPU:-}" ]; then
    taskset -c "$BENCH_CPU" "$@"
  else
    "$@"
  fi
}

bench_finish() {
  if declare -F bench_on_exit >/dev/null; then bench_on_exit || true; fi
  if [ "${bench_own_prefix:-0}" = 1 ]; then
    wineserver -k >/dev/null 2>&1 || true
    wineserver -w >/dev/null 2>&1 || true
  fi
  [ -n "${work:-}" ] && rm -rf "$work"
}
