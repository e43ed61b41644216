// find_substring on arbitrary text and pattern, checked against a plain search for the same answer.
// Both are exactly sized heap copies, so reading past either terminator is caught.
#include "find_substring.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

int plain_first_position(const char* text, const char* pattern) {
    const std::size_t n = std::strlen(text);
    const std::size_t m = std::strlen(pattern);
    for (std::size_t start = 0; start + m <= n; ++start) {
        if (std::memcmp(text + start, pattern, m) == 0) {
            return static_cast<int>(start + 1);
        }
    }
    return -1;
}

char* copy_of(const std::uint8_t* data, std::size_t size) {
    char* copy = static_cast<char*>(std::malloc(size + 1));
    if (copy != nullptr) {
        std::memcpy(copy, data, size);
        copy[size] = '\0';
    }
    return copy;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) {
        return 0;
    }
    // The first two bytes choose where the pattern ends and the text begins; patterns past the
    // failure table's 255 characters are reachable, and small alphabets make repeats likely.
    const std::size_t pattern_length = ((data[0] | (data[1] << 8)) % (size - 1));
    const std::uint8_t* rest = data + 2;
    const std::size_t rest_size = size - 2;
    const std::size_t split = pattern_length < rest_size ? pattern_length : rest_size;
    char* pattern = copy_of(rest, split);
    char* text = copy_of(rest + split, rest_size - split);
    if (pattern != nullptr && text != nullptr) {
        const int expected = plain_first_position(text, pattern);
        if (port_device::find_substring(text, pattern) != expected) std::abort();
        // The same search with the roles swapped, and against itself.
        if (port_device::find_substring(pattern, text) != plain_first_position(pattern, text)) std::abort();
        if (port_device::find_substring(text, text) != 1) std::abort();
        if (port_device::find_substring(nullptr, pattern) != -1) std::abort();
        if (port_device::find_substring(text, nullptr) != -1) std::abort();
    }
    std::free(pattern);
    std::free(text);
    return 0;
}
