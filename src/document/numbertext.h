// Numbers as text in the shortest form that reads back to the same value:
// 0.25005 stays 0.25005 instead of 0.25005000000000002. A float is written
// as the shortest float, which is all the precision it has.
#pragma once

#include <charconv>
#include <cmath>
#include <string>
#include <type_traits>

namespace NumberText {

// What std::to_chars(first, last, v) writes for a double, worked out from
// the shortest digits that read back to v: for standard libraries without
// floating-point to_chars (the browser build's), so that both builds write
// the same text.
void appendShortest(std::string& out, double v);

template <class T>
void append(std::string& out, T v) {
#if defined(__cpp_lib_to_chars)
    char buffer[32];
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, v);
    out.append(buffer, ec == std::errc() ? end : buffer);
#else
    static_assert(std::is_same_v<T, double>, "only doubles have a portable shortest form");
    appendShortest(out, v);
#endif
}

template <class T>
std::string of(T v) {
    std::string out;
    append(out, v);
    return out;
}

}  // namespace NumberText
