// The serial library's exported functions over a small table of open ports keyed by COM number.
// Opening a port that is already open closes it first and opens it afresh (pending data is lost).
// A port that disappears while open (unplugged, hung up) is released at once; lines that were
// complete before that are still delivered, after them rs_size stays 0 and rs_gets -1 until
// rs_close. Every rs_size call that returns 0 has waited serial_io_idle_wait_ms, or until a key
// press where the platform watches the keyboard too, so callers that poll in a loop do not keep
// a processor busy.
#include "rs232.h"

#include <chrono>

#include "line_assembler.h"
#include "serial_io.h"

namespace {

enum { slot_count = 8 };

struct open_port {
    bool in_use;
    bool lost;
    unsigned short number;
    int device;
    rs232::line_assembler received;
};

open_port ports[slot_count];

open_port* find_port(unsigned short number) {
    for (open_port& port : ports) {
        if (port.in_use && port.number == number) {
            return &port;
        }
    }
    return nullptr;
}

open_port* free_slot() {
    for (open_port& port : ports) {
        if (!port.in_use) {
            return &port;
        }
    }
    return nullptr;
}

void mark_lost(open_port* port) {
    if (!port->lost) {
        rs232::serial_io_close(port->device);
        port->device = -1;
        port->lost = true;
    }
}

// Moves what the port has received into the assembler; the number of bytes moved.
int drain(open_port* port) {
    int moved = 0;
    while (!port->lost) {
        const int room = rs232::assembler_free_space(&port->received);
        if (room == 0) {
            break;  // a line is surely ready; the rest waits in the system's buffer
        }
        char chunk[rs232::receive_capacity];
        const int count = rs232::serial_io_read(port->device, chunk, room);
        if (count < 0) {
            mark_lost(port);
        } else if (count == 0) {
            break;
        } else {
            rs232::assembler_append(&port->received, chunk, count);
            moved += count;
        }
    }
    return moved;
}

int milliseconds_since(std::chrono::steady_clock::time_point start) {
    const auto elapsed = std::chrono::steady_clock::now() - start;
    return static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count());
}

}  // namespace

extern "C" {

RS232_API short rs_open(unsigned short port, int baud_rate) {
    open_port* slot = find_port(port);
    if (slot != nullptr) {
        rs_close(port);
    }
    slot = free_slot();
    if (slot == nullptr) {
        return -1;
    }
    const int device = rs232::serial_io_open(port, baud_rate);
    if (device < 0) {
        return -1;
    }
    slot->in_use = true;
    slot->lost = false;
    slot->number = port;
    slot->device = device;
    rs232::assembler_reset(&slot->received);
    return 0;
}

RS232_API short rs_size(unsigned short port) {
    const auto start = std::chrono::steady_clock::now();
    open_port* slot = find_port(port);
    int ready = 0;
    if (slot != nullptr) {
        ready = rs232::assembler_ready(&slot->received);
        if (ready == 0) {
            drain(slot);
            ready = rs232::assembler_ready(&slot->received);
        }
        while (ready == 0 && !slot->lost) {
            const int remaining = rs232::serial_io_idle_wait_ms - milliseconds_since(start);
            if (remaining <= 0) {
                break;
            }
            const int waited = rs232::serial_io_wait(slot->device, remaining);
            if (waited < 0) {
                mark_lost(slot);
            } else if (waited == 0) {
                break;
            } else if (drain(slot) == 0 && !slot->lost) {
                rs232::serial_io_sleep(1);  // readable yet empty: do not spin on it
            }
            ready = rs232::assembler_ready(&slot->received);
        }
    }
    if (ready == 0) {
        const int remaining = rs232::serial_io_idle_wait_ms - milliseconds_since(start);
        if (remaining > 0 && (slot == nullptr || slot->lost)) {
            rs232::serial_io_sleep(remaining);
        }
    }
    return static_cast<short>(ready);
}

RS232_API short rs_gets(unsigned short port, char* buffer) {
    open_port* slot = find_port(port);
    if (slot == nullptr) {
        if (buffer != nullptr) {
            buffer[0] = '\0';
        }
        return -1;
    }
    if (rs232::assembler_ready(&slot->received) == 0) {
        drain(slot);
    }
    return static_cast<short>(rs232::assembler_take(&slot->received, buffer, rs_line_buffer_size));
}

RS232_API short rs_close(unsigned short port) {
    open_port* slot = find_port(port);
    if (slot == nullptr) {
        return -1;
    }
    if (!slot->lost) {
        rs232::serial_io_close(slot->device);
    }
    slot->in_use = false;
    slot->device = -1;
    return 0;
}

}  // extern "C"
