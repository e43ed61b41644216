#include "port_table.h"

#include <cstring>

namespace port_device {

// Static storage: zeroed at process start and kept until its end.
port_entry port_table[table_capacity];
int scanned_count;
int picked_list[table_capacity];
int picked_count;

void copy_text(char* dst, int dst_size, const char* src) {
    if (dst == nullptr || dst_size <= 0) {
        return;
    }
    int length = 0;
    if (src != nullptr) {
        while (length < dst_size - 1 && src[length] != '\0') {
            dst[length] = src[length];
            ++length;
        }
    }
    dst[length] = '\0';
}

int append_entry(int port_number, const char* port_name, const char* device_name, const char* device_name2) {
    if (scanned_count < 0 || scanned_count >= table_capacity) {
        return -1;
    }
    const int index = scanned_count;
    port_entry& entry = port_table[index];
    entry.port_number = port_number;
    copy_text(entry.port_name, port_name_size, port_name);
    copy_text(entry.port_device_name, device_name_size, device_name);
    copy_text(entry.port_device_name2, device_name_size, device_name2);
    scanned_count = index + 1;
    return index;
}

void reset_port_device_state() {
    std::memset(port_table, 0, sizeof port_table);
    std::memset(picked_list, 0, sizeof picked_list);
    scanned_count = 0;
    picked_count = 0;
}

}  // namespace port_device
