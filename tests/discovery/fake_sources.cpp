// Linked instead of the platform sources: serves the tables set in fake_sources::current.
#include "fake_sources.h"

#include "port_class_source.h"
#include "serial_map_source.h"

#include <cstring>

namespace fake_sources {

state current;

void reset()
{
    current = state();
}

namespace {

void deliver(const char* text, char* out, int out_size, bool fill)
{
    if (fill) {
        // A misbehaving source: the text repeated over every byte, no terminator.
        const char* source = (text != nullptr && text[0] != '\0') ? text : "x";
        int length = static_cast<int>(std::strlen(source));
        for (int i = 0; i < out_size; ++i) out[i] = source[i % length];
        return;
    }
    out[0] = '\0';
    if (text == nullptr) return;
    std::strncpy(out, text, static_cast<size_t>(out_size - 1));
    out[out_size - 1] = '\0';
}

}  // namespace

}  // namespace fake_sources

namespace port_device {

using fake_sources::current;

int port_class_list_open()
{
    ++current.class_open_calls;
    return current.class_list_available ? 0 : -1;
}

int port_class_list_read(int index, char* description, char* friendly_name, char* hardware_id)
{
    ++current.class_reads;
    if (index < 0 || index >= current.device_count) return -1;
    const fake_sources::device& d = current.devices[index];
    fake_sources::deliver(d.description, description, property_buffer_size, current.fill_property_buffers);
    fake_sources::deliver(d.friendly_name, friendly_name, property_buffer_size, current.fill_property_buffers);
    fake_sources::deliver(d.hardware_id, hardware_id, property_buffer_size, current.fill_property_buffers);
    return 0;
}

void port_class_list_close()
{
    ++current.class_close_calls;
}

int serial_map_open()
{
    ++current.map_open_calls;
    return current.map_available ? 0 : -1;
}

int serial_map_read(int index, char* name, int* is_string, char* data)
{
    if (index < 0 || index >= current.value_count) return -1;
    const fake_sources::map_value& v = current.values[index];
    fake_sources::deliver(v.name, name, map_name_size, current.fill_map_buffers);
    fake_sources::deliver(v.data, data, map_data_size, current.fill_map_buffers);
    *is_string = v.is_string;
    return 0;
}

void serial_map_close()
{
    ++current.map_close_calls;
}

}  // namespace port_device
