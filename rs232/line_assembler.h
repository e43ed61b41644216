// Splits the bytes received on one port into text lines.
// Any run of CR and LF ends a line, so CRLF, LF and CR line ends all work and empty lines vanish.
// NUL bytes are dropped on arrival: text lines never carry them, and keeping one would cut the
// delivered line short at that point without the caller noticing.
// A line longer than line_max characters is delivered in line_max-character pieces.
#pragma once

namespace rs232 {

enum { line_max = 255, receive_capacity = 2048 };

struct line_assembler {
    char bytes[receive_capacity];
    int start;  // first byte not yet delivered
    int end;    // one past the last received byte
};

// Empties the assembler.
void assembler_reset(line_assembler* assembler);
// Room for new bytes (after moving pending bytes to the front); never negative.
int assembler_free_space(line_assembler* assembler);
// Appends up to count received bytes, dropping NULs; returns how many input bytes were taken.
int assembler_append(line_assembler* assembler, const char* data, int count);
// Length (1..line_max) of the next line or piece ready for delivery; 0 while none is complete.
int assembler_ready(line_assembler* assembler);
// Copies the next ready line, NUL-terminated, into out (out_size bytes, at least line_max + 1);
// returns its length, or -1 when none is ready or out is too small (then out holds "" if it can).
int assembler_take(line_assembler* assembler, char* out, int out_size);

}  // namespace rs232
