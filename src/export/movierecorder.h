// Movies of the automaton, rendered off-screen frame by frame: either the
// animation of the dynamic axes and the orbiting camera (each frame is one
// frame update and one camera set-up, so after the document's movie frame
// count the movie is back at its start), or one period of the rolling
// animation.
//
// Threads: the thread that calls record uses the automaton throughout and
// makes a headless OpenGL context of its own; nothing else may touch the
// automaton meanwhile (the window records a copy of its document).
#pragma once

#include <atomic>
#include <functional>
#include <string>

#include "arcball.h"
#include "automaton.h"
#include "framerenderer.h"

struct MovieRequest {
    std::string output;  // .mp4, .webm, .gif, or a folder of PNG frames
    int frames = 100;
    int width = 640, height = 480;
    bool rolling = false;
    bool faintRest = true;       // rolling: the untraced rest of each path, faintly
    std::string documentFolder;  // where textures are looked for first
    CameraSettings camera;       // the document's
};

struct MovieControl {
    const std::atomic<bool>* cancel = nullptr;
    // Frames written so far, of the total; on the recording thread.
    std::function<void(int done, int total)> progress;
};

struct MovieResult {
    bool ok = false;
    bool cancelled = false;
    std::string error;  // one sentence when neither ok nor cancelled
    int frames = 0;
    bool tubesCoarsened = false;  // the triangle budget made tubes coarser
};

class MovieRecorder {
  public:
    // settings: the document's frame settings; ball: its orientation (may
    // be null). The spheres' display-list flags are left for the window's
    // drawer to compile its own lists again.
    static MovieResult record(Automaton& a, FrameSettings settings, const Arcball* ball,
                              const MovieRequest& request, const MovieControl& control = {});
};
