// The operating system's serial port, as the library needs it. One implementation per platform
// (serial_io_linux.cpp, serial_io_windows.cpp); tests link a fake instead.
#pragma once

namespace rs232 {

// Opens COM<port_number> at baud_rate, 8 data bits, no parity, one stop bit, for reads that never
// block; a device number (>= 0) for the calls below, or -1 when the port or the rate is unavailable.
int serial_io_open(int port_number, int baud_rate);
// How long an idle rs_size waits. Where waits also end on keyboard input (Linux) it can be long
// without slowing an Esc down, and a quiet receiver then costs almost no processor time.
extern const int serial_io_idle_wait_ms;

// Waits up to timeout_ms for received data: 1 when some may be read (or the port changed state,
// which the next read reports), 0 when the time passed quietly or a key press arrived, -1 when
// the port is gone.
int serial_io_wait(int device, int timeout_ms);
// Moves up to size received bytes into buffer without waiting: the count (0 when none is waiting),
// or -1 when the port is gone (unplugged, hung up, read error).
int serial_io_read(int device, char* buffer, int size);
// Releases the device.
void serial_io_close(int device);
// Sleeps about ms milliseconds, or less when a key press arrives; used where there is no port to wait on.
void serial_io_sleep(int ms);

}  // namespace rs232
