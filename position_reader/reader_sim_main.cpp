// position_reader_sim SYSFS_ROOT DEVICE_DIR: the position reader run against a fixture sysfs
// tree and a folder of device nodes (links to simulator ptys), for the demo and end-to-end tests.
#include <cstdio>

#include "linux_sysfs.h"
#include "reader_program.h"
#include "serial_device_directory.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s SYSFS_ROOT DEVICE_DIR\n", argc > 0 ? argv[0] : "position_reader_sim");
        return 2;
    }
    port_device::set_sysfs_root(argv[1]);
    rs232::set_device_directory(argv[2]);
    return position_reader::run_position_reader();
}
