// Present serial ports from sysfs, described the way the Windows device setup describes the same
// hardware, so that picking by adapter type selects the same ports on both systems.
#include "port_class_source.h"

#include "linux_sysfs.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace port_device {

namespace {

// Snapshot taken at open, so member indexes stay put during one pass; -1 while closed.
serial_tty listed_ports[serial_tty_capacity];
int listed_count = -1;

enum adapter_kind { kind_prolific, kind_ftdi, kind_cp210x, kind_cypress, kind_arkmicro, kind_usb_other };

struct usb_identity {
    char vendor[sysfs_value_size];      // four hex digits, upper case
    char product_id[sysfs_value_size];
    char revision[sysfs_value_size];
    char product[sysfs_value_size];
    char manufacturer[sysfs_value_size];
    char serial[sysfs_value_size];
    char interface_number[sysfs_value_size];
};

void to_upper(char* text)
{
    for (; *text != '\0'; ++text) {
        if (*text >= 'a' && *text <= 'z') *text = static_cast<char>(*text - 'a' + 'A');
    }
}

// Reads dir/name into out (sysfs_value_size bytes); empty when absent.
void read_attribute(const char* dir, const char* name, char* out)
{
    char path[sysfs_path_size];
    out[0] = '\0';
    if (join_path(path, sizeof path, dir, name) == 0) read_sysfs_value(path, out, sysfs_value_size);
}

// The last path component of a link's target, such as the driver name behind device/driver.
void read_link_name(const char* dir, const char* name, char* out, int out_size)
{
    char path[sysfs_path_size];
    char target[sysfs_path_size];
    out[0] = '\0';
    if (join_path(path, sizeof path, dir, name) != 0) return;
    ssize_t length = readlink(path, target, sizeof target - 1);
    if (length <= 0) return;
    target[length] = '\0';
    const char* slash = std::strrchr(target, '/');
    const char* base = slash != nullptr ? slash + 1 : target;
    size_t copied = std::strlen(base);
    if (copied >= static_cast<size_t>(out_size)) copied = static_cast<size_t>(out_size) - 1;  // cut, as the caller's field demands
    std::memcpy(out, base, copied);
    out[copied] = '\0';
}

// Cuts path at its last slash; false when nothing is left to climb to.
bool to_parent(char* path)
{
    char* slash = std::strrchr(path, '/');
    if (slash == nullptr || slash == path) return false;
    *slash = '\0';
    return true;
}

// Climbs from the port's device to the USB device that carries idVendor: the usb-serial port of a
// ttyUSB sits two levels below it, the interface of a ttyACM one level. false when none is found.
bool find_usb_identity(const char* device_dir, usb_identity* usb)
{
    char dir[PATH_MAX];
    char below[PATH_MAX];   // the directory climbed from: the interface when the USB device is found
    std::snprintf(dir, sizeof dir, "%s", device_dir);
    below[0] = '\0';
    for (int level = 0; level < 4; ++level) {
        read_attribute(dir, "idVendor", usb->vendor);
        if (usb->vendor[0] != '\0') {
            read_attribute(dir, "idProduct", usb->product_id);
            read_attribute(dir, "bcdDevice", usb->revision);
            read_attribute(dir, "product", usb->product);
            read_attribute(dir, "manufacturer", usb->manufacturer);
            read_attribute(dir, "serial", usb->serial);
            usb->interface_number[0] = '\0';
            if (below[0] != '\0') read_attribute(below, "bInterfaceNumber", usb->interface_number);
            to_upper(usb->vendor);
            to_upper(usb->product_id);
            to_upper(usb->revision);
            return true;
        }
        std::snprintf(below, sizeof below, "%s", dir);
        if (!to_parent(dir)) return false;
    }
    return false;
}

adapter_kind usb_kind(const char* driver, const usb_identity& usb)
{
    if (std::strcmp(driver, "pl2303") == 0 || std::strcmp(usb.vendor, "067B") == 0) return kind_prolific;
    if (std::strcmp(driver, "ftdi_sio") == 0 || std::strcmp(usb.vendor, "0403") == 0) return kind_ftdi;
    if (std::strcmp(driver, "cp210x") == 0 || std::strcmp(usb.vendor, "10C4") == 0) return kind_cp210x;
    if (std::strcmp(driver, "cypress_m8") == 0) return kind_cypress;
    if (std::strcmp(driver, "ark3116") == 0) return kind_arkmicro;
    return kind_usb_other;
}

// true when the whole text fitted into out.
bool fits(int written, int out_size)
{
    return written >= 0 && written < out_size;
}

void describe_usb_port(const char* driver, const usb_identity& usb, char* description, char* hardware_id)
{
    const int size = property_buffer_size;
    char revision_part[sysfs_value_size + 8] = "";
    if (usb.revision[0] != '\0') std::snprintf(revision_part, sizeof revision_part, "&REV_%.4s", usb.revision);
    const char* text = "USB Serial Device";
    switch (usb_kind(driver, usb)) {
    case kind_prolific: text = "Prolific USB-to-Serial Comm Port"; break;
    case kind_ftdi: text = "USB Serial Port"; break;
    case kind_cp210x: text = "Silicon Labs CP210x USB to UART Bridge"; break;
    case kind_cypress: text = "Cypress USB-to-Serial Port"; break;
    case kind_arkmicro: text = "ArkMicro USB-to-Serial Port"; break;
    case kind_usb_other:
        if (usb.product[0] != '\0') text = usb.product;
        else if (usb.manufacturer[0] != '\0') text = usb.manufacturer;
        break;
    }
    std::snprintf(description, size, "%s", text);

    int written;
    if (usb_kind(driver, usb) == kind_ftdi) {
        // The FTDI bus driver names its ports by serial number and interface letter (A, B, ...).
        char letter = 'A';
        if (usb.interface_number[0] >= '0' && usb.interface_number[0] <= '9') {
            int number = 0;
            std::sscanf(usb.interface_number, "%d", &number);
            if (number >= 0 && number < 26) letter = static_cast<char>('A' + number);
        }
        if (usb.serial[0] != '\0')
            written = std::snprintf(hardware_id, size, "FTDIBUS\\VID_%s+PID_%s+%s%c\\0000", usb.vendor, usb.product_id, usb.serial, letter);
        else
            written = std::snprintf(hardware_id, size, "FTDIBUS\\VID_%s+PID_%s\\0000", usb.vendor, usb.product_id);
    } else {
        written = std::snprintf(hardware_id, size, "USB\\VID_%s&PID_%s%s", usb.vendor, usb.product_id, revision_part);
    }
    if (!fits(written, size)) hardware_id[0] = '\0';
}

// An on-board or PNP UART: its ACPI id from the firmware node, else the PNP id, else the 16550 default.
void describe_uart_port(const char* device_dir, char* description, char* hardware_id)
{
    std::snprintf(description, property_buffer_size, "%s", "Communications Port");
    char id[sysfs_value_size];
    read_attribute(device_dir, "firmware_node/hid", id);
    if (id[0] == '\0') read_attribute(device_dir, "id", id);
    if (id[0] == '\0') std::snprintf(id, sizeof id, "%s", "PNP0501");
    if (!fits(std::snprintf(hardware_id, property_buffer_size, "ACPI\\%s", id), property_buffer_size)) hardware_id[0] = '\0';
}

void describe_port(const serial_tty& port, char* description, char* friendly_name, char* hardware_id)
{
    char relative[sysfs_path_size];
    char link[sysfs_path_size];
    char device_dir[PATH_MAX];
    if (!fits(std::snprintf(relative, sizeof relative, "class/tty/%s/device", port.name), sizeof relative)) return;
    if (sysfs_path(link, sizeof link, relative) != 0) return;
    if (realpath(link, device_dir) == nullptr) return;   // gone since the list was taken

    char driver[sysfs_value_size];
    read_link_name(device_dir, "driver", driver, sizeof driver);
    usb_identity usb;
    if (find_usb_identity(device_dir, &usb)) {
        describe_usb_port(driver, usb, description, hardware_id);
    } else if (std::strncmp(port.name, "ttyS", 4) == 0) {
        describe_uart_port(device_dir, description, hardware_id);
    } else {
        std::snprintf(description, property_buffer_size, "%s", "USB Serial Device");
    }
    if (!fits(std::snprintf(friendly_name, property_buffer_size, "%s (COM%d)", description, port.com_number), property_buffer_size))
        friendly_name[0] = '\0';
}

}  // namespace

int port_class_list_open()
{
    int count = list_serial_ttys(listed_ports, serial_tty_capacity);
    if (count < 0) return -1;
    listed_count = count;
    return 0;
}

int port_class_list_read(int index, char* description, char* friendly_name, char* hardware_id)
{
    if (description == nullptr || friendly_name == nullptr || hardware_id == nullptr) return -1;
    if (index < 0 || index >= listed_count) return -1;
    description[0] = '\0';
    friendly_name[0] = '\0';
    hardware_id[0] = '\0';
    describe_port(listed_ports[index], description, friendly_name, hardware_id);
    return 0;
}

void port_class_list_close()
{
    listed_count = -1;
}

}  // namespace port_device
