// The Linux keyboard: a pipe or file as standard input (each byte a key, end of input never
// blocks), and a pseudo-terminal (raw mode for the run, Esc told from escape sequences, the
// terminal mode restored on close and when a signal ends the process).
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <ostream>
#include <string>
#include <vector>

#include "console.h"

namespace {

using namespace position_reader;

// Puts fd in place of standard input for one test and puts the original back afterwards.
class standard_input_swap {
public:
    explicit standard_input_swap(int fd) : saved_(dup(0)) { dup2(fd, 0); }
    ~standard_input_swap() {
        dup2(saved_, 0);
        close(saved_);
    }
    standard_input_swap(const standard_input_swap&) = delete;
    standard_input_swap& operator=(const standard_input_swap&) = delete;

private:
    int saved_;
};

void write_all(int fd, const std::string& bytes) {
    ASSERT_EQ(write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
}

struct piped_case {
    const char* name;
    std::string input;
    std::vector<int> keys;  // what console_read_key returns, in order, before key_none
};

void PrintTo(const piped_case& c, std::ostream* os) { *os << c.name; }

class piped_input : public ::testing::TestWithParam<piped_case> {};

TEST_P(piped_input, every_byte_is_one_key_then_input_ends) {
    const piped_case& c = GetParam();
    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    write_all(ends[1], c.input);
    close(ends[1]);
    standard_input_swap swap(ends[0]);
    close(ends[0]);

    console_open();
    std::vector<int> keys;
    while (console_key_waiting()) {
        const int k = console_read_key();
        if (k == key_none) {
            break;
        }
        keys.push_back(k);
    }
    EXPECT_EQ(keys, c.keys);
    // At end of input no key is ever waiting, and a read returns at once.
    EXPECT_EQ(console_key_waiting(), 0);
    EXPECT_EQ(console_read_key(), key_none);
    EXPECT_EQ(console_read_key(), key_none);
    console_close();
}

INSTANTIATE_TEST_SUITE_P(
    inputs, piped_input,
    ::testing::Values(piped_case{"empty", "", {}}, piped_case{"escape", "\x1b", {key_escape}},
                      // Only a terminal sends escape sequences: from a pipe these are three keys.
                      piped_case{"escape_bracket", "\x1b[A", {key_escape, '[', 'A'}},
                      piped_case{"text", "ab\n", {'a', 'b', '\n'}},
                      piped_case{"high_and_nul_bytes", std::string("\xff\0x", 3), {0xff, 0, 'x'}}),
    [](const ::testing::TestParamInfo<piped_case>& p) { return std::string(p.param.name); });

TEST(piped_input_open, waiting_test_never_blocks_while_the_writer_is_silent) {
    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    standard_input_swap swap(ends[0]);
    close(ends[0]);
    console_open();
    const auto begin = std::chrono::steady_clock::now();
    for (int i = 0; i < 100; ++i) {
        EXPECT_EQ(console_key_waiting(), 0);
    }
    EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::seconds(1));
    write_all(ends[1], "q");
    EXPECT_EQ(console_key_waiting(), 1);
    EXPECT_EQ(console_read_key(), 'q');
    console_close();
    close(ends[1]);
}

TEST(piped_input_open, null_device_reads_as_ended) {
    const int fd = open("/dev/null", O_RDONLY);
    ASSERT_GE(fd, 0);
    standard_input_swap swap(fd);
    close(fd);
    console_open();
    EXPECT_EQ(console_read_key(), key_none);
    EXPECT_EQ(console_key_waiting(), 0);
    console_close();
}

// A pseudo-terminal whose slave side is standard input for the test.
class terminal_input : public ::testing::Test {
protected:
    void SetUp() override {
        master_ = posix_openpt(O_RDWR | O_NOCTTY);
        ASSERT_GE(master_, 0);
        ASSERT_EQ(grantpt(master_), 0);
        ASSERT_EQ(unlockpt(master_), 0);
        slave_ = open(ptsname(master_), O_RDWR | O_NOCTTY);
        ASSERT_GE(slave_, 0);
        ASSERT_EQ(tcgetattr(slave_, &before_), 0);
        ASSERT_TRUE(before_.c_lflag & ICANON);
        ASSERT_TRUE(before_.c_lflag & ECHO);
    }
    void TearDown() override {
        if (slave_ >= 0) close(slave_);
        if (master_ >= 0) close(master_);
    }
    tcflag_t local_flags() {
        struct termios now {};
        tcgetattr(slave_, &now);
        return now.c_lflag;
    }

    int master_ = -1;
    int slave_ = -1;
    struct termios before_ {};
};

TEST_F(terminal_input, raw_for_the_run_and_restored_on_close) {
    standard_input_swap swap(slave_);
    console_open();
    EXPECT_FALSE(local_flags() & ICANON);
    EXPECT_FALSE(local_flags() & ECHO);
    console_close();
    EXPECT_EQ(local_flags(), before_.c_lflag);
}

struct typed_case {
    const char* name;
    std::string typed;
    bool is_escape;
};

void PrintTo(const typed_case& c, std::ostream* os) { *os << c.name; }

class terminal_keys : public terminal_input, public ::testing::WithParamInterface<typed_case> {};

TEST_P(terminal_keys, one_key_press_reads_as_one_key) {
    const typed_case& c = GetParam();
    standard_input_swap swap(slave_);
    console_open();
    write_all(master_, c.typed);
    const int k = console_read_key();
    EXPECT_EQ(k == key_escape, c.is_escape) << "key " << k;
    EXPECT_NE(k, key_none);
    // The whole key press is consumed: nothing of it is left to read as another key.
    EXPECT_EQ(console_key_waiting(), 0);
    console_close();
}

INSTANTIATE_TEST_SUITE_P(keys, terminal_keys,
                         ::testing::Values(typed_case{"lone_escape", "\x1b", true},
                                           typed_case{"letter", "q", false},
                                           typed_case{"arrow_up", "\x1b[A", false},
                                           typed_case{"f1", "\x1bOP", false},
                                           typed_case{"f5", "\x1b[15~", false},
                                           typed_case{"shift_arrow", "\x1b[1;2A", false},
                                           typed_case{"alt_x", "\x1bx", false}),
                         [](const ::testing::TestParamInfo<typed_case>& p) { return std::string(p.param.name); });

TEST_F(terminal_input, escape_then_a_later_key_are_two_keys) {
    standard_input_swap swap(slave_);
    console_open();
    write_all(master_, "\x1b");
    EXPECT_EQ(console_read_key(), key_escape);
    write_all(master_, "[");
    EXPECT_EQ(console_read_key(), '[');
    console_close();
}

class terminal_signals : public terminal_input, public ::testing::WithParamInterface<int> {};

TEST_P(terminal_signals, mode_is_restored_when_a_signal_ends_the_process) {
    const int signal_number = GetParam();
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        dup2(slave_, 0);
        console_open();
        struct termios raw {};
        tcgetattr(0, &raw);
        if (raw.c_lflag & (ICANON | ECHO)) _exit(3);  // not raw: the check below would prove nothing
        raise(signal_number);
        _exit(4);  // the signal must end the process as it would without us
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status)) << "exit status " << (WIFEXITED(status) ? WEXITSTATUS(status) : -1);
    EXPECT_EQ(WTERMSIG(status), signal_number);
    EXPECT_EQ(local_flags(), before_.c_lflag);
}

INSTANTIATE_TEST_SUITE_P(signals, terminal_signals, ::testing::Values(SIGINT, SIGTERM, SIGHUP),
                         [](const ::testing::TestParamInfo<int>& p) { return "signal_" + std::to_string(p.param); });

}  // namespace
