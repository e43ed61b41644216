#!/usr/bin/env bash
# Builds the native programs, then shows the position reader at work without any hardware:
# a simulated Prolific PL2303 adapter on ttyUSB0 (COM33) in a temporary sysfs tree, and a
# simulated GPS receiver behind it that sends three GGA sentences without a fix (with RMC and
# GSV sentences between them) and then a fix.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ -x scripts/setup.sh ]; then
  scripts/setup.sh
fi
echo "Building (native preset)..."
cmake --preset native >/dev/null
cmake --build --preset native -j2 >/dev/null
bin=build/native/bin

work=$(mktemp -d)
simulator_pid=""
cleanup() {
  if [ -n "$simulator_pid" ]; then
    kill "$simulator_pid" 2>/dev/null || true
    wait "$simulator_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# sysfs as the kernel lays out a PL2303 on ttyUSB0: the tty's device is the usb-serial port,
# two levels below the USB device that carries the vendor and product IDs.
usb=$work/root/sys/devices/pci0000:00/0000:00:14.0/usb1/1-1
port=$usb/1-1:1.0/ttyUSB0
mkdir -p "$port/tty/ttyUSB0" "$work/root/sys/class/tty" "$work/root/sys/bus/usb-serial/drivers/pl2303" "$work/dev"
echo 067b > "$usb/idVendor"
echo 2303 > "$usb/idProduct"
echo 0300 > "$usb/bcdDevice"
echo "USB-Serial Controller" > "$usb/product"
echo "Prolific Technology Inc." > "$usb/manufacturer"
echo 00 > "$usb/1-1:1.0/bInterfaceNumber"
ln -s "$work/root/sys/bus/usb-serial/drivers/pl2303" "$port/driver"
ln -s "$port" "$port/tty/ttyUSB0/device"
ln -s "$port/tty/ttyUSB0" "$work/root/sys/class/tty/ttyUSB0"

# The receiver: its pseudo-terminal appears as the fixture's ttyUSB0.
"$bin/gps_simulator" --link "$work/dev/ttyUSB0" --scenario --no-fix 3 --others --interval-ms 250 \
  >"$work/simulator.out" 2>"$work/simulator.err" &
simulator_pid=$!
for _ in $(seq 50); do
  grep -q '^pty: ' "$work/simulator.out" 2>/dev/null && break
  kill -0 "$simulator_pid" 2>/dev/null || break
  sleep 0.1
done
if ! grep -q '^pty: ' "$work/simulator.out" 2>/dev/null; then
  echo "The GPS simulator did not start:" >&2
  cat "$work/simulator.err" >&2
  exit 1
fi

echo "Simulated Prolific adapter on ttyUSB0 (COM33), receiver on $(sed -n 's/^pty: //p' "$work/simulator.out")."
echo "Running the position reader (Esc stops it early):"
echo "----------------------------------------------------------------"
status=0
if [ -t 0 ]; then
  "$bin/position_reader_sim" "$work/root" "$work/dev" || status=$?
else
  # No keyboard to answer the prompt: give it an input that has ended.
  "$bin/position_reader_sim" "$work/root" "$work/dev" </dev/null || status=$?
fi
echo "----------------------------------------------------------------"
echo "The position reader ended with status $status."
exit "$status"
