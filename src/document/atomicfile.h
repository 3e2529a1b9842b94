// Writes a file so that the target is only ever the old file or the whole
// new one: the bytes go to a temporary file beside it, which then replaces
// the target in one rename. A symbolic link is followed (the file it names
// is replaced, the link stays); a read-only target is refused.
#pragma once

#include <cstdio>
#include <filesystem>
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
    void removeStaleTemporaries();

    std::string target_;
    std::filesystem::path folder_;
    std::string name_;  // the target's name within folder_
    int dirFd_ = -1;
    int mode_ = -1;     // permissions of the file replaced; -1: a new file
    std::string temp_;  // the temporary's name in folder_, while it has one
    std::FILE* file_ = nullptr;
    bool failed_ = false;
    int writeErrno_ = 0;
    std::string error_;
};
