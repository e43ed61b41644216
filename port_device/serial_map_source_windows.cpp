// The serial-port map from the Windows registry (8-bit text variants).
#include "serial_map_source.h"

#include <windows.h>

#include <string.h>

namespace port_device {

namespace {

HKEY map_key = NULL;

// Offered to the registry: one byte short of our buffers, which keeps room for a NUL the OS
// may not write (registry string data need not be terminated).
const DWORD name_offer = 255;  // characters, terminating NUL included
const DWORD data_offer = 255;  // bytes

}  // namespace

int serial_map_open() {
    serial_map_close();  // a second open must not leak the first key
    HKEY key = NULL;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM\\", 0, KEY_READ, &key) !=
        ERROR_SUCCESS) {
        return -1;
    }
    map_key = key;
    return 0;
}

int serial_map_read(int index, char* name, int* is_string, char* data) {
    memset(name, 0, map_name_size);
    memset(data, 0, map_data_size);
    *is_string = 0;
    if (map_key == NULL || index < 0) {
        return -1;
    }

    // First the name, type and size only.
    DWORD name_length = name_offer;
    DWORD type = REG_NONE;
    DWORD data_length = 0;
    if (RegEnumValueA(map_key, static_cast<DWORD>(index), name, &name_length, NULL, &type, NULL,
                      &data_length) != ERROR_SUCCESS) {
        memset(name, 0, map_name_size);
        return -1;
    }
    name[map_name_size - 1] = '\0';
    if (type != REG_SZ) {
        return 0;
    }
    *is_string = 1;

    // Then the same value with its data. The name is taken into a scratch buffer so that a
    // failed query cannot spoil the name already read.
    char scratch_name[map_name_size];
    DWORD scratch_length = name_offer;
    DWORD data_type = REG_NONE;
    data_length = data_offer;
    LONG result = RegEnumValueA(map_key, static_cast<DWORD>(index), scratch_name, &scratch_length,
                                NULL, &data_type, reinterpret_cast<LPBYTE>(data), &data_length);
    if (result != ERROR_SUCCESS || data_type != REG_SZ || data_length > data_offer) {
        // Too large (the buffer's contents are then undefined), or changed since the first query.
        memset(data, 0, map_data_size);
        if (result == ERROR_SUCCESS && data_type != REG_SZ) {
            *is_string = 0;
        }
        return 0;
    }
    // The OS terminates only when the stored data carries a NUL: terminate behind what it wrote.
    data[data_length] = '\0';
    data[map_data_size - 1] = '\0';
    return 0;
}

void serial_map_close() {
    if (map_key != NULL) {
        RegCloseKey(map_key);
        map_key = NULL;
    }
}

}  // namespace port_device
