#!/usr/bin/env bash
# The Windows serial code under Wine over a pseudo-terminal:
#   rs232_wine_test.sh RUNNER PREFIX ARCH PROBE
# COM5 in the prefix is linked to a pseudo-terminal that receives four GGA lines; the probe reads
# them through rs232_dll.dll, times idle calls, and then sees the terminal hang up.
# Exit 77 (skip) when Wine or python3 (which makes the terminal) is missing.
set -u
runner=$1 prefix=$2 arch=$3 probe=$4
command -v python3 >/dev/null || { echo "SKIP: python3 is needed to make a pseudo-terminal"; exit 77; }

work=$(mktemp -d)
link=$prefix/dosdevices/com5
old_link=$(readlink "$link" 2>/dev/null || true)
writer_pid=
cleanup() {
    touch "$work/stop"
    [ -z "$writer_pid" ] || wait "$writer_pid" 2>/dev/null
    rm -f "$link"
    [ -z "$old_link" ] || ln -s "$old_link" "$link"
    rm -rf "$work"
}
trap cleanup EXIT

# Make sure the prefix exists before linking into it (the runner creates it on first use).
"$runner" "$prefix" "$arch" cmd /c exit >/dev/null 2>&1
rc=$?
[ "$rc" = 77 ] && { echo "SKIP: Wine cannot run $arch programs here"; exit 77; }
mkdir -p "$prefix/dosdevices"

python3 - "$link" "$work" <<'PY' &
import os, sys, time, tty
link, work = sys.argv[1], sys.argv[2]
master, slave = os.openpty()
tty.setraw(slave)
if os.path.lexists(link):
    os.remove(link)
os.symlink(os.ttyname(slave), link)
def sentence(body):
    sum = 0
    for c in body.encode():
        sum ^= c
    return "$%s*%02X\r\n" % (body, sum)
lines = [sentence("GPGGA,120000.00,,,,,0,00,99.99,,,,,,"),
         sentence("GPRMC,120000.00,V,,,,,0.0,0.0,010125,,,A"),
         "\r\n" + "x" * 300 + "\n",
         sentence("GPGGA,120001.00,4807.0380,N,01131.0000,E,1,08,0.9,545.4,M,46.9,M,,")]
for line in lines:
    os.write(master, line.encode())
open(os.path.join(work, "ready"), "w").close()
deadline = time.time() + 120
while not os.path.exists(os.path.join(work, "stop")) and time.time() < deadline:
    time.sleep(0.05)
os.close(slave)
os.close(master)  # the reader now sees a hang-up
PY
writer_pid=$!
for _ in $(seq 100); do [ -e "$work/ready" ] && break; sleep 0.1; done
[ -e "$work/ready" ] || { echo "the pseudo-terminal writer did not start"; exit 1; }

"$runner" "$prefix" "$arch" "$probe" 5 5 >"$work/out" 2>/dev/null </dev/null &
probe_pid=$!
for _ in $(seq 600); do
    grep -q '^quiet:' "$work/out" 2>/dev/null && break
    kill -0 "$probe_pid" 2>/dev/null || break
    sleep 0.1
done
touch "$work/stop"
wait "$probe_pid"
rc=$?
tr -d '\r' <"$work/out" >"$work/out.txt"
cat "$work/out.txt"
[ "$rc" = 77 ] && exit 77

fail=0
check() {  # check PATTERN WHAT
    grep -qE "$1" "$work/out.txt" || { echo "FAIL: $2"; fail=1; }
}
check '^line: <\$GPGGA,120000\.00,,,,,0,00,99\.99,,,,,,\*[0-9A-F]{2}>$' "no-fix GGA line whole"
check '^line: <\$GPRMC,120000\.00,V,' "RMC line"
check "^line: <x{255}>$" "first 255-character piece of the long line"
check '^line: <x{45}>$' "rest of the long line"
check '^line: <\$GPGGA,120001\.00,4807\.0380,N,01131\.0000,E,1,' "fix GGA line"
check '^probe ok$' "probe checks (idle waits, hang-up, close, missing port)"
[ "$rc" = 0 ] || { echo "FAIL: probe exit status $rc"; fail=1; }
exit $fail
