// Linux serial ports: COM<n> is <device folder>/<tty name> from the fixed tty <-> COM mapping,
// opened in raw mode and for this process alone.
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "com_port_names.h"
#include "serial_device_directory.h"
#include "serial_io.h"

namespace rs232 {

namespace {

enum { path_size = 256 };

char device_directory[path_size] = "/dev";

struct baud_speed {
    int baud_rate;
    speed_t speed;
};

const baud_speed baud_speeds[] = {
    {1200, B1200},     {2400, B2400},     {4800, B4800},     {9600, B9600},   {19200, B19200},
    {38400, B38400},   {57600, B57600},   {115200, B115200}, {230400, B230400},
};

int speed_for(int baud_rate, speed_t* speed) {
    for (const baud_speed& entry : baud_speeds) {
        if (entry.baud_rate == baud_rate) {
            *speed = entry.speed;
            return 0;
        }
    }
    return -1;
}

int set_raw_8n1(int fd, speed_t speed) {
    termios settings;
    if (tcgetattr(fd, &settings) != 0) {
        return -1;
    }
    cfmakeraw(&settings);
    settings.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS);
    settings.c_cflag |= CS8 | CLOCAL | CREAD;
    // VMIN 1 with O_NONBLOCK: an empty queue reads as EAGAIN, so a read of 0 bytes means hang-up.
    settings.c_cc[VMIN] = 1;
    settings.c_cc[VTIME] = 0;
    if (cfsetispeed(&settings, speed) != 0 || cfsetospeed(&settings, speed) != 0) {
        return -1;
    }
    return tcsetattr(fd, TCSANOW, &settings);
}

}  // namespace

int set_device_directory(const char* path) {
    if (path == nullptr) {
        path = "/dev";
    }
    const size_t length = std::strlen(path);
    if (length == 0 || length >= sizeof device_directory) {
        return -1;
    }
    std::memcpy(device_directory, path, length + 1);
    return 0;
}

int serial_io_open(int port_number, int baud_rate) {
    speed_t speed;
    char tty[port_device::com_name_size];
    if (speed_for(baud_rate, &speed) != 0 || port_device::tty_for_com_number(port_number, tty) != 0) {
        return -1;
    }
    char path[path_size + port_device::com_name_size + 1];
    const int written = std::snprintf(path, sizeof path, "%s/%s", device_directory, tty);
    if (written < 0 || static_cast<size_t>(written) >= sizeof path) {
        return -1;
    }
    const int fd = open(path, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return -1;
    }
    // isatty keeps regular files out; TIOCEXCL keeps a second program (or a second open) away.
    if (!isatty(fd) || ioctl(fd, TIOCEXCL) != 0 || set_raw_8n1(fd, speed) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

int serial_io_wait(int device, int timeout_ms) {
    pollfd entry;
    entry.fd = device;
    entry.events = POLLIN;
    entry.revents = 0;
    const int result = poll(&entry, 1, timeout_ms < 0 ? 0 : timeout_ms);
    if (result < 0) {
        return errno == EINTR ? 1 : -1;  // a signal: let the caller look and wait again
    }
    if (result > 0 && (entry.revents & POLLNVAL) != 0) {
        return -1;
    }
    return result > 0 ? 1 : 0;
}

int serial_io_read(int device, char* buffer, int size) {
    if (size <= 0) {
        return 0;
    }
    for (;;) {
        const ssize_t count = read(device, buffer, static_cast<size_t>(size));
        if (count > 0) {
            return static_cast<int>(count);
        }
        if (count == 0) {
            return -1;  // end of file: the other side hung up
        }
        if (errno == EINTR) {
            continue;
        }
        return (errno == EAGAIN || errno == EWOULDBLOCK) ? 0 : -1;
    }
}

void serial_io_close(int device) {
    if (device >= 0) {
        close(device);
    }
}

void serial_io_sleep(int ms) {
    if (ms <= 0) {
        return;
    }
    timespec pause;
    pause.tv_sec = ms / 1000;
    pause.tv_nsec = static_cast<long>(ms % 1000) * 1000000L;
    while (nanosleep(&pause, &pause) != 0 && errno == EINTR) {
    }
}

}  // namespace rs232
