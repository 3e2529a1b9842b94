// Waiting for the running window's render thread to draw.
#pragma once
#include <QtTest>
#include <cstdint>

#include "viewopenglmt.h"

// True once the view has drawn the given number of further frames. A still
// picture is not drawn again unless asked for, so each wait asks again.
inline bool waitForFrames(ViewOpenGLmt* view, int frames, int ms = 5000) {
    std::int64_t start = view->framesDrawn();
    return QTest::qWaitFor(
        [&] {
            view->requestFrame();
            return view->framesDrawn() >= start + frames;
        },
        ms);
}
