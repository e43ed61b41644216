// The fixed mapping between Linux serial tty names and COM numbers, both ways.
#include "com_port_names.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace port_device;

namespace {

struct mapping_case {
    const char* tty_name;
    int com_number;
};

TEST(com_port_names, maps_each_tty_family_to_its_com_range_and_back)
{
    const mapping_case cases[] = {
        {"ttyS0", 1},    {"ttyS9", 10},    {"ttyS10", 11},   {"ttyS31", 32},
        {"ttyUSB0", 33}, {"ttyUSB1", 34},  {"ttyUSB31", 64},
        {"ttyACM0", 65}, {"ttyACM12", 77}, {"ttyACM31", 96},
    };
    for (const mapping_case& c : cases) {
        SCOPED_TRACE(c.tty_name);
        EXPECT_EQ(com_number_for_tty(c.tty_name), c.com_number);
        char out[com_name_size];
        std::memset(out, 'x', sizeof out);
        ASSERT_EQ(tty_for_com_number(c.com_number, out), 0);
        EXPECT_STREQ(out, c.tty_name);
    }
}

TEST(com_port_names, rejects_names_outside_the_mapping)
{
    const char* const bad_names[] = {
        "ttyS32", "ttyUSB32", "ttyACM99", "ttyS100",
        "ttyUSB", "ttyS", "ttyACM",             // no number
        "ttyUSB01", "ttyS00",                   // leading zero
        "ttyS1a", "ttyUSB-1", "ttyUSB 1", "ttyS+1",
        "ttyAMA0", "ttyprintk", "tty0", "tty", "console", "",
        "/dev/ttyUSB0", "TTYUSB0", "ttyusb0",
        "ttyUSB0000000000000000000000000000000000000000000001",
    };
    for (const char* name : bad_names) {
        SCOPED_TRACE(name);
        EXPECT_EQ(com_number_for_tty(name), -1);
    }
    EXPECT_EQ(com_number_for_tty(nullptr), -1);
}

TEST(com_port_names, rejects_com_numbers_outside_the_mapping)
{
    for (int number : {-1, 0, 97, 99, 1000}) {
        SCOPED_TRACE(number);
        char out[com_name_size] = "untouched";
        EXPECT_EQ(tty_for_com_number(number, out), -1);
        EXPECT_STREQ(out, "untouched");
    }
    EXPECT_EQ(tty_for_com_number(1, nullptr), -1);
}

}  // namespace
