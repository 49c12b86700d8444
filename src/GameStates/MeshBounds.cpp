// MeshBounds.cpp - bounds of a triangle list and the distance that shows it.
#include "MeshBounds.h"

#include <algorithm>
#include <cmath>

Bounds BoundsOf(const std::vector<Triangle>& list) {
    Bounds b;
    bool first = true;
    for (const Triangle& tri : list) {
        for (const ORV::Vec3& p : tri.mPos) {
            if (first) {
                b.min = b.max = p;
                first = false;
                continue;
            }
            b.min =
                ORV::Vec3(ORV::Min(b.min.x, p.x), ORV::Min(b.min.y, p.y), ORV::Min(b.min.z, p.z));
            b.max =
                ORV::Vec3(ORV::Max(b.max.x, p.x), ORV::Max(b.max.y, p.y), ORV::Max(b.max.z, p.z));
        }
    }
    const ORV::Vec3 centre = b.Centre();
    double r = 1e-6;
    for (const Triangle& tri : list)
        for (const ORV::Vec3& p : tri.mPos) r = std::max(r, double((p - centre).Length()));
    b.radius = float(r);
    return b;
}

float FitDistance(const Bounds& bounds, int width, int height) {
    const double halfV = 30.0 * ORV::PI / 180.0;
    const double halfH = std::atan(std::tan(halfV) * double(width) / double(height));
    const double half = halfV < halfH ? halfV : halfH;
    return float(1.05 * double(bounds.radius) / std::sin(half));
}
