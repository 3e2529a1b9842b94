// Finding and opening the FFmpeg and Assimp module.
#include "mediamodule.h"

#include <dlfcn.h>

#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace {
constexpr const char* kModuleName = "rotundel_media_heavy.so";

// Where the module may be, most likely first: beside the program (the build
// tree's program), the installation's library folder relative to the
// program's, and, for the tests and benchmarks in other folders of the
// build tree, where this build put it. An installed program never looks
// into the tree it was built in.
// The same again beside the shared object this code is in, when it is not
// the program (the Python module, loaded by the interpreter): solids and
// meshes of every kind need the module there too.
std::vector<fs::path> candidates() {
    std::vector<fs::path> out;
    std::vector<fs::path> dirs;
    std::error_code ec;
    fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (!ec) dirs.push_back(exe.parent_path());
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&candidates), &info) && info.dli_fname) {
        fs::path self = fs::absolute(info.dli_fname, ec).parent_path();
        if (!ec && (dirs.empty() || self != dirs[0])) dirs.push_back(self);
    }
    const std::string tree = ROTUNDEL_BUILD_TREE "/";
    for (const fs::path& dir : dirs) {
        out.push_back(dir / kModuleName);
        out.push_back(dir / ROTUNDEL_MODULE_RELATIVE_DIR / kModuleName);
        if (dir.string().starts_with(tree) || dir.string() + "/" == tree)
            out.emplace_back(ROTUNDEL_MODULE_BUILD_PATH);
    }
    return out;
}

struct Loaded {
    const MediaModule* module = nullptr;
    std::string error;
};

Loaded open() {
    Loaded l;
    std::string reasons;
    for (const fs::path& p : candidates()) {
        std::error_code ec;
        if (!fs::is_regular_file(p, ec)) continue;
        // Never closed: movies made by the module live as long as their
        // owners, and its code must stay for their destructors.
        void* handle = dlopen(p.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!handle) {
            const char* why = dlerror();
            reasons = why ? why : p.string();
            continue;
        }
        using Entry = const MediaModule* (*)();
        auto entry = reinterpret_cast<Entry>(dlsym(handle, "rotundel_media_module"));
        const MediaModule* m = entry ? entry() : nullptr;
        if (!m || m->interface != MediaModule::kInterface) {
            reasons = p.string() + " belongs to another version of Rotundel";
            continue;
        }
        l.module = m;
        return l;
    }
    l.error = std::string("Movies and meshes need ") + kModuleName +
              ", which this installation lacks or cannot load" +
              (reasons.empty() ? "" : " (" + reasons + ")") + ".";
    return l;
}
}  // namespace

const MediaModule* MediaModule::load(std::string* error) {
    static const Loaded loaded = open();
    if (!loaded.module && error) *error = loaded.error;
    return loaded.module;
}
