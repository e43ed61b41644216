// Both discovery passes and the scan entry over table-driven fake sources.
#include "fake_sources.h"
#include "port_class_pass.h"
#include "port_device.h"
#include "port_table.h"
#include "serial_map_pass.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

using namespace port_device;

namespace {

class pass_test : public ::testing::Test {
protected:
    void SetUp() override
    {
        reset_port_device_state();
        fake_sources::reset();
    }

    static void serve_devices(const std::vector<fake_sources::device>& devices)
    {
        fake_sources::current.devices = devices.data();
        fake_sources::current.device_count = static_cast<int>(devices.size());
    }

    static void serve_values(const std::vector<fake_sources::map_value>& values)
    {
        fake_sources::current.values = values.data();
        fake_sources::current.value_count = static_cast<int>(values.size());
    }

    // Fills the table as an earlier scan would have.
    static void prefill(const std::vector<int>& numbers)
    {
        for (int number : numbers) append_entry(number, "earlier", "EARLIER\\ID", "");
    }
};

// ---- Device-class pass ----

struct friendly_name_case {
    const char* friendly_name;
    bool stored;
    int port_number;
};

TEST_F(pass_test, class_pass_reads_the_port_number_behind_com)
{
    const friendly_name_case cases[] = {
        {"Prolific USB-to-Serial Comm Port (COM3)", true, 3},   // "Comm" is not "COM"
        {"USB Serial Port (COM12)", true, 12},
        {"Odd Port (COM123)", true, 12},                         // two digits at most
        {"COMBO adapter (COM7)", true, 0},                       // only the first COM counts
        {"Bare Port (COM)", true, 0},                            // nothing numeric: still stored
        {"COM", true, 0},                                        // letters at the very end
        {"Leading zero (COM07)", true, 7},
        {"Single digit COM5", true, 5},
        {"modem on com4", true, 4},                              // lower case is looked for next
        {"both com8 and COM9", true, 9},                         // upper case first
        {"Communications Port", false, 0},
        {"", false, 0},
        {nullptr, false, 0},                                     // unreadable friendly name
    };
    for (const friendly_name_case& c : cases) {
        SCOPED_TRACE(c.friendly_name != nullptr ? c.friendly_name : "(unreadable)");
        SetUp();
        std::vector<fake_sources::device> devices = {{"Description", c.friendly_name, "HW\\ID"}};
        serve_devices(devices);
        scan_port_class_devices();
        ASSERT_EQ(scanned_count, c.stored ? 1 : 0);
        if (c.stored) {
            EXPECT_EQ(port_table[0].port_number, c.port_number);
        }
    }
}

TEST_F(pass_test, class_pass_stores_description_hardware_id_and_empty_second_name)
{
    const std::string description_32(32, 'd');
    const std::string hardware_id_300(300, 'h');
    std::vector<fake_sources::device> devices = {
        {"Communications Port", "Communications Port (COM1)", "ACPI\\PNP0501"},
        {"Skipped", "No port name here", "SKIPPED"},            // takes no slot
        {nullptr, "Unreadable description (COM2)", nullptr},
        {description_32.c_str(), "Long texts (COM4)", hardware_id_300.c_str()},
    };
    serve_devices(devices);
    std::strcpy(port_table[0].port_device_name2, "stale");
    scan_port_class_devices();

    ASSERT_EQ(scanned_count, 3);
    EXPECT_EQ(port_table[0].port_number, 1);
    EXPECT_STREQ(port_table[0].port_name, "Communications Port");
    EXPECT_STREQ(port_table[0].port_device_name, "ACPI\\PNP0501");
    EXPECT_STREQ(port_table[0].port_device_name2, "");
    EXPECT_EQ(port_table[1].port_number, 2);
    EXPECT_STREQ(port_table[1].port_name, "");
    EXPECT_STREQ(port_table[1].port_device_name, "");
    EXPECT_EQ(port_table[2].port_number, 4);
    EXPECT_EQ(std::string(port_table[2].port_name), description_32.substr(0, 31));
    EXPECT_EQ(std::string(port_table[2].port_device_name), hardware_id_300.substr(0, 255));
}

TEST_F(pass_test, class_pass_survives_unterminated_property_buffers)
{
    std::vector<fake_sources::device> devices = {{"Desc ", "Port (COM6) ", "ID "}};
    serve_devices(devices);
    fake_sources::current.fill_property_buffers = true;
    scan_port_class_devices();
    ASSERT_EQ(scanned_count, 1);
    EXPECT_EQ(port_table[0].port_number, 6);
    EXPECT_EQ(std::strlen(port_table[0].port_name), 31u);
    EXPECT_EQ(std::strlen(port_table[0].port_device_name), 255u);
}

TEST_F(pass_test, class_pass_stops_at_the_table_capacity_and_closes_the_list)
{
    std::vector<std::string> names;
    for (int i = 0; i < 105; ++i) names.push_back("Port (COM" + std::to_string(i % 100) + ")");
    std::vector<fake_sources::device> devices;
    for (const std::string& name : names) devices.push_back({"Port", name.c_str(), "ID"});
    serve_devices(devices);
    scan_port_class_devices();
    EXPECT_EQ(scanned_count, table_capacity);
    EXPECT_EQ(port_table[99].port_number, 99);
    EXPECT_EQ(fake_sources::current.class_reads, table_capacity);   // devices past the cap are not looked at
    EXPECT_EQ(fake_sources::current.class_close_calls, 1);
}

TEST_F(pass_test, class_pass_empties_an_earlier_table_and_closes_at_the_list_end)
{
    prefill({5, 6, 7});
    std::vector<fake_sources::device> devices = {{"New", "New (COM9)", "NEW"}};
    serve_devices(devices);
    scan_port_class_devices();
    ASSERT_EQ(scanned_count, 1);
    EXPECT_EQ(port_table[0].port_number, 9);
    EXPECT_EQ(fake_sources::current.class_open_calls, 1);
    EXPECT_EQ(fake_sources::current.class_close_calls, 1);
}

TEST_F(pass_test, class_pass_leaves_the_table_as_it_was_without_a_device_list)
{
    prefill({5, 6});
    fake_sources::current.class_list_available = false;
    std::vector<fake_sources::device> devices = {{"New", "New (COM9)", "NEW"}};
    serve_devices(devices);
    scan_port_class_devices();
    ASSERT_EQ(scanned_count, 2);
    EXPECT_EQ(port_table[0].port_number, 5);
    EXPECT_STREQ(port_table[1].port_name, "earlier");
    EXPECT_EQ(fake_sources::current.class_reads, 0);
    EXPECT_EQ(fake_sources::current.class_close_calls, 0);   // nothing was opened
}

// ---- Serial-map pass ----

struct com_name_case {
    const char* data;
    bool added;
    int port_number;
};

TEST_F(pass_test, map_pass_reads_the_port_number_of_each_com_name)
{
    const com_name_case cases[] = {
        {"COM12", true, 12},
        {"COM1", true, 1},
        {"COM123", true, 12},
        {"COM0", true, 0},
        {"COM05", true, 0},     // a leading 0 is no first digit here
        {"COM", true, 0},
        {"COMx", true, 0},
        {"com3", false, 0},     // case-sensitive
        {"Com3", false, 0},
        {"CO", false, 0},
        {"", false, 0},
        {"XCOM3", false, 0},
    };
    for (const com_name_case& c : cases) {
        SCOPED_TRACE(c.data);
        SetUp();
        std::vector<fake_sources::map_value> values = {{"\\Device\\Serial0", 1, c.data}};
        serve_values(values);
        scan_serialcomm_map();
        ASSERT_EQ(scanned_count, c.added ? 1 : 0);
        if (!c.added) continue;
        EXPECT_EQ(port_table[0].port_number, c.port_number);
        EXPECT_STREQ(port_table[0].port_name, c.data);
        EXPECT_STREQ(port_table[0].port_device_name, "");
        EXPECT_STREQ(port_table[0].port_device_name2, "\\Device\\Serial0");
    }
}

TEST_F(pass_test, map_pass_names_every_entry_of_a_known_number_and_adds_the_others)
{
    prefill({3, 5, 3});
    std::vector<fake_sources::map_value> values = {
        {"\\Device\\Serial0", 1, "COM3"},
        {"\\Device\\ProlificSerial0", 1, "COM7"},
    };
    serve_values(values);
    scan_serialcomm_map();
    ASSERT_EQ(scanned_count, 4);
    EXPECT_STREQ(port_table[0].port_device_name2, "\\Device\\Serial0");
    EXPECT_STREQ(port_table[1].port_device_name2, "");
    EXPECT_STREQ(port_table[2].port_device_name2, "\\Device\\Serial0");
    EXPECT_STREQ(port_table[0].port_name, "earlier");          // the first pass's texts stay
    EXPECT_STREQ(port_table[0].port_device_name, "EARLIER\\ID");
    EXPECT_EQ(port_table[3].port_number, 7);
    EXPECT_STREQ(port_table[3].port_name, "COM7");
    EXPECT_STREQ(port_table[3].port_device_name, "");
    EXPECT_STREQ(port_table[3].port_device_name2, "\\Device\\ProlificSerial0");
    EXPECT_EQ(fake_sources::current.map_close_calls, 1);
}

TEST_F(pass_test, map_pass_gives_a_number_zero_entry_the_name_of_a_zero_value)
{
    prefill({0});
    std::vector<fake_sources::map_value> values = {{"\\Device\\Odd", 1, "COM05"}};
    serve_values(values);
    scan_serialcomm_map();
    ASSERT_EQ(scanned_count, 1);
    EXPECT_STREQ(port_table[0].port_device_name2, "\\Device\\Odd");
}

TEST_F(pass_test, map_pass_keeps_the_later_name_of_a_repeated_number)
{
    std::vector<fake_sources::map_value> values = {
        {"\\Device\\First", 1, "COM9"},
        {"\\Device\\Second", 1, "COM9"},
    };
    serve_values(values);
    scan_serialcomm_map();
    ASSERT_EQ(scanned_count, 1);
    EXPECT_STREQ(port_table[0].port_device_name2, "\\Device\\Second");
}

TEST_F(pass_test, map_pass_skips_values_that_are_not_strings)
{
    std::vector<fake_sources::map_value> values = {
        {"\\Device\\Serial0", 1, "COM3"},
        {"\\Device\\Binary", 0, "COM3"},    // must neither rename COM3 ...
        {"\\Device\\Number", 0, "COM4"},    // ... nor add a port
        {"\\Device\\Serial1", 1, "COM8"},   // values after them are still read
    };
    serve_values(values);
    scan_serialcomm_map();
    ASSERT_EQ(scanned_count, 2);
    EXPECT_STREQ(port_table[0].port_device_name2, "\\Device\\Serial0");
    EXPECT_EQ(port_table[1].port_number, 8);
}

TEST_F(pass_test, map_pass_cuts_long_data_and_unterminated_buffers)
{
    const std::string long_data = "COM44 with a long description that goes on";
    const std::string data_255 = "COM8" + std::string(251, 'x');
    std::vector<fake_sources::map_value> values = {
        {"\\Device\\Long", 1, long_data.c_str()},
        {"\\Device\\Full", 1, data_255.c_str()},
    };
    serve_values(values);
    scan_serialcomm_map();
    ASSERT_EQ(scanned_count, 2);
    EXPECT_EQ(port_table[0].port_number, 44);
    EXPECT_EQ(std::string(port_table[0].port_name), long_data.substr(0, 31));
    EXPECT_EQ(port_table[1].port_number, 8);
    EXPECT_EQ(std::string(port_table[1].port_name), data_255.substr(0, 31));

    SetUp();
    std::vector<fake_sources::map_value> unterminated = {{"\\Device\\Serial2", 1, "COM2 "}};
    serve_values(unterminated);
    fake_sources::current.fill_map_buffers = true;
    scan_serialcomm_map();
    ASSERT_EQ(scanned_count, 1);
    EXPECT_EQ(port_table[0].port_number, 2);
    EXPECT_EQ(std::strlen(port_table[0].port_name), 31u);
    EXPECT_EQ(std::strlen(port_table[0].port_device_name2), 255u);
}

TEST_F(pass_test, map_pass_never_grows_a_full_table)
{
    std::vector<int> numbers(table_capacity, 1);
    prefill(numbers);
    std::vector<fake_sources::map_value> values = {
        {"\\Device\\Serial2", 1, "COM2"},   // no room: not added
        {"\\Device\\Serial1", 1, "COM1"},   // known: still named
    };
    serve_values(values);
    scan_serialcomm_map();
    ASSERT_EQ(scanned_count, table_capacity);
    for (int j = 0; j < table_capacity; ++j) {
        EXPECT_EQ(port_table[j].port_number, 1);
        EXPECT_STREQ(port_table[j].port_device_name2, "\\Device\\Serial1");
    }
}

TEST_F(pass_test, map_pass_changes_nothing_without_a_map)
{
    prefill({3});
    fake_sources::current.map_available = false;
    std::vector<fake_sources::map_value> values = {{"\\Device\\Serial0", 1, "COM3"}, {"\\Device\\Serial1", 1, "COM4"}};
    serve_values(values);
    scan_serialcomm_map();
    ASSERT_EQ(scanned_count, 1);
    EXPECT_STREQ(port_table[0].port_device_name2, "");
    EXPECT_EQ(fake_sources::current.map_close_calls, 0);
}

// ---- Scan entry ----

TEST_F(pass_test, scan_merges_both_passes_and_returns_the_entry_count)
{
    std::vector<fake_sources::device> devices = {
        {"Prolific USB-to-Serial Comm Port", "Prolific USB-to-Serial Comm Port (COM3)", "USB\\VID_067B&PID_2303&REV_0300"},
    };
    std::vector<fake_sources::map_value> values = {
        {"\\Device\\ProlificSerial0", 1, "COM3"},
        {"\\Device\\Serial0", 1, "COM1"},
    };
    serve_devices(devices);
    serve_values(values);
    ASSERT_EQ(port_device_scan(), 2);
    ASSERT_EQ(port_device_pickup("Prolific"), 1);
    char name[device_name_size] = "";
    EXPECT_EQ(get_port_number(0), 3);
    ASSERT_EQ(get_port_device_name2(0, name), 0);
    EXPECT_STREQ(name, "\\Device\\ProlificSerial0");
}

TEST_F(pass_test, scan_without_a_map_returns_the_class_count)
{
    std::vector<fake_sources::device> devices = {{"A", "A (COM1)", "A"}, {"B", "B (COM2)", "B"}};
    serve_devices(devices);
    fake_sources::current.map_available = false;
    EXPECT_EQ(port_device_scan(), 2);
}

TEST_F(pass_test, scan_with_nothing_found_returns_zero)
{
    EXPECT_EQ(port_device_scan(), 0);
    fake_sources::current.class_list_available = false;
    fake_sources::current.map_available = false;
    EXPECT_EQ(port_device_scan(), 0);
}

TEST_F(pass_test, scan_empties_the_selection)
{
    std::vector<fake_sources::device> devices = {{"A", "A (COM1)", "A"}, {"B", "B (COM2)", "B"}};
    serve_devices(devices);
    ASSERT_EQ(port_device_scan(), 2);
    ASSERT_EQ(port_device_pickup_all(), 2);
    EXPECT_EQ(port_device_scan(), 2);
    EXPECT_EQ(get_how_many_port_devices(), 0);
    EXPECT_EQ(get_port_number(0), -1);
}

}  // namespace
