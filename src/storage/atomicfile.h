// Writes a file so that the target is only ever the old file or the whole
// new one: the bytes go to a temporary file beside it, which then replaces
// the target in one rename. A symbolic link is followed (the file it names
// is replaced, the link stays); a read-only target is refused, and so is
// the file a command reads from. Every file the program writes goes
// through here: documents, tables, drawings, meshes, images and movies.
#pragma once

#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

// Not thread-safe. A file that is not committed is removed when the object
// goes, leaving the target as it was.
class AtomicFile {
  public:
    explicit AtomicFile(std::string target);
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // Why target could not be written, as a phrase ("" when it can): a
    // folder, a read-only file, a protected file, a folder that is missing
    // or read-only. open() asks the same, so commands ask it before long
    // work rather than fail after it.
    static std::string problem(const std::string& target);
    // The file a command reads: no save may replace it, under any name
    // (a link, a path through other folders). Any thread, before saving.
    static void protect(const std::string& path);
    // From now on SIGINT and SIGTERM first remove the temporaries and work
    // folders of saves under way, then end the program as they would have.
    // Call before any thread is started (their signal masks inherit).
    // said (when given, "rotundel: interrupted") is told on standard error
    // first, with "; nothing was written." when no save of this process
    // has put a file in place.
    static void cleanUpOnSignals(const std::string& said = {});

    // False (with error() set) when no temporary file could be made.
    bool open();
    // Appends bytes; a failure is remembered and reported by commit().
    void write(std::string_view bytes);
    // For writers that go back to fill in sizes (movie containers):
    // whence as for fseek; the new position, or -1. size(): bytes so far.
    long long seek(long long offset, int whence);
    long long size();
    // Flushes to the disk and renames over the target. False with error()
    // set on any failure, after which the target is untouched.
    bool commit();

    // The file system's reason for the last failure, as a phrase.
    const std::string& error() const { return error_; }
    // The reason a write has failed so far ("No space left on device"), or
    // "": for a writer that stops at its own failure before commit().
    std::string writeError() const;

  private:
    void discard();

    std::string target_;
    std::filesystem::path folder_;
    std::string name_;  // the target's name within folder_
    int dirFd_ = -1;
    int mode_ = -1;     // permissions of the file replaced; -1: a new file
    int owner_ = -1, group_ = -1;  // of the file replaced; kept where the rights allow
    std::string temp_;  // the temporary's name in folder_, while it has one
    std::FILE* file_ = nullptr;
    bool failed_ = false;
    int writeErrno_ = 0;
    std::string error_;
};

// A folder of our own naming beside target, for output made of many files
// (PNG frames). Removed when the object goes, on SIGINT/SIGTERM, or (when
// a kill left it) by a later save in that folder. commit() moves its files
// into target, which is made when missing; into an existing folder each
// file goes under the rules of AtomicFile (a read-only file or the file
// being read refuses the whole commit before any file moves, permissions
// are kept, links are written through). With targetIsFolder false it is
// only a place for a writer's work files beside a file target.
class WorkFolder {
  public:
    explicit WorkFolder(std::string target, bool targetIsFolder = true);
    ~WorkFolder();
    WorkFolder(const WorkFolder&) = delete;
    WorkFolder& operator=(const WorkFolder&) = delete;

    // As AtomicFile::problem, for a folder of files.
    static std::string problem(const std::string& target);

    bool open();
    const std::filesystem::path& path() const { return work_; }
    bool commit();
    const std::string& error() const { return error_; }

  private:
    std::string target_;
    bool targetIsFolder_;
    std::filesystem::path work_;
    std::string error_;
};
