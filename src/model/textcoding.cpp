// UTF-8 validation and the Windows-1252 fallback.
#include "textcoding.h"

#include <cstdint>

namespace {

// Windows-1252's 0x80-0x9f; the five bytes it leaves undefined keep their
// C1 control code points, as the WHATWG decoder does.
constexpr char16_t kHigh[32] = {0x20ac, 0x0081, 0x201a, 0x0192, 0x201e, 0x2026, 0x2020, 0x2021,
                                0x02c6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008d, 0x017d, 0x008f,
                                0x0090, 0x2018, 0x2019, 0x201c, 0x201d, 0x2022, 0x2013, 0x2014,
                                0x02dc, 0x2122, 0x0161, 0x203a, 0x0153, 0x009d, 0x017e, 0x0178};

void append(std::string& out, std::uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xc0 | cp >> 6);
        out += static_cast<char>(0x80 | (cp & 0x3f));
    } else {
        out += static_cast<char>(0xe0 | cp >> 12);
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3f));
        out += static_cast<char>(0x80 | (cp & 0x3f));
    }
}

}  // namespace

bool isValidUtf8(const std::string& bytes) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t n = bytes.size();
    for (std::size_t i = 0; i < n;) {
        const unsigned char c = p[i];
        std::size_t length = 0;
        std::uint32_t cp = 0, least = 0;
        if (c < 0x80) {
            ++i;
            continue;
        } else if ((c & 0xe0) == 0xc0) {
            length = 2, cp = c & 0x1f, least = 0x80;
        } else if ((c & 0xf0) == 0xe0) {
            length = 3, cp = c & 0x0f, least = 0x800;
        } else if ((c & 0xf8) == 0xf0) {
            length = 4, cp = c & 0x07, least = 0x10000;
        } else {
            return false;
        }
        if (i + length > n) return false;
        for (std::size_t k = 1; k < length; ++k) {
            if ((p[i + k] & 0xc0) != 0x80) return false;
            cp = cp << 6 | (p[i + k] & 0x3f);
        }
        // Overlong forms, surrogates and code points past Unicode's end are
        // not UTF-8.
        if (cp < least || cp > 0x10ffff || (cp >= 0xd800 && cp <= 0xdfff)) return false;
        i += length;
    }
    return true;
}

std::string utf8Text(const std::string& bytes) {
    if (isValidUtf8(bytes)) return bytes;
    std::string out;
    out.reserve(bytes.size() * 2);
    for (unsigned char c : bytes) append(out, c >= 0x80 && c < 0xa0 ? kHigh[c - 0x80] : c);
    return out;
}
