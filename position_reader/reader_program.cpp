#include "reader_program.h"

#include <cstdio>

#include "console.h"
#include "gga_decode.h"
#include "port_device.h"
#include "rs232.h"

namespace position_reader {

static_assert(receive_buffer_size == rs_line_buffer_size, "rs_gets fills a buffer of this size");

void wait_for_key() {
    std::printf("[hit return key to continue]\n");
    std::fflush(stdout);  // the user must see the prompt before we block
    console_read_key();
}

// Reads until a line decodes to a position (1, *out filled) or the user presses Esc (0).
static int read_until_position(unsigned short port, gga_position* out) {
    char line[receive_buffer_size];
    for (;;) {
        if (console_key_waiting() && console_read_key() == key_escape) {
            return 0;
        }
        if (rs_size(port) == 0) {
            continue;
        }
        line[0] = '\0';  // a failed read leaves an empty line, which is not GGA
        rs_gets(port, line);
        line[receive_buffer_size - 1] = '\0';  // never trust the library to terminate
        const gga_decode_result result = decode_gga_sentence(line, out);
        if (result == gga_decode_result::not_gga) {
            continue;
        }
        std::printf("GPS Raw log: <%s>\n", line);
        if (result == gga_decode_result::position) {
            return 1;
        }
        std::printf("Warning: GPS data error.\n");
        std::fflush(stdout);
    }
}

static int run_with_console_open() {
    std::printf("GPS Latitude,Longitude read test software\n");
    std::printf("\n");
    std::fflush(stdout);

    port_device_scan();
    port_device_pickup(GPS_ADAPTER_PATTERN);
    if (get_how_many_port_devices() == 0) {
        std::printf("Error: GPS com_port not found.\n");
        wait_for_key();
        return 1;
    }
    const int port = get_port_number(0);
    std::printf("com_port=%d , baud_rate=%d\n", port, GPS_BAUD_RATE);
    std::fflush(stdout);

    // The library names ports by a 16-bit number; the conversion is part of its contract.
    const unsigned short rs_port = static_cast<unsigned short>(port);
    if (rs_open(rs_port, GPS_BAUD_RATE) == -1) {
        std::printf("Error: COM%i cannot open.\n", port);
        wait_for_key();
        return 1;
    }

    gga_position position{};
    if (!read_until_position(rs_port, &position)) {
        rs_close(rs_port);
        return 0;
    }
    // Release the port before the prompt, so another program can use it while we wait.
    rs_close(rs_port);
    if (position.fix_quality == 0) {
        std::printf("Warning: GPS cannot get current location now.\n");
    }
    std::printf("\n");
    std::printf("Result: lat=%.6f,lng=%.6f\n", position.latitude, position.longitude);
    wait_for_key();
    return 0;
}

int run_position_reader() {
    console_open();
    const int status = run_with_console_open();
    std::fflush(stdout);
    console_close();
    return status;
}

}  // namespace position_reader
