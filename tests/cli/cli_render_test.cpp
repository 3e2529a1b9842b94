// The `rotundel render` command, run as the user runs it: images of the
// size and type asked for, and one clear sentence with the right exit
// status for every kind of failure.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "commandtest.h"
#include "document.h"
#include "imagefile.h"

namespace {
class RenderCommand : public CommandTest {
  protected:
    RenderCommand() : CommandTest("rotundel-cli", "render") {}
};

int lines(const std::string& s) {
    int n = 0;
    for (char c : s) n += c == '\n';
    return n;
}
}  // namespace

TEST_F(RenderCommand, WritesTheSizeAndTypeAskedFor) {
    std::string doc = document("a.one");
    struct Case {
        std::string out;
        std::string size;
        int w, h;
    } cases[] = {
        {"a.png", "", 640, 480},
        {"b.jpg", "--width 320 --height 200", 320, 200},
        {"c.BMP", "--width=100", 100, 75},  // one side alone keeps 4:3
        {"e.png", "--height 300", 400, 300},
        {"d.tif", "--height 64 --width 48", 48, 64},
    };
    for (const auto& c : cases) {
        fs::path out = dir / c.out;
        Outcome r = execute(quote(doc) + " -o " + quote(out.string()) + " " + c.size);
        if (r.status == 1 && r.err.find("OpenGL") != std::string::npos) GTEST_SKIP() << r.err;
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.err, "");
        RgbaImage img;
        std::string error;
        ASSERT_TRUE(ImageFile::read(out.string(), &img, &error)) << error;
        EXPECT_EQ(img.width, c.w) << c.out;
        EXPECT_EQ(img.height, c.h) << c.out;
        // White background, something drawn in the middle.
        EXPECT_GT(img.at(0, 0)[0], 245);
        EXPECT_GT(img.at(0, 0)[2], 245);
        bool drawn = false;
        for (int y = 0; y < img.height && !drawn; ++y)
            for (int x = 0; x < img.width && !drawn; ++x) drawn = img.at(x, y)[1] < 200;
        EXPECT_TRUE(drawn) << c.out;
    }
}

// The camera frames the whole drawing: spheres with their radii and the
// traced paths with their tubes, so no drawn pixel touches the border.
TEST_F(RenderCommand, EveryExampleDrawsSomethingWhollyInView) {
    std::vector<fs::path> documents;
    for (const auto& entry : fs::directory_iterator(ROTUNDEL_EXAMPLES_DIR))
        if (entry.path().extension() == ".one") documents.push_back(entry.path());
    EXPECT_GE(documents.size(), 12u);
    // A child inside its parent, and one a thousand times larger.
    documents.push_back(
        document("inside.one", [](Document& d) { d.findSphereByName("B")->inside = 1; }));
    documents.push_back(document(
        "huge.one", [](Document& d) { d.findSphereByName("B")->setRadiusFactor(1000, 1); }));
    for (const fs::path& doc : documents) {
        const std::string name = doc.filename().string();
        fs::path out = dir / (name + ".png");
        Outcome r = execute(quote(doc.string()) + " -o " + quote(out.string()) +
                            " --width 160 --height 120");
        if (r.status == 1 && r.err.find("OpenGL") != std::string::npos) GTEST_SKIP() << r.err;
        ASSERT_EQ(r.status, 0) << name << ": " << r.err;
        RgbaImage img;
        std::string error;
        ASSERT_TRUE(ImageFile::read(out.string(), &img, &error)) << error;
        // More than a speck: at least a twentieth of the picture is drawn.
        int drawn = 0, onBorder = 0;
        for (int y = 0; y < img.height; ++y)
            for (int x = 0; x < img.width; ++x) {
                bool ink = img.at(x, y)[0] < 235 || img.at(x, y)[1] < 235 || img.at(x, y)[2] < 235;
                drawn += ink;
                onBorder += ink && (x == 0 || y == 0 || x == img.width - 1 || y == img.height - 1);
            }
        EXPECT_GT(drawn, img.width * img.height / 20) << name;
        EXPECT_EQ(onBorder, 0) << name;
    }
}

TEST_F(RenderCommand, StereoDocumentGivesATwoColourPicture) {
    std::string doc = document("s.one", [](Document& d) {
        d.stereo = 1;
        d.anaglyphScheme = 1;
        for (Sphere* s : d.sphereTable)
            if (s) s->surface = 0;
    });
    fs::path out = dir / "s.png";
    Outcome r = execute(quote(doc) + " -o " + quote(out.string()));
    if (r.status == 1 && r.err.find("OpenGL") != std::string::npos) GTEST_SKIP() << r.err;
    ASSERT_EQ(r.status, 0) << r.err;
    RgbaImage img;
    std::string error;
    ASSERT_TRUE(ImageFile::read(out.string(), &img, &error)) << error;
    int redOnly = 0;
    for (int y = 0; y < img.height; ++y)
        for (int x = 0; x < img.width; ++x)
            if (img.at(x, y)[0] < 250 && img.at(x, y)[2] > 250) ++redOnly;
    EXPECT_GT(redOnly, 0);
}

TEST_F(RenderCommand, FailuresSayWhyInOneSentence) {
    std::string doc = document("a.one");
    fs::path damaged = dir / "damaged.one";
    std::ofstream(damaged, std::ios::binary) << std::string("\x07\x00\x00\x00garbage", 11);
    fs::path png = dir / "out.png";
    struct Case {
        const char* what;
        std::string args;
        std::string env;
        int status;
        std::string mentions;
    } cases[] = {
        {"missing document", quote((dir / "none.one").string()) + " -o " + quote(png.string()), "",
         1, "none.one"},
        {"damaged document", quote(damaged.string()) + " -o " + quote(png.string()), "", 1,
         "damaged.one"},
        {"unwritable image", quote(doc) + " -o " + quote((dir / "no" / "x.png").string()), "", 1,
         "x.png"},
        {"no OpenGL", quote(doc) + " -o " + quote(png.string()),
         "__EGL_VENDOR_LIBRARY_FILENAMES=/nonexistent.json", 1, "OpenGL"},
        {"no output", quote(doc), "", 2, "-o"},
        {"unknown type", quote(doc) + " -o x.gif", "", 2, "x.gif"},
        {"zero width", quote(doc) + " -o x.png --width 0", "", 2, "width"},
        {"word for height", quote(doc) + " -o x.png --height tall", "", 2, "height"},
        {"huge width", quote(doc) + " -o x.png --width 99999", "", 2, "width"},
        {"two documents", quote(doc) + " " + quote(doc) + " -o x.png", "", 2, "one document"},
        {"unknown option", quote(doc) + " -o x.png --depth 3", "", 2, "--depth"},
        {"nothing", "", "", 2, "document"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Outcome r = execute(c.args, c.env);
        EXPECT_EQ(r.status, c.status) << r.err;
        EXPECT_NE(r.err.find(c.mentions), std::string::npos) << r.err;
        EXPECT_EQ(lines(r.err), 1) << r.err;
    }
    EXPECT_FALSE(fs::exists(png));
}

// --view shows the automaton as a plotter page does: top down the axis with
// y up, side with y to the right. B is turned to +y, so its body lies above
// the picture's centre from the top and right of it from the side; the
// document's own slanted camera is the default.
TEST_F(RenderCommand, ViewsTurnTheCameraAsPlotterPagesDo) {
    std::string doc = document("y.one", [](Document& d) {
        d.findSphereByName("B")->initialRevolution = 90;
        d.applyEdit("Turn", 0, kPlace | kRewind, [] {});
    });
    struct Case {
        const char* view;
        int right, up;  // the sign of B's offset from the centre
    } cases[] = {{"top", 0, 1}, {"side", 1, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.view);
        fs::path out = dir / (std::string(c.view) + ".png");
        Outcome r = execute(quote(doc) + " -o " + quote(out.string()) +
                            " --width 200 --height 200 --view " + c.view);
        if (r.status == 1 && r.err.find("OpenGL") != std::string::npos) GTEST_SKIP() << r.err;
        ASSERT_EQ(r.status, 0) << r.err;
        RgbaImage img;
        std::string error;
        ASSERT_TRUE(ImageFile::read(out.string(), &img, &error)) << error;
        // B's orange against A's red: the centroid of the orange pixels.
        double sx = 0, sy = 0, n = 0;
        for (int y = 0; y < img.height; ++y)
            for (int x = 0; x < img.width; ++x) {
                const auto* p = img.at(x, y);
                if (p[0] > 150 && p[1] > 90 && p[1] < 200 && p[2] < 120) sx += x, sy += y, ++n;
            }
        ASSERT_GT(n, 50);
        const double dx = sx / n - img.width / 2.0, dy = img.height / 2.0 - sy / n;
        EXPECT_EQ(dx > 10, c.right == 1) << dx;
        EXPECT_EQ(dy > 10, c.up == 1) << dy;
    }
    Outcome r = execute(quote(doc) + " -o " + quote((dir / "x.png").string()) + " --view under");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("--view needs top, front, side or camera"), std::string::npos) << r.err;
}
