// The serial-port map from sysfs: one value per real serial tty, named by its device node,
// with its COM name as string data.
#include "serial_map_source.h"

#include "linux_sysfs.h"

#include <cstdio>

namespace port_device {

namespace {

// Snapshot taken at open, so value indexes stay put during one pass; -1 while closed.
serial_tty mapped_ports[serial_tty_capacity];
int mapped_count = -1;

}  // namespace

int serial_map_open()
{
    int count = list_serial_ttys(mapped_ports, serial_tty_capacity);
    if (count < 0) return -1;
    mapped_count = count;
    return 0;
}

int serial_map_read(int index, char* name, int* is_string, char* data)
{
    if (name == nullptr || is_string == nullptr || data == nullptr) return -1;
    if (index < 0 || index >= mapped_count) return -1;
    std::snprintf(name, map_name_size, "/dev/%s", mapped_ports[index].name);
    std::snprintf(data, map_data_size, "COM%d", mapped_ports[index].com_number);
    *is_string = 1;
    return 0;
}

void serial_map_close()
{
    mapped_count = -1;
}

}  // namespace port_device
