#!/usr/bin/env bash
# Builds every flavour and runs every test: native, native under sanitizers, and the Windows
# builds under Wine (32-bit where this machine can start 32-bit programs, 64-bit always).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

failed=()
for preset in native sanitize win32 win64; do
  echo "=== $preset"
  if ! { cmake --preset "$preset" >/dev/null &&
         cmake --build --preset "$preset" -j2 >/dev/null &&
         ctest --preset "$preset" -j2; }; then
    failed+=("$preset")
  fi
done

if [ ${#failed[@]} -ne 0 ]; then
  echo "FAILED: ${failed[*]}"
  exit 1
fi
echo "All builds and tests passed."
