#!/usr/bin/env bash
# Builds every flavour and runs every test: native, native under sanitizers, and the Windows
# builds under Wine (32-bit where this machine can start 32-bit programs, 64-bit always),
# and a short run of every fuzz target.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

failed=()
for preset in native sanitize win32 win64; do
  echo "=== $preset"
  log=build/$preset-build.log
  mkdir -p build
  if ! { cmake --preset "$preset" >"$log" 2>&1 &&
         cmake --build --preset "$preset" -j2 >>"$log" 2>&1; }; then
    tail -n 40 "$log"
    failed+=("$preset")
  elif ! ctest --preset "$preset" -j2; then
    failed+=("$preset")
  fi
done

# A short smoke run of every fuzz target; scripts/fuzz.sh SECONDS runs them longer.
echo "=== fuzz"
scripts/fuzz.sh 20 || failed+=(fuzz)

if [ ${#failed[@]} -ne 0 ]; then
  echo "FAILED: ${failed[*]}"
  exit 1
fi
echo "All builds and tests passed."
