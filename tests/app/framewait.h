// Waiting for the running window's render thread to draw.
#pragma once
#include <QtTest>
#include <cstdint>

#include "view3d.h"

// How long a window test waits for a condition before it gives up. Only a
// hung program should reach it: on a machine shared by many builds, a frame
// or a focus change can take seconds.
constexpr int kPatience = 60000;

// True once the view has drawn the given number of further frames. A still
// picture is not drawn again unless asked for, so each wait asks again.
inline bool waitForFrames(View3D* view, int frames, int ms = kPatience) {
    std::int64_t start = view->framesDrawn();
    return QTest::qWaitFor(
        [&] {
            view->requestFrame();
            return view->framesDrawn() >= start + frames;
        },
        ms);
}
