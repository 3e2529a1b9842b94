// One frame of the automaton, the same for the window, saved images and the
// command line: clear, then either the mono picture (camera, lights,
// automaton, arcball guides) or the two anaglyph passes.
//
// Threads: the thread whose OpenGL context is current; the automaton must
// not change meanwhile (the window draws a copy of its own).
#pragma once

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "automaton.h"
#include "balloverlay.h"
#include "camerarig.h"
#include "arcball.h"
#include "offscreentarget.h"
#include "rgbaimage.h"
#include "spheredrawer.h"

// The document's settings that a frame reads.
struct FrameSettings {
    CameraSettings camera;
    int stereo = 0;
    int anaglyphScheme = 1;  // 1..6; any other value leaves every channel open
    bool flashActive = false;
    int flashPointIndex = 0;
    double axisDrawFactor = 0.20000000298023224;
    bool curvesOnly = false;  // the traced curves alone, without spheres and axes
    // Set while the automaton rolls (not owned): the spheres are drawn where
    // the last placement put them, the paths as far as they have come.
    const DrawOptions::Rolling* rolling = nullptr;
    // Asked between spheres and while long tube lists compile: true gives
    // the frame up (the window's thread has somebody waiting for it).
    std::function<bool()> stop;
};

// The settings of a frame as a document holds them (any type with the
// document's field names: the renderer does not depend on the document), so
// that the window, "Save image" and the command line draw the same frame.
template <class Document>
FrameSettings frameSettingsOf(const Document& doc) {
    FrameSettings s;
    s.camera.viewFromStationary = doc.viewFromStationary;
    s.camera.cameraDistance = doc.cameraDistance;
    s.camera.movieFrameCount = doc.movieFrameCount;
    s.camera.orbitTarget = doc.orbitTarget;
    s.stereo = doc.stereo;
    s.anaglyphScheme = doc.anaglyphScheme;
    s.flashActive = doc.flashActive != 0;
    s.flashPointIndex = doc.flashPointIndex;
    s.axisDrawFactor = doc.axisDrawFactor;
    if constexpr (requires { doc.curvesOnly; }) s.curvesOnly = doc.curvesOnly;
    return s;
}

// Red, green, blue channel switches of one eye.
using ColourMask = std::array<bool, 3>;
struct AnaglyphMasks {
    ColourMask first, second;
};

class FrameRenderer {
  public:
    struct Options {
        SphereDrawer::Mode mode = SphereDrawer::Mode::Primary;
        TextureFinder textures;
        SphereDrawer::Report report;
        // Drawing into a window's back buffers (not a framebuffer object):
        // the eyes select the left and, where it exists, the right buffer.
        bool windowBuffers = false;
    };

    static constexpr std::array<float, 4> kWindowBackground{0, 0, 0, 0};
    static constexpr std::array<float, 4> kImageBackground{1, 1, 1, 0};

    explicit FrameRenderer(Options options);
    // Deletes this renderer's OpenGL objects; its context must be current.
    ~FrameRenderer();
    FrameRenderer(const FrameRenderer&) = delete;
    FrameRenderer& operator=(const FrameRenderer&) = delete;

    // The state every context starts with: depth test, back faces culled,
    // 2-D texturing, lighting with colour material, the three lights, and
    // the window's black background.
    static void initialState();
    // The colour masks of an anaglyph scheme; empty outside 1..6.
    static std::optional<AnaglyphMasks> anaglyphMasks(int scheme);

    // Draws a frame into the current framebuffer, whose viewport the caller
    // has set to width x height. ball may be null (no orientation, no guides).
    // False when the settings' stop gave the frame up half drawn.
    bool drawFrame(Automaton& a, const FrameSettings& s, CameraRig& rig,
                   const Arcball* ball, int width, int height);

    // The same frame drawn with its edges smoothed: into a multisampled
    // framebuffer object, then copied onto the framebuffer bound now (the
    // window's back buffer). False as drawFrame, and when this context
    // cannot smooth (the frame is then drawn plainly).
    bool drawSmoothFrame(Automaton& a, const FrameSettings& s, CameraRig& rig,
                         const Arcball* ball, int width, int height);

    // Renders a frame at width x height into a framebuffer object of the
    // current context, on the white background of saved images, and reads
    // it back. The window's framebuffer, viewport and clear colour are left
    // as they were. Empty with *error set when the context cannot do it.
    std::optional<RgbaImage> renderImage(Automaton& a, const FrameSettings& s, CameraRig& rig,
                                         const Arcball* ball, int width, int height,
                                         std::string* error) {
        return renderImage(a, s, rig, ball, width, height, kImageBackground, error);
    }
    // The same on another background.
    std::optional<RgbaImage> renderImage(Automaton& a, const FrameSettings& s, CameraRig& rig,
                                         const Arcball* ball, int width, int height,
                                         const std::array<float, 4>& background,
                                         std::string* error);

    SphereDrawer& spheres() { return spheres_; }
    void setDocumentFolder(const std::string& folder) { spheres_.setDocumentFolder(folder); }

  private:
    void loadCamera(const CameraSetup& c, const Arcball* ball, int height);
    bool scene(Automaton& a, const FrameSettings& s);
    bool anaglyphFrame(Automaton& a, const FrameSettings& s, CameraRig& rig,
                       const Arcball* ball, int width, int height);
    // Replaces every pixel of the current framebuffer by its negative.
    void invertPicture();

    Options options_;
    SphereDrawer spheres_;
    BallOverlay overlay_;
    bool lightBackground_ = false;  // while rendering onto a white image
    double pixelsPerUnit_ = 0;      // of the camera loaded last
    // The multisampled framebuffer of smooth frames, kept while the size
    // stays; null once it could not be made.
    std::unique_ptr<OffscreenTarget> smoothTarget_;
    bool smoothFailed_ = false;
};
