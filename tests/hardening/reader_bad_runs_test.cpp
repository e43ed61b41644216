// The simulated reader given a broken world: no sysfs at all, a sysfs path that is a file, and a
// device node that is no terminal. Each run ends with its clean message and status, and a reader
// waiting on a quiet port always ends when the user interrupts it.
#include <gtest/gtest.h>

#include <signal.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <ostream>
#include <string>

#include "child_process.h"
#include "usb_serial_sysfs.h"

namespace {

namespace fs = std::filesystem;

const int run_timeout_ms = 15000;
const std::string banner = "GPS Latitude,Longitude read test software\n\n";
const std::string prompt = "[hit return key to continue]\n";
const std::string not_found = banner + "Error: GPS com_port not found.\n" + prompt;
const std::string cannot_open = banner + "com_port=33 , baud_rate=38400\nError: COM33 cannot open.\n" + prompt;

enum class world { no_root, root_is_file, node_is_file, node_is_dev_null, node_is_directory };

struct bad_run {
    const char* name;
    world kind;
    std::string output;
};

void PrintTo(const bad_run& r, std::ostream* os) { *os << r.name; }

class reader_bad_runs : public ::testing::TestWithParam<bad_run> {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "reader_bad_XXXXXX").string();
        ASSERT_NE(mkdtemp(&pattern[0]), nullptr);
        dir_ = pattern;
        fs::create_directories(dir_ / "dev");
    }
    void TearDown() override {
        e2e::stop(&reader_);
        std::error_code ignored;
        fs::remove_all(dir_, ignored);
    }
    fs::path dir_;
    e2e::child reader_;
};

TEST_P(reader_bad_runs, ends_with_its_message_and_status_1) {
    const bad_run& r = GetParam();
    fs::path root = dir_ / "root";
    switch (r.kind) {
    case world::no_root:
        root = dir_ / "missing";
        break;
    case world::root_is_file:
        e2e::write_file(root, "not a folder\n");
        break;
    case world::node_is_file:
        e2e::make_usb_serial_sysfs(root, e2e::usb_adapter::prolific);
        e2e::write_file(dir_ / "dev/ttyUSB0", "$GPGGA,101500.00,3723.2475,S,12158.3416,W,1,07,1.1,12.0,M,-25.0,M,,*76\r\n");
        break;
    case world::node_is_dev_null:
        e2e::make_usb_serial_sysfs(root, e2e::usb_adapter::prolific);
        fs::create_symlink("/dev/null", dir_ / "dev/ttyUSB0");
        break;
    case world::node_is_directory:
        e2e::make_usb_serial_sysfs(root, e2e::usb_adapter::prolific);
        fs::create_directories(dir_ / "dev/ttyUSB0");
        break;
    }
    ASSERT_TRUE(e2e::start({READER_SIM, root.string(), (dir_ / "dev").string()}, true, &reader_));
    ASSERT_TRUE(e2e::read_until(&reader_, prompt, run_timeout_ms)) << reader_.out;
    e2e::close_input(&reader_);
    EXPECT_EQ(e2e::finish(&reader_, run_timeout_ms), 1);
    EXPECT_EQ(reader_.out, r.output);
    EXPECT_EQ(reader_.err, "");
}

INSTANTIATE_TEST_SUITE_P(worlds, reader_bad_runs,
                         ::testing::Values(bad_run{"no_sysfs_root", world::no_root, not_found},
                                           bad_run{"sysfs_root_is_a_file", world::root_is_file, not_found},
                                           bad_run{"device_node_is_a_file", world::node_is_file, cannot_open},
                                           bad_run{"device_node_is_dev_null", world::node_is_dev_null, cannot_open},
                                           bad_run{"device_node_is_a_folder", world::node_is_directory, cannot_open}),
                         [](const ::testing::TestParamInfo<bad_run>& p) { return std::string(p.param.name); });

// A quiet receiver and no key: the loop has no end of its own, so an interrupt must end it.
TEST(reader_interrupted, a_quiet_wait_ends_on_sigint_and_sigterm) {
    for (const int signal_number : {SIGINT, SIGTERM}) {
        SCOPED_TRACE(signal_number);
        std::string pattern = (fs::temp_directory_path() / "reader_quiet_XXXXXX").string();
        ASSERT_NE(mkdtemp(&pattern[0]), nullptr);
        const fs::path dir = pattern;
        e2e::make_usb_serial_sysfs(dir / "root", e2e::usb_adapter::prolific);
        fs::create_directories(dir / "dev");
        e2e::child simulator, reader;
        const std::string rmc = "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A\n";
        e2e::write_file(dir / "rmc.nmea", rmc);
        ASSERT_TRUE(e2e::start({GPS_SIMULATOR, "--link", (dir / "dev/ttyUSB0").string(), "--replay",
                                (dir / "rmc.nmea").string(), "--interval-ms", "50", "--repeat"},
                               false, &simulator));
        ASSERT_TRUE(e2e::read_until(&simulator, "\n", run_timeout_ms));
        ASSERT_TRUE(e2e::start({READER_SIM, (dir / "root").string(), (dir / "dev").string()}, true, &reader));
        ASSERT_TRUE(e2e::read_until(&reader, "baud_rate=38400\n", run_timeout_ms)) << reader.out;
        e2e::read_for(&reader, 200);
        ASSERT_TRUE(e2e::running(&reader));
        kill(reader.pid, signal_number);
        EXPECT_EQ(e2e::finish(&reader, 2000), -1) << "ended by the signal, within two seconds";
        EXPECT_FALSE(e2e::running(&reader));
        e2e::stop(&reader);
        e2e::stop(&simulator);
        std::error_code ignored;
        fs::remove_all(dir, ignored);
    }
}

}  // namespace
