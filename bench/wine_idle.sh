#!/usr/bin/env bash
# Processor use of the Windows reader under Wine while it waits on a quiet receiver: the reader's
# process and the prefix's wineserver together, over SECONDS, repeated RUNS times.
# usage: wine_idle.sh WINE_RUN PREFIX ARCH READER_EXE GPS_SIMULATOR [SECONDS [RUNS]]
set -u
runner=$1 prefix=$2 arch=$3 reader=$4 simulator=$5 seconds=${6:-10} runs=${7:-3}
here="$(cd "$(dirname "$0")" && pwd)"
. "$here/../tests/windows/wine_devices.sh"

work="$(mktemp -d)"
sim_pid=""
finish() {
  [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null
  wine_devices_end
  rm -rf "$work"
}
wine_devices_begin "$runner" "$prefix" "$arch" || { rc=$?; rm -rf "$work"; exit "$rc"; }
trap finish EXIT

printf '%s\n' '$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A' >"$work/rmc.nmea"
"$simulator" --replay "$work/rmc.nmea" --repeat --interval-ms 100 >"$work/sim.out" 2>&1 &
sim_pid=$!
for _ in $(seq 50); do grep -q '^pty: ' "$work/sim.out" && break; sleep 0.1; done
pty="$(sed -n 's/^pty: //p' "$work/sim.out")"
[ -n "$pty" ] || { echo "simulator did not start"; exit 1; }

wine_devices_add_port 'USB\VID_067B&PID_2303\5&1&0&1' 'Prolific USB-to-Serial Comm Port' \
  'Prolific USB-to-Serial Comm Port (COM3)' 'USB\VID_067B&PID_2303&REV_0300'
wine_devices_add_map '\Device\ProlificSerial0' COM3
wine_devices_link_com 3 "$pty"
wine_devices_apply

# The wineserver of this prefix: the one whose environment names it (others may serve other prefixes).
server_pid=""
find_server() {
  local pid
  server_pid=""
  for pid in $(pgrep wineserver); do
    if tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qx "WINEPREFIX=$prefix"; then server_pid=$pid; fi
  done
}

cpu_ns() {  # processor time of the given processes, in nanoseconds
  local total=0 pid t
  for pid in "$@"; do
    t=$(cut -d' ' -f1 "/proc/$pid/schedstat" 2>/dev/null || echo 0)
    total=$((total + t))
  done
  echo "$total"
}

figures=()
for run in $(seq "$runs"); do
  rm -f "$work/keys" && mkfifo "$work/keys"
  # Started directly (the runner execs Wine's loader), so $! is the reader's own process.
  "$runner" "$prefix" "$arch" "$reader" <"$work/keys" >"$work/reader.out" 2>&1 &
  reader_pid=$!
  exec {keys}>"$work/keys"
  for _ in $(seq 300); do grep -q 'baud_rate' "$work/reader.out" && break; sleep 0.1; done
  if ! grep -q 'baud_rate' "$work/reader.out"; then
    echo "the reader did not reach its reading loop:"; cat "$work/reader.out"
    exec {keys}>&-; wait "$reader_pid"; exit 1
  fi
  sleep 1
  if grep -q '^Error' "$work/reader.out"; then
    echo "the reader did not open its port:"; cat "$work/reader.out"
    exec {keys}>&-; wait "$reader_pid"; exit 1
  fi
  find_server
  start_ns=$(cpu_ns "$reader_pid" $server_pid)
  start_s=$(date +%s.%N)
  sleep "$seconds"
  end_ns=$(cpu_ns "$reader_pid" $server_pid)
  end_s=$(date +%s.%N)
  figures+=("$(echo "scale=4; ($end_ns - $start_ns) / 10000000 / ($end_s - $start_s)" | bc)")
  printf '\033' >&"$keys"
  exec {keys}>&-
  wait "$reader_pid"
done

sorted=($(printf '%s\n' "${figures[@]}" | sort -g))
n=${#sorted[@]}
printf '%-34s min %s  median %s  max %s %% of a core  (n=%d; target <= 1%%)\n' \
  "idle CPU under Wine ($arch)" "${sorted[0]}" "${sorted[$((n / 2))]}" "${sorted[$((n - 1))]}" "$n"
[ -n "$server_pid" ] || echo "  (the prefix's wineserver was not found: the figure is the reader's alone)"
