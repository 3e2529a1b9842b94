// Projected point paths as SVG.
#include "pathsvg.h"

#include <QBuffer>
#include <QPainter>
#include <QPainterPath>
#include <QSvgGenerator>
#include <algorithm>
#include <cmath>
#include <vector>

#include "atomicfile.h"
#include "sphere.h"
#include "viewtransform.h"

namespace {
struct Drawn {
    QPainterPath path;
    QColor colour;
    double depth = 0;  // mean distance in front of the camera
    double width = 1;
};
}  // namespace

std::string PathSvg::write(const Automaton& a, const CameraSetup& c, const Mat4& orientation,
                           int width, int height, const std::string& file) {
    const ViewTransform view(c, orientation);
    const double n = c.nearDistance;
    // glFrustum's mapping of eye coordinates to pixels.
    auto toPixel = [&](const Vec3& e) {
        double x =
            (2 * n / (c.right - c.left) * e.x + (c.right + c.left) / (c.right - c.left) * e.z);
        double y =
            (2 * n / (c.top - c.bottom) * e.y + (c.top + c.bottom) / (c.top - c.bottom) * e.z);
        double w = -e.z;
        return QPointF((x / w + 1) / 2 * width, (1 - y / w) / 2 * height);
    };
    const double pixelsPerUnitAtOne = n * height / (c.top - c.bottom);

    std::vector<Drawn> drawn;
    for (const Sphere* s : a.sphereTable) {
        if (!s) continue;
        for (const SpherePoint& p : s->points) {
            if (p.path.empty()) continue;
            Drawn d;
            d.colour = QColor(s->color & 0xFF, (s->color >> 8) & 0xFF, (s->color >> 16) & 0xFF);
            bool open = false, all = true;
            double depth = 0;
            int seen = 0;
            for (const Vec3& q : p.path) {
                Vec3 e = view(q);
                // Behind the near plane a point has no place in the picture:
                // the line breaks there.
                if (-e.z < n || !std::isfinite(e.z)) {
                    open = false;
                    all = false;
                    continue;
                }
                QPointF px = toPixel(e);
                // Nor has a position that is no finite number.
                if (!std::isfinite(px.x()) || !std::isfinite(px.y())) {
                    open = false;
                    all = false;
                    continue;
                }
                if (open)
                    d.path.lineTo(px);
                else
                    d.path.moveTo(px);
                open = true;
                depth += -e.z;
                ++seen;
            }
            if (seen == 0) continue;
            if (all) d.path.closeSubpath();
            d.depth = depth / seen;
            // As thick as the drawn tube at that distance.
            d.width = std::max(0.5, 2 * 0.15 * s->radius * pixelsPerUnitAtOne / d.depth);
            if (!std::isfinite(d.width)) d.width = 0.5;
            drawn.push_back(std::move(d));
        }
    }
    std::stable_sort(drawn.begin(), drawn.end(),
                     [](const Drawn& x, const Drawn& y) { return x.depth > y.depth; });

    const std::string failed = "The drawing " + file + " could not be written";
    AtomicFile target(file);
    if (!target.open()) return failed + ": " + target.error() + ".";
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    {
        QSvgGenerator svg;
        svg.setOutputDevice(&out);
        svg.setSize(QSize(width, height));
        svg.setViewBox(QRect(0, 0, width, height));
        svg.setTitle("Rotundel point paths");
        svg.setDescription("The closed paths of the marked points, projected through the camera.");
        QPainter painter;
        if (!painter.begin(&svg)) return failed + ".";
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setBrush(Qt::NoBrush);
        for (const Drawn& d : drawn) {
            QPen pen(d.colour, d.width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
            painter.setPen(pen);
            painter.drawPath(d.path);
        }
        painter.end();
    }
    target.write(std::string_view(out.data().constData(), static_cast<std::size_t>(out.size())));
    if (!target.commit()) return failed + ": " + target.error() + ".";
    return {};
}
