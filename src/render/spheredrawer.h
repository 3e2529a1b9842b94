// Draws the automaton into the current OpenGL context: bodies in their
// surface styles, axes, great circles, centres lines, the point arrow while
// the flash is on, and the point paths as closed tubes. Bodies go into
// display lists, tubes into vertex buffers, made again only when stale.
//
// The OpenGL objects of a sphere (its quadric, its two lists, its texture)
// belong to one context and are kept here, in a table keyed by the sphere,
// so that a second context (an image rendered without a window) builds its
// own instead of calling names that mean nothing there.
//
// Threads: only the thread whose context is current, and only while the
// automaton is not being changed (the window draws a copy of its own).
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "automaton.h"
#include "sphere.h"
#include "texturefinder.h"

struct DrawOptions {
    bool stereo = false;  // draw everything white; the colour masks colour it
    bool flashActive = false;
    int flashPointIndex = 0;  // the " Points" page's selected point (0 = the centre)
    double axisDrawFactor = 0.20000000298023224;
    // Drawing onto the white of a saved image. Additive blending would turn
    // a transparent body white there, so it is blended over the background.
    bool lightBackground = false;
    // The rolling animation: spheres at their current placement instead of
    // the time-0 snapshot, and each sphere's paths drawn up to the share
    // that pathShown gives (0..1); the rest faint or not at all.
    struct Rolling {
        std::function<double(const Sphere&)> pathShown;
        bool faintRest = true;
    };
    const Rolling* rolling = nullptr;
    // The traced curves alone: no bodies, axes, great circles or arrows.
    bool curvesOnly = false;
    // Polled between spheres, between the tubes a sphere builds and between
    // the tubes it draws; true gives the drawing up, leaving what is not
    // finished stale for the next frame.
    std::function<bool()> stop;
    // Pixels that one unit spans at the automaton's centre: the tubes' detail
    // follows their size on screen. 0: the detail of mesh files.
    double pixelsPerUnit = 0;
};

class SphereDrawer {
  public:
    enum class Mode {
        // The window's drawer, kept for the life of the window.
        Primary,
        // A drawer for another context, made for a picture or two.
        Transient,
    };
    using Report = std::function<void(const std::string&)>;

    SphereDrawer(Mode mode, TextureFinder finder, Report report = {});
    // Deletes every OpenGL object; the drawer's context must be current.
    ~SphereDrawer();
    SphereDrawer(const SphereDrawer&) = delete;
    SphereDrawer& operator=(const SphereDrawer&) = delete;

    // Nothing without a root or a stationary sphere. False when options'
    // stop gave the drawing up part-way.
    bool drawAutomaton(Automaton& a, const DrawOptions& options);
    // Gives back every OpenGL object now (context current).
    void release();

    void setDocumentFolder(const std::string& folder) { finder_.setDocumentFolder(folder); }
    // Makes every list compile again at the next draw.
    void invalidate();
    // Triangles that the tubes of all points together may have; above it
    // they are built coarser.
    static constexpr std::size_t kTubeTriangleBudget = 4'000'000;
    // Pictures and movie frames: a triangle a pixel, from what a small
    // picture needs up to a million. More cannot be seen, and each one
    // costs the rasteriser time and the tube buffers memory.
    static std::size_t pictureTubeBudget(int width, int height) {
        const auto pixels = static_cast<std::size_t>(std::max(width, 1)) *
                            static_cast<std::size_t>(std::max(height, 1));
        return std::clamp<std::size_t>(pixels, 300'000, kTubeTriangleBudget / 4);
    }
    // Takes effect with the next tube buffers, which it makes stale.
    void setTubeTriangleBudget(std::size_t n) {
        if (n != tubeBudget_) invalidate();
        tubeBudget_ = n;
    }
    std::size_t tubeTriangleBudget() const { return tubeBudget_; }
    // Whether the tubes drawn last had to be made coarser for the budget.
    bool tubesCoarsened() const;
    // What to tell the user then (one sentence).
    static std::string tubeBudgetNote(std::size_t budget = kTubeTriangleBudget) {
        return "Tubes drawn coarser to stay within " +
               (budget % 1000000 == 0 ? std::to_string(budget / 1000000) + " million"
                                      : std::to_string(budget / 1000) + " thousand") +
               " triangles.";
    }
    // Lists and tube buffers built so far (bodies and paths).
    std::uint64_t compilations() const { return compilations_; }
    // Triangles of the tubes in the buffers built now.
    std::size_t tubeTriangles() const;
    // Tubes with a ring at every sample (nothing thinned), to compare the
    // drawn tubes with; takes effect when the lists compile again.
    // Not bound by the triangle budget.
    void setFullTubes(bool on) { fullTubes_ = on; }

  private:
    struct Entry;
    Entry& entryFor(Sphere& s);
    // Both false when options' stop gave the work up part-way.
    bool drawPaths(Sphere& s, Entry& e, const DrawOptions& o);
    void drawBody(Sphere& s, Sphere* n, Entry& e, const DrawOptions& o);
    void compileBody(Sphere& s, Entry& e, const DrawOptions& o);
    void compileNeighbourPart(Sphere& s, Sphere* n, const DrawOptions& o);
    void drawPartialTubes(Sphere& s, Entry& e, const DrawOptions& o);
    // level: a tube detail level, or -1 for the detail of mesh files.
    // False when stop said yes before the tubes were all built: the
    // buffer stays stale.
    bool buildTubeBuffer(Sphere& s, Entry& e, int level, const DrawOptions& o);
    struct TubeRange {
        std::size_t firstIndex = 0;
        unsigned firstVertex = 0;
        std::size_t rings = 0;
        std::size_t indicesPerBand = 0;
        std::size_t samples = 0;
        std::vector<double> bandEnds;  // per band, the sample it reaches
    };
    static void drawBands(const TubeRange& r, std::size_t from, std::size_t to);
    void drawCentresLine(Sphere& s, Sphere* n, const DrawOptions& o);
    void drawPointArrow(Sphere& s, const DrawOptions& o);
    void axisArrow(double length, double head);
    unsigned textureFor(Sphere& s, Entry& e);
    void releaseEntry(Entry& e);
    void sweep();
    // 0.15 of the sphere's radius, and never below leastTubeRadius_.
    double drawnTubeRadius(const Sphere& s) const;
    // The thinnest curve drawn, as a share of the automaton's size.
    static constexpr double kLeastTubeShare = 0.006;

    Mode mode_;
    TextureFinder finder_;
    Report report_;
    void* coneQuadric_ = nullptr;
    void* diskQuadric_ = nullptr;
    // By table slot: the window draws a fresh copy of the automaton after
    // each edit, whose spheres keep their slots but not their addresses.
    std::unordered_map<int, std::unique_ptr<Entry>> entries_;
    std::unordered_map<const Sphere*, int> slots_;  // of the automaton being drawn
    std::uint64_t placements_ = 0;                  // its placement count
    std::set<std::string> reported_;
    std::uint64_t pass_ = 0;
    std::uint64_t compilations_ = 0;
    bool invalidated_ = false;
    bool fullTubes_ = false;
    std::size_t tubeBudget_ = kTubeTriangleBudget;
    std::size_t budgetSamples_ = 0;  // of every point drawn with a path
    std::size_t budgetPaths_ = 0;
    double leastTubeRadius_ = 0;  // of this pass
    // Paths this long (all of a sphere's points together) are built on
    // several threads; below it starting threads costs more than it saves.
    static constexpr std::size_t kParallelTubeSamples = 20000;
};
