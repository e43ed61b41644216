#include "fake_serial_io.h"

#include <cstring>

#include "serial_io.h"

namespace fake_serial {

port_script script;

void reset() { script = port_script(); }

}  // namespace fake_serial

namespace rs232 {

const int serial_io_idle_wait_ms = 10;

using fake_serial::script;

int serial_io_open(int port_number, int baud_rate) {
    script.last_port = port_number;
    script.last_baud = baud_rate;
    if (script.open_fails) return -1;
    ++script.open_devices;
    return 7;
}

int serial_io_wait(int device, int timeout_ms) {
    if (device != 7) return -1;
    ++script.waits;
    script.wait_ms += timeout_ms;
    if (!script.incoming.empty()) return 1;
    return script.lost ? 1 : 0;  // a hang-up shows as readable, as poll() reports it
}

int serial_io_read(int device, char* buffer, int size) {
    if (device != 7) return -1;
    if (script.incoming.empty()) return script.lost ? -1 : 0;
    int count = static_cast<int>(script.incoming.size());
    if (count > size) count = size;
    if (script.deliver_limit > 0 && count > script.deliver_limit) count = script.deliver_limit;
    std::memcpy(buffer, script.incoming.data(), static_cast<size_t>(count));
    script.incoming.erase(0, static_cast<size_t>(count));
    return count;
}

void serial_io_close(int device) {
    if (device == 7) --script.open_devices;
}

void serial_io_sleep(int ms) { script.sleep_ms += ms; }

}  // namespace rs232
