#include "line_assembler.h"

#include <cstring>

namespace rs232 {

namespace {

bool is_line_end(char c) { return c == '\r' || c == '\n'; }

// Drops line ends in front of the next line, so a line never starts with one.
void skip_line_ends(line_assembler* assembler) {
    while (assembler->start < assembler->end && is_line_end(assembler->bytes[assembler->start])) {
        ++assembler->start;
    }
    if (assembler->start == assembler->end) {
        assembler->start = 0;
        assembler->end = 0;
    }
}

}  // namespace

void assembler_reset(line_assembler* assembler) {
    assembler->start = 0;
    assembler->end = 0;
}

int assembler_free_space(line_assembler* assembler) {
    if (assembler->start > 0) {
        const int pending = assembler->end - assembler->start;
        std::memmove(assembler->bytes, assembler->bytes + assembler->start, static_cast<size_t>(pending));
        assembler->start = 0;
        assembler->end = pending;
    }
    return receive_capacity - assembler->end;
}

int assembler_append(line_assembler* assembler, const char* data, int count) {
    if (data == nullptr || count <= 0) {
        return 0;
    }
    int room = assembler_free_space(assembler);
    int taken = 0;
    while (taken < count && room > 0) {
        const char c = data[taken++];
        if (c != '\0') {
            assembler->bytes[assembler->end++] = c;
            --room;
        }
    }
    // NULs after the last byte that fitted cost no room: take them too.
    while (taken < count && data[taken] == '\0') {
        ++taken;
    }
    return taken;
}

int assembler_ready(line_assembler* assembler) {
    skip_line_ends(assembler);
    const int pending = assembler->end - assembler->start;
    const int limit = pending < line_max ? pending : line_max;
    for (int i = 0; i < limit; ++i) {
        if (is_line_end(assembler->bytes[assembler->start + i])) {
            return i;  // never 0: skip_line_ends left a text byte first
        }
    }
    return pending >= line_max ? line_max : 0;
}

int assembler_take(line_assembler* assembler, char* out, int out_size) {
    if (out == nullptr || out_size <= 0) {
        return -1;
    }
    out[0] = '\0';
    const int length = assembler_ready(assembler);
    if (length == 0 || length >= out_size) {
        return -1;
    }
    std::memcpy(out, assembler->bytes + assembler->start, static_cast<size_t>(length));
    out[length] = '\0';
    assembler->start += length;
    skip_line_ends(assembler);
    return length;
}

}  // namespace rs232
