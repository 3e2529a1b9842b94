// Files for machines that make things from the curves, read back as those
// machines' tools read them: coloured printable tubes that never cross
// themselves at the automatic radius, plotter pages with one layer per
// colour and closed paths within the tolerance, and sand-table tracks.
#include <assimp/postprocess.h>
#include <assimp/scene.h>
#include <gtest/gtest.h>
#include <unzip.h>

#include <QFile>
#include <QRegularExpression>
#include <QXmlStreamReader>
#include <array>
#include <assimp/Importer.hpp>
#include <cmath>
#include <fstream>
#include <map>
#include <numbers>
#include <set>
#include <sstream>
#include <tuple>

#include "commandtest.h"
#include "document.h"
#include "plottersvg.h"
#include "sphere.h"

namespace {
std::string example(const std::string& name) {
    return std::string(ROTUNDEL_EXAMPLES) + "/" + name;
}

struct Opened {
    Document doc;
    explicit Opened(const std::string& file) {
        EXPECT_TRUE(doc.openDocument(file).ok);
        doc.step();
    }
    // The colours (0x00BBGGRR) of the spheres with traced points.
    std::set<std::uint32_t> colours() const {
        std::set<std::uint32_t> c;
        for (const Sphere* s : doc.sphereTable)
            if (s)
                for (const auto& p : s->points)
                    if (!p.path.empty()) c.insert(s->color);
        return c;
    }
};

std::uint32_t packed(const aiColor4D& c) {
    auto byte = [](float v) { return static_cast<std::uint32_t>(std::lround(v * 255)); };
    return byte(c.r) | byte(c.g) << 8 | byte(c.b) << 16;
}

// Whether segment p-q passes through triangle a-b-c (Moller-Trumbore).
bool segmentHitsTriangle(const aiVector3D& p, const aiVector3D& q, const aiVector3D& a,
                         const aiVector3D& b, const aiVector3D& c) {
    const aiVector3D d = q - p, e1 = b - a, e2 = c - a, h = d ^ e2;
    const float det = e1 * h;
    if (std::abs(det) < 1e-12f) return false;
    const aiVector3D s = p - a;
    const float u = (s * h) / det;
    if (u < 0 || u > 1) return false;
    const aiVector3D k = s ^ e1;
    const float v = (d * k) / det, t = (e2 * k) / det;
    return v >= 0 && u + v <= 1 && t > 0 && t < 1;
}

// Pairs of triangles of one shell, with no corner in common, that cross:
// candidates by overlapping bounding boxes, then an edge through a face.
int crossings(const aiMesh& m) {
    // Corners welded by position: files repeat a vertex for each of its faces.
    std::map<std::tuple<float, float, float>, unsigned> welded;
    std::vector<unsigned> id(m.mNumVertices);
    for (unsigned v = 0; v < m.mNumVertices; ++v) {
        const aiVector3D& p = m.mVertices[v];
        id[v] = welded.emplace(std::make_tuple(p.x, p.y, p.z), welded.size()).first->second;
    }
    struct Box {
        aiVector3D lo, hi;
    };
    std::vector<Box> boxes(m.mNumFaces);
    for (unsigned f = 0; f < m.mNumFaces; ++f) {
        Box& b = boxes[f];
        b.lo = b.hi = m.mVertices[m.mFaces[f].mIndices[0]];
        for (unsigned k = 1; k < 3; ++k) {
            const aiVector3D& v = m.mVertices[m.mFaces[f].mIndices[k]];
            b.lo = {std::min(b.lo.x, v.x), std::min(b.lo.y, v.y), std::min(b.lo.z, v.z)};
            b.hi = {std::max(b.hi.x, v.x), std::max(b.hi.y, v.y), std::max(b.hi.z, v.z)};
        }
    }
    // Sorted by the boxes' low x: a sweep finds the overlapping ones.
    std::vector<unsigned> order(m.mNumFaces);
    for (unsigned f = 0; f < m.mNumFaces; ++f) order[f] = f;
    std::sort(order.begin(), order.end(),
              [&](unsigned a, unsigned b) { return boxes[a].lo.x < boxes[b].lo.x; });
    int found = 0;
    for (std::size_t i = 0; i < order.size(); ++i) {
        const unsigned f = order[i];
        const aiFace& F = m.mFaces[f];
        for (std::size_t j = i + 1; j < order.size() && boxes[order[j]].lo.x <= boxes[f].hi.x;
             ++j) {
            const unsigned g = order[j];
            const Box &a = boxes[f], &b = boxes[g];
            if (a.hi.y < b.lo.y || b.hi.y < a.lo.y || a.hi.z < b.lo.z || b.hi.z < a.lo.z) continue;
            const aiFace& G = m.mFaces[g];
            bool shared = false;
            for (unsigned x = 0; x < 3; ++x)
                for (unsigned y = 0; y < 3; ++y) shared |= id[F.mIndices[x]] == id[G.mIndices[y]];
            if (shared) continue;
            auto edgesThrough = [&m](const aiFace& E, const aiFace& T) {
                for (unsigned k = 0; k < 3; ++k)
                    if (segmentHitsTriangle(m.mVertices[E.mIndices[k]],
                                            m.mVertices[E.mIndices[(k + 1) % 3]],
                                            m.mVertices[T.mIndices[0]], m.mVertices[T.mIndices[1]],
                                            m.mVertices[T.mIndices[2]]))
                        return true;
                return false;
            };
            found += edgesThrough(F, G) || edgesThrough(G, F);
        }
    }
    return found;
}

class Making : public CommandTest {
  protected:
    Making() : CommandTest("rotundel-making", "export") {}
};
}  // namespace

TEST_F(Making, MeshColoursReadBack) {
    for (const char* ext : {".3mf", ".obj", ".glb", ".ply"}) {
        SCOPED_TRACE(ext);
        const std::string file = example("siblings.one");
        fs::path out = dir / (std::string("tubes") + ext);
        ASSERT_EQ(run(quote(file) + " -o " + quote(out.string())), 0) << err;
        Assimp::Importer importer;
        const aiScene* scene = importer.ReadFile(out.string(), 0);
        ASSERT_TRUE(scene) << importer.GetErrorString();
        std::set<std::uint32_t> read;
        for (unsigned i = 0; i < scene->mNumMeshes; ++i) {
            const aiMesh& m = *scene->mMeshes[i];
            aiColor4D c;
            if (m.HasVertexColors(0))
                for (unsigned v = 0; v < m.mNumVertices; ++v) read.insert(packed(m.mColors[0][v]));
            else if (scene->mMaterials[m.mMaterialIndex]->Get(AI_MATKEY_COLOR_DIFFUSE, c) ==
                     AI_SUCCESS)
                read.insert(packed(c));
        }
        EXPECT_EQ(read, Opened(file).colours());
    }
}

TEST_F(Making, ThreeMfNamesItsObjects) {
    fs::path out = dir / "tubes.3mf";
    ASSERT_EQ(run(quote(example("siblings.one")) + " -o " + quote(out.string())), 0) << err;
    unzFile zip = unzOpen64(out.string().c_str());
    ASSERT_TRUE(zip);
    ASSERT_EQ(unzLocateFile(zip, "3D/3DModel.model", 2), UNZ_OK);
    unz_file_info64 info{};
    unzGetCurrentFileInfo64(zip, &info, nullptr, 0, nullptr, 0, nullptr, 0);
    QByteArray model(static_cast<qsizetype>(info.uncompressed_size), '\0');
    unzOpenCurrentFile(zip);
    unzReadCurrentFile(zip, model.data(), static_cast<unsigned>(model.size()));
    unzClose(zip);
    QXmlStreamReader xml(model);
    std::vector<std::string> names;
    while (!xml.atEnd())
        if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == u"object")
            names.push_back(xml.attributes().value("name").toString().toStdString());
    EXPECT_EQ(names, (std::vector<std::string>{"B/0", "C/0", "D/0", "E/0"}));
}

TEST_F(Making, TubesAtTheAutomaticRadiusNeverCrossThemselves) {
    struct Case {
        const char* document;
        std::string options;
        bool cross;  // a warning and crossings are expected
    } cases[] = {
        {"flower.one", "", false},
        {"tilted-chain.one", "--sides 5", false},
        // The check finds crossings where there are some: a radius given by
        // hand, and curves that cross themselves, which the warning names.
        {"flower.one", "--tube-radius 1.5", true},
        {"epicycles.one", "", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.document) + " " + c.options);
        fs::path out = dir / "tubes.obj";
        ASSERT_EQ(run(quote(example(c.document)) + " -o " + quote(out.string()) + " " + c.options),
                  0)
            << err;
        EXPECT_EQ(err.find("warning") != std::string::npos, c.cross) << err;
        Assimp::Importer importer;
        const aiScene* scene = importer.ReadFile(out.string(), 0);
        ASSERT_TRUE(scene) << importer.GetErrorString();
        int found = 0;
        for (unsigned i = 0; i < scene->mNumMeshes; ++i) found += crossings(*scene->mMeshes[i]);
        EXPECT_EQ(found > 0, c.cross) << found;
    }
}

TEST_F(Making, SizeIsTheLargestDimensionInMillimetres) {
    for (double size : {100.0, 37.5}) {
        fs::path out = dir / "sized.stl";
        std::ostringstream option;
        option << " --size " << size << "mm";
        ASSERT_EQ(
            run(quote(example("epicycles.one")) + " -o " + quote(out.string()) + option.str()), 0)
            << err;
        Assimp::Importer importer;
        const aiScene* scene = importer.ReadFile(out.string(), 0);
        ASSERT_TRUE(scene);
        aiVector3D lo(INFINITY), hi(-INFINITY);
        for (unsigned i = 0; i < scene->mNumMeshes; ++i)
            for (unsigned v = 0; v < scene->mMeshes[i]->mNumVertices; ++v) {
                const aiVector3D& p = scene->mMeshes[i]->mVertices[v];
                lo = {std::min(lo.x, p.x), std::min(lo.y, p.y), std::min(lo.z, p.z)};
                hi = {std::max(hi.x, p.x), std::max(hi.y, p.y), std::max(hi.z, p.z)};
            }
        const aiVector3D d = hi - lo;
        EXPECT_NEAR(std::max({d.x, d.y, d.z}), size, size * 1e-5);
    }
}

TEST_F(Making, PlotterPagesHaveALayerPerColourAndClosedPaths) {
    struct Case {
        const char* document;
        std::string options;
        double width, height;
    } cases[] = {
        {"siblings.one", "", 210, 297},
        {"epicycles.one", "--page A3 --landscape --view front", 420, 297},
        {"flower.one", "--page 300x200mm --margin 5mm --view camera", 300, 200},
        {"tilted-chain.one", "--page letter --view side --tolerance 0.1mm", 215.9, 279.4},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.options);
        fs::path out = dir / "page.svg";
        ASSERT_EQ(run(quote(example(c.document)) + " -o " + quote(out.string()) + " --plotter " +
                      c.options),
                  0)
            << err;
        QFile file(QString::fromStdString(out.string()));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        QXmlStreamReader xml(&file);
        std::set<QString> strokes;
        int layers = 0, paths = 0;
        const QRegularExpression closedPath(R"(^M[-\d.,]+( L[-\d.,]+)+ Z$)"),
            label(R"(^\d+ [a-z])");
        while (!xml.atEnd()) {
            if (xml.readNext() != QXmlStreamReader::StartElement) continue;
            const auto at = xml.attributes();
            if (xml.name() == u"svg") {
                EXPECT_EQ(at.value("width").toString(), QString::number(c.width) + "mm");
                EXPECT_EQ(at.value("height").toString(), QString::number(c.height) + "mm");
                EXPECT_EQ(at.value("viewBox").toString(),
                          QString("0 0 %1 %2").arg(c.width).arg(c.height));
            } else if (xml.name() == u"g") {
                EXPECT_EQ(at.value("inkscape:groupmode"), u"layer");
                EXPECT_TRUE(label.match(at.value("inkscape:label")).hasMatch());
                strokes.insert(at.value("stroke").toString());
                ++layers;
            } else if (xml.name() == u"path") {
                EXPECT_TRUE(closedPath.match(at.value("d")).hasMatch());
                ++paths;
            }
        }
        EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
        Opened opened(example(c.document));
        EXPECT_EQ(layers, static_cast<int>(opened.colours().size()));
        EXPECT_EQ(strokes.size(), opened.colours().size());
        EXPECT_GE(paths, layers);
    }
}

TEST(PlotterDrawing, NoSampleStraysBeyondTheTolerance) {
    for (double tolerance : {0.02, 0.5}) {
        Opened opened(example("epicycles.one"));
        PlotterOptions o;
        o.tolerance = tolerance;
        PlotterDrawing drawing = PlotterSvg::draw(opened.doc, o);
        std::size_t samples = 0, nodes = 0;
        for (const PlotterLayer& layer : drawing.layers)
            for (const PlotterPath& p : layer.paths) {
                ASSERT_GE(p.nodes.size(), 3u);
                samples += p.exact.size();
                nodes += p.nodes.size();
                // The nodes are samples, in order; every sample between two
                // of them lies near the line that joins them.
                std::size_t j = 0;
                double worst = 0;
                for (std::size_t k = 0; k < p.exact.size(); ++k) {
                    const Point2 next = p.nodes[(j + 1) % p.nodes.size()];
                    if (j + 1 < p.nodes.size() && p.exact[k].x == next.x && p.exact[k].y == next.y)
                        ++j;
                    const Point2 a = p.nodes[j], b = p.nodes[(j + 1) % p.nodes.size()];
                    worst = std::max(worst, segmentDistance(p.exact[k], a, b));
                    EXPECT_TRUE(p.exact[k].x >= o.margin - 1e-9 &&
                                p.exact[k].x <= o.pageWidth - o.margin + 1e-9);
                }
                EXPECT_EQ(j + 1, p.nodes.size());
                EXPECT_LE(worst, tolerance);
            }
        EXPECT_LT(nodes * 4, samples);
    }
}

TEST_F(Making, SandTrackIsContinuousWithinTheTableAndCloses) {
    struct Case {
        const char* document;
        std::string options;
    } cases[] = {
        {"epicycles.one", ""},
        {"flower.one", "--tolerance 0.001"},
        {"siblings.one", "--point C:0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.document) + " " + c.options);
        fs::path out = dir / "track.thr";
        ASSERT_EQ(run(quote(example(c.document)) + " -o " + quote(out.string()) + " " + c.options),
                  0)
            << err;
        std::ifstream in(out);
        std::vector<std::array<double, 2>> track;
        for (std::string line; std::getline(in, line);) {
            if (line.empty() || line[0] == '#') continue;
            std::istringstream words(line);
            std::array<double, 2> p{};
            ASSERT_TRUE(words >> p[0] >> p[1]) << line;
            track.push_back(p);
        }
        ASSERT_GE(track.size(), 3u);
        double most = 0;
        for (std::size_t k = 0; k < track.size(); ++k) {
            EXPECT_TRUE(track[k][1] >= 0 && track[k][1] <= 1) << k;
            most = std::max(most, track[k][1]);
            if (k > 0) {
                EXPECT_LT(std::abs(track[k][0] - track[k - 1][0]), std::numbers::pi) << k;
            }
        }
        EXPECT_GT(most, 0.99);
        const double turns = (track.back()[0] - track.front()[0]) / (2 * std::numbers::pi);
        EXPECT_NEAR(turns, std::round(turns), 1e-5);
        EXPECT_NEAR(track.back()[1], track.front()[1], 1e-5);
    }
}

TEST_F(Making, RefusesOptionsThatDoNotApply) {
    const std::string doc = quote(example("siblings.one"));
    struct Case {
        std::string args;
        int status;
        std::string mentions;
    } cases[] = {
        {"-o x.stl --plotter", 2, "--plotter"},
        {"-o x.svg --page A4", 2, "--page"},
        {"-o x.svg --plotter --page B9", 2, "--page"},
        {"-o x.svg --plotter --view under", 2, "--view"},
        {"-o x.svg --plotter --tolerance 0", 2, "--tolerance"},
        {"-o x.thr --size 10mm", 2, "--size"},
        {"-o x.stl --size 10mm --scale 2", 2, "--scale"},
        {"-o x.csv --tube-radius auto", 2, "--tube-radius"},
        {"-o x.thr --point B", 2, "--point"},
        {"-o " + quote((dir / "x.thr").string()) + " --point Nobody:0", 1, "Nobody"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args);
        EXPECT_EQ(run(doc + " " + c.args), c.status) << err;
        EXPECT_NE(err.find(c.mentions), std::string::npos) << err;
    }
}
