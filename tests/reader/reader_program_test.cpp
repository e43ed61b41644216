// The reader's run over fake port discovery, serial library and keyboard: every message byte for
// byte, the exit status, and the calls that release the port and wait at the prompt.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "console.h"
#include "fake_reader_world.h"
#include "reader_program.h"

namespace {

using fake_world::event;
using fake_world::idle;
using fake_world::key;
using fake_world::line;

const char banner[] = "GPS Latitude,Longitude read test software\n\n";
const char prompt[] = "[hit return key to continue]\n";
const char port3[] = "com_port=3 , baud_rate=38400\n";

const char no_fix[] = "$GPGGA,101500.00,,,,,0,00,99.9,,,,,,*48";
const char fix_sw[] = "$GPGGA,101500.00,3723.2475,S,12158.3416,W,1,07,1.1,12.0,M,-25.0,M,,*76";
const char fix_sw_result[] = "Result: lat=-37.387458,lng=-121.972360\n";
const char fix_q0[] = "$GPGGA,123519,4807.038,N,01131.000,E,0,08,0.9,545.4,M,46.9,M,,*46";
const char rmc[] = "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A";
const char gsv[] = "$GPGSV,2,1,08,01,40,083,46,02,17,308,41,12,07,344,39,14,22,228,45*75";

std::string raw(const std::string& text) { return "GPS Raw log: <" + text + ">\n"; }
const std::string data_error = "Warning: GPS data error.\n";

const std::vector<std::string> start_calls = {"console_open", "scan", "pickup Prolific", "count"};
std::vector<std::string> with_start(std::vector<std::string> rest) {
    std::vector<std::string> all = start_calls;
    all.insert(all.end(), rest.begin(), rest.end());
    return all;
}

struct scenario {
    const char* name;
    fake_world::setup world;
    std::string output;
    int status;
    std::vector<std::string> calls;
};

std::vector<scenario> scenarios() {
    std::vector<scenario> list;
    {
        scenario s{"no_adapter", {}, "", 1, {}};
        s.world.selected_count = 0;
        s.output = std::string(banner) + "Error: GPS com_port not found.\n" + prompt;
        s.calls = with_start({"prompt key", "console_close"});
        list.push_back(s);
    }
    {
        scenario s{"port_without_digits_is_port_0", {}, "", 0, {}};
        s.world.port_number = 0;
        s.world.events = {line(fix_sw)};
        s.output = std::string(banner) + "com_port=0 , baud_rate=38400\n" + raw(fix_sw) + "\n" + fix_sw_result + prompt;
        s.calls = with_start({"port 0", "open 0 38400", "close 0", "prompt key", "console_close"});
        list.push_back(s);
    }
    {
        scenario s{"open_failure", {}, "", 1, {}};
        s.world.open_result = -1;
        s.output = std::string(banner) + port3 + "Error: COM3 cannot open.\n" + prompt;
        s.calls = with_start({"port 0", "open 3 38400", "prompt key", "console_close"});
        list.push_back(s);
    }
    {
        scenario s{"only_minus_one_means_open_failed", {}, "", 0, {}};
        s.world.open_result = 1;
        s.world.events = {line(fix_sw)};
        s.output = std::string(banner) + port3 + raw(fix_sw) + "\n" + fix_sw_result + prompt;
        s.calls = with_start({"port 0", "open 3 38400", "close 3", "prompt key", "console_close"});
        list.push_back(s);
    }
    {
        scenario s{"three_without_fix_then_position", {}, "", 0, {}};
        s.world.events = {line(no_fix), line(rmc), line(no_fix), idle(), line(no_fix), line(gsv), line(fix_sw)};
        s.output = std::string(banner) + port3 + raw(no_fix) + data_error + raw(no_fix) + data_error + raw(no_fix) +
                   data_error + raw(fix_sw) + "\n" + fix_sw_result + prompt;
        s.calls = with_start({"port 0", "open 3 38400", "close 3", "prompt key", "console_close"});
        list.push_back(s);
    }
    {
        scenario s{"fix_quality_0_warns_and_still_prints", {}, "", 0, {}};
        s.world.events = {line(fix_q0)};
        s.output = std::string(banner) + port3 + raw(fix_q0) + "Warning: GPS cannot get current location now.\n" +
                   "\nResult: lat=48.117300,lng=11.516667\n" + prompt;
        s.calls = with_start({"port 0", "open 3 38400", "close 3", "prompt key", "console_close"});
        list.push_back(s);
    }
    {
        scenario s{"lines_that_are_not_gps_gga_stay_silent", {}, "", 0, {}};
        s.world.events = {line(rmc), line(gsv), line(""), line("$GNGGA,101500.00,3723.2475,S,12158.3416,W,1,07"),
                          line("$gpgga,101500.00,3723.2475,S,12158.3416,W,1,07"), line("GPGGA,1,2,N,3,E,1"),
                          line("$GPGG"), idle(), idle(), line(fix_sw)};
        s.output = std::string(banner) + port3 + raw(fix_sw) + "\n" + fix_sw_result + prompt;
        s.calls = with_start({"port 0", "open 3 38400", "close 3", "prompt key", "console_close"});
        list.push_back(s);
    }
    {
        scenario s{"bare_sentence_name_is_a_data_error", {}, "", 0, {}};
        s.world.events = {line("$GPGGA"), line("$GPGGA,"), line(fix_sw)};
        s.output = std::string(banner) + port3 + raw("$GPGGA") + data_error + raw("$GPGGA,") + data_error +
                   raw(fix_sw) + "\n" + fix_sw_result + prompt;
        s.calls = with_start({"port 0", "open 3 38400", "close 3", "prompt key", "console_close"});
        list.push_back(s);
    }
    {
        scenario s{"escape_while_reading_closes_without_result_or_prompt", {}, "", 0, {}};
        s.world.events = {line(rmc), line(no_fix), key(position_reader::key_escape), line(fix_sw)};
        s.output = std::string(banner) + port3 + raw(no_fix) + data_error;
        s.calls = with_start({"port 0", "open 3 38400", "close 3", "console_close"});
        list.push_back(s);
    }
    {
        scenario s{"escape_before_any_line", {}, "", 0, {}};
        s.world.events = {key(position_reader::key_escape)};
        s.output = std::string(banner) + port3;
        s.calls = with_start({"port 0", "open 3 38400", "close 3", "console_close"});
        list.push_back(s);
    }
    {
        scenario s{"other_keys_change_nothing", {}, "", 0, {}};
        s.world.events = {key('q'), line(no_fix), key('\r'), key(0x100), key(position_reader::key_none), line(fix_sw)};
        s.output = std::string(banner) + port3 + raw(no_fix) + data_error + raw(fix_sw) + "\n" + fix_sw_result + prompt;
        s.calls = with_start({"port 0", "open 3 38400", "close 3", "prompt key", "console_close"});
        list.push_back(s);
    }
    {
        scenario s{"longest_line_is_printed_whole", {}, "", 0, {}};
        const std::string long_line = std::string("$GPGGA,") + std::string(248, '9');
        s.world.events = {line(long_line), line(fix_sw)};
        s.output = std::string(banner) + port3 + raw(long_line) + data_error + raw(fix_sw) + "\n" + fix_sw_result + prompt;
        s.calls = with_start({"port 0", "open 3 38400", "close 3", "prompt key", "console_close"});
        list.push_back(s);
    }
    {
        // A library that forgets the terminator must not make us read past the buffer.
        scenario s{"unterminated_buffer_is_cut_at_255", {}, "", 0, {}};
        s.world.fill_unterminated = true;
        s.world.events = {line("$GPGGA,"), line(fix_sw)};
        const std::string cut = "$GPGGA," + std::string(255 - 7, 'x');
        s.output = std::string(banner) + port3 + raw(cut) + data_error + raw(fix_sw + std::string(255 - sizeof(fix_sw) + 1, 'x')) +
                   "\n" + fix_sw_result + prompt;
        s.calls = with_start({"port 0", "open 3 38400", "close 3", "prompt key", "console_close"});
        list.push_back(s);
    }
    return list;
}

void PrintTo(const scenario& s, std::ostream* os) { *os << s.name; }

class reader_run : public ::testing::TestWithParam<scenario> {};

TEST_P(reader_run, prints_exactly_and_releases_the_port_before_the_prompt) {
    const scenario& s = GetParam();
    fake_world::start(s.world);
    ::testing::internal::CaptureStdout();
    const int status = position_reader::run_position_reader();
    const std::string output = ::testing::internal::GetCapturedStdout();

    EXPECT_EQ(output, s.output);
    EXPECT_EQ(status, s.status);
    EXPECT_EQ(fake_world::calls(), s.calls);
    EXPECT_TRUE(fake_world::faults().empty()) << ::testing::PrintToString(fake_world::faults());
    EXPECT_FALSE(fake_world::starved()) << "kept reading after the last line";
}

INSTANTIATE_TEST_SUITE_P(scenarios, reader_run, ::testing::ValuesIn(scenarios()),
                         [](const ::testing::TestParamInfo<scenario>& p) { return std::string(p.param.name); });

TEST(reader_run, without_a_position_reads_until_escape) {
    // RMC and GSV only: nothing after the port line, and the loop keeps polling until Esc.
    fake_world::setup world;
    for (int i = 0; i < 50; ++i) {
        world.events.push_back(i % 2 ? line(rmc) : line(gsv));
        world.events.push_back(idle());
    }
    world.events.push_back(key(position_reader::key_escape));
    fake_world::start(world);
    ::testing::internal::CaptureStdout();
    const int status = position_reader::run_position_reader();
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), std::string(banner) + port3);
    EXPECT_EQ(status, 0);
    EXPECT_FALSE(fake_world::starved());
}

TEST(wait_for_key, prints_the_prompt_and_reads_one_key) {
    fake_world::start(fake_world::setup{});
    ::testing::internal::CaptureStdout();
    position_reader::wait_for_key();
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), prompt);
    EXPECT_EQ(fake_world::calls(), std::vector<std::string>{"prompt key"});
}

}  // namespace
