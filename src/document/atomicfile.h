// Writes a file so that the target is only ever the old file or the whole
// new one: the bytes go to a temporary file beside it, which then replaces
// the target in one rename.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

// Not thread-safe. A file that is not committed is removed when the object
// goes, leaving the target as it was.
class AtomicFile {
  public:
    explicit AtomicFile(std::string target);
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // False (with error() set) when no temporary file could be made.
    bool open();
    // Appends bytes; a failure is remembered and reported by commit().
    void write(std::string_view bytes);
    // Flushes to the disk and renames over the target. False with error()
    // set on any failure, after which the target is untouched.
    bool commit();

    // The file system's reason for the last failure, as a phrase.
    const std::string& error() const { return error_; }

  private:
    void discard();

    std::string target_;
    std::string temp_;
    std::FILE* file_ = nullptr;
    bool failed_ = false;
    int writeErrno_ = 0;
    std::string error_;
};
