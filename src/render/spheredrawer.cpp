// Sphere bodies, axes, great circles, centres lines, point arrows and tubes.
#include "spheredrawer.h"

#include "parallel.h"
#include "passstop.h"

#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>
#include <GL/glu.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <functional>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

#include "imagefile.h"
#include "relations.h"
#include "tubemesh.h"

namespace {
// What a compiled body list shows besides the geometry that the frame
// update marks stale. When any of it differs the list is compiled again,
// so that an edit of appearance alone (colour, style, flags, the anaglyph
// switch, a texture that arrived later) shows at once.
struct BodyLook {
    std::uint32_t color = 0;
    int surface = -1;
    int flags = 0;
    bool stereo = false;
    GLuint texture = 0;
    const Sphere* neighbour = nullptr;
    double axisFactor = 0;
    bool lightBackground = false;
    friend bool operator==(const BodyLook&, const BodyLook&) = default;
};

GLUquadric* quadricOf(void* q) {
    return static_cast<GLUquadric*>(q);
}

void sphereColour(const Sphere& s, bool stereo) {
    if (stereo) {
        glColor3ub(255, 255, 255);
        return;
    }
    glColor3ub(static_cast<GLubyte>(s.color & 0xFF), static_cast<GLubyte>((s.color >> 8) & 0xFF),
               static_cast<GLubyte>((s.color >> 16) & 0xFF));
}

// The axis angle with its dynamic increment, kept below 360.
double bodyAngle(double fixed, bool animated, float dynamicAngle) {
    if (!animated) return fixed;
    double a = fixed + dynamicAngle;
    if (a >= 360) a -= 360;
    return a;
}

// The rigid motion that carries a sphere from its time-0 snapshot to its
// current placement: frame * inverse(snapshotFrame). Lists compiled at the
// snapshot are drawn through it while the spheres roll.
Mat4 motionSinceSnapshot(const Sphere& s) {
    Mat4 now = widen(s.frame), then = widen(s.snapshotFrame), inv{};
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) inv[c * 4 + r] = then[r * 4 + c];
        inv[12 + r] =
            -(then[r * 4] * then[12] + then[r * 4 + 1] * then[13] + then[r * 4 + 2] * then[14]);
    }
    inv[15] = 1;
    Mat4 m{};
    for (int c = 0; c < 4; ++c)
        for (int r = 0; r < 4; ++r)
            for (int k = 0; k < 4; ++k) m[c * 4 + r] += now[k * 4 + r] * inv[c * 4 + k];
    return m;
}

void pushMotion(const Sphere& s) {
    glPushMatrix();
    glMultMatrixd(motionSinceSnapshot(s).data());
}

int showFlags(const Sphere& s) {
    return (s.showRevolutionAxis ? 1 : 0) | (s.showGreatCircle ? 2 : 0) |
           (s.showRotationAxis ? 4 : 0) | (s.showPerpendicularAxis ? 8 : 0);
}
}  // namespace

struct SphereDrawer::Entry {
    GLUquadric* quadric = nullptr;
    GLuint bodyList = 0;
    bool bodyCompiled = false;
    std::size_t pathTriangles = 0;
    BodyLook bodyLook;
    GLuint textureName = 0;
    bool textureReady = false;
    std::string textureKey;
    bool textureTried = false;
    // The tubes as vertex buffers: drawn whole, or in part while rolling.
    GLuint tubeBuffer = 0, tubeIndices = 0;
    bool tubeBufferReady = false;
    int tubeLevel = -1;        // the detail the buffer was built at
    double tubeRadius = 0;     // the radius it was built with
    bool tubesCoarse = false;  // made coarser to keep within the budget
    std::vector<TubeRange> tubeRanges;
    std::uint64_t seen = 0;
    // The automaton's placement count when the lists and the tubes were
    // made: a later placement moved the spheres or changed the paths.
    std::uint64_t bodyPlacements = 0, tubePlacements = 0;
};

SphereDrawer::SphereDrawer(Mode mode, TextureFinder finder, Report report)
    : mode_(mode), finder_(std::move(finder)), report_(std::move(report)) {}

SphereDrawer::~SphereDrawer() {
    release();
}

void SphereDrawer::release() {
    for (auto& [sphere, e] : entries_) releaseEntry(*e);
    entries_.clear();
    if (coneQuadric_) gluDeleteQuadric(quadricOf(coneQuadric_));
    if (diskQuadric_) gluDeleteQuadric(quadricOf(diskQuadric_));
    coneQuadric_ = diskQuadric_ = nullptr;
}

void SphereDrawer::releaseEntry(Entry& e) {
    if (e.bodyList) glDeleteLists(e.bodyList, 2);
    if (e.tubeBuffer) glDeleteBuffers(1, &e.tubeBuffer);
    if (e.tubeIndices) glDeleteBuffers(1, &e.tubeIndices);
    if (e.quadric) gluDeleteQuadric(e.quadric);
    if (e.textureName) glDeleteTextures(1, &e.textureName);
    e = Entry{};
}

std::size_t SphereDrawer::tubeTriangles() const {
    std::size_t n = 0;
    for (const auto& [sphere, e] : entries_)
        if (e->tubeBufferReady) n += e->pathTriangles;
    return n;
}

bool SphereDrawer::tubesCoarsened() const {
    for (const auto& [sphere, e] : entries_)
        if (e->tubeBufferReady && e->tubesCoarse) return true;
    return false;
}

void SphereDrawer::invalidate() {
    invalidated_ = true;
}

SphereDrawer::Entry& SphereDrawer::entryFor(Sphere& s) {
    auto found = slots_.find(&s);
    auto& slot = entries_[found == slots_.end() ? -1 : found->second];
    if (!slot) slot = std::make_unique<Entry>();
    Entry& e = *slot;
    if (!e.quadric) {
        e.quadric = gluNewQuadric();
        if (e.quadric) {
            gluQuadricNormals(e.quadric, GLU_SMOOTH);
            gluQuadricOrientation(e.quadric, GLU_OUTSIDE);
            gluQuadricTexture(e.quadric, GL_TRUE);
        }
    }
    return e;
}

bool SphereDrawer::drawAutomaton(Automaton& a, const DrawOptions& o) {
    ++pass_;
    placements_ = a.placements;
    slots_.clear();
    for (int i = 0; i < Automaton::kTableSize; ++i)
        if (a.sphereTable[i]) slots_[a.sphereTable[i]] = i;
    if (a.root && a.stationarySphere) {
        if (!coneQuadric_) {
            GLUquadric* cone = gluNewQuadric();
            GLUquadric* disk = gluNewQuadric();
            if (cone) {
                gluQuadricDrawStyle(cone, GLU_FILL);
                gluQuadricNormals(cone, GLU_SMOOTH);
                gluQuadricOrientation(cone, GLU_OUTSIDE);
            }
            if (disk) {
                gluQuadricDrawStyle(disk, GLU_FILL);
                gluQuadricNormals(disk, GLU_SMOOTH);
                gluQuadricOrientation(disk, GLU_INSIDE);
            }
            coneQuadric_ = cone;
            diskQuadric_ = disk;
        }
        // No curve is drawn thinner than a share of the automaton's size,
        // so that the curve of a small sphere far down a chain is no
        // hairline in the picture. The spheres' extent stands for the
        // picture's size; the paths' own reach would cost a pass over
        // every sample at every frame.
        double size = 0;
        forEachPreOrder(a.root, [&size](Sphere& s) {
            const double r = std::abs(s.radius);
            if (std::isfinite(r)) size = std::max(size, length(s.center) + r);
        });
        leastTubeRadius_ = std::isfinite(size) ? kLeastTubeShare * size : 0;
        // The triangle budget is shared by every point drawn with a path.
        budgetSamples_ = budgetPaths_ = 0;
        forEachNeighbour(a.stationarySphere, [&](Sphere& s, Sphere*) {
            if (s.showPointPaths)
                for (const SpherePoint& p : s.points) {
                    budgetSamples_ += p.path.size();
                    budgetPaths_ += !p.path.empty();
                }
        });
        bool stopped = false;
        auto stopNow = [&] { return stopped || (stopped = o.stop && o.stop()); };
        // A sphere no placement has reached yet (one just added) has no
        // place to be drawn at.
        forEachNeighbour(a.stationarySphere, [&](Sphere& s, Sphere*) {
            if (stopNow() || !s.snapshotTaken) return;
            Entry& e = entryFor(s);
            e.seen = pass_;
            if (!drawPaths(s, e, o)) stopped = true;
        });
        forEachNeighbour(a.stationarySphere, [&](Sphere& s, Sphere* n) {
            if (!o.curvesOnly && s.snapshotTaken && !stopNow()) drawBody(s, n, entryFor(s), o);
        });
        // Spheres not reached were not drawn, not destroyed: keep their lists.
        if (stopped) return false;
    }
    invalidated_ = false;
    sweep();
    return true;
}

double SphereDrawer::drawnTubeRadius(const Sphere& s) const {
    return std::max(tubeSettingsFor(s.radius).radius, leastTubeRadius_);
}

void SphereDrawer::sweep() {
    // Spheres no longer drawn have been destroyed (or cut off): their
    // objects go now, on the thread that owns them.
    for (auto it = entries_.begin(); it != entries_.end();) {
        if (it->second->seen != pass_) {
            releaseEntry(*it->second);
            it = entries_.erase(it);
        } else {
            ++it;
        }
    }
}

namespace {
bool stopAsked(const DrawOptions& o) {
    return o.stop && o.stop();
}
}  // namespace

bool SphereDrawer::drawPaths(Sphere& s, Entry& e, const DrawOptions& o) {
    if (!s.showPointPaths) return true;
    const double radius = drawnTubeRadius(s);
    const int level = o.pixelsPerUnit > 0 ? tubeDetailLevel(radius * o.pixelsPerUnit) : -1;
    bool stale = !e.tubeBufferReady || e.tubePlacements != placements_ || invalidated_ ||
                 level != e.tubeLevel || radius != e.tubeRadius;
    if (stale) {
        if (!buildTubeBuffer(s, e, level, o)) return false;
        ++compilations_;
        e.tubePlacements = placements_;
    }
    if (o.rolling) {
        drawPartialTubes(s, e, o);
        return true;
    }
    if (!e.tubeBuffer || e.tubeRanges.empty()) return true;
    glLineWidth(3.0f);
    sphereColour(s, o.stereo);
    glBindBuffer(GL_ARRAY_BUFFER, e.tubeBuffer);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, e.tubeIndices);
    glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
    glInterleavedArrays(GL_N3F_V3F, 0, nullptr);
    // One batch per point: between two the frame can give way to a newer
    // scene.
    bool whole = true;
    for (std::size_t i = 0; i < e.tubeRanges.size(); ++i) {
        if (i > 0 && stopAsked(o)) {
            whole = false;
            break;
        }
        drawBands(e.tubeRanges[i], 0, e.tubeRanges[i].bandEnds.size());
    }
    glPopClientAttrib();
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    return whole;
}

void SphereDrawer::drawBands(const TubeRange& r, std::size_t from, std::size_t to) {
    if (to <= from) return;
    auto offset = (r.firstIndex + from * r.indicesPerBand) * sizeof(std::uint32_t);
    // The rings these bands join, so that only their vertices are
    // transformed (the band back to the start also joins ring 0).
    const GLuint sides = static_cast<GLuint>(r.indicesPerBand / 6);
    GLuint first = r.firstVertex + static_cast<GLuint>(from) * sides;
    GLuint last = r.firstVertex + static_cast<GLuint>(std::min(to + 1, r.rings)) * sides - 1;
    if (to >= r.rings) first = r.firstVertex;
    glDrawRangeElements(GL_TRIANGLES, first, last,
                        static_cast<GLsizei>((to - from) * r.indicesPerBand), GL_UNSIGNED_INT,
                        reinterpret_cast<const void*>(offset));
}

bool SphereDrawer::buildTubeBuffer(Sphere& s, Entry& e, int level, const DrawOptions& o) {
    TubeSettings settings = level < 0 ? tubeSettingsFor(s.radius) : tubeSettingsAt(s.radius, level);
    settings.radius = drawnTubeRadius(s);
    if (fullTubes_) settings.tolerance = 0;
    // Each point's part of the budget that all points drawn share.
    std::vector<std::size_t> shares;
    std::size_t mine = 0;
    const std::size_t budget = fullTubes_ ? std::size_t(1) << 40 : tubeBudget_;
    for (const SpherePoint& p : s.points) {
        shares.push_back(tubeTriangleShare(p.path.size(), double(budgetSamples_),
                                           std::max<std::size_t>(1, budgetPaths_), budget));
        mine += p.path.size();
    }
    // The meshes need no OpenGL: long paths are built on several threads,
    // then handed over here, on the context's thread, in point order.
    std::vector<TubeMesh> meshes(s.points.size());
    std::vector<char> coarse(meshes.size(), 0);
    // A stop asked for meanwhile leaves the meshes not yet begun unbuilt,
    // and the buffer stale for the next frame.
    std::atomic<bool> stopped{false};
    // A path of far more samples than its share has rings for is thinned
    // before the tube is built: the tessellation of every sample would
    // cost time and memory in proportion to the samples, only for the
    // budget to throw it away (twice the rings the coarsest tube has).
    auto build = [&](std::size_t i) {
        // Every worker looks at its thread's stop scope (helpers adopt the
        // caller's) before each mesh: a mesh takes a few milliseconds.
        if (stopRequested()) stopped = true;
        bool c = false;
        const std::vector<Vec3>& path = s.points[i].path;
        const std::size_t most = std::max<std::size_t>(64, shares[i] / 3);
        if (!stopped && path.size() > most) {
            std::vector<Vec3> fewer;
            fewer.reserve(most + 1);
            const std::size_t every = (path.size() + most - 1) / most;
            for (std::size_t k = 0; k < path.size(); k += every) fewer.push_back(path[k]);
            meshes[i] = boundedTube(fewer, settings, shares[i], &c);
            c = true;
        } else if (!stopped && !path.empty()) {
            meshes[i] = boundedTube(path, settings, shares[i], &c);
        }
        coarse[i] = c;
    };
    // Only the calling thread asks about a pause; the helpers see its answer.
    ParallelOptions parallel;
    if (mine < kParallelTubeSamples || meshes.size() < 2) parallel.threads = 1;
    std::size_t handedOut = 0;
    parallelFor(
        meshes.size(),
        [&](std::size_t i, unsigned worker) {
            if (worker == 0 && handedOut++ > 0 && stopAsked(o)) stopped = true;
            build(i);
        },
        parallel);
    // A stop seen inside a mesh (stopRequested) leaves that mesh cut short.
    if (stopped || stopRequested()) return false;

    std::vector<float> vertices;
    std::vector<std::uint32_t> indices;
    e.tubeRanges.clear();
    e.pathTriangles = 0;
    e.tubesCoarse = std::find(coarse.begin(), coarse.end(), 1) != coarse.end();
    // Given up half made, the buffer is made again by the next frame.
    auto giveUp = [&e] {
        e.tubeRanges.clear();
        e.tubeBufferReady = false;
        return false;
    };
    for (std::size_t i = 0; i < meshes.size(); ++i) {
        if (stopRequested()) return giveUp();
        const TubeMesh& mesh = meshes[i];
        if (mesh.triangles.empty()) continue;
        const auto& path = s.points[i].path;
        TubeRange range;
        range.firstIndex = indices.size();
        range.firstVertex = static_cast<GLuint>(vertices.size() / 6);
        range.rings = mesh.rings();
        range.indicesPerBand = static_cast<std::size_t>(mesh.sides) * 6;
        range.samples = path.size();
        // Where along the path (in samples) each band ends: rings lie in
        // path order, but the tube leaves out samples where they are dense
        // and adds rings where they are sparse, so each ring is matched to
        // the sample nearest to it, walking forward.
        std::size_t j = 0;
        auto d2 = [](const Vec3& a, const Vec3& b) { return dot(a - b, a - b); };
        for (std::size_t k = 1; k < mesh.rings(); ++k) {
            const Vec3& c = mesh.centres[k];
            while (j + 1 < path.size() && d2(path[j + 1], c) <= d2(path[j], c)) ++j;
            range.bandEnds.push_back(static_cast<double>(j));
        }
        range.bandEnds.push_back(static_cast<double>(path.size()));  // back to the start
        const auto base = static_cast<std::uint32_t>(vertices.size() / 6);
        vertices.reserve(vertices.size() + mesh.vertices.size() * 6);
        for (std::size_t v = 0; v < mesh.vertices.size(); ++v) {
            const Vec3& n = mesh.normals[v];
            const Vec3& x = mesh.vertices[v];
            vertices.insert(vertices.end(), {static_cast<float>(n.x), static_cast<float>(n.y),
                                             static_cast<float>(n.z), static_cast<float>(x.x),
                                             static_cast<float>(x.y), static_cast<float>(x.z)});
        }
        indices.reserve(indices.size() + mesh.triangles.size());
        for (std::uint32_t t : mesh.triangles) indices.push_back(base + t);
        e.pathTriangles += mesh.triangleCount();
        e.tubeRanges.push_back(std::move(range));
    }
    if (stopAsked(o) || stopRequested()) return giveUp();
    if (!e.tubeBuffer) glGenBuffers(1, &e.tubeBuffer);
    if (!e.tubeIndices) glGenBuffers(1, &e.tubeIndices);
    glBindBuffer(GL_ARRAY_BUFFER, e.tubeBuffer);
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(vertices.size() * sizeof(float)),
                 vertices.data(), GL_STATIC_DRAW);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, e.tubeIndices);
    glBufferData(GL_ELEMENT_ARRAY_BUFFER,
                 static_cast<GLsizeiptr>(indices.size() * sizeof(std::uint32_t)), indices.data(),
                 GL_STATIC_DRAW);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
    e.tubeBufferReady = true;
    e.tubeLevel = level;
    e.tubeRadius = settings.radius;
    return true;
}

void SphereDrawer::drawPartialTubes(Sphere& s, Entry& e, const DrawOptions& o) {
    if (!e.tubeBuffer || e.tubeRanges.empty()) return;
    double shown = o.rolling->pathShown ? o.rolling->pathShown(s) : 1.0;
    shown = std::clamp(shown, 0.0, 1.0);
    // Bands of each tube traced so far: those that end at or before the
    // point's current sample.
    auto traced = [shown](const TubeRange& r) {
        double reached = shown * static_cast<double>(r.samples);
        return static_cast<std::size_t>(
            std::upper_bound(r.bandEnds.begin(), r.bandEnds.end(), reached) - r.bandEnds.begin());
    };
    glLineWidth(3.0f);
    glBindBuffer(GL_ARRAY_BUFFER, e.tubeBuffer);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, e.tubeIndices);
    glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
    glInterleavedArrays(GL_N3F_V3F, 0, nullptr);
    sphereColour(s, o.stereo);
    for (const auto& r : e.tubeRanges) drawBands(r, 0, traced(r));
    if (o.rolling->faintRest && shown < 1) {
        // The rest of the way, faintly: the colour darkened rather than
        // blended, so that it costs no more than drawing it in full (and
        // looks the same on the window's black).
        constexpr float kFaint = 0.25f;
        if (o.stereo)
            glColor3f(kFaint, kFaint, kFaint);
        else
            glColor3f(kFaint * (s.color & 0xFF) / 255.0f, kFaint * ((s.color >> 8) & 0xFF) / 255.0f,
                      kFaint * ((s.color >> 16) & 0xFF) / 255.0f);
        // Pushed back a little: where a later lap runs along a traced one,
        // the traced one shows instead of the two fighting pixel by pixel.
        glPushAttrib(GL_POLYGON_BIT);
        glEnable(GL_POLYGON_OFFSET_FILL);
        glPolygonOffset(2.0f, 4.0f);
        for (const auto& r : e.tubeRanges) drawBands(r, traced(r), r.bandEnds.size());
        glPopAttrib();
        sphereColour(s, o.stereo);
    }
    glPopClientAttrib();
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
}

void SphereDrawer::axisArrow(double length, double head) {
    glLineWidth(3.0f);
    glBegin(GL_LINES);
    glVertex3d(0, 0, 0);
    glVertex3d(0, 0, length - head / 2);
    glEnd();
    glPushMatrix();
    glTranslated(0, 0, length - head);
    gluCylinder(quadricOf(coneQuadric_), head / 2, 0, head, 20, 2);
    glPopMatrix();
    glPushMatrix();
    glTranslated(0, 0, length - head);
    gluDisk(quadricOf(diskQuadric_), 0, head / 2, 20, 1);
    glPopMatrix();
}

unsigned SphereDrawer::textureFor(Sphere& s, Entry& e) {
    std::string key = s.textureFile + '\n' + finder_.documentFolder();
    if (e.textureTried && key == e.textureKey) return e.textureReady ? e.textureName : 0;
    e.textureKey = key;
    e.textureTried = true;
    e.textureReady = false;

    std::string name = TextureFinder::baseName(s.textureFile);
    std::string path = finder_.find(s.textureFile);
    RgbaImage picture;
    std::string error;
    if (path.empty())
        error = "The texture picture \"" + name + "\" was found neither beside the document " +
                "nor among the program's textures; spheres that use it are drawn without it.";
    else if (!ImageFile::read(path, &picture, &error))
        error += " Spheres that use it are drawn without a texture.";
    if (!error.empty()) {
        if (report_ && reported_.insert(name).second) report_(error);
        return 0;
    }
    GLint maxSide = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSide);
    if (!e.textureName) glGenTextures(1, &e.textureName);
    glBindTexture(GL_TEXTURE_2D, e.textureName);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    // GLU scales the picture to sizes the context accepts.
    int status = gluBuild2DMipmaps(GL_TEXTURE_2D, GL_RGBA, picture.width, picture.height, GL_RGBA,
                                   GL_UNSIGNED_BYTE, picture.pixels.data());
    glBindTexture(GL_TEXTURE_2D, 0);
    if (status != 0 || maxSide <= 0) {
        if (report_ && reported_.insert(name).second)
            report_("The texture picture \"" + name +
                    "\" could not be given to OpenGL; spheres that use it are drawn without it.");
        return 0;
    }
    e.textureReady = true;
    return e.textureName;
}

void SphereDrawer::drawBody(Sphere& s, Sphere* n, Entry& e, const DrawOptions& o) {
    GLuint texture = s.surface == 3 ? textureFor(s, e) : 0;
    BodyLook look{s.color, s.surface, showFlags(s),     o.stereo,
                  texture, n,         o.axisDrawFactor, o.lightBackground};
    bool stale = !e.bodyCompiled || e.bodyPlacements != placements_;
    if (e.bodyCompiled && (look != e.bodyLook || invalidated_)) stale = true;
    if (stale) {
        if (e.bodyList) glDeleteLists(e.bodyList, 2);
        e.bodyCompiled = false;
        // Two lists: the sphere itself, and what it shows in its
        // neighbour's frame (revolution axis, great circle), which moves
        // with the neighbour while the automaton rolls.
        e.bodyList = glGenLists(2);
        if (e.bodyList) {
            e.bodyLook = look;
            glNewList(e.bodyList + 1, GL_COMPILE);
            compileNeighbourPart(s, n, o);
            glEndList();
            glNewList(e.bodyList, GL_COMPILE);
            compileBody(s, e, o);
            glEndList();
            e.bodyCompiled = true;
            e.bodyPlacements = placements_;
            ++compilations_;
        }
    }
    if (e.bodyCompiled && o.rolling) {
        if (n) {
            pushMotion(*n);
            glCallList(e.bodyList + 1);
            glPopMatrix();
        }
        pushMotion(s);
        glCallList(e.bodyList);
        glPopMatrix();
    } else if (e.bodyCompiled) {
        glCallList(e.bodyList + 1);
        glCallList(e.bodyList);
    }
    drawCentresLine(s, n, o);
    drawPointArrow(s, o);
}

void SphereDrawer::compileNeighbourPart(Sphere& s, Sphere* n, const DrawOptions& o) {
    sphereColour(s, o.stereo);
    if (n) {
        glPushMatrix();
        glMultMatrixf(n->snapshotFrame.data());
        glRotated(bodyAngle(s.axisAngleZ, s.dynamic && s.dynamicAxisZ, s.dynamicAngleZ), 0, 0, 1);
        glRotated(bodyAngle(s.axisAngleX, s.dynamic && s.dynamicAxisX, s.dynamicAngleX), 1, 0, 0);
        double L = n->snapshotRadius;
        if (s.showRevolutionAxis) axisArrow(L, o.axisDrawFactor * L);
        if (s.showGreatCircle) {
            glPushMatrix();
            gluDisk(quadricOf(diskQuadric_), L - 0.01 * L, L + 0.01 * L, 40, 1);
            glRotated(180, 1, 0, 0);
            gluDisk(quadricOf(diskQuadric_), L - 0.01 * L, L + 0.01 * L, 40, 1);
            glPopMatrix();
        }
        glPopMatrix();
    }
}

void SphereDrawer::compileBody(Sphere& s, Entry& e, const DrawOptions& o) {
    sphereColour(s, o.stereo);
    glPushMatrix();
    glMultMatrixf(s.snapshotFrame.data());
    const double R = s.snapshotRadius;
    GLUquadric* q = e.quadric;
    if (s.surface != 4 && q) {
        switch (s.surface) {
            case 1:
                gluQuadricDrawStyle(q, GLU_FILL);
                gluQuadricTexture(q, GL_FALSE);
                glBindTexture(GL_TEXTURE_2D, 0);
                // Saved so that the blending of the surrounding frame (the
                // second anaglyph eye adds its picture) survives this body.
                glPushAttrib(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
                glEnable(GL_BLEND);
                glDepthMask(GL_FALSE);
                if (o.lightBackground && !o.stereo)
                    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
                else
                    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
                if (o.stereo)
                    glColor3ub(255, 255, 255);
                else
                    glColor4f((s.color & 0xFF) / 255.0f, ((s.color >> 8) & 0xFF) / 255.0f,
                              ((s.color >> 16) & 0xFF) / 255.0f, 0.9f);
                break;
            case 2:
                gluQuadricDrawStyle(q, GLU_LINE);
                gluQuadricTexture(q, GL_FALSE);
                glBindTexture(GL_TEXTURE_2D, 0);
                glLineWidth(1.0f);
                break;
            case 3:
                gluQuadricDrawStyle(q, GLU_FILL);
                gluQuadricTexture(q, GL_TRUE);
                glBindTexture(GL_TEXTURE_2D, e.bodyLook.texture);
                glColor3ub(255, 255, 255);
                break;
            default:  // 0, and any value a damaged file holds
                gluQuadricDrawStyle(q, GLU_FILL);
                gluQuadricTexture(q, GL_FALSE);
                glBindTexture(GL_TEXTURE_2D, 0);
                break;
        }
        gluSphere(q, R, 20, 20);
        glBindTexture(GL_TEXTURE_2D, 0);
        if (s.surface == 1) glPopAttrib();
        sphereColour(s, o.stereo);
    }
    if (s.showRotationAxis) axisArrow(R, o.axisDrawFactor * R);
    if (s.showPerpendicularAxis) {
        glLineWidth(3.0f);
        glBegin(GL_LINES);
        glVertex3d(0, 0, 0);
        glVertex3d(R, 0, 0);
        glEnd();
    }
    glPopMatrix();
}

void SphereDrawer::drawCentresLine(Sphere& s, Sphere* n, const DrawOptions& o) {
    if (!s.showCentersLine || !n) return;
    const Vec3& a = o.rolling ? n->center : n->snapshotCenter;
    const Vec3& b = o.rolling ? s.center : s.snapshotCenter;
    glColor3ub(255, 255, 255);
    glLineWidth(3.0f);
    glBegin(GL_LINES);
    glVertex3d(a.x, a.y, a.z);
    glVertex3d(b.x, b.y, b.z);
    glEnd();
}

void SphereDrawer::drawPointArrow(Sphere& s, const DrawOptions& o) {
    if (!o.flashActive) return;
    // Index 0 is the sphere's centre, which has no arrow.
    int k = o.flashPointIndex;
    if (k <= 0 || k >= s.pointCount()) return;
    const SpherePoint& p = s.points[static_cast<std::size_t>(k)];
    const double R = s.snapshotRadius;
    glPushMatrix();
    glMultMatrixf(o.rolling ? s.frame.data() : s.snapshotFrame.data());
    glColor3ub(255, 255, 255);
    glRotated(p.pointAngleZ, 0, 0, 1);
    glRotated(p.pointAngleX, 1, 0, 0);
    double L = R * p.quantumDistance;
    double h = o.axisDrawFactor * R;  // sized by the sphere, not the arrow
    glLineWidth(3.0f);
    glBegin(GL_LINES);
    glVertex3d(0, 0, 0);
    glVertex3d(0, 0, L - h / 2);
    glEnd();
    glTranslated(0, 0, L - h);
    gluCylinder(quadricOf(coneQuadric_), h / 2, 0, h, 20, 2);
    gluDisk(quadricOf(diskQuadric_), 0, h / 2, 20, 12);
    sphereColour(s, o.stereo);
    glPopMatrix();
}
