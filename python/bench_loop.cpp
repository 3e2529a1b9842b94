// The C++ loops that scripts/python-bench times the Python module against:
//   rotundel_python_bench pass FILE.one N   the path pass of FILE, N times
//   rotundel_python_bench build N           N automata built and sampled
// Each prints seconds per iteration. The automata of "build" are the ones
// scripts/python-bench builds from Python, parameter for parameter.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "document.h"
#include "placement.h"
#include "sphere.h"

namespace {

double seconds() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

// Built as the script builds it: B resized, a child C of B with its own
// rate, direction and one traced point.
std::size_t buildOne(int i) {
    Document doc;
    doc.newDocument();
    Sphere* b = doc.root->firstChild();
    b->radiusFactor = Rational(i % 4 + 1, i % 5 + 2);
    doc.applyEdit("Edit", 0, kRewind | kPlace | kFitCamera, [] {});
    doc.selectedSphere = b;
    Sphere* c = doc.createSphere();
    c->radiusFactor = Rational(i % 3 + 1, i % 7 + 3);
    c->rollingRate = Rational(i % 5 + 1, i % 4 + 1);
    c->inside = static_cast<short>(i % 2);
    c->addPoint(0, 90, 1);
    doc.applyEdit("Edit", 0, kRewind | kPlace | kFitCamera, [] {});
    frameUpdate(doc);
    std::size_t samples = 0;
    for (const SpherePoint& p : c->points) samples += p.path.size();
    return samples;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "pass" && argc == 4) {
        Document doc;
        if (!doc.openDocument(argv[2])) return 1;
        const int n = std::atoi(argv[3]);
        const double start = seconds();
        for (int i = 0; i < n; ++i) {
            doc.applyEdit("Edit", 0, kRewind | kPlace, [] {});
            frameUpdate(doc);
        }
        std::printf("%.9f\n", (seconds() - start) / n);
        return 0;
    }
    if (mode == "build" && argc == 3) {
        const int n = std::atoi(argv[2]);
        std::size_t samples = 0;
        const double start = seconds();
        for (int i = 0; i < n; ++i) samples += buildOne(i);
        std::printf("%.9f %zu\n", (seconds() - start) / n, samples);
        return 0;
    }
    std::fprintf(stderr, "usage: rotundel_python_bench pass FILE.one N | build N\n");
    return 2;
}
