// Saving without leaving anything behind. On Linux the bytes go to an
// unnamed file in the target's folder (O_TMPFILE), which gets a name only
// for the instant between its link and the rename over the target; a save
// killed before that leaves nothing, and one killed in that instant leaves
// a name the next save removes. Elsewhere, or where the file system has no
// unnamed files, a named temporary is used, and temporaries of our naming
// that a killed save left are removed by the next save there. SIGINT and
// SIGTERM, once cleanUpOnSignals() ran, are taken by a thread of their own
// that removes what saves under way have named before the program ends.
#include "atomicfile.h"

#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <mutex>
#include <random>
#include <set>
#include <thread>

namespace fs = std::filesystem;

namespace {
// Temporaries written under a name are ".rt~" and hex digits; older ones
// than this are left over from a killed save, not one under way. Work
// folders have the same form: a folder being filled changes all the time.
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
// create. Gives up (returning the last name, itself a link) on a loop.
fs::path resolveLinks(fs::path p) {
    std::error_code ec;
    for (int hops = 0; hops < 40 && fs::is_symlink(fs::symlink_status(p, ec)); ++hops) {
        fs::path to = fs::read_symlink(p, ec);
        if (ec) break;
        p = to.is_absolute() ? to : p.parent_path() / to;
    }
    return p;
}

// What no save may replace, and the names that saves under way have given
// to their work (removed on SIGINT/SIGTERM). Work is named and registered
// under the lock, so that the signal's clean-up never misses any.
struct Registry {
    std::mutex lock;
    std::vector<std::pair<dev_t, ino_t>> protectedIds;
    std::vector<fs::path> protectedPaths;
    std::set<fs::path> work;
    bool ending = false;
    bool committed = false;  // a save has put a file (or frames) in place
};
Registry& registry() {
    static Registry* r = new Registry;  // outlives static destruction
    return *r;
}

void forgetWork(const fs::path& p) {
    std::lock_guard<std::mutex> hold(registry().lock);
    registry().work.erase(p);
}

bool isProtected(const fs::path& target) {
    Registry& r = registry();
    std::lock_guard<std::mutex> hold(r.lock);
    if (r.protectedIds.empty() && r.protectedPaths.empty()) return false;
    struct stat st {};
    if (::stat(target.c_str(), &st) == 0)
        for (const auto& [dev, ino] : r.protectedIds)
            if (st.st_dev == dev && st.st_ino == ino) return true;
    std::error_code ec;
    fs::path canonical = fs::weakly_canonical(fs::absolute(target, ec), ec);
    for (const fs::path& p : r.protectedPaths)
        if (!ec && canonical == p) return true;
    return false;
}

std::string folderProblem(const fs::path& folder) {
    if (::access(folder.c_str(), W_OK | X_OK) != 0) return reason(errno);
    return {};
}

// Removes our temporaries and work folders that a killed save left in
// folder: named ones once they are clearly not a save under way, names of
// the link-and-rename instant after a moment.
void removeStaleWork(int dirFd, const fs::path& folder) {
    std::error_code ec;
    const auto now = fs::file_time_type::clock::now();
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::string name = it->path().filename().string();
        bool named = isOurs(name, kTempPrefix), linked = isOurs(name, kLinkPrefix);
        if (!named && !linked) continue;
        std::error_code e2;
        if (it->is_symlink(e2)) continue;
        if (named && it->is_directory(e2)) {
            auto written = it->last_write_time(e2);
            if (!e2 && now - written > kStaleAfter) fs::remove_all(it->path(), e2);
            continue;
        }
        if (!it->is_regular_file(e2)) continue;
        if (linked) {
            struct stat st {};
            if (::fstatat(dirFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
                ::time(nullptr) - st.st_ctim.tv_sec > kLinkStaleSeconds)
                ::unlinkat(dirFd, name.c_str(), 0);
            continue;
        }
        auto written = it->last_write_time(e2);
        if (!e2 && now - written > kStaleAfter) fs::remove(it->path(), e2);
    }
}

// The folder a target or a work folder lives in, its stale work removed.
void tidy(const fs::path& folder) {
    int dirFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd < 0) return;
    removeStaleWork(dirFd, folder);
    ::close(dirFd);
}
}  // namespace

// A chain of links that never reaches a file: refused as open() would
// refuse it, rather than replaced by a regular file.
static bool isLinkLoop(const fs::path& resolved) {
    std::error_code ec;
    return fs::is_symlink(fs::symlink_status(resolved, ec));
}

std::string AtomicFile::problem(const std::string& targetName) {
    fs::path target = resolveLinks(fs::path(targetName));
    if (isLinkLoop(target)) return reason(ELOOP);
    const fs::path name = target.filename();
    if (name.empty() || name == "." || name == "..") return "no file name";
    if (isProtected(target)) return "it is the file being read";
    std::error_code ec;
    fs::file_status st = fs::status(target, ec);
    if (fs::is_directory(st)) return "it is a folder";
    if (fs::exists(st)) {
        // Replacing a device or pipe by a file would do something else
        // than what was asked.
        if (!fs::is_regular_file(st)) return "it is not a regular file";
        // A read-only file is refused as a plain write would refuse it,
        // even for an owner whose rights would let a rename replace it.
        errno = 0;
        constexpr auto anyWrite =
            fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
        if (::access(target.c_str(), W_OK) != 0 || (st.permissions() & anyWrite) == fs::perms::none)
            return reason(errno ? errno : EACCES);
    }
    return folderProblem(target.parent_path().empty() ? fs::path(".") : target.parent_path());
}

void AtomicFile::protect(const std::string& path) {
    Registry& r = registry();
    std::lock_guard<std::mutex> hold(r.lock);
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) r.protectedIds.emplace_back(st.st_dev, st.st_ino);
    std::error_code ec;
    fs::path canonical = fs::weakly_canonical(fs::absolute(path, ec), ec);
    if (!ec) r.protectedPaths.push_back(canonical);
}

void AtomicFile::cleanUpOnSignals(const std::string& said) {
    static std::once_flag once;
    std::call_once(once, [said] {
        sigset_t set;
        sigemptyset(&set);
        sigaddset(&set, SIGINT);
        sigaddset(&set, SIGTERM);
        ::pthread_sigmask(SIG_BLOCK, &set, nullptr);
        std::thread([set, said] {
            int sig = 0;
            if (::sigwait(&set, &sig) != 0) return;
            Registry& r = registry();
            r.lock.lock();  // held to the end: no new work is named
            r.ending = true;
            if (!said.empty()) {
                const std::string line =
                    said + (r.committed ? "." : "; nothing was written.") + "\n";
                (void)!::write(STDERR_FILENO, line.data(), line.size());
            }
            for (const fs::path& p : r.work) {
                // A file just renamed into a work folder can make one pass
                // find it not empty.
                std::error_code ec;
                for (int pass = 0; pass < 3 && fs::exists(fs::symlink_status(p, ec)); ++pass)
                    fs::remove_all(p, ec);
            }
            std::signal(sig, SIG_DFL);
            ::pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
            ::raise(sig);
            ::_exit(128 + sig);
        }).detach();
    });
}

AtomicFile::AtomicFile(std::string target) : target_(std::move(target)) {}

AtomicFile::~AtomicFile() {
    discard();
}

bool AtomicFile::open() {
    if (std::string why = problem(target_); !why.empty()) {
        error_ = why;
        return false;
    }
    fs::path target = resolveLinks(fs::path(target_));
    std::error_code ec;
    fs::file_status st = fs::status(target, ec);
    if (fs::exists(st)) mode_ = static_cast<int>(st.permissions() & fs::perms::mask);
    if (struct stat owned {}; ::stat(target.c_str(), &owned) == 0) {
        owner_ = static_cast<int>(owned.st_uid);
        group_ = static_cast<int>(owned.st_gid);
    }
    folder_ = target.parent_path().empty() ? fs::path(".") : target.parent_path();
    name_ = target.filename().string();
    dirFd_ = ::open(folder_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd_ < 0) {
        error_ = reason(errno);
        return false;
    }
    removeStaleWork(dirFd_, folder_);
    int fd = -1;
#ifdef O_TMPFILE
    fd = ::openat(dirFd_, ".", O_TMPFILE | O_RDWR | O_CLOEXEC, 0666);
#endif
    if (fd < 0) {
        // No unnamed files here: a named one of our own, never one that
        // exists already, known to the signal's clean-up from its making.
        Registry& r = registry();
        std::lock_guard<std::mutex> hold(r.lock);
        for (int attempt = 0; attempt < 16 && fd < 0 && !r.ending; ++attempt) {
            temp_ = temporaryName(name_.size(), kTempPrefix);
            fd = ::openat(dirFd_, temp_.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (fd < 0 && errno != EEXIST) break;
        }
        if (fd < 0) {
            error_ = reason(errno);
            temp_.clear();
            return false;
        }
        r.work.insert(folder_ / temp_);
    }
    file_ = ::fdopen(fd, "w+b");
    if (!file_) {
        error_ = reason(errno);
        ::close(fd);
        discard();
        return false;
    }
    return true;
}

void AtomicFile::write(std::string_view bytes) {
    if (!file_ || failed_ || bytes.empty()) return;
    errno = 0;
    if (std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size()) {
        failed_ = true;
        writeErrno_ = errno;
    }
}

long long AtomicFile::seek(long long offset, int whence) {
    if (!file_ || ::fseeko(file_, static_cast<off_t>(offset), whence) != 0) return -1;
    return static_cast<long long>(::ftello(file_));
}

long long AtomicFile::size() {
    if (!file_) return -1;
    off_t here = ::ftello(file_);
    if (::fseeko(file_, 0, SEEK_END) != 0) return -1;
    off_t end = ::ftello(file_);
    ::fseeko(file_, here, SEEK_SET);
    return static_cast<long long>(end);
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
    // The owner and group of the file being replaced, where the rights
    // allow it (root saving another user's file); first, as a change of
    // owner clears the set-id bits that the mode then gives back.
    if (owner_ >= 0 && (static_cast<uid_t>(owner_) != ::geteuid() ||
                        static_cast<gid_t>(group_) != ::getegid()))
        if (::fchown(fd, static_cast<uid_t>(owner_), static_cast<gid_t>(group_)) != 0)
            (void)::fchown(fd, static_cast<uid_t>(-1), static_cast<gid_t>(group_));
    ::fchmod(fd, mode);
    if (::fsync(fd) != 0) return fail(errno);
    // Link and rename under the registry's lock: SIGINT or SIGTERM in
    // between waits for both, so the name of that instant is never left.
    int e = 0;
    {
        Registry& r = registry();
        std::lock_guard<std::mutex> hold(r.lock);
        if (r.ending) e = EINTR;
        // Give the unnamed file a name for the moment of the rename.
        std::string self = "/proc/self/fd/" + std::to_string(fd);
        for (int attempt = 0; !e && temp_.empty() && attempt < 16; ++attempt) {
            std::string name = temporaryName(name_.size(), kLinkPrefix);
            if (::linkat(AT_FDCWD, self.c_str(), dirFd_, name.c_str(), AT_SYMLINK_FOLLOW) == 0)
                temp_ = name;
            else if (errno != EEXIST)
                e = errno;
        }
        if (!e && temp_.empty()) e = EEXIST;
        // The rename follows the link at once: a save killed between the
        // two would leave the named temporary behind, so nothing else may
        // run in between. The file is closed afterwards; its data already
        // reached the disk with the fsync above, so a late close error
        // loses nothing.
        if (!e && ::renameat(dirFd_, temp_.c_str(), dirFd_, name_.c_str()) != 0) e = errno;
        if (!e) {
            r.work.erase(folder_ / temp_);
            r.committed = true;
        }
    }
    if (e) return fail(e);
    temp_.clear();
    std::fclose(file_);
    file_ = nullptr;
    // The rename itself reaches the disk with the folder.
    ::fsync(dirFd_);
    ::close(dirFd_);
    dirFd_ = -1;
    return true;
}

std::string AtomicFile::writeError() const {
    return failed_ ? reason(writeErrno_) : std::string();
}

void AtomicFile::discard() {
    if (file_) {
        std::fclose(file_);
        file_ = nullptr;
    }
    if (!temp_.empty() && dirFd_ >= 0) {
        ::unlinkat(dirFd_, temp_.c_str(), 0);
        forgetWork(folder_ / temp_);
    }
    temp_.clear();
    if (dirFd_ >= 0) {
        ::close(dirFd_);
        dirFd_ = -1;
    }
}

WorkFolder::WorkFolder(std::string target, bool targetIsFolder)
    : target_(std::move(target)), targetIsFolder_(targetIsFolder) {}

WorkFolder::~WorkFolder() {
    if (work_.empty()) return;
    std::error_code ec;
    fs::remove_all(work_, ec);
    forgetWork(work_);
}

namespace {
fs::path folderTarget(const std::string& name) {
    fs::path target = resolveLinks(fs::path(name));
    // "frames/" names the folder "frames".
    return target.filename().empty() ? target.parent_path() : target;
}
}  // namespace

std::string WorkFolder::problem(const std::string& targetName) {
    fs::path target = folderTarget(targetName);
    if (isLinkLoop(target)) return reason(ELOOP);
    if (target.empty()) return "no folder name";
    if (isProtected(target)) return "it is the file being read";
    std::error_code ec;
    fs::file_status st = fs::status(target, ec);
    if (fs::exists(st) && !fs::is_directory(st)) return "it is a file, not a folder";
    if (fs::is_directory(st))
        if (std::string why = folderProblem(target); !why.empty()) return why;
    return folderProblem(target.parent_path().empty() ? fs::path(".") : target.parent_path());
}

bool WorkFolder::open() {
    fs::path target = folderTarget(target_);
    error_ = targetIsFolder_ ? problem(target_) : AtomicFile::problem(target_);
    if (!error_.empty()) return false;
    fs::path folder = target.parent_path().empty() ? fs::path(".") : target.parent_path();
    tidy(folder);
    Registry& r = registry();
    std::lock_guard<std::mutex> hold(r.lock);
    const std::size_t length = std::max<std::size_t>(target.filename().string().size(), 12);
    for (int attempt = 0; attempt < 16 && !r.ending; ++attempt) {
        fs::path work = folder / temporaryName(length, kTempPrefix);
        if (::mkdir(work.c_str(), 0777) == 0) {
            work_ = work;
            r.work.insert(work_);
            return true;
        }
        if (errno != EEXIST) break;
    }
    error_ = reason(errno);
    return false;
}

namespace {
// Writes the file at from over a frame that is a symbolic link, through
// the one save, so that the file the link names is replaced and the link
// stays.
std::string copyThroughLink(const fs::path& from, const fs::path& to) {
    std::FILE* in = std::fopen(from.c_str(), "rb");
    if (!in) return reason(errno);
    AtomicFile out(to.string());
    if (!out.open()) {
        std::fclose(in);
        return out.error();
    }
    std::vector<char> buffer(1 << 16);
    for (std::size_t n; (n = std::fread(buffer.data(), 1, buffer.size(), in)) > 0;)
        out.write(std::string_view(buffer.data(), n));
    const bool readFailed = std::ferror(in) != 0;
    std::fclose(in);
    if (readFailed) return "the frame could not be read back";
    return out.commit() ? std::string() : out.error();
}
}  // namespace

bool WorkFolder::commit() {
    fs::path target = folderTarget(target_);
    std::error_code ec;
    // A new folder arrives whole.
    {
        Registry& r = registry();
        std::lock_guard<std::mutex> hold(r.lock);
        if (!fs::exists(fs::symlink_status(target, ec)) &&
            ::rename(work_.c_str(), target.c_str()) == 0) {
            r.work.erase(work_);
            r.committed = true;
            work_.clear();
            return true;
        }
    }
    // Into an existing folder each file goes as a save of its own would:
    // every one is checked first (a read-only file, the file being read, a
    // folder of that name), so that a refusal leaves the folder as it was.
    std::vector<std::string> names;
    for (fs::directory_iterator it(work_, ec), end; !ec && it != end; it.increment(ec))
        names.push_back(it->path().filename().string());
    if (ec) {
        error_ = ec.message();
        return false;
    }
    std::sort(names.begin(), names.end());
    for (const std::string& name : names)
        if (std::string why = AtomicFile::problem((target / name).string()); !why.empty()) {
            error_ = name + ": " + why;
            return false;
        }
    // Links are written through, outside the registry's lock, which the
    // save through them takes itself.
    std::vector<std::string> plain;
    for (const std::string& name : names) {
        if (!fs::is_symlink(fs::symlink_status(target / name, ec))) {
            plain.push_back(name);
            continue;
        }
        if (std::string why = copyThroughLink(work_ / name, target / name); !why.empty()) {
            error_ = name + ": " + why;
            return false;
        }
        fs::remove(work_ / name, ec);
    }
    // Under the registry's lock, so that SIGINT or SIGTERM waits until the
    // frames are all in place rather than leave some of them there. A file
    // replaced keeps its permissions.
    Registry& r = registry();
    std::lock_guard<std::mutex> hold(r.lock);
    r.committed = r.committed || !plain.empty();
    for (const std::string& name : plain) {
        const fs::path from = work_ / name, to = target / name;
        struct stat st {};
        if (::lstat(to.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
            if (st.st_uid != ::geteuid() || st.st_gid != ::getegid())
                (void)::lchown(from.c_str(), st.st_uid, st.st_gid);
            ::chmod(from.c_str(), st.st_mode & 07777);
        }
        if (::rename(from.c_str(), to.c_str()) != 0) {
            error_ = name + ": " + reason(errno);
            return false;
        }
    }
    return true;
}
