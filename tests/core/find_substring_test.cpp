#include "find_substring.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace {

using port_device::find_substring;

// Leftmost 1-based position by brute force, the yardstick for the failure-table scan.
int reference_position(const std::string& text, const std::string& pattern) {
    const std::string::size_type at = text.find(pattern);
    return at == std::string::npos ? -1 : static_cast<int>(at) + 1;
}

struct search_case {
    const char* text;
    const char* pattern;
    int expected;
};

const search_case search_cases[] = {
    {"USB Serial Port (COM5)", "COM", 18},
    {"Prolific USB-to-Serial Comm Port (COM3)", "COM", 35},
    {"(COM1) and (COM2)", "COM", 2},          // the leftmost occurrence wins
    {"Communications Port", "COM", -1},       // case-sensitive one way
    {"(COM1)", "com", -1},                    // and the other
    {"Communications Port (com7)", "com", 22},
    {"anything", "", 1},
    {"", "", 1},
    {"", "COM", -1},
    {"CO", "COM", -1},                        // pattern longer than the text
    {"COM", "COM", 1},
    {"aaab", "aab", 2},                       // overlapping candidates
    {"abababca", "ababca", 3},
    {"aaaaaaaaab", "aaaab", 6},
    {"abcabd", "abd", 4},
    {"ACPI\\PNP0501\\0", "ACPI\\PNP", 1},
    {"xxCOM", "COM", 3},                      // at the very end
    {"COMx", "x", 4},
    {"\xC4\xD6\xDC COM", "COM", 5},           // bytes above 127 compare as themselves
    {"\xC4\xD6", "\xD6", 2},
};

TEST(find_substring, finds_leftmost_one_based_position) {
    for (const search_case& c : search_cases) {
        EXPECT_EQ(find_substring(c.text, c.pattern), c.expected) << "text '" << c.text << "' pattern '" << c.pattern << "'";
    }
}

TEST(find_substring, port_digit_sits_two_after_the_result) {
    const char* name = "USB Serial Port (COM5)";
    const int p = find_substring(name, "COM");
    ASSERT_GT(p, 0);
    EXPECT_EQ(name[p + 2], '5');
}

TEST(find_substring, null_arguments_are_not_found) {
    EXPECT_EQ(find_substring(nullptr, "COM"), -1);
    EXPECT_EQ(find_substring("COM", nullptr), -1);
    EXPECT_EQ(find_substring(nullptr, nullptr), -1);
}

// Patterns at and beyond the failure table's 255-character limit must still give the right answer.
TEST(find_substring, long_patterns_give_correct_positions) {
    const std::string head(40, 'a');
    for (const int length : {254, 255, 256, 300, 1000}) {
        std::string pattern(static_cast<std::string::size_type>(length - 1), 'a');
        pattern += 'b';
        const std::string holds = head + pattern + "tail";
        const std::string lacks = head + std::string(static_cast<std::string::size_type>(length) + 50, 'a');
        EXPECT_EQ(find_substring(holds.c_str(), pattern.c_str()), 41) << "length " << length;
        EXPECT_EQ(find_substring(lacks.c_str(), pattern.c_str()), -1) << "length " << length;
        EXPECT_EQ(find_substring(pattern.c_str(), pattern.c_str()), 1) << "length " << length;
        EXPECT_EQ(find_substring(pattern.substr(1).c_str(), pattern.c_str()), -1) << "length " << length;
    }
}

TEST(find_substring, agrees_with_brute_force_on_random_texts) {
    std::mt19937 random(20261211u);
    // A two-letter alphabet makes partial matches and fallbacks frequent.
    auto random_text = [&random](std::size_t length) {
        std::string s(length, 'a');
        for (char& c : s) {
            c = (random() % 3 == 0) ? 'b' : 'a';
        }
        return s;
    };
    for (int round = 0; round < 3000; ++round) {
        const std::string text = random_text(random() % 400);
        std::string pattern;
        if (round % 2 == 0 && !text.empty()) {
            // A piece of the text, so it is found (perhaps earlier than where it was cut).
            const std::size_t from = random() % text.size();
            pattern = text.substr(from, 1 + random() % 300);
        } else {
            pattern = random_text(random() % 12);
        }
        ASSERT_EQ(find_substring(text.c_str(), pattern.c_str()), reference_position(text, pattern))
            << "text '" << text << "' pattern '" << pattern << "'";
    }
}

}  // namespace
