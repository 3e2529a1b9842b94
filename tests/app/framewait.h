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

// True once half a second passes without a frame (a frame asked for earlier
// may still be on its way on a busy machine); false when the view never
// stops drawing.
inline bool waitUntilQuiet(View3D* view, int ms = kPatience) {
    QDeadlineTimer deadline(ms);
    while (!deadline.hasExpired()) {
        std::int64_t n = view->framesDrawn();
        QTest::qWait(500);
        if (view->framesDrawn() == n) return true;
    }
    return false;
}
