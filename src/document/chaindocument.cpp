// Chains built in documents.
#include "chaindocument.h"

bool makeChainDocument(CRotundelDoc& doc, const ChainPlan& plan) {
    auto spheres = buildChain(doc, plan, [&doc](Sphere* parent) {
        doc.selectedSphere = parent;
        return doc.CreateSphere();
    });
    if (spheres.empty()) return false;
    doc.selectedSphere = spheres.back();
    doc.SelectRootAsStationary();
    doc.ApplyEdit("New automaton", 0, kRewind | kPlace | kFitCamera, [] {});
    return true;
}

std::string writeChainFile(const ChainPlan& plan, const std::string& path) {
    CRotundelDoc doc;
    if (!makeChainDocument(doc, plan)) return "the automaton could not be built";
    DocResult r = doc.SaveDocument(path);
    if (r) return {};
    return r.message.empty() ? r.reason : r.message;
}
