// Temporary file beside the target, flushed, then renamed over it.
#include "atomicfile.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <random>

#if defined(__unix__) || defined(__APPLE__)
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace {
std::string reason(int e) {
    return e ? std::strerror(e) : std::string("unknown error");
}
}  // namespace

AtomicFile::AtomicFile(std::string target) : target_(std::move(target)) {}

AtomicFile::~AtomicFile() {
    discard();
}

bool AtomicFile::open() {
    fs::path target(target_);
    if (target.filename().empty()) {
        error_ = "no file name";
        return false;
    }
    std::error_code ec;
    if (fs::is_directory(target, ec)) {
        error_ = "it is a folder";
        return false;
    }
    // A name of our own beside the target, never one that exists already
    // ("x" mode fails rather than reuse a file).
    std::random_device entropy;
    for (int attempt = 0; attempt < 16; ++attempt) {
        temp_ = target_ + ".saving-" + std::to_string(entropy() % 1000000);
        errno = 0;
        file_ = std::fopen(temp_.c_str(), "wbx");
        if (file_) return true;
        if (errno != EEXIST) break;
    }
    error_ = file_ ? std::string() : reason(errno);
    temp_.clear();
    return false;
}

void AtomicFile::write(std::string_view bytes) {
    if (!file_ || failed_ || bytes.empty()) return;
    errno = 0;
    if (std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size()) {
        failed_ = true;
        writeErrno_ = errno;
    }
}

bool AtomicFile::commit() {
    if (!file_) {
        if (error_.empty()) error_ = "the file was not opened";
        return false;
    }
    errno = 0;
    bool ok = !failed_ && std::fflush(file_) == 0;
#if defined(__unix__) || defined(__APPLE__)
    ok = ok && ::fsync(fileno(file_)) == 0;
#endif
    int e = failed_ ? writeErrno_ : errno;
    ok = std::fclose(file_) == 0 && ok;
    file_ = nullptr;
    if (!ok) {
        error_ = reason(e ? e : errno);
        discard();
        return false;
    }
    std::error_code ec;
    // Keep the permissions of the file being replaced.
    if (auto st = fs::status(target_, ec); !ec && fs::exists(st))
        fs::permissions(temp_, st.permissions(), ec);
    fs::rename(temp_, target_, ec);
    if (ec) {
        error_ = ec.message();
        discard();
        return false;
    }
    temp_.clear();
    return true;
}

void AtomicFile::discard() {
    if (file_) {
        std::fclose(file_);
        file_ = nullptr;
    }
    if (!temp_.empty()) {
        std::error_code ec;
        fs::remove(temp_, ec);
        temp_.clear();
    }
}
