// Where the Linux library looks for tty devices ("/dev" unless redirected). Tests and the simulated
// demo point it at a folder holding links such as ttyUSB0 -> a pseudo-terminal.
#pragma once

namespace rs232 {

// Sets the device folder for later rs_open calls; nullptr restores "/dev". 0, or -1 when the path
// does not fit (the setting is then unchanged).
int set_device_directory(const char* path);

// Makes the next wait look at standard input afresh, for tests that replace it after waits have
// already decided whether it can bring key presses.
void watch_keyboard_afresh();

}  // namespace rs232
