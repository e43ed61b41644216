// The Linux library end to end over a real pseudo-terminal opened as COM33.
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <thread>

#include "pty_fixture.h"
#include "rs232.h"
#include "serial_io.h"

namespace {

const unsigned short com33 = 33;  // ttyUSB0

double cpu_seconds() {
    rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Calls rs_size until a line is ready; its size, or 0 after about two seconds.
short size_within_two_seconds(unsigned short port) {
    for (int call = 0; call < 2000 / rs232::serial_io_idle_wait_ms; ++call) {
        const short size = rs_size(port);
        if (size != 0) return size;
    }
    return 0;
}

// Times calls of rs_size that find nothing: wall and processor seconds, and whether any found a line.
struct idle_measure {
    double wall;
    double cpu;
    bool got_line;
};

idle_measure measure_idle_calls(unsigned short port, int calls) {
    const auto start = std::chrono::steady_clock::now();
    const double cpu_start = cpu_seconds();
    idle_measure m{0, 0, false};
    for (int call = 0; call < calls; ++call) m.got_line |= rs_size(port) != 0;
    m.cpu = cpu_seconds() - cpu_start;
    m.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return m;
}

// Enough idle calls to take about a second and a half.
const int idle_calls = 1500 / rs232::serial_io_idle_wait_ms;
const double idle_seconds = idle_calls * rs232::serial_io_idle_wait_ms / 1000.0;

// Idle rs_size calls find no line, each waits its idle time, and together they use little CPU.
void expect_idle_calls_wait_without_spinning(unsigned short port) {
    const idle_measure m = measure_idle_calls(port, idle_calls);
    EXPECT_FALSE(m.got_line);
    EXPECT_GE(m.wall, 0.5 * idle_seconds);
    EXPECT_LE(m.wall, 2.0 * idle_seconds);
    EXPECT_LT(m.cpu, 0.2);
}

class rs232_pty : public pty_port {
protected:
    void TearDown() override {
        rs_close(com33);
        pty_port::TearDown();
    }
    char line[rs_line_buffer_size];
};

TEST_F(rs232_pty, lines_arrive_whole_and_in_order) {
    ASSERT_EQ(rs_open(com33, 38400), 0);
    send("$GPGGA,1,2\r\n$GPRMC,");
    ASSERT_EQ(size_within_two_seconds(com33), 10);
    ASSERT_EQ(rs_gets(com33, line), 10);
    EXPECT_STREQ(line, "$GPGGA,1,2");
    EXPECT_EQ(rs_size(com33), 0);  // "$GPRMC," is not a line yet
    send("3\r\n");
    ASSERT_EQ(size_within_two_seconds(com33), 8);
    ASSERT_EQ(rs_gets(com33, line), 8);
    EXPECT_STREQ(line, "$GPRMC,3");
}

TEST_F(rs232_pty, bytes_pass_unchanged_in_raw_mode) {
    ASSERT_EQ(rs_open(com33, 38400), 0);
    // A cooked terminal would turn CR into LF, eat ^C/^D/^S/DEL or echo; raw mode must not.
    const std::string noisy = "a\x03\x04\x13\x11\x7f\x1b[A\tb";
    send(noisy + "\r\n");
    ASSERT_EQ(size_within_two_seconds(com33), static_cast<short>(noisy.size()));
    ASSERT_EQ(rs_gets(com33, line), static_cast<short>(noisy.size()));
    EXPECT_EQ(std::string(line), noisy);
    char echo[16];
    EXPECT_EQ(read(master, echo, sizeof echo), -1) << "the port echoed received bytes back";
}

TEST_F(rs232_pty, quiet_port_waits_its_idle_time_per_call_without_busy_cpu) {
    ASSERT_EQ(rs_open(com33, 38400), 0);
    expect_idle_calls_wait_without_spinning(com33);
}

TEST_F(rs232_pty, hang_up_gives_no_lines_and_no_spinning) {
    ASSERT_EQ(rs_open(com33, 38400), 0);
    send("before\r\nhalf");
    ASSERT_EQ(size_within_two_seconds(com33), 6);
    ASSERT_EQ(rs_gets(com33, line), 6);
    EXPECT_STREQ(line, "before");
    close_master();
    // After the hang-up nothing comes, and every call still waits instead of returning at once.
    expect_idle_calls_wait_without_spinning(com33);
    EXPECT_EQ(rs_gets(com33, line), -1);
    EXPECT_STREQ(line, "");
    EXPECT_EQ(rs_close(com33), 0);
    EXPECT_EQ(rs_close(com33), -1);
}

// Standard input as the position reader has it, a pipe the test writes keys into, in a child
// process so that the library meets this input first. Returns the child's exit status:
// 0 when every expectation held, else the number of the one that failed.
int run_with_keyboard_pipe(unsigned short port, int (*check)(unsigned short port, int keyboard)) {
    int keys[2];
    if (pipe(keys) != 0) return -1;
    const pid_t child = fork();
    if (child == 0) {
        dup2(keys[0], STDIN_FILENO);
        close(keys[0]);
        rs232::watch_keyboard_afresh();
        _exit(rs_open(port, 38400) == 0 ? check(port, keys[1]) : 100);
    }
    close(keys[0]);
    close(keys[1]);
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

double seconds_of_one_idle_call(unsigned short port) {
    const auto start = std::chrono::steady_clock::now();
    if (rs_size(port) != 0) return -1;
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

TEST_F(rs232_pty, a_key_press_ends_an_idle_wait_at_once) {
    const int status = run_with_keyboard_pipe(com33, [](unsigned short port, int keyboard) {
        const double full = rs232::serial_io_idle_wait_ms / 1000.0;
        if (seconds_of_one_idle_call(port) < 0.5 * full) return 1;  // nothing typed: the whole wait
        std::thread typist([keyboard] {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            if (write(keyboard, "x", 1) != 1) _exit(2);
        });
        const double woken_after = seconds_of_one_idle_call(port);  // a key arrives: at once
        typist.join();
        if (woken_after > 0.5 * full) return 3;
        // The key stays unread: later waits must not end at once over and over.
        for (int call = 0; call < 5; ++call) {
            if (seconds_of_one_idle_call(port) < 0.5 * full) return 4;
        }
        char key;
        if (read(STDIN_FILENO, &key, 1) != 1) return 5;
        close(keyboard);  // input ends: one early wake at most, then full waits again
        seconds_of_one_idle_call(port);
        for (int call = 0; call < 5; ++call) {
            if (seconds_of_one_idle_call(port) < 0.5 * full) return 6;
        }
        return 0;
    });
    EXPECT_EQ(status, 0);
}

TEST_F(rs232_pty, port_is_held_exclusively_and_released_by_close) {
    ASSERT_EQ(rs_open(com33, 38400), 0);
    if (geteuid() != 0) {  // the superuser may open an exclusive terminal anyway
        EXPECT_LT(open(path("ttyUSB0").c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK), 0);
    }
    ASSERT_EQ(rs_close(com33), 0);
    EXPECT_EQ(rs_close(com33), -1);
    ASSERT_EQ(rs_open(com33, 38400), 0);
    send("again\n");
    ASSERT_EQ(size_within_two_seconds(com33), 5);
}

TEST_F(rs232_pty, reopening_an_open_port_works) {
    ASSERT_EQ(rs_open(com33, 38400), 0);
    ASSERT_EQ(rs_open(com33, 9600), 0);
    send("x\n");
    EXPECT_EQ(size_within_two_seconds(com33), 1);
}

struct refused_open {
    const char* name;
    unsigned short port;
    int baud_rate;
};

class rs232_refused : public temp_device_folder, public ::testing::WithParamInterface<refused_open> {};

TEST_P(rs232_refused, open_fails_and_leaves_the_port_closed) {
    // ttyUSB0 is a pseudo-terminal, ttyUSB1 is missing, ttyUSB2 is a plain file.
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(grantpt(master), 0);
    ASSERT_EQ(unlockpt(master), 0);
    ASSERT_EQ(symlink(ptsname(master), path("ttyUSB0").c_str()), 0);
    const int plain = open(path("ttyUSB2").c_str(), O_CREAT | O_WRONLY, 0600);
    ASSERT_GE(plain, 0);
    close(plain);

    const refused_open& c = GetParam();
    EXPECT_EQ(rs_open(c.port, c.baud_rate), -1);
    EXPECT_EQ(rs_size(c.port), 0);
    EXPECT_EQ(rs_close(c.port), -1);
    // The good port is not disturbed by the failure.
    EXPECT_EQ(rs_open(com33, 38400), 0);
    EXPECT_EQ(rs_close(com33), 0);
    close(master);
}

INSTANTIATE_TEST_SUITE_P(bad_ports_and_rates, rs232_refused,
                         ::testing::Values(refused_open{"missing_device", 34, 38400},
                                           refused_open{"plain_file_not_a_terminal", 35, 38400},
                                           refused_open{"port_zero", 0, 38400},
                                           refused_open{"beyond_the_mapping", 97, 38400},
                                           refused_open{"largest_port_number", 65535, 38400},
                                           refused_open{"unsupported_rate", 33, 12345},
                                           refused_open{"zero_rate", 33, 0},
                                           refused_open{"negative_rate", 33, -38400}),
                         [](const ::testing::TestParamInfo<refused_open>& param_info) { return param_info.param.name; });

TEST(rs232_device_directory, refuses_paths_that_do_not_fit) {
    const std::string long_path(300, 'd');
    EXPECT_EQ(rs232::set_device_directory(long_path.c_str()), -1);
    EXPECT_EQ(rs232::set_device_directory(""), -1);
    EXPECT_EQ(rs232::set_device_directory(nullptr), 0);
}

}  // namespace
