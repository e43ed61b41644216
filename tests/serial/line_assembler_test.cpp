// Line assembly over byte streams cut at every possible point: what arrives in one piece or in two
// must give the same lines, none longer than 255 characters, nothing written past the caller's buffer.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "line_assembler.h"

namespace {

enum { caller_size = 256, canary_size = 32 };
const char canary_byte = '\x5a';

// The caller's 256-byte buffer with a guard zone behind it.
struct caller_buffer {
    char bytes[caller_size + canary_size];
    caller_buffer() { std::memset(bytes, canary_byte, sizeof bytes); }
    bool canary_intact() const {
        for (int i = caller_size; i < caller_size + canary_size; ++i) {
            if (bytes[i] != canary_byte) return false;
        }
        return true;
    }
};

// Takes every ready line, checking each against the assembler's own length report.
void take_all(rs232::line_assembler* assembler, std::vector<std::string>* lines) {
    caller_buffer out;
    for (int length = rs232::assembler_ready(assembler); length > 0; length = rs232::assembler_ready(assembler)) {
        ASSERT_EQ(rs232::assembler_take(assembler, out.bytes, caller_size), length);
        ASSERT_TRUE(out.canary_intact());
        ASSERT_EQ(std::strlen(out.bytes), static_cast<size_t>(length));
        ASSERT_LE(length, rs232::line_max);
        lines->push_back(out.bytes);
    }
    EXPECT_EQ(rs232::assembler_take(assembler, out.bytes, caller_size), -1);
    EXPECT_STREQ(out.bytes, "");
    EXPECT_TRUE(out.canary_intact());
}

// Appends data in pieces of at most chunk bytes, taking lines whenever the assembler is full.
void feed(rs232::line_assembler* assembler, const std::string& data, std::vector<std::string>* lines) {
    size_t offset = 0;
    while (offset < data.size()) {
        const int taken = rs232::assembler_append(assembler, data.data() + offset, static_cast<int>(data.size() - offset));
        offset += static_cast<size_t>(taken);
        take_all(assembler, lines);
        if (taken == 0) {
            ASSERT_GT(rs232::assembler_free_space(assembler), 0) << "full assembler with no line ready";
        }
    }
}

struct stream_case {
    const char* name;
    std::string input;
    std::vector<std::string> lines;
};

std::string repeat(char c, size_t n) { return std::string(n, c); }

std::string digits(size_t n) {
    std::string text;
    for (size_t i = 0; i < n; ++i) text += static_cast<char>('0' + i % 10);
    return text;
}

std::vector<stream_case> stream_cases() {
    const std::string gga = "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47";
    const std::string d300 = digits(300);
    return {
        {"crlf", gga + "\r\n" + "$GPRMC,1\r\n", {gga, "$GPRMC,1"}},
        {"lf_only", "a\nbb\n", {"a", "bb"}},
        {"cr_only", "a\rbb\r", {"a", "bb"}},
        {"lf_cr", "a\n\rbb\n\r", {"a", "bb"}},
        {"empty_lines_skipped", "\r\n\r\na\r\n\r\n\r\nb\r\n", {"a", "b"}},
        {"only_line_ends", "\r\n\r\n\n\r", {}},
        {"incomplete_last_line_waits", "a\r\npartial", {"a"}},
        {"nothing", "", {}},
        {"line_of_254", repeat('x', 254) + "\r\n", {repeat('x', 254)}},
        {"line_of_255_is_one_piece", repeat('x', 255) + "\r\n", {repeat('x', 255)}},
        {"line_of_256_in_two_pieces", repeat('y', 256) + "\r\n", {repeat('y', 255), "y"}},
        {"line_of_300_in_two_pieces", d300 + "\r\nnext\r\n", {d300.substr(0, 255), d300.substr(255), "next"}},
        {"piece_ready_without_line_end", repeat('z', 260), {repeat('z', 255)}},
        {"nul_bytes_dropped", std::string("ab\0c\r\n\0\0\r\nd\0\n", 13), {"abc", "d"}},
        {"nul_only_line_is_empty", std::string("\0\0\r\nx\n", 6), {"x"}},
        {"binary_noise_kept", "\x01\xff\x7f\r\n", {"\x01\xff\x7f"}},
    };
}

class stream_split : public ::testing::TestWithParam<stream_case> {};

TEST_P(stream_split, same_lines_at_every_split_point) {
    const stream_case& c = GetParam();
    for (size_t split = 0; split <= c.input.size(); ++split) {
        SCOPED_TRACE("split at " + std::to_string(split));
        rs232::line_assembler assembler;
        rs232::assembler_reset(&assembler);
        std::vector<std::string> lines;
        feed(&assembler, c.input.substr(0, split), &lines);
        feed(&assembler, c.input.substr(split), &lines);
        EXPECT_EQ(lines, c.lines);
    }
}

TEST_P(stream_split, same_lines_byte_by_byte) {
    const stream_case& c = GetParam();
    rs232::line_assembler assembler;
    rs232::assembler_reset(&assembler);
    std::vector<std::string> lines;
    for (char byte : c.input) {
        feed(&assembler, std::string(1, byte), &lines);
    }
    EXPECT_EQ(lines, c.lines);
}

INSTANTIATE_TEST_SUITE_P(line_ends_lengths_and_noise, stream_split, ::testing::ValuesIn(stream_cases()),
                         [](const ::testing::TestParamInfo<stream_case>& param_info) { return param_info.param.name; });

TEST(line_assembler, long_stream_through_a_full_buffer_loses_only_line_ends) {
    // Far more than the receive buffer holds, arriving faster than lines are taken.
    std::string input;
    std::vector<std::string> expected;
    for (int i = 0; i < 200; ++i) {
        const std::string line = "$GPGSV," + std::to_string(i) + "," + digits(static_cast<size_t>(i % 70));
        input += line + "\r\n";
        expected.push_back(line);
    }
    input += digits(1000) + "\n";
    const std::string tail = digits(1000);
    for (size_t at = 0; at < tail.size(); at += 255) expected.push_back(tail.substr(at, 255));

    rs232::line_assembler assembler;
    rs232::assembler_reset(&assembler);
    std::vector<std::string> lines;
    size_t offset = 0;
    while (offset < input.size()) {
        const int taken = rs232::assembler_append(&assembler, input.data() + offset, static_cast<int>(input.size() - offset));
        offset += static_cast<size_t>(taken);
        // Take only one line per round, so the buffer fills up.
        caller_buffer out;
        if (rs232::assembler_take(&assembler, out.bytes, caller_size) > 0) lines.push_back(out.bytes);
        ASSERT_TRUE(out.canary_intact());
        ASSERT_TRUE(taken > 0 || rs232::assembler_ready(&assembler) > 0 || offset == input.size());
    }
    take_all(&assembler, &lines);
    EXPECT_EQ(lines, expected);
}

TEST(line_assembler, full_buffer_refuses_bytes_but_not_trailing_nuls) {
    rs232::line_assembler assembler;
    rs232::assembler_reset(&assembler);
    const std::string block = repeat('q', rs232::receive_capacity);
    ASSERT_EQ(rs232::assembler_append(&assembler, block.data(), static_cast<int>(block.size())), rs232::receive_capacity);
    EXPECT_EQ(rs232::assembler_free_space(&assembler), 0);
    const std::string more("r\0", 2);
    EXPECT_EQ(rs232::assembler_append(&assembler, more.data(), 2), 0);
    const std::string nuls(3, '\0');
    EXPECT_EQ(rs232::assembler_append(&assembler, nuls.data(), 3), 3);
    EXPECT_EQ(rs232::assembler_ready(&assembler), rs232::line_max);
}

TEST(line_assembler, bad_arguments_leave_state_alone) {
    rs232::line_assembler assembler;
    rs232::assembler_reset(&assembler);
    const std::string text = "keep\r\n";
    ASSERT_EQ(rs232::assembler_append(&assembler, text.data(), static_cast<int>(text.size())), 6);
    EXPECT_EQ(rs232::assembler_append(&assembler, nullptr, 5), 0);
    EXPECT_EQ(rs232::assembler_append(&assembler, text.data(), -1), 0);
    EXPECT_EQ(rs232::assembler_take(&assembler, nullptr, caller_size), -1);
    char small[4] = {'x', 'x', 'x', 'x'};
    EXPECT_EQ(rs232::assembler_take(&assembler, small, sizeof small), -1);  // "keep" needs 5 bytes
    EXPECT_STREQ(small, "");
    caller_buffer out;
    EXPECT_EQ(rs232::assembler_take(&assembler, out.bytes, caller_size), 4);
    EXPECT_STREQ(out.bytes, "keep");
}

}  // namespace
