// The reader from end to end on Linux: position_reader_sim over a fixture sysfs tree, reading from
// gps_simulator through a pseudo-terminal, with keys written into its standard input. Output is
// compared byte for byte; every run is bounded by a timeout. Also the real position_reader on
// this machine's own sysfs.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <ostream>
#include <string>
#include <vector>

#include "child_process.h"
#include "usb_serial_sysfs.h"

namespace {

namespace fs = std::filesystem;

const int run_timeout_ms = 15000;

const std::string banner = "GPS Latitude,Longitude read test software\n\n";
const std::string prompt = "[hit return key to continue]\n";
const std::string port33 = "com_port=33 , baud_rate=38400\n";
const std::string data_error = "Warning: GPS data error.\n";

const std::string no_fix = "$GPGGA,101500.00,,,,,0,00,99.9,,,,,,*48";
const std::string fix_sw = "$GPGGA,101500.00,3723.2475,S,12158.3416,W,1,07,1.1,12.0,M,-25.0,M,,*76";
const std::string fix_sw_result = "\nResult: lat=-37.387458,lng=-121.972360\n";
const std::string fix_q0 = "$GPGGA,123519,4807.038,N,01131.000,E,0,08,0.9,545.4,M,46.9,M,,*46";
const std::string rmc = "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A";
const std::string gsv = "$GPGSV,2,1,08,01,40,083,46,02,17,308,41,12,07,344,39,14,22,228,45*75";

std::string raw(const std::string& text) { return "GPS Raw log: <" + text + ">\n"; }

// One step of what the test does while the reader runs.
struct step {
    enum kind_type { until, pause, alive, keys, end_input, simulator_ends } kind;
    std::string text;  // until: the output to wait for; keys: the bytes to type
    int ms;            // pause
};
step until(const std::string& text) { return {step::until, text, 0}; }
step pause(int ms) { return {step::pause, "", ms}; }
step alive() { return {step::alive, "", 0}; }
step keys(const std::string& bytes) { return {step::keys, bytes, 0}; }
step end_input() { return {step::end_input, "", 0}; }
step simulator_ends() { return {step::simulator_ends, "", 0}; }

struct run_case {
    const char* name;
    e2e::usb_adapter kind;
    bool device_node;                     // the simulator links dev/ttyUSB0 to its pty
    std::string stream;                   // the lines the simulator sends, one per \n
    std::vector<std::string> simulator_args;
    std::vector<step> steps;
    std::string output;
    int status;
};

void PrintTo(const run_case& c, std::ostream* os) { *os << c.name; }

std::vector<run_case> run_cases() {
    const std::string escape = "\x1b";
    const std::vector<std::string> fast = {"--interval-ms", "5"};
    const std::vector<std::string> repeating = {"--interval-ms", "5", "--repeat"};
    const std::string long_gga = "$GPGGA," + std::string(293, 'A');
    const std::string binary_gga = "$GPGGA,\x80\xff,,\x01";
    return {
        {"position_after_three_without_fix", e2e::usb_adapter::prolific, true,
         no_fix + "\n" + rmc + "\n" + no_fix + "\n" + gsv + "\n" + no_fix + "\n" + fix_sw + "\n", fast,
         {until(prompt), pause(100), alive(), keys("\n")},
         banner + port33 + raw(no_fix) + data_error + raw(no_fix) + data_error + raw(no_fix) + data_error + raw(fix_sw) +
             fix_sw_result + prompt,
         0},
        {"fix_quality_0", e2e::usb_adapter::prolific, true, rmc + "\n" + fix_q0 + "\n", fast, {until(prompt), end_input()},
         banner + port33 + raw(fix_q0) + "Warning: GPS cannot get current location now.\n" +
             "\nResult: lat=48.117300,lng=11.516667\n" + prompt,
         0},
        {"rmc_and_gsv_only_until_escape", e2e::usb_adapter::prolific, true, rmc + "\n" + gsv + "\n", repeating,
         {until(port33), pause(300), alive(), keys(escape)}, banner + port33, 0},
        {"another_key_is_ignored", e2e::usb_adapter::prolific, true, rmc + "\n" + gsv + "\n", repeating,
         {until(port33), keys("x"), pause(300), alive(), keys(escape)}, banner + port33, 0},
        {"no_prolific_adapter", e2e::usb_adapter::ftdi, true, fix_sw + "\n", fast,
         {until(prompt), pause(200), alive(), keys("\n")}, banner + "Error: GPS com_port not found.\n" + prompt, 1},
        {"port_without_device_node", e2e::usb_adapter::prolific, false, "", {}, {until(prompt), end_input()},
         banner + port33 + "Error: COM33 cannot open.\n" + prompt, 1},
        {"unplugged_while_reading", e2e::usb_adapter::prolific, true, no_fix + "\n" + rmc + "\n",
         {"--interval-ms", "300", "--hold-ms", "0"},
         {until(data_error), simulator_ends(), pause(300), alive(), keys(escape)}, banner + port33 + raw(no_fix) + data_error,
         0},
        {"line_of_300_characters", e2e::usb_adapter::prolific, true, long_gga + "\n" + fix_sw + "\n", fast,
         {until(prompt), end_input()},
         banner + port33 + raw(long_gga.substr(0, 255)) + data_error + raw(fix_sw) + fix_sw_result + prompt, 0},
        {"binary_garbage_between_lines", e2e::usb_adapter::prolific, true,
         std::string("\x01\x02\xff\xfe\x80\x7f\n") + no_fix + "\n" + std::string("\0\0\xc3\xa9garbage\x1b[2J\n", 15) +
             "\xff\xfe" + fix_sw + "\n" + binary_gga + "\n" + fix_sw + "\n",
         fast, {until(prompt), end_input()},
         banner + port33 + raw(no_fix) + data_error + raw(binary_gga) + data_error + raw(fix_sw) + fix_sw_result + prompt,
         0},
    };
}

class reader_end_to_end : public ::testing::TestWithParam<run_case> {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "reader_e2e_XXXXXX").string();
        ASSERT_NE(mkdtemp(&pattern[0]), nullptr);
        dir_ = pattern;
        fs::create_directories(dir_ / "dev");
    }
    void TearDown() override {
        e2e::stop(&reader_);
        e2e::stop(&simulator_);
        std::error_code ignored;
        fs::remove_all(dir_, ignored);
    }

    fs::path dir_;
    e2e::child simulator_;
    e2e::child reader_;
};

TEST_P(reader_end_to_end, prints_exactly_and_ends_with_the_right_status) {
    const run_case& c = GetParam();
    e2e::make_usb_serial_sysfs(dir_ / "root", c.kind);
    if (c.device_node) {
        e2e::write_file(dir_ / "stream.nmea", c.stream);
        std::vector<std::string> args = {GPS_SIMULATOR, "--link", (dir_ / "dev/ttyUSB0").string(), "--replay",
                                         (dir_ / "stream.nmea").string()};
        args.insert(args.end(), c.simulator_args.begin(), c.simulator_args.end());
        ASSERT_TRUE(e2e::start(args, false, &simulator_));
        ASSERT_TRUE(e2e::read_until(&simulator_, "\n", run_timeout_ms)) << "simulator: " << simulator_.err;
        ASSERT_EQ(simulator_.out.rfind("pty: ", 0), 0u) << simulator_.out << simulator_.err;
    }

    ASSERT_TRUE(e2e::start({READER_SIM, (dir_ / "root").string(), (dir_ / "dev").string()}, true, &reader_));
    for (const step& s : c.steps) {
        switch (s.kind) {
        case step::until:
            ASSERT_TRUE(e2e::read_until(&reader_, s.text, run_timeout_ms)) << "waited for: " << s.text << "\ngot: " << reader_.out;
            break;
        case step::pause:
            e2e::read_for(&reader_, s.ms);
            break;
        case step::alive:
            ASSERT_TRUE(e2e::running(&reader_)) << "ended early; output: " << reader_.out;
            break;
        case step::keys:
            ASSERT_TRUE(e2e::send(&reader_, s.text));
            break;
        case step::end_input:
            e2e::close_input(&reader_);
            break;
        case step::simulator_ends:
            ASSERT_EQ(e2e::finish(&simulator_, run_timeout_ms), 0) << simulator_.err;
            break;
        }
    }
    const int status = e2e::finish(&reader_, run_timeout_ms);
    EXPECT_EQ(reader_.out, c.output);
    EXPECT_EQ(status, c.status);
    EXPECT_EQ(reader_.err, "") << "nothing goes to the error stream";
}

INSTANTIATE_TEST_SUITE_P(runs, reader_end_to_end, ::testing::ValuesIn(run_cases()),
                         [](const ::testing::TestParamInfo<run_case>& p) { return std::string(p.param.name); });

bool machine_has_prolific_adapter() {
    std::error_code error;
    for (fs::directory_iterator it("/sys/bus/usb/devices", error), end; !error && it != end; it.increment(error)) {
        std::ifstream vendor(it->path() / "idVendor");
        std::string id;
        if (vendor >> id && (id == "067b" || id == "067B")) return true;
    }
    return false;
}

TEST(position_reader_on_this_machine, finds_no_adapter_and_does_not_wait_at_end_of_input) {
    if (machine_has_prolific_adapter()) GTEST_SKIP() << "this machine has a Prolific adapter";
    e2e::child reader;
    ASSERT_TRUE(e2e::start({POSITION_READER}, false, &reader));
    const int status = e2e::finish(&reader, run_timeout_ms);
    EXPECT_EQ(reader.out, banner + "Error: GPS com_port not found.\n" + prompt);
    EXPECT_EQ(status, 1);
    EXPECT_EQ(reader.err, "");
}

}  // namespace
