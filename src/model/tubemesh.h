// Tubes around closed point paths as triangle meshes, for drawing and for
// mesh files alike. Pure geometry: no OpenGL, no Qt.
//
// A point path is a closed curve sampled at the instants of one period; its
// last sample joins its first. The tube follows a centre line made from the
// samples: where they are sparse it is interpolated (a closed centripetal
// Catmull-Rom spline through the samples) so that consecutive segments turn
// by at most maxTurnDegrees; where they are denser than the tube needs,
// samples whose removal moves the centre line by less than tolerance x
// radius are left out. Every sample stays within tolerance x radius of the
// centre line. A sharper corner is left only at a cusp, which no spline
// through the samples rounds. The samples themselves are never changed.
//
// A ring of `sides` vertices stands at every vertex of the centre line,
// perpendicular to the line's tangent there. The frame that orients the
// rings is carried along the line without twisting it; carried once round
// the loop it comes back turned about the tangent, and that turn is spread
// evenly over the rings by arc length, so that the last ring joins the first
// without a pinch or a seam.
//
// The tube the window draws around a point p of a sphere s is
// closedTube(p.path, tubeSettingsFor(s.radius)).
//
// The mesh is closed and 2-manifold: vertex j of ring r is
// vertices[r * sides + j], the triangles join ring r to ring (r + 1) mod
// rings() and are counter-clockwise seen from outside the tube. Normals are
// per vertex, unit length, pointing away from the centre line.
#pragma once

#include <cstdint>
#include <vector>

#include "geometry.h"

struct TubeSettings {
    double radius = 0.075;
    int sides = 7;               // at least 3
    double maxTurnDegrees = 10;  // 180 or more: no interpolation
    double tolerance = 0.1;      // in tube radii; 0: every sample is kept
    // Rings the centre line may have, at most; 0: no bound. A tube that
    // would need more is not built (closedTube gives an empty mesh) before
    // any of its rings are made.
    std::size_t maxRings = 0;
};

// The tube that the drawing shows around the paths of a sphere of radius
// sphereRadius (and that mesh files should hold): 0.15 of the sphere's
// radius thick, seven sides, turns of at most 10 degrees, samples left out
// where that moves the centre line by less than 0.05 of the tube's radius.
TubeSettings tubeSettingsFor(double sphereRadius);

// Detail by the tube's size on screen: thin, far tubes get few sides, long
// straight pieces and a centre line that may stray from the samples by about
// a pixel; near ones up to twelve sides and short pieces. A level changes
// only when the size doubles or halves, so that a zoom does not rebuild the
// tubes at every frame.
constexpr int kTubeDetailLevels = 27;
// The level for a tube radius of this many pixels (0..kTubeDetailLevels-1).
int tubeDetailLevel(double radiusPixels);
// The drawing's tube around the paths of a sphere of this radius at a level.
TubeSettings tubeSettingsAt(double sphereRadius, int level);

struct TubeMesh {
    int sides = 0;
    std::vector<Vec3> centres;             // the centre line, one per ring
    std::vector<Vec3> vertices;            // rings() x sides
    std::vector<Vec3> normals;             // one per vertex
    std::vector<std::uint32_t> triangles;  // three vertex indices each
    std::size_t rings() const { return centres.size(); }
    std::size_t triangleCount() const { return triangles.size() / 3; }
};

// The closed centre line a tube follows (its last vertex joins its first).
// Fewer than three distinct samples give the distinct samples as they are.
std::vector<Vec3> tessellateClosedPath(const std::vector<Vec3>& samples, const TubeSettings& s);

// The tube around a closed path; empty when the centre line has fewer than
// three vertices or the settings make no tube (radius not above 0, fewer
// than three sides, values that are not finite).
TubeMesh closedTube(const std::vector<Vec3>& samples, const TubeSettings& s);

// The tube with at most maxTriangles triangles: built with s where that
// fits, otherwise with coarser settings (fewer sides, a larger tolerance,
// longer straight pieces) and, where even that does not fit, around every
// k-th sample only. *coarsened (when given) says whether it had to.
TubeMesh boundedTube(const std::vector<Vec3>& samples, const TubeSettings& s,
                     std::size_t maxTriangles, bool* coarsened = nullptr);

// The centre line with at most maxVertices vertices: tessellateClosedPath
// with s where that fits, otherwise without interpolation and a larger
// tolerance and, where even that does not fit, through every k-th sample
// only. Nothing is allocated beyond the samples' own count before the
// budget is known to hold. *coarsened (when given) says whether it had to.
std::vector<Vec3> boundedCentreLine(const std::vector<Vec3>& samples, const TubeSettings& s,
                                    std::size_t maxVertices, bool* coarsened = nullptr);

// A triangle budget shared among paths: half equally, half in proportion
// to their samples, each given at least enough for a small tube.
std::vector<std::size_t> tubeTriangleShares(const std::vector<std::size_t>& samples,
                                            std::size_t budget);
// One path's share, of `paths` paths with allSamples samples together.
std::size_t tubeTriangleShare(std::size_t samples, double allSamples, std::size_t paths,
                              std::size_t budget);

// The tube frame at each sample of an open polyline: the normal and the
// binormal that the ring around that sample spans. The first frame is set
// from the direction (1, 1, 1), the second from the first step, and from
// then on each step turns the frame by the angle between the step and the
// one before, about their common perpendicular, which carries it along the
// bend without twisting it. Steps (anti)parallel within 1e-7 radians and
// steps of length 0 leave the frame as it was.
struct TubeFrame {
    Vec3 normal, binormal;
};
// Without trigonometry: the cosine of the turn is the dot product of the
// unit steps and its sine follows from it.
std::vector<TubeFrame> transportTubeFrames(const std::vector<Vec3>& path);
// The same with the arc cosine, cosine and sine of the turn: the reference
// that the fast transport must match.
std::vector<TubeFrame> transportTubeFramesLiteral(const std::vector<Vec3>& path);

// Vertex j of a ring of `sides` around centre in frame f.
Vec3 ringVertex(const Vec3& centre, const TubeFrame& f, double radius, int j, int sides);
