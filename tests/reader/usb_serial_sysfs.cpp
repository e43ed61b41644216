#include "usb_serial_sysfs.h"

#include <fstream>

namespace fs = std::filesystem;

namespace e2e {

void write_file(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

void make_usb_serial_sysfs(const fs::path& root, usb_adapter kind) {
    const bool prolific = kind == usb_adapter::prolific;
    const fs::path usb = root / "sys/devices/pci0000:00/0000:00:14.0/usb1/1-1";
    const fs::path interface = usb / "1-1:1.0";
    const fs::path port = interface / "ttyUSB0";
    const fs::path driver = root / "sys/bus/usb-serial/drivers" / (prolific ? "pl2303" : "ftdi_sio");
    write_file(usb / "idVendor", prolific ? "067b\n" : "0403\n");
    write_file(usb / "idProduct", prolific ? "2303\n" : "6001\n");
    write_file(usb / "bcdDevice", "0300\n");
    write_file(usb / "product", prolific ? "USB-Serial Controller\n" : "FT232R USB UART\n");
    write_file(usb / "manufacturer", prolific ? "Prolific Technology Inc.\n" : "FTDI\n");
    write_file(usb / "serial", "A1B2C3\n");
    write_file(interface / "bInterfaceNumber", "00\n");
    fs::create_directories(port / "tty/ttyUSB0");
    fs::create_directories(driver);
    fs::create_directory_symlink(driver, port / "driver");
    fs::create_directories(root / "sys/class/tty");
    fs::create_directory_symlink(port / "tty/ttyUSB0", root / "sys/class/tty/ttyUSB0");
    fs::create_directory_symlink(port, port / "tty/ttyUSB0/device");
}

}  // namespace e2e
