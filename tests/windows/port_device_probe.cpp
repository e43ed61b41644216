// Prints what port_device.dll yields after a scan, one block per selection, so that a script can
// compare it with the ports it registered. Uses only the DLL's exported functions.
#include "port_device.h"

#include <cstdio>
#include <cstring>

namespace {

void print_selection(const char* label, int result) {
    int count = get_how_many_port_devices();
    std::printf("%s -> %d (count %d)\n", label, result, count);
    for (int index = 0; index < count; ++index) {
        char port_name[32];
        char device_name[256];
        char device_name2[256];
        std::memset(port_name, '#', sizeof port_name);
        std::memset(device_name, '#', sizeof device_name);
        std::memset(device_name2, '#', sizeof device_name2);
        int a = get_port_name(index, port_name);
        int b = get_port_device_name(index, device_name);
        int c = get_port_device_name2(index, device_name2);
        if (a != 0 || b != 0 || c != 0 || std::memchr(port_name, '\0', sizeof port_name) == nullptr ||
            std::memchr(device_name, '\0', sizeof device_name) == nullptr ||
            std::memchr(device_name2, '\0', sizeof device_name2) == nullptr) {
            std::printf("  %d: unterminated or refused name\n", index);
            continue;
        }
        std::printf("  %d: COM%d | %s | %s | %s\n", index, get_port_number(index), port_name, device_name,
                    device_name2);
    }
    // Past the end: -1, and the caller's buffer stays as it was.
    char untouched[256];
    std::memset(untouched, '#', sizeof untouched);
    int past = get_port_name(count, untouched) + get_port_device_name(count, untouched) +
               get_port_device_name2(count, untouched) + get_port_number(count) +
               get_port_number(-1) + get_port_name(-1, untouched);
    bool kept = true;
    for (char ch : untouched) kept = kept && ch == '#';
    if (past != -6 || !kept) {
        std::printf("  past the end: answered %d, buffer %s\n", past, kept ? "kept" : "changed");
    }
}

}  // namespace

int main() {
    print_selection("before scan, pickup Prolific", port_device_pickup("Prolific"));

    int scanned = port_device_scan();
    std::printf("scan -> %d\n", scanned);
    print_selection("right after scan", get_how_many_port_devices());
    print_selection("pickup_all", port_device_pickup_all());

    char label[64];
    for (int type = 0; type <= 7; ++type) {
        std::snprintf(label, sizeof label, "pickup_by_type %d", type);
        print_selection(label, port_device_pickup_by_type(type));
    }

    port_device_pickup_by_type(7);
    print_selection("pickup Prolific", port_device_pickup("Prolific"));
    print_selection("then pickup FTDIBUS", port_device_pickup("FTDIBUS"));
    print_selection("then pickup COM", port_device_pickup("COM"));

    // A second scan sees the same ports and empties the selection.
    std::printf("scan again -> %d\n", port_device_scan());
    print_selection("after second scan", get_how_many_port_devices());
    return 0;
}
