// Pixels of frames rendered without a window: backgrounds, bodies, axes,
// anaglyph channels, paths, textures, the display-list bookkeeping, and
// the rolling spheres with their partly traced paths.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <array>
#include <memory>

#include "headlessrenderer.h"
#include "offscreentarget.h"
#include "rollingtimeline.h"
#include "scene.h"

namespace {
constexpr int kW = 160, kH = 120;

class Render : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        std::string error;
        FrameRenderer::Options o;
        o.report = [](const std::string& m) { reports().push_back(m); };
        renderer() = HeadlessRenderer::create(o, &error);
        if (!renderer()) skipReason() = error;
    }
    static void TearDownTestSuite() { renderer().reset(); }
    void SetUp() override {
        if (!renderer()) GTEST_SKIP() << skipReason();
        reports().clear();
        ball.setWindowSize(kW, kH);
    }
    static std::unique_ptr<HeadlessRenderer>& renderer() {
        static std::unique_ptr<HeadlessRenderer> r;
        return r;
    }
    static std::string& skipReason() {
        static std::string s;
        return s;
    }
    static std::vector<std::string>& reports() {
        static std::vector<std::string> r;
        return r;
    }

    RgbaImage draw(Automaton& a, const FrameSettings& s,
                   const std::array<float, 4>& bg = FrameRenderer::kImageBackground, int w = kW,
                   int h = kH) {
        std::string error;
        auto img = renderer()->render(a, s, rig, &ball, w, h, bg, &error);
        EXPECT_TRUE(img.has_value()) << error;
        return img ? *img : RgbaImage{};
    }

    CameraRig rig;
    Arcball ball{0.7, unitquaternion(0.872664625997, {1, 0, 0})};
};

struct Channels {
    int maxR = 0, maxG = 0, maxB = 0;
    int differing = 0;  // pixels not equal to the corner pixel
};
Channels survey(const RgbaImage& img) {
    Channels c;
    const auto* corner = img.at(0, 0);
    for (int y = 0; y < img.height; ++y)
        for (int x = 0; x < img.width; ++x) {
            const auto* p = img.at(x, y);
            c.maxR = std::max<int>(c.maxR, p[0]);
            c.maxG = std::max<int>(c.maxG, p[1]);
            c.maxB = std::max<int>(c.maxB, p[2]);
            if (p[0] != corner[0] || p[1] != corner[1] || p[2] != corner[2]) ++c.differing;
        }
    return c;
}
void setAll(Scene& a, int surface, bool axes) {
    forEachPreOrder(a.root, [&](Sphere& s) {
        s.surface = surface;
        s.showRevolutionAxis = s.showRotationAxis = s.showPerpendicularAxis = s.showGreatCircle =
            axes;
        s.showPointPaths = 0;
    });
}
}  // namespace

TEST_F(Render, EmptyAutomatonGivesTheBackgroundOnly) {
    struct Case {
        std::array<float, 4> background;
        int want;
    } cases[] = {{FrameRenderer::kImageBackground, 255}, {FrameRenderer::kWindowBackground, 0}};
    for (const auto& c : cases) {
        Scene a;
        RgbaImage img = draw(a, FrameSettings{}, c.background);
        ASSERT_EQ(img.width, kW);
        ASSERT_EQ(img.height, kH);
        Channels ch = survey(img);
        EXPECT_EQ(ch.differing, 0);
        EXPECT_EQ(img.at(0, 0)[0], c.want);
        EXPECT_EQ(img.at(kW - 1, kH - 1)[2], c.want);
    }
}

TEST_F(Render, RootColourAtTheCentreOfTheStarter) {
    struct Case {
        const char* what;
        int surface;
        std::array<float, 4> background;
    } cases[] = {
        {"transparent on black", 1, FrameRenderer::kWindowBackground},
        {"transparent on white", 1, FrameRenderer::kImageBackground},
        {"opaque on white", 0, FrameRenderer::kImageBackground},
        {"opaque on black", 0, FrameRenderer::kWindowBackground},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Scene a;
        Scene::starter(a);
        a.root->surface = c.surface;
        RgbaImage img = draw(a, starterSettings(a), c.background);
        // Off the axis lines: a few pixels left of and below the centre.
        const auto* p = img.at(kW / 2 - 6, kH / 2 + 8);
        EXPECT_GT(p[0], 40);
        EXPECT_GT(p[0], 2 * p[1]) << int(p[0]) << "," << int(p[1]) << "," << int(p[2]);
        EXPECT_GT(p[0], 2 * p[2]);
    }
}

TEST_F(Render, NoneDrawsNoBodyButStillTheAxes) {
    struct Case {
        int surface;
        bool axes;
        bool wantSomething;
    } cases[] = {{4, false, false}, {4, true, true}, {0, false, true}, {2, false, true}};
    for (const auto& c : cases) {
        Scene a;
        Scene::starter(a);
        setAll(a, c.surface, c.axes);
        RgbaImage img = draw(a, starterSettings(a), FrameRenderer::kWindowBackground);
        Channels ch = survey(img);
        EXPECT_EQ(ch.differing > 0, c.wantSomething) << c.surface << " " << c.axes;
        if (c.surface == 4 && c.axes) {
            // Lines only: the body would cover a good part of the picture.
            EXPECT_LT(ch.differing, kW * kH / 10);
        }
    }
}

TEST_F(Render, AnaglyphSchemesLightOnlyTheirChannels) {
    struct Case {
        int scheme;
        bool r, g, b;  // channels that must show something
    } cases[] = {
        {1, true, false, true}, {2, true, true, false}, {3, true, true, true},
        {4, true, false, true}, {5, true, true, false}, {6, true, true, true},
    };
    for (const auto& c : cases) {
        Scene a;
        Scene::starter(a);
        setAll(a, 0, true);
        FrameSettings s = starterSettings(a);
        s.stereo = 1;
        s.anaglyphScheme = c.scheme;
        Channels ch = survey(draw(a, s, FrameRenderer::kWindowBackground));
        EXPECT_EQ(ch.maxR > 0, c.r) << "scheme " << c.scheme;
        EXPECT_EQ(ch.maxG > 0, c.g) << "scheme " << c.scheme;
        EXPECT_EQ(ch.maxB > 0, c.b) << "scheme " << c.scheme;
    }
}

TEST_F(Render, AnaglyphOnWhiteStillShowsTwoEyes) {
    Scene a;
    Scene::starter(a);
    setAll(a, 0, true);
    FrameSettings s = starterSettings(a);
    s.stereo = 1;
    RgbaImage img = draw(a, s);
    int redDiffers = 0;
    for (int y = 0; y < img.height; ++y)
        for (int x = 0; x < img.width; ++x)
            if (img.at(x, y)[0] != img.at(x, y)[2]) ++redDiffers;
    EXPECT_GT(redDiffers, 0);
    EXPECT_GT(survey(img).differing, 0);
}

TEST_F(Render, SavedAnaglyphShowsEachEyeDarkInItsOwnChannels) {
    // Channel that shows each eye alone, and one that neither eye uses (-1
    // when the pair covers all three).
    struct Case {
        int scheme, first, second, unused;
    } cases[] = {{1, 0, 2, 1}, {2, 0, 1, 2}, {3, 0, 1, -1},
                 {4, 2, 0, 1}, {5, 1, 0, 2}, {6, 1, 0, -1}};
    for (const auto& c : cases) {
        SCOPED_TRACE("scheme " + std::to_string(c.scheme));
        Scene a;
        Scene::starter(a);  // see-through bodies with their tubes
        forEachPreOrder(a.root, [](Sphere& x) { x.showPointPaths = 1; });
        FrameSettings s = starterSettings(a);
        s.stereo = 1;
        s.anaglyphScheme = c.scheme;
        RgbaImage img = draw(a, s);
        EXPECT_EQ(img.at(0, 0)[0] + img.at(0, 0)[1] + img.at(0, 0)[2], 3 * 255);
        // Where each eye darkens its channel, and where only one of them
        // does: the eyes look from two places, so their pictures differ.
        int dark[2] = {0, 0}, oneEyeOnly = 0, unusedDark = 0;
        for (int y = 0; y < img.height; ++y)
            for (int x = 0; x < img.width; ++x) {
                const auto* p = img.at(x, y);
                bool first = p[c.first] < 160, second = p[c.second] < 160;
                dark[0] += first;
                dark[1] += second;
                oneEyeOnly += first != second;
                if (c.unused >= 0 && p[c.unused] < 250) ++unusedDark;
            }
        EXPECT_GT(dark[0], 100);
        EXPECT_GT(dark[1], 100);
        EXPECT_GT(oneEyeOnly, 20);
        EXPECT_EQ(unusedDark, 0);
    }
}

TEST_F(Render, ListsAreCompiledOnlyWhenStale) {
    Scene a;
    Scene::starter(a);
    FrameSettings s = starterSettings(a);
    SphereDrawer& spheres = renderer()->frames().spheres();
    std::uint64_t before = spheres.compilations();
    RgbaImage first = draw(a, s);
    std::uint64_t afterFirst = spheres.compilations();
    EXPECT_EQ(afterFirst - before, 4u);  // body and paths of A and B
    RgbaImage second = draw(a, s);
    EXPECT_EQ(spheres.compilations(), afterFirst);
    EXPECT_EQ(first.pixels, second.pixels);
    // The frame update marks them stale again; an edit of colour alone makes
    // the body list of that sphere stale too.
    a.update();
    draw(a, s);
    EXPECT_EQ(spheres.compilations(), afterFirst + 4);
    a.root->color = 0x00FF0000;
    draw(a, s);
    // The body of A; tubes take their colour when drawn.
    EXPECT_EQ(spheres.compilations(), afterFirst + 5);
}

TEST_F(Render, NewSphereIsNotDrawnBeforeItsFirstUpdate) {
    Scene a;
    Scene::starter(a);
    FrameSettings s = starterSettings(a);
    RgbaImage withTwo = draw(a, s);
    a.add("C", a.root);  // never placed
    RgbaImage withNew = draw(a, s);
    EXPECT_EQ(withTwo.pixels, withNew.pixels);
}

TEST_F(Render, PathsAndFlashArrowShow) {
    struct Case {
        const char* what;
        bool paths;
        bool flash;
        int point;
        bool wantChange;
    } cases[] = {
        {"paths", true, false, 0, true},
        {"flash of point 1", false, true, 1, true},
        {"flash of the centre", false, true, 0, false},
        {"flash of a point nobody has", false, true, 5, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Scene a;
        Scene::starter(a);
        forEachPreOrder(a.root, [](Sphere& x) {
            x.showPointPaths = 0;
            x.surface = 4;
            x.showRevolutionAxis = x.showRotationAxis = x.showPerpendicularAxis = 0;
            x.showGreatCircle = 0;
        });
        a.root->addPoint(90, 90, 3);
        FrameSettings s = starterSettings(a);
        s.camera.cameraDistance *= 2;
        RgbaImage plain = draw(a, s, FrameRenderer::kWindowBackground);
        forEachPreOrder(a.root, [&](Sphere& x) { x.showPointPaths = c.paths; });
        a.update();
        s.flashActive = c.flash;
        s.flashPointIndex = c.point;
        RgbaImage shown = draw(a, s, FrameRenderer::kWindowBackground);
        EXPECT_EQ(plain.pixels != shown.pixels, c.wantChange);
    }
}

TEST_F(Render, TexturedSphereShowsTheDefaultPicture) {
    Scene a;
    Scene::starter(a);
    setAll(a, 0, false);
    FrameSettings s = starterSettings(a);
    RgbaImage opaque = draw(a, s);
    a.root->surface = 3;
    RgbaImage textured = draw(a, s);
    EXPECT_TRUE(reports().empty()) << reports().front();
    EXPECT_NE(opaque.pixels, textured.pixels);
    // The default map is mostly blue and green, the root red.
    const auto* p = textured.at(kW / 2 - 6, kH / 2 + 8);
    EXPECT_LT(p[0], p[1] + p[2]);
}

TEST_F(Render, UnreadableTextureIsReportedOnceAndLeavesTheSphereUntextured) {
    struct Case {
        const char* file;
    } cases[] = {{"no-such-picture.bmp"}, {"../../../../etc/passwd"}, {"/dev/zero"}, {""}};
    for (const auto& c : cases) {
        reports().clear();
        Scene a;
        Scene::starter(a);
        setAll(a, 3, false);
        forEachPreOrder(a.root, [&](Sphere& x) { x.textureFile = c.file; });
        FrameSettings s = starterSettings(a);
        RgbaImage img = draw(a, s);
        draw(a, s);
        EXPECT_EQ(reports().size(), 1u) << c.file;
        // Untextured: drawn white under the lights, so grey, no hue.
        const auto* p = img.at(kW / 2 - 6, kH / 2 + 8);
        EXPECT_EQ(p[0], p[1]) << c.file;
        EXPECT_EQ(p[1], p[2]) << c.file;
    }
}

TEST_F(Render, OneShotRendererLeavesTheBookkeepingAlone) {
    Scene a;
    Scene::starter(a);
    std::string error;
    auto img = HeadlessRenderer::renderOnce(a, starterSettings(a), rig, &ball, 64, 48, "", &error);
    ASSERT_TRUE(img.has_value()) << error;
    EXPECT_EQ(img->width, 64);
    EXPECT_EQ(img->height, 48);
    EXPECT_GT(survey(*img).differing, 0);
}

TEST_F(Render, ImpossibleSizesAreRefused) {
    struct Case {
        int w, h;
    } cases[] = {{0, 10}, {10, 0}, {-5, 5}, {100000, 10}, {16384, 16384}};
    for (const auto& c : cases) {
        Scene a;
        std::string error;
        auto img = renderer()->render(a, FrameSettings{}, rig, &ball, c.w, c.h, &error);
        EXPECT_FALSE(img.has_value()) << c.w << "x" << c.h;
        EXPECT_FALSE(error.empty());
    }
    // And the renderer still works afterwards.
    Scene a;
    EXPECT_EQ(draw(a, FrameSettings{}).width, kW);
}

TEST_F(Render, NewSphereInTheSlotOfADestroyedOneIsNotDrawnWithItsLists) {
    Scene a;
    Scene::starter(a);
    FrameSettings s = starterSettings(a);
    RgbaImage twoSpheres = draw(a, s);
    Sphere& c = a.add("C", a.root);
    c.color = 0x0000FF00;
    a.update();
    RgbaImage three = draw(a, s);
    ASSERT_NE(three.pixels, twoSpheres.pixels);
    markDoomed(a, c);
    a.destroyInProgress = 1;
    destroySubtree(a, &c);
    a.destroyInProgress = 0;
    // Often at the same address as C; never placed yet.
    Sphere& d = a.add("D", a.root);
    d.color = 0x0000FF00;
    RgbaImage after = draw(a, s);
    EXPECT_EQ(after.pixels, twoSpheres.pixels);
}

TEST_F(Render, ConstraintGuidesShowInMonoFramesOnly) {
    struct Case {
        const char* what;
        bool ctrl, shift, drawConstraints;
        int stereo;
        bool wantGreen;
    } cases[] = {
        {"camera axes", true, false, true, 0, true},
        {"body axes", false, true, true, 0, true},
        {"plain press", false, false, true, 0, false},
        {"guides switched off", true, false, false, 0, false},
        {"anaglyph frame", true, false, true, 1, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Scene a;  // empty: only the guides can be green
        Arcball guide(0.7);
        guide.setWindowSize(kW, kH);
        guide.setDrawConstraints(c.drawConstraints);
        guide.setConstraintMode(c.ctrl ? 1 : c.shift ? 2 : 0);
        guide.buttonDown(kW / 2, kH / 2);
        guide.buttonUp();
        FrameSettings s;
        s.stereo = c.stereo;
        std::string error;
        auto img =
            renderer()->render(a, s, rig, &guide, kW, kH, FrameRenderer::kWindowBackground, &error);
        ASSERT_TRUE(img) << error;
        int green = 0;
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < kW; ++x) {
                const auto* p = img->at(x, y);
                if (p[1] > 150 && p[0] < 40 && p[2] < 40) ++green;
            }
        EXPECT_EQ(green > 0, c.wantGreen) << green;
        if (c.wantGreen) {
            // The cross of the camera axes passes through the centre.
            // (It falls on a pixel boundary: either column may carry it, or,
            // multisampled, both share it.)
            if (c.ctrl) EXPECT_GT(img->at(kW / 2, kH / 4)[1] + img->at(kW / 2 - 1, kH / 4)[1], 150);
        }
    }
}

TEST_F(Render, StationarySphereHasNoPartsThatNeedANeighbour) {
    struct Case {
        bool stationaryIsChild;
        bool wantSomething;
    } cases[] = {{false, false}, {true, true}};
    for (const auto& c : cases) {
        Scene a;
        Scene::starter(a);
        Sphere* b = a.sphereTable[1];
        forEachPreOrder(a.root, [](Sphere& x) {
            x.surface = 4;
            x.showRotationAxis = x.showPerpendicularAxis = x.showPointPaths = 0;
            x.showRevolutionAxis = x.showGreatCircle = x.showCentersLine = 0;
        });
        // Only the root asks for the parts drawn towards its neighbour; as the
        // stationary sphere it has none.
        a.root->showRevolutionAxis = a.root->showGreatCircle = a.root->showCentersLine = 1;
        if (c.stationaryIsChild) a.stationarySphere = b;
        a.update();
        RgbaImage img = draw(a, starterSettings(a), FrameRenderer::kWindowBackground);
        EXPECT_EQ(survey(img).differing > 0, c.wantSomething) << c.stationaryIsChild;
    }
}

TEST_F(Render, SavedImagesAreAntiAliased) {
    // A white triangle with a slanted edge on black: multisampling leaves
    // grey pixels along the edge, which a single sample never does.
    ASSERT_TRUE(renderer()->makeCurrent());
    std::string error;
    auto target = OffscreenTarget::create(64, 64, &error);
    ASSERT_TRUE(target) << error;
    target->bind();
    glPushAttrib(GL_ENABLE_BIT | GL_COLOR_BUFFER_BIT);
    glDisable(GL_LIGHTING);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
    glDisable(GL_TEXTURE_2D);
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glColor3ub(255, 255, 255);
    glBegin(GL_TRIANGLES);
    glVertex2d(-0.9, -0.9);
    glVertex2d(0.9, -0.7);
    glVertex2d(-0.8, 0.9);
    glEnd();
    glPopAttrib();
    RgbaImage img = target->read();
    target->unbind();
    int partial = 0;
    for (int y = 0; y < img.height; ++y)
        for (int x = 0; x < img.width; ++x)
            if (img.at(x, y)[0] > 0 && img.at(x, y)[0] < 255) ++partial;
    EXPECT_GE(target->samples(), 2);
    EXPECT_GT(partial, 20);
}

TEST_F(Render, ThinnedTubesLookLikeTubesWithARingAtEverySample) {
    // Dense samples on a thick tube and on a thin one: leaving samples out
    // moves the centre line by a tenth of the tube's radius at most, which
    // shows only as single pixels along the edges.
    struct Case {
        const char* what;
        double step;
        Rational factor;
    } cases[] = {{"thick tube", 0.002, {1, 2}}, {"thin tube", 0.0005, {1, 9}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Scene a;
        Scene::starter(a);
        Sphere& b = *a.sphereTable[1];
        b.setRadiusFactor(c.factor.numerator(), c.factor.denominator());
        b.addPoint(30, 60, 1.5);
        a.pathStep = c.step;
        a.update();
        FrameSettings s = starterSettings(a);
        const auto& black = FrameRenderer::kWindowBackground;
        RgbaImage drawn = draw(a, s, black);
        SphereDrawer& spheres = renderer()->frames().spheres();
        spheres.setFullTubes(true);
        spheres.invalidate();
        RgbaImage full = draw(a, s, black);
        spheres.setFullTubes(false);
        spheres.invalidate();
        int off = 0, tube = 0;
        for (std::size_t i = 0; i < drawn.pixels.size(); i += 4) {
            int d = 0;
            for (std::size_t ch = 0; ch < 3; ++ch)
                d = std::max(d, std::abs(int(drawn.pixels[i + ch]) - int(full.pixels[i + ch])));
            off += d > 48;
            tube += full.pixels[i] + full.pixels[i + 1] + full.pixels[i + 2] > 0;
        }
        EXPECT_GT(tube, kW * kH / 20);
        EXPECT_LE(off, tube / 50) << off << " of " << tube;
    }
}

// A path that closes a million times a period fills its whole sample
// budget: a picture draws it with no more triangles than a few hundred
// thousand (a small picture) or about its pixels (a large one), and says it
// made the tubes coarser. (Periods past the sample budget's turns are not
// drawn at all.)
TEST_F(Render, PicturesDrawTubesWithinTheirPixels) {
    Scene a;
    Scene::starter(a);
    a.sphereTable[1]->setRadiusFactor(999983, 2);
    a.update();
    FrameSettings s = starterSettings(a);
    struct Case {
        int w, h;
        std::size_t most, least;
    } cases[] = {{kW, kH, 300'000, 1}, {1200, 1000, 1'000'000, 1}};
    SphereDrawer& spheres = renderer()->frames().spheres();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.w);
        draw(a, s, FrameRenderer::kImageBackground, c.w, c.h);
        EXPECT_LE(spheres.tubeTriangles(), c.most);
        EXPECT_GE(spheres.tubeTriangles(), c.least);
        EXPECT_TRUE(spheres.tubesCoarsened());
    }
    spheres.setTubeTriangleBudget(SphereDrawer::kTubeTriangleBudget);
}

TEST_F(Render, RollingSpheresAndPartlyTracedPaths) {
    // Compared with the still picture with paths ("still") or without them
    // ("bare"); near = all but a few edge pixels alike.
    struct Case {
        const char* what;
        double fraction;
        double shown;  // share of each path drawn; < 0: as far as the clock has come
        bool faint;
        bool againstStill;
        bool near;
    } cases[] = {
        {"start, rest hidden: no path yet", 0, -1, false, false, true},
        {"start, rest faint", 0, -1, true, false, false},
        {"start, faint is not the whole path", 0, -1, true, true, false},
        {"start, whole path: the still picture", 0, 1, false, true, true},
        {"half way, the child has rolled on", 0.5, 1, false, true, false},
    };
    auto differing = [](const RgbaImage& a, const RgbaImage& b) {
        int n = 0;
        for (std::size_t i = 0; i + 3 < a.pixels.size(); i += 4)
            for (std::size_t c = 0; c < 3; ++c)
                if (std::abs(a.pixels[i + c] - b.pixels[i + c]) > 8) {
                    ++n;
                    break;
                }
        return n;
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Scene a;
        Scene::starter(a);
        FrameSettings s = starterSettings(a);
        RgbaImage still = draw(a, s, FrameRenderer::kWindowBackground);
        forEachPreOrder(a.root, [](Sphere& x) { x.showPointPaths = 0; });
        RgbaImage bare = draw(a, s, FrameRenderer::kWindowBackground);
        forEachPreOrder(a.root, [](Sphere& x) { x.showPointPaths = 1; });

        RollingTimeline timeline(a);
        timeline.place(a, c.fraction);
        DrawOptions::Rolling rolling;
        rolling.faintRest = c.faint;
        rolling.pathShown = [&](const Sphere& x) {
            return c.shown >= 0 ? c.shown : timeline.pathShown(x, c.fraction);
        };
        s.rolling = &rolling;
        RgbaImage rolled = draw(a, s, FrameRenderer::kWindowBackground);
        int off = differing(rolled, c.againstStill ? still : bare);
        if (c.near)
            EXPECT_LE(off, kW * kH / 200);
        else
            EXPECT_GT(off, kW * kH / 100);
    }
}

// The window's frames: moving ones plain, the still one multisampled into a
// framebuffer of its own and copied onto the plain one. The still frame
// after movement is the picture a multisampled image gets from the start.
TEST_F(Render, StillFrameAfterMovementEqualsTheMultisampledPicture) {
    Scene a;
    Scene::starter(a);
    FrameSettings s = starterSettings(a);
    const RgbaImage smoothFromStart = draw(a, s, FrameRenderer::kWindowBackground);
    renderer()->makeCurrent();
    std::string error;
    auto window = OffscreenTarget::create(kW, kH, &error, 0);
    ASSERT_TRUE(window) << error;
    FrameRenderer& frames = renderer()->frames();
    window->bind();
    glClearColor(0, 0, 0, 0);
    ASSERT_TRUE(frames.drawFrame(a, s, rig, &ball, kW, kH));
    const RgbaImage moving = window->read();
    ball.setWindowSize(kW, kH);
    ASSERT_TRUE(frames.drawSmoothFrame(a, s, rig, &ball, kW, kH));
    const RgbaImage still = window->read();
    window->unbind();
    glClearColor(0, 0, 0, 0);
    EXPECT_EQ(still.pixels, smoothFromStart.pixels);
    EXPECT_NE(moving.pixels, still.pixels);  // the edges differ
}
