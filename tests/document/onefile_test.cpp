// The automaton file: the new document's exact bytes, the round trip, the
// reading rules, and damaged files.
#include "onefile.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <limits>
#include <sstream>

#include "document.h"
#include "filebuilder.h"
#include "relations.h"
#include "sphere.h"

namespace {

// The distance a new document's camera is fitted to: sphere "B" (radius
// 1/2) touches "A" (radius 1) from outside, so its far side is 2 away.
double starterCameraDistance() {
    double theta = 45.0 * 0.5 / 360.0 * 6.28318530718;
    return -1.1111111111111112 * 2.0 / std::sin(theta);
}

std::string readError(const std::string& bytes) {
    Document doc;
    try {
        OneFile::read(std::string_view(bytes), doc);
    } catch (const std::exception& e) {
        return e.what();
    }
    return "";
}

std::vector<std::string> names(Sphere* first, Sphere* (*next)(Sphere*)) {
    std::vector<std::string> out;
    for (Sphere* s = first; s; s = next(s)) out.push_back(s->name);
    return out;
}

}  // namespace

TEST(OneFile, NewDocumentBytesAreExact) {
    Document doc;
    doc.newDocument();
    std::string expected = FileBuilder::file(FileBuilder::starter(starterCameraDistance()));
    std::string written = OneFile::write(doc);
    ASSERT_EQ(written.size(), expected.size());
    EXPECT_EQ(written, expected);
    EXPECT_EQ(written.substr(0, 6), std::string("\x02\x00\x00\x00\x41\x0a", 6));
}

TEST(OneFile, CameraDistanceIsStoredLittleEndian) {
    Document doc;
    doc.newDocument();
    doc.cameraDistance = -40.0;
    std::string written = OneFile::write(doc);
    EXPECT_EQ(written.substr(written.size() - 8), std::string("\0\0\0\0\0\0\x44\xc0", 8));
}

TEST(OneFile, WriteReadWriteGivesTheSameBytes) {
    // An automaton that exercises every field: several levels, points,
    // inside and anti-clockwise spheres, dynamic settings, odd factors.
    Document doc;
    doc.newDocument();
    Sphere* b = doc.selectedSphere;
    b->addPoint(10, 20, 0.75);
    b->inside = 1;
    b->dynamic = 1;
    b->dynamicAxisZ = 1;
    b->dynamicForwardX = 0;
    b->initialSpin = 12.5;
    b->textureFile = "marble.bmp";
    b->surface = 3;
    Sphere* c = doc.createSphere();
    c->setRadiusFactor(-3, 7);
    c->setRollingRate(5, 3);
    c->antiClockwise = 1;
    c->axisAngleZ = 33;
    c->axisAngleX = -12.25;
    c->showCentersLine = 1;
    doc.selectSphere(doc.root);
    doc.createSphere();
    doc.stationarySphere = c;
    doc.keepInView = 1;
    doc.pathAccuracy = 77;
    doc.stereo = 1;
    doc.anaglyphScheme = 4;
    doc.viewFromStationary = 0;
    doc.reserved1 = 9;
    doc.reserved2 = -4;

    std::string first = OneFile::write(doc);
    Document again;
    OneFile::read(std::string_view(first), again);
    EXPECT_EQ(OneFile::write(again), first);
    EXPECT_EQ(again.stationarySphere->name, "C");
    EXPECT_EQ(again.referenceChild->name, "B");
    EXPECT_EQ(again.sphereCount, 4);
    ASSERT_EQ(again.root->firstChild()->name, "B");
    EXPECT_EQ(again.root->firstChild()->nextChild()->name, "D");
    EXPECT_EQ(again.findSphereByName("C")->parent->name, "B");
    EXPECT_EQ(again.findSphereByName("C")->radiusFactor, Rational(-3, 7));
    ASSERT_EQ(again.findSphereByName("B")->points.size(), 2u);
    EXPECT_EQ(again.findSphereByName("B")->points[1].quantumDistance, 0.75);
}

TEST(OneFile, StreamsReadAndWriteTheSameAsBuffers) {
    Document doc;
    doc.newDocument();
    std::stringstream stream;
    OneFile::write(doc, stream);
    EXPECT_EQ(stream.str(), OneFile::write(doc));
    Document again;
    OneFile::read(stream, again);
    EXPECT_EQ(again.sphereCount, 2);
}

struct ReadingCase {
    const char* what;
    std::function<void(FileRecord&)> change;
    std::function<void(Document&)> check;
};

void PrintTo(const ReadingCase& c, std::ostream* os) {
    *os << c.what;
}

class Reading : public ::testing::TestWithParam<ReadingCase> {};

TEST_P(Reading, Holds) {
    FileRecord f = FileBuilder::starter(-40.0);
    GetParam().change(f);
    Document doc;
    OneFile::read(std::string_view(FileBuilder::file(f)), doc);
    GetParam().check(doc);
}

INSTANTIATE_TEST_SUITE_P(
    OneFile, Reading,
    ::testing::Values(
        ReadingCase{"the starter document reads with its roles", [](FileRecord&) {},
                    [](Document& d) {
                        EXPECT_EQ(d.root->name, "A");
                        EXPECT_EQ(d.radiusRoot, d.root);
                        EXPECT_EQ(d.timeMaster->name, "B");
                        EXPECT_EQ(d.selectedSphere, d.root);
                        EXPECT_EQ(d.stationarySphere->name, "A");
                        EXPECT_EQ(d.referenceChild->name, "B");
                        EXPECT_EQ(d.nextNameLetter, 'C');
                        EXPECT_EQ(d.findSphereByName("B")->timeReference, nullptr);
                    }},
        ReadingCase{"one sphere: only the root, no time master",
                    [](FileRecord& f) { f.spheres.pop_back(); },
                    [](Document& d) {
                        EXPECT_EQ(d.sphereCount, 1);
                        EXPECT_EQ(d.timeMaster, nullptr);
                        EXPECT_EQ(d.referenceChild, nullptr);
                    }},
        ReadingCase{"lines ending in CR LF read as lines ending in LF",
                    [](FileRecord& f) { f.eol = "\r\n"; },
                    [](Document& d) {
                        EXPECT_EQ(d.findSphereByName("B")->parent, d.root);
                        EXPECT_EQ(d.root->textureFile, "earth256.bmp");
                    }},
        ReadingCase{"rationals are normalised: 4/-6 is -2/3, 0/5 is 0/1",
                    [](FileRecord& f) {
                        f.spheres[1].radiusNum = 4;
                        f.spheres[1].radiusDen = -6;
                        f.spheres[1].rateNum = 0;
                        f.spheres[1].rateDen = 5;
                    },
                    [](Document& d) {
                        Sphere* b = d.findSphereByName("B");
                        EXPECT_EQ(b->radiusFactor.numerator(), -2);
                        EXPECT_EQ(b->radiusFactor.denominator(), 3);
                        EXPECT_EQ(b->rollingRate.numerator(), 0);
                        EXPECT_EQ(b->rollingRate.denominator(), 1);
                    }},
        ReadingCase{"a denominator of -2^31 that reduces is still read",
                    [](FileRecord& f) {
                        f.spheres[1].radiusNum = 2;
                        f.spheres[1].radiusDen = std::numeric_limits<std::int32_t>::min();
                    },
                    [](Document& d) {
                        EXPECT_EQ(d.findSphereByName("B")->radiusFactor, Rational(-1, 1 << 30));
                    }},
        ReadingCase{"a surface style outside 0..4 leaves the default",
                    [](FileRecord& f) {
                        f.spheres[0].surface = 7;
                        f.spheres[1].surface = 4;
                    },
                    [](Document& d) {
                        EXPECT_EQ(d.root->surface, 1);
                        EXPECT_EQ(d.findSphereByName("B")->surface, 4);
                    }},
        ReadingCase{"a point count of 0 is valid",
                    [](FileRecord& f) { f.spheres[1].points.clear(); },
                    [](Document& d) { EXPECT_TRUE(d.findSphereByName("B")->points.empty()); }},
        ReadingCase{"more than six points are kept",
                    [](FileRecord& f) {
                        f.spheres[1].points.assign(9, PointRecord{1, 2, 3});
                    },
                    [](Document& d) { EXPECT_EQ(d.findSphereByName("B")->points.size(), 9u); }},
        ReadingCase{"duplicate names resolve to the earlier sphere",
                    [](FileRecord& f) {
                        SphereRecord c = f.spheres[1];  // a second "B" under "A"
                        SphereRecord d;
                        d.name = "D";
                        d.parent = "B";
                        d.radiusRef = "B";
                        f.spheres.push_back(c);
                        f.spheres.push_back(d);
                    },
                    [](Document& d) {
                        EXPECT_EQ(d.findSphereByName("D")->parent, d.sphereTable[1]);
                        EXPECT_EQ(d.sphereTable[2]->firstChild(), nullptr);
                    }},
        ReadingCase{"a sphere named ZEROOREZ takes the links that mean none",
                    [](FileRecord& f) {
                        f.spheres[1].name = "ZEROOREZ";
                        f.spheres[1].timeRef = "none";
                        f.spheres[0].parent = "none";
                        f.spheres[0].radiusRef = "none";
                        f.spheres[0].timeRef = "none";
                        SphereRecord c;
                        c.name = "C";
                        c.parent = "A";
                        c.radiusRef = "A";
                        c.timeRef = "ZEROOREZ";
                        f.spheres.push_back(c);
                        f.referenceChild = "ZEROOREZ";
                    },
                    [](Document& d) {
                        Sphere* z = d.findSphereByName("ZEROOREZ");
                        EXPECT_EQ(d.referenceChild, z);
                        EXPECT_EQ(d.root->radiusReference, nullptr);
                        EXPECT_EQ(d.findSphereByName("C")->timeReference, z);
                    }},
        ReadingCase{"a time reference to the root is kept (not a cycle)",
                    [](FileRecord& f) { f.spheres[0].timeRef = "B"; },
                    [](Document& d) { EXPECT_EQ(d.root->timeReference->name, "B"); }},
        ReadingCase{"names that match nothing leave roles and links empty",
                    [](FileRecord& f) {
                        f.stationary = "nobody";
                        f.referenceChild = "";
                        f.spheres[1].radiusRef = "Q";
                    },
                    [](Document& d) {
                        EXPECT_EQ(d.stationarySphere, nullptr);
                        EXPECT_EQ(d.referenceChild, nullptr);
                        EXPECT_EQ(d.findSphereByName("B")->radiusReference, nullptr);
                    }},
        ReadingCase{"children and dependants come out in file order",
                    [](FileRecord& f) {
                        for (const char* n : {"C", "D", "E"}) {
                            SphereRecord r;
                            r.name = n;
                            r.parent = "A";
                            r.radiusRef = "B";
                            r.timeRef = "B";
                            f.spheres.push_back(r);
                        }
                    },
                    [](Document& d) {
                        EXPECT_EQ(
                            names(d.root->firstChild(), [](Sphere* s) { return s->nextChild(); }),
                            (std::vector<std::string>{"B", "C", "D", "E"}));
                        Sphere* b = d.findSphereByName("B");
                        EXPECT_EQ(names(b->firstDependant[kTime],
                                        [](Sphere* s) { return s->nextSibling[kTime]; }),
                                  (std::vector<std::string>{"C", "D", "E"}));
                    }}),
    [](const auto& info) { return "case" + std::to_string(info.index); });

// Damage that must end in a message and an unchanged program.
struct DamageCase {
    const char* what;
    std::function<std::string()> bytes;
    const char* message;
};

void PrintTo(const DamageCase& c, std::ostream* os) {
    *os << c.what;
}

class Damaged : public ::testing::TestWithParam<DamageCase> {};

TEST_P(Damaged, IsRefusedWithItsMessage) {
    const std::string bytes = GetParam().bytes();
    EXPECT_EQ(readError(bytes), GetParam().message) << GetParam().what;
    // Opening the bytes (the browser's way in) says what opening the file
    // says, and keeps the document as it was.
    // Cases run side by side: each has a file of its own.
    const auto file = std::filesystem::temp_directory_path() /
                      ("rotundel-damaged-" + std::to_string(::getpid()) + ".one");
    std::ofstream(file, std::ios::binary) << bytes;
    Document fromFile;
    const DocResult opened = fromFile.openDocument(file.string());
    std::filesystem::remove(file);
    Document doc;
    doc.newDocument();
    const std::string before = OneFile::write(doc);
    const DocResult r = doc.openBytes(bytes);
    EXPECT_FALSE(r.ok) << GetParam().what;
    EXPECT_EQ(r.message, opened.message) << GetParam().what;
    EXPECT_EQ(OneFile::write(doc), before) << GetParam().what;
}

namespace {
constexpr const char* kFormat = "Unexpected file format.";

std::function<std::string()> starterWith(std::function<void(FileRecord&)> change) {
    return [change] {
        FileRecord f = FileBuilder::starter(-40.0);
        change(f);
        return FileBuilder::file(f);
    };
}

SphereRecord child(const char* name, const char* parent) {
    SphereRecord r;
    r.name = name;
    r.parent = parent;
    r.radiusRef = parent;
    return r;
}
}  // namespace

INSTANTIATE_TEST_SUITE_P(
    OneFile, Damaged,
    ::testing::Values(
        DamageCase{"a zero-length file", [] { return std::string(); }, kFormat},
        DamageCase{"a count of 0", starterWith([](FileRecord& f) { f.storedCount = 0; }), kFormat},
        DamageCase{"a negative count", starterWith([](FileRecord& f) { f.storedCount = -1; }),
                   kFormat},
        DamageCase{"a count of 301", starterWith([](FileRecord& f) { f.storedCount = 301; }),
                   kFormat},
        DamageCase{"a count larger than the records",
                   starterWith([](FileRecord& f) { f.storedCount = 3; }), kFormat},
        DamageCase{"a negative point count",
                   starterWith([](FileRecord& f) { f.spheres[1].storedPointCount = -1; }), kFormat},
        DamageCase{"a point count the file cannot hold",
                   starterWith([](FileRecord& f) { f.spheres[1].storedPointCount = 2000000000; }),
                   kFormat},
        DamageCase{"a NaN angle",
                   starterWith([](FileRecord& f) {
                       f.spheres[0].axisZ = std::numeric_limits<double>::quiet_NaN();
                   }),
                   kFormat},
        DamageCase{"an infinite point distance",
                   starterWith([](FileRecord& f) {
                       f.spheres[1].points[0].q = std::numeric_limits<double>::infinity();
                   }),
                   kFormat},
        DamageCase{"an infinite camera distance",
                   starterWith([](FileRecord& f) {
                       f.cameraDistance = -std::numeric_limits<double>::infinity();
                   }),
                   kFormat},
        DamageCase{"a zero denominator",
                   starterWith([](FileRecord& f) { f.spheres[1].radiusDen = 0; }),
                   "bad rational: zero denominator"},
        DamageCase{"a zero rate denominator",
                   starterWith([](FileRecord& f) { f.spheres[0].rateDen = 0; }),
                   "bad rational: zero denominator"},
        DamageCase{"a rational that does not fit 32 bits once normalised",
                   starterWith([](FileRecord& f) {
                       f.spheres[1].radiusNum = std::numeric_limits<std::int32_t>::min();
                       f.spheres[1].radiusDen = -1;
                   }),
                   kFormat},
        DamageCase{"a parent for the first sphere",
                   starterWith([](FileRecord& f) { f.spheres[0].parent = "B"; }), kFormat},
        DamageCase{"the first sphere its own parent",
                   starterWith([](FileRecord& f) { f.spheres[0].parent = "A"; }), kFormat},
        DamageCase{"a sphere that does not reach the root",
                   starterWith([](FileRecord& f) { f.spheres[1].parent = "nobody"; }), kFormat},
        DamageCase{"a parent cycle beside the root",
                   starterWith([](FileRecord& f) {
                       f.spheres.push_back(child("C", "D"));
                       f.spheres.push_back(child("D", "C"));
                   }),
                   kFormat},
        DamageCase{"a sphere its own parent",
                   starterWith([](FileRecord& f) { f.spheres.push_back(child("C", "C")); }),
                   kFormat},
        DamageCase{"a radius reference cycle",
                   starterWith([](FileRecord& f) { f.spheres[0].radiusRef = "B"; }), kFormat},
        DamageCase{"a time reference cycle",
                   starterWith([](FileRecord& f) {
                       f.spheres[0].timeRef = "B";
                       f.spheres[1].timeRef = "A";
                   }),
                   kFormat},
        DamageCase{"a sphere its own time reference",
                   starterWith([](FileRecord& f) { f.spheres[1].timeRef = "B"; }), kFormat},
        DamageCase{"a file larger than any automaton",
                   [] {
                       FileRecord f = FileBuilder::starter(-40.0);
                       f.spheres[1].points.assign(OneFile::kMaxFileBytes / 24 + 1, PointRecord{});
                       return FileBuilder::file(f);
                   },
                   kFormat}),
    [](const auto& info) { return "case" + std::to_string(info.index); });

TEST(OneFile, EveryTruncationIsRefused) {
    // The layout ends with binary fields, so a file cut anywhere fails.
    std::string whole = FileBuilder::file(FileBuilder::starter(-40.0));
    for (std::size_t n = 0; n < whole.size(); ++n)
        EXPECT_EQ(readError(whole.substr(0, n)), kFormat) << "cut at " << n;
    EXPECT_EQ(readError(whole), "");
}

TEST(OneFile, BytesAfterTheLayoutAreIgnored) {
    EXPECT_EQ(readError(FileBuilder::file(FileBuilder::starter(-40.0)) + "trailing"), "");
}

TEST(OneFile, ThreeHundredSpheresReadAndThreeHundredOneDoNot) {
    FileRecord f = FileBuilder::starter(-40.0);
    for (int i = 2; i < 300; ++i)
        f.spheres.push_back(child(("s" + std::to_string(i)).c_str(), "A"));
    EXPECT_EQ(readError(FileBuilder::file(f)), "");
    f.spheres.push_back(child("s300", "A"));
    EXPECT_EQ(readError(FileBuilder::file(f)), kFormat);
}

TEST(OneFile, AChainOfThreeHundredReads) {
    FileRecord f = FileBuilder::starter(-40.0);
    for (int i = 2; i < 300; ++i) {
        std::string name = "s" + std::to_string(i);
        std::string parent = i == 2 ? "B" : "s" + std::to_string(i - 1);
        f.spheres.push_back(child(name.c_str(), parent.c_str()));
    }
    Document doc;
    OneFile::read(std::string_view(FileBuilder::file(f)), doc);
    EXPECT_EQ(treeSpheres(doc).size(), 300u);
}

TEST(ArchiveReader, LinesFollowTheLineRules) {
    struct Case {
        std::string bytes;
        std::vector<std::string> lines;  // read one after another
        std::size_t left;                // bytes remaining afterwards
    };
    const Case cases[] = {
        {"abc\n", {"abc"}, 0},
        {"abc\r\nde\n", {"abc", "de"}, 0},
        {"ab\rcd\n", {"abc", "d"}, 0},  // the byte after CR ends the line
        {"ab\r\rx", {"ab\r", "x"}, 0},
        {"ab\r", {"ab"}, 0},  // CR at the very end
        {"\n\n", {"", ""}, 0},
        {"tail", {"tail", ""}, 0},  // end of data ends a line, then empty lines
        {"", {"", ""}, 0},
        {std::string(1000, 'x') + "\nz", {std::string(1000, 'x')}, 1},
    };
    for (const Case& c : cases) {
        ArchiveReader in(c.bytes);
        for (const std::string& expected : c.lines) EXPECT_EQ(in.readLine(), expected) << c.bytes;
        EXPECT_EQ(in.remaining(), c.left) << c.bytes;
    }
}

TEST(ArchiveReader, NumbersAreLittleEndianAndTruncationThrows) {
    ArchiveReader in(std::string_view("\x01\x02\x03\x84\xfe\xff\x7f", 7));
    EXPECT_EQ(in.readInt32(), static_cast<std::int32_t>(0x84030201u));
    EXPECT_EQ(in.readInt16(), -2);
    EXPECT_EQ(in.readByte(), 0x7f);
    EXPECT_THROW(in.readByte(), FileFormatError);
    ArchiveReader shortDouble(std::string_view("\0\0\0\0\0\0\x44", 7));
    EXPECT_THROW(shortDouble.readDouble(), FileFormatError);
}

TEST(OneFile, LineBreaksInTextsNeverBreakTheFile) {
    // Set directly, as a texture path from a file dialog could be.
    struct Case {
        std::string name, texture, readName, readTexture;
    };
    const Case cases[] = {
        {"B", "dir\nname.bmp", "B", "dir name.bmp"},
        {"x\ny", "earth256.bmp", "x y", "earth256.bmp"},
        {"\r\n", "\r", "  ", " "},
    };
    for (const Case& c : cases) {
        Document doc;
        doc.newDocument();
        Sphere* b = doc.selectedSphere;
        b->name = c.name;
        b->textureFile = c.texture;
        doc.createSphere();  // a child linked to b by b's name
        doc.stationarySphere = b;
        Document again;
        ASSERT_NO_THROW(OneFile::read(std::string_view(OneFile::write(doc)), again));
        Sphere* read = again.sphereTable[1];
        EXPECT_EQ(read->name, c.readName);
        EXPECT_EQ(read->textureFile, c.readTexture);
        EXPECT_EQ(again.sphereTable[2]->parent, read);
        EXPECT_EQ(again.stationarySphere, read);
    }
}
