// The automaton file (.one): a headerless little-endian stream of numbers
// and text lines, spheres linked by name.
#pragma once

#include <cstddef>
#include <iosfwd>
#include <string>
#include <string_view>

#include "archivereader.h"

class Document;

// Stateless; the functions work on the document they are given and on
// nothing else.
class OneFile {
  public:
    // Files larger than this are refused before they are read: a real
    // automaton takes a few kilobytes, and every stored point costs far more
    // memory than its 24 bytes once paths are computed.
    static constexpr std::size_t kMaxFileBytes = 16u << 20;

    // Reads a whole file into doc, which must be freshly constructed. Throws
    // FileFormatError ("Unexpected file format.") for a file that is cut
    // short or that the program cannot use, and bad_rational ("bad
    // rational: zero denominator") for a factor with a zero denominator. On
    // a throw doc holds a partial automaton that its destructor frees.
    static void read(std::string_view bytes, Document& doc);
    // The same, but also taking the bytes of an automaton with no sphere
    // (which no file on disk may be), as the writer writes them once the
    // root has been destroyed: only the document's settings are read.
    static void readAllowingEmpty(std::string_view bytes, Document& doc);
    // The same as readAllowingEmpty, but the spheres stay unlinked (their
    // link names are read, not resolved) and only the root is set: for
    // callers that know the links better than the names can say.
    static void readUnlinked(std::string_view bytes, Document& doc);
    // The same from a stream, which is read to its end (at most
    // kMaxFileBytes + 1 bytes are taken from it).
    static void read(std::istream& in, Document& doc);

    // The bytes of doc as a file. Sets each sphere's link-name texts.
    static std::string write(Document& doc);
    static void write(Document& doc, std::ostream& out);

  private:
    static void readBytes(std::string_view bytes, Document& doc, bool allowEmpty,
                          bool link = true);
};
