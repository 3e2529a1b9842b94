// Sphere bodies, axes, great circles, centres lines, point arrows and tubes.
#include "spheredrawer.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <algorithm>
#include <array>
#include <vector>

#include "imagefile.h"
#include "relations.h"

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
struct PathLook {
    std::uint32_t color = 0;
    bool stereo = false;
    friend bool operator==(const PathLook&, const PathLook&) = default;
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

using Ring = std::array<Vec3, 7>;

// Collects the flat-shaded triangles of the tubes and hands them over as
// vertex arrays: a list compiles them far faster than one call per vertex.
class TriangleBatch {
  public:
    ~TriangleBatch() { flush(); }
    void band(const Ring& p, const Ring& c) {
        for (int i = 0; i < 7; ++i) {
            int j = i == 6 ? 0 : i + 1;
            triangle(cross(c[i] - c[j], c[i] - p[i]), c[i], p[i], c[j]);
            triangle(cross(p[i] - c[j], p[i] - p[j]), p[i], p[j], c[j]);
        }
        if (data_.size() >= kFlushFloats) flush();
    }
    void flush() {
        if (data_.empty()) return;
        glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
        glInterleavedArrays(GL_N3F_V3F, 0, data_.data());
        glDrawArrays(GL_TRIANGLES, 0, static_cast<GLsizei>(data_.size() / 6));
        glPopClientAttrib();
        data_.clear();
    }

  private:
    static constexpr std::size_t kFlushFloats = 6 * 3 * 14 * 4096;
    void triangle(Vec3 n, const Vec3& a, const Vec3& b, const Vec3& c) {
        // A zero cross product (a degenerate triangle) is given as it is.
        if (length(n) > 0) n = normalise(n);
        for (const Vec3* v : {&a, &b, &c}) {
            data_.insert(data_.end(), {static_cast<float>(n.x), static_cast<float>(n.y),
                                       static_cast<float>(n.z), static_cast<float>(v->x),
                                       static_cast<float>(v->y), static_cast<float>(v->z)});
        }
    }
    std::vector<float> data_;
};

int showFlags(const Sphere& s) {
    return (s.showRevolutionAxis ? 1 : 0) | (s.showGreatCircle ? 2 : 0) |
           (s.showRotationAxis ? 4 : 0) | (s.showPerpendicularAxis ? 8 : 0);
}
}  // namespace

struct SphereDrawer::Entry {
    GLUquadric* quadric = nullptr;
    GLuint bodyList = 0;
    GLuint pathList = 0;  // the first of pathListCount consecutive lists
    GLsizei pathListCount = 1;
    bool bodyCompiled = false;
    bool pathCompiled = false;
    BodyLook bodyLook;
    PathLook pathLook;
    GLuint textureName = 0;
    bool textureReady = false;
    std::string textureKey;
    bool textureTried = false;
    std::uint64_t seen = 0;
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
    if (e.bodyList) glDeleteLists(e.bodyList, 1);
    if (e.pathList) glDeleteLists(e.pathList, e.pathListCount);
    if (e.quadric) gluDeleteQuadric(e.quadric);
    if (e.textureName) glDeleteTextures(1, &e.textureName);
    e = Entry{};
}

void SphereDrawer::invalidate() {
    invalidated_ = true;
}

SphereDrawer::Entry& SphereDrawer::entryFor(Sphere& s) {
    auto& slot = entries_[&s];
    if (!slot) slot = std::make_unique<Entry>();
    Entry& e = *slot;
    // The window's drawer records its list names in the sphere. A sphere
    // whose names differ is not the one these lists were made for: a new
    // sphere that got the address of a destroyed one.
    if (mode_ == Mode::Primary && ((e.bodyCompiled && s.bodyList != static_cast<int>(e.bodyList)) ||
                                   (e.pathCompiled && s.pathList != static_cast<int>(e.pathList))))
        releaseEntry(e);
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
        bool stopped = false;
        auto stopNow = [&] { return stopped || (stopped = o.stop && o.stop()); };
        forEachNeighbour(a.stationarySphere, [&](Sphere& s, Sphere*) {
            if (stopNow()) return;
            Entry& e = entryFor(s);
            e.seen = pass_;
            if (!drawPaths(s, e, o)) stopped = true;
        });
        forEachNeighbour(a.stationarySphere, [&](Sphere& s, Sphere* n) {
            if (!stopNow()) drawBody(s, n, entryFor(s), o);
        });
        // Spheres not reached were not drawn, not destroyed: keep their lists.
        if (stopped) return false;
    }
    invalidated_ = false;
    sweep();
    return true;
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
// Tubes are compiled into lists of at most this many rings each: drawing
// one takes some tens of milliseconds even in software, and between two
// lists the frame can give way to a pause.
constexpr std::size_t kRingsPerList = 8192;

// Rings of a point's tube: one per sample and the closing one (none
// without samples). The seven lines are filled together; a shorter one
// (never in a consistent model) ends the walk rather than being read past.
std::size_t tubeSamples(const SpherePoint& p) {
    if (p.path.empty()) return 0;
    std::size_t n = p.tubeLines[0].size();
    for (const auto& line : p.tubeLines) n = std::min(n, line.size());
    return n;
}

bool stopAsked(const DrawOptions& o) {
    return o.stop && o.stop();
}
}  // namespace

bool SphereDrawer::drawPaths(Sphere& s, Entry& e, const DrawOptions& o) {
    if (!s.showPointPaths) return true;
    PathLook look{s.color, o.stereo};
    bool stale;
    if (mode_ == Mode::Primary)
        stale = s.pathListValid == 0 || (!e.pathCompiled && s.pathList != -1);
    else
        stale = !e.pathCompiled || s.pathListValid == 0;
    if (e.pathCompiled && (look != e.pathLook || invalidated_)) stale = true;
    if (stale) {
        if (e.pathList) glDeleteLists(e.pathList, e.pathListCount);
        e.pathCompiled = false;
        std::size_t rings = 0;
        for (const SpherePoint& p : s.points)
            if (std::size_t n = tubeSamples(p)) rings += n + 1;
        e.pathListCount = static_cast<GLsizei>(
            std::max<std::size_t>(1, (rings + kRingsPerList - 1) / kRingsPerList));
        e.pathList = glGenLists(e.pathListCount);
        if (e.pathList) {
            // An unfinished compilation (a pause came) stays stale and
            // compiles again next frame.
            e.pathCompiled = compileTubes(s, e, o);
            e.pathLook = look;
            ++compilations_;
        }
        if (mode_ == Mode::Primary) {
            s.pathListValid = e.pathCompiled || !e.pathList ? 1 : 0;
            s.pathList = e.pathList ? static_cast<int>(e.pathList) : -1;
        }
        if (!e.pathCompiled && e.pathList) return false;
    }
    if (!e.pathCompiled) return true;
    for (GLsizei i = 0; i < e.pathListCount; ++i) {
        if (i > 0 && stopAsked(o)) return false;
        glCallList(e.pathList + i);
    }
    return true;
}

bool SphereDrawer::compileTubes(Sphere& s, Entry& e, const DrawOptions& o) {
    // The lists e.pathList .. + pathListCount - 1 in turn; every one sets
    // the line width and colour, so that each can be drawn alone.
    GLsizei opened = 0;
    std::size_t inList = 0;
    auto openList = [&] {
        glNewList(e.pathList + opened++, GL_COMPILE);
        glLineWidth(3.0f);
        sphereColour(s, o.stereo);
        inList = 0;
    };
    openList();
    bool complete = true;
    {
        TriangleBatch batch;
        auto ring = [&](const Ring& prev, const Ring& cur) {
            if (inList == kRingsPerList && opened < e.pathListCount) {
                batch.flush();
                glEndList();
                openList();
                if (stopAsked(o)) return false;
            }
            batch.band(prev, cur);
            ++inList;
            return true;
        };
        for (const SpherePoint& p : s.points) {
            std::size_t n = tubeSamples(p);
            if (n == 0) continue;
            const Vec3 c0 = p.path.front();
            Ring prev{}, cur{};
            prev.fill(c0);  // the tube starts in a point
            for (std::size_t k = 1; k < n && complete; ++k) {
                for (int i = 0; i < 7; ++i) cur[i] = p.tubeLines[i][k];
                complete = ring(prev, cur);
                prev = cur;
            }
            if (!complete) break;
            // The path is closed: the tube ends in its first position.
            for (int i = 0; i < 7; ++i) prev[i] = p.tubeLines[i][n - 1];
            cur.fill(c0);
            if (!(complete = ring(prev, cur))) break;
        }
        batch.flush();
    }
    glEndList();
    while (complete && opened < e.pathListCount) {
        openList();
        glEndList();
    }
    return complete;
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
    // -1: the window's texture table was full when the sphere asked.
    if (s.textureSlot == -1) return 0;
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
    bool stale;
    if (mode_ == Mode::Primary)
        stale = s.bodyListValid == 0 || (!e.bodyCompiled && s.bodyList != -1);
    else
        stale = !e.bodyCompiled || s.bodyListValid == 0;
    if (e.bodyCompiled && (look != e.bodyLook || invalidated_)) stale = true;
    if (stale) {
        if (e.bodyList) glDeleteLists(e.bodyList, 1);
        e.bodyCompiled = false;
        e.bodyList = glGenLists(1);
        if (e.bodyList) {
            e.bodyLook = look;
            glNewList(e.bodyList, GL_COMPILE);
            compileBody(s, n, e, o);
            glEndList();
            e.bodyCompiled = true;
            ++compilations_;
        }
        if (mode_ == Mode::Primary) {
            s.bodyListValid = 1;
            s.bodyList = e.bodyList ? static_cast<int>(e.bodyList) : -1;
        }
    }
    if (e.bodyCompiled) glCallList(e.bodyList);
    drawCentresLine(s, n);
    drawPointArrow(s, o);
}

void SphereDrawer::compileBody(Sphere& s, Sphere* n, Entry& e, const DrawOptions& o) {
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

void SphereDrawer::drawCentresLine(Sphere& s, Sphere* n) {
    if (!s.showCentersLine || !n) return;
    glColor3ub(255, 255, 255);
    glLineWidth(3.0f);
    glBegin(GL_LINES);
    glVertex3d(n->snapshotCenter.x, n->snapshotCenter.y, n->snapshotCenter.z);
    glVertex3d(s.snapshotCenter.x, s.snapshotCenter.y, s.snapshotCenter.z);
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
    glMultMatrixf(s.snapshotFrame.data());
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
