// Frame drawing: mono and anaglyph frames, lights, and images rendered into
// framebuffer objects.
#include "framerenderer.h"

#include <cmath>

#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>
#include <GL/glu.h>

#include "identitymatrices.h"
#include "offscreentarget.h"

namespace {
void setMask(const ColourMask& m) {
    glColorMask(m[0], m[1], m[2], GL_TRUE);
}
void openAllChannels() {
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
}

// Fixed in the scene: set after the camera.
void lightPositions() {
    const GLfloat p0[] = {0, -10000, 0, 1};
    const GLfloat p1[] = {0, 0, -10000, 1};
    const GLfloat p2[] = {0, -10000, 10000, 1};
    glLightfv(GL_LIGHT0, GL_POSITION, p0);
    glLightfv(GL_LIGHT1, GL_POSITION, p1);
    glLightfv(GL_LIGHT2, GL_POSITION, p2);
}
}  // namespace

FrameRenderer::FrameRenderer(Options options)
    : options_(options), spheres_(options.mode, options.textures, options.report) {}

FrameRenderer::~FrameRenderer() {
    overlay_.release();
    spheres_.release();
}

void FrameRenderer::initialState() {
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_CULL_FACE);
    glEnable(GL_TEXTURE_2D);
    glFrontFace(GL_CCW);
    glEnable(GL_LIGHTING);
    glShadeModel(GL_SMOOTH);
    const GLfloat ambient[] = {0.15f, 0.15f, 0.15f, 0};
    const GLfloat diffuse[] = {0.4f, 0.4f, 0.4f, 0};
    const GLfloat diffuse2[] = {0.2f, 0.2f, 0.2f, 0};
    for (GLenum light : {GL_LIGHT0, GL_LIGHT1, GL_LIGHT2}) glLightfv(light, GL_AMBIENT, ambient);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, diffuse);
    glLightfv(GL_LIGHT1, GL_DIFFUSE, diffuse);
    glLightfv(GL_LIGHT2, GL_DIFFUSE, diffuse2);
    glEnable(GL_LIGHT0);
    glEnable(GL_LIGHT1);
    glDisable(GL_LIGHT2);
    glEnable(GL_COLOR_MATERIAL);
    glColorMaterial(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glClearColor(0, 0, 0, 0);
}

std::optional<AnaglyphMasks> FrameRenderer::anaglyphMasks(int scheme) {
    constexpr ColourMask red{true, false, false}, green{false, true, false},
        blue{false, false, true}, cyan{false, true, true};
    switch (scheme) {
        case 1:
            return AnaglyphMasks{red, blue};
        case 2:
            return AnaglyphMasks{red, green};
        case 3:
            return AnaglyphMasks{red, cyan};
        case 4:
            return AnaglyphMasks{blue, red};
        case 5:
            return AnaglyphMasks{green, red};
        case 6:
            return AnaglyphMasks{cyan, red};
        default:
            return std::nullopt;
    }
}

void FrameRenderer::loadCamera(const CameraSetup& c, const Arcball* ball, int height) {
    // The frustum's height at the distance of the point looked at, in pixels.
    const double span = (c.top - c.bottom) * length(c.eye - c.center) / c.nearDistance;
    pixelsPerUnit_ = span > 0 && std::isfinite(span) ? height / span : 0;
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glFrustum(c.left, c.right, c.bottom, c.top, c.nearDistance, c.farDistance);
    if (options_.windowBuffers) {
        // Without stereo buffers both eyes share the one back buffer and the
        // colour masks keep them apart; selecting a missing right buffer
        // would only raise an error.
        GLboolean stereoBuffers = GL_FALSE;
        glGetBooleanv(GL_STEREO, &stereoBuffers);
        glDrawBuffer(c.rightBuffer && stereoBuffers ? GL_BACK_RIGHT : GL_BACK_LEFT);
    }
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    gluLookAt(c.eye.x, c.eye.y, c.eye.z, c.center.x, c.center.y, c.center.z, c.up.x, c.up.y,
              c.up.z);
    if (c.applyOrientation && ball) glMultMatrixd(ball->orientationMatrix().data());
}

bool FrameRenderer::scene(Automaton& a, const FrameSettings& s) {
    lightPositions();
    DrawOptions o;
    o.stereo = s.stereo != 0;
    o.flashActive = s.flashActive;
    o.flashPointIndex = s.flashPointIndex;
    o.axisDrawFactor = s.axisDrawFactor;
    o.lightBackground = lightBackground_;
    o.rolling = s.rolling;
    o.curvesOnly = s.curvesOnly;
    o.stop = s.stop;
    o.pixelsPerUnit = pixelsPerUnit_;
    return spheres_.drawAutomaton(a, o);
}

bool FrameRenderer::drawFrame(Automaton& a, const FrameSettings& s, CameraRig& rig,
                              const Arcball* ball, int width, int height) {
    if (s.stereo && lightBackground_) {
        // The eyes' pictures are added onto each other, which only works on
        // black: on white the second eye would add to channels already at
        // their top. So the anaglyph is drawn exactly as the window draws
        // it and then turned into its negative, which puts each eye's
        // picture, darkened into its own channels, on a white ground.
        GLfloat clear[4];
        glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
        glClearColor(0, 0, 0, 0);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        lightBackground_ = false;
        bool drawn = anaglyphFrame(a, s, rig, ball, width, height);
        lightBackground_ = true;
        invertPicture();
        glClearColor(clear[0], clear[1], clear[2], clear[3]);
        return drawn;
    }
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    if (s.stereo) return anaglyphFrame(a, s, rig, ball, width, height);
    glDisable(GL_BLEND);
    loadCamera(rig.mono(s.camera, width, height), ball, height);
    if (!scene(a, s)) return false;
    if (ball) overlay_.draw(*ball);
    return true;
}

bool FrameRenderer::drawSmoothFrame(Automaton& a, const FrameSettings& s, CameraRig& rig,
                                    const Arcball* ball, int width, int height) {
    // Quad-buffered stereo draws each eye into its own window buffer,
    // which a framebuffer object has not: those frames go as they are.
    GLboolean stereoBuffers = GL_FALSE;
    if (options_.windowBuffers) glGetBooleanv(GL_STEREO, &stereoBuffers);
    if (smoothTarget_ && (smoothTarget_->width() != width || smoothTarget_->height() != height)) {
        smoothTarget_.reset();
        smoothFailed_ = false;
    }
    if (!smoothTarget_ && !smoothFailed_ && !stereoBuffers) {
        smoothTarget_ = OffscreenTarget::create(width, height, nullptr);
        if (smoothTarget_ && smoothTarget_->samples() == 0) smoothTarget_.reset();
        smoothFailed_ = !smoothTarget_;
    }
    if (!smoothTarget_ || stereoBuffers) return drawFrame(a, s, rig, ball, width, height);
    smoothTarget_->bind();
    bool windowBuffers = options_.windowBuffers;
    options_.windowBuffers = false;  // a framebuffer object has no back buffers
    bool drawn = drawFrame(a, s, rig, ball, width, height);
    options_.windowBuffers = windowBuffers;
    if (drawn)
        smoothTarget_->present();
    else
        smoothTarget_->unbind();
    return drawn;
}

bool FrameRenderer::anaglyphFrame(Automaton& a, const FrameSettings& s, CameraRig& rig,
                                  const Arcball* ball, int width, int height) {
    auto masks = anaglyphMasks(s.anaglyphScheme);
    glDisable(GL_BLEND);
    openAllChannels();
    if (masks) setMask(masks->first);
    loadCamera(rig.stereo(s.camera, 1, width, height), ball, height);
    bool drawn = scene(a, s);
    glFlush();
    openAllChannels();
    if (!drawn) return false;

    glClear(GL_DEPTH_BUFFER_BIT);
    // The second eye's picture is added onto the first.
    glEnable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ONE);
    if (masks) setMask(masks->second);
    loadCamera(rig.stereo(s.camera, 0, width, height), ball, height);
    drawn = scene(a, s);
    glFlush();
    openAllChannels();
    glDisable(GL_BLEND);
    return drawn;
}

void FrameRenderer::invertPicture() {
    // A white square over the whole viewport, blended as 1 - destination.
    glPushAttrib(GL_ENABLE_BIT | GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_CURRENT_BIT);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_LIGHTING);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_CULL_FACE);
    glEnable(GL_BLEND);
    glBlendFunc(GL_ONE_MINUS_DST_COLOR, GL_ZERO);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_FALSE);
    {
        IdentityMatrices square;
        glColor4f(1, 1, 1, 1);
        glBegin(GL_QUADS);
        glVertex2f(-1, -1);
        glVertex2f(1, -1);
        glVertex2f(1, 1);
        glVertex2f(-1, 1);
        glEnd();
    }
    glPopAttrib();
}

std::optional<RgbaImage> FrameRenderer::renderImage(Automaton& a, const FrameSettings& s,
                                                    CameraRig& rig, const Arcball* ball,
                                                    int width, int height,
                                                    const std::array<float, 4>& background,
                                                    std::string* error) {
    auto target = OffscreenTarget::create(width, height, error);
    if (!target) return std::nullopt;
    GLfloat clear[4];
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
    target->bind();
    // An anaglyph on a light ground is drawn on black and turned into its
    // negative by drawFrame, so every picture keeps the requested ground.
    const std::array<float, 4>& ground = background;
    glClearColor(ground[0], ground[1], ground[2], ground[3]);
    bool windowBuffers = options_.windowBuffers;
    options_.windowBuffers = false;  // a framebuffer object has no back buffers
    lightBackground_ = ground[0] + ground[1] + ground[2] > 1.5f;
    drawFrame(a, s, rig, ball, width, height);
    lightBackground_ = false;
    options_.windowBuffers = windowBuffers;
    RgbaImage image = target->read();
    target->unbind();
    glClearColor(clear[0], clear[1], clear[2], clear[3]);
    return image;
}
