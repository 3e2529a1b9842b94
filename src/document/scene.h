// What the window draws: an immutable copy of the automaton at one revision
// of the document, with the view settings of that moment. The document
// publishes one after every change; the render thread takes the newest at
// the start of a frame and never touches the document's own spheres.
#pragma once

#include <cstdint>
#include <memory>

#include "automaton.h"
#include "geometry.h"

struct Scene {
    std::uint64_t revision = 0;
    // Never changed once published: a thread that works on it (places it,
    // samples its paths) makes a copy of its own (copyAutomaton).
    std::shared_ptr<const Automaton> automaton;

    // The settings a frame reads, under the document's own field names, so
    // that frameSettingsOf takes a scene as it takes a document. The camera
    // distance and the arcball are read live: a drag is no edit.
    std::int32_t viewFromStationary = 1;
    std::int32_t keepInView = 0;
    std::int32_t stereo = 0;
    std::int32_t anaglyphScheme = 1;
    bool curvesOnly = false;
    int movieFrameCount = 100;
    Vec3 orbitTarget;
    double axisDrawFactor = 0.20000000298023224;
    double cameraDistance = -40.0;
    int flashActive = 0;
    int flashPointIndex = 0;
};
