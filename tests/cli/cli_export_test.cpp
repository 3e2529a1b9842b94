// The `rotundel export` command's drawings and meshes, read back as other
// programs read them: solids and tubes that are closed and consistently
// oriented,
// files that Assimp loads again with one named tube per traced point, and
// an SVG with one path per traced point.
#include <assimp/postprocess.h>
#include <assimp/scene.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QFile>
#include <QXmlStreamReader>
#include <assimp/Importer.hpp>
#include <chrono>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <thread>
#include <tuple>

#include "commandtest.h"
#include "document.h"
#include "savewatch.h"
#include "sphere.h"

namespace {
std::string example(const std::string& name) {
    return std::string(ROTUNDEL_EXAMPLES) + "/" + name;
}

int tracedPoints(const std::string& file) {
    Document doc;
    EXPECT_TRUE(doc.openDocument(file).ok);
    doc.step();
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
        bool perTube;  // the file keeps tubes apart (STL, PLY and 3MF hold one mesh)
        bool named;    // ... and Assimp reads their names back
    } cases[] = {
        {"epicycles.one", "e.stl", "", false, false},
        {"epicycles.one", "e.obj", "--sides 5", true, true},
        {"siblings.one", "s.stl", "--tube-radius 0.05", false, false},
        {"siblings.one", "s.obj", "", true, true},
        {"epicycles.one", "e.glb", "", true, true},
        {"siblings.one", "s.ply", "", false, false},
        {"siblings.one", "s.3mf", "", false, false},  // parts of one mesh: see making_test
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
        {doc + " -o x.stl --tube-radius 1furlong", 2, "--tube-radius"},
        {doc + " -o x.stl --resolution 0mm", 2, "--resolution"},
        {doc + " -o x.obj --resolution 0.1mm", 2, "--resolution"},
        {doc + " -o x.stl --union", 2, "--union"},
        {doc + " -o x.html --max-bytes 10kB", 2, "--max-bytes"},
        {doc + " -o x.html --max-bytes lots", 2, "--max-bytes"},
        {doc + " -o x.html --size 100mm", 2, "--size"},
        {doc + " -o x.csv --max-bytes 2MB", 2, "--max-bytes"},
        {doc + " -o " + quote((dir / "no" / "x.stl").string()), 1, "x.stl"},
        {doc + " -o " + quote((dir / "no" / "x.svg").string()), 1, "x.svg"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args);
        EXPECT_EQ(run(c.args), c.status) << err;
        EXPECT_NE(err.find(c.mentions), std::string::npos) << err;
    }
}

// A page over its budget keeps fewer samples of each curve, and says so;
// within it, every sample.
TEST_F(ExportCommand, WebPagesKeepTheirBudget) {
    const struct {
        const char* budget;
        std::size_t most;
        bool thinned;
    } cases[] = {{"2MB", 2'000'000, false}, {"80kB", 80'000, true}, {"60000", 60'000, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.budget);
        const fs::path out = dir / "page.html";
        ASSERT_EQ(run(quote(example("deep-chain.one")) + " -o " + quote(out.string()) +
                      " --max-bytes " + c.budget),
                  0)
            << err;
        EXPECT_LE(fs::file_size(out), c.most);
        EXPECT_EQ(err.find("keep one sample in") != std::string::npos, c.thinned) << err;
    }
}

// The radius used is always said; one thinner than a nozzle prints well at
// the print size is warned of, never refused.
TEST_F(ExportCommand, SaysTheTubeRadiusAndWarnsBelowWhatANozzlePrints) {
    const std::string doc = quote(example("starter.one"));
    struct Case {
        std::string out, options, said;
        bool warned;
    } cases[] = {
        {"x.stl", "--size 100mm", "tube radius 0.75 mm (", false},
        {"x.stl", "--size 10mm", "tube radius 0.6 mm (", false},  // the floor
        {"x.stl", "--size 100mm --tube-radius 0.3mm", "tube radius 0.3 mm (", true},
        {"x.3mf", "--scale 10 --tube-radius 0.02", "tube radius 0.2 mm (0.02 units)", true},
        {"x.obj", "--tube-radius 0.05", "tube radius 0.05 units", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.out + " " + c.options);
        ASSERT_EQ(run(doc + " -o " + quote((dir / c.out).string()) + " " + c.options +
                      " --max-triangles 20000"),
                  0)
            << err;
        EXPECT_NE(err.find(c.said), std::string::npos) << err;
        EXPECT_EQ(err.find("warning") != std::string::npos, c.warned) << err;
    }
}

namespace {
class Writers : public CommandTest {
  protected:
    Writers() : CommandTest("rotundel-writers", "") {}
    // Everything in the test's folder but the error text.
    std::set<std::string> names() {
        std::set<std::string> out;
        for (const auto& e : fs::directory_iterator(dir))
            if (e.path().filename() != "stderr.txt") out.insert(e.path().filename().string());
        return out;
    }
};

std::string bytesOf(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// The commands that write files, with IN and OUT standing for their names.
const std::vector<std::pair<std::string, std::string>> kWriters = {
    {"export IN -o OUT", "t.csv"},
    {"export IN -o OUT", "t.one"},
    {"export IN -o OUT", "t.svg"},
    {"export IN -o OUT", "t.obj"},
    {"export IN -o OUT", "t.ply"},
    {"export IN -o OUT", "t.stl"},
    {"export IN -o OUT", "t.glb"},
    {"export IN -o OUT", "t.3mf"},
    {"export IN -o OUT", "t.html"},
    {"render IN -o OUT --width 32", "t.png"},
    {"movie IN -o OUT --frames 2 --width 32", "t.mp4"},
    {"movie IN -o OUT --frames 2 --width 32", "t.gif"},
    {"movie IN -o OUT --frames 2 --width 32", "frames"},
};

std::string command(std::string c, const fs::path& in, const fs::path& out) {
    c.replace(c.find("IN"), 2, quote(in.string()));
    c.replace(c.find("OUT"), 3, quote(out.string()));
    return c;
}
}  // namespace

// Every writer refuses a read-only target and the file it reads, keeps a
// target's permissions, writes through a link, and leaves nothing else.
TEST_F(Writers, EveryWriterFollowsTheSaveRules) {
    const fs::path in = dir / "in.one";
    fs::copy_file(example("epicycles.one"), in);
    struct Rule {
        const char* what;
        int status;
        std::string says;
    } rules[] = {
        {"read-only", 1, "Permission denied"}, {"private", 0, ""},      {"link", 0, ""},
        {"input", 1, "file being read"},       {"folder", 1, "folder"},
    };
    for (const auto& [cmd, name] : kWriters) {
        const bool folder = name == "frames";
        const fs::path out = dir / name, real = dir / ("real-" + name);
        for (const Rule& r : rules) {
            const std::string what = r.what;
            // A folder is never an input, and root may write into any.
            if (folder && what != "link" && what != "folder") continue;
            SCOPED_TRACE(name + " " + what);
            fs::path target = out, input = in;
            if (what == "folder" && folder) std::ofstream(out) << "old";
            if (what == "folder" && !folder) fs::create_directory(out);
            if (what == "input") fs::copy_file(in, input = out);
            if (what == "read-only" || what == "private") std::ofstream(out) << "old";
            if (what == "read-only") fs::permissions(out, fs::perms::owner_read);
            if (what == "private")
                fs::permissions(out, fs::perms::owner_read | fs::perms::owner_write);
            if (what == "link") {
                folder ? (void)fs::create_directory(real) : (void)(std::ofstream(real) << "old");
                fs::create_symlink(real.filename(), target = dir / ("link-" + name));
            }
            const std::string before = fs::is_regular_file(out) ? bytesOf(out) : "";
            Outcome o = execute(command(cmd, input, target));
            if (o.status == 1 && o.err.find("OpenGL") != std::string::npos) GTEST_SKIP() << o.err;
            EXPECT_EQ(o.status, r.status) << o.err;
            EXPECT_NE(o.err.find(r.says), std::string::npos) << o.err;
            if (r.status == 1 && fs::is_regular_file(out)) EXPECT_EQ(bytesOf(out), before);
            if (what == "private")
                EXPECT_EQ(fs::status(out).permissions() & fs::perms::all,
                          fs::perms::owner_read | fs::perms::owner_write);
            if (what == "link") {
                EXPECT_TRUE(fs::is_symlink(target));
                EXPECT_TRUE(folder ? fs::exists(real / "frame00001.png") : bytesOf(real) != "old");
            }
            // Nothing but what was asked for (an OBJ brings its .mtl).
            for (const std::string& n : names()) {
                EXPECT_TRUE(n == "in.one" || n == name || n == real.filename() ||
                            n == target.filename() || n.ends_with(".mtl"))
                    << n;
                if (n != "in.one") fs::remove_all(dir / n);
            }
        }
    }
}

// The same rules for each frame going into an existing folder: a frame
// that is read-only or is the document being read refuses the movie before
// any frame moves; a private frame keeps its mode; a frame that is a link
// is written through; a frame past the movie's end that no save could
// replace is left where a stale one would be removed.
TEST_F(Writers, FrameFoldersFollowTheSaveRules) {
    const fs::path in = dir / "in.one", fr = dir / "fr", real = dir / "real.png";
    fs::copy_file(example("epicycles.one"), in);
    const fs::path first = fr / "frame00001.png", third = fr / "frame00003.png";
    struct Rule {
        const char* what;
        int status;
        std::string says;
    } rules[] = {
        {"read-only", 1, "frame00001.png: Permission denied"},
        {"input", 1, "frame00001.png: it is the file being read"},
        {"private", 0, ""},
        {"link", 0, ""},
        {"input past the end", 0, ""},
        {"read-only past the end", 0, ""},
    };
    for (const Rule& r : rules) {
        const std::string what = r.what;
        SCOPED_TRACE(what);
        fs::create_directory(fr);
        fs::path input = in, kept = first;
        if (what.ends_with("past the end")) kept = third;
        if (what.starts_with("input")) fs::copy_file(in, input = kept);
        if (what.starts_with("read-only") || what == "private") std::ofstream(kept) << "old";
        if (what.starts_with("read-only")) fs::permissions(kept, fs::perms::owner_read);
        if (what == "private")
            fs::permissions(first, fs::perms::owner_read | fs::perms::owner_write);
        if (what == "link") {
            std::ofstream(real) << "old";
            fs::create_symlink(fs::relative(real, fr), first);
        }
        const std::string before = bytesOf(kept);
        Outcome o = execute(command("movie IN -o OUT --frames 2 --width 32", input, fr));
        if (o.status == 1 && o.err.find("OpenGL") != std::string::npos) GTEST_SKIP() << o.err;
        EXPECT_EQ(o.status, r.status) << o.err;
        EXPECT_NE(o.err.find(r.says), std::string::npos) << o.err;
        std::set<std::string> frames;
        for (const auto& e : fs::directory_iterator(fr))
            frames.insert(e.path().filename().string());
        if (r.status == 1) {
            EXPECT_EQ(bytesOf(kept), before);
            EXPECT_EQ(frames, std::set<std::string>{"frame00001.png"});
        } else {
            EXPECT_TRUE(frames.count("frame00001.png") && frames.count("frame00002.png"));
        }
        if (what.ends_with("past the end")) EXPECT_EQ(bytesOf(third), before);
        if (what == "private")
            EXPECT_EQ(fs::status(first).permissions() & fs::perms::all,
                      fs::perms::owner_read | fs::perms::owner_write);
        if (what == "link") {
            EXPECT_TRUE(fs::is_symlink(first));
            EXPECT_NE(bytesOf(real), "old");
        }
        // Nothing beside the folder but the input (and the link's file).
        for (const std::string& n : names())
            EXPECT_TRUE(n == "in.one" || n == "fr" || n == "real.png") << n;
        fs::remove_all(fr);
        fs::remove(real);
    }
}

// Killed while writing, a command leaves only what was there; SIGKILL can
// leave a frames folder of its own naming, which the next write removes
// once it is clearly not a movie under way. Every kill comes mid-save: once
// the command's work file (or work folder) exists, and again once it has
// grown.
TEST_F(Writers, KilledWritesLeaveNothing) {
    const fs::path in = dir / "in.one";
    fs::copy_file(example("epicycles.one"), in);
    for (const auto& [cmd, name] : kWriters) {
        if (name != "t.stl" && name != "t.obj" && name != "t.mp4" && name != "frames") continue;
        std::string slow = command(cmd, in, dir / name);
        if (slow.rfind("movie", 0) == 0) slow += " --frames 400 --height 200";
        // What the program says goes beside the folder, not into it.
        const std::string said = dir.string() + ".said";
        for (int signal : {SIGTERM, SIGINT, SIGKILL}) {
            for (long long bytes : {0LL, 20000LL}) {
                SCOPED_TRACE(name + " signal " + std::to_string(signal) + " at " +
                             std::to_string(bytes) + " bytes");
                pid_t child = ::fork();
                ASSERT_GE(child, 0);
                if (child == 0) {
                    ::execl("/bin/sh", "sh", "-c",
                            ("exec " + quote(ROTUNDEL_EXE) + " " + slow + " 2>" + quote(said))
                                .c_str(),
                            nullptr);
                    _exit(127);
                }
                ASSERT_TRUE(waitForWork(child, dir, bytes, {"in.one"}));
                ::kill(child, signal);
                int status = 0;
                ::waitpid(child, &status, 0);
                // Stopped by a signal it can take, it says so, and that
                // nothing was written when the target is not there.
                std::ifstream told(said);
                const std::string words((std::istreambuf_iterator<char>(told)), {});
                if (signal != SIGKILL)
                    EXPECT_NE(words.find(fs::exists(dir / name)
                                             ? "rotundel: interrupted"
                                             : "rotundel: interrupted; nothing was written."),
                              std::string::npos)
                        << words;
                // The target appears whole or not at all (the saves' own
                // tests check that); SIGKILL may leave our named work.
                bool linkInstant = false;
                for (const std::string& n : names()) {
                    const bool work = n.rfind(".rt~", 0) == 0, link = n.rfind(".rt=", 0) == 0;
                    EXPECT_TRUE(n == "in.one" || n == name || n == "t.mtl" ||
                                (signal == SIGKILL && ((work && name == "frames") || link)))
                        << n;
                    if (work)
                        fs::last_write_time(
                            dir / n, fs::file_time_type::clock::now() - std::chrono::hours(1));
                    linkInstant |= link;
                }
                // A name left between link and rename counts as abandoned
                // once its change time (which nothing can set back) is
                // more than 2 s old.
                while (linkInstant && [&] {
                    for (const std::string& n : names()) {
                        struct stat st {};
                        if (n.rfind(".rt=", 0) == 0 && ::lstat((dir / n).c_str(), &st) == 0 &&
                            ::time(nullptr) - st.st_ctim.tv_sec <= 2)
                            return true;
                    }
                    return false;
                }())
                    std::this_thread::sleep_for(std::chrono::milliseconds(20));
                // The next write tidies up.
                ASSERT_EQ(execute(command("render IN -o OUT --width 16", in, dir / "x.png")).status,
                          0);
                for (const std::string& n : names())
                    if (n != "in.one") {
                        EXPECT_NE(n.rfind(".rt", 0), 0u) << n;
                        fs::remove_all(dir / n);
                    }
            }
        }
        fs::remove(said);
    }
}

// A document with n traced points, six to a child of the root.
std::string manyPoints(const fs::path& dir, int n) {
    Document doc;
    doc.newDocument();
    Sphere* s = doc.findSphereByName("B");
    for (int made = 0; made < n; s = nullptr) {
        if (!s) {
            doc.selectSphere(doc.root);
            s = doc.createSphere();
        }
        s->points.clear();
        for (int k = 0; k < 6 && made < n; ++k, ++made) s->addPoint(10 * k + made, 60, 0.8);
    }
    doc.applyEdit("Edit", 0, kRewind | kPlace | kFitCamera, [] {});
    std::string file = (dir / "many.one").string();
    EXPECT_TRUE(doc.saveDocument(file).ok);
    return file;
}

// STL is written by our own writer, glTF by Assimp's: the same tubes must
// come out as the same triangles, corner for corner, and each STL facet's
// normal must be its triangle's. Many long tubes share glTF meshes (their
// colours kept per vertex) rather than one mesh each.
// Viewers' files hold the same tubes: OBJ in the automaton's units and
// axes, glTF in metres (the file's units as millimetres) with the
// automaton's z as +Y. STL's facet normals are its corners' cross products.
TEST_F(ExportCommand, ObjAndGltfHoldTheSameTrianglesAndStlFacetNormals) {
    struct Case {
        std::string document;
        int tubes;
        bool merged;
    } cases[] = {{example("siblings.one"), tracedPoints(example("siblings.one")), false},
                 {manyPoints(dir, 150), 150, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.document);
        std::vector<aiVector3D> corners[2];
        const char* names[] = {"t.obj", "t.glb"};
        for (int f = 0; f < 2; ++f) {
            fs::path out = dir / names[f];
            ASSERT_EQ(run(quote(c.document) + " -o " + quote(out.string())), 0) << err;
            Assimp::Importer importer;
            const aiScene* scene = importer.ReadFile(out.string(), 0);
            ASSERT_TRUE(scene) << importer.GetErrorString();
            if (f == 1) {
                EXPECT_EQ(static_cast<int>(scene->mNumMeshes) < c.tubes, c.merged);
                EXPECT_TRUE(scene->mMeshes[scene->mNumMeshes - 1]->HasVertexColors(0));
            }
            for (unsigned i = 0; i < scene->mNumMeshes; ++i) {
                const aiMesh& m = *scene->mMeshes[i];
                for (unsigned t = 0; t < m.mNumFaces; ++t)
                    for (unsigned k = 0; k < m.mFaces[t].mNumIndices; ++k) {
                        aiVector3D p = m.mVertices[m.mFaces[t].mIndices[k]];
                        if (f == 1) p = aiVector3D(p.x, -p.z, p.y) * 1000.0f;
                        corners[f].push_back(p);
                    }
            }
        }
        ASSERT_GT(corners[0].size(), 1000u);
        ASSERT_EQ(corners[0].size(), corners[1].size());
        float worst = 0;
        for (std::size_t i = 0; i < corners[0].size(); ++i)
            worst = std::max(worst, (corners[0][i] - corners[1][i]).Length());
        EXPECT_LT(worst, 1e-4f);

        fs::path stl = dir / "t.stl";
        ASSERT_EQ(run(quote(c.document) + " -o " + quote(stl.string()) + " --resolution 0.01"), 0)
            << err;
        std::ifstream in(stl, std::ios::binary);
        char header[84] = {};
        in.read(header, sizeof header);
        std::uint32_t n = 0;
        std::memcpy(&n, header + 80, 4);
        ASSERT_GT(n, 1000u);
        double normalError = 0;
        for (std::uint32_t t = 0; t < n; ++t) {
            float r[12];
            char attributes[2];
            in.read(reinterpret_cast<char*>(r), sizeof r);
            in.read(attributes, 2);
            aiVector3D a(r[3], r[4], r[5]), b(r[6], r[7], r[8]), d(r[9], r[10], r[11]);
            aiVector3D normal = (b - a) ^ (d - a);
            normalError = std::max(
                normalError,
                static_cast<double>((normal.Normalize() - aiVector3D(r[0], r[1], r[2])).Length()));
        }
        EXPECT_LT(normalError, 1e-5);
    }
}

// A sphere a thousandth of its parent's size rolling 9973 times as fast
// traces a path that turns sharply at every sample: the tubes stay within
// the triangle budget, and the program says that it made them coarser.
TEST_F(ExportCommand, TubesStayWithinTheTriangleBudget) {
    Document doc;
    ASSERT_TRUE(doc.newDocument());
    for (Sphere* s : doc.sphereTable)
        if (s && s->name == "B") doc.selectSphere(s);
    Sphere* c = doc.createSphere();
    ASSERT_NE(c, nullptr);
    c->setRadiusFactor(1, 1000);
    c->setRollingRate(9973, 1);
    c->addPoint(30, 60, 1);
    const std::string file = (dir / "loopy.one").string();
    ASSERT_TRUE(doc.saveDocument(file).ok);
    struct Case {
        std::string budget;
        std::size_t most;
    } cases[] = {{"--max-triangles 20000", 20000}, {"", 500000}};  // a solid's default
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

// B's radius 999983/2 of A's: the path closes a million times a period
// and is sampled far more sparsely. Every mesh is known too fine before it
// is built and made coarser within the budget, not refused.
TEST_F(ExportCommand, ACurveOfMillionsOfLoopsMakesCoarserMeshesWithinTheBudget) {
    Document doc;
    ASSERT_TRUE(doc.newDocument());
    for (Sphere* s : doc.sphereTable)
        if (s && s->name == "B") s->setRadiusFactor(999983, 2);
    const std::string file = (dir / "loops.one").string();
    ASSERT_TRUE(doc.saveDocument(file).ok);
    if (const char* keep = std::getenv("ROTUNDEL_KEEP_HOSTILE")) fs::copy_file(file, keep);
    for (const char* out : {"t.stl", "t.3mf", "t.obj"}) {
        SCOPED_TRACE(out);
        ASSERT_EQ(run(quote(file) + " -o " + quote((dir / out).string()) +
                      " --tube-radius 0.1 --max-triangles 1000"),
                  0)
            << err;
        EXPECT_NE(err.find("coarser"), std::string::npos) << err;
    }
    std::ifstream stl(dir / "t.stl", std::ios::binary);
    char header[84] = {};
    stl.read(header, 84);
    std::uint32_t triangles = 0;
    std::memcpy(&triangles, header + 80, 4);
    EXPECT_GT(triangles, 0u);
    EXPECT_LE(triangles, 1000u);
}

// A chain of spheres each 2147483647 times its parent: by the 26th the
// distances are about 1e240 and their squares overflow. No writer puts a
// position it cannot hold in a file; each refuses in one sentence.
TEST_F(ExportCommand, CurvesBeyondWhatNumbersHoldAreRefusedNotWrittenAsNaN) {
    Document doc;
    ASSERT_TRUE(doc.newDocument());
    Sphere* last = doc.findSphereByName("B");
    ASSERT_TRUE(last);
    for (int i = 0; i < 26; ++i) {
        doc.selectSphere(last);
        Sphere* next = doc.createSphere();
        ASSERT_TRUE(next);
        next->setRadiusFactor(2147483647, 1);
        last = next;
    }
    const std::string file = (dir / "far.one").string();
    ASSERT_TRUE(doc.saveDocument(file).ok);
    for (const char* out : {"t.csv", "t.svg", "p.svg --plotter", "t.gcode --plotter", "t.thr",
                            "t.obj", "t.ply", "t.glb", "t.stl", "t.3mf"}) {
        SCOPED_TRACE(out);
        const std::string name = std::string(out).substr(0, std::string(out).find(' '));
        const std::string options = std::string(out).substr(name.size());
        ASSERT_EQ(run(quote(file) + " -o " + quote((dir / name).string()) + options), 1) << err;
        EXPECT_NE(err.find("too large"), std::string::npos) << err;
        std::istringstream lines(err);
        int said = 0;
        for (std::string line; std::getline(lines, line);) said += line.find("note:") == line.npos;
        EXPECT_EQ(said, 1) << err;
        EXPECT_FALSE(fs::exists(dir / name));
    }
}
