// Numbers as text in the shortest form that reads back to the same value:
// 0.25005 stays 0.25005 instead of 0.25005000000000002. A float is written
// as the shortest float, which is all the precision it has.
#pragma once

#include <charconv>
#include <cmath>
#include <string>

namespace NumberText {

template <class T>
void append(std::string& out, T v) {
    char buffer[32];
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, v);
    out.append(buffer, ec == std::errc() ? end : buffer);
}

template <class T>
std::string of(T v) {
    std::string out;
    append(out, v);
    return out;
}

}  // namespace NumberText
