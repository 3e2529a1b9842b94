// Sphere construction, points and relative radius.
#include "sphere.h"

#include "exactmotion.h"

const std::uint32_t kLevelColors[9] = {rgb(188, 22, 18), rgb(235, 139, 55), rgb(227, 202, 66),
                                       rgb(16, 147, 15), rgb(14, 146, 180), rgb(7, 98, 152),
                                       rgb(12, 12, 163), rgb(105, 10, 137), rgb(132, 15, 103)};

Sphere::Sphere(std::string n) : name(std::move(n)) {}

void Sphere::addPoint(double angleZ, double angleX, double quantum) {
    SpherePoint p;
    p.pointAngleZ = angleZ;
    p.pointAngleX = angleX;
    p.quantumDistance = quantum;
    points.push_back(std::move(p));
}

void Sphere::removePoint(std::size_t index) {
    if (index < points.size()) points.erase(points.begin() + static_cast<std::ptrdiff_t>(index));
}

BigRational relativeRadius(const Sphere& s) {
    return exact::radiusOf(s);
}
