// Web pages: the writing of the deep chain's page against its path pass
// (BM_PathPass/deep_chain), and the page in headless Chromium with software
// WebGL, timed by the page itself from its start to its first frame drawn
// (its self-test reports firstFrameMs). The browser's figure is skipped when
// Debian's chromium is not installed.
#include <benchmark/benchmark.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "document.h"
#include "exporter.h"

namespace {
namespace fs = std::filesystem;

const std::string kDeepChain = std::string(ROTUNDEL_EXAMPLES) + "/deep-chain.one";

std::string pageOfDeepChain(benchmark::State& state) {
    const std::string out = (fs::temp_directory_path() / "rotundel-bench-deep-chain.html").string();
    Document doc;
    if (!doc.openDocument(kDeepChain)) state.SkipWithError("cannot read deep-chain.one");
    doc.step({}, false);
    ExportRequest r;
    r.output = out;
    if (!Exporter::write(doc, r).ok) state.SkipWithError("the page was not written");
    return out;
}

void BM_WebPage_write_deep_chain(benchmark::State& state) {
    Document doc;
    if (!doc.openDocument(kDeepChain)) return state.SkipWithError("cannot read deep-chain.one");
    doc.step({}, false);
    ExportRequest r;
    r.output = (fs::temp_directory_path() / "rotundel-bench-page.html").string();
    for (auto _ : state)
        if (!Exporter::write(doc, r).ok) return state.SkipWithError("the page was not written");
    state.counters["bytes"] = static_cast<double>(fs::file_size(r.output));
}
BENCHMARK(BM_WebPage_write_deep_chain)->Unit(benchmark::kMillisecond);

void BM_WebPage_first_frame_deep_chain(benchmark::State& state) {
    if (std::system("command -v chromium >/dev/null 2>&1") != 0)
        return state.SkipWithError("chromium is not installed");
    const std::string page = pageOfDeepChain(state);
    const std::string command =
        "chromium --headless=new --no-sandbox --use-angle=swiftshader --enable-unsafe-swiftshader "
        "--virtual-time-budget=20000 --dump-dom 'file://" +
        page + "#selftest' 2>/dev/null";
    for (auto _ : state) {
        std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
        std::string dom;
        std::array<char, 65536> chunk{};
        while (pipe && std::fgets(chunk.data(), chunk.size(), pipe.get())) dom += chunk.data();
        const std::size_t at = dom.find("firstFrameMs&quot;:");
        if (at == std::string::npos) return state.SkipWithError("the page drew nothing");
        const double ms = std::stod(dom.substr(at + 19));
        state.SetIterationTime(ms / 1000);
    }
}
BENCHMARK(BM_WebPage_first_frame_deep_chain)
    ->UseManualTime()
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);

}  // namespace
