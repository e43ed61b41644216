// A serial library that opens every port and never has data, and answers at once: linked into a
// bench-only reader to show what the reading loop would cost without the library's wait.
#include "rs232.h"
#include "serial_device_directory.h"

namespace rs232 {
int set_device_directory(const char*) { return 0; }
}  // namespace rs232

extern "C" {
short rs_open(unsigned short, int) { return 0; }
short rs_size(unsigned short) { return 0; }
short rs_gets(unsigned short, char* buffer) {
    if (buffer != nullptr) buffer[0] = '\0';
    return -1;
}
short rs_close(unsigned short) { return 0; }
}
