// A sysfs tree with one USB serial adapter on ttyUSB0 (COM33), laid out as the kernel does, for
// the tests and benchmarks that run the reader over fixture ports.
#pragma once

#include <filesystem>
#include <string>

namespace e2e {

enum class usb_adapter { prolific, ftdi };

// Writes text to path, creating its folders.
void write_file(const std::filesystem::path& path, const std::string& text);
// Builds <root>/sys with the adapter's tty, its usb-serial port, interface and USB device.
void make_usb_serial_sysfs(const std::filesystem::path& root, usb_adapter kind);

}  // namespace e2e
