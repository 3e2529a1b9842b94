// Curves from the command line: random automata (same seed, same bytes;
// each one draws), design by symmetry, and the invariants of the examples.
#include <gtest/gtest.h>

#include <set>

#include "commandtest.h"
#include "curveinvariants.h"
#include "imagefile.h"

namespace {

class CurvesCommand : public CommandTest {
  protected:
    CurvesCommand() : CommandTest("rotundel-curves", "") {}
    std::string bytes(const fs::path& p) {
        std::ifstream in(p, std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }
};

TEST_F(CurvesCommand, RandomAutomataRepeatByTheirSeedAndDraw) {
    for (int seed : {1, 7, 42, 1234567}) {
        SCOPED_TRACE(seed);
        fs::path a = dir / "a.one", b = dir / "b.one", png = dir / "a.png";
        const std::string s = std::to_string(seed);
        ASSERT_EQ(run("new --random --seed " + s + " " + quote(a.string())), 0) << err;
        ASSERT_EQ(run("new --force --random --seed " + s + " " + quote(b.string())), 0) << err;
        EXPECT_EQ(bytes(a), bytes(b));
        Outcome r = execute("render " + quote(a.string()) + " -o " + quote(png.string()) +
                            " --width 160 --height 120");
        if (r.status == 1 && r.err.find("OpenGL") != std::string::npos) GTEST_SKIP() << r.err;
        ASSERT_EQ(r.status, 0) << r.err;
        RgbaImage img;
        std::string error;
        ASSERT_TRUE(ImageFile::read(png.string(), &img, &error)) << error;
        int drawn = 0;
        for (int y = 0; y < img.height; ++y)
            for (int x = 0; x < img.width; ++x) drawn += img.at(x, y)[1] < 200;
        EXPECT_GT(drawn, img.width * img.height / 100);
        fs::remove(a);
        fs::remove(b);
    }
}

// The candidates have the order asked for, and their files sample the
// curve finely enough to show it: the sampled path swings out from the
// axis as many times as the exact curve has lobes (at the default accuracy
// a 24-fold curve got one sample a lobe and looked like another shape).
TEST_F(CurvesCommand, DesignWritesCandidatesOfTheOrderAskedFor) {
    for (int order : {6, 24}) {
        fs::path out = dir / ("out" + std::to_string(order));
        ASSERT_EQ(run("design --symmetry " + std::to_string(order) + " --levels 3 --count 4 -o " +
                      quote(out.string())),
                  0)
            << err;
        int files = 0;
        for (const auto& e : fs::directory_iterator(out)) {
            SCOPED_TRACE(e.path().filename().string());
            Document doc;
            ASSERT_TRUE(doc.openDocument(e.path().string()).ok);
            doc.step();
            for (const CurveInvariants& c : doc.curves()) {
                if (c.point == 0) continue;  // the centres' curves have orders of their own
                EXPECT_EQ(c.symmetry.order, order);
                const auto& path =
                    doc.findSphereByName(c.sphere)->points[static_cast<std::size_t>(c.point)].path;
                const std::size_t n = path.size();
                auto r = [&](std::size_t i) { return std::hypot(path[i % n].x, path[i % n].y); };
                int maxima = 0;
                for (std::size_t i = 0; i < n; ++i)
                    maxima += r(i + 1) > r(i) && r(i + 1) >= r(i + 2);
                EXPECT_EQ(maxima, c.lobes) << n << " samples";
            }
            ++files;
        }
        EXPECT_EQ(files, 4);
    }
    const fs::path out = dir / "refused";
    EXPECT_EQ(run("design --symmetry 25 -o " + quote(out.string())), 2);
    // One-fold is no symmetry to design for, here as in the window and Python.
    EXPECT_EQ(run("design --symmetry 1 -o " + quote(out.string())), 2);
    EXPECT_EQ(run("new --seed 3 " + quote((dir / "c.one").string())), 2);
}

// A refused save says the system's reason, and design writes all its
// candidates or none: a read-only candidate among them leaves the folder
// as it was.
TEST_F(CurvesCommand, RefusedSavesSayWhyAndDesignWritesAllOrNone) {
    const fs::path out = dir / "out", locked = dir / "r.one", file = dir / "file";
    fs::create_directory(out);
    for (const fs::path& p : {out / "symmetry6-levels3-02.one", locked, file}) {
        std::ofstream(p) << "old";
        fs::permissions(p, fs::perms::owner_read);
    }
    struct Case {
        std::string args;
        std::string says;
    } cases[] = {
        {"new --force --random --seed 3 " + quote(locked.string()), "(Permission denied)."},
        {"design --symmetry 6 --count 3 -o " + quote(out.string()),
         "symmetry6-levels3-02.one: Permission denied."},
        {"design --symmetry 6 --count 3 -o " + quote(file.string()), "not a folder"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args);
        EXPECT_EQ(run(c.args), 1) << err;
        EXPECT_NE(err.find(c.says), std::string::npos) << err;
        EXPECT_EQ(err.find(".."), std::string::npos) << err;
    }
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(out)) names.insert(e.path().filename().string());
    EXPECT_EQ(names, std::set<std::string>{"symmetry6-levels3-02.one"});
    for (const fs::path& p : {out / "symmetry6-levels3-02.one", locked, file})
        EXPECT_EQ(bytes(p), "old");
}

TEST_F(CurvesCommand, EveryExampleHoldsItsClaims) {
    for (const auto& entry : fs::directory_iterator(ROTUNDEL_EXAMPLES_DIR)) {
        if (entry.path().extension() != ".one") continue;
        SCOPED_TRACE(entry.path().filename().string());
        Document doc;
        ASSERT_TRUE(doc.openDocument(entry.path().string()).ok);
        doc.step();
        for (const CurveInvariants& c : doc.curves())
            if (c.checked) EXPECT_LT(c.checkError, kSymmetryTolerance) << c.sphere << c.point;
    }
}

// The flower's six spheres are one sphere turned by 60 degrees about the
// axis each: their curves are one curve turned, with the same invariants,
// mirrors included (epicycloids are mirror symmetric).
TEST_F(CurvesCommand, TheFlowersTurnedCurvesReadAlike) {
    Document doc;
    ASSERT_TRUE(doc.openDocument(std::string(ROTUNDEL_EXAMPLES_DIR) + "/flower.one").ok);
    doc.step();
    const std::vector<CurveInvariants> curves = doc.curves();
    ASSERT_EQ(curves.size(), 6u);
    for (const CurveInvariants& c : curves) {
        SCOPED_TRACE(c.sphere);
        const CurveInvariants& b = curves.front();
        EXPECT_TRUE(c.mirror);
        EXPECT_EQ(curveShape(c), curveShape(b));
        EXPECT_EQ(c.lobes, b.lobes);
        EXPECT_EQ(c.cusp, b.cusp);
        EXPECT_NEAR(c.length, b.length, 1e-9 * b.length);
        EXPECT_NEAR(c.reach, b.reach, 1e-9 * b.reach);
    }
}

}  // namespace
