#include "fake_reader_world.h"

#include <cstring>

#include "console.h"
#include "port_device.h"
#include "rs232.h"

namespace fake_world {
namespace {

setup current;
size_t next_event = 0;
std::vector<std::string> call_log;
std::vector<std::string> fault_log;
bool ran_out = false;
bool line_announced = false;
bool port_open = false;

bool at(event::kind_type kind) {
    return next_event < current.events.size() && current.events[next_event].kind == kind;
}

void check_port(const char* who, unsigned short port) {
    if (port != static_cast<unsigned short>(current.port_number)) {
        fault_log.push_back(std::string(who) + " for port " + std::to_string(port));
    }
}

}  // namespace

event line(const std::string& text) { return event{event::line, text, 0}; }
event idle() { return event{event::idle, "", 0}; }
event key(int code) { return event{event::key, "", code}; }

void start(const setup& s) {
    current = s;
    next_event = 0;
    call_log.clear();
    fault_log.clear();
    ran_out = false;
    line_announced = false;
    port_open = false;
}

const std::vector<std::string>& calls() { return call_log; }
const std::vector<std::string>& faults() { return fault_log; }
bool starved() { return ran_out; }

}  // namespace fake_world

using namespace fake_world;

extern "C" {

int port_device_scan(void) {
    call_log.push_back("scan");
    return 0;
}

int port_device_pickup(const char* name) {
    call_log.push_back(std::string("pickup ") + (name ? name : "(null)"));
    return current.selected_count;
}

int port_device_pickup_by_type(int) { return 0; }
int port_device_pickup_all(void) { return 0; }

int get_how_many_port_devices(void) {
    call_log.push_back("count");
    return current.selected_count;
}

int get_port_number(int index) {
    call_log.push_back("port " + std::to_string(index));
    return index < current.selected_count ? current.port_number : -1;
}

int get_port_name(int, char*) { return -1; }
int get_port_device_name(int, char*) { return -1; }
int get_port_device_name2(int, char*) { return -1; }

short rs_open(unsigned short port, int baud_rate) {
    call_log.push_back("open " + std::to_string(port) + " " + std::to_string(baud_rate));
    check_port("rs_open", port);
    port_open = current.open_result != -1;
    return current.open_result;
}

short rs_size(unsigned short port) {
    check_port("rs_size", port);
    if (!port_open) {
        fault_log.push_back("rs_size on a port that is not open");
    }
    if (at(event::idle)) {
        ++next_event;
        return 0;
    }
    if (at(event::line)) {
        line_announced = true;
        return 1;
    }
    if (next_event >= current.events.size()) {
        ran_out = true;  // the console fake now ends the run with Esc
    }
    return 0;
}

short rs_gets(unsigned short port, char* buffer) {
    check_port("rs_gets", port);
    if (!line_announced || !at(event::line)) {
        fault_log.push_back("rs_gets without a line announced");
        buffer[0] = '\0';
        return -1;
    }
    line_announced = false;
    const std::string& text = current.events[next_event++].text;
    if (current.fill_unterminated) {
        std::memset(buffer, 'x', rs_line_buffer_size);
        const size_t whole = rs_line_buffer_size;
        std::memcpy(buffer, text.data(), text.size() < whole ? text.size() : whole);
        return rs_line_buffer_size;
    }
    const size_t length = text.size() < rs_line_buffer_size - 1 ? text.size() : rs_line_buffer_size - 1;
    std::memcpy(buffer, text.data(), length);
    buffer[length] = '\0';
    return static_cast<short>(length);
}

short rs_close(unsigned short port) {
    call_log.push_back("close " + std::to_string(port));
    check_port("rs_close", port);
    port_open = false;
    return 0;
}

}  // extern "C"

namespace position_reader {

void console_open() { call_log.push_back("console_open"); }

int console_key_waiting() { return at(event::key) || ran_out; }

int console_read_key() {
    if (ran_out) {
        return key_escape;
    }
    if (at(event::key)) {
        return current.events[next_event++].key_code;
    }
    call_log.push_back("prompt key");
    return 'x';
}

void console_close() { call_log.push_back("console_close"); }

}  // namespace position_reader
