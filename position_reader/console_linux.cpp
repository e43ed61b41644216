// Keyboard on Linux: a terminal is switched to non-canonical, no-echo mode for the run;
// any other standard input (a pipe, a file) is read byte by byte, each byte one key.
#include "console.h"

#include <poll.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace position_reader {
namespace {

enum {
    input_fd = 0,
    escape_follow_ms = 30,    // a terminal sends a sequence's bytes together; a person cannot type that fast
    sequence_byte_ms = 5,
    sequence_max_bytes = 16,
    key_sequence = 0x100      // what an escape sequence reads as: never key_escape
};

const int restored_signals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
constexpr int restored_signal_count = sizeof(restored_signals) / sizeof(restored_signals[0]);

struct termios saved_mode;
volatile sig_atomic_t terminal_changed = 0;
struct sigaction saved_actions[restored_signal_count];
int handlers_installed = 0;
int atexit_registered = 0;
int input_is_terminal = 0;
int input_ended = 0;

void restore_terminal() {
    if (terminal_changed) {
        tcsetattr(input_fd, TCSANOW, &saved_mode);  // async-signal-safe
        terminal_changed = 0;
    }
}

void restore_on_exit() { restore_terminal(); }

// Restores the terminal, then lets the signal do what it would have done without us.
void restore_and_reraise(int signal_number) {
    const int saved_errno = errno;
    restore_terminal();
    signal(signal_number, SIG_DFL);
    raise(signal_number);  // delivered once this handler returns
    errno = saved_errno;
}

void install_handlers() {
    struct sigaction action {};
    action.sa_handler = restore_and_reraise;
    sigemptyset(&action.sa_mask);
    for (int i = 0; i < restored_signal_count; ++i) {
        sigaction(restored_signals[i], &action, &saved_actions[i]);
    }
    handlers_installed = 1;
}

void remove_handlers() {
    if (!handlers_installed) {
        return;
    }
    for (int i = 0; i < restored_signal_count; ++i) {
        sigaction(restored_signals[i], &saved_actions[i], nullptr);
    }
    handlers_installed = 0;
}

// 1 when a byte can be read within timeout_ms (end of input counts: read then reports it).
int input_ready(int timeout_ms) {
    struct pollfd entry {};
    entry.fd = input_fd;
    entry.events = POLLIN;
    int result;
    do {
        result = poll(&entry, 1, timeout_ms);
    } while (result < 0 && errno == EINTR);
    if (result < 0 || (result > 0 && (entry.revents & POLLNVAL))) {
        input_ended = 1;  // no usable standard input: no key will ever come
        return 0;
    }
    return result > 0;
}

// Blocking read of one byte; -1 at end of input or on a read error.
int read_byte() {
    unsigned char byte = 0;
    ssize_t count;
    do {
        count = read(input_fd, &byte, 1);
    } while (count < 0 && errno == EINTR);
    if (count != 1) {
        input_ended = 1;
        return -1;
    }
    return byte;
}

// After ESC from a terminal: a lone Esc, or the rest of a sequence (arrow keys send ESC [ A).
int finish_escape() {
    if (!input_ready(escape_follow_ms)) {
        return key_escape;
    }
    const int introducer = read_byte();
    if (introducer < 0) {
        return key_escape;
    }
    if (introducer != '[' && introducer != 'O') {
        return key_sequence;  // Alt with a key: ESC and one byte
    }
    // CSI and SS3 sequences end with a byte from '@' to '~'; parameters come before it.
    for (int i = 0; i < sequence_max_bytes && input_ready(sequence_byte_ms); ++i) {
        const int byte = read_byte();
        if (byte < 0 || (byte >= '@' && byte <= '~')) {
            break;
        }
    }
    return key_sequence;
}

}  // namespace

void console_open() {
    input_ended = 0;
    input_is_terminal = isatty(input_fd);
    if (!input_is_terminal || terminal_changed || tcgetattr(input_fd, &saved_mode) != 0) {
        return;
    }
    struct termios raw = saved_mode;
    raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    install_handlers();
    if (!atexit_registered) {
        atexit_registered = (std::atexit(restore_on_exit) == 0);
    }
    if (tcsetattr(input_fd, TCSANOW, &raw) == 0) {
        terminal_changed = 1;
    }
}

int console_key_waiting() {
    if (input_ended) {
        return 0;
    }
    return input_ready(0);
}

int console_read_key() {
    if (input_ended) {
        return key_none;
    }
    const int byte = read_byte();
    if (byte < 0) {
        return key_none;
    }
    if (byte == key_escape && input_is_terminal) {
        return finish_escape();
    }
    return byte;
}

void console_close() {
    restore_terminal();
    remove_handlers();
}

}  // namespace position_reader
