// The OS list of present devices of the ports setup class, one implementation per platform.
#pragma once

namespace port_device {

enum {
    property_buffer_size = 1024,
    property_request_size = 1023   // a property that needs more counts as unreadable
};

// Obtains the list of present ports-class devices; 0, or -1 when it cannot be had.
int port_class_list_open();
// Reads member `index` of the open list into three buffers of property_buffer_size bytes: description,
// friendly name and first hardware ID, each terminated, an unreadable one empty. 0, or -1 past the last member.
int port_class_list_read(int index, char* description, char* friendly_name, char* hardware_id);
// Releases the list obtained by port_class_list_open.
void port_class_list_close();

}  // namespace port_device
