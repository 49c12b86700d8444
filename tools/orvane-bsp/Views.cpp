// Views.cpp - viewpoints from the mesh's bounds.
#include "Views.h"

#include <cmath>

namespace orvbsp {

namespace {

// Point i of n on the unit sphere, spread evenly (the golden-angle spiral).
ORV::Vec3 spiral(size_t i, size_t n) {
    const double golden = ORV::PI * (3.0 - std::sqrt(5.0));
    const double y = 1.0 - (double(i) + 0.5) * 2.0 / double(n);
    const double r = std::sqrt(1.0 - y * y);
    const double a = golden * double(i);
    return ORV::Vec3(float(r * std::cos(a)), float(y), float(r * std::sin(a)));
}

// A low-discrepancy point in [-1, 1) (radical inverse in the given base).
float spread(size_t i, unsigned base) {
    double f = 1.0, r = 0.0;
    for (size_t k = i + 1; k > 0; k /= base) {
        f /= base;
        r += f * double(k % base);
    }
    return float(2.0 * r - 1.0);
}

std::string format(const char* pKind, size_t i, const ORV::Vec3& eye) {
    char buf[128];
    std::snprintf(buf, sizeof buf, "%s %zu at (%.3g, %.3g, %.3g)", pKind, i + 1, double(eye.x),
                  double(eye.y), double(eye.z));
    return buf;
}

}  // namespace

LookAt DefaultView(const Bounds& bounds, int width, int height) {
    LookAt v;
    v.target = bounds.Centre();
    v.eye = v.target + ORV::Vec3(0.0f, 0.0f, FitDistance(bounds, width, height));
    v.up = UpFor(v.eye, v.target);
    return v;
}

std::vector<NamedView> CheckViews(const Bounds& bounds, size_t num, int width, int height) {
    std::vector<NamedView> views;
    const size_t inside = num / 3;
    const size_t around = num - inside;
    const ORV::Vec3 centre = bounds.Centre();
    const float dist = FitDistance(bounds, width, height);
    for (size_t i = 0; i < around; ++i) {
        NamedView v;
        v.view.target = centre;
        v.view.eye = centre + spiral(i, around) * dist;
        v.view.up = UpFor(v.view.eye, v.view.target);
        v.name = format("around", i, v.view.eye);
        views.push_back(v);
    }
    // Inside the box, but short of its faces, looking along spread directions.
    const ORV::Vec3 half = (bounds.max - bounds.min) * 0.5f;
    for (size_t i = 0; i < inside; ++i) {
        NamedView v;
        ORV::Vec3 offset(half.x * 0.6f * spread(i, 2), half.y * 0.6f * spread(i, 3),
                         half.z * 0.6f * spread(i, 5));
        v.view.eye = centre + offset;
        v.view.target = v.view.eye + spiral(i, inside);
        v.view.up = UpFor(v.view.eye, v.view.target);
        v.name = format("inside", i, v.view.eye);
        views.push_back(v);
    }
    return views;
}

}  // namespace orvbsp
