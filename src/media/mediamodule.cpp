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
// The same places are tried relative to the shared object this code was
// linked into (the Python module lives in a folder of its own, and the
// interpreter is no program of ours).
void addCandidates(const fs::path& dir, std::vector<fs::path>& out) {
    out.push_back(dir / kModuleName);
    out.push_back(dir / ROTUNDEL_MODULE_RELATIVE_DIR / kModuleName);
    // The installed Python module sits in PREFIX/lib/python3/dist-packages.
    out.push_back(dir / ROTUNDEL_MODULE_FROM_PYTHON_DIR / kModuleName);
    const std::string tree = ROTUNDEL_BUILD_TREE "/";
    if (dir.string().starts_with(tree) || dir.string() + "/" == tree)
        out.emplace_back(ROTUNDEL_MODULE_BUILD_PATH);
}

std::vector<fs::path> candidates() {
    std::vector<fs::path> out;
    std::error_code ec;
    fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (!ec) addCandidates(exe.parent_path(), out);
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&addCandidates), &info) && info.dli_fname) {
        fs::path self = fs::weakly_canonical(info.dli_fname, ec);
        if (!ec && self != exe) addCandidates(self.parent_path(), out);
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
