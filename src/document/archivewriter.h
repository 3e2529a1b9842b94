// Writes the primitives of an automaton file into a byte buffer.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Not thread-safe. Multi-byte numbers are written little-endian whatever
// the machine.
class ArchiveWriter {
  public:
    void writeInt32(std::int32_t v);
    void writeInt16(std::int16_t v);
    void writeByte(std::uint8_t v);
    void writeDouble(double v);
    // The text's bytes as they are, no terminator.
    void writeText(std::string_view text);
    // The text and one line feed.
    void writeLine(std::string_view text);

    const std::string& bytes() const { return bytes_; }
    std::string take() { return std::move(bytes_); }

  private:
    std::string bytes_;
};
