// Present ports-class devices from Windows SetupAPI (8-bit text variants).
#include "port_class_source.h"

#include <windows.h>
#include <initguid.h>  // gives GUID_DEVCLASS_PORTS its storage in this file
#include <devguid.h>
#include <setupapi.h>

#include <string.h>

namespace port_device {

namespace {

HDEVINFO device_list = INVALID_HANDLE_VALUE;

// Reads one text property into buffer[property_buffer_size]. The buffer is cleared before the
// call, so text the OS stored without a NUL still ends inside it, and cleared again on failure
// (including a property larger than property_request_size) so nothing partial survives.
void read_property(SP_DEVINFO_DATA* member, DWORD property, char* buffer) {
    memset(buffer, 0, property_buffer_size);
    BOOL ok = SetupDiGetDeviceRegistryPropertyA(device_list, member, property, NULL,
                                                reinterpret_cast<PBYTE>(buffer),
                                                property_request_size, NULL);
    if (!ok) {
        memset(buffer, 0, property_buffer_size);
    }
    buffer[property_buffer_size - 1] = '\0';
}

}  // namespace

int port_class_list_open() {
    port_class_list_close();  // a second open must not leak the first list
    device_list = SetupDiGetClassDevsA(&GUID_DEVCLASS_PORTS, NULL, NULL, DIGCF_PRESENT);
    return device_list == INVALID_HANDLE_VALUE ? -1 : 0;
}

int port_class_list_read(int index, char* description, char* friendly_name, char* hardware_id) {
    description[0] = '\0';
    friendly_name[0] = '\0';
    hardware_id[0] = '\0';
    if (device_list == INVALID_HANDLE_VALUE || index < 0) {
        return -1;
    }
    SP_DEVINFO_DATA member;
    memset(&member, 0, sizeof member);
    member.cbSize = sizeof member;
    if (!SetupDiEnumDeviceInfo(device_list, static_cast<DWORD>(index), &member)) {
        return -1;
    }
    read_property(&member, SPDRP_DEVICEDESC, description);
    read_property(&member, SPDRP_FRIENDLYNAME, friendly_name);
    // A multi-string: everything downstream stops at the first NUL, i.e. uses the first ID.
    read_property(&member, SPDRP_HARDWAREID, hardware_id);
    return 0;
}

void port_class_list_close() {
    if (device_list != INVALID_HANDLE_VALUE) {
        SetupDiDestroyDeviceInfoList(device_list);
        device_list = INVALID_HANDLE_VALUE;
    }
}

}  // namespace port_device
