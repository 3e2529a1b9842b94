// Chains built in documents.
#include "chaindocument.h"

bool makeChainDocument(Document& doc, const ChainPlan& plan) {
    auto spheres = buildChain(doc, plan, [&doc](Sphere* parent) {
        doc.selectedSphere = parent;
        return doc.createSphere();
    });
    if (spheres.empty()) return false;
    doc.selectedSphere = spheres.back();
    doc.selectRootAsStationary();
    doc.applyEdit("New automaton", 0, kRewind | kPlace | kFitCamera, [] {});
    return true;
}

std::string writeChainFile(const ChainPlan& plan, const std::string& path) {
    Document doc;
    if (!makeChainDocument(doc, plan)) return "the automaton could not be built";
    DocResult r = doc.saveDocument(path);
    if (r) return {};
    return r.message.empty() ? r.reason : r.message;
}
