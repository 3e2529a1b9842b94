// Saving without leaving anything behind. On Linux the bytes go to an
// unnamed file in the target's folder (O_TMPFILE), which gets a name only
// for the instant between its link and the rename over the target; a save
// killed before that leaves nothing, and one killed in that instant leaves
// a name the next save removes. Elsewhere, or where the file system has no
// unnamed files, a named temporary is used, and temporaries of our naming
// that a killed save left are removed by the next save there.
#include "atomicfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <random>

namespace fs = std::filesystem;

namespace {
// Temporaries written under a name are ".rt~" and hex digits; older ones
// than this are left over from a killed save, not one under way.
constexpr const char* kTempPrefix = ".rt~";
constexpr auto kStaleAfter = std::chrono::minutes(10);
// Unnamed files get ".rt=" and hex digits only between their link and the
// rename that follows at once. The link sets the name's change time, so one
// whose change time is older than this was left by a save killed there.
constexpr const char* kLinkPrefix = ".rt=";
constexpr int kLinkStaleSeconds = 2;

std::string reason(int e) {
    return e ? std::strerror(e) : std::string("unknown error");
}

bool isOurs(const std::string& name, const char* prefix) {
    if (name.size() < 8 || name.size() > 24 || name.rfind(prefix, 0) != 0) return false;
    return name.find_first_not_of("0123456789abcdef", 4) == std::string::npos;
}

// A fresh name for a temporary beside a target whose name is nameLength
// bytes: never longer than that name (which may be near the file system's
// limit), and of our recognisable form when there is room for it.
std::string temporaryName(std::size_t nameLength, const char* prefix) {
    static thread_local std::mt19937_64 random{std::random_device{}()};
    const char* hex = "0123456789abcdef";
    std::size_t length = std::min<std::size_t>(std::max<std::size_t>(nameLength, 1), 24);
    std::string name = length >= 8 ? prefix : length >= 2 ? "." : "";
    while (name.size() < length) name += hex[random() % 16];
    return name;
}

// Follows symbolic links to the file they finally name, so that saving to
// a link writes the file it points to. A dangling link names the file to
// create. Gives up (returning the last name) on a loop.
fs::path resolveLinks(fs::path p) {
    std::error_code ec;
    for (int hops = 0; hops < 40 && fs::is_symlink(fs::symlink_status(p, ec)); ++hops) {
        fs::path to = fs::read_symlink(p, ec);
        if (ec) break;
        p = to.is_absolute() ? to : p.parent_path() / to;
    }
    return p;
}
}  // namespace

AtomicFile::AtomicFile(std::string target) : target_(std::move(target)) {}

AtomicFile::~AtomicFile() {
    discard();
}

bool AtomicFile::open() {
    fs::path target = resolveLinks(fs::path(target_));
    if (target.filename().empty()) {
        error_ = "no file name";
        return false;
    }
    std::error_code ec;
    fs::file_status st = fs::status(target, ec);
    if (fs::is_directory(st)) {
        error_ = "it is a folder";
        return false;
    }
    // A read-only file is refused as a plain write would refuse it, even
    // for an owner whose rights would let a rename replace it.
    if (fs::exists(st)) {
        errno = 0;
        constexpr auto anyWrite =
            fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
        if (::access(target.c_str(), W_OK) != 0 ||
            (st.permissions() & anyWrite) == fs::perms::none) {
            error_ = reason(errno ? errno : EACCES);
            return false;
        }
        mode_ = static_cast<int>(st.permissions() & fs::perms::mask);
    }
    folder_ = target.parent_path().empty() ? fs::path(".") : target.parent_path();
    name_ = target.filename().string();
    dirFd_ = ::open(folder_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd_ < 0) {
        error_ = reason(errno);
        return false;
    }
    removeStaleTemporaries();
    int fd = -1;
#ifdef O_TMPFILE
    fd = ::openat(dirFd_, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
#endif
    if (fd < 0) {
        // No unnamed files here: a named one of our own, never one that
        // exists already.
        for (int attempt = 0; attempt < 16 && fd < 0; ++attempt) {
            temp_ = temporaryName(name_.size(), kTempPrefix);
            fd = ::openat(dirFd_, temp_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (fd < 0 && errno != EEXIST) break;
        }
        if (fd < 0) {
            error_ = reason(errno);
            temp_.clear();
            return false;
        }
    }
    file_ = ::fdopen(fd, "wb");
    if (!file_) {
        error_ = reason(errno);
        ::close(fd);
        discard();
        return false;
    }
    return true;
}

void AtomicFile::removeStaleTemporaries() {
    std::error_code ec;
    const auto now = fs::file_time_type::clock::now();
    for (fs::directory_iterator it(folder_, ec), end; !ec && it != end; it.increment(ec)) {
        std::string name = it->path().filename().string();
        bool named = isOurs(name, kTempPrefix), linked = isOurs(name, kLinkPrefix);
        if (!named && !linked) continue;
        std::error_code e2;
        if (!it->is_regular_file(e2)) continue;
        if (linked) {
            struct stat st {};
            if (::fstatat(dirFd_, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
                ::time(nullptr) - st.st_ctim.tv_sec > kLinkStaleSeconds)
                ::unlinkat(dirFd_, name.c_str(), 0);
            continue;
        }
        auto written = it->last_write_time(e2);
        if (!e2 && now - written > kStaleAfter) fs::remove(it->path(), e2);
    }
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
    auto fail = [this](int e) {
        error_ = reason(e);
        discard();
        return false;
    };
    errno = 0;
    if (failed_) return fail(writeErrno_);
    if (std::fflush(file_) != 0) return fail(errno);
    int fd = fileno(file_);
    // The permissions of the file being replaced, or the usual ones of a
    // new file.
    mode_t mode = static_cast<mode_t>(mode_);
    if (mode_ < 0) {
        mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    ::fchmod(fd, mode);
    if (::fsync(fd) != 0) return fail(errno);
    if (temp_.empty()) {
        // Give the unnamed file a name for the moment of the rename.
        std::string self = "/proc/self/fd/" + std::to_string(fd);
        for (int attempt = 0; attempt < 16; ++attempt) {
            std::string name = temporaryName(name_.size(), kLinkPrefix);
            if (::linkat(AT_FDCWD, self.c_str(), dirFd_, name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
                temp_ = name;
                break;
            }
            if (errno != EEXIST) return fail(errno);
        }
        if (temp_.empty()) return fail(EEXIST);
    }
    // The rename follows the link at once: a save killed between the two
    // would leave the named temporary behind, so nothing else may run in
    // between. The file is closed afterwards; its data already reached the
    // disk with the fsync above, so a late close error loses nothing.
    if (::renameat(dirFd_, temp_.c_str(), dirFd_, name_.c_str()) != 0) return fail(errno);
    temp_.clear();
    std::fclose(file_);
    file_ = nullptr;
    // The rename itself reaches the disk with the folder.
    ::fsync(dirFd_);
    ::close(dirFd_);
    dirFd_ = -1;
    return true;
}

void AtomicFile::discard() {
    if (file_) {
        std::fclose(file_);
        file_ = nullptr;
    }
    if (!temp_.empty() && dirFd_ >= 0) ::unlinkat(dirFd_, temp_.c_str(), 0);
    temp_.clear();
    if (dirFd_ >= 0) {
        ::close(dirFd_);
        dirFd_ = -1;
    }
}
