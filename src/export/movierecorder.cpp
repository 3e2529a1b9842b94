// Rendering movie frames and handing them to the movie file.
#include "movierecorder.h"

#include "headlessrenderer.h"
#include "moviefile.h"
#include "offscreentarget.h"
#include "placement.h"
#include "relations.h"
#include "rollingtimeline.h"

MovieResult MovieRecorder::record(Automaton& a, FrameSettings settings, const Arcball* ball,
                                  const MovieRequest& request, const MovieControl& control) {
    MovieResult result;
    // Refused before the encoder takes memory for frames that could never
    // be rendered.
    if (static_cast<long long>(request.width) * request.height > OffscreenTarget::kMaxPixels) {
        result.error = "Movie frames of " + std::to_string(request.width) + " x " +
                       std::to_string(request.height) + " pixels are too large to render.";
        return result;
    }
    auto cancelled = [&] { return control.cancel && control.cancel->load(); };
    FrameRenderer::Options options;
    options.textures.setDocumentFolder(request.documentFolder);
    std::string error;
    auto renderer = HeadlessRenderer::create(options, &error);
    if (!renderer) {
        result.error = error;
        return result;
    }
    auto movie = MovieFile::create(request.output, request.width, request.height, &error);
    if (!movie) {
        result.error = error;
        return result;
    }
    CameraRig rig;
    rig.fovy = 45.0f;
    settings.camera = request.camera;
    PathPassControl pass;
    pass.stop = control.cancel;
    RollingTimeline timeline;
    DrawOptions::Rolling rolling;
    rolling.faintRest = request.faintRest;
    double fraction = 0;
    if (request.rolling) {
        rolling.pathShown = [&](const Sphere& s) { return timeline.pathShown(s, fraction); };
        settings.rolling = &rolling;
    }
    bool timelineReady = false;
    for (int k = 0; k < request.frames; ++k) {
        if (cancelled()) {
            result.cancelled = true;
            return result;
        }
        // The frame's own update: placement, dynamic step and paths, as a
        // window frame does it.
        PathPassResult update = frameUpdate(a, &pass);
        if (update.ran && !update.completed) {
            result.cancelled = true;
            return result;
        }
        if (request.rolling) {
            if (update.ran || !timelineReady) timeline = RollingTimeline(a);
            timelineReady = true;
            fraction = static_cast<double>(k) / request.frames;
            timeline.place(a, fraction);
        }
        auto image = renderer->render(a, settings, rig, ball, request.width, request.height,
                                      FrameRenderer::kWindowBackground, &error);
        if (!image || !movie->add(*image, &error)) {
            result.error = error;
            return result;
        }
        result.frames = k + 1;
        if (renderer->frames().spheres().tubesCoarsened()) result.tubesCoarsened = true;
        if (control.progress) control.progress(k + 1, request.frames);
    }
    if (request.rolling) timeline.place(a, 0);
    if (!movie->finish(&error)) {
        result.error = error;
        return result;
    }
    result.ok = true;
    return result;
}
