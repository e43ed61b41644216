// Arbitrary received lines through the GGA decoder: the result is always one of the three, a
// position from finite numbers is finite, and nothing past the line's terminator is ever read.
#include "gga_decode.h"

#include <cctype>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

// Text that scanf may turn into a non-finite or overflowing double: "inf", "nan", exponents,
// hexadecimal mantissas, or more digits than a double's range holds.
bool may_hold_nonfinite_number(const char* line) {
    int digit_run = 0;
    char before = ' ';
    for (const char* c = line; *c != '\0'; before = *c, ++c) {
        const int lower = std::tolower(static_cast<unsigned char>(*c));
        if (lower == 'e' && (std::isdigit(static_cast<unsigned char>(before)) || before == '.')) {
            return true;
        }
        if (lower == 'x' && before == '0') {
            return true;
        }
        if ((lower == 'i' || lower == 'n') && c[1] != '\0' && c[2] != '\0') {
            const int second = std::tolower(static_cast<unsigned char>(c[1]));
            const int third = std::tolower(static_cast<unsigned char>(c[2]));
            if ((lower == 'i' && second == 'n' && third == 'f') || (lower == 'n' && second == 'a' && third == 'n')) {
                return true;
            }
        }
        digit_run = std::isdigit(static_cast<unsigned char>(*c)) ? digit_run + 1 : 0;
        if (digit_run > 300) {
            return true;
        }
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using position_reader::gga_decode_result;
    // An exactly sized copy: any read past the terminator lands outside the allocation.
    char* line = static_cast<char*>(std::malloc(size + 1));
    if (line == nullptr) {
        return 0;
    }
    std::memcpy(line, data, size);
    line[size] = '\0';

    position_reader::gga_position out;
    std::memset(&out, 0x5a, sizeof out);
    const position_reader::gga_position untouched = out;
    const gga_decode_result result = position_reader::decode_gga_sentence(line, &out);

    const bool gga = std::strncmp(line, "$GPGGA", 6) == 0;
    switch (result) {
    case gga_decode_result::not_gga:
        if (gga) std::abort();
        if (std::memcmp(&out, &untouched, sizeof out) != 0) std::abort();
        break;
    case gga_decode_result::data_error:
        if (!gga) std::abort();
        if (std::memcmp(&out, &untouched, sizeof out) != 0) std::abort();
        break;
    case gga_decode_result::position:
        if (!gga || line[6] == '\0') std::abort();
        if (!may_hold_nonfinite_number(line + 7) &&
            !(std::isfinite(out.latitude) && std::isfinite(out.longitude) && std::isfinite(out.utc_time))) {
            std::abort();
        }
        // Only S and W negate: the sign of a value read with N or E is that of the field itself.
        break;
    default:
        std::abort();
    }

    // A null output buffer is refused for GGA lines rather than written through.
    const gga_decode_result without_out = position_reader::decode_gga_sentence(line, nullptr);
    if (without_out == gga_decode_result::position) std::abort();

    std::free(line);
    return 0;
}
