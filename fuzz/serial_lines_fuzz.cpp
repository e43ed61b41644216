// The serial library over a port that delivers an arbitrary byte stream cut into arbitrary chunks.
// Every line rs_gets delivers is 1..255 characters with no CR, LF or NUL, and nothing is lost but
// line ends and NULs: the delivered lines, joined, are the stream without them, except for an
// unfinished last line shorter than a whole piece, which stays waiting.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "rs232.h"
#include "serial_io.h"

namespace {

struct scripted_port {
    std::vector<std::string> chunks;  // what each read may return at most
    std::size_t next = 0;
    std::size_t offset = 0;           // into chunks[next]
    bool open = false;
    bool vanish_at_end = false;       // the port goes away once the stream is delivered
};

scripted_port port;

bool stream_left() { return port.next < port.chunks.size(); }

}  // namespace

// The scripted port, linked in place of the operating system's.
namespace rs232 {

const int serial_io_idle_wait_ms = 10;

int serial_io_open(int, int) {
    if (port.open) std::abort();  // the library opens a port only once at a time here
    port.open = true;
    return 3;
}

int serial_io_wait(int device, int) {
    if (device != 3 || !port.open) std::abort();
    if (stream_left()) return 1;
    return port.vanish_at_end ? -1 : 0;
}

int serial_io_read(int device, char* buffer, int size) {
    if (device != 3 || !port.open || size <= 0) std::abort();
    if (!stream_left()) return port.vanish_at_end ? -1 : 0;
    const std::string& chunk = port.chunks[port.next];
    std::size_t count = chunk.size() - port.offset;
    if (count > static_cast<std::size_t>(size)) count = static_cast<std::size_t>(size);
    std::memcpy(buffer, chunk.data() + port.offset, count);
    port.offset += count;
    if (port.offset == chunk.size()) {
        ++port.next;
        port.offset = 0;
    }
    return static_cast<int>(count);
}

void serial_io_close(int device) {
    if (device != 3 || !port.open) std::abort();
    port.open = false;
}

void serial_io_sleep(int) {}

}  // namespace rs232

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Byte 0: flags; then chunks, each a length byte followed by that many stream bytes.
    port = scripted_port();
    if (size == 0) return 0;
    port.vanish_at_end = (data[0] & 1) != 0;
    const bool gets_without_size = (data[0] & 2) != 0;
    std::string stream;
    std::size_t at = 1;
    while (at < size) {
        std::size_t length = data[at++];
        if (length == 0) length = 1;
        if ((data[0] & 4) != 0) length *= 16;  // long chunks too, to fill the receive buffer
        if (length > size - at) length = size - at;
        if (length == 0) break;
        port.chunks.emplace_back(reinterpret_cast<const char*>(data + at), length);
        stream.append(reinterpret_cast<const char*>(data + at), length);
        at += length;
    }

    if (rs_open(5, 38400) != 0) std::abort();
    std::string joined;
    char* buffer = static_cast<char*>(std::malloc(rs_line_buffer_size));  // exactly the promised size
    if (buffer == nullptr) std::abort();
    for (int idle = 0; idle < 3;) {
        if (!gets_without_size && rs_size(5) == 0) {
            ++idle;
            continue;
        }
        const short length = rs_gets(5, buffer);
        if (length < 0) {
            if (!gets_without_size) std::abort();  // rs_size said a line was ready
            if (!stream_left()) ++idle;
            continue;
        }
        idle = 0;
        if (length < 1 || length > 255 || std::strlen(buffer) != static_cast<std::size_t>(length)) std::abort();
        if (std::strpbrk(buffer, "\r\n") != nullptr) std::abort();
        joined.append(buffer, static_cast<std::size_t>(length));
    }
    std::free(buffer);

    // What should have arrived: the stream without NULs and line ends, less the unfinished tail.
    std::string expected;
    std::size_t tail = 0;  // characters since the last line end
    for (char c : stream) {
        if (c == '\0') continue;
        if (c == '\r' || c == '\n') {
            tail = 0;
            continue;
        }
        expected += c;
        ++tail;
    }
    const std::size_t waiting = tail % 255;
    if (joined.size() + waiting != expected.size()) std::abort();
    if (expected.compare(0, joined.size(), joined) != 0) std::abort();

    if (rs_close(5) != 0) std::abort();
    if (port.open && !port.vanish_at_end) std::abort();  // closing released the port
    if (rs_close(5) != -1 || rs_size(5) != 0 || rs_gets(5, nullptr) != -1) std::abort();
    return 0;
}
