// Edit feedback timing.
#include "flashtimer.h"

#include "document.h"

void FlashTimer::advance(Document& doc, std::int64_t now) {
    if (!doc.flashActive) return;
    double frequency = doc.counterFrequency > 0 ? static_cast<double>(doc.counterFrequency) : 1.0;
    // The first frame of a flash only starts the clock: the interval before
    // it belongs to whatever happened before the edit.
    doc.flashInterval = doc.flashLastCounter ? (now - doc.flashLastCounter) / frequency : 0.0;
    doc.flashLastCounter = now;
    if (!doc.flashStarted) {
        doc.flashStarted = 1;
        doc.flashElapsed = 0;
        return;
    }
    doc.flashElapsed += doc.flashInterval;
    if (doc.flashElapsed >= doc.flashDuration) {
        doc.flashStarted = 0;
        doc.flashActive = 0;
    }
}
