// Meshes: solids made in the module that the program opens when it needs
// it and written here (binary STL, 3MF); viewers' tubes built here and
// written through Assimp's exporters in that module.
#include "pathmesh.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <bit>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <limits>
#include <memory>
#include <numbers>
#include <numeric>
#include <system_error>
#include <thread>
#include <unordered_map>

#include "atomicfile.h"
#include "curveinvariants.h"
#include "exactcurve.h"
#include "mediamodule.h"
#include "meshtext.h"
#include "parallel.h"
#include "passstop.h"
#include "pointcurve.h"
#include "relations.h"
#include "sphere.h"
#include "threemf.h"
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

// Triangles as STL records. The normal is the corners' cross product made
// unit, in single precision from the corners as stored.
std::string stlTriangles(const std::vector<Vec3>& vertices,
                         const std::vector<std::uint32_t>& triangles) {
    static_assert(std::endian::native == std::endian::little);
    struct Corner {
        float x, y, z;
    };
    std::vector<Corner> corners(vertices.size());
    for (std::size_t v = 0; v < corners.size(); ++v)
        corners[v] = {static_cast<float>(vertices[v].x), static_cast<float>(vertices[v].y),
                      static_cast<float>(vertices[v].z)};
    std::string out(triangles.size() / 3 * kStlTriangle, '\0');
    char* at = out.data();
    for (std::size_t t = 0; t + 2 < triangles.size(); t += 3, at += kStlTriangle) {
        // Normal, three corners, and two bytes of attributes left 0.
        Corner record[4];
        const Corner& a = record[1] = corners[triangles[t]];
        const Corner& b = record[2] = corners[triangles[t + 1]];
        const Corner& c = record[3] = corners[triangles[t + 2]];
        const Corner u{b.x - a.x, b.y - a.y, b.z - a.z}, w{c.x - a.x, c.y - a.y, c.z - a.z};
        Corner n{u.y * w.z - u.z * w.y, u.z * w.x - u.x * w.z, u.x * w.y - u.y * w.x};
        const float l = std::sqrt(n.x * n.x + n.y * n.y + n.z * n.z);
        if (l > 0 && std::isfinite(l)) {
            const float inverse = 1.0f / l;
            n = {n.x * inverse, n.y * inverse, n.z * inverse};
        } else if (!(l == 0)) {
            // Corners near the float range overflow the products: in
            // double, and left 0 should that fail too.
            const Vec3 d = normalise(cross(Vec3{u.x, u.y, u.z}, Vec3{w.x, w.y, w.z}));
            n = finiteWithin(d, 1) ? Corner{static_cast<float>(d.x), static_cast<float>(d.y),
                                            static_cast<float>(d.z)}
                                   : Corner{0, 0, 0};
        }
        record[0] = n;
        std::memcpy(at, record, sizeof record);
    }
    return out;
}

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
            // A stop ends the writer (Assimp's, the 3MF package) at its
            // next write; nothing takes a name then (commitFiles).
            if (stopRequested()) return false;
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
    // The system's reason a write has failed so far, or "".
    std::string writeError() const {
        for (const auto& f : files_)
            if (std::string why = f->atomic.writeError(); !why.empty()) return why;
        return {};
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

// glTF counts in metres with +Y up: the file's millimetres become metres
// and the automaton's z axis becomes +Y (its y then points along -Z, which
// keeps the axes right-handed).
void toGltfAxes(std::vector<MeshTube>& tubes) {
    auto turn = [](const Vec3& v) { return Vec3{v.x, v.z, -v.y}; };
    for (MeshTube& t : tubes) {
        for (Vec3& v : t.mesh.vertices) v = 0.001 * turn(v);
        for (Vec3& n : t.mesh.normals) n = turn(n);
        for (Vec3& c : t.mesh.centres) c = 0.001 * turn(c);
    }
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
        {".stl", "stlb", "STL (binary), one solid for 3-D printing"},
        {".glb", "glb2", "glTF 2.0 binary, for web viewers and Blender"},
        {".3mf", "3mf", "3MF, a coloured part per curve, for 3-D printing"},
    };
    return f;
}

const PathMesh::Format* PathMesh::formatForPath(const std::string& path) {
    std::string ext = lowerExtension(path);
    for (const Format& f : formats())
        if (ext == f.extension) return &f;
    return nullptr;
}

namespace {
const char* const kStopped = "The export was stopped.";

// Every format here holds single precision: a position beyond it would be
// written as an infinity or NaN, which no reader takes.
constexpr double kFloatMost = std::numeric_limits<float>::max();
const char* const kTooLarge =
    "its positions are too large for the file's numbers (a smaller --size or --scale fits "
    "them).";
bool fitsFloats(const std::vector<Vec3>& points) {
    return std::all_of(points.begin(), points.end(),
                       [](const Vec3& v) { return finiteWithin(v, kFloatMost); });
}

struct Curve {
    std::string name;  // sphere/point
    std::uint32_t colour;
    const Sphere* sphere;
    // The samples as the document holds them, or turned upright (owned).
    std::shared_ptr<const std::vector<Vec3>> samples;
    int point = 0;
    // The axis turned up, when the model is turned (Orient::Axis).
    std::optional<Vec3> axis;
};

// The axis most of the curves' symmetry refers to (ties: the first
// curve's), as info prints it for each curve.
Vec3 modelAxis(const Automaton& a, const std::vector<Curve>& curves) {
    std::vector<std::pair<Vec3, int>> axes;
    for (const Curve& c : curves) {
        const Vec3 axis =
            normalise(curveSymmetry(a, *c.sphere, static_cast<std::size_t>(c.point)).axis);
        if (!std::isfinite(axis.x) || !std::isfinite(axis.y) || !std::isfinite(axis.z)) continue;
        auto same = std::find_if(axes.begin(), axes.end(),
                                 [&](const auto& e) { return length(e.first - axis) < 1e-9; });
        if (same == axes.end())
            axes.emplace_back(axis, 1);
        else
            ++same->second;
    }
    Vec3 best{0, 0, 1};
    int most = 0;
    for (const auto& [axis, n] : axes)
        if (n > most) best = axis, most = n;
    return best;
}

// The turn that takes axis to +Z by the shortest way.
Vec3 uprightOf(Vec3 v, Vec3 axis) {
    const Vec3 up{0, 0, 1};
    const Vec3 about = cross(axis, up);
    const double s = length(about), c = dot(axis, up);
    if (s < 1e-12) return c > 0 ? v : Vec3{v.x, -v.y, -v.z};  // already up, or upside down
    return rotateAbout(v, (1 / s) * about, std::atan2(s, c));
}

std::vector<Curve> curvesOf(const Automaton& a, const MeshOptions& options) {
    std::vector<Curve> curves;
    for (const Sphere* s : a.sphereTable) {
        if (!s) continue;
        for (std::size_t p = 0; p < s->points.size(); ++p)
            if (!s->points[p].path.empty())
                curves.push_back({s->name + "/" + std::to_string(p), s->color, s,
                                  std::shared_ptr<const std::vector<Vec3>>(std::shared_ptr<void>(),
                                                                           &s->points[p].path),
                                  static_cast<int>(p), std::nullopt});
    }
    if (options.orient == MeshOptions::Orient::Axis && !curves.empty()) {
        const Vec3 axis = modelAxis(a, curves);
        for (Curve& c : curves) {
            auto turned = std::make_shared<std::vector<Vec3>>(*c.samples);
            for (Vec3& v : *turned) v = uprightOf(v, axis);
            c.samples = std::move(turned);
            c.axis = axis;
        }
    }
    return curves;
}

// A solid's lowest point on the bed, z = 0, every part moved alike.
void onTheBed(std::vector<SolidMesh>& solids) {
    double lowest = INFINITY;
    for (const SolidMesh& m : solids)
        for (const Vec3& v : m.vertices) lowest = std::min(lowest, v.z);
    if (!std::isfinite(lowest)) return;
    for (SolidMesh& m : solids)
        for (Vec3& v : m.vertices) v.z -= lowest;
}

// Runs job(i) for i in [0, n) on the machine's cores; once a stop is asked
// for (Ctrl+C, an edit), no further job starts.
void onEveryCore(std::size_t n, const std::function<void(std::size_t)>& job) {
    ParallelOptions o;
    o.stop = [] { return stopRequested(); };
    parallelFor(
        n, [&](std::size_t i, unsigned) { job(i); }, o);
}

// What a solid costs, known from its centre lines before a cell is made.
// Triangles: the mesher makes about this many per square cell of the
// tubes' surface (measured over the examples, adaptivity included; the
// union only removes surface). Cell visits: every cell of each segment's
// box, the bound of the distance pass's work.
constexpr double kTrianglesPerCellArea = 0.5;
constexpr double kMostCellVisits = 1.5e9;
constexpr double kAdaptivity = 0.05;

struct SolidCost {
    double triangles = 0, visits = 0;
};
SolidCost solidCost(const std::vector<std::vector<std::vector<Vec3>>>& parts, double radius,
                    double voxel) {
    SolidCost c;
    const double reach = 2 * (radius / voxel + 3) + 1;
    for (const auto& part : parts)
        for (const auto& line : part)
            for (std::size_t i = 0; i < line.size(); ++i) {
                const double l = length(line[(i + 1) % line.size()] - line[i]);
                c.triangles +=
                    kTrianglesPerCellArea * 2 * std::numbers::pi * radius * l / (voxel * voxel);
                c.visits += (l / voxel + reach) * reach * reach;
            }
    return c;
}

// The solids of the parts (each a set of closed centre lines in the file's
// units fused into one) with at most maxTriangles triangles together: the
// cell is made coarser until the cost fits, and again should the mesher
// still give more.
// Below this many cells across a tube the level set no longer holds it.
constexpr double kFewestCellsPerRadius = 1.5;

// Where the budget leaves too few cells for the tubes, plain ring tubes
// around the lines (a few sides, as many rings as the budget shares out):
// each closed and consistently oriented, no longer fused where they touch.
void ringSolids(const std::vector<std::vector<std::vector<Vec3>>>& parts, double radius,
                std::size_t maxTriangles, std::vector<SolidMesh>& solids) {
    std::vector<std::size_t> sizes;
    for (const auto& part : parts)
        for (const auto& line : part) sizes.push_back(line.size());
    const auto shares = tubeTriangleShares(sizes, maxTriangles);
    // The shares are at least a small tube's each: within the budget taken
    // together again.
    double total = 0;
    for (std::size_t n : shares) total += static_cast<double>(n);
    const double fit = std::min(1.0, static_cast<double>(maxTriangles) / total);
    TubeSettings s;
    s.radius = radius;
    s.sides = 3;
    s.maxTurnDegrees = 180;
    s.tolerance = 1;
    solids.assign(parts.size(), {});
    std::size_t k = 0;
    for (std::size_t i = 0; i < parts.size(); ++i)
        for (const auto& line : parts[i]) {
            const auto share = static_cast<std::size_t>(fit * static_cast<double>(shares[k++]));
            TubeMesh m = boundedTube(line, s, std::max<std::size_t>(share, 6 * 3));
            if (m.triangles.size() / 3 > share) continue;
            SolidMesh& out = solids[i];
            const auto base = static_cast<std::uint32_t>(out.vertices.size());
            out.vertices.insert(out.vertices.end(), m.vertices.begin(), m.vertices.end());
            for (std::uint32_t t : m.triangles) out.triangles.push_back(base + t);
        }
}

// A solid as a slicer should get it. Corners that fall on one point in the
// single precision files hold are made one corner, and the triangles that
// then have no area go: their neighbours across the collapsed edge close up
// on each other, so the surface stays closed. Of the closed shells the
// level set gives, those facing inwards are the walls of voids enclosed in
// a body (pockets where strands come together), which a printer would
// fill with nothing: only each body's outer shell is kept. Unused corners
// are dropped.
void cleanSolid(SolidMesh& m) {
    struct Key {
        float x, y, z;
        bool operator==(const Key&) const = default;
    };
    struct KeyHash {
        std::size_t operator()(const Key& k) const {
            std::uint32_t b[3];
            std::memcpy(b, &k, sizeof b);
            return (std::size_t{b[0]} * 73856093u) ^ (std::size_t{b[1]} * 19349663u) ^
                   (std::size_t{b[2]} * 83492791u);
        }
    };
    const std::size_t n = m.vertices.size();
    std::vector<std::uint32_t> same(n);
    {
        std::unordered_map<Key, std::uint32_t, KeyHash> first;
        first.reserve(n);
        for (std::size_t v = 0; v < n; ++v) {
            const Vec3& p = m.vertices[v];
            const Key k{static_cast<float>(p.x), static_cast<float>(p.y), static_cast<float>(p.z)};
            same[v] = first.emplace(k, static_cast<std::uint32_t>(v)).first->second;
        }
    }
    std::vector<std::uint32_t> kept;
    kept.reserve(m.triangles.size());
    for (std::size_t t = 0; t + 2 < m.triangles.size(); t += 3) {
        const std::uint32_t a = same[m.triangles[t]], b = same[m.triangles[t + 1]],
                            c = same[m.triangles[t + 2]];
        if (a != b && b != c && a != c) kept.insert(kept.end(), {a, b, c});
    }
    // Shells: corners joined by triangles.
    std::vector<std::uint32_t> root(n);
    std::iota(root.begin(), root.end(), 0u);
    auto find = [&](std::uint32_t v) {
        while (root[v] != v) v = root[v] = root[root[v]];
        return v;
    };
    for (std::size_t t = 0; t < kept.size(); t += 3)
        for (int k = 1; k < 3; ++k) {
            const std::uint32_t a = find(kept[t]), b = find(kept[t + k]);
            if (a != b) root[std::max(a, b)] = std::min(a, b);
        }
    std::vector<double> volume(n, 0);
    for (std::size_t t = 0; t < kept.size(); t += 3)
        volume[find(kept[t])] +=
            dot(m.vertices[kept[t]], cross(m.vertices[kept[t + 1]], m.vertices[kept[t + 2]]));
    std::vector<std::uint32_t> index(n, std::numeric_limits<std::uint32_t>::max());
    std::vector<Vec3> vertices;
    std::vector<std::uint32_t> triangles;
    triangles.reserve(kept.size());
    for (std::size_t t = 0; t < kept.size(); t += 3) {
        if (!(volume[find(kept[t])] > 0)) continue;
        for (int k = 0; k < 3; ++k) {
            std::uint32_t& i = index[kept[t + k]];
            if (i == std::numeric_limits<std::uint32_t>::max()) {
                i = static_cast<std::uint32_t>(vertices.size());
                vertices.push_back(m.vertices[kept[t + k]]);
            }
            triangles.push_back(i);
        }
    }
    m.vertices = std::move(vertices);
    m.triangles = std::move(triangles);
}

// The solids of the parts (each a set of closed centre lines in the file's
// units fused into one) with at most maxTriangles triangles together: the
// cell is made coarser until the cost fits, and again should the mesher
// still give more.
std::string buildSolids(const MediaModule& module,
                        const std::vector<std::vector<std::vector<Vec3>>>& parts,
                        const TubeSizing& z, std::size_t maxTriangles,
                        std::vector<SolidMesh>& solids, bool& coarsened) {
    double voxel = z.resolution;
    for (int round = 0; round < 8; ++round) {
        for (;;) {
            const SolidCost c = solidCost(parts, z.radius, voxel);
            const double over = std::max(c.triangles / static_cast<double>(maxTriangles),
                                         c.visits / kMostCellVisits);
            if (!(over > 1)) break;
            voxel *= std::max(1.05, std::sqrt(over));
            coarsened = true;
        }
        if (voxel * kFewestCellsPerRadius > z.radius) break;
        solids.assign(parts.size(), {});
        std::size_t triangles = 0;
        for (std::size_t i = 0; i < parts.size(); ++i) {
            SolidRequest request;
            request.lines = parts[i];
            request.radius = z.radius;
            request.voxel = voxel;
            request.adaptivity = kAdaptivity;
            std::string why = module.makeSolid(request, &solids[i]);
            if (!why.empty()) return why;
            cleanSolid(solids[i]);
            triangles += solids[i].triangles.size() / 3;
        }
        if (triangles <= maxTriangles && triangles > 0) return {};
        // The mesher merges more cells where they are fine, so its count
        // falls more slowly than the cells' area: bold steps.
        voxel *= std::max(1.25, static_cast<double>(triangles) / maxTriangles);
        coarsened = true;
    }
    ringSolids(parts, z.radius, maxTriangles, solids);
    std::size_t triangles = 0;
    for (const SolidMesh& m : solids) triangles += m.triangles.size() / 3;
    if (triangles == 0)
        return "no solid of these tubes fits within " + std::to_string(maxTriangles) +
               " triangles (--max-triangles).";
    return {};
}

// The closed centre lines of the curves in automaton units, close enough
// to the samples for the solid's cells, within a shared vertex budget.
// The curve itself as a closed line for a solid: evaluated at exact
// instants (the samples alone stand too far apart on a long, smooth stretch:
// a circle of 37 samples strays 0.13 mm at 75 mm across) until the middle
// of every piece lies within tolerance of its chord, beginning with as many
// instants as the path has samples. Nothing when it takes more than most
// vertices.
std::optional<std::vector<Vec3>> exactLine(const Automaton& a, const Curve& c, double tolerance,
                                           std::size_t most) {
    const auto curve = PointCurve::make(a, *c.sphere, c.point);
    if (!curve || !(tolerance > 0)) return std::nullopt;
    auto at = [&](double u) {
        const Vec3 v = curve->at(u);
        return c.axis ? uprightOf(v, *c.axis) : v;
    };
    struct Knot {
        double u;
        Vec3 p;
        bool settled;  // the piece to the next knot is close enough
    };
    std::vector<Knot> knots;
    const std::size_t first = std::max<std::size_t>(c.samples->size(), 16);
    if (first > most) return std::nullopt;
    for (std::size_t k = 0; k < first; ++k) {
        const double u = static_cast<double>(k) / static_cast<double>(first);
        knots.push_back({u, at(u), false});
    }
    for (int round = 0; round < 40; ++round) {
        std::vector<Knot> next;
        next.reserve(knots.size() * 2);
        bool split = false;
        for (std::size_t i = 0; i < knots.size(); ++i) {
            const Knot& k = knots[i];
            next.push_back(k);
            if (k.settled) continue;
            const bool last = i + 1 == knots.size();
            const double u1 = last ? 1.0 : knots[i + 1].u;
            const Vec3& p1 = last ? knots[0].p : knots[i + 1].p;
            const double um = 0.5 * (k.u + u1);
            const Vec3 pm = at(um);
            if (length(pm - 0.5 * (k.p + p1)) <= tolerance) {
                next.back().settled = true;
                continue;
            }
            next.push_back({um, pm, false});
            split = true;
        }
        if (next.size() > most) return std::nullopt;
        knots = std::move(next);
        if (!split) break;
    }
    std::vector<Vec3> line;
    line.reserve(knots.size());
    for (const Knot& k : knots) line.push_back(k.p);
    return line;
}

std::vector<std::vector<Vec3>> solidLines(const Automaton& a, const std::vector<Curve>& curves,
                                          const TubeSizing& z, std::size_t maxTriangles,
                                          bool& coarsened) {
    TubeSettings settings;
    settings.radius = z.automatonRadius();
    settings.tolerance = z.resolution / (4 * z.radius);
    settings.maxTurnDegrees = 15;
    // A segment costs the distance pass a few hundred cells however short
    // it is: no more segments than an eighth of the triangles.
    std::vector<std::size_t> samples;
    for (const Curve& c : curves) samples.push_back(c.samples->size());
    const auto shares = tubeTriangleShares(samples, std::max<std::size_t>(maxTriangles / 8, 1024));
    std::vector<std::vector<Vec3>> lines(curves.size());
    std::atomic<bool> coarse{false};
    // The line keeps to a sixteenth of the cell, in automaton units, what
    // leaves the mesher most of the quarter cell the surface keeps to.
    const double tolerance = z.resolution / (16 * z.scale);
    onEveryCore(curves.size(), [&](std::size_t i) {
        if (auto exact = exactLine(a, curves[i], tolerance, shares[i])) {
            lines[i] = std::move(*exact);
            return;
        }
        bool c = false;
        lines[i] = boundedCentreLine(*curves[i].samples, settings, shares[i], &c);
        if (c) coarse = true;
    });
    if (coarse) coarsened = true;
    return lines;
}

// Viewers' meshes: a tube per curve in automaton units, built side by side
// on the machine's cores (building them is most of an export's work),
// within the triangle budget shared in proportion to the samples. Curves
// that make no tube are left out.
std::vector<MeshTube> viewerTubes(const std::vector<Curve>& curves, const TubeSizing& z,
                                  const MeshOptions& options, bool& coarsened) {
    std::vector<std::size_t> samples;
    for (const Curve& c : curves) samples.push_back(c.samples->size());
    const std::vector<std::size_t> shares = tubeTriangleShares(samples, options.maxTriangles);
    std::atomic<bool> coarse{false};
    std::vector<MeshTube> built(curves.size());
    onEveryCore(curves.size(), [&](std::size_t i) {
        TubeSettings settings = tubeSettingsFor(curves[i].sphere->radius);
        settings.radius = z.automatonRadius();
        if (options.sides) settings.sides = *options.sides;
        bool c = false;
        TubeMesh mesh = boundedTube(*curves[i].samples, settings, shares[i], &c);
        if (c) coarse = true;
        built[i] = {curves[i].name, curves[i].colour, std::move(mesh)};
    });
    coarsened = coarse;
    std::vector<MeshTube> tubes;
    for (auto& t : built)
        if (!t.mesh.triangles.empty()) tubes.push_back(std::move(t));
    return tubes;
}

bool isSolid(const PathMesh::Format& f) {
    return std::string(f.exporter) == "stlb" || std::string(f.exporter) == "3mf";
}

std::string commitFiles(SavingFiles& files, const std::string& failed) {
    // The last stop point: once the files have their names the export has
    // happened, and is told so.
    if (stopRequested()) return kStopped;
    if (!files.error.empty() || !files.commit()) return failed + files.error + ".";
    return {};
}
}  // namespace

double PathMesh::extent(const Automaton& a, const std::string& path, const MeshOptions& options) {
    const Format* format = formatForPath(path);
    const std::vector<Curve> curves = curvesOf(a, options);
    const TubeSizing sizing = chooseTubeSizing(a, options);
    if (!format || curves.empty() || !sizing.error.empty()) return largestDimension(a);
    bool coarsened = false;
    std::vector<const std::vector<Vec3>*> spans;
    if (isSolid(*format)) {
        const auto lines = solidLines(a, curves, sizing, options.maxTriangles, coarsened);
        for (const auto& l : lines) spans.push_back(&l);
        return largestDimension(spans);
    }
    const auto tubes = viewerTubes(curves, sizing, options, coarsened);
    for (const MeshTube& t : tubes) spans.push_back(&t.mesh.centres);
    return largestDimension(spans);
}

std::string PathMesh::write(const Automaton& a, const std::string& path,
                            const MeshOptions& options) {
    const Format* format = formatForPath(path);
    if (!format) return "The mesh type is chosen by the extension of " + path + ".";
    if ((options.tubeRadius && !acceptsTubeRadius(*options.tubeRadius)) ||
        (options.tubeRadiusMillimetres && !acceptsTubeRadius(*options.tubeRadiusMillimetres)))
        return "The tube radius must be a positive number below " +
               std::to_string(static_cast<int>(kLargestTubeRadius)) + ".";
    if (options.resolution && !acceptsTubeRadius(*options.resolution))
        return "The resolution must be a positive number below " +
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
    const std::size_t most = MeshOptions::mostTriangles(isSolid(*format));
    if (options.maxTriangles < 1 || options.maxTriangles > most)
        return "The triangle budget must be from 1 to " + std::to_string(most) +
               ", what a gigabyte of memory holds.";
    const std::vector<Curve> curves = curvesOf(a, options);
    if (curves.empty()) return "There are no point paths to write.";
    TubeSizing sizing = chooseTubeSizing(a, options);
    if (!sizing.error.empty()) return sizing.error;
    // extent: the centre lines' largest dimension, in automaton units.
    auto tell = [&](double extent) {
        if (options.said) options.said(sizing.said);
        if (options.warning)
            for (const std::string& w : sizing.warnings) options.warning(w);
        // Without a size a model is as many millimetres across as the
        // automaton has units, which is seldom what was meant.
        if (options.said && !sizing.sized) {
            char text[240];
            const double across = extent + 2 * sizing.radius;
            std::snprintf(text, sizeof text,
                          "note: the model is %.3g units across, which a slicer reads as %.3g mm; "
                          "--size 100mm (or --scale) gives it a size.",
                          across, across);
            options.said(text);
        }
    };
    const std::string exporter = format->exporter;
    bool coarsened = false;

    if (isSolid(*format)) {
        std::string error;
        const MediaModule* module = MediaModule::load(&error);
        if (!module) return error;
        const bool stl = exporter == "stlb";
        std::vector<std::vector<Vec3>> lines =
            solidLines(a, curves, sizing, options.maxTriangles, coarsened);
        if (stopRequested()) return kStopped;
        // Sized by the lines the solid is made around.
        std::vector<const std::vector<Vec3>*> spans;
        for (const auto& l : lines) spans.push_back(&l);
        const double extent = largestDimension(spans);
        sizing = chooseTubeSizing(a, options, extent);
        if (!sizing.error.empty()) return sizing.error;
        tell(extent);
        for (auto& l : lines)
            for (Vec3& v : l) v = sizing.scale * v;
        // STL holds one solid; 3MF a part per curve unless they are united.
        std::vector<std::vector<std::vector<Vec3>>> parts;
        if (stl || options.unite) {
            parts.emplace_back(std::move(lines));
        } else {
            for (auto& l : lines) parts.push_back({std::move(l)});
        }
        std::vector<SolidMesh> solids;
        error = buildSolids(*module, parts, sizing, options.maxTriangles, solids, coarsened);
        if (options.coarsened) *options.coarsened = coarsened;
        if (!error.empty()) return failed + error;
        for (const SolidMesh& m : solids)
            if (!fitsFloats(m.vertices)) return failed + kTooLarge;
        if (options.orient == MeshOptions::Orient::Axis) onTheBed(solids);
        SavingFiles files;
        if (stl) {
            std::vector<std::string> records{stlTriangles(solids[0].vertices, solids[0].triangles)};
            solids.clear();
            if (std::string why = writeStl(records, path, files); !why.empty()) return failed + why;
            return commitFiles(files, failed);
        }
        std::vector<ThreeMfPart> threeMf;
        for (std::size_t i = 0; i < solids.size(); ++i) {
            if (solids[i].triangles.empty()) continue;
            const bool one = parts.size() == 1 && curves.size() > 1;
            threeMf.push_back({one ? std::string("Rotundel") : curves[i].name,
                               one ? curves[0].colour : curves[i].colour, &solids[i]});
        }
        OutputFile* file = files.open(path);
        if (!file) return failed + files.error + ".";
        if (std::string why = writeThreeMf(threeMf, "Rotundel", *file); !why.empty()) {
            if (stopRequested()) return kStopped;
            // A full disk is said as the system says it, not as the package.
            const std::string system = files.writeError();
            return failed + (system.empty() ? why : system) + ".";
        }
        return commitFiles(files, failed);
    }

    std::vector<MeshTube> tubes = viewerTubes(curves, sizing, options, coarsened);
    if (options.coarsened) *options.coarsened = coarsened;
    if (stopRequested()) return kStopped;
    if (tubes.empty()) return "There are no point paths to write.";
    // Sized by the centre lines the rings stand on, each ring then put at
    // the file's scale with the file's radius around its centre.
    std::vector<const std::vector<Vec3>*> spans;
    for (const MeshTube& t : tubes) spans.push_back(&t.mesh.centres);
    const double extent = largestDimension(spans);
    sizing = chooseTubeSizing(a, options, extent);
    if (!sizing.error.empty()) return sizing.error;
    tell(extent);
    for (MeshTube& t : tubes) {
        TubeMesh& m = t.mesh;
        const auto sides = static_cast<std::size_t>(m.sides);
        for (std::size_t v = 0; v < m.vertices.size(); ++v)
            m.vertices[v] = sizing.scale * m.centres[v / sides] + sizing.radius * m.normals[v];
        for (Vec3& c : m.centres) c = sizing.scale * c;
        // Where a curve stops and turns back (a cusp) neighbouring rings
        // may meet in a point: triangles there have no area, as the file's
        // single precision holds them, and no normal. They cover nothing,
        // so they go.
        std::vector<std::uint32_t> kept;
        kept.reserve(m.triangles.size());
        for (std::size_t i = 0; i + 2 < m.triangles.size(); i += 3) {
            auto corner = [&](std::size_t k) {
                const Vec3& v = m.vertices[m.triangles[i + k]];
                return std::array<float, 3>{static_cast<float>(v.x), static_cast<float>(v.y),
                                            static_cast<float>(v.z)};
            };
            const auto a = corner(0), b = corner(1), c = corner(2);
            const float u[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]};
            const float w[3] = {c[0] - a[0], c[1] - a[1], c[2] - a[2]};
            const float n[3] = {u[1] * w[2] - u[2] * w[1], u[2] * w[0] - u[0] * w[2],
                                u[0] * w[1] - u[1] * w[0]};
            if (n[0] == 0 && n[1] == 0 && n[2] == 0) continue;
            kept.insert(kept.end(), m.triangles.begin() + static_cast<std::ptrdiff_t>(i),
                        m.triangles.begin() + static_cast<std::ptrdiff_t>(i + 3));
        }
        m.triangles = std::move(kept);
    }
    if (exporter == "glb2") toGltfAxes(tubes);
    for (const MeshTube& t : tubes)
        if (!fitsFloats(t.mesh.vertices) || !fitsFloats(t.mesh.normals)) return failed + kTooLarge;
    std::string error;
    const MediaModule* module = MediaModule::load(&error);
    if (!module) return error;
    const auto groups = groupsFor(tubes, *format);
    SavingFiles files;
    // The text formats are streamed as they are made (Assimp's writers
    // hold the whole text).
    std::string why;
    if (exporter == "obj")
        writeObjFile(tubes, groups, path, files);
    else if (exporter == "ply")
        writePlyFile(tubes, path, files);
    else
        why = module->writeMesh(tubes, groups, format->exporter, path, files);
    if (!why.empty()) return stopRequested() ? kStopped : failed + why;
    return commitFiles(files, failed);
}
