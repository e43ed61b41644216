// The position reader's run: find the Prolific adapter's port, read until the first complete
// GGA position, print it. Talks to the port device module, the serial library and the keyboard
// only through their public interfaces, so tests can link fakes of all three.
#pragma once

namespace position_reader {

constexpr int GPS_BAUD_RATE = 38400;
constexpr const char* GPS_ADAPTER_PATTERN = "Prolific";
constexpr int receive_buffer_size = 256;

// Prints the continue prompt and waits for one key press (returns at once when input has ended).
void wait_for_key();
// One whole run, all output on stdout; returns the exit status: 0 after a result or Esc, 1 after an error.
int run_position_reader();

}  // namespace position_reader
