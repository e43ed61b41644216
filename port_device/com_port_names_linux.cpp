#include "com_port_names.h"

#include <cstdio>
#include <cstring>

namespace port_device {

namespace {

struct tty_family {
    const char* prefix;
    int first_com;
};

// Each family holds 32 ports; the order fixes the COM ranges.
const tty_family tty_families[] = {
    {"ttyS", 1},
    {"ttyUSB", 33},
    {"ttyACM", 65},
};
const int family_size = 32;

// Reads "0".."31" without a leading zero and with nothing behind; -1 otherwise.
int parse_tty_index(const char* text)
{
    if (text[0] < '0' || text[0] > '9') return -1;
    if (text[1] == '\0') return text[0] - '0';
    if (text[0] == '0' || text[1] < '0' || text[1] > '9' || text[2] != '\0') return -1;
    int value = (text[0] - '0') * 10 + (text[1] - '0');
    return value < family_size ? value : -1;
}

}  // namespace

int com_number_for_tty(const char* tty_name)
{
    if (tty_name == nullptr) return -1;
    for (const tty_family& family : tty_families) {
        size_t prefix_length = std::strlen(family.prefix);
        if (std::strncmp(tty_name, family.prefix, prefix_length) != 0) continue;
        // "ttyS" is a prefix of no other family name, so the first match decides.
        int index = parse_tty_index(tty_name + prefix_length);
        return index < 0 ? -1 : family.first_com + index;
    }
    return -1;
}

int tty_for_com_number(int port_number, char* out)
{
    if (out == nullptr) return -1;
    for (const tty_family& family : tty_families) {
        if (port_number >= family.first_com && port_number < family.first_com + family_size) {
            std::snprintf(out, com_name_size, "%s%d", family.prefix, port_number - family.first_com);
            return 0;
        }
    }
    return -1;
}

}  // namespace port_device
