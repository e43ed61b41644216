// The OS map of serial ports (value name -> COM name), one implementation per platform.
#pragma once

namespace port_device {

enum {
    map_name_size = 256,   // names of up to 254 characters, terminated
    map_data_size = 256    // string data, terminated inside the buffer even when the OS stored none
};

// Opens the serial-port map; 0, or -1 when there is none.
int serial_map_open();
// Reads value `index`: its name into name[map_name_size], *is_string = 1 for string data (copied,
// terminated, into data[map_data_size]) else 0 with data empty. 0, or -1 past the last value or on error.
int serial_map_read(int index, char* name, int* is_string, char* data);
// Closes the map opened by serial_map_open.
void serial_map_close();

}  // namespace port_device
