#include "gga_decode.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

using position_reader::decode_gga_sentence;
using position_reader::ddmm_to_degrees;
using position_reader::gga_decode_result;
using position_reader::gga_position;

std::string six_decimals(double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%.6f", value);
    return text;
}

const char* result_name(gga_decode_result r) {
    switch (r) {
    case gga_decode_result::not_gga: return "not_gga";
    case gga_decode_result::data_error: return "data_error";
    case gga_decode_result::position: return "position";
    }
    return "?";
}

struct gga_case {
    const char* line;
    gga_decode_result result;
    // Checked for position results only.
    const char* latitude;
    const char* longitude;
    char lat_hemisphere;
    char lon_hemisphere;
    int fix_quality;
};

const gga_decode_result pos = gga_decode_result::position;
const gga_decode_result err = gga_decode_result::data_error;
const gga_decode_result not_gga = gga_decode_result::not_gga;

const gga_case gga_cases[] = {
    {"$GPGGA,101500.00,3723.2475,S,12158.3416,W,1,07,1.1,12.0,M,-25.0,M,,*76", pos, "-37.387458", "-121.972360", 'S', 'W', 1},
    {"$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47", pos, "48.117300", "11.516667", 'N', 'E', 1},
    {"$GPGGA,123519,4807.038,N,00007.5,W,1,08,0.9,545.4,M,46.9,M,,*47", pos, "48.117300", "-0.125000", 'N', 'W', 1},
    {"$GPGGA,101500.00,3723.2475,s,12158.3416,w,1,07,1.1,12.0,M,-25.0,M,,*76", pos, "37.387458", "121.972360", 's', 'w', 1},
    {"$GPGGA,101500.00,0000.0000,S,00000.0000,W,1,07,1.1,12.0,M,-25.0,M,,*76", pos, "-0.000000", "-0.000000", 'S', 'W', 1},
    {"$GPGGA,101500.00,0000.0000,N,00000.0000,E,1,07,1.1,12.0,M,-25.0,M,,*76", pos, "0.000000", "0.000000", 'N', 'E', 1},
    {"$GPGGA,101500.00,3723.2475,S,12158.3416,W,0,00,99.9,,,,,,*76", pos, "-37.387458", "-121.972360", 'S', 'W', 0},
    {"$GPGGA,101500.00,3723.2475,S,12158.3416,W,8,", pos, "-37.387458", "-121.972360", 'S', 'W', 8},
    {"$GPGGA,101500.00,3723.2475,S,12158.3416,W,1", pos, "-37.387458", "-121.972360", 'S', 'W', 1},  // ends after the fix
    {"$GPGGA;101500.00,3723.2475,S,12158.3416,W,1,07,1.1,12.0,M,-25.0,M,,*76", pos, "-37.387458", "-121.972360", 'S', 'W', 1},
    {"$GPGGAX101500.00,3723.2475,S,12158.3416,W,2,07", pos, "-37.387458", "-121.972360", 'S', 'W', 2},
    {"$GPGGA, 101500.00, 3723.2475,S, 12158.3416,W, 1", pos, "-37.387458", "-121.972360", 'S', 'W', 1},  // numbers skip blanks
    {"$GPGGA,101500.00,-3723.2475,N,-12158.3416,E,1", pos, "-37.387458", "-121.972360", 'N', 'E', 1},    // signed fields
    {"$GPGGA,101500.00,-3723.2475,S,-12158.3416,W,1", pos, "37.387458", "121.972360", 'S', 'W', 1},
    {"$GPGGA,235946.005,8960.000000,N,00000.000000,E,0,0,,137.000,M,13.000,M,,*49", pos, "90.000000", "0.000000", 'N', 'E', 0},
    {"$GPGGA,1,3723.2475,,,12158.3416,W,1", pos, "37.387458", "-121.972360", ',', 'W', 1},  // %c takes a comma too
    // Not all six items.
    {"$GPGGA,101500.00,,,,,0,00,99.9,,,,,,*48", err, nullptr, nullptr, 0, 0, 0},
    {"$GPGGA,,,,,,,,,,,,,,*56", err, nullptr, nullptr, 0, 0, 0},
    {"$GPGGA,,3723.2475,S,12158.3416,W,1,07,1.1,12.0,M,-25.0,M,,*76", err, nullptr, nullptr, 0, 0, 0},
    {"$GPGGA,101500.00,3723.2475,S,12158.3416,W,,07,1.1,12.0,M,-25.0,M,,*76", err, nullptr, nullptr, 0, 0, 0},
    {"$GPGGA,101500.00,3723.2475,S,12158.3416,W", err, nullptr, nullptr, 0, 0, 0},
    {"$GPGGA,101500.00,3723.2475,S,12158.3416,", err, nullptr, nullptr, 0, 0, 0},
    {"$GPGGA,101500.00,3723.2475;S,12158.3416,W,1", err, nullptr, nullptr, 0, 0, 0},
    {"$GPGGA,101500.00,N,3723.2475,12158.3416,W,1", err, nullptr, nullptr, 0, 0, 0},
    {"$GPGGA,", err, nullptr, nullptr, 0, 0, 0},
    {"$GPGGA,    ", err, nullptr, nullptr, 0, 0, 0},
    {"$GPGGA", err, nullptr, nullptr, 0, 0, 0},
    // Not a GPS GGA sentence.
    {"$GPRMC,101500.00,A,3723.2475,S,12158.3416,W,0.0,0.0,111226,,,A*6C", not_gga, nullptr, nullptr, 0, 0, 0},
    {"$GNGGA,101500.00,3723.2475,S,12158.3416,W,1,07,1.1,12.0,M,-25.0,M,,*68", not_gga, nullptr, nullptr, 0, 0, 0},
    {"$gpgga,101500.00,3723.2475,S,12158.3416,W,1,07,1.1,12.0,M,-25.0,M,,*76", not_gga, nullptr, nullptr, 0, 0, 0},
    {" $GPGGA,101500.00,3723.2475,S,12158.3416,W,1", not_gga, nullptr, nullptr, 0, 0, 0},
    {"GPGGA,101500.00,3723.2475,S,12158.3416,W,1", not_gga, nullptr, nullptr, 0, 0, 0},
    {"$GPGG", not_gga, nullptr, nullptr, 0, 0, 0},
    {"$GP", not_gga, nullptr, nullptr, 0, 0, 0},
    {"$", not_gga, nullptr, nullptr, 0, 0, 0},
    {"", not_gga, nullptr, nullptr, 0, 0, 0},
};

struct decoded_line {
    gga_decode_result result;
    gga_position out;
    bool output_untouched;
};

decoded_line decode_case(const gga_case& c) {
    decoded_line d;
    std::memset(&d.out, 0xA5, sizeof d.out);
    gga_position before = d.out;
    d.result = decode_gga_sentence(c.line, &d.out);
    d.output_untouched = std::memcmp(&d.out, &before, sizeof before) == 0;
    return d;
}

// Printing happens here, in the "C" locale, so that only the decoding is under test.
void check_case(const gga_case& c, const decoded_line& d) {
    ASSERT_EQ(d.result, c.result) << "'" << c.line << "' gave " << result_name(d.result);
    if (d.result != gga_decode_result::position) {
        EXPECT_TRUE(d.output_untouched) << "'" << c.line << "' wrote its output";
        return;
    }
    EXPECT_EQ(six_decimals(d.out.latitude), c.latitude) << c.line;
    EXPECT_EQ(six_decimals(d.out.longitude), c.longitude) << c.line;
    EXPECT_EQ(d.out.lat_hemisphere, c.lat_hemisphere) << c.line;
    EXPECT_EQ(d.out.lon_hemisphere, c.lon_hemisphere) << c.line;
    EXPECT_EQ(d.out.fix_quality, c.fix_quality) << c.line;
}

TEST(gga_decode, lines_decode_as_tabled) {
    for (const gga_case& c : gga_cases) {
        check_case(c, decode_case(c));
    }
}

TEST(gga_decode, reads_the_time_field) {
    gga_position out{};
    ASSERT_EQ(decode_gga_sentence("$GPGGA,101500.25,3723.2475,S,12158.3416,W,1", &out), gga_decode_result::position);
    EXPECT_DOUBLE_EQ(out.utc_time, 101500.25);
}

TEST(gga_decode, null_arguments) {
    gga_position out{};
    EXPECT_EQ(decode_gga_sentence(nullptr, &out), gga_decode_result::not_gga);
    EXPECT_EQ(decode_gga_sentence("$GPGGA,101500.00,3723.2475,S,12158.3416,W,1", nullptr), gga_decode_result::data_error);
    EXPECT_EQ(decode_gga_sentence("$GPRMC,101500.00", nullptr), gga_decode_result::not_gga);
}

// "$GPGGA" at the end of a buffer that goes on with old data must not read that data.
TEST(gga_decode, six_character_line_ignores_stale_buffer_bytes) {
    char buffer[256];
    std::snprintf(buffer, sizeof buffer, "%s", "$GPGGA,101500.00,3723.2475,S,12158.3416,W,1,07,1.1,12.0,M,-25.0,M,,*76");
    buffer[6] = '\0';
    gga_position out{};
    EXPECT_EQ(decode_gga_sentence(buffer, &out), gga_decode_result::data_error);
}

TEST(gga_decode, degrees_and_minutes_conversion) {
    struct conversion_case {
        double ddmm_over_100;
        const char* degrees;
    };
    const conversion_case cases[] = {
        {48.07038, "48.117300"},
        {0.075, "0.125000"},
        {-37.232475, "-37.387458"},   // truncation toward zero keeps the sign on the minutes
        {89.60, "90.000000"},
        {0.0, "0.000000"},
        {1.5999, "1.999833"},
        {3e10, "30000000000.000000"},  // beyond a 32-bit integer: no undefined conversion
        {-3e10, "-30000000000.000000"},
    };
    for (const conversion_case& c : cases) {
        EXPECT_EQ(six_decimals(ddmm_to_degrees(c.ddmm_over_100)), c.degrees) << c.ddmm_over_100;
    }
}

// A program that switched its locale to a decimal comma must get the same positions.
TEST(gga_decode, results_do_not_depend_on_the_process_locale) {
    const char* const candidates[] = {"de_DE.UTF-8", "de_DE.utf8", "de_DE", "fr_FR.UTF-8", "German_Germany.1252",
                                      "de-DE", "German"};
    const char* chosen = nullptr;
    for (const char* name : candidates) {
        if (std::setlocale(LC_ALL, name) != nullptr && std::localeconv()->decimal_point[0] == ',') {
            chosen = name;
            break;
        }
    }
    if (chosen == nullptr) {
        std::setlocale(LC_ALL, "C");
        GTEST_SKIP() << "no decimal-comma locale is installed";
    }
    // The locale really changes how the C library reads numbers.
    double probe = 0.0;
    std::sscanf("2.5", "%lf", &probe);
    const bool locale_effective = probe == 2.0;
    std::vector<decoded_line> decoded;
    for (const gga_case& c : gga_cases) {
        decoded.push_back(decode_case(c));
    }
    std::setlocale(LC_ALL, "C");
    EXPECT_TRUE(locale_effective) << chosen << " did not change number reading";
    for (std::size_t i = 0; i < decoded.size(); ++i) {
        check_case(gga_cases[i], decoded[i]);
    }
}

// The shared receiver captures, with the first position of each log listed in expected.tsv.
std::vector<std::string> split_tabs(const std::string& line) {
    std::vector<std::string> parts;
    std::string::size_type from = 0;
    for (;;) {
        const std::string::size_type tab = line.find('\t', from);
        parts.push_back(line.substr(from, tab == std::string::npos ? std::string::npos : tab - from));
        if (tab == std::string::npos) {
            return parts;
        }
        from = tab + 1;
    }
}

struct capture_outcome {
    std::string line_number = "-";
    int errors_before = 0;
    std::string latitude = "-", longitude = "-", fix_quality = "-", raw_line = "-";
};

capture_outcome decode_capture(const std::string& path) {
    capture_outcome outcome;
    std::ifstream log(path, std::ios::binary);
    std::string line;
    int number = 0;
    while (std::getline(log, line)) {
        ++number;
        // The serial library delivers lines without their CR/LF ending.
        while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) {
            line.pop_back();
        }
        gga_position out{};
        const gga_decode_result r = decode_gga_sentence(line.c_str(), &out);
        if (r == gga_decode_result::data_error) {
            ++outcome.errors_before;
        } else if (r == gga_decode_result::position) {
            outcome.line_number = std::to_string(number);
            outcome.latitude = six_decimals(out.latitude);
            outcome.longitude = six_decimals(out.longitude);
            outcome.fix_quality = std::to_string(out.fix_quality);
            outcome.raw_line = line;
            return outcome;
        }
    }
    return outcome;
}

TEST(gga_decode, receiver_captures_give_their_listed_first_position) {
    const std::string folder = GPS_SHARED_NMEA_DIR;
    std::ifstream table(folder + "/expected.tsv", std::ios::binary);
    if (!table) {
        GTEST_SKIP() << "no receiver captures at " << folder;
    }
    std::string row;
    ASSERT_TRUE(std::getline(table, row));
    const std::vector<std::string> header = split_tabs(row);
    const std::vector<std::string> columns = {"file", "first_position_line_number", "data_error_lines_before",
                                              "lat", "lng", "fix_quality", "raw_line"};
    ASSERT_EQ(header, columns) << "expected.tsv changed its columns";
    int logs = 0;
    while (std::getline(table, row)) {
        if (!row.empty() && row.back() == '\r') {
            row.pop_back();
        }
        if (row.empty()) {
            continue;
        }
        const std::vector<std::string> want = split_tabs(row);
        ASSERT_EQ(want.size(), columns.size()) << row;
        const std::string path = folder + "/" + want[0];
        ASSERT_TRUE(std::ifstream(path).good()) << path;
        const capture_outcome got = decode_capture(path);
        EXPECT_EQ(got.line_number, want[1]) << want[0];
        EXPECT_EQ(std::to_string(got.errors_before), want[2]) << want[0];
        EXPECT_EQ(got.latitude, want[3]) << want[0];
        EXPECT_EQ(got.longitude, want[4]) << want[0];
        EXPECT_EQ(got.fix_quality, want[5]) << want[0];
        EXPECT_EQ(got.raw_line, want[6]) << want[0];
        ++logs;
    }
    EXPECT_GT(logs, 0) << "expected.tsv lists no logs";
}

}  // namespace
