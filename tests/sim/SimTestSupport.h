#pragma once
// Small helpers shared by the virtual pedal's tests: byte lists written as
// integers, the pedal's text replies as strings and as lists of lines.

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "sim/VirtualPedal.h"

namespace simtest {

inline sim::Bytes B(std::initializer_list<int> values) {
    sim::Bytes bytes;
    for (int v : values) bytes.push_back(static_cast<std::uint8_t>(v));
    return bytes;
}

inline sim::Bytes Cat(sim::Bytes a, const sim::Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

inline std::string Text(const sim::Bytes& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

// The reply split at CR LF; a last line without CR LF is kept as it is.
inline std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t from = 0;
    for (std::size_t at; (at = text.find("\r\n", from)) != std::string::npos; from = at + 2)
        lines.push_back(text.substr(from, at - from));
    if (from < text.size()) lines.push_back(text.substr(from));
    return lines;
}

// "v\r\n" for each value, as the pedal prints them.
inline std::string DecimalLines(const std::vector<unsigned>& values) {
    std::string text;
    for (unsigned v : values) text += std::to_string(v) + "\r\n";
    return text;
}

}  // namespace simtest
