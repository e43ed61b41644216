// Both discovery passes over sources that deliver whatever the input says: any names, data and
// value types, any number of devices and map values (well past the table's 100), texts that fill
// a whole buffer without a terminator. After every scan and every selection, the table and the
// selection must still hold their invariants and every query must behave.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "port_class_source.h"
#include "port_device.h"
#include "port_table.h"
#include "serial_map_source.h"

namespace {

struct fuzz_text {
    std::string text;
    bool fill;  // write the whole buffer, text repeated, with no terminator
};

struct fuzz_device {
    fuzz_text description, friendly_name, hardware_id;
};

struct fuzz_value {
    fuzz_text name, data;
    int is_string;
};

struct fuzz_world {
    bool class_available = true;
    bool map_available = true;
    bool class_open = false;
    bool map_open = false;
    std::vector<fuzz_device> devices;
    std::vector<fuzz_value> values;
};

fuzz_world world;

// Texts biased towards what the passes look for, so COM names and adapter patterns turn up often.
fuzz_text take_text(FuzzedDataProvider* in) {
    static const char* const pieces[] = {"COM", "com", "(COM3)", "COM1", "COM12", "COM05", "Prolific", "FTDIBUS",
                                         "ACPI\\PNP", "CP210x", "Cypress", "ArkMicro", ""};
    fuzz_text t;
    t.fill = in->ConsumeIntegralInRange<int>(0, 15) == 0;
    const int parts = in->ConsumeIntegralInRange<int>(0, 3);
    for (int i = 0; i < parts; ++i) {
        if (in->ConsumeBool()) {
            t.text += pieces[in->ConsumeIntegralInRange<std::size_t>(0, sizeof pieces / sizeof pieces[0] - 1)];
        } else {
            t.text += in->ConsumeRandomLengthString(1100);
        }
    }
    return t;
}

void deliver(const fuzz_text& t, char* out, int out_size) {
    if (t.fill) {
        const std::string& source = t.text.empty() || t.text[0] == '\0' ? std::string("x") : t.text;
        for (int i = 0; i < out_size; ++i) {
            const char c = source[static_cast<std::size_t>(i) % source.size()];
            out[i] = c == '\0' ? 'x' : c;
        }
        return;
    }
    const std::size_t length = t.text.size() < static_cast<std::size_t>(out_size - 1) ? t.text.size() : out_size - 1;
    std::memcpy(out, t.text.data(), length);
    out[length] = '\0';
}

void load_world(FuzzedDataProvider* in) {
    world = fuzz_world();
    world.class_available = in->ConsumeIntegralInRange<int>(0, 7) != 0;
    world.map_available = in->ConsumeIntegralInRange<int>(0, 7) != 0;
    // Mostly a few entries; sometimes far more than the table holds.
    const bool crowd = in->ConsumeIntegralInRange<int>(0, 7) == 0;
    const int device_count = in->ConsumeIntegralInRange<int>(0, crowd ? 140 : 8);
    const int value_count = in->ConsumeIntegralInRange<int>(0, crowd ? 140 : 8);
    for (int i = 0; i < device_count; ++i) {
        fuzz_device d;
        d.description = take_text(in);
        d.friendly_name = take_text(in);
        d.hardware_id = take_text(in);
        if (crowd && d.friendly_name.text.empty()) {
            d.friendly_name.text = "Port (COM" + std::to_string(i % 120) + ")";
        }
        world.devices.push_back(d);
    }
    for (int i = 0; i < value_count; ++i) {
        fuzz_value v;
        v.name = take_text(in);
        v.data = take_text(in);
        v.is_string = in->ConsumeIntegralInRange<int>(0, 5) == 0 ? in->ConsumeIntegral<int>() : 1;
        if (crowd && v.data.text.empty()) {
            v.data.text = "COM" + std::to_string(i % 120);
        }
        world.values.push_back(v);
    }
}

bool terminated_within(const char* field, std::size_t size) { return std::memchr(field, '\0', size) != nullptr; }

void check_table() {
    using namespace port_device;
    if (scanned_count < 0 || scanned_count > table_capacity) std::abort();
    for (int i = 0; i < scanned_count; ++i) {
        const port_entry& e = port_table[i];
        if (e.port_number < 0 || e.port_number > 99) std::abort();
        if (!terminated_within(e.port_name, sizeof e.port_name)) std::abort();
        if (!terminated_within(e.port_device_name, sizeof e.port_device_name)) std::abort();
        if (!terminated_within(e.port_device_name2, sizeof e.port_device_name2)) std::abort();
    }
    if (world.class_open || world.map_open) std::abort();  // every pass released its source
}

void check_text_query(int (*query)(int, char*), int index, std::size_t size, bool in_range) {
    // Exactly the promised size: a longer copy would leave the allocation.
    char* out = static_cast<char*>(std::malloc(size));
    if (out == nullptr) return;
    std::memset(out, 0x7e, size);
    const int result = query(index, out);
    if (in_range) {
        if (result != 0 || !terminated_within(out, size)) std::abort();
    } else {
        if (result != -1) std::abort();
        for (std::size_t i = 0; i < size; ++i) {
            if (out[i] != 0x7e) std::abort();  // left as it was
        }
    }
    std::free(out);
}

void check_selection(bool unique_numbers) {
    using namespace port_device;
    const int picked = get_how_many_port_devices();
    if (picked < 0 || picked > table_capacity || picked > scanned_count) std::abort();
    for (int k = 0; k < picked; ++k) {
        if (picked_list[k] < 0 || picked_list[k] >= scanned_count) std::abort();
        for (int j = 0; unique_numbers && j < k; ++j) {
            if (port_table[picked_list[j]].port_number == port_table[picked_list[k]].port_number) std::abort();
        }
    }
    for (int k = -2; k <= picked + 1; ++k) {
        const bool in_range = k >= 0 && k < picked;
        const int number = get_port_number(k);
        if (in_range ? (number != port_table[picked_list[k]].port_number) : (number != -1)) std::abort();
        check_text_query(get_port_name, k, port_name_size, in_range);
        check_text_query(get_port_device_name, k, device_name_size, in_range);
        check_text_query(get_port_device_name2, k, device_name_size, in_range);
    }
}

}  // namespace

// The fuzzed sources, linked in place of the platform ones.
namespace port_device {

int port_class_list_open() {
    world.class_open = world.class_available;
    return world.class_available ? 0 : -1;
}

int port_class_list_read(int index, char* description, char* friendly_name, char* hardware_id) {
    if (!world.class_open || index < 0 || static_cast<std::size_t>(index) >= world.devices.size()) return -1;
    const fuzz_device& d = world.devices[static_cast<std::size_t>(index)];
    deliver(d.description, description, property_buffer_size);
    deliver(d.friendly_name, friendly_name, property_buffer_size);
    deliver(d.hardware_id, hardware_id, property_buffer_size);
    return 0;
}

void port_class_list_close() {
    if (!world.class_open) std::abort();  // released twice, or never obtained
    world.class_open = false;
}

int serial_map_open() {
    world.map_open = world.map_available;
    return world.map_available ? 0 : -1;
}

int serial_map_read(int index, char* name, int* is_string, char* data) {
    if (!world.map_open || index < 0 || static_cast<std::size_t>(index) >= world.values.size()) return -1;
    const fuzz_value& v = world.values[static_cast<std::size_t>(index)];
    deliver(v.name, name, map_name_size);
    *is_string = v.is_string == 1 ? 1 : 0;
    if (*is_string) {
        deliver(v.data, data, map_data_size);
    } else {
        data[0] = '\0';
    }
    return 0;
}

void serial_map_close() {
    if (!world.map_open) std::abort();
    world.map_open = false;
}

}  // namespace port_device

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    port_device::reset_port_device_state();
    check_selection(true);  // before any scan: nothing picked, every query -1
    const int scans = in.ConsumeIntegralInRange<int>(1, 2);
    for (int s = 0; s < scans; ++s) {
        load_world(&in);
        const int count = port_device_scan();
        if (count != port_device::scanned_count) std::abort();
        check_table();
        if (get_how_many_port_devices() != 0) std::abort();
        check_selection(true);
        bool repeats_allowed = false;  // only selecting everything may pick one port number twice
        const int operations = in.ConsumeIntegralInRange<int>(0, 6);
        for (int op = 0; op < operations; ++op) {
            switch (in.ConsumeIntegralInRange<int>(0, 3)) {
            case 0: {
                const std::string name = in.ConsumeRandomLengthString(300);
                const int before = get_how_many_port_devices();
                const int after = port_device_pickup(name.c_str());
                if (after < before || after != get_how_many_port_devices()) std::abort();  // pickups accumulate
                check_selection(!repeats_allowed);
                break;
            }
            case 1: {
                const int type = in.ConsumeBool() ? in.ConsumeIntegralInRange<int>(-2, 9) : in.ConsumeIntegral<int>();
                port_device_pickup_by_type(type);
                if ((type < 0 || type > 6) && get_how_many_port_devices() != 0) std::abort();
                repeats_allowed = type == 0;
                check_selection(!repeats_allowed);
                break;
            }
            case 2:
                if (port_device_pickup_all() != port_device::scanned_count) std::abort();
                repeats_allowed = true;
                check_selection(false);
                break;
            default: {
                const int before = get_how_many_port_devices();
                if (port_device_pickup(nullptr) != before) std::abort();  // refused, selection kept
                check_selection(!repeats_allowed);
                break;
            }
            }
        }
        check_table();
    }
    return 0;
}
