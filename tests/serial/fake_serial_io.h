// A scripted serial port for testing the library's logic without a device.
#pragma once

#include <string>

namespace fake_serial {

struct port_script {
    bool open_fails;       // serial_io_open returns -1
    std::string incoming;  // bytes the port will deliver, as fast as asked
    int deliver_limit;     // at most this many bytes per read (0: no limit)
    bool lost;             // reads report the port gone once incoming is empty
    int last_port;         // what serial_io_open was asked for
    int last_baud;
    int open_devices;      // opened and not yet closed
    int waits;             // serial_io_wait calls
    int wait_ms;           // their total timeout
    int sleep_ms;          // total asked of serial_io_sleep
};

extern port_script script;

void reset();

}  // namespace fake_serial
