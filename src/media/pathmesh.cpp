// Tube meshes: binary STL written here, the other formats through Assimp's
// exporters in the module that the program opens when it needs them.
#include "pathmesh.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <memory>
#include <system_error>
#include <thread>

#include "atomicfile.h"
#include "mediamodule.h"
#include "parallel.h"
#include "relations.h"
#include "sphere.h"
#include "threemfmaterials.h"
#include "tubemesh.h"
#include "tubesizing.h"

namespace fs = std::filesystem;

namespace {
// Binary STL: an 80-byte header, the triangle count, then per triangle its
// normal, its three corners (little-endian floats) and two bytes of
// attributes, 0. Written here rather than through Assimp: it is the format
// people print from, the one written most, and simple enough that a direct
// writer is several times faster than the generic one.
constexpr std::size_t kStlHeader = 80, kStlTriangle = 50;

// The triangles of one tube as STL records. The normal is the corners'
// cross product made unit, in single precision from the corners as stored.
std::string stlTriangles(const TubeMesh& m) {
    static_assert(std::endian::native == std::endian::little);
    struct Corner {
        float x, y, z;
    };
    std::vector<Corner> corners(m.vertices.size());
    for (std::size_t v = 0; v < corners.size(); ++v)
        corners[v] = {static_cast<float>(m.vertices[v].x), static_cast<float>(m.vertices[v].y),
                      static_cast<float>(m.vertices[v].z)};
    std::string out(m.triangleCount() * kStlTriangle, '\0');
    char* at = out.data();
    for (std::size_t t = 0; t < m.triangles.size(); t += 3, at += kStlTriangle) {
        // Normal, three corners, and two bytes of attributes left 0.
        Corner record[4];
        const Corner& a = record[1] = corners[m.triangles[t]];
        const Corner& b = record[2] = corners[m.triangles[t + 1]];
        const Corner& c = record[3] = corners[m.triangles[t + 2]];
        const Corner u{b.x - a.x, b.y - a.y, b.z - a.z}, w{c.x - a.x, c.y - a.y, c.z - a.z};
        Corner n{u.y * w.z - u.z * w.y, u.z * w.x - u.x * w.z, u.x * w.y - u.y * w.x};
        const float l = std::sqrt(n.x * n.x + n.y * n.y + n.z * n.z);
        if (l > 0) {
            const float inverse = 1.0f / l;
            n = {n.x * inverse, n.y * inverse, n.z * inverse};
        }
        record[0] = n;
        std::memcpy(at, record, sizeof record);
    }
    return out;
}

// Files opened with plain stdio, in a work folder of the export's own (the
// 3MF exporter's, which writes past the files it is handed).
class StagedFiles : public OutputFiles {
    struct File : OutputFile {
        std::FILE* f = nullptr;
        bool ok = true;
        bool write(const void* bytes, std::size_t size) override {
            ok = ok && std::fwrite(bytes, 1, size, f) == size;
            return ok;
        }
        long long seek(long long offset, int whence) override {
            return fseeko(f, offset, whence) == 0 ? static_cast<long long>(ftello(f)) : -1;
        }
        long long size() override {
            const off_t at = ftello(f);
            fseeko(f, 0, SEEK_END);
            const off_t end = ftello(f);
            fseeko(f, at, SEEK_SET);
            return end;
        }
    };

  public:
    OutputFile* open(const std::string& path) override {
        auto file = std::make_unique<File>();
        file->f = std::fopen(path.c_str(), "wb");
        if (!file->f) {
            if (error_.empty()) error_ = std::strerror(errno) + std::string(".");
            return nullptr;
        }
        files_.push_back(std::move(file));
        return files_.back().get();
    }
    // "" when every file was written and closed, otherwise the reason.
    std::string close() {
        for (auto& file : files_) {
            const bool closed = std::fclose(file->f) == 0;
            file->f = nullptr;
            if ((!file->ok || !closed) && error_.empty())
                error_ = std::strerror(errno) + std::string(".");
        }
        files_.clear();
        return error_;
    }
    ~StagedFiles() override { close(); }

  private:
    std::vector<std::unique_ptr<File>> files_;
    std::string error_;
};

std::string writeStl(const std::vector<std::string>& tubes, const std::string& path,
                     OutputFiles& files) {
    std::size_t bytes = 0;
    for (const std::string& t : tubes) bytes += t.size();
    const std::size_t triangles = bytes / kStlTriangle;
    if (triangles > std::numeric_limits<std::uint32_t>::max())
        return "it would hold more triangles than an STL file can count.";
    char header[kStlHeader + 4] = "Binary STL written by Rotundel";
    const auto count = static_cast<std::uint32_t>(triangles);
    std::memcpy(header + kStlHeader, &count, 4);
    OutputFile* f = files.open(path);
    if (!f) return {};  // the files say why
    f->write(header, sizeof header);
    for (const std::string& t : tubes) f->write(t.data(), t.size());
    return {};
}

// Assimp's glTF writer copies its whole data buffer each time a mesh adds
// to it, so its work grows with meshes x bytes: a file of hundreds of long
// tubes took minutes. Tubes stay meshes of their own (named, for picking
// them apart in an editor) while that product stays small; beyond it they
// are merged into a few meshes of about equal size, their colours kept per
// vertex.
std::vector<MeshGroup> groupsFor(const std::vector<MeshTube>& tubes,
                                 const PathMesh::Format& format) {
    // Each vertex brings about 64 bytes to the buffer, which is copied
    // about twice per mesh: this budget keeps the copying to a few hundred
    // megabytes.
    constexpr std::size_t kSeparateBudget = 4u << 20;  // meshes x vertices
    constexpr std::size_t kFewestGroups = 4;
    std::size_t vertices = 0;
    for (const MeshTube& t : tubes) vertices += t.mesh.vertices.size();
    std::size_t most = tubes.size();
    if (std::string(format.exporter) == "glb2" && tubes.size() * vertices > kSeparateBudget)
        most = std::max(kFewestGroups, kSeparateBudget / std::max<std::size_t>(vertices, 1));
    std::vector<MeshGroup> groups;
    if (most >= tubes.size()) {
        for (std::size_t i = 0; i < tubes.size(); ++i) groups.push_back({tubes[i].name, i, 1});
        return groups;
    }
    const std::size_t share = (vertices + most - 1) / most;
    std::size_t filled = 0;
    for (std::size_t i = 0; i < tubes.size(); ++i) {
        if (groups.empty() || filled >= share) {
            groups.push_back({tubes[i].name, i, 0});
            filled = 0;
        }
        MeshGroup& g = groups.back();
        ++g.count;
        filled += tubes[i].mesh.vertices.size();
        if (g.count > 1) g.name = tubes[g.first].name + " to " + tubes[i].name;
    }
    return groups;
}

// The files of an export reach the disk through the program's one save:
// each is an AtomicFile, and all of them take their names only once the
// whole export has succeeded (an OBJ file and its .mtl together).
class SavingFiles : public OutputFiles {
    struct File : OutputFile {
        explicit File(const std::string& path) : atomic(path) {}
        AtomicFile atomic;
        bool write(const void* bytes, std::size_t size) override {
            atomic.write(std::string_view(static_cast<const char*>(bytes), size));
            return true;  // a failure is remembered and told by commit()
        }
        long long seek(long long offset, int whence) override {
            return atomic.seek(offset, whence);
        }
        long long size() override { return atomic.size(); }
    };

  public:
    OutputFile* open(const std::string& path) override {
        auto file = std::make_unique<File>(path);
        if (!file->atomic.open()) {
            if (error.empty()) error = file->atomic.error();
            return nullptr;
        }
        files_.push_back(std::move(file));
        return files_.back().get();
    }
    bool commit() {
        for (auto& f : files_)
            if (!f->atomic.commit()) {
                error = f->atomic.error();
                return false;
            }
        return true;
    }
    std::string error;

  private:
    std::vector<std::unique_ptr<File>> files_;
};

// Millimetres for printers: every coordinate times the scale asked for.
// False when the scale is 1 and nothing changed.
bool scaleTubes(std::vector<MeshTube>& tubes, const MeshOptions& o) {
    Vec3 low{INFINITY, INFINITY, INFINITY}, high = -1 * low;
    for (const MeshTube& t : tubes)
        for (const Vec3& v : t.mesh.vertices) {
            low = {std::min(low.x, v.x), std::min(low.y, v.y), std::min(low.z, v.z)};
            high = {std::max(high.x, v.x), std::max(high.y, v.y), std::max(high.z, v.z)};
        }
    const Vec3 size = high - low;
    const double scale = meshScale(o, std::max({size.x, size.y, size.z}));
    if (scale == 1) return false;
    for (MeshTube& t : tubes) {
        for (Vec3& v : t.mesh.vertices) v = scale * v;
        for (Vec3& c : t.mesh.centres) c = scale * c;
    }
    return true;
}

std::string lowerExtension(const std::string& path) {
    std::string ext = fs::path(path).extension().string();
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return ext;
}
}  // namespace

const std::vector<PathMesh::Format>& PathMesh::formats() {
    static const std::vector<Format> f = {
        {".obj", "obj", "Wavefront OBJ with its .mtl colours"},
        // Text: this Assimp's binary PLY writer garbles the faces.
        {".ply", "ply", "PLY with vertex colours"},
        {".stl", "stlb", "STL (binary), for 3-D printing"},
        {".glb", "glb2", "glTF 2.0 binary, for web viewers and Blender"},
        {".3mf", "3mf", "3MF, for 3-D printing"},
    };
    return f;
}

const PathMesh::Format* PathMesh::formatForPath(const std::string& path) {
    std::string ext = lowerExtension(path);
    for (const Format& f : formats())
        if (ext == f.extension) return &f;
    return nullptr;
}

std::string PathMesh::write(const Automaton& a, const std::string& path,
                            const MeshOptions& options) {
    const Format* format = formatForPath(path);
    if (!format) return "The mesh type is chosen by the extension of " + path + ".";
    if (options.tubeRadius && !acceptsTubeRadius(*options.tubeRadius))
        return "The tube radius must be a positive number below " +
               std::to_string(static_cast<int>(kLargestTubeRadius)) + ".";
    if (options.sides && (*options.sides < 3 || *options.sides > kMostSides))
        return "Tubes need from 3 to " + std::to_string(kMostSides) + " sides.";
    // Before the tubes are built, which is most of the work.
    const std::string failed = "The mesh " + path + " could not be written: ";
    if (std::string why = AtomicFile::problem(path); !why.empty()) return failed + why + ".";
    if ((options.sizeMillimetres &&
         !(*options.sizeMillimetres > 0 && *options.sizeMillimetres < 1e6)) ||
        !(options.scale > 0 && options.scale < 1e6))
        return "The size must be a positive number.";
    const TubeSizing sizing = chooseTubeRadius(a, options);
    if (options.warning)
        for (const std::string& w : sizing.warnings) options.warning(w);

    // The tubes are built side by side on the machine's cores: building
    // them is most of an export's work.
    struct Job {
        const Sphere* sphere;
        std::size_t point;
        TubeSettings settings;
    };
    std::vector<Job> jobs;
    for (const Sphere* s : a.sphereTable) {
        if (!s) continue;
        TubeSettings settings = tubeSettingsFor(s->radius);
        if (sizing.radius) settings.radius = *sizing.radius;
        if (options.sides) settings.sides = *options.sides;
        for (std::size_t p = 0; p < s->points.size(); ++p)
            if (!s->points[p].path.empty()) jobs.push_back({s, p, settings});
    }
    if (options.maxTriangles < 1 || options.maxTriangles > MeshOptions::kMostTriangles)
        return "The triangle budget must be from 1 to " +
               std::to_string(MeshOptions::kMostTriangles) + ".";
    // The budget is shared by all traced points in proportion to their
    // samples, so that no file can make the tubes take memory without end.
    std::vector<std::size_t> samples;
    for (const Job& j : jobs) samples.push_back(j.sphere->points[j.point].path.size());
    const std::vector<std::size_t> shares = tubeTriangleShares(samples, options.maxTriangles);
    std::atomic<bool> coarsened{false};
    // An STL file holds nothing but the triangles: each tube becomes its
    // records on the thread that built it, and its mesh is let go at once;
    // unless the model is scaled, which needs every tube's extent first.
    const bool stl = std::string(format->exporter) == "stlb";
    const bool scaled = options.sizeMillimetres || options.scale != 1;
    const bool recordsAtOnce = stl && !scaled;
    std::vector<MeshTube> built(jobs.size());
    std::vector<std::string> records(stl ? jobs.size() : 0);
    parallelFor(jobs.size(), [&](std::size_t i, unsigned) {
        const Job& j = jobs[i];
        bool coarse = false;
        TubeMesh mesh = boundedTube(j.sphere->points[j.point].path, j.settings, shares[i], &coarse);
        if (coarse) coarsened = true;
        if (recordsAtOnce)
            records[i] = stlTriangles(mesh);
        else
            built[i] = {j.sphere->name + "/" + std::to_string(j.point), j.sphere->color,
                        std::move(mesh)};
    });
    if (options.coarsened) *options.coarsened = coarsened;
    std::vector<MeshTube> tubes;
    for (auto& t : built)
        if (!t.mesh.triangles.empty()) tubes.push_back(std::move(t));
    if (!recordsAtOnce) {
        scaleTubes(tubes, options);
        if (stl)
            for (std::size_t i = 0; i < tubes.size(); ++i) records[i] = stlTriangles(tubes[i].mesh);
    }
    if (stl ? std::all_of(records.begin(), records.end(), [](auto& r) { return r.empty(); })
            : tubes.empty())
        return "There are no point paths to write.";

    if (stl) {
        SavingFiles files;
        std::string why = writeStl(records, path, files);
        if (!why.empty()) return failed + why;
        if (!files.error.empty() || !files.commit()) return failed + files.error + ".";
        return {};
    }
    std::string error;
    const MediaModule* module = MediaModule::load(&error);
    if (!module) return error;
    const auto groups = groupsFor(tubes, *format);
    if (std::string(format->exporter) != "3mf") {
        SavingFiles files;
        std::string why = module->writeMesh(tubes, groups, format->exporter, path, files);
        if (!why.empty()) return failed + why;
        if (!files.error.empty() || !files.commit()) return failed + files.error + ".";
        return {};
    }
    // The 3MF exporter zips straight into the file it is given, past the
    // files handed to it: it writes into a work folder, its materials are
    // put right there, and the bytes are then saved from it.
    WorkFolder work(path, false);
    if (!work.open()) return failed + work.error() + ".";
    const std::string written = (work.path() / "mesh.3mf").string();
    {
        StagedFiles files;
        std::string why = module->writeMesh(tubes, groups, format->exporter, written, files);
        std::string closing = files.close();
        if (!why.empty() || !closing.empty()) return failed + (why.empty() ? closing : why);
    }
    std::vector<ThreeMfTube> named;
    for (const MeshTube& t : tubes) named.push_back({t.name, t.colour});
    if (std::string e = fixThreeMfMaterials(written, named); !e.empty()) return failed + e + ".";
    std::ifstream in(written, std::ios::binary);
    if (!in.is_open()) return failed + "its work file could not be read.";
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    AtomicFile file(path);
    if (file.open()) file.write(bytes);
    if (!file.commit()) return failed + file.error() + ".";
    return {};
}
