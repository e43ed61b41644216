#!/usr/bin/env bash
# End-to-end check of port_device.dll's discovery under Wine, over ports registered in the prefix.
#   port_device_wine_test.sh RUNNER PREFIX ARCH probe PORT_DEVICE_PROBE_EXE
#   port_device_wine_test.sh RUNNER PREFIX ARCH list PORT_LIST_EXE
# Exits 0 on success, 1 on a mismatch, 77 when this machine cannot run the programs.
set -u
runner=$1 prefix=$2 arch=$3 mode=$4 program=$5
. "$(dirname "$0")/wine_devices.sh"
wine_devices_begin "$runner" "$prefix" "$arch" || exit $?

# Device-class side: Wine lists the Enum keys in name order (ACPI, FTDIBUS, ROOT, USB).
wine_devices_add_port 'ACPI\PNP0501\1' 'Communications Port' 'Communications Port (COM1)' \
    'ACPI\PNP0501' '*PNP0501'
wine_devices_add_port 'FTDIBUS\VID_0403+PID_6001+A50285BIA\0000' 'USB Serial Port' 'USB Serial Port (COM4)' \
    'FTDIBUS\COMPORT&VID_0403&PID_6001' 'FTDIBUS\COMPORT'
# No friendly name: the pass skips it.
wine_devices_add_port 'ROOT\PORTS\0000' 'Phantom Port' '' 'ROOT\PORTS'
# A 32-character description, kept as its first 31 characters.
wine_devices_add_port 'USB\VID_067B&PID_2303\5&2F1B1C7&0&2' 'Prolific USB-to-Serial Comm Port' \
    'Prolific USB-to-Serial Comm Port (COM3)' 'USB\VID_067B&PID_2303&REV_0300' 'USB\VID_067B&PID_2303'
# No description: stored with an empty port name; two digits behind COM.
wine_devices_add_port 'USB\VID_10C4&PID_EA60\0001' '' 'Silicon Labs CP210x USB to UART Bridge (COM12)' \
    'USB\VID_10C4&PID_EA60&REV_0100'

# Serial-map side, in the order the values are read.
wine_devices_add_map '\Device\ProlificSerial0' COM3
wine_devices_add_map '\Device\VCP0' COM4
wine_devices_add_map '\Device\Serial0' COM1
wine_devices_add_map '\Device\Serial6' COM7             # only in the map: a new entry
wine_devices_add_map 'LowerCase' com9                   # not COM: ignored
wine_devices_add_map 'NotAString' 9 dword               # not a string: ignored
wine_devices_add_map 'TooLong' "COM8$(printf 'x%.0s' $(seq 300))"   # larger than the buffer: ignored
wine_devices_add_map 'LongFits' "COM5$(printf 'y%.0s' $(seq 250))"  # 255 bytes with its NUL: kept, cut
wine_devices_add_map 'JustTooLong' "COM2$(printf 'z%.0s' $(seq 251))"  # 256 bytes with its NUL: ignored

ys=$(printf 'y%.0s' $(seq 27))

case "$mode" in
probe)
    actual=$(wine_run "$program" | tr -d '\r')
    expected=$(cat <<EOF
before scan, pickup Prolific -> 0 (count 0)
scan -> 6
right after scan -> 0 (count 0)
pickup_all -> 6 (count 6)
  0: COM1 | Communications Port | ACPI\\PNP0501 | \\Device\\Serial0
  1: COM4 | USB Serial Port | FTDIBUS\\COMPORT&VID_0403&PID_6001 | \\Device\\VCP0
  2: COM3 | Prolific USB-to-Serial Comm Por | USB\\VID_067B&PID_2303&REV_0300 | \\Device\\ProlificSerial0
  3: COM12 |  | USB\\VID_10C4&PID_EA60&REV_0100 | 
  4: COM7 | COM7 |  | \\Device\\Serial6
  5: COM5 | COM5$ys |  | LongFits
pickup_by_type 0 -> 6 (count 6)
  0: COM1 | Communications Port | ACPI\\PNP0501 | \\Device\\Serial0
  1: COM4 | USB Serial Port | FTDIBUS\\COMPORT&VID_0403&PID_6001 | \\Device\\VCP0
  2: COM3 | Prolific USB-to-Serial Comm Por | USB\\VID_067B&PID_2303&REV_0300 | \\Device\\ProlificSerial0
  3: COM12 |  | USB\\VID_10C4&PID_EA60&REV_0100 | 
  4: COM7 | COM7 |  | \\Device\\Serial6
  5: COM5 | COM5$ys |  | LongFits
pickup_by_type 1 -> 1 (count 1)
  0: COM1 | Communications Port | ACPI\\PNP0501 | \\Device\\Serial0
pickup_by_type 2 -> 1 (count 1)
  0: COM4 | USB Serial Port | FTDIBUS\\COMPORT&VID_0403&PID_6001 | \\Device\\VCP0
pickup_by_type 3 -> 0 (count 0)
pickup_by_type 4 -> 1 (count 1)
  0: COM3 | Prolific USB-to-Serial Comm Por | USB\\VID_067B&PID_2303&REV_0300 | \\Device\\ProlificSerial0
pickup_by_type 5 -> 0 (count 0)
pickup_by_type 6 -> 0 (count 0)
pickup_by_type 7 -> 0 (count 0)
pickup Prolific -> 1 (count 1)
  0: COM3 | Prolific USB-to-Serial Comm Por | USB\\VID_067B&PID_2303&REV_0300 | \\Device\\ProlificSerial0
then pickup FTDIBUS -> 2 (count 2)
  0: COM3 | Prolific USB-to-Serial Comm Por | USB\\VID_067B&PID_2303&REV_0300 | \\Device\\ProlificSerial0
  1: COM4 | USB Serial Port | FTDIBUS\\COMPORT&VID_0403&PID_6001 | \\Device\\VCP0
then pickup COM -> 4 (count 4)
  0: COM3 | Prolific USB-to-Serial Comm Por | USB\\VID_067B&PID_2303&REV_0300 | \\Device\\ProlificSerial0
  1: COM4 | USB Serial Port | FTDIBUS\\COMPORT&VID_0403&PID_6001 | \\Device\\VCP0
  2: COM7 | COM7 |  | \\Device\\Serial6
  3: COM5 | COM5$ys |  | LongFits
scan again -> 6
after second scan -> 0 (count 0)
EOF
)
    if [ "$actual" != "$expected" ]; then
        echo "port_device.dll under Wine did not yield the registered ports (- expected, + actual):"
        diff <(printf '%s\n' "$expected") <(printf '%s\n' "$actual")
        exit 1
    fi
    echo "port_device.dll under Wine yields the registered ports"
    ;;
list)
    actual=$(wine_run "$program" | tr -d '\r')
    printf '%s\n' "$actual"
    missing=0
    for name in 'Prolific USB-to-Serial Comm Por' 'USB\VID_067B&PID_2303&REV_0300' '\Device\ProlificSerial0' \
                'FTDIBUS\COMPORT&VID_0403&PID_6001' 'ACPI\PNP0501' '\Device\Serial6' 'COM7'; do
        if ! grep -qF -- "$name" <<<"$actual"; then
            echo "port_list does not list: $name"
            missing=1
        fi
    done
    exit "$missing"
    ;;
*)
    echo "unknown mode $mode" >&2
    exit 2
    ;;
esac
