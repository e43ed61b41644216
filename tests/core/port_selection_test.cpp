#include "port_device.h"
#include "port_table.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using namespace port_device;

struct entry_text {
    int port_number;
    const char* port_name;
    const char* device_name;
    const char* device_name2;
};

// A table as the two discovery passes leave it: class-pass entries first, then map-only ones.
const entry_text mixed_table[] = {
    {3, "Prolific Serial (COM3)", "USB\\VID_067B&PID_2303&REV_0300", "\\Device\\ProlificSerial0"},
    {1, "Communications Port (COM1)", "ACPI\\PNP0501", "\\Device\\Serial0"},
    {5, "USB Serial Port (COM5)", "FTDIBUS\\VID_0403+PID_6001+A9K3L1QXA\\0000", "\\Device\\VCP0"},
    {3, "USB Serial Port (COM3)", "FTDIBUS\\VID_0403+PID_6015+DN01\\0000", "\\Device\\VCP1"},
    {7, "CP210x UART Bridge (COM7)", "USB\\VID_10C4&PID_EA60", ""},
    {8, "Prolific Serial (COM8)", "USB\\VID_067B&PID_23A3", ""},
    {9, "COM9", "", "\\Device\\CypressSerial0"},
    {12, "COM12", "", "\\Device\\ArkMicroSerial0"},
};

class port_selection : public ::testing::Test {
protected:
    void SetUp() override { reset_port_device_state(); }
    void TearDown() override { reset_port_device_state(); }

    static void load(const entry_text* entries, int count) {
        for (int i = 0; i < count; ++i) {
            ASSERT_EQ(append_entry(entries[i].port_number, entries[i].port_name, entries[i].device_name,
                                   entries[i].device_name2),
                      i);
        }
    }
    static void load_mixed() { load(mixed_table, static_cast<int>(sizeof mixed_table / sizeof mixed_table[0])); }

    // The selection as the port numbers of its entries, in order, read through the exported queries.
    static std::vector<int> selected_numbers() {
        std::vector<int> numbers;
        const int count = get_how_many_port_devices();
        for (int k = 0; k < count; ++k) {
            numbers.push_back(get_port_number(k));
        }
        return numbers;
    }
    static std::string selected_port_name(int k) {
        char out[port_name_size] = {};
        EXPECT_EQ(get_port_name(k, out), 0);
        return out;
    }
};

TEST_F(port_selection, empty_table_selects_nothing) {
    EXPECT_EQ(get_how_many_port_devices(), 0);
    EXPECT_EQ(port_device_pickup("Prolific"), 0);
    EXPECT_EQ(port_device_pickup(""), 0);
    for (int type = -1; type <= 7; ++type) {
        EXPECT_EQ(port_device_pickup_by_type(type), 0) << "type " << type;
    }
    EXPECT_EQ(port_device_pickup_all(), 0);
    for (const int k : {-1, 0, 1, 99, 100}) {
        EXPECT_EQ(get_port_number(k), -1) << k;
        char out[device_name_size] = "canary";
        EXPECT_EQ(get_port_name(k, out), -1) << k;
        EXPECT_EQ(get_port_device_name(k, out), -1) << k;
        EXPECT_EQ(get_port_device_name2(k, out), -1) << k;
        EXPECT_STREQ(out, "canary") << k;
    }
}

TEST_F(port_selection, pickup_by_text_searches_all_three_names_in_table_order) {
    load_mixed();
    struct pickup_case {
        const char* name;
        std::vector<int> numbers;
    };
    const pickup_case cases[] = {
        {"Prolific", {3, 8}},          // port name (and the second device name of the first entry)
        {"VID_067B", {3, 8}},          // device name only
        {"ProlificSerial", {3}},       // second device name only
        {"FTDIBUS", {5, 3}},           // both FTDI entries; the table holds port 3 only once per pickup
        {"Serial Port", {5, 3}},
        {"COM", {3, 1, 5, 7, 8, 9, 12}},  // one entry per port number, the first in table order
        {"", {3, 1, 5, 7, 8, 9, 12}},
        {"prolific", {}},              // case-sensitive
        {"ttyUSB", {}},
    };
    for (const pickup_case& c : cases) {
        port_device_pickup_by_type(99);
        EXPECT_EQ(port_device_pickup(c.name), static_cast<int>(c.numbers.size())) << c.name;
        EXPECT_EQ(selected_numbers(), c.numbers) << c.name;
    }
}

TEST_F(port_selection, pickups_accumulate_without_repeating_a_port_number) {
    load_mixed();
    EXPECT_EQ(port_device_pickup("Prolific"), 2);
    EXPECT_EQ(port_device_pickup("Prolific"), 2);  // the same text twice changes nothing
    EXPECT_EQ(selected_numbers(), (std::vector<int>{3, 8}));
    // FTDI port 3 shares its number with the Prolific port already selected.
    EXPECT_EQ(port_device_pickup("FTDIBUS"), 3);
    EXPECT_EQ(selected_numbers(), (std::vector<int>{3, 8, 5}));
    EXPECT_EQ(selected_port_name(0), "Prolific Serial (COM3)");
    EXPECT_EQ(selected_port_name(2), "USB Serial Port (COM5)");
}

TEST_F(port_selection, null_name_adds_nothing) {
    load_mixed();
    EXPECT_EQ(port_device_pickup(nullptr), 0);
    EXPECT_EQ(port_device_pickup("CP210x"), 1);
    EXPECT_EQ(port_device_pickup(nullptr), 1);
    EXPECT_EQ(selected_numbers(), (std::vector<int>{7}));
}

TEST_F(port_selection, pickup_by_type_replaces_the_selection) {
    load_mixed();
    struct type_case {
        int type;
        std::vector<int> numbers;
    };
    const type_case cases[] = {
        {0, {3, 1, 5, 3, 7, 8, 9, 12}},  // every entry, equal numbers included
        {1, {1}},
        {2, {5, 3}},
        {3, {7}},
        {4, {3, 8}},
        {5, {9}},
        {6, {12}},
        {7, {}},
        {-1, {}},
        {1000, {}},
    };
    for (const type_case& c : cases) {
        port_device_pickup("COM");  // something to be replaced
        EXPECT_EQ(port_device_pickup_by_type(c.type), static_cast<int>(c.numbers.size())) << "type " << c.type;
        EXPECT_EQ(selected_numbers(), c.numbers) << "type " << c.type;
    }
    port_device_pickup("COM");
    EXPECT_EQ(port_device_pickup_all(), 8);
}

TEST_F(port_selection, entries_without_port_number) {
    const entry_text zeros[] = {
        {0, "Bluetooth Serial Port", "BTHENUM\\{00001101}", ""},
        {0, "Another Serial Port", "BTHENUM\\{00001101}_2", ""},
    };
    load(zeros, 2);
    EXPECT_EQ(port_device_pickup("Serial Port"), 1);
    EXPECT_EQ(selected_port_name(0), "Bluetooth Serial Port");
    EXPECT_EQ(port_device_pickup_by_type(0), 2);
    EXPECT_EQ(selected_numbers(), (std::vector<int>{0, 0}));
}

TEST_F(port_selection, queries_copy_the_addressed_entry_and_reject_other_indexes) {
    load_mixed();
    ASSERT_EQ(port_device_pickup("FTDIBUS"), 2);
    char name[port_name_size];
    char device[device_name_size];
    char device2[device_name_size];
    EXPECT_EQ(get_port_number(1), 3);
    EXPECT_EQ(get_port_name(1, name), 0);
    EXPECT_STREQ(name, "USB Serial Port (COM3)");
    EXPECT_EQ(get_port_device_name(1, device), 0);
    EXPECT_STREQ(device, "FTDIBUS\\VID_0403+PID_6015+DN01\\0000");
    EXPECT_EQ(get_port_device_name2(1, device2), 0);
    EXPECT_STREQ(device2, "\\Device\\VCP1");

    for (const int k : {2, 3, -1, -100, 100, 2147483647, -2147483647 - 1}) {
        char canary[device_name_size];
        std::memset(canary, 0x5A, sizeof canary);
        char out[device_name_size];
        std::memcpy(out, canary, sizeof out);
        EXPECT_EQ(get_port_number(k), -1) << k;
        EXPECT_EQ(get_port_name(k, out), -1) << k;
        EXPECT_EQ(get_port_device_name(k, out), -1) << k;
        EXPECT_EQ(get_port_device_name2(k, out), -1) << k;
        EXPECT_EQ(std::memcmp(out, canary, sizeof out), 0) << "buffer changed for index " << k;
    }

    // A null buffer is refused for valid indexes too.
    EXPECT_EQ(get_port_name(0, nullptr), -1);
    EXPECT_EQ(get_port_device_name(0, nullptr), -1);
    EXPECT_EQ(get_port_device_name2(0, nullptr), -1);
}

TEST_F(port_selection, long_texts_are_cut_to_their_fields) {
    const std::string long_name(400, 'N');
    const std::string long_device = "Prolific" + std::string(400, 'D');
    ASSERT_EQ(append_entry(4, long_name.c_str(), long_device.c_str(), long_device.c_str()), 0);
    ASSERT_EQ(port_device_pickup("Prolific"), 1);

    // Buffers of exactly the documented sizes, followed by guard bytes that must stay intact.
    struct {
        char text[device_name_size];
        char guard[16];
    } out;
    std::memset(&out, 0x7E, sizeof out);
    EXPECT_EQ(get_port_name(0, out.text), 0);
    EXPECT_EQ(std::strlen(out.text), static_cast<std::size_t>(port_name_size - 1));
    EXPECT_EQ(std::string(out.text), long_name.substr(0, port_name_size - 1));
    for (int i = port_name_size; i < device_name_size; ++i) {
        ASSERT_EQ(out.text[i], 0x7E) << "written past the 32-byte name at " << i;
    }

    EXPECT_EQ(get_port_device_name(0, out.text), 0);
    EXPECT_EQ(std::string(out.text), long_device.substr(0, device_name_size - 1));
    EXPECT_EQ(get_port_device_name2(0, out.text), 0);
    EXPECT_EQ(std::string(out.text), long_device.substr(0, device_name_size - 1));
    for (const char g : out.guard) {
        ASSERT_EQ(g, 0x7E);
    }

    // Null texts are stored as empty names.
    ASSERT_EQ(append_entry(6, nullptr, nullptr, nullptr), 1);
    EXPECT_EQ(port_device_pickup_all(), 2);
    EXPECT_EQ(get_port_device_name2(1, out.text), 0);
    EXPECT_STREQ(out.text, "");
}

TEST(copy_text, cuts_and_terminates_within_the_destination) {
    struct copy_case {
        const char* src;
        int size;
        const char* expected;
    };
    const copy_case cases[] = {
        {"COM3", 32, "COM3"},
        {"COM3", 5, "COM3"},
        {"COM3", 4, "COM"},
        {"COM3", 1, ""},
        {nullptr, 8, ""},
        {"", 8, ""},
    };
    for (const copy_case& c : cases) {
        char dst[40];
        std::memset(dst, 'x', sizeof dst);
        copy_text(dst, c.size, c.src);
        EXPECT_STREQ(dst, c.expected);
        for (int i = c.size; i < static_cast<int>(sizeof dst); ++i) {
            ASSERT_EQ(dst[i], 'x') << "wrote past " << c.size << " bytes";
        }
    }
    char untouched[4] = "abc";
    copy_text(untouched, 0, "zz");
    copy_text(untouched, -5, "zz");
    copy_text(nullptr, 10, "zz");
    EXPECT_STREQ(untouched, "abc");
}

TEST_F(port_selection, table_and_selection_never_exceed_one_hundred) {
    for (int i = 0; i < table_capacity; ++i) {
        const std::string name = "Prolific USB-to-Serial Comm Port (COM" + std::to_string(i) + ")";
        ASSERT_EQ(append_entry(i, name.c_str(), "USB\\VID_067B&PID_2303", ""), i);
    }
    EXPECT_EQ(append_entry(100, "COM100", "", ""), -1);
    EXPECT_EQ(scanned_count, table_capacity);

    EXPECT_EQ(port_device_pickup("Prolific"), table_capacity);
    for (const char* again : {"Prolific", "COM", "", "VID_067B"}) {
        EXPECT_EQ(port_device_pickup(again), table_capacity) << again;
    }
    EXPECT_EQ(port_device_pickup_all(), table_capacity);
    EXPECT_EQ(port_device_pickup("COM"), table_capacity);  // all numbers already selected
    EXPECT_EQ(port_device_pickup_by_type(4), table_capacity);
    EXPECT_EQ(get_port_number(99), 99);
    EXPECT_EQ(get_port_number(100), -1);
}

}  // namespace
