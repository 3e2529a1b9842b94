// The arcball's constraint guides, drawn over a mono frame in normalised
// device coordinates.
#pragma once

#include "arcball.h"

class BallOverlay {
  public:
    BallOverlay() = default;
    // Deletes the circle's list; its context must be current.
    ~BallOverlay() { release(); }
    BallOverlay(const BallOverlay&) = delete;
    BallOverlay& operator=(const BallOverlay&) = delete;

    // Draws the guides of ball when it shows them: a circle and a cross for
    // the camera axes, three circles turned with the automaton for the body
    // axes. Leaves the matrices and the state as it found them.
    void draw(const Arcball& ball);
    void release();

  private:
    unsigned ballList_ = 0;  // the circle, built at first use in this context
    double listRadius_ = 0;
};
