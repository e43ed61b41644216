#include "serial_map_pass.h"

#include "port_table.h"
#include "serial_map_source.h"

namespace port_device {

namespace {

// "COM" followed by one or two digits, the first of them 1 to 9; 0 for anything else behind "COM".
int port_number_of_com_name(const char* data)
{
    char first = data[3];
    if (first < '1' || first > '9') return 0;
    int number = first - '0';
    char second = data[4];   // within the text: `first` was not its terminator
    if (second >= '0' && second <= '9') number = number * 10 + (second - '0');
    return number;
}

}  // namespace

void scan_serialcomm_map()
{
    if (serial_map_open() != 0) return;
    char name[map_name_size];
    char data[map_data_size];
    for (int index = 0;; ++index) {
        name[0] = '\0';
        data[0] = '\0';
        int is_string = 0;
        if (serial_map_read(index, name, &is_string, data) != 0) break;
        // Data that is not a string carries no COM name; no earlier value's data is reused.
        if (is_string == 0) continue;
        name[map_name_size - 1] = '\0';
        data[map_data_size - 1] = '\0';
        if (data[0] != 'C' || data[1] != 'O' || data[2] != 'M') continue;

        int number = port_number_of_com_name(data);
        bool known = false;
        for (int j = 0; j < scanned_count; ++j) {
            if (port_table[j].port_number != number) continue;
            copy_text(port_table[j].port_device_name2, device_name_size, name);
            known = true;
        }
        // A full table takes no new entry; the ports already in it still got their second name.
        if (!known) append_entry(number, data, "", name);
    }
    serial_map_close();
}

}  // namespace port_device
