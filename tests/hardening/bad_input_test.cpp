// Bad calls across the exported functions, made as a client program makes them: through the
// shared port device library and the serial library, in a process whose state starts untouched.
// Each bad call must give its documented result and leave the table, the selection and the
// caller's buffer as they were. Built a second time on Linux over a sysfs tree with several ports,
// so that the calls also meet a full table and selection.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "port_device.h"
#include "rs232.h"

#if defined(BAD_INPUT_SYSFS_FIXTURE)
#include <stdlib.h>

#include <filesystem>
#include <fstream>

#include "linux_sysfs.h"
#endif

namespace {

#if defined(BAD_INPUT_SYSFS_FIXTURE)
namespace fs = std::filesystem;

void write_file(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

// Two Prolific adapters, an FTDI adapter and two UARTs.
class sysfs_ports : public ::testing::Environment {
public:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "bad_input_XXXXXX").string();
        ASSERT_NE(mkdtemp(&pattern[0]), nullptr);
        root_ = pattern;
        const struct {
            const char* tty;
            const char* vendor;
            const char* driver;
        } adapters[] = {{"ttyUSB0", "067b", "pl2303"}, {"ttyUSB1", "0403", "ftdi_sio"}, {"ttyUSB2", "067b", "pl2303"}};
        int n = 0;
        for (const auto& a : adapters) {
            const fs::path usb = root_ / "sys/devices/pci0000:00/usb1" / ("1-" + std::to_string(++n));
            write_file(usb / "idVendor", std::string(a.vendor) + "\n");
            write_file(usb / "idProduct", "2303\n");
            const fs::path port = usb / ("1-" + std::to_string(n) + ":1.0") / a.tty;
            const fs::path driver = root_ / "sys/bus/usb-serial/drivers" / a.driver;
            fs::create_directories(port);
            fs::create_directories(driver);
            fs::create_directory_symlink(driver, port / "driver");
            add_tty(a.tty, port);
        }
        for (const char* uart : {"ttyS0", "ttyS1"}) {
            add_tty(uart, root_ / "sys/devices/platform/serial8250" / uart);
            write_file(root_ / "sys/class/tty" / uart / "type", "4\n");
        }
        port_device::set_sysfs_root(root_.c_str());
    }
    void TearDown() override {
        port_device::set_sysfs_root(nullptr);
        std::error_code ignored;
        fs::remove_all(root_, ignored);
    }

private:
    void add_tty(const std::string& name, const fs::path& device) {
        fs::create_directories(device / "tty" / name);
        fs::create_directories(root_ / "sys/class/tty");
        fs::create_directory_symlink(device / "tty" / name, root_ / "sys/class/tty" / name);
        fs::create_directory_symlink(device, device / "tty" / name / "device");
    }
    fs::path root_;
};

const ::testing::Environment* const sysfs_environment = ::testing::AddGlobalTestEnvironment(new sysfs_ports);
#endif

bool scanned = false;

// What a client can see of the module: the selection, and the whole table through pickup_all.
struct module_view {
    std::vector<std::string> selection;
    int count = 0;
};

module_view view_selection() {
    module_view v;
    v.count = get_how_many_port_devices();
    for (int k = 0; k < v.count; ++k) {
        char name[32] = {}, device[256] = {}, device2[256] = {};
        EXPECT_EQ(get_port_name(k, name), 0);
        EXPECT_EQ(get_port_device_name(k, device), 0);
        EXPECT_EQ(get_port_device_name2(k, device2), 0);
        v.selection.push_back(std::to_string(get_port_number(k)) + "|" + name + "|" + device + "|" + device2);
    }
    return v;
}

module_view view_table() {
    port_device_pickup_all();
    return view_selection();
}

struct bad_call {
    const char* what;
    std::function<int()> call;
    int expected;            // INT_MIN: the selection count before the call
    bool keeps_selection;    // else it empties it
};

std::vector<bad_call> port_device_bad_calls() {
    static const std::string long_name(300, 'Z');
    static const std::string huge_name(100000, 'Z');
    static const std::string name_255(255, 'Z');
    std::vector<bad_call> calls = {
        {"pickup(null)", [] { return port_device_pickup(nullptr); }, INT_MIN, true},
        {"pickup(255 characters)", [] { return port_device_pickup(name_255.c_str()); }, INT_MIN, true},
        {"pickup(300 characters)", [] { return port_device_pickup(long_name.c_str()); }, INT_MIN, true},
        {"pickup(100000 characters)", [] { return port_device_pickup(huge_name.c_str()); }, INT_MIN, true},
    };
    for (const int type : {-1, 7, 100, INT_MAX, INT_MIN}) {
        calls.push_back({"pickup_by_type out of range", [type] { return port_device_pickup_by_type(type); }, 0, false});
    }
    return calls;
}

// Indexes no selection addresses, relative to its size.
std::vector<int> bad_indexes(int count) { return {-1, -2, count, count + 1, 100, INT_MAX, INT_MIN}; }

void expect_queries_refused(int count) {
    using text_query = int (*)(int, char*);
    const text_query queries[] = {get_port_name, get_port_device_name, get_port_device_name2};
    for (const int k : bad_indexes(count)) {
        EXPECT_EQ(get_port_number(k), -1) << "index " << k;
        for (const text_query query : queries) {
            char out[300];
            std::memset(out, 0x5a, sizeof out);
            EXPECT_EQ(query(k, out), -1) << "index " << k;
            for (const char c : out) ASSERT_EQ(c, 0x5a) << "buffer changed for index " << k;
        }
    }
    if (count > 0) {
        for (const text_query query : queries) EXPECT_EQ(query(0, nullptr), -1) << "null buffer";
    }
}

TEST(port_device_bad_input, before_any_scan_everything_is_empty_and_refused) {
    if (scanned) GTEST_SKIP() << "the module was scanned already in this process";
    EXPECT_EQ(get_how_many_port_devices(), 0);
    EXPECT_EQ(port_device_pickup("Prolific"), 0);
    EXPECT_EQ(port_device_pickup(""), 0);
    EXPECT_EQ(port_device_pickup(nullptr), 0);
    for (int type = -1; type <= 7; ++type) EXPECT_EQ(port_device_pickup_by_type(type), 0) << type;
    EXPECT_EQ(port_device_pickup_all(), 0);
    expect_queries_refused(0);
}

TEST(port_device_bad_input, bad_calls_after_a_scan_give_their_result_and_corrupt_nothing) {
    scanned = true;
    const int entries = port_device_scan();
    ASSERT_GE(entries, 0);
    ASSERT_LE(entries, 100);
#if defined(BAD_INPUT_SYSFS_FIXTURE)
    ASSERT_EQ(entries, 5) << "the fixture's five ports";
#endif
    const module_view table = view_table();
    ASSERT_EQ(table.count, entries);

    for (const bad_call& c : port_device_bad_calls()) {
        SCOPED_TRACE(c.what);
        // Once on an empty selection, once on one holding every entry.
        for (const bool full : {false, true}) {
            port_device_pickup_by_type(full ? 0 : 7);
            const module_view before = view_selection();
            const int result = c.call();
            EXPECT_EQ(result, c.expected == INT_MIN ? before.count : c.expected);
            const module_view after = view_selection();
            if (c.keeps_selection) {
                EXPECT_EQ(after.selection, before.selection);
            } else {
                EXPECT_EQ(after.count, 0);
            }
            expect_queries_refused(after.count);
            EXPECT_EQ(view_table().selection, table.selection) << "the table changed";
        }
    }
}

// Serial ports never opened, numbers at the ends of the range, and null buffers.
TEST(serial_bad_input, ports_never_opened_give_empty_answers) {
    for (const unsigned short port : {0, 1, 99, 255, 256, 65535}) {
        SCOPED_TRACE(port);
        EXPECT_EQ(rs_size(port), 0);
        char line[rs_line_buffer_size + 8];
        std::memset(line, 'x', sizeof line);
        EXPECT_EQ(rs_gets(port, line), -1);
        EXPECT_EQ(line[0], '\0');
        for (std::size_t i = 1; i < sizeof line; ++i) ASSERT_EQ(line[i], 'x') << "byte " << i;
        EXPECT_EQ(rs_gets(port, nullptr), -1);
        EXPECT_EQ(rs_close(port), -1);
        EXPECT_EQ(rs_close(port), -1);
    }
}

TEST(serial_bad_input, ports_that_cannot_exist_do_not_open) {
    // Numbers beyond any COM name this library maps, and rates no port offers.
    const struct {
        unsigned short port;
        int baud_rate;
    } cases[] = {{65535, 38400}, {1000, 38400}, {65535, 0}, {65535, -1}, {65535, INT_MAX}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.port) + " at " + std::to_string(c.baud_rate));
        EXPECT_EQ(rs_open(c.port, c.baud_rate), -1);
        EXPECT_EQ(rs_size(c.port), 0);
        EXPECT_EQ(rs_close(c.port), -1) << "a failed open left the port open";
    }
}

}  // namespace
