#pragma once

namespace port_device {

// 1-based position of the first occurrence of pattern in text (byte-exact), or -1 when absent
// or either argument is null. An empty pattern is found at 1.
int find_substring(const char* text, const char* pattern);

}  // namespace port_device
