#include "gga_decode.h"

#include <locale.h>

#include <cmath>
#include <cstdio>

namespace position_reader {

namespace {

const char gga_prefix[] = "$GPGGA";
enum { gga_prefix_length = 6, gga_fields_offset = 7, gga_item_count = 6 };

// The fields are read with the C library's scanf rules, always in the "C" locale: a program
// that switched to a decimal-comma locale must still read 3723.2475 as one number.
#if defined(_WIN32)

_locale_t c_locale() {
    // Made once per process and kept for its whole life (msvcrt allocates it).
    static const _locale_t locale = _create_locale(LC_ALL, "C");
    return locale;
}

int scan_fields(const char* fields, gga_position* p) {
    const _locale_t locale = c_locale();
    if (locale == nullptr) {
        return std::sscanf(fields, "%lf,%lf,%c,%lf,%c,%d", &p->utc_time, &p->latitude, &p->lat_hemisphere,
                           &p->longitude, &p->lon_hemisphere, &p->fix_quality);
    }
    return _sscanf_l(fields, "%lf,%lf,%c,%lf,%c,%d", locale, &p->utc_time, &p->latitude, &p->lat_hemisphere,
                     &p->longitude, &p->lon_hemisphere, &p->fix_quality);
}

#else

locale_t c_locale() {
    // glibc hands out its static "C" locale object here: nothing is allocated.
    static const locale_t locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return locale;
}

int scan_fields(const char* fields, gga_position* p) {
    const locale_t locale = c_locale();
    // uselocale changes only this thread's locale, and only for the one call.
    const locale_t previous = locale != static_cast<locale_t>(nullptr) ? uselocale(locale) : nullptr;
    const int items = std::sscanf(fields, "%lf,%lf,%c,%lf,%c,%d", &p->utc_time, &p->latitude, &p->lat_hemisphere,
                                  &p->longitude, &p->lon_hemisphere, &p->fix_quality);
    if (previous != static_cast<locale_t>(nullptr)) {
        uselocale(previous);
    }
    return items;
}

#endif

bool starts_with_gga(const char* line) {
    // Stops at the line's NUL, so a short fragment is never read past its end.
    for (int i = 0; i < gga_prefix_length; ++i) {
        if (line[i] != gga_prefix[i]) {
            return false;
        }
    }
    return true;
}

}  // namespace

double ddmm_to_degrees(double x) {
    double whole;
    if (x > -2147483649.0 && x < 2147483648.0) {
        whole = static_cast<double>(static_cast<int>(x));
    } else {
        whole = std::trunc(x);  // beyond a 32-bit integer (or NaN): same truncation, no undefined cast
    }
    return whole + ((x - whole) * 100.0) / 60.0;
}

gga_decode_result decode_gga_sentence(const char* line, gga_position* out) {
    if (line == nullptr || !starts_with_gga(line)) {
        return gga_decode_result::not_gga;
    }
    // "$GPGGA" alone has no seventh character: offset 7 would lie past its terminator.
    if (line[gga_prefix_length] == '\0' || out == nullptr) {
        return gga_decode_result::data_error;
    }
    gga_position read{};
    if (scan_fields(line + gga_fields_offset, &read) != gga_item_count) {
        return gga_decode_result::data_error;
    }
    read.latitude = ddmm_to_degrees(read.latitude / 100.0);
    read.longitude = ddmm_to_degrees(read.longitude / 100.0);
    if (read.lat_hemisphere == 'S') {
        read.latitude = -read.latitude;
    }
    if (read.lon_hemisphere == 'W') {
        read.longitude = -read.longitude;
    }
    *out = read;
    return gga_decode_result::position;
}

}  // namespace position_reader
