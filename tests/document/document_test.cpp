// The document's own operations: path accuracy, camera fit, clearing,
// opening and saving files, and the modified flag.
#include "document.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>

#include "atomicfile.h"
#include "fakes.h"
#include "filebuilder.h"
#include "onefile.h"
#include "placement.h"
#include "savewatch.h"
#include "sphere.h"

namespace fs = std::filesystem;

namespace {

class TempDir {
  public:
    TempDir() {
        path_ =
            fs::temp_directory_path() /
            ("rotundel-doc-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
             "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(path_);
        fs::create_directories(path_);
    }
    ~TempDir() {
        std::error_code ec;
        fs::permissions(path_, fs::perms::owner_all, ec);
        fs::remove_all(path_, ec);
    }
    std::string file(const std::string& name) const { return (path_ / name).string(); }
    const fs::path& path() const { return path_; }

  private:
    fs::path path_;
};

void writeBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

std::string readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace

TEST(Document, PathAccuracyGivesThePathStep) {
    const std::pair<int, double> cases[] = {
        {0, 0.5}, {50, 0.25005}, {100, 0.0001}, {-20, 0.5}, {250, 0.0001}};
    for (auto [accuracy, step] : cases) {
        Document doc;
        doc.pathAccuracy = accuracy;
        doc.setPathAccuracy();
        EXPECT_DOUBLE_EQ(doc.pathStep, step) << accuracy;
    }
}

TEST(Document, CameraFitsTheAutomaton) {
    Document doc;
    doc.createSphere();
    double theta = 45.0 * 0.5 / 360.0 * 6.28318530718;
    // Only the root, at the origin: framed by its own radius, not viewed
    // from its centre.
    EXPECT_EQ(doc.cameraDistance, -1.1111111111111112 * 1.0 / std::sin(theta));
    // Spheres with their radii: B's far side, and B inside A leaves A's.
    doc.createSphere();
    EXPECT_EQ(doc.cameraDistance, -1.1111111111111112 * 2.0 / std::sin(theta));
    doc.findSphereByName("B")->inside = 1;
    doc.applyEdit("Edit", 0, kRewind | kPlace | kFitCamera, [] {});
    EXPECT_EQ(doc.cameraDistance, -1.1111111111111112 * 1.0 / std::sin(theta));
    // A point beyond B's surface traces a path the fit takes in once the
    // frame has computed it.
    doc.selectRootAsStationary();
    doc.findSphereByName("B")->points[0].quantumDistance = 3;
    doc.applyEdit("Edit", 0, kRewind | kPlace | kFitCamera, [] {});
    const double spheresOnly = doc.cameraDistance;
    doc.step();
    EXPECT_LT(doc.cameraDistance, spheresOnly);
    EXPECT_GE(doc.cameraDistance, -1.1111111111111112 * (0.5 + 1.5 + 0.075) / std::sin(theta));
    // A point so far out that its path reaches past what doubles hold: the
    // distance stays finite, so the document still saves and reads back.
    doc.findSphereByName("B")->points[0].quantumDistance = 1.7e308;
    doc.applyEdit("Edit", 0, kRewind | kPlace | kFitCamera, [] {});
    doc.step();
    EXPECT_TRUE(std::isfinite(doc.cameraDistance));
    Document again;
    EXPECT_NO_THROW(OneFile::read(std::string_view(OneFile::write(doc)), again));
    doc.clearContents();
    doc.fitCameraDistance();
    EXPECT_EQ(doc.cameraDistance, 0.0);
}

TEST(Document, ClearingKeepsTheViewChoicesButNotStereo) {
    Document doc;
    doc.newDocument();
    doc.viewFromStationary = 0;
    doc.keepInView = 1;
    doc.pathAccuracy = 80;
    doc.movieFrameCount = 200;
    doc.imageWidth = doc.imageHeight = 800;
    doc.stereo = 1;
    doc.anaglyphScheme = 5;
    doc.makeTemplate(doc.selectedSphere);
    doc.clearContents();
    EXPECT_EQ(doc.viewFromStationary, 0);
    EXPECT_EQ(doc.keepInView, 1);
    EXPECT_EQ(doc.pathAccuracy, 80);
    EXPECT_EQ(doc.movieFrameCount, 200);
    EXPECT_EQ(doc.imageWidth, 800);
    EXPECT_EQ(doc.stereo, 0);
    EXPECT_EQ(doc.anaglyphScheme, 1);
    EXPECT_EQ(doc.cameraDistance, -40.0);
    EXPECT_EQ(doc.sphereCount, 0);
    EXPECT_EQ(doc.templateSphere, nullptr);
    EXPECT_EQ(doc.referenceChild, nullptr);  // it pointed at a freed sphere
    EXPECT_EQ(doc.nextNameLetter, 'A');
    for (Sphere* s : doc.sphereTable) EXPECT_EQ(s, nullptr);
}

TEST(Document, ImageDialogValuesMakeSquareImages) {
    struct Case {
        int width, frames;
        bool accepted;
    };
    const Case cases[] = {{800, 200, true},   {50, 10, true},  {1600, 1000, true}, {49, 100, false},
                          {1601, 100, false}, {800, 9, false}, {800, 1001, false}};
    for (const Case& c : cases) {
        Document doc;
        EXPECT_EQ(doc.setImageSizeAndFrames(c.width, c.frames), c.accepted);
        EXPECT_EQ(doc.imageWidth, c.accepted ? c.width : 640);
        EXPECT_EQ(doc.imageHeight, c.accepted ? c.width : 480);
        EXPECT_EQ(doc.movieFrameCount, c.accepted ? c.frames : 100);
    }
}

TEST(Document, NewDocumentPathOfBHasThirtySevenSamples) {
    Document doc;
    doc.newDocument();
    PathPassResult r = doc.step();
    EXPECT_TRUE(r.completed);
    EXPECT_EQ(doc.pathsUpToDate, 1);
    EXPECT_EQ(doc.findSphereByName("B")->points[0].path.size(), 37u);
}

TEST(Document, StepReportsTheProgressOfALongPathComputation) {
    Document doc;
    doc.newDocument();
    doc.findSphereByName("B")->addPoint(30, 60, 2);
    doc.pathAccuracy = 100;  // the finest step: tens of thousands of samples
    doc.setPathAccuracy();
    doc.pathsUpToDate = 0;
    std::vector<double> seen;
    PathPassResult r = doc.step([&](double f) { seen.push_back(f); });
    ASSERT_TRUE(r.completed);
    ASSERT_FALSE(seen.empty());
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
    EXPECT_NEAR(seen.back(), 1.0, 1e-9);
}

TEST(Document, SaveThenOpenRestoresTheAutomaton) {
    TempDir dir;
    Document doc;
    doc.newDocument();
    doc.createSphere()->addPoint(3, 4, 5);
    doc.pathAccuracy = 100;
    ASSERT_TRUE(doc.isModified());
    std::string path = dir.file("three.one");
    ASSERT_TRUE(doc.saveDocument(path));
    EXPECT_FALSE(doc.isModified());
    EXPECT_EQ(readBytes(path), OneFile::write(doc));
    // Nothing but the target is left in the folder.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);

    Document other;
    RecordingObserver seen;
    FakeRenderLink link;
    other.connectViews(&link, &seen);
    other.newDocument();
    other.createSphere();
    DocResult r = other.openDocument(path);
    ASSERT_TRUE(r) << r.message;
    EXPECT_EQ(other.sphereCount, 3);
    EXPECT_EQ(OneFile::write(other).substr(0, 100), OneFile::write(doc).substr(0, 100));
    EXPECT_EQ(other.pathStep, 0.0001);  // the file's accuracy applies
    EXPECT_FALSE(other.isModified());
    // The window draws what was opened: the newest scene is the file's.
    ASSERT_NE(other.scene(), nullptr);
    EXPECT_EQ(other.scene()->revision, other.revision());
    EXPECT_EQ(other.scene()->automaton->sphereCount, 3);
    EXPECT_EQ(seen.items.size(), 2u + 1u + 3u);  // new doc, its C, then the file's tree
    EXPECT_EQ(seen.selected.back(), "A");
    EXPECT_GE(seen.lightPageResets, 2);
    EXPECT_EQ(other.findSphereByName("C")->treeImage, int(other.findSphereByName("C")->color % 97));
    // The camera is fitted to what was opened, not taken from the file.
    Document fitted;
    fitted.newDocument();
    fitted.createSphere();
    EXPECT_EQ(other.cameraDistance, fitted.cameraDistance);
}

TEST(Document, AFailedOpenLeavesTheDocumentAsItWas) {
    TempDir dir;
    FileRecord cycle = FileBuilder::starter(-40.0);
    cycle.spheres[0].radiusRef = "B";
    FileRecord zero = FileBuilder::starter(-40.0);
    zero.spheres[1].rateDen = 0;
    struct Case {
        const char* what;
        std::function<std::string()> makePath;
        std::string message;
    };
    const Case cases[] = {
        {"missing file", [&] { return dir.file("missing.one"); }, "Failed to open document."},
        {"a folder", [&] { return dir.path().string(); }, "Failed to open document."},
        {"empty file",
         [&] {
             writeBytes(dir.file("empty.one"), "");
             return dir.file("empty.one");
         },
         "Unexpected file format."},
        {"radius cycle",
         [&] {
             writeBytes(dir.file("cycle.one"), FileBuilder::file(cycle));
             return dir.file("cycle.one");
         },
         "Unexpected file format."},
        {"zero denominator",
         [&] {
             writeBytes(dir.file("zero.one"), FileBuilder::file(zero));
             return dir.file("zero.one");
         },
         "Damaged file: a sphere's radius or rate in it divides by zero."},
        {"text file",
         [&] {
             writeBytes(dir.file("text.one"), "hello, this is not an automaton\n");
             return dir.file("text.one");
         },
         "Unexpected file format."},
    };
    for (const Case& c : cases) {
        Document doc;
        doc.newDocument();
        doc.createSphere();
        doc.pathAccuracy = 90;
        std::string before = OneFile::write(doc);
        Sphere* selected = doc.selectedSphere;
        DocResult r = doc.openDocument(c.makePath());
        EXPECT_FALSE(r) << c.what;
        EXPECT_EQ(r.message, c.message) << c.what;
        EXPECT_EQ(OneFile::write(doc), before) << c.what;
        EXPECT_EQ(doc.selectedSphere, selected) << c.what;
        EXPECT_TRUE(doc.isModified()) << c.what;
    }
}

TEST(Document, AFailedSaveLeavesTheOldFile) {
    TempDir dir;
    Document doc;
    doc.newDocument();
    std::string path = dir.file("kept.one");
    ASSERT_TRUE(doc.saveDocument(path));
    std::string before = readBytes(path);
    doc.createSphere();

    struct Case {
        const char* what;
        std::string path;
    };
    const Case cases[] = {
        {"missing folder", dir.file("no/such/folder/x.one")},
        {"target is a folder", dir.path().string()},
        {"no file name", dir.path().string() + "/"},
    };
    for (const Case& c : cases) {
        DocResult r = doc.saveDocument(c.path);
        EXPECT_FALSE(r) << c.what;
        EXPECT_EQ(r.message, "Failed to save document.") << c.what;
        EXPECT_TRUE(doc.isModified()) << c.what;
    }
    EXPECT_EQ(readBytes(path), before);
    // Nothing half-written is left beside it.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
}

// Saving to a link, to a read-only file, to a name at the file system's
// limit, and beside a temporary that a killed save left long ago.
TEST(Document, SaveFollowsLinksRefusesReadOnlyAndTidiesUp) {
    TempDir dir;
    Document doc;
    doc.newDocument();
    const std::string longName = std::string(255 - 4, 'n') + ".one";
    struct Case {
        const char* what;
        std::function<std::string()> prepare;  // gives the name to save to
        bool ok;
        std::string reason;
        std::function<void()> check;
    };
    const Case cases[] = {
        {"link",
         [&] {
             writeBytes(dir.file("real.one"), "old");
             fs::create_symlink("real.one", dir.file("link.one"));
             return dir.file("link.one");
         },
         true, "",
         [&] {
             EXPECT_TRUE(fs::is_symlink(dir.file("link.one")));
             EXPECT_EQ(readBytes(dir.file("real.one")), OneFile::write(doc));
         }},
        {"read-only",
         [&] {
             writeBytes(dir.file("ro.one"), "old");
             fs::permissions(dir.file("ro.one"), fs::perms::owner_read);
             return dir.file("ro.one");
         },
         false, "Permission denied", [&] { EXPECT_EQ(readBytes(dir.file("ro.one")), "old"); }},
        {"link loop",
         [&] {
             fs::create_symlink("loop-b.one", dir.file("loop-a.one"));
             fs::create_symlink("loop-a.one", dir.file("loop-b.one"));
             return dir.file("loop-a.one");
         },
         false, "Too many levels of symbolic links",
         [&] { EXPECT_TRUE(fs::is_symlink(dir.file("loop-a.one"))); }},
        // Root replacing another user's file keeps its owner and group, as
        // it keeps its mode (others cannot give a file away).
        {"another user's file",
         [&] {
             writeBytes(dir.file("theirs.one"), "old");
             if (::geteuid() == 0) EXPECT_EQ(::chown(dir.file("theirs.one").c_str(), 4321, 4322), 0);
             return dir.file("theirs.one");
         },
         true, "",
         [&] {
             struct stat st {};
             ASSERT_EQ(::stat(dir.file("theirs.one").c_str(), &st), 0);
             if (::geteuid() == 0) EXPECT_EQ(std::pair(st.st_uid, st.st_gid), std::pair(4321u, 4322u));
             EXPECT_EQ(readBytes(dir.file("theirs.one")), OneFile::write(doc));
         }},
        {"longest name", [&] { return dir.file(longName); }, true, "",
         [&] { EXPECT_EQ(readBytes(dir.file(longName)), OneFile::write(doc)); }},
        {"stale temporary",
         [&] {
             writeBytes(dir.file(".rt~0123abcd"), "left by a killed save");
             fs::last_write_time(dir.file(".rt~0123abcd"),
                                 fs::file_time_type::clock::now() - std::chrono::hours(1));
             writeBytes(dir.file(".rt~00fe5000"), "someone else's save under way");
             return dir.file("tidy.one");
         },
         true, "",
         [&] {
             EXPECT_FALSE(fs::exists(dir.file(".rt~0123abcd")));
             EXPECT_TRUE(fs::exists(dir.file(".rt~00fe5000")));
         }},
    };
    for (const Case& c : cases) {
        DocResult r = doc.saveDocument(c.prepare());
        EXPECT_EQ(bool(r), c.ok) << c.what << ": " << r.reason;
        EXPECT_EQ(r.reason, c.reason) << c.what;
        c.check();
    }
}

// A save killed at any moment leaves the old file or the new one, and
// nothing else. Each kill comes while the save is under way: once its work
// file holds a given share of the bytes.
TEST(Document, KilledSavesLeaveNothingBehind) {
    TempDir dir;
    const std::string target = dir.file("big.csv");
    writeBytes(target, "old");
    const std::string payload(8 << 20, 'x');
    auto save = [&] {
        AtomicFile f(target);
        if (!f.open()) return false;
        for (std::size_t at = 0; at < payload.size(); at += 1 << 16)
            f.write(std::string_view(payload).substr(at, 1 << 16));
        return f.commit();
    };
    ASSERT_TRUE(save());
    for (int kill = 0; kill < 12; ++kill) {
        pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) _exit(save() ? 0 : 1);
        const long long share = static_cast<long long>(payload.size()) * kill / 12;
        ASSERT_TRUE(waitForWork(child, dir.path(), share, {"big.csv"})) << "kill " << kill;
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
        std::size_t size = fs::file_size(target);
        EXPECT_EQ(size, payload.size()) << "kill " << kill;
        // Besides the target, at most names given for the instant between
        // link and rename, which a kill may just catch.
        for (const auto& entry : fs::directory_iterator(dir.path())) {
            std::string name = entry.path().filename().string();
            EXPECT_TRUE(entry.path() == fs::path(target) || name.rfind(".rt=", 0) == 0)
                << "kill " << kill << " left " << name;
        }
    }
    // The next save, once such a name is clearly not a save under way (its
    // change time, which nothing can set back, more than 2 s old), leaves
    // the target alone in its folder.
    auto linkStale = [&dir] {
        for (const auto& entry : fs::directory_iterator(dir.path())) {
            struct stat st {};
            const std::string name = entry.path().filename().string();
            if (name.rfind(".rt=", 0) == 0 && ::lstat(entry.path().c_str(), &st) == 0 &&
                ::time(nullptr) - st.st_ctim.tv_sec <= 2)
                return false;
        }
        return true;
    };
    while (!linkStale()) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ASSERT_TRUE(save());
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
}

TEST(Document, EveryEditMarksTheDocumentModified) {
    struct Case {
        const char* what;
        std::function<void(Document&)> edit;
        bool modified;
    };
    const Case cases[] = {
        {"nothing", [](Document&) {}, false},
        {"create", [](Document& d) { d.createSphere(); }, true},
        {"destroy", [](Document& d) { d.destroySphere(); }, true},
        {"rename", [](Document& d) { d.renameSphere(*d.root, "Sun"); }, true},
        {"page edit", [](Document& d) { d.applyEdit("Edit", 0, kPlace | kFitCamera, [] {}); },
         true},
        {"template", [](Document& d) { d.makeTemplate(d.root); }, false},
        {"select", [](Document& d) { d.selectSphere(d.root); }, false},
        {"step", [](Document& d) { d.step(); }, false},
        {"clear",
         [](Document& d) {
             d.createSphere();
             d.clearContents();
         },
         false},
    };
    for (const Case& c : cases) {
        Document doc;
        doc.newDocument();
        c.edit(doc);
        EXPECT_EQ(doc.isModified(), c.modified) << c.what;
    }
}
