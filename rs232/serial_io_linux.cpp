// Linux serial ports: COM<n> is <device folder>/<tty name> from the fixed tty <-> COM mapping,
// opened in raw mode and for this process alone.
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
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

// Standard input joins every wait while a key press may arrive on it, so a caller that polls the
// keyboard and the port in turn (the position reader) answers a key at once although an idle
// wait is long. It is left out for good once the input has ended or when it is of a kind that is
// always readable (a file, /dev/null), and left out while it holds bytes nobody has read yet, so
// a caller that never reads the keyboard is not woken over and over.
int keyboard_state = 0;  // 0 not looked at yet, 1 watched, -1 never watched

bool keyboard_joins_wait() {
    if (keyboard_state == 0) {
        struct stat input;
        const bool watchable = fstat(STDIN_FILENO, &input) == 0 &&
                               ((S_ISCHR(input.st_mode) && isatty(STDIN_FILENO)) || S_ISFIFO(input.st_mode) ||
                                S_ISSOCK(input.st_mode));
        keyboard_state = watchable ? 1 : -1;
    }
    if (keyboard_state < 0) {
        return false;
    }
    int unread = 0;
    if (ioctl(STDIN_FILENO, FIONREAD, &unread) != 0) {
        keyboard_state = -1;
        return false;
    }
    return unread == 0;
}

// An input that hung up with nothing left to read has ended: stop watching it.
void note_keyboard_events(short events) {
    if ((events & (POLLHUP | POLLERR | POLLNVAL)) == 0) {
        return;
    }
    int unread = 0;
    if ((events & POLLNVAL) != 0 || ioctl(STDIN_FILENO, FIONREAD, &unread) != 0 || unread == 0) {
        keyboard_state = -1;
    }
}

// Waits on the device (none when device < 0) and the keyboard: 1 when the device is readable or a
// signal came, 0 when the time passed or a key arrived, -1 when the device is unusable.
int wait_for_device_or_key(int device, int timeout_ms) {
    pollfd entries[2];
    entries[0].fd = device;  // poll skips a negative descriptor
    entries[0].events = POLLIN;
    entries[0].revents = 0;
    nfds_t count = 1;
    if (keyboard_joins_wait()) {
        entries[1].fd = STDIN_FILENO;
        entries[1].events = POLLIN;
        entries[1].revents = 0;
        count = 2;
    }
    const int result = poll(entries, count, timeout_ms < 0 ? 0 : timeout_ms);
    if (result < 0) {
        return errno == EINTR ? 1 : -1;  // a signal: let the caller look and wait again
    }
    if (count == 2) {
        note_keyboard_events(entries[1].revents);
    }
    if (device >= 0 && entries[0].revents != 0) {
        return (entries[0].revents & POLLNVAL) != 0 ? -1 : 1;
    }
    return 0;
}

}  // namespace

const int serial_io_idle_wait_ms = 50;

void watch_keyboard_afresh() {
    keyboard_state = 0;
}

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
    return wait_for_device_or_key(device, timeout_ms);
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
    if (ms > 0) {
        wait_for_device_or_key(-1, ms);
    }
}

}  // namespace rs232
