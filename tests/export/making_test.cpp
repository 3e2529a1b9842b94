// Files for machines that make things from the curves, read back as those
// machines' tools read them: printable solids that a mesh checker finds
// nothing to repair in, 3MF files with one object and a coloured part per
// curve, viewers' tubes, plotter pages with one layer per colour and closed
// paths within the tolerance, and sand-table tracks.
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
#include <cstring>
#include <fstream>
#include <map>
#include <numbers>
#include <numeric>
#include <optional>
#include <set>
#include <sstream>
#include <tuple>

#include "commandtest.h"
#include "curveinvariants.h"
#include "document.h"
#include "plottersvg.h"
#include "pointcurve.h"
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

// A triangle mesh as files hold it: corners and three corner indices per
// triangle.
struct Triangles {
    std::vector<aiVector3D> corners;
    std::vector<unsigned> indices;
};

// A binary STL's triangles, each with corners of its own.
Triangles readStl(const fs::path& path) {
    Triangles t;
    std::ifstream in(path, std::ios::binary);
    char header[84] = {};
    in.read(header, sizeof header);
    std::uint32_t n = 0;
    std::memcpy(&n, header + 80, 4);
    for (std::uint32_t i = 0; i < n && in; ++i) {
        float record[12];
        char attributes[2];
        in.read(reinterpret_cast<char*>(record), sizeof record);
        in.read(attributes, 2);
        for (int k = 1; k < 4; ++k) {
            t.indices.push_back(static_cast<unsigned>(t.corners.size()));
            t.corners.emplace_back(record[3 * k], record[3 * k + 1], record[3 * k + 2]);
        }
    }
    return t;
}

void writeStl(const fs::path& path, const Triangles& t) {
    std::ofstream out(path, std::ios::binary);
    char header[84] = {};
    const auto n = static_cast<std::uint32_t>(t.indices.size() / 3);
    std::memcpy(header + 80, &n, 4);
    out.write(header, sizeof header);
    for (std::size_t i = 0; i < t.indices.size(); i += 3) {
        float record[12] = {};
        for (int k = 0; k < 3; ++k) {
            const aiVector3D& c = t.corners[t.indices[i + k]];
            record[3 + 3 * k] = c.x, record[4 + 3 * k] = c.y, record[5 + 3 * k] = c.z;
        }
        out.write(reinterpret_cast<const char*>(record), sizeof record);
        out.write("\0\0", 2);
    }
}

double volumeOf(const Triangles& t) {
    double v = 0;
    for (std::size_t i = 0; i < t.indices.size(); i += 3)
        v += static_cast<double>(t.corners[t.indices[i]] *
                                 (t.corners[t.indices[i + 1]] ^ t.corners[t.indices[i + 2]])) /
             6;
    return v;
}

// The volume each connected piece of the surface encloses (negative for
// a piece facing in), its corners welded by position.
std::map<unsigned, double> shellVolumes(const Triangles& t) {
    std::map<std::tuple<float, float, float>, unsigned> welded;
    std::vector<unsigned> id(t.corners.size());
    for (std::size_t v = 0; v < t.corners.size(); ++v) {
        const aiVector3D& p = t.corners[v];
        id[v] = welded.emplace(std::make_tuple(p.x, p.y, p.z), welded.size()).first->second;
    }
    std::vector<unsigned> parent(welded.size());
    std::iota(parent.begin(), parent.end(), 0u);
    auto root = [&](unsigned x) {
        while (parent[x] != x) x = parent[x] = parent[parent[x]];
        return x;
    };
    for (std::size_t i = 0; i < t.indices.size(); i += 3)
        for (int k = 1; k < 3; ++k) parent[root(id[t.indices[i + k]])] = root(id[t.indices[i]]);
    std::map<unsigned, double> volume;
    for (std::size_t i = 0; i < t.indices.size(); i += 3)
        volume[root(id[t.indices[i]])] +=
            static_cast<double>(t.corners[t.indices[i]] *
                                (t.corners[t.indices[i + 1]] ^ t.corners[t.indices[i + 2]])) /
            6;
    return volume;
}

// Connected pieces of the surface.
int shellsOf(const Triangles& t) {
    return static_cast<int>(shellVolumes(t).size());
}

aiMesh meshOf(const Triangles& t) {
    aiMesh m;
    m.mNumVertices = static_cast<unsigned>(t.corners.size());
    m.mVertices = new aiVector3D[m.mNumVertices];
    std::copy(t.corners.begin(), t.corners.end(), m.mVertices);
    m.mNumFaces = static_cast<unsigned>(t.indices.size() / 3);
    m.mFaces = new aiFace[m.mNumFaces];
    for (unsigned f = 0; f < m.mNumFaces; ++f) {
        m.mFaces[f].mNumIndices = 3;
        m.mFaces[f].mIndices =
            new unsigned[3]{t.indices[3 * f], t.indices[3 * f + 1], t.indices[3 * f + 2]};
    }
    return m;
}

// What a 3MF package holds, as a slicer reads it: its objects, and the
// parts of the first as the slicer's metadata names them by ranges of its
// triangles, each with the base materials its triangles carry.
struct ThreeMfPart {
    std::string name;
    Triangles mesh;
    std::set<std::uint32_t> colours;  // 0x00BBGGRR
};
struct ThreeMf {
    std::vector<std::uint32_t> colours;  // the base materials'
    int objects = 0;
    std::vector<int> items;
    bool itemsMoved = false;
    std::string objectName;
    std::vector<ThreeMfPart> parts;
    std::string error;
};

QByteArray entryOf(unzFile zip, const char* name) {
    if (unzLocateFile(zip, name, 2) != UNZ_OK) return {};
    unz_file_info64 info{};
    unzGetCurrentFileInfo64(zip, &info, nullptr, 0, nullptr, 0, nullptr, 0);
    QByteArray bytes(static_cast<qsizetype>(info.uncompressed_size), '\0');
    unzOpenCurrentFile(zip);
    unzReadCurrentFile(zip, bytes.data(), static_cast<unsigned>(bytes.size()));
    unzCloseCurrentFile(zip);
    return bytes;
}

ThreeMf readThreeMf(const fs::path& path) {
    ThreeMf r;
    unzFile zip = unzOpen64(path.string().c_str());
    if (!zip) {
        r.error = "not a zip";
        return r;
    }
    const QByteArray model = entryOf(zip, "3D/3dmodel.model");
    const QByteArray config = entryOf(zip, "Metadata/Slic3r_PE_model.config");
    unzClose(zip);
    if (model.isEmpty() || config.isEmpty()) {
        r.error = "no model part or no parts";
        return r;
    }
    Triangles whole;
    std::vector<int> material;  // per triangle
    int objectMaterial = -1;
    QXmlStreamReader xml(model);
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement) continue;
        const auto at = xml.attributes();
        auto number = [&](const char* name) { return at.value(name).toDouble(); };
        const auto name = xml.name();
        if (name == u"base") {
            const std::uint32_t rgb = at.value("displaycolor").mid(1, 6).toUInt(nullptr, 16);
            r.colours.push_back((rgb >> 16) | (rgb & 0xFF00) | (rgb & 0xFF) << 16);
        } else if (name == u"object") {
            ++r.objects;
            r.objectName = at.value("name").toString().toStdString();
            if (at.hasAttribute("pindex")) objectMaterial = at.value("pindex").toInt();
        } else if (name == u"vertex") {
            whole.corners.emplace_back(number("x"), number("y"), number("z"));
        } else if (name == u"triangle") {
            for (const char* v : {"v1", "v2", "v3"}) whole.indices.push_back(at.value(v).toUInt());
            material.push_back(at.hasAttribute("p1") ? at.value("p1").toInt() : objectMaterial);
        } else if (name == u"item") {
            r.items.push_back(at.value("objectid").toInt());
            r.itemsMoved |= at.hasAttribute("transform");
        }
    }
    if (xml.hasError()) r.error = xml.errorString().toStdString();
    QXmlStreamReader parts(config);
    while (!parts.atEnd()) {
        if (parts.readNext() != QXmlStreamReader::StartElement) continue;
        const auto at = parts.attributes();
        if (parts.name() == u"volume") {
            ThreeMfPart part;
            part.mesh.corners = whole.corners;
            const auto first = at.value("firstid").toUInt(), last = at.value("lastid").toUInt();
            for (auto t = first; t <= last && 3 * t + 2 < whole.indices.size(); ++t) {
                for (unsigned k = 0; k < 3; ++k)
                    part.mesh.indices.push_back(whole.indices[3 * t + k]);
                const int m = material[t];
                part.colours.insert(m >= 0 && m < static_cast<int>(r.colours.size())
                                        ? r.colours[static_cast<std::size_t>(m)]
                                        : 0xFFFFFFFF);
            }
            r.parts.push_back(std::move(part));
        } else if (parts.name() == u"metadata" && at.value("key") == u"name" &&
                   at.value("type") == u"volume" && !r.parts.empty()) {
            r.parts.back().name = at.value("value").toString().toStdString();
        }
    }
    return r;
}

// admesh's verdict on an STL file, or nothing when it did not run.
struct MeshCheck {
    long facets = -1, parts = -1, degenerate = -1, edgesFixed = -1, facetsRemoved = -1,
         backwards = -1;
};
bool hasAdmesh() {
    return std::system("command -v admesh >/dev/null 2>&1") == 0;
}
std::optional<MeshCheck> admesh(const fs::path& stl) {
    const fs::path report = stl.string() + ".txt";
    const std::string cmd =
        "admesh " + quote(stl.string()) + " >" + quote(report.string()) + " 2>&1";
    if (std::system(cmd.c_str()) != 0) return std::nullopt;
    std::ifstream in(report);
    MeshCheck c;
    const std::pair<const char*, long MeshCheck::*> fields[] = {
        {"Number of facets", &MeshCheck::facets},      {"Number of parts", &MeshCheck::parts},
        {"Degenerate facets", &MeshCheck::degenerate}, {"Edges fixed", &MeshCheck::edgesFixed},
        {"Facets removed", &MeshCheck::facetsRemoved}, {"Backwards edges", &MeshCheck::backwards},
    };
    for (std::string line; std::getline(in, line);)
        for (const auto& [label, field] : fields)
            if (line.starts_with(label)) c.*field = std::stol(line.substr(line.find(':') + 1));
    return c;
}

class Making : public CommandTest {
  protected:
    Making() : CommandTest("rotundel-making", "export") {}
    // A random automaton saved in the test's folder.
    std::string randomDocument(int seed) {
        const fs::path p = dir / ("seed" + std::to_string(seed) + ".one");
        const std::string cmd = quote(ROTUNDEL_EXE) + " new --random --seed " +
                                std::to_string(seed) + " " + quote(p.string()) + " >/dev/null 2>&1";
        EXPECT_EQ(std::system(cmd.c_str()), 0);
        return p.string();
    }
};

// The length of every traced point's path, as its samples run.
double pathLength(const Document& doc) {
    double l = 0;
    for (const Sphere* s : doc.sphereTable)
        if (s)
            for (const auto& p : s->points)
                for (std::size_t i = 0; i < p.path.size(); ++i)
                    l += length(p.path[(i + 1) % p.path.size()] - p.path[i]);
    return l;
}
}  // namespace

// (3MF colours sit on the triangles of one object, which Assimp does not
// read: the 3MF test below reads them as a slicer does.)
TEST_F(Making, MeshColoursReadBack) {
    for (const char* ext : {".obj", ".glb", ".ply"}) {
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

// One object whose parts are the curves, each named after its curve with
// its sphere's colour, none moved: in place, the parts span what the STL
// solid of the same curves spans.
TEST_F(Making, ThreeMfIsOneObjectWithAColouredPartPerCurve) {
    const std::string file = example("siblings.one");
    const std::string common = " --size 40mm --resolution 0.3mm";
    fs::path stl = dir / "solid.stl";
    ASSERT_EQ(run(quote(file) + " -o " + quote(stl.string()) + common), 0) << err;
    const Triangles solid = readStl(stl);
    struct Case {
        std::string options;
        std::vector<std::string> parts;
    } cases[] = {{"", {"B/0", "C/0", "D/0", "E/0"}}, {"--union", {"Rotundel"}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.options);
        fs::path out = dir / "parts.3mf";
        ASSERT_EQ(run(quote(file) + " -o " + quote(out.string()) + common + " " + c.options), 0)
            << err;
        const ThreeMf m = readThreeMf(out);
        ASSERT_EQ(m.error, "");
        EXPECT_EQ(m.objects, 1);
        ASSERT_EQ(m.items.size(), 1u);
        EXPECT_FALSE(m.itemsMoved);
        std::vector<std::string> names;
        std::set<std::uint32_t> colours;
        aiVector3D lo(INFINITY), hi(-INFINITY);
        for (const ThreeMfPart& part : m.parts) {
            names.push_back(part.name);
            EXPECT_EQ(part.colours.size(), 1u) << part.name;
            colours.insert(part.colours.begin(), part.colours.end());
            EXPECT_GT(volumeOf(part.mesh), 0);
            for (unsigned i : part.mesh.indices) {
                const aiVector3D& v = part.mesh.corners[i];
                lo = {std::min(lo.x, v.x), std::min(lo.y, v.y), std::min(lo.z, v.z)};
                hi = {std::max(hi.x, v.x), std::max(hi.y, v.y), std::max(hi.z, v.z)};
            }
        }
        EXPECT_EQ(names, c.parts);
        if (c.parts.size() > 1) {
            EXPECT_EQ(colours, Opened(file).colours());
        }
        aiVector3D slo(INFINITY), shi(-INFINITY);
        for (const aiVector3D& v : solid.corners) {
            slo = {std::min(slo.x, v.x), std::min(slo.y, v.y), std::min(slo.z, v.z)};
            shi = {std::max(shi.x, v.x), std::max(shi.y, v.y), std::max(shi.z, v.z)};
        }
        EXPECT_LT((lo - slo).Length(), 0.05f);
        EXPECT_LT((hi - shi).Length(), 0.05f);
    }
}

// STL and 3MF solids of every example and of random automata, as a mesh
// checker sees them: nothing degenerate, nothing to fix or remove, every
// edge shared by two triangles that run along it in opposite directions.
TEST_F(Making, PrintedSolidsNeedNoRepair) {
    if (!hasAdmesh()) GTEST_SKIP() << "admesh is not installed (scripts/deps installs it).";
    std::vector<std::string> documents;
    for (const auto& e : fs::directory_iterator(ROTUNDEL_EXAMPLES))
        if (e.path().extension() == ".one") documents.push_back(e.path().string());
    std::sort(documents.begin(), documents.end());
    ASSERT_GT(documents.size(), 10u);
    for (int seed = 1; seed <= 10; ++seed) documents.push_back(randomDocument(seed));
    // Coarse cells keep the table quick; the defaults are the benchmark's.
    const std::string options = " --size 40mm --resolution 0.3mm";
    for (const std::string& d : documents) {
        for (const char* ext : {".stl", ".3mf"}) {
            SCOPED_TRACE(fs::path(d).filename().string() + ext);
            const fs::path out = dir / (std::string("solid") + ext);
            ASSERT_EQ(run(quote(d) + " -o " + quote(out.string()) + options), 0) << err;
            std::vector<fs::path> checked;
            if (std::string(ext) == ".stl") {
                checked.push_back(out);
            } else {
                const ThreeMf m = readThreeMf(out);
                ASSERT_EQ(m.error, "");
                for (std::size_t i = 0; i < m.parts.size(); ++i) {
                    checked.push_back(dir / ("part" + std::to_string(i) + ".stl"));
                    writeStl(checked.back(), m.parts[i].mesh);
                }
            }
            ASSERT_FALSE(checked.empty());
            for (const fs::path& stl : checked) {
                auto c = admesh(stl);
                ASSERT_TRUE(c) << stl;
                EXPECT_GT(c->facets, 0);
                EXPECT_EQ(c->degenerate, 0);
                EXPECT_EQ(c->edgesFixed, 0);
                EXPECT_EQ(c->facetsRemoved, 0);
                EXPECT_EQ(c->backwards, 0);
            }
        }
    }
}

// A curve far from itself (a circle of the starter) makes a tube whose
// volume is its cross-section times its length, in STL and 3MF alike.
TEST_F(Making, ATubeFarFromItselfHasTheVolumeOfACylinder) {
    struct Case {
        std::string options;
        double scale, radius;
    } cases[] = {
        {"--scale 10 --tube-radius 1mm --resolution 0.1mm", 10, 1},
        {"--scale 20 --tube-radius 2.5mm", 20, 2.5},
        {"--scale 20 --tube-radius 0.04", 20, 0.8},  // in the automaton's units
    };
    const std::string file = example("starter.one");
    const double length = pathLength(Opened(file).doc);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.options);
        const double expected = std::numbers::pi * c.radius * c.radius * length * c.scale;
        fs::path stl = dir / "tube.stl", threeMf = dir / "tube.3mf";
        ASSERT_EQ(run(quote(file) + " -o " + quote(stl.string()) + " " + c.options), 0) << err;
        ASSERT_EQ(run(quote(file) + " -o " + quote(threeMf.string()) + " " + c.options), 0) << err;
        EXPECT_NEAR(volumeOf(readStl(stl)), expected, 0.03 * expected);
        const ThreeMf m = readThreeMf(threeMf);
        double parts = 0;
        for (const ThreeMfPart& part : m.parts) parts += volumeOf(part.mesh);
        EXPECT_NEAR(parts, expected, 0.03 * expected);
    }
}

// A curve that crosses itself: its viewer's tube runs through itself, its
// solid is one closed part where the strands are fused, with no triangle
// through another.
TEST_F(Making, ACurveThatCrossesItselfIsOneFusedPart) {
    const std::string file = example("hypocycloid.one");
    const std::string size = " --size 40mm";
    fs::path obj = dir / "tube.obj", stl = dir / "solid.stl", threeMf = dir / "solid.3mf";
    ASSERT_EQ(run(quote(file) + " -o " + quote(obj.string()) + size), 0) << err;
    Assimp::Importer importer;
    const aiScene* scene = importer.ReadFile(obj.string(), 0);
    ASSERT_TRUE(scene) << importer.GetErrorString();
    ASSERT_EQ(scene->mNumMeshes, 1u);
    EXPECT_GT(crossings(*scene->mMeshes[0]), 0);

    const std::string coarse = size + " --resolution 0.3mm";
    ASSERT_EQ(run(quote(file) + " -o " + quote(stl.string()) + coarse), 0) << err;
    const Triangles solid = readStl(stl);
    EXPECT_EQ(shellsOf(solid), 1);
    EXPECT_EQ(crossings(meshOf(solid)), 0);
    ASSERT_EQ(run(quote(file) + " -o " + quote(threeMf.string()) + coarse), 0) << err;
    const ThreeMf m = readThreeMf(threeMf);
    ASSERT_EQ(m.parts.size(), 1u);
    EXPECT_EQ(shellsOf(m.parts[0].mesh), 1);
}

// Viewers' tubes follow their curves: they run through themselves only
// where a curve comes nearer itself than the radius, which the check of
// crossing triangles finds.
TEST_F(Making, ViewerTubesCrossThemselvesOnlyWhereTheirCurvesComeNear) {
    struct Case {
        const char* document;
        std::string options;
        bool cross;
    } cases[] = {
        {"siblings.one", "", false},  // circles: thickness 1.3 and more
        {"tilted-chain.one", "--sides 5 --tube-radius 0.01", false},  // thickness 0.023
        {"flower.one", "--tube-radius 1.5", true},
        {"epicycles.one", "--tube-radius 0.1", true},  // thickness 0.017
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.document) + " " + c.options);
        fs::path out = dir / "tubes.obj";
        ASSERT_EQ(run(quote(example(c.document)) + " -o " + quote(out.string()) + " " + c.options),
                  0)
            << err;
        Assimp::Importer importer;
        const aiScene* scene = importer.ReadFile(out.string(), 0);
        ASSERT_TRUE(scene) << importer.GetErrorString();
        int found = 0;
        for (unsigned i = 0; i < scene->mNumMeshes; ++i) found += crossings(*scene->mMeshes[i]);
        EXPECT_EQ(found > 0, c.cross) << found;
    }
}

// --size is the largest dimension of the tubes' outside: millimetres in
// STL, metres in glTF, whose +Y is the automaton's z.
TEST_F(Making, SizeIsTheLargestDimensionInMillimetresAndGltfIsInMetresYUp) {
    auto extent = [](const std::vector<aiVector3D>& corners) {
        aiVector3D lo(INFINITY), hi(-INFINITY);
        for (const aiVector3D& p : corners) {
            lo = {std::min(lo.x, p.x), std::min(lo.y, p.y), std::min(lo.z, p.z)};
            hi = {std::max(hi.x, p.x), std::max(hi.y, p.y), std::max(hi.z, p.z)};
        }
        return hi - lo;
    };
    for (double size : {100.0, 37.5}) {
        SCOPED_TRACE(size);
        std::ostringstream option;
        option << " --size " << size << "mm";
        fs::path stl = dir / "sized.stl", glb = dir / "sized.glb";
        const std::string doc = quote(example("epicycles.one"));
        ASSERT_EQ(run(doc + " -o " + quote(stl.string()) + option.str()), 0) << err;
        ASSERT_EQ(run(doc + " -o " + quote(glb.string()) + option.str()), 0) << err;
        const aiVector3D solid = extent(readStl(stl).corners);
        EXPECT_NEAR(std::max({solid.x, solid.y, solid.z}), size, size * 0.005);
        Assimp::Importer importer;
        const aiScene* scene = importer.ReadFile(glb.string(), 0);
        ASSERT_TRUE(scene);
        std::vector<aiVector3D> corners;
        for (unsigned i = 0; i < scene->mNumMeshes; ++i)
            for (unsigned v = 0; v < scene->mMeshes[i]->mNumVertices; ++v)
                corners.push_back(scene->mMeshes[i]->mVertices[v]);
        const aiVector3D metres = extent(corners);
        // The tubes' polygons lie within their round outside.
        EXPECT_NEAR(metres.x * 1000, solid.x, size * 0.005);
        EXPECT_NEAR(metres.y * 1000, solid.z, size * 0.005);
        EXPECT_NEAR(metres.z * 1000, solid.y, size * 0.005);
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

// Solids lie flat: the axis the curves' symmetry refers to stands up, so
// the file's height is the curves' reach along that axis (measured here on
// the samples) plus the tube's diameter, and the lowest point is on the bed;
// glTF puts the same reach on +Y. --orient document keeps the automaton's z.
TEST_F(Making, SolidsStandOnTheirAxisAndLieOnTheBed) {
    struct Case {
        const char* document;
        const char* orient;
    } cases[] = {{"dynamic.one", ""},     {"tilted-chain.one", ""},
                 {"anaglyph.one", ""},    {"many-points.one", ""},
                 {"dynamic.one", "document"}};
    const double scale = 10, radius = 0.5;  // millimetres per unit, tube radius in mm
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.document) + " " + c.orient);
        Opened opened(example(c.document));
        Vec3 axis{0, 0, 1};
        if (std::string(c.orient).empty())
            for (const Sphere* s : opened.doc.sphereTable)
                if (s && !s->points.empty() && !s->points[0].path.empty()) {
                    axis = normalise(curveSymmetry(opened.doc, *s, 0).axis);
                    break;
                }
        double lo = INFINITY, hi = -INFINITY;
        for (const Sphere* s : opened.doc.sphereTable)
            if (s)
                for (const auto& p : s->points)
                    for (const Vec3& v : p.path) {
                        lo = std::min(lo, dot(v, axis));
                        hi = std::max(hi, dot(v, axis));
                    }
        const double height = scale * (hi - lo) + 2 * radius;
        std::string options = " --scale 10 --tube-radius 0.5mm --resolution 0.1mm";
        if (*c.orient) options += std::string(" --orient ") + c.orient;
        const fs::path stl = dir / "flat.stl", glb = dir / "flat.glb";
        ASSERT_EQ(run(quote(example(c.document)) + " -o " + quote(stl.string()) + options), 0)
            << err;
        float zlo = INFINITY, zhi = -INFINITY;
        for (const aiVector3D& v : readStl(stl).corners) zlo = std::min(zlo, v.z), zhi = std::max(zhi, v.z);
        if (!*c.orient) {
            EXPECT_NEAR(zlo, 0, 1e-4);
        }
        EXPECT_NEAR(zhi - zlo, height, 0.1);
        ASSERT_EQ(run(quote(example(c.document)) + " -o " + quote(glb.string()) +
                      " --scale 10 --tube-radius 0.5mm" + (*c.orient ? " --orient document" : "")),
                  0)
            << err;
        Assimp::Importer importer;
        const aiScene* scene = importer.ReadFile(glb.string(), 0);
        ASSERT_TRUE(scene);
        float ylo = INFINITY, yhi = -INFINITY;
        for (unsigned i = 0; i < scene->mNumMeshes; ++i)
            for (unsigned v = 0; v < scene->mMeshes[i]->mNumVertices; ++v)
                ylo = std::min(ylo, scene->mMeshes[i]->mVertices[v].y),
                yhi = std::max(yhi, scene->mMeshes[i]->mVertices[v].y);
        EXPECT_NEAR((yhi - ylo) * 1000, height, 0.1);
    }
    // A flat circle prints as tall as its tube at any size.
    const fs::path stl = dir / "dynamic.stl";
    ASSERT_EQ(run(quote(example("dynamic.one")) + " -o " + quote(stl.string()) + " --size 100mm"),
              0)
        << err;
    float zhi = -INFINITY;
    for (const aiVector3D& v : readStl(stl).corners) zhi = std::max(zhi, v.z);
    EXPECT_LE(zhi, 2 * 2 * 0.75 + 0.05);  // the default radius at 100 mm is 0.75 mm
}

// --point and --no-centres choose the curves of every output that draws
// them: the meshes, plotter paths and pen-downs counted in the files.
TEST_F(Making, EveryDrawingDrawsTheCurvesChosen) {
    struct Case {
        const char* document;
        const char* out;
        std::string options;
        int curves;  // -1: refused
    } cases[] = {
        {"epicycles.one", "c.obj", "", 3},
        {"epicycles.one", "c.obj", "--point C:1", 1},
        {"epicycles.one", "c.glb", "--point B:0,C:1", 2},
        {"epicycles.one", "c.svg", "--plotter --point traced", 3},
        {"epicycles.one", "c.svg", "--plotter --point C:0,C:1", 2},
        {"epicycles.one", "c.gcode", "--plotter --pen-change M0 --point B:0", 1},
        {"chain.one", "c.obj", "--no-centres", 6},
        {"chain.one", "c.svg", "--plotter --no-centres --point all", 6},
        {"tilted-chain.one", "c.obj", "--no-centres", 2},
        {"epicycles.one", "c.obj", "--point C:4", -1},
        {"epicycles.one", "c.obj", "--point Nobody:0", -1},
        {"siblings.one", "c.svg", "--plotter --no-centres", -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.document) + " " + c.out + " " + c.options);
        const fs::path out = dir / c.out;
        fs::remove(out);
        const int status = run(quote(example(c.document)) + " -o " + quote(out.string()) + " " +
                               c.options);
        if (c.curves < 0) {
            EXPECT_EQ(status, 1);
            EXPECT_FALSE(fs::exists(out));
            continue;
        }
        ASSERT_EQ(status, 0) << err;
        const std::string ext = out.extension().string();
        int found = 0;
        if (ext == ".obj" || ext == ".glb") {
            Assimp::Importer importer;
            const aiScene* scene = importer.ReadFile(out.string(), 0);
            ASSERT_TRUE(scene);
            found = static_cast<int>(scene->mNumMeshes);
        } else {
            std::ifstream in(out);
            for (std::string line; std::getline(in, line);)
                found += ext == ".svg" ? line.find("<path") != std::string::npos
                                       : line == "G1 Z0";
        }
        EXPECT_EQ(found, c.curves);
    }
    // The centres left out are those at distance 0 from their sphere's centre.
    Opened chain(example("chain.one"));
    int away = 0;
    for (const Sphere* s : chain.doc.sphereTable)
        if (s)
            for (const auto& p : s->points) away += !p.path.empty() && p.quantumDistance != 0;
    EXPECT_EQ(away, 6);
}

// Solids as a slicer takes them, at a radius's default cell: no shell
// facing in (a void), no triangle without area, and away from where strands
// meet the surface's corners within a quarter of a cell of the exact tube
// (its flat triangles within two thirds of a cell, at cusps), the curves
// evaluated densely at exact instants (the distance to the nearest of
// points 0.01 mm apart overstates the distance to the curve by well under
// a thousandth of a millimetre).
TEST_F(Making, SolidsAreOuterShellsCloseToTheExactTube) {
    const double scale = 25, radius = 0.75, cell = 0.15;  // a radius's default cell
    for (const char* name : {"starter.one", "epicycles.one", "dynamic-axes.one"}) {
        SCOPED_TRACE(name);
        const fs::path stl = dir / "exact.stl";
        ASSERT_EQ(run(quote(example(name)) + " -o " + quote(stl.string()) +
                      " --orient document --scale 25 --tube-radius 0.75mm --resolution 0.15mm"),
                  0)
            << err;
        ASSERT_EQ(err.find("coarser"), std::string::npos) << err;
        const Triangles t = readStl(stl);
        ASSERT_FALSE(t.indices.empty());
        Opened opened(example(name));
        std::vector<PointCurve> made;
        std::vector<double> lengths;
        for (const Sphere* s : opened.doc.sphereTable)
            for (std::size_t i = 0; s && i < s->points.size(); ++i)
                if (const auto& path = s->points[i].path; !path.empty()) {
                    made.push_back(*PointCurve::make(opened.doc, *s, static_cast<int>(i)));
                    lengths.push_back(0);
                    for (std::size_t k = 0; k < path.size(); ++k)
                        lengths.back() += length(path[(k + 1) % path.size()] - path[k]);
                }
        struct Dense {
            Vec3 p;
            std::size_t curve, k, n;
        };
        std::vector<Dense> dense;
        for (std::size_t c = 0; c < made.size(); ++c) {
            const auto n = static_cast<std::size_t>(4 * lengths[c] * scale / 0.04) + 1000;
            for (std::size_t k = 0; k < n; ++k)
                dense.push_back({scale * made[c].at(static_cast<double>(k) / n), c, k, n});
        }
        // Points by cells of a radius and a cell.
        const double h = radius + cell;
        auto key = [h](double x, double y, double z) {
            return std::make_tuple(static_cast<long>(std::floor(x / h)),
                                   static_cast<long>(std::floor(y / h)),
                                   static_cast<long>(std::floor(z / h)));
        };
        std::map<std::tuple<long, long, long>, std::vector<const Dense*>> cells;
        for (const Dense& d : dense) cells[key(d.p.x, d.p.y, d.p.z)].push_back(&d);
        // The distance to the curves, or NaN where two strands come within a
        // radius and a cell of the point: there the tubes meet in a crease
        // that a mesh of cells rounds off by up to a cell.
        auto distance = [&](const aiVector3D& at) {
            const Vec3 q{at.x, at.y, at.z};
            const auto [i, j, k] = key(q.x, q.y, q.z);
            std::vector<const Dense*> near;
            const Dense* best = nullptr;
            double d = INFINITY;
            for (long a = i - 1; a <= i + 1; ++a)
                for (long b = j - 1; b <= j + 1; ++b)
                    for (long c = k - 1; c <= k + 1; ++c)
                        if (auto it = cells.find({a, b, c}); it != cells.end())
                            for (const Dense* p : it->second) {
                                const double l = length(p->p - q);
                                if (l < h) near.push_back(p);
                                if (l < d) d = l, best = p;
                            }
            for (const Dense* p : near) {
                if (p->curve != best->curve) return std::numeric_limits<double>::quiet_NaN();
                const std::size_t gap = p->k > best->k ? p->k - best->k : best->k - p->k;
                // Farther along the curve than a few radii: another strand.
                if (static_cast<double>(std::min(gap, p->n - gap)) * lengths[p->curve] * scale /
                        static_cast<double>(p->n) >
                    4 * h)
                    return std::numeric_limits<double>::quiet_NaN();
            }
            return d;
        };
        double corners = 0, faces = 0;
        int flat = 0;
        for (std::size_t f = 0; f < t.indices.size(); f += 3) {
            const aiVector3D &a = t.corners[t.indices[f]], &b = t.corners[t.indices[f + 1]],
                             &c = t.corners[t.indices[f + 2]];
            flat += ((b - a) ^ (c - a)).Length() == 0;
            if (f % 9 != 0) continue;  // a third of the triangles keep the table quick
            if (const double d = distance(a); !std::isnan(d))
                corners = std::max(corners, std::abs(d - radius));
            for (const aiVector3D& q : {(a + b + c) / 3.0f, (a + b) / 2.0f})
                if (const double d = distance(q); !std::isnan(d))
                    faces = std::max(faces, std::abs(d - radius));
        }
        EXPECT_EQ(flat, 0);
        EXPECT_LE(corners, cell / 4);
        EXPECT_LE(faces, 0.7 * cell);  // a cusp folds the tube onto itself
        // Every shell faces out: a void's wall would have a negative volume.
        const auto volume = shellVolumes(t);
        for (const auto& [shell, v] : volume) EXPECT_GT(v, 0) << "shell " << shell;
    }
    // Strands that close a pocket between them (chain's crossings left
    // hundreds): no void is kept.
    const fs::path stl = dir / "chain.stl";
    ASSERT_EQ(run(quote(example("chain.one")) + " -o " + quote(stl.string()) + " --size 100mm"), 0)
        << err;
    const auto volume = shellVolumes(readStl(stl));
    EXPECT_EQ(volume.size(), 1u);
    for (const auto& [shell, v] : volume) EXPECT_GT(v, 0) << "shell " << shell;
}

// A mesh without a size says how large it is and how to size it.
TEST_F(Making, AnUnsizedMeshSaysItsSize) {
    const std::string doc = quote(example("starter.one"));
    for (const char* out : {"u.stl", "u.obj"}) {
        SCOPED_TRACE(out);
        ASSERT_EQ(run(doc + " -o " + quote((dir / out).string())), 0) << err;
        // The starter's circle is 3 units across, and the tube adds 1.5%.
        EXPECT_NE(err.find("note: the model is 3.0"), std::string::npos) << err;
        EXPECT_NE(err.find("--size 100mm"), std::string::npos) << err;
        ASSERT_EQ(run(doc + " -o " + quote((dir / out).string()) + " --size 50mm"), 0) << err;
        EXPECT_EQ(err.find("units across"), std::string::npos) << err;
    }
}
