#include "find_substring.h"
#include "port_device.h"
#include "port_table.h"

namespace port_device {

namespace {

// The table's valid entries, kept inside the storage even if the count were ever out of range.
int table_entries() {
    if (scanned_count < 0) {
        return 0;
    }
    return scanned_count < table_capacity ? scanned_count : table_capacity;
}

int selection_size() {
    if (picked_count < 0) {
        return 0;
    }
    return picked_count < table_capacity ? picked_count : table_capacity;
}

bool names_contain(const port_entry& entry, const char* name) {
    return find_substring(entry.port_name, name) != -1 || find_substring(entry.port_device_name, name) != -1 ||
           find_substring(entry.port_device_name2, name) != -1;
}

// The table entry behind the k-th selected one, or null when k does not address the selection.
const port_entry* picked_entry(int k) {
    if (k < 0 || k >= selection_size()) {
        return nullptr;
    }
    const int index = picked_list[k];
    if (index < 0 || index >= table_entries()) {
        return nullptr;
    }
    return &port_table[index];
}

// Copies one text field of the k-th selected entry into out; -1, leaving out untouched, when k is out of range.
template <int size>
int copy_picked_text(int k, char* out, char (port_entry::*field)[size]) {
    const port_entry* entry = picked_entry(k);
    if (entry == nullptr || out == nullptr) {
        return -1;
    }
    copy_text(out, size, entry->*field);
    return 0;
}

bool port_number_selected(int port_number) {
    const int picked = selection_size();
    for (int k = 0; k < picked; ++k) {
        const port_entry* entry = picked_entry(k);
        if (entry != nullptr && entry->port_number == port_number) {
            return true;
        }
    }
    return false;
}

const char* const type_patterns[] = {
    nullptr,     // port_device_type_all: no pattern
    "ACPI\\PNP", // port_device_type_acpi_pnp
    "FTDIBUS",   // port_device_type_ftdi
    "CP210x",    // port_device_type_cp210x
    "Prolific",  // port_device_type_prolific
    "Cypress",   // port_device_type_cypress
    "ArkMicro"   // port_device_type_arkmicro
};
const int type_count = static_cast<int>(sizeof type_patterns / sizeof type_patterns[0]);

}  // namespace

}  // namespace port_device

using namespace port_device;

int port_device_pickup(const char* name) {
    if (name == nullptr) {
        return picked_count;
    }
    picked_count = selection_size();
    const int entries = table_entries();
    for (int i = 0; i < entries && picked_count < table_capacity; ++i) {
        if (!names_contain(port_table[i], name) || port_number_selected(port_table[i].port_number)) {
            continue;
        }
        picked_list[picked_count] = i;
        ++picked_count;
    }
    return picked_count;
}

int port_device_pickup_by_type(int type) {
    picked_count = 0;
    if (type == port_device_type_all) {
        const int entries = table_entries();
        for (int i = 0; i < entries; ++i) {
            picked_list[i] = i;
        }
        picked_count = entries;
        return picked_count;
    }
    if (type < 0 || type >= type_count) {
        return picked_count;
    }
    return port_device_pickup(type_patterns[type]);
}

int port_device_pickup_all(void) {
    return port_device_pickup_by_type(port_device_type_all);
}

int get_how_many_port_devices(void) {
    return picked_count;
}

int get_port_number(int index) {
    const port_entry* entry = picked_entry(index);
    return entry != nullptr ? entry->port_number : -1;
}

int get_port_name(int index, char* out) {
    return copy_picked_text(index, out, &port_entry::port_name);
}

int get_port_device_name(int index, char* out) {
    return copy_picked_text(index, out, &port_entry::port_device_name);
}

int get_port_device_name2(int index, char* out) {
    return copy_picked_text(index, out, &port_entry::port_device_name2);
}
