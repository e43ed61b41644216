// Decoding of NMEA 0183 GGA sentences of the GPS talker into signed decimal degrees.
#pragma once

namespace position_reader {

// One decoded GGA sentence.
struct gga_position {
    double utc_time;       // hhmmss.ss as read; not used further
    double latitude;       // decimal degrees, negative south of the equator
    char lat_hemisphere;   // the character read after the latitude (N or S)
    double longitude;      // decimal degrees, negative west of Greenwich
    char lon_hemisphere;   // the character read after the longitude (E or W)
    int fix_quality;       // 0 means no valid fix
};

enum class gga_decode_result {
    not_gga,     // not a $GPGGA line
    data_error,  // a $GPGGA line, but not all six fields could be read
    position     // all six fields read; the output holds the converted values
};

// Decodes one received line (NUL-terminated, CR/LF already stripped); fills *out only for position.
// A null line is not_gga; a null out with a readable line is data_error. Independent of the process locale.
gga_decode_result decode_gga_sentence(const char* line, gga_position* out);

// Turns ddd.mmmm (degrees before the point, minutes / 100 after it) into decimal degrees.
double ddmm_to_degrees(double x);

}  // namespace position_reader
