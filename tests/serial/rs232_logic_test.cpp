// The exported functions over a scripted port: open/close bookkeeping, lines, waiting, and a port
// that disappears while open.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "fake_serial_io.h"
#include "rs232.h"

namespace {

class rs232_logic : public ::testing::Test {
protected:
    void SetUp() override { fake_serial::reset(); }
    void TearDown() override {
        for (unsigned short port = 0; port < 300; ++port) rs_close(port);
        EXPECT_EQ(fake_serial::script.open_devices, 0) << "a device was left open";
    }
    char line[rs_line_buffer_size + 16];
};

TEST_F(rs232_logic, open_passes_port_and_rate_and_reports_failure) {
    EXPECT_EQ(rs_open(5, 38400), 0);
    EXPECT_EQ(fake_serial::script.last_port, 5);
    EXPECT_EQ(fake_serial::script.last_baud, 38400);
    fake_serial::script.open_fails = true;
    EXPECT_EQ(rs_open(6, 38400), -1);
    EXPECT_EQ(rs_size(6), 0);
    EXPECT_EQ(rs_close(6), -1);
}

TEST_F(rs232_logic, close_twice_gives_minus_one_the_second_time) {
    ASSERT_EQ(rs_open(3, 38400), 0);
    EXPECT_EQ(rs_close(3), 0);
    EXPECT_EQ(rs_close(3), -1);
    EXPECT_EQ(rs_close(4), -1);  // never opened
}

TEST_F(rs232_logic, reopening_an_open_port_starts_afresh) {
    fake_serial::script.incoming = "old\r\npart";
    ASSERT_EQ(rs_open(3, 38400), 0);
    ASSERT_GT(rs_size(3), 0);
    ASSERT_EQ(rs_open(3, 9600), 0);
    EXPECT_EQ(fake_serial::script.open_devices, 1);
    fake_serial::script.incoming = "new\r\n";
    ASSERT_EQ(rs_size(3), 3);
    ASSERT_EQ(rs_gets(3, line), 3);
    EXPECT_STREQ(line, "new");
}

TEST_F(rs232_logic, table_full_refuses_more_ports_without_leaking) {
    unsigned short opened = 0;
    while (opened < 100 && rs_open(static_cast<unsigned short>(10 + opened), 38400) == 0) ++opened;
    EXPECT_GE(opened, 2);
    EXPECT_LT(opened, 100);
    EXPECT_EQ(fake_serial::script.open_devices, opened);
    EXPECT_EQ(rs_close(10), 0);
    EXPECT_EQ(rs_open(200, 38400), 0);
}

TEST_F(rs232_logic, size_reports_whole_lines_only_and_gets_delivers_them_in_order) {
    ASSERT_EQ(rs_open(3, 38400), 0);
    fake_serial::script.incoming = "$GPGGA,1";
    EXPECT_EQ(rs_size(3), 0);
    EXPECT_EQ(rs_gets(3, line), -1);
    EXPECT_STREQ(line, "");
    fake_serial::script.incoming = "23\r\n$GPRMC\r\n";
    EXPECT_EQ(rs_size(3), 10);
    EXPECT_EQ(rs_gets(3, line), 10);
    EXPECT_STREQ(line, "$GPGGA,123");
    EXPECT_EQ(rs_gets(3, line), 6);
    EXPECT_STREQ(line, "$GPRMC");
    EXPECT_EQ(rs_gets(3, line), -1);
}

TEST_F(rs232_logic, gets_without_size_reads_what_is_waiting) {
    ASSERT_EQ(rs_open(3, 38400), 0);
    fake_serial::script.incoming = "abc\n";
    EXPECT_EQ(rs_gets(3, line), 3);
    EXPECT_STREQ(line, "abc");
}

TEST_F(rs232_logic, data_trickling_in_is_gathered_within_one_call) {
    ASSERT_EQ(rs_open(3, 38400), 0);
    fake_serial::script.incoming = "$GPGGA,trickle\r\n";
    fake_serial::script.deliver_limit = 1;
    EXPECT_EQ(rs_size(3), 14);
}

TEST_F(rs232_logic, bad_port_or_buffer_gives_minus_one_and_an_empty_line) {
    std::memset(line, 'x', sizeof line);
    EXPECT_EQ(rs_gets(9, line), -1);
    EXPECT_EQ(line[0], '\0');
    ASSERT_EQ(rs_open(9, 38400), 0);
    fake_serial::script.incoming = "abc\n";
    EXPECT_EQ(rs_gets(9, nullptr), -1);
    EXPECT_EQ(rs_gets(9, line), 3);  // the line survived the bad call
}

TEST_F(rs232_logic, quiet_port_waits_on_the_device_for_about_ten_ms) {
    ASSERT_EQ(rs_open(3, 38400), 0);
    EXPECT_EQ(rs_size(3), 0);
    EXPECT_GE(fake_serial::script.wait_ms + fake_serial::script.sleep_ms, 5);
    EXPECT_LE(fake_serial::script.wait_ms + fake_serial::script.sleep_ms, 11);
}

TEST_F(rs232_logic, lost_port_delivers_complete_lines_then_stays_empty_and_sleeps) {
    ASSERT_EQ(rs_open(3, 38400), 0);
    fake_serial::script.incoming = "last\r\nunfinished";
    fake_serial::script.lost = true;
    EXPECT_EQ(rs_size(3), 4);
    EXPECT_EQ(fake_serial::script.open_devices, 0) << "a lost port is released at once";
    EXPECT_EQ(rs_gets(3, line), 4);
    EXPECT_STREQ(line, "last");
    for (int call = 0; call < 5; ++call) {
        const int slept_before = fake_serial::script.sleep_ms;
        EXPECT_EQ(rs_size(3), 0);
        EXPECT_GE(fake_serial::script.sleep_ms - slept_before, 5) << "a lost port must not return at once";
        EXPECT_EQ(rs_gets(3, line), -1);
        EXPECT_STREQ(line, "");
    }
    EXPECT_EQ(rs_close(3), 0);
    EXPECT_EQ(rs_close(3), -1);
}

TEST_F(rs232_logic, closed_port_also_waits_before_answering_zero) {
    EXPECT_EQ(rs_size(42), 0);
    EXPECT_GE(fake_serial::script.sleep_ms, 5);
}

TEST_F(rs232_logic, long_line_comes_in_pieces_that_fit_the_buffer) {
    ASSERT_EQ(rs_open(3, 38400), 0);
    fake_serial::script.incoming = std::string(600, 'L') + "\r\n";
    std::memset(line, '#', sizeof line);
    int total = 0;
    for (int piece = 0; piece < 3; ++piece) {
        const short size = rs_size(3);
        ASSERT_GT(size, 0);
        ASSERT_EQ(rs_gets(3, line), size);
        ASSERT_LE(size, 255);
        total += size;
        for (size_t i = rs_line_buffer_size; i < sizeof line; ++i) ASSERT_EQ(line[i], '#');
    }
    EXPECT_EQ(total, 600);
}

}  // namespace
