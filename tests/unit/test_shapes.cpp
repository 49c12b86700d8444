// The procedural inputs the tests and benchmarks share: the terrain's size,
// orientation and fit.
#include <gtest/gtest.h>

#include <cmath>

#include "Shapes.h"

TEST(Shapes, TerrainHasTwoUpFacingTrianglesPerCellAndFitsARadiusOfFour) {
    const std::vector<Triangle> tris = orvtest::Terrain(30);
    ASSERT_EQ(tris.size(), 2u * 30 * 30);
    ORV::Vec3 lo(1e9f), hi(-1e9f);
    for (const Triangle& tri : tris) {
        const Plane raw(tri.mPos[0], tri.mPos[1], tri.mPos[2]);
        EXPECT_GT(raw.mNormal.y, 0.0f);
        for (const ORV::Vec3& p : tri.mPos) {
            lo = ORV::Vec3(std::fmin(lo.x, p.x), std::fmin(lo.y, p.y), std::fmin(lo.z, p.z));
            hi = ORV::Vec3(std::fmax(hi.x, p.x), std::fmax(hi.y, p.y), std::fmax(hi.z, p.z));
        }
    }
    const ORV::Vec3 centre = (lo + hi) * 0.5f;
    double farthest = 0.0;
    for (const Triangle& tri : tris)
        for (const ORV::Vec3& p : tri.mPos)
            farthest = std::fmax(farthest, static_cast<double>((p - centre).Length()));
    EXPECT_NEAR(farthest, 4.0, 1e-4);
    // A square footprint: x and z span the same width, y the heights.
    EXPECT_NEAR(hi.x - lo.x, hi.z - lo.z, 1e-4);
    EXPECT_LT(hi.y - lo.y, hi.x - lo.x);
    EXPECT_GT(hi.y - lo.y, 0.1f * (hi.x - lo.x));
}
