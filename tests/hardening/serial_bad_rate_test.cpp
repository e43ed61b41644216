// A port that exists, opened at rates no serial line offers: refused, and left closed.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <climits>
#include <filesystem>
#include <string>

#include "rs232.h"
#include "serial_device_directory.h"

namespace {

namespace fs = std::filesystem;

class serial_bad_rate : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "bad_rate_XXXXXX").string();
        ASSERT_NE(mkdtemp(&pattern[0]), nullptr);
        dir_ = pattern;
        master_ = posix_openpt(O_RDWR | O_NOCTTY);
        ASSERT_GE(master_, 0);
        ASSERT_EQ(grantpt(master_), 0);
        ASSERT_EQ(unlockpt(master_), 0);
        fs::create_symlink(ptsname(master_), dir_ / "ttyUSB0");  // COM33
        ASSERT_EQ(rs232::set_device_directory(dir_.c_str()), 0);
    }
    void TearDown() override {
        rs_close(33);
        rs232::set_device_directory(nullptr);
        if (master_ >= 0) close(master_);
        std::error_code ignored;
        fs::remove_all(dir_, ignored);
    }
    fs::path dir_;
    int master_ = -1;
};

TEST_F(serial_bad_rate, rates_no_line_offers_are_refused_and_leave_the_port_closed) {
    for (const int rate : {0, -1, -38400, 1, 38401, 12345, INT_MAX, INT_MIN}) {
        SCOPED_TRACE(rate);
        EXPECT_EQ(rs_open(33, rate), -1);
        EXPECT_EQ(rs_size(33), 0);
        EXPECT_EQ(rs_close(33), -1);
    }
    // The same port opens at the receiver's rate: it was the rate that was refused.
    EXPECT_EQ(rs_open(33, 38400), 0);
    EXPECT_EQ(rs_close(33), 0);
}

}  // namespace
