#!/usr/bin/env bash
# Builds the native preset and prints the project's figures, each beside its target:
#   GGA decoding throughput over the receiver captures and a scan over 100 sysfs tty entries;
#   the reader's idle processor use (and a never-waiting variant's), Esc and GGA latency,
#   peak memory and heap use; and, when a 64-bit Windows build exists, idle use under Wine.
# Figures are reported, never judged: the script fails only when something cannot run.
# usage: scripts/bench.sh [IDLE_SECONDS [REPETITIONS]]   (defaults 10 and 20)
# BENCH_BUILD_DIR / BENCH_WIN64_DIR select other build folders than the presets'.
set -euo pipefail
cd "$(dirname "$0")/.."
idle_seconds="${1:-10}"
repetitions="${2:-20}"

if [ -n "${BENCH_BUILD_DIR:-}" ]; then
  build="$BENCH_BUILD_DIR"
  cmake --preset native -B "$build" >/dev/null
  cmake --build "$build" -j2 --target bench_programs gps_simulator >/dev/null
else
  build=build/native
  cmake --preset native >/dev/null
  cmake --build --preset native -j2 --target bench_programs gps_simulator >/dev/null
fi
bin="$build/bin"

echo "=== decoding and scanning (Google Benchmark, 10 repetitions)"
if [ -x "$bin/decode_scan_bench" ]; then
  "$bin/decode_scan_bench" --benchmark_repetitions=10 --benchmark_report_aggregates_only=true 2>&1 |
    grep -E '^(Benchmark|-|decode|scan)' | grep -Ev '_(mean|stddev|cv) '
  echo "(targets: report lines per second; report the scan's median time)"
else
  echo "Google Benchmark is not installed: skipped"
fi

echo
echo "=== the reader on Linux"
"$bin/reader_bench" "$bin/position_reader_sim" "$bin/position_reader_spin" "$bin/position_reader_heap" \
  "$idle_seconds" "$repetitions"

echo
echo "=== the reader under Wine"
win64="${BENCH_WIN64_DIR:-build/win64}"
if [ -f "$win64/bin/position_reader.exe" ]; then
  bash bench/wine_idle.sh cmake/wine_run.sh "$(cd "$win64" && pwd)/wineprefix" win64 \
    "$(cd "$win64" && pwd)/bin/position_reader.exe" "$bin/gps_simulator" "$idle_seconds" 3 ||
    echo "could not measure under Wine (status $?)"
else
  echo "no 64-bit Windows build in $win64 (cmake --preset win64 && cmake --build --preset win64): skipped"
fi
echo "(32-bit Windows programs cannot start on machines without IA-32 emulation; the 64-bit build stands in)"
