// Serial (COM) port discovery: scan the computer's ports, pick them by adapter type or text,
// and read the picked ports' numbers and names. Single-threaded; state lives for the process.
#pragma once

#if defined(_WIN32)
#  if defined(PORT_DEVICE_BUILD)
#    define PORT_DEVICE_API __declspec(dllexport)
#  elif defined(PORT_DEVICE_STATIC)
#    define PORT_DEVICE_API
#  else
#    define PORT_DEVICE_API __declspec(dllimport)
#  endif
#else
#  define PORT_DEVICE_API __attribute__((visibility("default")))
#endif

extern "C" {

// Adapter types for port_device_pickup_by_type; any other value empties the selection.
enum port_device_type {
    port_device_type_all = 0,
    port_device_type_acpi_pnp = 1,  // "ACPI\PNP"
    port_device_type_ftdi = 2,      // "FTDIBUS"
    port_device_type_cp210x = 3,    // "CP210x"
    port_device_type_prolific = 4,  // "Prolific"
    port_device_type_cypress = 5,   // "Cypress"
    port_device_type_arkmicro = 6   // "ArkMicro"
};

// Rebuilds the port table from both OS sources and empties the selection; returns the table's entry count.
PORT_DEVICE_API int port_device_scan(void);
// Adds to the selection every entry whose names contain `name` (case-sensitive), one per port number; returns the selection count.
PORT_DEVICE_API int port_device_pickup(const char* name);
// Replaces the selection with the entries of an adapter type (see port_device_type); returns the selection count.
PORT_DEVICE_API int port_device_pickup_by_type(int type);
// Selects every table entry in table order; returns the selection count.
PORT_DEVICE_API int port_device_pickup_all(void);
// Returns the selection count.
PORT_DEVICE_API int get_how_many_port_devices(void);
// Returns the port number of the index-th selected entry, or -1 when index is out of range.
PORT_DEVICE_API int get_port_number(int index);
// Copies the index-th selected entry's port name into out (at least 32 bytes); 0, or -1 leaving out untouched.
PORT_DEVICE_API int get_port_name(int index, char* out);
// Copies the index-th selected entry's device name into out (at least 256 bytes); 0, or -1 leaving out untouched.
PORT_DEVICE_API int get_port_device_name(int index, char* out);
// Copies the index-th selected entry's second device name into out (at least 256 bytes); 0, or -1 leaving out untouched.
PORT_DEVICE_API int get_port_device_name2(int index, char* out);

}
