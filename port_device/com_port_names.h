// Linux serial tty names <-> COM port numbers, fixed both ways so that no state needs storing:
//   ttyS0..ttyS31     -> COM1..COM32
//   ttyUSB0..ttyUSB31 -> COM33..COM64
//   ttyACM0..ttyACM31 -> COM65..COM96
#pragma once

namespace port_device {

enum { com_name_size = 16 };

// COM number for a tty name such as "ttyUSB0" (no /dev/ prefix); -1 for a name outside the mapping.
int com_number_for_tty(const char* tty_name);
// Writes the tty name for a COM number into out (com_name_size bytes); 0, or -1 for a number outside the mapping.
int tty_for_com_number(int port_number, char* out);

}  // namespace port_device
