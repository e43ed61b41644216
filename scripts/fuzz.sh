#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, address and undefined-behaviour sanitizers) and runs each
# for SECONDS (default 20). Seeds: the committed fuzz/corpus/<target>/ inputs, plus the receiver
# captures in ../shared/nmea beside the checkout when that folder exists (read in place, never
# copied into the repository). New inputs found go to the build tree's corpus folders.
# Fails on the first crash, leak or broken invariant; the failing input is kept in the build tree.
# FUZZ_BUILD_DIR selects another build folder than the preset's.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-20}"
case "$seconds" in ''|*[!0-9]*) echo "usage: $0 [SECONDS]" >&2; exit 2 ;; esac

targets=(gga_decode_fuzz find_substring_fuzz discovery_fuzz serial_lines_fuzz)

if [ -n "${FUZZ_BUILD_DIR:-}" ]; then
  build="$FUZZ_BUILD_DIR"
  cmake --preset fuzz -B "$build" >/dev/null
  cmake --build "$build" -j2 --target "${targets[@]}"
else
  build=build/fuzz
  cmake --preset fuzz >/dev/null
  cmake --build --preset fuzz -j2 --target "${targets[@]}"
fi

nmea=../shared/nmea
work="$build/fuzz-work"
mkdir -p "$work"

# Receiver captures as seeds: one file per line for the line decoders, whole logs for the stream.
line_seeds="$work/nmea-lines"
if [ -d "$nmea" ] && [ ! -d "$line_seeds" ]; then
  mkdir -p "$line_seeds"
  for log in "$nmea"/*.log; do
    split -l 1 -a 5 "$log" "$line_seeds/$(basename "$log" .log)-"
  done
fi

seeds_for() {
  [ -d "$nmea" ] || return 0
  case "$1" in
    gga_decode_fuzz|find_substring_fuzz) echo "$line_seeds" ;;
    serial_lines_fuzz) echo "$nmea" ;;
  esac
}

declare -A executions
failed=()
for target in "${targets[@]}"; do
  corpus="$work/corpus/$target"
  mkdir -p "$corpus" "$work/crashes/$target"
  extra="$(seeds_for "$target")"
  echo "=== $target: $seconds s"
  log="$work/$target.log"
  # Later folders only seed the run; new inputs land in the first. Whole captures are long:
  # the stream target cuts its inputs to a few kilobytes so it keeps a useful pace.
  if "$build/bin/$target" -max_total_time="$seconds" -print_final_stats=1 -timeout=10 -rss_limit_mb=2048 -max_len=8192 \
       -artifact_prefix="$work/crashes/$target/" "$corpus" "fuzz/corpus/$target" ${extra:+"$extra"} >"$log" 2>&1; then
    executions[$target]="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")"
  else
    executions[$target]="FAILED"
    failed+=("$target")
    grep -E -A15 '^==[0-9]+==|runtime error|deadly signal' "$log" | head -40 || true
    echo "input kept in $work/crashes/$target/, log in $log"
  fi
done

echo
printf '%-22s %s\n' target executions
for target in "${targets[@]}"; do
  printf '%-22s %s\n' "$target" "${executions[$target]}"
done
if [ ${#failed[@]} -ne 0 ]; then
  echo "FAILED: ${failed[*]}"
  exit 1
fi
