#!/usr/bin/env bash
# The Windows position_reader.exe from end to end under Wine: a Prolific port device registered
# in the prefix, COM3 linked to the pseudo-terminal of the (native) GPS simulator, and keys given
# through a pipe as standard input. Output is compared byte for byte (Windows line ends).
#   wine_end_to_end.sh RUNNER PREFIX ARCH POSITION_READER_EXE GPS_SIMULATOR
# Exits 0 when every scenario passes, 1 otherwise, 77 when this machine cannot run it.
set -u
runner=$1 prefix=$2 arch=$3 reader=$4 simulator=$5
. "$(dirname "$0")/../windows/wine_devices.sh"

if [ ! -x "$simulator" ]; then
    echo "SKIP: no native gps_simulator at $simulator (build the native preset first)"
    exit 77
fi
wine_devices_begin "$runner" "$prefix" "$arch" || exit $?

work=$(mktemp -d)
simulator_pid=""
reader_pid=""
keys_fd=""
cleanup() {
    stop_simulator
    [ -z "$reader_pid" ] || kill "$reader_pid" 2>/dev/null
    rm -rf "$work"
    wine_devices_end
}
trap cleanup EXIT

banner=$'GPS Latitude,Longitude read test software\r\n\r\n'
prompt=$'[hit return key to continue]\r\n'
port3=$'com_port=3 , baud_rate=38400\r\n'
data_error=$'Warning: GPS data error.\r\n'
no_fix='$GPGGA,101500.00,,,,,0,00,99.9,,,,,,*48'
fix_sw='$GPGGA,101500.00,3723.2475,S,12158.3416,W,1,07,1.1,12.0,M,-25.0,M,,*76'
rmc='$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A'
gsv='$GPGSV,2,1,08,01,40,083,46,02,17,308,41,12,07,344,39,14,22,228,45*75'
raw_no_fix="GPS Raw log: <$no_fix>"$'\r\n'
raw_fix_sw="GPS Raw log: <$fix_sw>"$'\r\n'

failures=0
fail() {
    echo "FAIL $scenario: $*"
    failures=$((failures + 1))
}

# start_simulator STREAM ARGS...: the simulator replays STREAM (lines separated by \n) on a new pty.
start_simulator() {
    printf '%s' "$1" >"$work/stream.nmea"
    shift
    "$simulator" --replay "$work/stream.nmea" --interval-ms 5 "$@" >"$work/simulator.out" 2>"$work/simulator.err" &
    simulator_pid=$!
    local i
    for i in $(seq 100); do
        grep -q '^pty: ' "$work/simulator.out" && break
        sleep 0.05
    done
    pty=$(sed -n 's/^pty: //p' "$work/simulator.out")
    [ -n "$pty" ] || { fail "the simulator did not start: $(cat "$work/simulator.err")"; return 1; }
}

stop_simulator() {
    [ -n "$simulator_pid" ] || return 0
    kill "$simulator_pid" 2>/dev/null
    wait "$simulator_pid" 2>/dev/null
    simulator_pid=""
}

# start_reader: position_reader.exe with a pipe as standard input, written through keys_fd.
start_reader() {
    wine_devices_apply || return 1
    rm -f "$work/keys" "$work/out" "$work/err"
    mkfifo "$work/keys"
    timeout 60 "$runner" "$prefix" "$arch" "$reader" <"$work/keys" >"$work/out" 2>"$work/err" &
    reader_pid=$!
    exec {keys_fd}>"$work/keys"
}

# wait_for_output TEXT: true once the output holds TEXT (within 20 seconds).
wait_for_output() {
    local i
    for i in $(seq 200); do
        grep -qF -- "$1" "$work/out" 2>/dev/null && return 0
        sleep 0.1
    done
    fail "waited in vain for: $1"
    return 1
}

type_keys() { printf '%s' "$1" >&"$keys_fd"; }
end_input() {
    [ -z "$keys_fd" ] || exec {keys_fd}>&-
    keys_fd=""
}

still_running() {
    kill -0 "$reader_pid" 2>/dev/null || fail "ended before it was asked to"
}

# finish_reader EXPECTED_OUTPUT EXPECTED_STATUS
finish_reader() {
    end_input
    local status=0
    wait "$reader_pid" || status=$?
    reader_pid=""
    printf '%s' "$1" >"$work/expected"
    if ! cmp -s "$work/expected" "$work/out"; then
        fail "output differs (expected, then actual):"
        od -c "$work/expected" | sed 's/^/  expected /'
        od -c "$work/out" | sed 's/^/  actual   /'
    fi
    [ "$status" = "$2" ] || fail "exit status $status, expected $2"
    [ ! -s "$work/err" ] || fail "wrote to the error stream: $(cat "$work/err")"
}

prolific_port() {
    wine_devices_add_port 'USB\VID_067B&PID_2303\5&2F1B1C7&0&2' 'Prolific USB-to-Serial Comm Port' \
        'Prolific USB-to-Serial Comm Port (COM3)' 'USB\VID_067B&PID_2303&REV_0300' 'USB\VID_067B&PID_2303'
    wine_devices_add_map '\Device\ProlificSerial0' COM3
}

scenario=no_port_registered
start_reader && {
    wait_for_output "$prompt" && sleep 0.3 && still_running
    type_keys x
    finish_reader "$banner"$'Error: GPS com_port not found.\r\n'"$prompt" 1
}

prolific_port

scenario=port_without_device
rm -f "$prefix/dosdevices/com3"
start_reader && {
    wait_for_output "$prompt"
    finish_reader "$banner$port3"$'Error: COM3 cannot open.\r\n'"$prompt" 1
}

scenario=position_after_data_errors
if start_simulator "$no_fix"$'\n'"$rmc"$'\n'"$no_fix"$'\n'"$gsv"$'\n'"$no_fix"$'\n'"$fix_sw"$'\n'; then
    wine_devices_link_com 3 "$pty"
    start_reader && {
        wait_for_output "$prompt" && sleep 0.3 && still_running
        type_keys $'\r'
        finish_reader "$banner$port3$raw_no_fix$data_error$raw_no_fix$data_error$raw_no_fix$data_error$raw_fix_sw"$'\r\nResult: lat=-37.387458,lng=-121.972360\r\n'"$prompt" 0
    }
    stop_simulator
fi

scenario=escape_while_other_sentences_arrive
if start_simulator "$rmc"$'\n'"$gsv"$'\n' --repeat; then
    wine_devices_link_com 3 "$pty"
    start_reader && {
        wait_for_output "$port3" && type_keys x && sleep 0.5 && still_running
        type_keys $'\x1b'
        finish_reader "$banner$port3" 0
    }
    stop_simulator
fi

[ "$failures" = 0 ] || { echo "$failures failure(s)"; exit 1; }
echo "all scenarios passed"
