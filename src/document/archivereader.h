// Reads the primitives of an automaton file from a byte buffer: little-endian
// integers and doubles, and text lines.
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

// Thrown for a file that is cut short or holds values the program cannot
// use. The message is the one the user sees.
class FileFormatError : public std::runtime_error {
  public:
    FileFormatError() : std::runtime_error("Unexpected file format.") {}
};

// Not thread-safe; the buffer must outlive the reader.
class ArchiveReader {
  public:
    explicit ArchiveReader(std::string_view bytes) : bytes_(bytes) {}

    // Each throws FileFormatError when the buffer ends first.
    std::int32_t readInt32();
    std::int16_t readInt16();
    std::uint8_t readByte();
    // Also refuses NaN and infinities: nothing downstream can use them.
    double readDouble();
    // Bytes up to a line feed or carriage return. A line feed is dropped; a
    // carriage return is dropped and the byte after it consumed, kept as the
    // last character unless it is a line feed. The end of the buffer ends a
    // line; at the very end the line is empty. Never throws.
    std::string readLine();

    std::size_t remaining() const { return bytes_.size() - pos_; }
    bool atEnd() const { return pos_ >= bytes_.size(); }

  private:
    const unsigned char* take(std::size_t n);

    std::string_view bytes_;
    std::size_t pos_ = 0;
};
