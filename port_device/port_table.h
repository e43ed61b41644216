// The module's process-wide port table and selection (internal).
#pragma once

namespace port_device {

enum {
    table_capacity = 100,
    port_name_size = 32,
    device_name_size = 256
};

struct port_entry {
    int port_number;                          // 0 when no digits could be read
    char port_name[port_name_size];
    char port_device_name[device_name_size];
    char port_device_name2[device_name_size];
};

extern port_entry port_table[table_capacity];
extern int scanned_count;
extern int picked_list[table_capacity];
extern int picked_count;

// Copies src into dst (dst_size bytes), cut to dst_size - 1 characters and always terminated; a null src copies "".
void copy_text(char* dst, int dst_size, const char* src);
// Appends an entry with its texts cut to their fields; returns its index, or -1 when the table is full.
int append_entry(int port_number, const char* port_name, const char* device_name, const char* device_name2);
// Zeroes the table, counters and selection, as at process start.
void reset_port_device_state();

}  // namespace port_device
