// Frames per second of the renderer: an 800 x 600 frame drawn off-screen,
// from display lists already compiled and with every list compiled anew.
#if __has_include("headlessrenderer.h")
#include <GL/gl.h>
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "headlessrenderer.h"
#include "offscreentarget.h"
#include "placement.h"
#include "relations.h"

namespace {
constexpr int kWidth = 800, kHeight = 600;

struct RenderAutomaton : Automaton {
    ~RenderAutomaton() override {
        destroyInProgress = destroyingEverything = 1;
        if (root) {
            markDoomed(*this, *root);
            destroySubtree(*this, root);
        }
    }
    Sphere& add(Sphere* parent, Rational factor) {
        Sphere* s = new Sphere(std::to_string(sphereCount));
        s->document = this;
        sphereTable[static_cast<std::size_t>(sphereCount++)] = s;
        s->radiusFactor = factor;
        s->addPoint(0, 0, 0);
        s->color = kLevelColors[sphereCount % 9];
        if (!root) {
            root = radiusRoot = stationarySphere = s;
            return *s;
        }
        attach(*s, *parent, kParent);
        attach(*s, *parent, kRadius);
        if (!timeMaster)
            timeMaster = s;
        else
            attach(*s, *timeMaster, kTime);
        return *s;
    }
};

// Root "A" and child "B" as a new document has them.
std::unique_ptr<RenderAutomaton> newDocument() {
    auto a = std::make_unique<RenderAutomaton>();
    Sphere& r = a->add(nullptr, Rational(1, 2));
    a->add(&r, Rational(1, 2));
    return a;
}

// Seven spheres each rolling on the last, with three marked points apiece
// at the finest path accuracy: long tubes.
std::unique_ptr<RenderAutomaton> deepChain() {
    auto a = std::make_unique<RenderAutomaton>();
    Sphere* s = &a->add(nullptr, Rational(1));
    const Rational factors[] = {{1, 2}, {2, 3}, {3, 5}, {1, 2}, {3, 4}, {2, 3}};
    for (int i = 0; i < 6; ++i) {
        s = &a->add(s, factors[i]);
        s->axisAngleZ = 15.0 * (i + 1);
        s->axisAngleX = 20.0 * (i + 1);
        s->inside = short(i % 3 == 2);
        for (int p = 1; p < 4; ++p) s->addPoint(30.0 * p, 45.0 * p, 1 + p % 2);
    }
    a->pathStep = 0.0001;
    return a;
}

void renderFrames(benchmark::State& state, std::unique_ptr<RenderAutomaton> (*make)(),
                  bool recompile) {
    std::string error;
    auto renderer = HeadlessRenderer::create({}, &error);
    if (!renderer) {
        state.SkipWithError(error.c_str());
        return;
    }
    auto a = make();
    reset(*a);
    frameUpdate(*a);
    FrameSettings settings;
    settings.camera.cameraDistance = -1.1111111111111112 * extent(*a) / 0.3826834323650898;
    CameraRig rig;
    CBallController ball(0.7, unitquaternion(0.872664625997, {1, 0, 0}));
    ball.setWindowSize(kWidth, kHeight);
    renderer->makeCurrent();
    auto target = OffscreenTarget::create(kWidth, kHeight, &error);
    if (!target) {
        state.SkipWithError(error.c_str());
        return;
    }
    target->bind();
    FrameRenderer& frames = renderer->frames();
    frames.drawFrame(*a, settings, rig, &ball, kWidth, kHeight);  // lists compiled once
    std::size_t triangles = 0;
    forEachPreOrder(a->root, [&](Sphere& s) {
        for (const auto& p : s.points) triangles += 14 * p.path.size();
    });
    for (auto _ : state) {
        if (recompile) frames.spheres().invalidate();
        frames.drawFrame(*a, settings, rig, &ball, kWidth, kHeight);
        glFinish();
    }
    target->unbind();
    target.reset();
    state.counters["fps"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["tube_triangles"] = static_cast<double>(triangles);
}

void BM_RenderFrame_new_document(benchmark::State& s) {
    renderFrames(s, newDocument, false);
}
void BM_RenderFrame_new_document_recompile(benchmark::State& s) {
    renderFrames(s, newDocument, true);
}
void BM_RenderFrame_deep_chain(benchmark::State& s) {
    renderFrames(s, deepChain, false);
}
void BM_RenderFrame_deep_chain_recompile(benchmark::State& s) {
    renderFrames(s, deepChain, true);
}
}  // namespace

BENCHMARK(BM_RenderFrame_new_document)->Name("BM_RenderFrame/new_document")->UseRealTime();
BENCHMARK(BM_RenderFrame_new_document_recompile)
    ->Name("BM_RenderFrame/new_document/recompile")
    ->UseRealTime();
BENCHMARK(BM_RenderFrame_deep_chain)->Name("BM_RenderFrame/deep_chain")->UseRealTime();
BENCHMARK(BM_RenderFrame_deep_chain_recompile)
    ->Name("BM_RenderFrame/deep_chain/recompile")
    ->UseRealTime();
#endif
