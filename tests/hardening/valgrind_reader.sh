#!/usr/bin/env bash
# The simulated reader from start to result under valgrind's memcheck: no invalid access, no use of
# uninitialised memory and no leak (definite, indirect or possible) may be reported.
# usage: valgrind_reader.sh VALGRIND POSITION_READER_SIM GPS_SIMULATOR
set -u
valgrind="$1" reader="$2" simulator="$3"

dir="$(mktemp -d)"
sim_pid=""
cleanup() {
  [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null
  rm -rf "$dir"
}
trap cleanup EXIT

# A Prolific adapter on ttyUSB0 (COM33), laid out as the kernel does.
usb="$dir/root/sys/devices/pci0000:00/0000:00:14.0/usb1/1-1"
port="$usb/1-1:1.0/ttyUSB0"
driver="$dir/root/sys/bus/usb-serial/drivers/pl2303"
mkdir -p "$port/tty/ttyUSB0" "$driver" "$dir/root/sys/class/tty" "$dir/dev"
printf '067b\n' >"$usb/idVendor"
printf '2303\n' >"$usb/idProduct"
printf 'Prolific Technology Inc.\n' >"$usb/manufacturer"
printf 'USB-Serial Controller\n' >"$usb/product"
printf '00\n' >"$usb/1-1:1.0/bInterfaceNumber"
ln -s "$driver" "$port/driver"
ln -s "$port/tty/ttyUSB0" "$dir/root/sys/class/tty/ttyUSB0"
ln -s "$port" "$port/tty/ttyUSB0/device"

"$simulator" --link "$dir/dev/ttyUSB0" --scenario --no-fix 2 --fixes 3 --others --interval-ms 50 --repeat \
  >"$dir/simulator.out" 2>&1 &
sim_pid=$!
for _ in $(seq 100); do
  grep -q '^pty: ' "$dir/simulator.out" 2>/dev/null && break
  sleep 0.1
done
grep -q '^pty: ' "$dir/simulator.out" || { echo "simulator did not start"; cat "$dir/simulator.out"; exit 1; }

# Standard input at its end: the final prompt returns at once.
timeout 120 "$valgrind" --quiet --error-exitcode=99 --leak-check=full \
  --show-leak-kinds=definite,indirect,possible --errors-for-leak-kinds=definite,indirect,possible \
  --track-origins=yes --log-file="$dir/memcheck.log" \
  "$reader" "$dir/root" "$dir/dev" </dev/null >"$dir/reader.out"
status=$?
cat "$dir/reader.out"
cat "$dir/memcheck.log"
if [ "$status" -ne 0 ]; then
  echo "reader under memcheck ended with status $status"
  exit 1
fi
grep -q '^Result: lat=48.117300,lng=11.516667$' "$dir/reader.out" || { echo "no result line"; exit 1; }
# The exit status already counts errors and leaks; notes about unknown ioctls are no faults.
if grep -E 'Invalid|uninitialised|lost in|Mismatched' "$dir/memcheck.log"; then
  echo "memcheck reported problems"
  exit 1
fi
echo "memcheck: no errors, no leaks"
