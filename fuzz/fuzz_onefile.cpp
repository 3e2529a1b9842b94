// libFuzzer target for the automaton file reader: whatever the bytes, the
// reader either refuses them with its message or yields an automaton that
// places, computes its paths, and saves to a file that reads back the same.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "crotundeldoc.h"
#include "onefile.h"
#include "placement.h"
#include "sphere.h"

namespace {

// Names the program itself never makes: a line break, or the marker that
// files use for "no sphere"; or two spheres of one name where a link goes
// to the second, which no file can say (saving refuses such a document).
// Such files read, but need not read back.
bool namesStorable(const CRotundelDoc& doc) {
    for (const Sphere* s : doc.sphereTable)
        if (s && !CRotundelDoc::IsStorableName(s->name)) return false;
    return doc.unstorableLink() == nullptr;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    CRotundelDoc fresh;
    try {
        OneFile::read(bytes, fresh);
    } catch (const FileFormatError&) {
        return 0;
    } catch (const bad_rational&) {
        return 0;
    }

    // What opening does once a file has been read.
    CRotundelDoc doc;
    doc.sampleBudget = 2'000;  // keep each run short; the budget logic is what matters
    doc.AdoptContents(fresh);
    doc.SetPathAccuracy();
    if (doc.stationarySphere) {
        doc.RewindDynamics();
        reset(doc);
        doc.FitCameraDistance();
    }
    doc.Step();
    doc.Step();  // a dynamic automaton moves on

    // Write, read, write: the same bytes.
    std::string first = OneFile::write(doc);
    CRotundelDoc again;
    try {
        OneFile::read(std::string_view(first), again);
    } catch (const std::exception&) {
        if (namesStorable(doc)) std::abort();
        return 0;
    }
    if (namesStorable(doc) && OneFile::write(again) != first) std::abort();

    // Construction on what was read.
    doc.SelectSphere(doc.sphereTable[static_cast<std::size_t>(size % CRotundelDoc::kTableSize)]);
    if (size % 3 == 0) doc.DestroySphere();
    doc.CreateSphere();
    doc.Step();
    return 0;
}
