// The edit feedback's clock: after an edit of a point the render thread
// shows the point's arrow for flashDuration seconds of frames.
#pragma once

#include <cstdint>

class Document;

class FlashTimer {
  public:
    // One frame's step on the render thread, with the counter's reading now
    // (counterFrequency ticks per second). Clears flashActive once the
    // elapsed time reaches flashDuration.
    static void advance(Document& doc, std::int64_t counterNow);
};
