// Primitive writes of the automaton file.
#include "archivewriter.h"

#include "portable.h"

void ArchiveWriter::writeInt32(std::int32_t v) {
    auto u = static_cast<std::uint32_t>(v);
    for (int i = 0; i < 4; ++i) bytes_.push_back(static_cast<char>(u >> (8 * i) & 0xff));
}

void ArchiveWriter::writeInt16(std::int16_t v) {
    auto u = static_cast<std::uint16_t>(v);
    bytes_.push_back(static_cast<char>(u & 0xff));
    bytes_.push_back(static_cast<char>(u >> 8 & 0xff));
}

void ArchiveWriter::writeByte(std::uint8_t v) {
    bytes_.push_back(static_cast<char>(v));
}

void ArchiveWriter::writeDouble(double v) {
    auto u = portable::bitCast<std::uint64_t>(v);
    for (int i = 0; i < 8; ++i) bytes_.push_back(static_cast<char>(u >> (8 * i) & 0xff));
}

void ArchiveWriter::writeText(std::string_view text) {
    bytes_.append(text);
}

void ArchiveWriter::writeLine(std::string_view text) {
    bytes_.append(text);
    bytes_.push_back('\n');
}
