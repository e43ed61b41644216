#include "port_class_pass.h"

#include "find_substring.h"
#include "port_class_source.h"
#include "port_table.h"

namespace port_device {

namespace {

bool is_decimal_digit(char c)
{
    return c >= '0' && c <= '9';
}

// The one or two digits right behind the letters at 1-based position `position`; 0 when there are none.
int port_number_behind(const char* friendly_name, int position)
{
    char first = friendly_name[position + 2];
    if (!is_decimal_digit(first)) return 0;
    int number = first - '0';
    char second = friendly_name[position + 3];   // within the text: `first` was not its terminator
    if (is_decimal_digit(second)) number = number * 10 + (second - '0');
    return number;
}

}  // namespace

void scan_port_class_devices()
{
    if (port_class_list_open() != 0) return;
    scanned_count = 0;
    char description[property_buffer_size];
    char friendly_name[property_buffer_size];
    char hardware_id[property_buffer_size];
    for (int index = 0; scanned_count < table_capacity; ++index) {
        description[0] = '\0';
        friendly_name[0] = '\0';
        hardware_id[0] = '\0';
        if (port_class_list_read(index, description, friendly_name, hardware_id) != 0) break;
        // A source that filled a buffer to the brim must not make us read past it.
        description[property_buffer_size - 1] = '\0';
        friendly_name[property_buffer_size - 1] = '\0';
        hardware_id[property_buffer_size - 1] = '\0';

        int position = find_substring(friendly_name, "COM");
        if (position < 0) position = find_substring(friendly_name, "com");
        if (position < 0) continue;
        append_entry(port_number_behind(friendly_name, position), description, hardware_id, "");
    }
    port_class_list_close();
}

}  // namespace port_device
