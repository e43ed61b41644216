// Lists the serial ports that the port device library finds, as a first check when a port is missing.
//   port_list            every port
//   port_list TEXT       the ports whose names contain TEXT (case-sensitive)
//   port_list --type N   the ports of adapter type N
#include "port_device.h"

#include <cstdio>
#include <cstring>

namespace {

struct type_name {
    int type;
    const char* pattern;   // null for "every port"
};

const type_name adapter_types[] = {
    {port_device_type_all, nullptr},
    {port_device_type_acpi_pnp, "ACPI\\PNP"},
    {port_device_type_ftdi, "FTDIBUS"},
    {port_device_type_cp210x, "CP210x"},
    {port_device_type_prolific, "Prolific"},
    {port_device_type_cypress, "Cypress"},
    {port_device_type_arkmicro, "ArkMicro"},
};
const int adapter_type_count = static_cast<int>(sizeof adapter_types / sizeof adapter_types[0]);

void print_usage(FILE* out)
{
    std::fprintf(out,
                 "Usage: port_list [TEXT | --type N]\n"
                 "  (no argument)  list every serial port found\n"
                 "  TEXT           list the ports whose names contain TEXT (case-sensitive)\n"
                 "  --type N       list the ports of adapter type N:\n");
    for (const type_name& entry : adapter_types) {
        if (entry.pattern == nullptr) std::fprintf(out, "                   %d  every port\n", entry.type);
        else std::fprintf(out, "                   %d  names containing \"%s\"\n", entry.type, entry.pattern);
    }
}

// Reads a whole decimal number; -1 for anything else.
int parse_type(const char* text)
{
    if (text[0] == '\0' || std::strlen(text) > 3) return -1;
    int value = 0;
    for (const char* c = text; *c != '\0'; ++c) {
        if (*c < '0' || *c > '9') return -1;
        value = value * 10 + (*c - '0');
    }
    return value < adapter_type_count ? value : -1;
}

void print_picked_ports()
{
    std::printf("%-6s  %-31s  %-40s  %s\n", "Number", "Port name", "Device name", "Device name 2");
    int count = get_how_many_port_devices();
    for (int index = 0; index < count; ++index) {
        char port_name[32] = "";
        char device_name[256] = "";
        char device_name2[256] = "";
        get_port_name(index, port_name);
        get_port_device_name(index, device_name);
        get_port_device_name2(index, device_name2);
        std::printf("%-6d  %-31s  %-40s  %s\n", get_port_number(index), port_name, device_name, device_name2);
    }
}

}  // namespace

int main(int argc, char** argv)
{
    const char* text = nullptr;
    int type = port_device_type_all;
    if (argc == 2 && (std::strcmp(argv[1], "-h") == 0 || std::strcmp(argv[1], "--help") == 0)) {
        print_usage(stdout);
        return 0;
    }
    if (argc == 3 && std::strcmp(argv[1], "--type") == 0) {
        type = parse_type(argv[2]);
        if (type < 0) {
            std::fprintf(stderr, "port_list: unknown adapter type \"%s\"\n", argv[2]);
            print_usage(stderr);
            return 1;
        }
    } else if (argc == 2 && std::strncmp(argv[1], "--", 2) != 0) {
        text = argv[1];
        if (std::strlen(text) > 255) {
            std::fprintf(stderr, "port_list: TEXT is longer than 255 characters\n");
            return 1;
        }
    } else if (argc != 1) {
        print_usage(stderr);
        return 1;
    }

    int found = port_device_scan();
    if (found <= 0) {
        std::printf("No serial ports found.\n");
        return 0;
    }
    if (text != nullptr) {
        port_device_pickup(text);
        std::printf("Serial ports found: %d; those whose names contain \"%s\":\n", found, text);
    } else {
        port_device_pickup_by_type(type);
        if (adapter_types[type].pattern == nullptr)
            std::printf("Serial ports found: %d\n", found);
        else
            std::printf("Serial ports found: %d; type %d, names containing \"%s\":\n", found, type, adapter_types[type].pattern);
    }
    if (get_how_many_port_devices() == 0) {
        std::printf("No port matches.\n");
        return 0;
    }
    print_picked_ports();
    return 0;
}
