// Reading sysfs for the Linux port sources (internal).
#pragma once

#include "com_port_names.h"

namespace port_device {

enum {
    sysfs_path_size = 1024,     // longer paths count as unreadable
    sysfs_value_size = 256,     // one attribute value, newline removed
    serial_tty_capacity = 100
};

// Reads sysfs below root instead of "/" (tests point it at a fixture tree; null restores "/").
void set_sysfs_root(const char* root);

// Writes root + "/sys/" + relative into out (out_size bytes); 0, or -1 when it does not fit.
int sysfs_path(char* out, int out_size, const char* relative);
// Reads the first line of a small file into out (out_size bytes), trailing newline and blanks removed;
// 0, or -1 (out empty) when it cannot be read.
int read_sysfs_value(const char* path, char* out, int out_size);
// Joins dir + "/" + name into out (out_size bytes); 0, or -1 when it does not fit.
int join_path(char* out, int out_size, const char* dir, const char* name);

struct serial_tty {
    char name[com_name_size];   // "ttyUSB0"
    int com_number;             // from com_number_for_tty
};

// Fills out with the real serial ports under <root>/sys/class/tty that the COM mapping names,
// sorted by COM number; returns their count, or -1 when the class directory cannot be read.
// A real port has a device link outside devices/virtual; a ttyS port also needs a UART type other than 0.
int list_serial_ttys(serial_tty* out, int capacity);

}  // namespace port_device
