// Printable solids through OpenVDB: part of the module that the program
// opens only when it writes a movie or a mesh. The distance to the tubes is
// written straight into a narrow-band level set, segment by segment on every
// core (this OpenVDB has no rasteriser for tubes, and splatting spheres
// along the lines was about twenty times slower), and the level set's zero
// surface is meshed with adaptivity: one closed surface around the union of
// all tubes, crossings and touching strands fused.
#include <openvdb/openvdb.h>
#include <openvdb/tools/Composite.h>
#include <openvdb/tools/VolumeToMesh.h>
#include <tbb/blocked_range.h>
#include <tbb/enumerable_thread_specific.h>
#include <tbb/parallel_for.h>

#include <algorithm>
#include <cmath>
#include <exception>
#include <new>

#include "mediamodule.h"

namespace {
using openvdb::Coord;
using openvdb::FloatGrid;
using openvdb::Vec3d;

// Cells either side of the surface that hold a distance: enough for the
// mesher's gradients where it merges flat stretches.
constexpr double kHalfWidth = 3;
// The surface's outset, in cells squared per radius.
constexpr double kOutset = 0.2;

struct Segment {
    Vec3d a, b;
};

// The signed distance to the nearest tube, in the file's units, in every
// cell nearer than the half width outside the surface and in every cell
// inside (there clamped to the half width), so that the mesher sees the
// inside as inside without a flood fill. Each thread writes a grid of its
// own; they are united at the end.
FloatGrid::Ptr distanceGrid(const SolidRequest& r) {
    const double v = r.voxel, radius = r.radius / v, reach = radius + kHalfWidth;
    const float background = static_cast<float>(kHalfWidth * v);
    std::vector<Segment> segments;
    for (const auto& line : r.lines) {
        // A point that never moves has a line of one vertex: a ball.
        const std::size_t n = line.size();
        for (std::size_t i = 0; i < n; ++i) {
            const Vec3& p = line[i];
            const Vec3& q = line[(i + 1) % n];
            segments.push_back({Vec3d(p.x, p.y, p.z) / v, Vec3d(q.x, q.y, q.z) / v});
        }
    }
    auto transform = openvdb::math::Transform::createLinearTransform(v);
    tbb::enumerable_thread_specific<FloatGrid::Ptr> grids([&] {
        FloatGrid::Ptr g = FloatGrid::create(background);
        g->setTransform(transform);
        g->setGridClass(openvdb::GRID_LEVEL_SET);
        return g;
    });
    tbb::parallel_for(
        tbb::blocked_range<std::size_t>(0, segments.size(), 16), [&](const auto& range) {
            FloatGrid::Accessor acc = grids.local()->getAccessor();
            for (std::size_t s = range.begin(); s != range.end(); ++s) {
                const Vec3d a = segments[s].a, d = segments[s].b - segments[s].a;
                const double dd = d.lengthSqr();
                const Vec3d lo =
                    openvdb::math::minComponent(segments[s].a, segments[s].b) - Vec3d(reach);
                const Vec3d hi =
                    openvdb::math::maxComponent(segments[s].a, segments[s].b) + Vec3d(reach);
                const Coord from(static_cast<int>(std::floor(lo.x())),
                                 static_cast<int>(std::floor(lo.y())),
                                 static_cast<int>(std::floor(lo.z())));
                const Coord to(static_cast<int>(std::ceil(hi.x())),
                               static_cast<int>(std::ceil(hi.y())),
                               static_cast<int>(std::ceil(hi.z())));
                Coord c;
                for (c.x() = from.x(); c.x() <= to.x(); ++c.x())
                    for (c.y() = from.y(); c.y() <= to.y(); ++c.y()) {
                        // The row's cells nearer the segment's line than the
                        // reach: the rest of the box is skipped without a
                        // distance each.
                        const Vec3d row(c.x(), c.y(), 0);
                        int k0 = from.z(), k1 = to.z();
                        if (dd > 0) {
                            // |w - (w.u)u|^2 <= reach^2 with w = row + k e_z - a,
                            // u the unit direction: a quadratic in k.
                            const Vec3d u = d / std::sqrt(dd), w = row - a;
                            const double uz = u.z(), wu = w.dot(u);
                            const double qa = 1 - uz * uz;
                            const double qb = 2 * (w.z() - wu * uz);
                            const double qc = w.lengthSqr() - wu * wu - reach * reach;
                            if (qa > 1e-12) {
                                const double disc = qb * qb - 4 * qa * qc;
                                if (disc < 0) continue;
                                const double root = std::sqrt(disc);
                                // Compared with the box before they are made ints.
                                const double lo = std::floor((-qb - root) / (2 * qa));
                                const double hi = std::ceil((-qb + root) / (2 * qa));
                                if (lo > k1 || hi < k0) continue;
                                if (lo > k0) k0 = static_cast<int>(lo);
                                if (hi < k1) k1 = static_cast<int>(hi);
                            } else if (qc > 0) {
                                continue;  // along z, and the row is off the line
                            }
                        }
                        for (c.z() = k0; c.z() <= k1; ++c.z()) {
                            const Vec3d p(c.x(), c.y(), c.z());
                            const double t =
                                dd > 0 ? std::clamp((p - a).dot(d) / dd, 0.0, 1.0) : 0.0;
                            const double phi = (p - (a + t * d)).length() - radius;
                            if (phi >= kHalfWidth) continue;
                            const float value = static_cast<float>(std::max(phi, -kHalfWidth) * v);
                            if (value < acc.getValue(c)) acc.setValue(c, value);
                        }
                    }
            }
        });
    FloatGrid::Ptr united;
    for (FloatGrid::Ptr& g : grids) {
        if (!united)
            united = g;
        else
            openvdb::tools::csgUnion(*united, *g);
    }
    return united;
}

double area2(const openvdb::Vec3s& a, const openvdb::Vec3s& b, const openvdb::Vec3s& c) {
    return static_cast<double>((b - a).cross(c - a).lengthSqr());
}

}  // namespace

std::string makeSolidMesh(const SolidRequest& request, SolidMesh* out) {
    *out = {};
    if (!(request.voxel > 0) || !(request.radius > 0)) return "the tubes have no thickness.";
    // Cells are indexed by 32-bit coordinates: a line beyond them (or no
    // finite number at all) has no cells to be written into.
    const double most = double(1 << 30) - (request.radius / request.voxel + kHalfWidth + 2);
    for (const auto& line : request.lines)
        for (const Vec3& p : line)
            if (!finiteWithin((1 / request.voxel) * p, most))
                return "the solid reaches farther than its cells can be counted; a smaller size "
                       "or a coarser --resolution makes it.";
    try {
        openvdb::initialize();
        FloatGrid::Ptr grid = distanceGrid(request);
        if (!grid || grid->empty()) return {};  // no lines: no solid
        std::vector<openvdb::Vec3s> points;
        std::vector<openvdb::Vec3I> triangles;
        std::vector<openvdb::Vec4I> quads;
        // Flat triangles between vertices on the round surface cut inside it,
        // and merged cells more so: the surface is taken a little outside
        // the tubes, by what keeps a tube's volume within about 1% of the
        // round tube's over the cells' range (measured).
        const double iso = kOutset * request.voxel * request.voxel / request.radius;
        openvdb::tools::volumeToMesh(*grid, points, triangles, quads, iso, request.adaptivity,
                                     true);
        grid.reset();
        out->vertices.reserve(points.size());
        for (const auto& p : points) out->vertices.push_back({p.x(), p.y(), p.z()});
        std::vector<std::uint32_t>& t = out->triangles;
        t.reserve(3 * triangles.size() + 6 * quads.size());
        // A triangle whose corners coincide or stand in a line (in the
        // single precision that files hold) has no area and no normal: such
        // a triangle is left out only where its edges are shared by itself
        // alone, which the mesher never makes; a quad is split along the
        // diagonal that leaves both halves their area.
        auto add = [&](unsigned a, unsigned b, unsigned c) {
            if (a == b || b == c || a == c) return;
            t.insert(t.end(), {a, b, c});
        };
        for (const auto& f : triangles) add(f[0], f[1], f[2]);
        for (const auto& q : quads) {
            const auto &p0 = points[q[0]], &p1 = points[q[1]], &p2 = points[q[2]],
                       &p3 = points[q[3]];
            const double one = std::min(area2(p0, p1, p2), area2(p0, p2, p3));
            const double other = std::min(area2(p0, p1, p3), area2(p1, p2, p3));
            if (one >= other) {
                add(q[0], q[1], q[2]);
                add(q[0], q[2], q[3]);
            } else {
                add(q[0], q[1], q[3]);
                add(q[1], q[2], q[3]);
            }
        }
        // Facing out: the mesher's winding depends on the sign convention,
        // which the enclosed volume's sign settles.
        double volume = 0;
        for (std::size_t i = 0; i < t.size(); i += 3) {
            const Vec3 &a = out->vertices[t[i]], &b = out->vertices[t[i + 1]],
                       &c = out->vertices[t[i + 2]];
            volume += dot(a, cross(b, c));
        }
        if (volume < 0)
            for (std::size_t i = 0; i < t.size(); i += 3) std::swap(t[i + 1], t[i + 2]);
    } catch (const std::bad_alloc&) {
        *out = {};
        return "there is not enough memory for the solid.";
    } catch (const std::exception& e) {
        *out = {};
        return std::string("the solid could not be made (") + e.what() + ").";
    }
    return {};
}
