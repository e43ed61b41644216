#include "find_substring.h"

#include <climits>
#include <cstddef>
#include <cstring>

namespace port_device {

namespace {

// Failure table indexed from 1 by pattern position, so it serves patterns of up to 255 characters.
enum { failure_table_size = 256 };

int to_position(std::size_t one_based) {
    return one_based <= static_cast<std::size_t>(INT_MAX) ? static_cast<int>(one_based) : -1;
}

// For patterns too long for the failure table: compare at every start, leftmost first.
int plain_search(const char* text, std::size_t n, const char* pattern, std::size_t m) {
    for (std::size_t start = 0; start + m <= n; ++start) {
        if (std::memcmp(text + start, pattern, m) == 0) {
            return to_position(start + 1);
        }
    }
    return -1;
}

}  // namespace

int find_substring(const char* text, const char* pattern) {
    if (text == nullptr || pattern == nullptr) {
        return -1;
    }
    const std::size_t n = std::strlen(text);
    const std::size_t m = std::strlen(pattern);
    if (m > n) {
        return -1;
    }
    if (m >= failure_table_size) {
        return plain_search(text, n, pattern, m);
    }

    // Positions are 1-based below: pattern_at(x) is the x-th pattern character, text_at(x) the x-th text character.
    auto pattern_at = [pattern](std::size_t x) { return pattern[x - 1]; };
    auto text_at = [text](std::size_t x) { return text[x - 1]; };

    int next[failure_table_size];
    next[1] = 0;
    std::size_t i = 1;
    std::size_t k = 0;
    while (i < m) {
        if (k == 0 || pattern_at(k) == pattern_at(i)) {
            ++i;
            ++k;
            next[i] = static_cast<int>(k);
        } else {
            k = static_cast<std::size_t>(next[k]);
        }
    }

    i = 1;
    k = 1;
    while (k <= m && i <= n) {
        if (k == 0 || pattern_at(k) == text_at(i)) {
            ++i;
            ++k;
        } else {
            k = static_cast<std::size_t>(next[k]);
        }
    }
    return k == m + 1 ? to_position(i - m) : -1;
}

}  // namespace port_device
