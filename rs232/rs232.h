// Serial-port library: ports are named by their COM number; there are no handles.
// Lines are delivered whole, without CR/LF, at most 255 characters per rs_gets (a longer line
// comes in 255-character pieces). Empty lines are skipped and NUL bytes dropped.
#pragma once

#if defined(_WIN32)
#  if defined(RS232_BUILD)
#    define RS232_API __declspec(dllexport)
#  elif defined(RS232_STATIC)
#    define RS232_API
#  else
#    define RS232_API __declspec(dllimport)
#  endif
#else
#  define RS232_API __attribute__((visibility("default")))
#endif

extern "C" {

enum { rs_line_buffer_size = 256 };

// Opens COM<port> at baud_rate, 8 data bits, no parity, one stop bit; -1 when it cannot be opened, else 0.
// A port that is already open is closed and opened afresh.
RS232_API short rs_open(unsigned short port, int baud_rate);
// Length of the next line when one is ready for rs_gets; else 0 after waiting briefly for data:
// about 10 ms on Windows; up to 50 ms on Linux, where a key press on standard input ends the wait
// at once. 0 for a closed port, and for a lost (unplugged) one once its complete lines are taken.
RS232_API short rs_size(unsigned short port);
// Moves the next line into buffer (rs_line_buffer_size bytes), terminated; returns its length, or -1
// (buffer then holds "") when none is ready.
RS232_API short rs_gets(unsigned short port, char* buffer);
// Closes the port; 0, or -1 when it was not open.
RS232_API short rs_close(unsigned short port);

}
