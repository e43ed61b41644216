// Reads a serial port through rs232_dll.dll as the position reader does, for the Wine test:
//   rs232_wine_probe PORT LINES
// Prints each line, then how long idle rs_size calls take while the port is quiet and after
// the other end has gone away. Exit status 0 when everything behaved, 1 otherwise.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "rs232.h"

namespace {

unsigned long long cpu_ms() {
    FILETIME created, ended, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &ended, &kernel, &user);
    const unsigned long long k = (static_cast<unsigned long long>(kernel.dwHighDateTime) << 32) | kernel.dwLowDateTime;
    const unsigned long long u = (static_cast<unsigned long long>(user.dwHighDateTime) << 32) | user.dwLowDateTime;
    return (k + u) / 10000;
}

// Times rs_size calls; true when none found a line, with each taking about 10 ms of wall
// time and little processor time.
bool idle_calls_wait(unsigned short port, int calls, const char* label) {
    const unsigned long long wall_start = GetTickCount64();
    const unsigned long long cpu_start = cpu_ms();
    int lines = 0;
    for (int call = 0; call < calls; ++call) lines += rs_size(port) != 0;
    const unsigned long long wall = GetTickCount64() - wall_start;
    const unsigned long long cpu = cpu_ms() - cpu_start;
    std::printf("%s: %d calls, %llu ms, cpu %llu ms, lines %d\n", label, calls, wall, cpu, lines);
    return lines == 0 && wall >= static_cast<unsigned long long>(calls) * 5 &&
           wall <= static_cast<unsigned long long>(calls) * 20 && cpu <= wall / 4;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::printf("usage: rs232_wine_probe PORT LINES\n");
        return 2;
    }
    const unsigned short port = static_cast<unsigned short>(std::atoi(argv[1]));
    const int wanted = std::atoi(argv[2]);
    bool ok = true;
    if (rs_open(port, 38400) != 0) {
        std::printf("open failed\n");
        return 1;
    }
    char line[rs_line_buffer_size];
    int got = 0;
    const unsigned long long deadline = GetTickCount64() + 10000;
    while (got < wanted && GetTickCount64() < deadline) {
        if (rs_size(port) != 0 && rs_gets(port, line) >= 0) {
            std::printf("line: <%s>\n", line);
            ++got;
        }
    }
    ok &= got == wanted;
    ok &= idle_calls_wait(port, 50, "quiet");
    std::fflush(stdout);  // the test closes the sending end when it sees the line above
    // From the hang-up on nothing may come and nothing may spin.
    const unsigned long long hangup_deadline = GetTickCount64() + 3000;
    while (GetTickCount64() < hangup_deadline) {
        if (rs_size(port) != 0) rs_gets(port, line);
    }
    ok &= idle_calls_wait(port, 50, "gone");
    ok &= rs_gets(port, line) == -1;
    ok &= rs_close(port) == 0;
    ok &= rs_close(port) == -1;
    ok &= rs_open(static_cast<unsigned short>(port + 100), 38400) == -1;  // no such device
    std::printf("%s\n", ok ? "probe ok" : "probe FAILED");
    return ok ? 0 : 1;
}
