// Builds the example automata of examples/ with the document's own
// operations (new document, create, template, relinking, edits of the
// selected sphere) and saves each through the document's writer, so that
// every example is a file the program itself would have written.
//
// usage: make_examples FOLDER
#include <array>
#include <cstdio>
#include <functional>
#include <string>

#include "document.h"
#include "relations.h"
#include "sphere.h"

namespace {

// A starter document (root "A", child "B") and shorthands for the edits a
// user makes on the pages.
class Builder {
  public:
    Builder() { doc.newDocument(); }

    Sphere& a() { return *doc.root; }
    // A new child of parent, as CREATE makes it with parent selected.
    Sphere& child(Sphere& parent) {
        doc.selectSphere(&parent);
        return *doc.createSphere();
    }
    static void points(Sphere& s, std::initializer_list<std::array<double, 3>> list) {
        s.points.clear();
        for (const auto& p : list) s.addPoint(p[0], p[1], p[2]);
    }
    // Only the marked points' curves, no construction lines.
    static void plain(Sphere& s) {
        s.showPerpendicularAxis = s.showRevolutionAxis = s.showGreatCircle = 0;
        s.showRotationAxis = s.showCentersLine = 0;
    }
    bool save(const std::string& folder, const std::string& name) {
        doc.selectSphere(doc.root);
        doc.applyEdit("Examples", 0, kRewind | kPlace | kFitCamera, [] {});
        DocResult r = doc.saveDocument(folder + "/" + name);
        if (!r) std::fprintf(stderr, "make_examples: %s: %s\n", name.c_str(), r.message.c_str());
        return r.ok;
    }

    Document doc;
};

// A point on the equator of a sphere's frame, at the given turn.
constexpr std::array<double, 3> rim(double turn = 0) {
    return {turn, 90, 1};
}

struct Example {
    const char* file;
    std::function<void(Builder&)> build;
};

const Example kExamples[] = {
    {"epicycloid.one",
     [](Builder& b) {
         Sphere& s = *b.doc.findSphereByName("B");
         s.setRadiusFactor(1, 5);
         Builder::points(s, {rim()});
         Builder::plain(s);
         Builder::plain(b.a());
         b.a().showGreatCircle = 1;
         s.showGreatCircle = 1;
         b.doc.pathAccuracy = 90;
     }},
    {"hypocycloid.one",
     [](Builder& b) {
         Sphere& s = *b.doc.findSphereByName("B");
         s.setRadiusFactor(1, 4);
         s.inside = 1;
         Builder::points(s, {rim()});
         Builder::plain(s);
         Builder::plain(b.a());
         b.a().surface = 4;
         b.a().showGreatCircle = 1;
         s.showGreatCircle = 1;
         b.doc.pathAccuracy = 90;
     }},
    {"tilted-chain.one",
     [](Builder& b) {
         Sphere& s = *b.doc.findSphereByName("B");
         s.setRadiusFactor(1, 2);
         s.axisAngleX = 35;
         Sphere& c = b.child(s);
         c.setRadiusFactor(1, 2);
         c.axisAngleX = -60;
         c.setRollingRate(3, 1);
         Sphere& d = b.child(c);
         d.setRadiusFactor(2, 3);
         d.axisAngleZ = 45;
         d.axisAngleX = 70;
         Builder::points(d, {rim(), {0, 0, 1}});
         b.doc.pathAccuracy = 85;
     }},
    {"rolling-inside.one",
     [](Builder& b) {
         // C rolls inside the glass sphere B on a tilted orbit while B rolls
         // round the root.
         Sphere& s = *b.doc.findSphereByName("B");
         s.setRadiusFactor(1, 1);
         Builder::plain(s);
         Builder::points(s, {});
         Sphere& c = b.child(s);
         c.setRadiusFactor(1, 2);
         c.inside = 1;
         c.axisAngleX = 40;
         c.setRollingRate(5, 1);
         Builder::points(c, {rim()});
         Builder::plain(c);
         b.a().surface = 0;
         b.doc.pathAccuracy = 90;
     }},
    {"references.one",
     [](Builder& b) {
         // C rides on B but takes its size from the root and its clock from
         // its own parent; D takes its size from B and its clock from C.
         Sphere& s = *b.doc.findSphereByName("B");
         s.setRadiusFactor(2, 3);
         Sphere& c = b.child(s);
         attach(c, b.a(), kRadius);
         c.setRadiusFactor(1, 4);
         attach(c, s, kTime);
         c.setRollingRate(2, 1);
         Sphere& d = b.child(c);
         attach(d, s, kRadius);
         d.setRadiusFactor(1, 5);
         attach(d, c, kTime);
         d.setRollingRate(1, 1);
         Builder::points(c, {rim()});
         Builder::points(d, {rim(), rim(180)});
         b.doc.pathAccuracy = 85;
     }},
    {"stationary-leaf.one",
     [](Builder& b) {
         // Seen from the outermost sphere, the small root and its parent
         // circle it.
         Sphere& s = *b.doc.findSphereByName("B");
         s.setRadiusFactor(2, 1);
         Sphere& c = b.child(s);
         c.setRadiusFactor(1, 2);
         c.setRollingRate(2, 1);
         Builder::points(b.a(), {{0, 0, 0}});
         Builder::points(s, {rim()});
         Builder::points(c, {});
         b.doc.stationarySphere = &c;
         b.doc.pathAccuracy = 80;
     }},
    {"dynamic-axes.one",
     [](Builder& b) {
         Sphere& s = *b.doc.findSphereByName("B");
         s.setRadiusFactor(1, 3);
         s.dynamic = 1;
         s.dynamicAxisZ = 1;
         s.dynamicAxisX = 1;
         s.axisAngleX = 20;
         Sphere& c = b.child(s);
         c.setRadiusFactor(1, 2);
         c.setRollingRate(2, 1);
         c.dynamic = 1;
         c.dynamicAxisX = 1;
         c.dynamicForwardX = 0;
         Builder::points(c, {rim()});
         b.doc.pathAccuracy = 80;
     }},
    {"many-points.one",
     [](Builder& b) {
         Sphere& s = *b.doc.findSphereByName("B");
         s.setRadiusFactor(1, 2);
         s.surface = 2;
         b.a().surface = 0;
         s.axisAngleX = 30;
         Builder::points(s, {{0, 0, 1}, {0, 45, 1}, rim(), {0, 135, 1}, {90, 90, 0.5}, rim(180)});
         Builder::plain(s);
         Builder::plain(b.a());
         b.doc.pathAccuracy = 85;
     }},
    {"anaglyph.one",
     [](Builder& b) {
         Sphere& s = *b.doc.findSphereByName("B");
         s.setRadiusFactor(1, 2);
         s.axisAngleX = 30;
         Sphere& c = b.child(s);
         c.setRadiusFactor(1, 2);
         c.setRollingRate(3, 1);
         Builder::points(c, {rim(), {0, 0, 1}});
         b.a().surface = 0;
         b.doc.stereo = 1;
         b.doc.anaglyphScheme = 3;
         b.doc.pathAccuracy = 85;
     }},
    {"long-period.one",
     [](Builder& b) {
         // Rates of 5/7 and 4/9 down the chain: the deepest point comes back
         // only after 63 time units.
         Sphere& s = *b.doc.findSphereByName("B");
         s.setRadiusFactor(1, 2);
         Sphere& c = b.child(s);
         c.setRadiusFactor(1, 2);
         c.setRollingRate(5, 7);
         Sphere& d = b.child(c);
         d.setRadiusFactor(1, 2);
         d.setRollingRate(4, 9);
         Builder::points(d, {rim()});
         Builder::plain(c);
         Builder::plain(d);
         b.doc.pathAccuracy = 60;
     }},
    {"flower.one",
     [](Builder& b) {
         // Six identical petals: each new copy of the template starts 60
         // degrees further round.
         Sphere& s = *b.doc.findSphereByName("B");
         s.setRadiusFactor(1, 4);
         Builder::points(s, {rim()});
         Builder::plain(s);
         b.doc.makeTemplate(&s);
         for (int i = 0; i < 5; ++i) b.child(b.a());
         Builder::plain(b.a());
         b.a().surface = 4;
         b.a().showGreatCircle = 1;
         b.doc.pathAccuracy = 90;
     }},
    {"deep-chain.one",
     [](Builder& b) {
         // Twelve levels, each rolling twice as fast on a parent four fifths
         // its size; the level colours come round again after nine.
         Sphere* s = b.doc.findSphereByName("B");
         s->setRadiusFactor(4, 5);
         Builder::plain(*s);
         for (int level = 2; level < 12; ++level) {
             Sphere& c = b.child(*s);
             c.setRadiusFactor(4, 5);
             c.setRollingRate(level % 2 ? -1 : 2, 1);
             Builder::plain(c);
             s = &c;
         }
         Builder::points(*s, {rim()});
         b.doc.pathAccuracy = 70;
     }},
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_examples FOLDER\n");
        return 2;
    }
    int failed = 0;
    for (const Example& e : kExamples) {
        Builder b;
        e.build(b);
        if (!b.save(argv[1], e.file)) ++failed;
    }
    return failed ? 1 : 0;
}
