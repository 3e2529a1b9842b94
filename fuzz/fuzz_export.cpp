// libFuzzer target for everything the program makes from a document: the
// bytes are read as a .one file, and what reads is opened as the program
// opens it, at the real sample budget, and written as every kind of export
// into a folder of its own. A refusal with a message is a fine outcome; a
// crash, a run past the time limit (-timeout) or past the memory limit
// (-rss_limit_mb) is a find. Run it as scripts/test does:
//   fuzz_export -rss_limit_mb=1024 -timeout=60 WORK fuzz/corpus/export
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "document.h"
#include "exporter.h"
#include "onefile.h"
#include "placement.h"

namespace {

namespace fs = std::filesystem;

struct Output {
    const char* name;
    std::vector<std::pair<std::string, std::string>> options;
};

// One of each kind, at sizes that keep pictures and movies quick: their
// pixel work is bounded by the size asked for; what matters here is the
// work a document can cause before that.
const std::vector<Output>& outputs() {
    static const std::vector<Output> list = {
        {"t.csv", {}},
        {"t.one", {}},
        {"t.svg", {}},
        {"t.png", {{"width", "64"}}},
        {"t.gif", {{"width", "32"}, {"frames", "1"}}},
        {"frames", {{"width", "32"}, {"frames", "1"}}},
        {"t.mp4", {{"width", "32"}, {"frames", "1"}, {"rolling", ""}}},
        {"t.html", {{"max-bytes", "200kB"}}},
        // Plotter pages, tracks and meshes: their smoothing, simplification
        // and tessellation take minutes and gigabytes on a path that closes
        // millions of times (the corpus holds such documents) until their
        // own work budget bounds them. ROTUNDEL_FUZZ_ALL=1 runs them too.
        {"p.svg", {{"plotter", ""}}},
        {"t.thr", {}},
        {"t.stl", {{"tube-radius", "0.1"}, {"max-triangles", "1000"}}},
        {"t.obj", {}},
        {"t.ply", {}},
        {"t.glb", {}},
        {"t.3mf", {}},
    };
    return list;
}

// The kinds above that are left out unless asked for (see above).
bool unbounded(const std::string& name) {
    static const bool all = std::getenv("ROTUNDEL_FUZZ_ALL") != nullptr;
    if (all) return false;
    return name == "p.svg" || name == "t.thr" || name.ends_with(".stl") || name.ends_with(".obj") ||
           name.ends_with(".ply") || name.ends_with(".glb") || name.ends_with(".3mf");
}

const fs::path& workFolder() {
    static const fs::path folder = [] {
        fs::path p =
            fs::temp_directory_path() / ("rotundel-fuzz-export-" + std::to_string(::getpid()));
        fs::create_directories(p);
        return p;
    }();
    return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    Document fresh;
    try {
        OneFile::read(bytes, fresh);
    } catch (const FileFormatError&) {
        return 0;
    } catch (const bad_rational&) {
        return 0;
    }
    // As opening does it, with the sample budget a user gets.
    Document doc;
    doc.adoptContents(fresh);
    doc.setPathAccuracy();
    if (doc.stationarySphere) {
        doc.rewindDynamics();
        reset(doc);
        doc.fitCameraDistance();
    }
    ExportContext context;
    context.inputName = "fuzz.one";
    for (const Output& o : outputs()) {
        if (unbounded(o.name)) continue;
        ExportRequest request;
        request.output = (workFolder() / o.name).string();
        request.options = o.options;
        if (!Exporter::check(request).empty()) std::abort();  // the table above is sound
        ExportResult r = Exporter::write(doc, request, context);
        // Success means the file is there; a refusal says why.
        if (r.ok ? !fs::exists(request.output) : r.error.empty() && !r.cancelled) std::abort();
    }
    return 0;
}
