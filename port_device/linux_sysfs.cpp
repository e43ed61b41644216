#include "linux_sysfs.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

namespace port_device {

namespace {

// Kept without its trailing slashes, so "/" is stored as "" and paths never start with "//".
char sysfs_root[sysfs_path_size] = "";
bool sysfs_root_usable = true;

bool text_ends_with(const char* text, const char* tail)
{
    size_t text_length = std::strlen(text);
    size_t tail_length = std::strlen(tail);
    return text_length >= tail_length && std::strcmp(text + text_length - tail_length, tail) == 0;
}

bool lies_under_virtual(const char* resolved)
{
    return std::strstr(resolved, "/sys/devices/virtual/") != nullptr || text_ends_with(resolved, "/sys/devices/virtual");
}

// A real port: its device link resolves outside devices/virtual, and a ttyS port has a known UART
// (type 0 marks the phantom 8250 ports that every kernel registers, UART or not).
bool is_real_port(const char* tty_name)
{
    char relative[sysfs_path_size];
    char path[sysfs_path_size];
    if (std::snprintf(relative, sizeof relative, "class/tty/%s/device", tty_name) >= static_cast<int>(sizeof relative)) return false;
    if (sysfs_path(path, sizeof path, relative) != 0) return false;
    char resolved[PATH_MAX];
    if (realpath(path, resolved) == nullptr) return false;
    if (lies_under_virtual(resolved)) return false;
    if (std::strncmp(tty_name, "ttyS", 4) == 0) {
        char type[sysfs_value_size];
        if (std::snprintf(relative, sizeof relative, "class/tty/%s/type", tty_name) >= static_cast<int>(sizeof relative)) return false;
        if (sysfs_path(path, sizeof path, relative) != 0) return false;
        // An unreadable type cannot prove the port a phantom, so it stays listed.
        if (read_sysfs_value(path, type, sizeof type) == 0 && std::strcmp(type, "0") == 0) return false;
    }
    return true;
}

}  // namespace

void set_sysfs_root(const char* root)
{
    if (root == nullptr) root = "/";
    size_t length = std::strlen(root);
    while (length > 0 && root[length - 1] == '/') --length;
    sysfs_root_usable = length < sizeof sysfs_root;
    if (!sysfs_root_usable) length = 0;
    std::memcpy(sysfs_root, root, length);
    sysfs_root[length] = '\0';
}

int sysfs_path(char* out, int out_size, const char* relative)
{
    if (out == nullptr || out_size <= 0) return -1;
    out[0] = '\0';
    if (!sysfs_root_usable || relative == nullptr) return -1;
    int written = std::snprintf(out, static_cast<size_t>(out_size), "%s/sys/%s", sysfs_root, relative);
    if (written < 0 || written >= out_size) {
        out[0] = '\0';
        return -1;
    }
    return 0;
}

int join_path(char* out, int out_size, const char* dir, const char* name)
{
    if (out == nullptr || out_size <= 0) return -1;
    out[0] = '\0';
    if (dir == nullptr || name == nullptr) return -1;
    int written = std::snprintf(out, static_cast<size_t>(out_size), "%s/%s", dir, name);
    if (written < 0 || written >= out_size) {
        out[0] = '\0';
        return -1;
    }
    return 0;
}

int read_sysfs_value(const char* path, char* out, int out_size)
{
    if (out == nullptr || out_size <= 0) return -1;
    out[0] = '\0';
    if (path == nullptr) return -1;
    int fd = open(path, O_RDONLY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return -1;
    int length = 0;
    bool failed = false;
    while (length < out_size - 1) {
        ssize_t got = read(fd, out + length, static_cast<size_t>(out_size - 1 - length));
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) failed = true;
        if (got <= 0) break;
        length += static_cast<int>(got);
    }
    close(fd);
    if (failed) {
        out[0] = '\0';
        return -1;
    }
    out[length] = '\0';
    char* newline = std::strchr(out, '\n');
    if (newline != nullptr) *newline = '\0';
    length = static_cast<int>(std::strlen(out));
    while (length > 0 && (out[length - 1] == ' ' || out[length - 1] == '\t' || out[length - 1] == '\r')) out[--length] = '\0';
    return 0;
}

int list_serial_ttys(serial_tty* out, int capacity)
{
    if (out == nullptr || capacity < 0) return -1;
    char path[sysfs_path_size];
    if (sysfs_path(path, sizeof path, "class/tty") != 0) return -1;
    DIR* dir = opendir(path);
    if (dir == nullptr) return -1;
    int count = 0;
    while (dirent* entry = readdir(dir)) {
        int com_number = com_number_for_tty(entry->d_name);
        if (com_number < 0 || count >= capacity) continue;
        if (!is_real_port(entry->d_name)) continue;
        // Names in the mapping are short, so they fit the name field.
        size_t length = std::strlen(entry->d_name);
        if (length >= sizeof out[count].name) continue;
        std::memcpy(out[count].name, entry->d_name, length + 1);
        out[count].com_number = com_number;
        ++count;
    }
    closedir(dir);
    // Directory order is arbitrary: sort by COM number so indexes follow COM2 before COM10.
    for (int i = 1; i < count; ++i) {
        serial_tty moving = out[i];
        int j = i;
        for (; j > 0 && out[j - 1].com_number > moving.com_number; --j) out[j] = out[j - 1];
        out[j] = moving;
    }
    return count;
}

}  // namespace port_device
