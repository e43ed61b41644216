// The Linux port sources over sysfs trees built in a temporary directory, shaped like real
// kernels' trees, and once over this machine's own sysfs.
#include "linux_sysfs.h"
#include "port_class_source.h"
#include "port_device.h"
#include "port_table.h"
#include "serial_map_source.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

using namespace port_device;
namespace fs = std::filesystem;

namespace {

const char usb_bus[] = "devices/pci0000:00/0000:00:14.0/usb1";

// Builds sysfs shapes below <root>/sys with relative links, as the kernel does.
class sysfs_tree {
public:
    sysfs_tree()
    {
        std::string pattern = (fs::temp_directory_path() / "sysfs-fixture-XXXXXX").string();
        std::vector<char> buffer(pattern.begin(), pattern.end());
        buffer.push_back('\0');
        if (mkdtemp(buffer.data()) != nullptr) root = buffer.data();
        fs::create_directories(sys() / "class/tty");
    }
    ~sysfs_tree()
    {
        std::error_code ignored;
        if (!root.empty()) fs::remove_all(root, ignored);
    }

    fs::path sys() const { return fs::path(root) / "sys"; }

    void file(const std::string& relative, const std::string& value)
    {
        fs::path path = sys() / relative;
        fs::create_directories(path.parent_path());
        std::ofstream(path) << value << "\n";
    }

    void link(const std::string& relative, const std::string& target_relative)
    {
        fs::path path = sys() / relative;
        fs::path target = sys() / target_relative;
        fs::create_directories(path.parent_path());
        fs::create_directories(target);
        fs::create_symlink(fs::relative(target, path.parent_path()), path);
    }

    // The class entry of a tty whose device directory is device_dir (null: a virtual tty, no device link).
    void tty(const std::string& name, const std::string& class_dir, const char* device_dir)
    {
        fs::create_directories(sys() / class_dir);
        link("class/tty/" + name, class_dir);
        if (device_dir != nullptr) link(class_dir + "/device", device_dir);
    }

    void usb_device(const std::string& usb_dir, const char* vendor, const char* product_id, const char* revision,
                    const char* manufacturer, const char* product, const char* serial)
    {
        file(usb_dir + "/idVendor", vendor);
        file(usb_dir + "/idProduct", product_id);
        file(usb_dir + "/bcdDevice", revision);
        if (manufacturer != nullptr) file(usb_dir + "/manufacturer", manufacturer);
        if (product != nullptr) file(usb_dir + "/product", product);
        if (serial != nullptr) file(usb_dir + "/serial", serial);
    }

    // A usb-serial adapter: USB device / interface / ttyUSBn port / tty / ttyUSBn.
    void usb_serial(const std::string& name, const std::string& usb_dir, const char* driver, int interface_number)
    {
        std::string interface_dir = usb_dir + "/" + fs::path(usb_dir).filename().string() + ":1." + std::to_string(interface_number);
        file(interface_dir + "/bInterfaceNumber", "0" + std::to_string(interface_number));
        std::string port_dir = interface_dir + "/" + name;
        link(port_dir + "/driver", std::string("bus/usb-serial/drivers/") + driver);
        tty(name, port_dir + "/tty/" + name, port_dir.c_str());
    }

    // A CDC ACM modem: the tty's device is the interface itself, one level closer to the USB device.
    void usb_acm(const std::string& name, const std::string& usb_dir)
    {
        std::string interface_dir = usb_dir + "/" + fs::path(usb_dir).filename().string() + ":1.0";
        file(interface_dir + "/bInterfaceNumber", "00");
        link(interface_dir + "/driver", "bus/usb/drivers/cdc_acm");
        tty(name, interface_dir + "/tty/" + name, interface_dir.c_str());
    }

    void uart(const std::string& name, const std::string& device_dir, const char* type)
    {
        link(device_dir + "/driver", "bus/serial-base/drivers/port");
        tty(name, device_dir + "/tty/" + name, device_dir.c_str());
        if (type != nullptr) file(device_dir + "/tty/" + name + "/type", type);
    }

    std::string root;
};

struct expected_port {
    int port_number;
    const char* port_name;
    const char* device_name;
    const char* device_name2;
    const char* friendly_name;
};

// Every adapter kind, added out of COM order to show that the listing sorts.
const expected_port fixture_ports[] = {
    {1, "Communications Port", "ACPI\\PNP0501", "/dev/ttyS0", "Communications Port (COM1)"},
    {3, "Communications Port", "ACPI\\PNP0501", "/dev/ttyS2", "Communications Port (COM3)"},
    {33, "Prolific USB-to-Serial Comm Por", "USB\\VID_067B&PID_2303&REV_0300", "/dev/ttyUSB0",
     "Prolific USB-to-Serial Comm Port (COM33)"},
    {34, "USB Serial Port", "FTDIBUS\\VID_0403+PID_6001+A600XYZBA\\0000", "/dev/ttyUSB1", "USB Serial Port (COM34)"},
    {35, "Silicon Labs CP210x USB to UART", "USB\\VID_10C4&PID_EA60&REV_0100", "/dev/ttyUSB2",
     "Silicon Labs CP210x USB to UART Bridge (COM35)"},
    {36, "Cypress USB-to-Serial Port", "USB\\VID_04B4&PID_5500&REV_0000", "/dev/ttyUSB3", "Cypress USB-to-Serial Port (COM36)"},
    {37, "ArkMicro USB-to-Serial Port", "USB\\VID_6547&PID_0232&REV_0001", "/dev/ttyUSB4",
     "ArkMicro USB-to-Serial Port (COM37)"},
    {38, "USB Serial Port", "FTDIBUS\\VID_0403+PID_6010+FT4XYZB\\0000", "/dev/ttyUSB5", "USB Serial Port (COM38)"},
    {39, "USB Serial Port", "FTDIBUS\\VID_0403+PID_6015\\0000", "/dev/ttyUSB6", "USB Serial Port (COM39)"},
    {43, "USB Serial", "USB\\VID_1A86&PID_7523&REV_0264", "/dev/ttyUSB10", "USB Serial (COM43)"},
    {44, "USB Serial Device", "USB\\VID_1234&PID_5678&REV_0100", "/dev/ttyUSB11", "USB Serial Device (COM44)"},
    {65, "u-blox GNSS receiver", "USB\\VID_1546&PID_01A8&REV_0301", "/dev/ttyACM0", "u-blox GNSS receiver (COM65)"},
};

class sysfs_source_test : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(tree.root.empty());
        const std::string usb(usb_bus);
        tree.usb_device(usb + "/1-1", "0403", "6001", "0600", "FTDI", "FT232R USB UART", "A600XYZB");
        tree.usb_serial("ttyUSB1", usb + "/1-1", "ftdi_sio", 0);
        tree.usb_device(usb + "/1-2", "067b", "2303", "0300", "Prolific Technology Inc.", "USB-Serial Controller", nullptr);
        tree.usb_serial("ttyUSB0", usb + "/1-2", "pl2303", 0);
        tree.usb_device(usb + "/1-3", "10c4", "ea60", "0100", "Silicon Labs", "CP2102 USB to UART Bridge Controller", "0001");
        tree.usb_serial("ttyUSB2", usb + "/1-3", "cp210x", 0);
        tree.usb_device(usb + "/1-4", "04b4", "5500", "0000", nullptr, nullptr, nullptr);
        tree.usb_serial("ttyUSB3", usb + "/1-4", "cypress_m8", 0);
        tree.usb_device(usb + "/1-5", "6547", "0232", "0001", nullptr, nullptr, nullptr);
        tree.usb_serial("ttyUSB4", usb + "/1-5", "ark3116", 0);
        // Second channel of a dual FTDI chip: interface 1 is letter B.
        tree.usb_device(usb + "/1-6", "0403", "6010", "0700", "FTDI", "Dual RS232-HS", "FT4XYZ");
        tree.usb_serial("ttyUSB5", usb + "/1-6", "ftdi_sio", 1);
        // An FTDI chip with no serial number, driven by a driver of another name: recognised by vendor.
        tree.usb_device(usb + "/1-10", "0403", "6015", "1000", nullptr, nullptr, nullptr);
        tree.usb_serial("ttyUSB6", usb + "/1-10", "usbserial_generic", 0);
        tree.usb_device(usb + "/1-7", "1a86", "7523", "0264", nullptr, "USB Serial", nullptr);
        tree.usb_serial("ttyUSB10", usb + "/1-7", "ch341-uart", 0);
        tree.usb_device(usb + "/1-8", "1234", "5678", "0100", nullptr, nullptr, nullptr);
        tree.usb_serial("ttyUSB11", usb + "/1-8", "option", 0);
        tree.usb_device(usb + "/1-9", "1546", "01a8", "0301", "u-blox AG - www.u-blox.com", "u-blox GNSS receiver", nullptr);
        tree.usb_acm("ttyACM0", usb + "/1-9");

        // An ACPI 16550 on a current kernel: serial-base port device with its firmware node.
        tree.file("devices/LNXSYSTM:00/LNXSYBUS:00/PNP0501:00/hid", "PNP0501");
        tree.file("devices/pnp0/00:00/id", "PNP0501");
        tree.uart("ttyS0", "devices/pnp0/00:00/00:00:0/00:00:0.0", "4");
        tree.link("devices/pnp0/00:00/00:00:0/00:00:0.0/firmware_node", "devices/LNXSYSTM:00/LNXSYBUS:00/PNP0501:00");
        // Phantom 8250 ports: registered, UART type unknown.
        tree.uart("ttyS1", "devices/platform/serial8250/serial8250:0/serial8250:0.1", "0");
        tree.uart("ttyS31", "devices/platform/serial8250/serial8250:0/serial8250:0.31", "0");
        // A legacy 8250 with a UART but no firmware node: the 16550 default.
        tree.uart("ttyS2", "devices/platform/serial8250/serial8250:0/serial8250:0.2", "4");
        // Virtual ttys: none has a device outside devices/virtual.
        tree.tty("ttyprintk", "devices/virtual/tty/ttyprintk", nullptr);
        tree.tty("console", "devices/virtual/tty/console", nullptr);
        tree.tty("ttyS5", "devices/virtual/tty/ttyS5", nullptr);
        tree.tty("ttyUSB9", "devices/virtual/tty/ttyUSB9", "devices/virtual/tty/ttyUSB9");
        // Outside the COM mapping.
        tree.uart("ttyAMA0", "devices/platform/fe201000.serial", "4");

        reset_port_device_state();
        set_sysfs_root(tree.root.c_str());
    }

    void TearDown() override { set_sysfs_root(nullptr); }

    sysfs_tree tree;
};

TEST_F(sysfs_source_test, class_source_describes_each_adapter_like_the_windows_setup)
{
    ASSERT_EQ(port_class_list_open(), 0);
    int index = 0;
    for (const expected_port& port : fixture_ports) {
        SCOPED_TRACE(port.friendly_name);
        char description[property_buffer_size];
        char friendly_name[property_buffer_size];
        char hardware_id[property_buffer_size];
        ASSERT_EQ(port_class_list_read(index++, description, friendly_name, hardware_id), 0);
        EXPECT_STREQ(friendly_name, port.friendly_name);
        EXPECT_EQ(std::strncmp(description, port.port_name, std::strlen(port.port_name)), 0) << description;
        EXPECT_STREQ(hardware_id, port.device_name);
    }
    char d[property_buffer_size], f[property_buffer_size], h[property_buffer_size];
    EXPECT_EQ(port_class_list_read(index, d, f, h), -1);
    EXPECT_EQ(port_class_list_read(-1, d, f, h), -1);
    port_class_list_close();
    EXPECT_EQ(port_class_list_read(0, d, f, h), -1);
}

TEST_F(sysfs_source_test, serial_map_names_each_real_port_by_its_device_node)
{
    ASSERT_EQ(serial_map_open(), 0);
    int index = 0;
    for (const expected_port& port : fixture_ports) {
        char name[map_name_size];
        char data[map_data_size];
        int is_string = 0;
        ASSERT_EQ(serial_map_read(index++, name, &is_string, data), 0);
        EXPECT_STREQ(name, port.device_name2);
        EXPECT_EQ(is_string, 1);
        EXPECT_EQ(data, "COM" + std::to_string(port.port_number));
    }
    char name[map_name_size], data[map_data_size];
    int is_string = 0;
    EXPECT_EQ(serial_map_read(index, name, &is_string, data), -1);
    serial_map_close();
}

TEST_F(sysfs_source_test, scan_lists_every_real_port_once_in_com_order)
{
    ASSERT_EQ(port_device_scan(), static_cast<int>(std::size(fixture_ports)));
    ASSERT_EQ(port_device_pickup_all(), static_cast<int>(std::size(fixture_ports)));
    int index = 0;
    for (const expected_port& port : fixture_ports) {
        SCOPED_TRACE(port.friendly_name);
        char port_name[port_name_size];
        char device_name[device_name_size];
        char device_name2[device_name_size];
        EXPECT_EQ(get_port_number(index), port.port_number);
        ASSERT_EQ(get_port_name(index, port_name), 0);
        ASSERT_EQ(get_port_device_name(index, device_name), 0);
        ASSERT_EQ(get_port_device_name2(index, device_name2), 0);
        EXPECT_STREQ(port_name, port.port_name);
        EXPECT_STREQ(device_name, port.device_name);
        EXPECT_STREQ(device_name2, port.device_name2);
        ++index;
    }
}

TEST_F(sysfs_source_test, adapter_types_pick_the_same_hardware_as_on_windows)
{
    struct type_case {
        int type;
        std::vector<int> port_numbers;
    };
    const type_case cases[] = {
        {port_device_type_acpi_pnp, {1, 3}},
        {port_device_type_ftdi, {34, 38, 39}},
        {port_device_type_cp210x, {35}},
        {port_device_type_prolific, {33}},
        {port_device_type_cypress, {36}},
        {port_device_type_arkmicro, {37}},
    };
    ASSERT_GT(port_device_scan(), 0);
    for (const type_case& c : cases) {
        SCOPED_TRACE(c.type);
        std::vector<int> picked;
        int count = port_device_pickup_by_type(c.type);
        for (int k = 0; k < count; ++k) picked.push_back(get_port_number(k));
        EXPECT_EQ(picked, c.port_numbers);
    }
}

TEST_F(sysfs_source_test, a_root_without_sysfs_yields_no_ports)
{
    set_sysfs_root((tree.root + "/nothing-here").c_str());
    EXPECT_EQ(port_class_list_open(), -1);
    EXPECT_EQ(serial_map_open(), -1);
    EXPECT_EQ(port_device_scan(), 0);

    // A trailing slash names the same tree.
    set_sysfs_root((tree.root + "/").c_str());
    EXPECT_EQ(port_device_scan(), static_cast<int>(std::size(fixture_ports)));

    // A root too long for the path buffers reads nothing and overflows nothing.
    const std::string long_root(5000, 'r');
    set_sysfs_root(long_root.c_str());
    char path[sysfs_path_size];
    EXPECT_EQ(sysfs_path(path, sizeof path, "class/tty"), -1);
    EXPECT_EQ(serial_map_open(), -1);
}

TEST_F(sysfs_source_test, values_lose_their_newline_and_missing_ones_read_empty)
{
    struct value_case {
        const char* content;   // null: no file
        int result;
        const char* value;
    };
    const value_case cases[] = {
        {"067b\n", 0, "067b"},
        {"4", 0, "4"},
        {"Prolific Technology Inc. \n", 0, "Prolific Technology Inc."},
        {"first\nsecond\n", 0, "first"},
        {"", 0, ""},
        {nullptr, -1, ""},
    };
    for (const value_case& c : cases) {
        SCOPED_TRACE(c.content != nullptr ? c.content : "(missing)");
        fs::path path = tree.sys() / "value";
        fs::remove(path);
        if (c.content != nullptr) std::ofstream(path) << c.content;
        char out[sysfs_value_size];
        std::memset(out, 'x', sizeof out);
        EXPECT_EQ(read_sysfs_value(path.c_str(), out, sizeof out), c.result);
        EXPECT_STREQ(out, c.value);
    }
    // A value longer than the buffer is cut, still terminated.
    fs::path path = tree.sys() / "value";
    std::ofstream(path) << std::string(100, 'v');
    char small[8];
    EXPECT_EQ(read_sysfs_value(path.c_str(), small, sizeof small), 0);
    EXPECT_STREQ(small, "vvvvvvv");
}

// This machine's own sysfs: whatever it holds, the result is sane.
TEST(real_sysfs, scan_gives_a_sane_result)
{
    set_sysfs_root(nullptr);
    int count = port_device_scan();
    ASSERT_GE(count, 0);
    ASSERT_LE(count, table_capacity);
    ASSERT_EQ(port_device_pickup_all(), count);
    for (int k = 0; k < count; ++k) {
        char port_name[port_name_size];
        char device_name[device_name_size];
        char device_name2[device_name_size];
        std::memset(port_name, 'x', sizeof port_name);
        std::memset(device_name, 'x', sizeof device_name);
        std::memset(device_name2, 'x', sizeof device_name2);
        EXPECT_GE(get_port_number(k), 0);
        ASSERT_EQ(get_port_name(k, port_name), 0);
        ASSERT_EQ(get_port_device_name(k, device_name), 0);
        ASSERT_EQ(get_port_device_name2(k, device_name2), 0);
        EXPECT_NE(std::memchr(port_name, '\0', sizeof port_name), nullptr);
        EXPECT_NE(std::memchr(device_name, '\0', sizeof device_name), nullptr);
        EXPECT_NE(std::memchr(device_name2, '\0', sizeof device_name2), nullptr);
    }
}

}  // namespace
