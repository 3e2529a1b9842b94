// Primitive reads of the automaton file.
#include "archivereader.h"

#include <cmath>
#include <cstring>

#include "portable.h"

const unsigned char* ArchiveReader::take(std::size_t n) {
    if (remaining() < n) throw FileFormatError();
    auto* p = reinterpret_cast<const unsigned char*>(bytes_.data() + pos_);
    pos_ += n;
    return p;
}

std::int32_t ArchiveReader::readInt32() {
    const unsigned char* p = take(4);
    std::uint32_t v = std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
                      std::uint32_t(p[3]) << 24;
    return static_cast<std::int32_t>(v);
}

std::int16_t ArchiveReader::readInt16() {
    const unsigned char* p = take(2);
    return static_cast<std::int16_t>(std::uint16_t(p[0] | p[1] << 8));
}

std::uint8_t ArchiveReader::readByte() {
    return *take(1);
}

double ArchiveReader::readDouble() {
    const unsigned char* p = take(8);
    std::uint64_t v = 0;
    for (int i = 7; i >= 0; --i) v = v << 8 | p[i];
    double d = portable::bitCast<double>(v);
    if (!std::isfinite(d)) throw FileFormatError();
    return d;
}

std::string ArchiveReader::readLine() {
    std::size_t start = pos_;
    while (pos_ < bytes_.size() && bytes_[pos_] != '\n' && bytes_[pos_] != '\r') ++pos_;
    std::string line(bytes_.substr(start, pos_ - start));
    if (pos_ >= bytes_.size()) return line;
    char end = bytes_[pos_++];
    if (end == '\r' && pos_ < bytes_.size()) {
        char next = bytes_[pos_++];
        if (next != '\n') line.push_back(next);
    }
    return line;
}
