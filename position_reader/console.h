// The keyboard as the reader needs it, one implementation per platform.
#pragma once

namespace position_reader {

enum { key_escape = 27, key_none = -1 };

// Prepares the keyboard for the run (no echo, no wait for Enter) and arranges its restoration on every way out.
void console_open();
// 1 when a key press is waiting, else 0; never blocks.
int console_key_waiting();
// Reads one key press without echo, blocking until one arrives; key_escape only for a lone Esc
// (escape sequences such as arrow keys give another code); key_none when input has ended.
int console_read_key();
// Restores the keyboard as console_open found it.
void console_close();

}  // namespace position_reader
