// Watching another process's save from outside: the bytes of its work file
// in a folder (an unnamed O_TMPFILE shows in /proc as "#inode (deleted)", a
// named temporary or work folder by its name), so that a test can kill it
// while a save is under way rather than after a guessed delay.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <thread>

// The size of the largest file child holds open in folder, other than the
// names in keep; nullopt while it holds none.
inline std::optional<long long> workFileSize(pid_t child, const std::filesystem::path& folder,
                                             const std::set<std::string>& keep = {}) {
    namespace fs = std::filesystem;
    std::error_code ec;
    std::optional<long long> largest;
    const fs::path fds = "/proc/" + std::to_string(child) + "/fd";
    for (fs::directory_iterator it(fds, ec), end; !ec && it != end; it.increment(ec)) {
        fs::path target = fs::read_symlink(it->path(), ec);
        if (ec || target.parent_path() != folder) continue;
        std::string name = target.filename().string();
        if (keep.count(name)) continue;
        struct stat st {};
        if (::stat(it->path().c_str(), &st) == 0 && S_ISREG(st.st_mode))
            largest = std::max(largest.value_or(0), static_cast<long long>(st.st_size));
    }
    return largest;
}

// Waits until child's work in folder has reached at least bytes (a work
// folder of ours counts from the moment it exists); false when child ended
// first or a minute passed.
inline bool waitForWork(pid_t child, const std::filesystem::path& folder, long long bytes,
                        const std::set<std::string>& keep = {}) {
    namespace fs = std::filesystem;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);
    while (std::chrono::steady_clock::now() < deadline) {
        if (auto size = workFileSize(child, folder, keep); size && *size >= bytes) return true;
        std::error_code ec;
        for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
            if (it->path().filename().string().rfind(".rt~", 0) == 0 && it->is_directory(ec))
                return true;
        int status = 0;
        if (::waitpid(child, &status, WNOHANG) == child) return false;
        std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
    return false;
}
