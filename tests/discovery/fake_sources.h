// Table-driven stand-ins for the OS sources behind the discovery passes.
#pragma once

namespace fake_sources {

// One ports-class device; a null property is unreadable (delivered empty).
struct device {
    const char* description;
    const char* friendly_name;
    const char* hardware_id;
};

// One serial-map value. A non-string value still delivers `data`, to show that the pass ignores it.
struct map_value {
    const char* name;
    int is_string;
    const char* data;
};

struct state {
    bool class_list_available = true;
    const device* devices = nullptr;
    int device_count = 0;
    bool fill_property_buffers = false;   // write the whole buffers with no terminator
    int class_open_calls = 0;
    int class_close_calls = 0;
    int class_reads = 0;

    bool map_available = true;
    const map_value* values = nullptr;
    int value_count = 0;
    bool fill_map_buffers = false;        // write the whole buffers with no terminator
    int map_open_calls = 0;
    int map_close_calls = 0;
};

extern state current;

// Back to an available, empty device list and map.
void reset();

}  // namespace fake_sources
