// Fakes of the port device module, the serial library and the keyboard, linked into the
// reader's program tests in place of the real ones. A test describes what the world does;
// the fakes play it and record the calls that matter.
#pragma once

#include <string>
#include <vector>

namespace fake_world {

// One step of what happens while the program reads: a line arrives, a quiet poll, or a key press.
struct event {
    enum kind_type { line, idle, key } kind;
    std::string text;  // the line (line)
    int key_code;      // the key (key)
};

event line(const std::string& text);
event idle();
event key(int code);

struct setup {
    int selected_count = 1;      // what get_how_many_port_devices answers
    int port_number = 3;         // what get_port_number(0) answers
    short open_result = 0;       // what rs_open answers
    bool fill_unterminated = false;  // rs_gets fills the whole buffer without a terminating NUL
    std::vector<event> events;
};

// Resets every fake to play s.
void start(const setup& s);
// Calls in order: "console_open", "scan", "pickup <text>", "count", "port 0", "open <port> <baud>",
// "close <port>", "prompt key", "console_close". Polls and reads are left out.
const std::vector<std::string>& calls();
// Contract breaches seen by the fakes (rs_gets without data announced, wrong port, ...).
const std::vector<std::string>& faults();
// True when the program kept reading after the scripted events ran out.
bool starved();

}  // namespace fake_world
