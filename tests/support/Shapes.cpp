#include "Shapes.h"

#include <algorithm>
#include <cmath>

namespace orvtest {

// MT19937 as published; written out so that no library's distribution code
// decides the numbers.
Rng::Rng(uint32_t seed) : mIndex(624) {
    mState[0] = seed;
    for (uint32_t i = 1; i < 624; ++i)
        mState[i] = 1812433253u * (mState[i - 1] ^ (mState[i - 1] >> 30)) + i;
}

uint32_t Rng::Next() {
    if (mIndex >= 624) {
        for (uint32_t i = 0; i < 624; ++i) {
            uint32_t y = (mState[i] & 0x80000000u) | (mState[(i + 1) % 624] & 0x7fffffffu);
            mState[i] = mState[(i + 397) % 624] ^ (y >> 1) ^ ((y & 1u) ? 0x9908b0dfu : 0u);
        }
        mIndex = 0;
    }
    uint32_t y = mState[mIndex++];
    y ^= y >> 11;
    y ^= (y << 7) & 0x9d2c5680u;
    y ^= (y << 15) & 0xefc60000u;
    y ^= y >> 18;
    return y;
}

float Rng::Unit() { return static_cast<float>(Next() >> 8) * (1.0f / 16777216.0f); }

float Rng::Range(float lo, float hi) { return lo + (hi - lo) * Unit(); }

ORV::Vec3 Rng::InBox(float halfSize) {
    float x = Range(-halfSize, halfSize);
    float y = Range(-halfSize, halfSize);
    float z = Range(-halfSize, halfSize);
    return ORV::Vec3(x, y, z);
}

ORV::Color ShapeColor(size_t i) {
    // Golden-ratio steps through each channel keep neighbours apart.
    double h = static_cast<double>(i);
    auto channel = [&](double offset) {
        double f = h * 0.6180339887498949 + offset;
        return static_cast<float>(0.15 + 0.8 * (f - std::floor(f)));
    };
    return ORV::Color(channel(0.0), channel(0.37), channel(0.71), 1.0f);
}

static Triangle coloured(const ORV::Vec3& a, const ORV::Vec3& b, const ORV::Vec3& c, size_t index) {
    Triangle tri(a, b, c);
    ORV::Color clr = ShapeColor(index);
    for (int k = 0; k < 3; ++k) tri.mClr[k] = clr;
    return tri;
}

std::vector<Triangle> RandomSoup(uint32_t seed, size_t count, float extent, float size) {
    Rng rng(seed);
    std::vector<Triangle> tris;
    tris.reserve(count);
    while (tris.size() < count) {
        ORV::Vec3 centre = rng.InBox(extent);
        ORV::Vec3 a = centre + rng.InBox(size);
        ORV::Vec3 b = centre + rng.InBox(size);
        ORV::Vec3 c = centre + rng.InBox(size);
        Triangle tri = coloured(a, b, c, tris.size());
        // Slivers are legal input but make poor test subjects: keep the soup
        // to triangles with a clear plane.
        if (Area(tri) < 1e-3 * static_cast<double>(size) * size) continue;
        tris.push_back(tri);
    }
    return tris;
}

std::vector<Triangle> Torus(uint32_t ringSegments, uint32_t tubeSegments, float majorRadius,
                            float minorRadius) {
    auto point = [&](uint32_t i, uint32_t j) {
        double u = ORV::TWO_PI * (i % ringSegments) / ringSegments;
        double v = ORV::TWO_PI * (j % tubeSegments) / tubeSegments;
        double r = majorRadius + minorRadius * std::cos(v);
        return ORV::Vec3(static_cast<float>(r * std::cos(u)), static_cast<float>(r * std::sin(u)),
                         static_cast<float>(minorRadius * std::sin(v)));
    };
    std::vector<Triangle> tris;
    tris.reserve(2u * ringSegments * tubeSegments);
    for (uint32_t i = 0; i < ringSegments; ++i) {
        for (uint32_t j = 0; j < tubeSegments; ++j) {
            // u runs around z and v around the tube: (du, dv) is outward-CCW.
            ORV::Vec3 p00 = point(i, j), p10 = point(i + 1, j);
            ORV::Vec3 p01 = point(i, j + 1), p11 = point(i + 1, j + 1);
            tris.push_back(coloured(p00, p10, p11, tris.size()));
            tris.push_back(coloured(p00, p11, p01, tris.size()));
        }
    }
    return tris;
}

std::vector<Triangle> Sphere(uint32_t slices, uint32_t stacks, float radius) {
    auto point = [&](uint32_t i, uint32_t j) {
        // i around z, j from the north pole (0) to the south pole (stacks).
        double u = ORV::TWO_PI * (i % slices) / slices;
        double v = ORV::PI * j / stacks;
        return ORV::Vec3(static_cast<float>(radius * std::sin(v) * std::cos(u)),
                         static_cast<float>(radius * std::sin(v) * std::sin(u)),
                         static_cast<float>(radius * std::cos(v)));
    };
    std::vector<Triangle> tris;
    tris.reserve(2u * slices * (stacks - 1));
    for (uint32_t j = 0; j < stacks; ++j) {
        for (uint32_t i = 0; i < slices; ++i) {
            ORV::Vec3 a = point(i, j), b = point(i, j + 1);
            ORV::Vec3 c = point(i + 1, j + 1), d = point(i + 1, j);
            // Seen from outside, going down then east is counter-clockwise.
            if (j > 0) tris.push_back(coloured(a, b, d, tris.size()));
            if (j + 1 < stacks) tris.push_back(coloured(b, c, d, tris.size()));
        }
    }
    return tris;
}

std::vector<Triangle> ParallelStack(size_t count, float spacing) {
    std::vector<Triangle> tris;
    tris.reserve(count);
    for (size_t i = 0; i < count; ++i) {
        float z = static_cast<float>(static_cast<double>(spacing) * static_cast<double>(i));
        tris.push_back(coloured(ORV::Vec3(0.0f, 0.0f, z), ORV::Vec3(1.0f, 0.0f, z),
                                ORV::Vec3(0.0f, 1.0f, z), i));
    }
    return tris;
}

std::vector<Triangle> Terrain(uint32_t cellsPerSide) {
    const uint32_t side = cellsPerSide + 1;
    std::vector<double> pos(3u * side * side);
    double lo[3] = {HUGE_VAL, HUGE_VAL, HUGE_VAL}, hi[3] = {-HUGE_VAL, -HUGE_VAL, -HUGE_VAL};
    for (uint32_t i = 0; i < side; ++i) {
        for (uint32_t j = 0; j < side; ++j) {
            const double x = -10.0 + 20.0 * i / cellsPerSide;
            const double z = -10.0 + 20.0 * j / cellsPerSide;
            const double y = 1.5 * std::sin(0.7 * x) * std::cos(0.5 * z) +
                             0.4 * std::sin(2.3 * x + 1.7 * z) +
                             0.1 * std::sin(7.1 * x) * std::sin(6.3 * z);
            double* p = &pos[3u * (i * side + j)];
            p[0] = x;
            p[1] = y;
            p[2] = z;
            for (int k = 0; k < 3; ++k) {
                lo[k] = std::min(lo[k], p[k]);
                hi[k] = std::max(hi[k], p[k]);
            }
        }
    }
    const double centre[3] = {(lo[0] + hi[0]) / 2, (lo[1] + hi[1]) / 2, (lo[2] + hi[2]) / 2};
    double radius = 0.0;
    for (size_t v = 0; v < pos.size(); v += 3) {
        double d2 = 0.0;
        for (int k = 0; k < 3; ++k) d2 += (pos[v + k] - centre[k]) * (pos[v + k] - centre[k]);
        radius = std::max(radius, std::sqrt(d2));
    }
    const double scale = radius > 0.0 ? 4.0 / radius : 1.0;
    auto point = [&](uint32_t i, uint32_t j) {
        const double* p = &pos[3u * (i * side + j)];
        return ORV::Vec3(static_cast<float>(centre[0] + (p[0] - centre[0]) * scale),
                         static_cast<float>(centre[1] + (p[1] - centre[1]) * scale),
                         static_cast<float>(centre[2] + (p[2] - centre[2]) * scale));
    };
    std::vector<Triangle> tris;
    tris.reserve(2u * cellsPerSide * cellsPerSide);
    for (uint32_t i = 0; i < cellsPerSide; ++i) {
        for (uint32_t j = 0; j < cellsPerSide; ++j) {
            // x grows with i and z with j: (dz, dx) turns counter-clockwise seen from +y.
            const ORV::Vec3 p00 = point(i, j), p10 = point(i + 1, j);
            const ORV::Vec3 p01 = point(i, j + 1), p11 = point(i + 1, j + 1);
            tris.push_back(coloured(p00, p01, p11, tris.size()));
            tris.push_back(coloured(p00, p11, p10, tris.size()));
        }
    }
    return tris;
}

double Area(const Triangle& tri) {
    double a[3], b[3];
    for (int k = 0; k < 3; ++k) {
        const float* p0 = &tri.mPos[0].x;
        a[k] = static_cast<double>((&tri.mPos[1].x)[k]) - p0[k];
        b[k] = static_cast<double>((&tri.mPos[2].x)[k]) - p0[k];
    }
    double cx = a[1] * b[2] - a[2] * b[1];
    double cy = a[2] * b[0] - a[0] * b[2];
    double cz = a[0] * b[1] - a[1] * b[0];
    return 0.5 * std::sqrt(cx * cx + cy * cy + cz * cz);
}

}  // namespace orvtest
