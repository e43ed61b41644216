# Registers fake serial ports in a Wine prefix for end-to-end tests; source it from bash.
#
#   . wine_devices.sh
#   wine_devices_begin RUNNER PREFIX ARCH || exit $?   # RUNNER is cmake/wine_run.sh; returns 77 to skip
#   wine_devices_add_port 'USB\VID_067B&PID_2303\6&1&0&1' 'Prolific USB-to-Serial Comm Port' \
#       'Prolific USB-to-Serial Comm Port (COM3)' 'USB\VID_067B&PID_2303&REV_0300' 'USB\VID_067B&PID_2303'
#   wine_devices_add_map '\Device\ProlificSerial0' COM3     # a serial-map value (REG_SZ, or 3rd argument dword)
#   wine_devices_link_com 3 /dev/pts/7                      # COM3 opens that file
#   wine_run PROGRAM ARGS...                                 # runs a Windows program in the prefix
#   wine_devices_end                                         # also run on exit; removes all of the above
#
# Registrations are collected in a .reg file and imported in one go before the next wine_run
# (or at wine_devices_apply), since every Wine start costs a good part of a second.
# Port devices go below HKLM\System\CurrentControlSet\Enum with the ports class GUID, which is all
# Wine's SetupAPI needs to list them as present (no Class value or driver is required). The serial
# map (HKLM\HARDWARE\DEVICEMAP\SERIALCOMM) is volatile: it lives only as long as the wineserver, and
# Wine fills it again from the host's serial devices whenever a server starts. So begin keeps one
# server alive until end, and empties the map, so that a test sees exactly the ports it registered.
# What was added is noted in a ledger inside the prefix; begin first undoes a crashed run's leftovers.
# Tests sharing a prefix must not run at once (CTest RESOURCE_LOCK wine_prefix).

wine_devices_enum='HKLM\System\CurrentControlSet\Enum'
wine_devices_map='HKLM\HARDWARE\DEVICEMAP\SERIALCOMM'
wine_devices_ports_class='{4D36E978-E325-11CE-BFC1-08002BE10318}'

wine_devices_raw() {
    "$wine_devices_runner" "$wine_devices_prefix" "$wine_devices_arch" "$@"
}

wine_devices_reg() {
    wine_devices_raw reg "$@" </dev/null >/dev/null 2>&1
}

# Imports the registrations collected so far.
wine_devices_apply() {
    [ -s "$wine_devices_pending" ] || return 0
    local windows_path="Z:${wine_devices_pending//\//\\}"
    wine_devices_reg import "$windows_path" || { echo "wine_devices: reg import failed" >&2; return 1; }
    : >"$wine_devices_pending"
}

# wine_run PROGRAM ARGS...: a Windows program (an .exe path, or reg, find...) in the test prefix.
wine_run() {
    wine_devices_apply || return 1
    wine_devices_raw "$@"
}

# Text as a quoted REGEDIT4 string, and as the comma-separated bytes of a hex() value.
wine_devices_quote() {
    local text=${1//\\/\\\\}
    printf '"%s"' "${text//\"/\\\"}"
}
wine_devices_bytes() {
    printf '%s' "$1" | od -An -tx1 -v | tr -s ' \n' ',,' | sed 's/^,//; s/,$//'
}
wine_devices_pend() {
    [ -s "$wine_devices_pending" ] || printf 'REGEDIT4\n' >"$wine_devices_pending"
    printf '%s\n' "$@" >>"$wine_devices_pending"
}

# Removes every value of the serial map; Wine may add its own values while its services start.
wine_devices_clear_map() {
    local attempt
    for attempt in 1 2 3 4 5 6 7 8 9 10; do
        wine_devices_reg delete "$wine_devices_map" /va /f
        sleep 0.3
        if ! wine_devices_raw reg query "$wine_devices_map" </dev/null 2>/dev/null | grep -q 'REG_'; then
            return 0
        fi
    done
    echo "wine_devices: the serial map keeps values it was not given" >&2
    return 1
}

# Undoes what the ledger lists, last first.
wine_devices_undo() {
    [ -f "$wine_devices_ledger" ] || return 0
    local kind what old
    tac "$wine_devices_ledger" | while IFS=$'\t' read -r kind what old; do
        case "$kind" in
            port) wine_devices_reg delete "$wine_devices_enum\\$what" /f ;;
            link) rm -f "$wine_devices_prefix/dosdevices/com$what"
                  [ -z "$old" ] || ln -s "$old" "$wine_devices_prefix/dosdevices/com$what" ;;
        esac
    done
    rm -f "$wine_devices_ledger"
}

# wine_devices_begin RUNNER PREFIX ARCH: 0 when ready, 77 when this machine cannot run the programs.
wine_devices_begin() {
    wine_devices_runner=$1 wine_devices_prefix=$2 wine_devices_arch=$3
    wine_devices_ledger=$wine_devices_prefix/wine_devices.ledger
    wine_devices_pending=$wine_devices_prefix/wine_devices.pending.reg
    local rc=0
    wine_devices_raw reg query 'HKLM\HARDWARE' </dev/null >/dev/null 2>&1 || rc=$?
    if [ "$rc" = 77 ]; then
        echo "SKIP: Wine cannot run $wine_devices_arch programs here"
        return 77
    fi
    [ "$rc" = 0 ] || { echo "wine_devices: Wine does not answer (status $rc)" >&2; return 1; }

    # A Windows program that waits for input on a pipe keeps the server (and the map) alive.
    local keeper_pipe=$wine_devices_prefix/wine_devices.keeper.$$
    rm -f "$keeper_pipe"
    mkfifo "$keeper_pipe" || return 1
    wine_devices_raw find "x" <"$keeper_pipe" >/dev/null 2>&1 &
    wine_devices_keeper_pid=$!
    exec {wine_devices_keeper_fd}>"$keeper_pipe"
    rm -f "$keeper_pipe"
    trap wine_devices_end EXIT

    rm -f "$wine_devices_pending"
    wine_devices_undo
    wine_devices_clear_map
}

# wine_devices_add_port KEY DESCRIPTION FRIENDLY_NAME HARDWARE_ID...: a present ports-class device.
# An empty DESCRIPTION or FRIENDLY_NAME leaves that value out (the property then cannot be read).
wine_devices_add_port() {
    local key=$1 description=$2 friendly=$3
    shift 3
    printf 'port\t%s\t\n' "$key" >>"$wine_devices_ledger"
    wine_devices_pend "" "[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Enum\\$key]" \
        "\"ClassGUID\"=\"$wine_devices_ports_class\"" "\"Class\"=\"Ports\""
    [ -z "$description" ] || wine_devices_pend "\"DeviceDesc\"=$(wine_devices_quote "$description")"
    [ -z "$friendly" ] || wine_devices_pend "\"FriendlyName\"=$(wine_devices_quote "$friendly")"
    if [ $# -gt 0 ]; then
        local bytes="" id
        for id in "$@"; do bytes="$bytes$(wine_devices_bytes "$id"),00,"; done
        wine_devices_pend "\"HardwareID\"=hex(7):${bytes}00"
    fi
}

# wine_devices_add_map NAME DATA [dword]: one serial-map value, REG_SZ unless "dword" (DATA a number);
# end removes it with the whole map.
wine_devices_add_map() {
    local value
    if [ "${3:-}" = dword ]; then value=$(printf 'dword:%08x' "$2"); else value=$(wine_devices_quote "$2"); fi
    wine_devices_pend "" "[HKEY_LOCAL_MACHINE\\HARDWARE\\DEVICEMAP\\SERIALCOMM]" \
        "$(wine_devices_quote "$1")=$value"
}

# wine_devices_link_com N PATH: COMn opens PATH (a pseudo-terminal, say); end restores the old link.
wine_devices_link_com() {
    local link=$wine_devices_prefix/dosdevices/com$1
    printf 'link\t%s\t%s\n' "$1" "$(readlink "$link" 2>/dev/null)" >>"$wine_devices_ledger"
    ln -sfn "$2" "$link"
}

wine_devices_end() {
    [ -n "${wine_devices_prefix:-}" ] || return 0
    rm -f "$wine_devices_pending"
    wine_devices_undo
    if [ -n "${wine_devices_keeper_fd:-}" ]; then
        wine_devices_reg delete "$wine_devices_map" /va /f
        exec {wine_devices_keeper_fd}>&-   # the keeper sees the end of its input and leaves
        wait "$wine_devices_keeper_pid" 2>/dev/null
        wine_devices_keeper_fd=
    fi
    trap - EXIT
    wine_devices_prefix=
}
