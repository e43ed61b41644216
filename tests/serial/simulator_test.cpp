// The simulated receiver read back through the library: what the demo and the reader tests rely on.
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "pty_fixture.h"
#include "rs232.h"

namespace {

const unsigned short com33 = 33;  // ttyUSB0 in the test's device folder

// Independent of the simulator's own code: XOR of the characters between '$' and '*'.
bool checksum_valid(const std::string& sentence) {
    const size_t star = sentence.find('*');
    if (sentence.empty() || sentence[0] != '$' || star == std::string::npos || star + 3 != sentence.size()) return false;
    unsigned sum = 0;
    for (size_t i = 1; i < star; ++i) sum ^= static_cast<unsigned char>(sentence[i]);
    return std::strtoul(sentence.substr(star + 1).c_str(), nullptr, 16) == sum;
}

std::string body(const std::string& sentence) { return sentence.substr(0, sentence.find('*')); }

class simulator_run : public temp_device_folder {
protected:
    void TearDown() override {
        rs_close(com33);
        stop();
        temp_device_folder::TearDown();
    }

    // Starts the simulator with --link to ttyUSB0 and the given arguments; returns its first output line.
    std::string start(std::vector<std::string> args) {
        args.insert(args.begin(), {GPS_SIMULATOR_PATH, "--link", path("ttyUSB0")});
        int out[2];
        if (pipe(out) != 0) return "";
        pid = fork();
        if (pid == 0) {
            dup2(out[1], STDOUT_FILENO);
            close(out[0]);
            close(out[1]);
            std::vector<char*> argv;
            for (std::string& arg : args) argv.push_back(&arg[0]);
            argv.push_back(nullptr);
            execv(argv[0], argv.data());
            _exit(127);
        }
        close(out[1]);
        std::string first;
        char c;
        while (read(out[0], &c, 1) == 1 && c != '\n') first += c;
        close(out[0]);
        return first;
    }

    // Exit status once the simulator has ended by itself, or -1.
    int wait_exit() {
        int status = 0;
        if (pid <= 0 || waitpid(pid, &status, 0) != pid) return -1;
        pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    void stop() {
        if (pid > 0) {
            kill(pid, SIGTERM);
            waitpid(pid, nullptr, 0);
            pid = -1;
        }
    }

    // Reads count lines through the library, giving up after about five seconds.
    std::vector<std::string> read_lines(size_t count) {
        std::vector<std::string> lines;
        char line[rs_line_buffer_size];
        for (int call = 0; call < 500 && lines.size() < count; ++call) {
            if (rs_size(com33) != 0 && rs_gets(com33, line) >= 0) lines.push_back(line);
        }
        return lines;
    }

    pid_t pid = -1;
};

struct scenario_case {
    const char* name;
    std::vector<std::string> args;
    std::vector<std::string> bodies;  // expected sentences without their checksums
};

class simulator_scenario : public simulator_run, public ::testing::WithParamInterface<scenario_case> {};

TEST_P(simulator_scenario, sentences_read_back_with_valid_checksums) {
    const scenario_case& c = GetParam();
    std::vector<std::string> args = {"--scenario", "--interval-ms", "2", "--hold-ms", "3000"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const std::string first = start(args);
    ASSERT_EQ(first.rfind("pty: /dev/pts/", 0), 0u) << first;
    ASSERT_EQ(rs_open(com33, 38400), 0);
    const std::vector<std::string> lines = read_lines(c.bodies.size());
    ASSERT_EQ(lines.size(), c.bodies.size());
    for (size_t i = 0; i < lines.size(); ++i) {
        EXPECT_TRUE(checksum_valid(lines[i])) << lines[i];
        EXPECT_EQ(body(lines[i]), c.bodies[i]);
    }
}

INSTANTIATE_TEST_SUITE_P(
    scenarios, simulator_scenario,
    ::testing::Values(
        scenario_case{"no_fix_then_fix",
                      {"--no-fix", "2", "--fixes", "1"},
                      {"$GPGGA,120000.00,,,,,0,00,99.99,,,,,,", "$GPGGA,120001.00,,,,,0,00,99.99,,,,,,",
                       "$GPGGA,120002.00,4807.0380,N,01131.0000,E,1,08,0.9,545.4,M,46.9,M,,"}},
        scenario_case{"southern_western_position_and_quality",
                      {"--no-fix", "0", "--fixes", "1", "--lat", "-33.8568", "--lon", "-151.2153", "--fix-quality", "2"},
                      {"$GPGGA,120000.00,3351.4080,S,15112.9180,W,2,08,0.9,545.4,M,46.9,M,,"}},
        scenario_case{"others_follow_each_gga",
                      {"--no-fix", "1", "--fixes", "1", "--others"},
                      {"$GPGGA,120000.00,,,,,0,00,99.99,,,,,,", "$GPRMC,120000.00,V,,,,,0.0,0.0,010125,,,A",
                       "$GPGSV,1,1,02,05,45,120,38,12,30,240,35",
                       "$GPGGA,120001.00,4807.0380,N,01131.0000,E,1,08,0.9,545.4,M,46.9,M,,",
                       "$GPRMC,120001.00,A,4807.0380,N,01131.0000,E,0.0,0.0,010125,,,A",
                       "$GPGSV,1,1,02,05,45,120,38,12,30,240,35"}}),
    [](const ::testing::TestParamInfo<scenario_case>& param_info) { return param_info.param.name; });

TEST_F(simulator_run, replay_sends_lines_as_they_are_and_the_end_looks_like_an_unplug) {
    const std::string file = path("capture.nmea");
    const std::string long_line(300, 'A');
    {
        std::ofstream out(file, std::ios::binary);
        out << "garbage \x01 line\r\n" << long_line << "\n\n$GPGGA,1*00\r\n";
    }
    ASSERT_EQ(start({"--replay", file, "--interval-ms", "0", "--hold-ms", "300"}).rfind("pty: ", 0), 0u);
    ASSERT_EQ(rs_open(com33, 38400), 0);
    const std::vector<std::string> expected = {"garbage \x01 line", long_line.substr(0, 255), long_line.substr(255),
                                               "$GPGGA,1*00"};
    EXPECT_EQ(read_lines(expected.size()), expected);
    EXPECT_EQ(wait_exit(), 0);
    struct stat gone;
    EXPECT_NE(lstat(path("ttyUSB0").c_str(), &gone), 0) << "the link outlived the simulator";
    EXPECT_EQ(rs_size(com33), 0);
    char line[rs_line_buffer_size];
    EXPECT_EQ(rs_gets(com33, line), -1);
    unlink(file.c_str());
}

TEST_F(simulator_run, repeat_runs_until_terminated) {
    ASSERT_EQ(start({"--scenario", "--no-fix", "0", "--fixes", "1", "--repeat", "--interval-ms", "1"}).rfind("pty: ", 0), 0u);
    ASSERT_EQ(rs_open(com33, 38400), 0);
    EXPECT_EQ(read_lines(20).size(), 20u);
    kill(pid, SIGTERM);
    EXPECT_EQ(wait_exit(), 0);
}

TEST_F(simulator_run, device_option_writes_to_an_existing_terminal) {
    const int master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(master, 0);
    ASSERT_EQ(grantpt(master), 0);
    ASSERT_EQ(unlockpt(master), 0);
    const std::string device = ptsname(master);
    EXPECT_EQ(start({"--device", device, "--scenario", "--no-fix", "1", "--fixes", "0", "--hold-ms", "0"}),
              "device: " + device);
    EXPECT_EQ(wait_exit(), 0);
    // What the simulator wrote into the terminal comes out of its other side.
    std::string received;
    char chunk[256];
    for (ssize_t count; (count = read(master, chunk, sizeof chunk)) > 0;) received.append(chunk, static_cast<size_t>(count));
    EXPECT_EQ(received, "$GPGGA,120000.00,,,,,0,00,99.99,,,,,,*65\r\n");
    close(master);
}

TEST_F(simulator_run, bad_command_lines_fail_with_status_one) {
    const std::vector<std::vector<std::string>> bad = {
        {},
        {"--scenario", "--replay", "x"},
        {"--scenario", "--lat", "91"},
        {"--scenario", "--interval-ms", "-1"},
        {"--scenario", "--no-fix"},
        {"--scenario", "--fix-quality", "x"},
        {"--replay", "/nonexistent/capture.nmea"},
        {"--scenario", "--bogus"},
    };
    for (const std::vector<std::string>& args : bad) {
        std::string joined;
        for (const std::string& a : args) joined += a + " ";
        SCOPED_TRACE(joined);
        EXPECT_EQ(start(args), "");
        EXPECT_EQ(wait_exit(), 1);
    }
}

}  // namespace
