#!/usr/bin/env bash
# Static checks of the Windows binaries, no Wine needed:
#   check_binaries.sh exports OBJDUMP DLL FORMAT   the DLL exports exactly the nine names, undecorated,
#                                                  and has the given object format (pei-i386 for PE32)
#   check_binaries.sh imports OBJDUMP BIN_DIR      every .exe/.dll there imports only Windows system
#                                                  DLLs and our own, so it runs on a bare Windows
set -u
mode=$1 objdump=$2

case "$mode" in
exports)
    dll=$3 format=$4
    dump=$("$objdump" -p "$dll") || { echo "cannot read $dll"; exit 1; }
    status=0
    if ! grep -q "file format $format\$" <<<"$dump"; then
        echo "$(basename "$dll") is not '$format': $(grep -m1 'file format' <<<"$dump")"
        status=1
    fi
    # The name table lists one "[ n] name" line per exported name.
    actual=$(sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/p' <<<"$dump" |
             sed -n 's/^[[:space:]]*\[[[:space:]]*[0-9]*\][[:space:]]*//p' | sort)
    expected=$(printf '%s\n' port_device_scan port_device_pickup port_device_pickup_by_type \
        port_device_pickup_all get_how_many_port_devices get_port_number get_port_name \
        get_port_device_name get_port_device_name2 | sort)
    if [ "$actual" != "$expected" ]; then
        echo "$(basename "$dll") exports differ (- expected, + actual):"
        diff <(printf '%s\n' "$expected") <(printf '%s\n' "$actual")
        status=1
    fi
    [ "$status" = 0 ] && echo "$(basename "$dll"): $format, exports the nine names"
    exit "$status"
    ;;
imports)
    bin_dir=$3
    # Lower case; api-ms-win-* are the system's API sets.
    allowed=' kernel32.dll msvcrt.dll ucrtbase.dll ntdll.dll user32.dll gdi32.dll advapi32.dll setupapi.dll
              cfgmgr32.dll ws2_32.dll shell32.dll ole32.dll oleaut32.dll bcrypt.dll
              port_device.dll rs232_dll.dll '
    status=0 checked=0
    for file in "$bin_dir"/*.exe "$bin_dir"/*.dll; do
        [ -f "$file" ] || continue
        checked=$((checked + 1))
        dlls=$("$objdump" -p "$file" | sed -n 's/^[[:space:]]*DLL Name:[[:space:]]*//p' | tr 'A-Z' 'a-z' | tr -d '\r')
        for dll in $dlls; do
            case " $(echo $allowed) " in *" $dll "*) continue ;; esac
            case "$dll" in api-ms-win-*) continue ;; esac
            echo "$(basename "$file") imports $dll, which a bare Windows does not have"
            status=1
        done
    done
    if [ "$checked" = 0 ]; then
        echo "no .exe or .dll in $bin_dir"
        exit 1
    fi
    [ "$status" = 0 ] && echo "$checked binaries import only system DLLs and our own"
    exit "$status"
    ;;
*)
    echo "unknown mode $mode" >&2
    exit 2
    ;;
esac
