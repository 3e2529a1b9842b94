// Chains built in documents.
#include "chaindocument.h"

#include <algorithm>

#include "curveinvariants.h"
#include "pointpaths.h"

void raiseAccuracyToShow(Document& doc) {
    // A k-fold curve has at least k lobes, which may be small against the
    // whole: at the default step a 24-fold curve gets about one sample a
    // lobe and looks like a blob of another symmetry. The accuracy rises
    // until every traced curve has kSamplesPerTurn samples per k-th of a
    // turn, as far as the finest step allows within the sample budget.
    constexpr long long kSamplesPerTurn = 24;
    std::vector<std::pair<Sphere*, long long>> wanted;
    for (Sphere* s : doc.sphereTable) {
        if (!s || s == doc.stationarySphere) continue;
        long long most = 0;
        for (std::size_t i = 1; i < s->points.size(); ++i) {
            CurveSymmetry sym = curveSymmetry(doc, *s, i);
            if (sym.kind == CurveSymmetry::Order) most = std::max<long long>(most, sym.order);
        }
        if (most > 0) wanted.push_back({s, most * kSamplesPerTurn});
    }
    for (; doc.pathAccuracy < 100; ++doc.pathAccuracy) {
        doc.setPathAccuracy();
        long long total = 0;
        bool enough = true;
        for (auto [s, samples] : wanted) {
            PathPlan plan = planPath(doc, *s);
            total += plan.samples * static_cast<long long>(s->points.size());
            enough = enough && plan.samples >= samples;
        }
        if (enough) return;
        if (total > static_cast<long long>(doc.sampleBudget) / 4) break;
    }
    doc.pathAccuracy = std::min(doc.pathAccuracy, 100);
    doc.setPathAccuracy();
}

bool makeChainDocument(Document& doc, const ChainPlan& plan) {
    auto spheres = buildChain(doc, plan, [&doc](Sphere* parent) {
        doc.selectedSphere = parent;
        return doc.createSphere();
    });
    if (spheres.empty()) return false;
    doc.selectedSphere = spheres.back();
    doc.selectRootAsStationary();
    raiseAccuracyToShow(doc);
    doc.applyEdit("New automaton", 0, kRewind | kPlace | kFitCamera, [] {});
    return true;
}

std::string writeChainFile(const ChainPlan& plan, const std::string& path) {
    Document doc;
    if (!makeChainDocument(doc, plan)) return "the automaton could not be built";
    DocResult r = doc.saveDocument(path);
    if (r) return {};
    return r.why();
}
