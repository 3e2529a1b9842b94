// The `rotundel export` command's drawings and meshes, read back as other
// programs read them: tubes that are closed, consistently oriented solids,
// files that Assimp loads again with one named tube per traced point, and
// an SVG with one path per traced point.
#include <assimp/postprocess.h>
#include <assimp/scene.h>
#include <gtest/gtest.h>

#include <QFile>
#include <QXmlStreamReader>
#include <assimp/Importer.hpp>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <tuple>

#include "commandtest.h"
#include "crotundeldoc.h"
#include "sphere.h"

namespace {
std::string example(const std::string& name) {
    return std::string(ROTUNDEL_EXAMPLES) + "/" + name;
}

int tracedPoints(const std::string& file) {
    CRotundelDoc doc;
    EXPECT_TRUE(doc.OpenDocument(file).ok);
    doc.Step();
    int n = 0;
    for (const Sphere* s : doc.sphereTable)
        if (s)
            for (const auto& p : s->points) n += !p.path.empty();
    return n;
}

struct Solid {
    bool closed = true;    // every edge has exactly two triangles
    bool oriented = true;  // ... which run along it in opposite directions
    double volume = 0;
};

// The mesh as a solid, its vertices welded by position (STL repeats each
// vertex in every triangle, with the triangle's normal).
Solid solidOf(const aiMesh& m) {
    Solid s;
    std::map<std::tuple<float, float, float>, unsigned> welded;
    std::vector<unsigned> id(m.mNumVertices);
    for (unsigned v = 0; v < m.mNumVertices; ++v) {
        const aiVector3D& p = m.mVertices[v];
        id[v] = welded.emplace(std::make_tuple(p.x, p.y, p.z), welded.size()).first->second;
    }
    std::map<std::pair<unsigned, unsigned>, int> directed;
    for (unsigned f = 0; f < m.mNumFaces; ++f) {
        const aiFace& face = m.mFaces[f];
        if (face.mNumIndices != 3) return {false, false, 0};
        for (unsigned k = 0; k < 3; ++k)
            ++directed[{id[face.mIndices[k]], id[face.mIndices[(k + 1) % 3]]}];
        const aiVector3D a = m.mVertices[face.mIndices[0]], b = m.mVertices[face.mIndices[1]],
                         c = m.mVertices[face.mIndices[2]];
        s.volume += (a * (b ^ c)) / 6.0;
    }
    for (const auto& [edge, count] : directed) {
        auto back = directed.find({edge.second, edge.first});
        if (count != 1) s.oriented = false;
        if (back == directed.end())
            s.closed = false;
        else if (back->second != 1)
            s.oriented = false;
    }
    return s;
}

class ExportCommand : public CommandTest {
  protected:
    ExportCommand() : CommandTest("rotundel-export", "export") {}
};
}  // namespace

TEST_F(ExportCommand, MeshesAreClosedSolidsWithOneNamedTubePerPoint) {
    struct Case {
        std::string document, out, options;
        bool perTube;  // the file keeps tubes apart (STL and PLY hold one mesh)
        bool named;    // ... and Assimp reads their names back
    } cases[] = {
        {"epicycles.one", "e.stl", "", false, false},
        {"epicycles.one", "e.obj", "--sides 5", true, true},
        {"siblings.one", "s.stl", "--tube-radius 0.05", false, false},
        {"siblings.one", "s.obj", "", true, true},
        {"epicycles.one", "e.glb", "", true, true},
        {"siblings.one", "s.ply", "", false, false},
        {"siblings.one", "s.3mf", "", true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.out);
        fs::path out = dir / c.out;
        ASSERT_EQ(run(quote(example(c.document)) + " -o " + quote(out.string()) + " " + c.options),
                  0)
            << err;
        Assimp::Importer importer;
        const aiScene* scene = importer.ReadFile(out.string(), 0);
        ASSERT_TRUE(scene) << importer.GetErrorString();
        const int points = tracedPoints(example(c.document));
        ASSERT_GT(points, 1);
        if (c.perTube) EXPECT_EQ(static_cast<int>(scene->mNumMeshes), points);
        if (c.named)
            EXPECT_NE(std::string(scene->mMeshes[0]->mName.C_Str()).find('/'), std::string::npos);
        for (unsigned i = 0; i < scene->mNumMeshes; ++i) {
            Solid s = solidOf(*scene->mMeshes[i]);
            EXPECT_TRUE(s.closed) << i;
            EXPECT_TRUE(s.oriented) << i;
            EXPECT_GT(s.volume, 0) << i;
        }
        if (c.out == "s.ply") EXPECT_TRUE(scene->mMeshes[0]->HasVertexColors(0));
        // The file (with its .mtl) and stderr.txt: no working files left.
        EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()),
                  c.out.ends_with(".obj") ? 3 : 2);
        for (const auto& f : fs::directory_iterator(dir))
            if (f.path().filename() != "stderr.txt") fs::remove(f.path());
    }
}

TEST_F(ExportCommand, DrawingHasOnePathPerTracedPoint) {
    for (const char* document : {"epicycles.one", "siblings.one"}) {
        SCOPED_TRACE(document);
        fs::path out = dir / "paths.svg";
        ASSERT_EQ(run(quote(example(document)) + " -o " + quote(out.string())), 0) << err;
        QFile file(QString::fromStdString(out.string()));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        QXmlStreamReader xml(&file);
        int paths = 0;
        while (!xml.atEnd())
            if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == u"path") ++paths;
        EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
        EXPECT_EQ(paths, tracedPoints(example(document)));
    }
}

TEST_F(ExportCommand, RefusesWhatItCannotWrite) {
    std::string doc = quote(example("starter.one"));
    struct Case {
        std::string args;
        int status;
        std::string mentions;
    } cases[] = {
        {doc + " -o x.dxf", 2, "x.dxf"},
        {doc + " -o x.stl --sides 2", 2, "--sides"},
        {doc + " -o x.stl --sides many", 2, "--sides"},
        {doc + " -o x.stl --tube-radius -1", 2, "--tube-radius"},
        {doc + " -o " + quote((dir / "no" / "x.stl").string()), 1, "x.stl"},
        {doc + " -o " + quote((dir / "no" / "x.svg").string()), 1, "x.svg"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args);
        EXPECT_EQ(run(c.args), c.status) << err;
        EXPECT_NE(err.find(c.mentions), std::string::npos) << err;
    }
}

// A sphere a thousandth of its parent's size rolling 9973 times as fast
// traces a path that turns sharply at every sample: the tubes stay within
// the triangle budget, and the program says that it made them coarser.
TEST_F(ExportCommand, TubesStayWithinTheTriangleBudget) {
    CRotundelDoc doc;
    ASSERT_TRUE(doc.NewDocument());
    for (Sphere* s : doc.sphereTable)
        if (s && s->name == "B") doc.SelectSphere(s);
    Sphere* c = doc.CreateSphere();
    ASSERT_NE(c, nullptr);
    c->setRadiusFactor(1, 1000);
    c->setRollingRate(9973, 1);
    c->addPoint(30, 60, 1);
    const std::string file = (dir / "loopy.one").string();
    ASSERT_TRUE(doc.SaveDocument(file).ok);
    struct Case {
        std::string budget;
        std::size_t most;
    } cases[] = {{"--max-triangles 20000", 20000}, {"", 2000000}};
    for (const auto& k : cases) {
        SCOPED_TRACE(k.budget);
        const fs::path out = dir / "loopy.stl";
        ASSERT_EQ(run(quote(file) + " -o " + quote(out.string()) + " " + k.budget), 0) << err;
        std::ifstream stl(out, std::ios::binary);
        char header[84] = {};
        stl.read(header, 84);
        std::uint32_t triangles = 0;
        std::memcpy(&triangles, header + 80, 4);
        EXPECT_GT(triangles, 0u);
        EXPECT_LE(triangles, k.most);
        EXPECT_NE(err.find("coarser"), std::string::npos) << err;
    }
}
