// Triangles, planes, classification against the on-plane band, and segment
// intersection: the arithmetic that decides the tree's shape.
#include <gtest/gtest.h>

#include <cmath>

#include "Triangle.h"

using ORV::Vec3;

namespace {

// A triangle whose corners lie at the given heights above the plane z = 0,
// spread out in x and y so it has a plane of its own.
Triangle atHeights(float z0, float z1, float z2) {
    return Triangle(Vec3(0.0f, 0.0f, z0), Vec3(1.0f, 0.0f, z1), Vec3(0.0f, 1.0f, z2));
}

const Plane kGround(Vec3(0.0f, 0.0f, 1.0f), 0.0f);

}  // namespace

TEST(Triangle, DefaultIsAtTheOriginOpaqueWhiteUntagged) {
    Triangle tri;
    EXPECT_EQ(tri.mTag, 0);
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(tri.mPos[k].x, 0.0f);
        EXPECT_EQ(tri.mPos[k].y, 0.0f);
        EXPECT_EQ(tri.mPos[k].z, 0.0f);
        EXPECT_EQ(tri.mClr[k].x, 1.0f);
        EXPECT_EQ(tri.mClr[k].y, 1.0f);
        EXPECT_EQ(tri.mClr[k].z, 1.0f);
        EXPECT_EQ(tri.mClr[k].w, 1.0f);
    }
}

TEST(Plane, DefaultIsAllZero) {
    Plane p;
    EXPECT_EQ(p.mNormal.x, 0.0f);
    EXPECT_EQ(p.mNormal.y, 0.0f);
    EXPECT_EQ(p.mNormal.z, 0.0f);
    EXPECT_EQ(p.mD, 0.0f);
}

TEST(Plane, SetGivesUnitNormalAndOffset) {
    Plane p;
    p.Set(Vec3(0, 0, 0), Vec3(1, 0, 0), Vec3(0, 1, 0));
    EXPECT_EQ(p.mNormal.x, 0.0f);
    EXPECT_EQ(p.mNormal.y, 0.0f);
    EXPECT_EQ(p.mNormal.z, 1.0f);
    EXPECT_EQ(p.mD, 0.0f);

    // The offset comes from the unit normal: 3-4-5 normal through (0,0,10).
    p.Set(Vec3(0, 0, 10), Vec3(4, 0, 7), Vec3(0, 1, 10));
    EXPECT_FLOAT_EQ(p.mNormal.x, 0.6f);
    EXPECT_FLOAT_EQ(p.mNormal.z, 0.8f);
    EXPECT_FLOAT_EQ(p.mD, -8.0f);
}

TEST(Plane, RawConstructionKeepsTheCrossProductAndNormalizeScalesBoth) {
    Plane p(Vec3(0, 0, 1), Vec3(2, 0, 1), Vec3(0, 2, 1));
    EXPECT_EQ(p.mNormal.x, 0.0f);
    EXPECT_EQ(p.mNormal.y, 0.0f);
    EXPECT_EQ(p.mNormal.z, 4.0f);
    EXPECT_EQ(p.mD, -4.0f);
    p.Normalize();
    EXPECT_EQ(p.mNormal.z, 1.0f);
    EXPECT_EQ(p.mD, -1.0f);
    // Only the sign of a raw plane's distance is meaningful, and it agrees.
    Plane raw(Vec3(0, 0, 1), Vec3(2, 0, 1), Vec3(0, 2, 1));
    EXPECT_EQ(raw.Distance(Vec3(5, 5, 3)), 8.0f);
    EXPECT_EQ(p.Distance(Vec3(5, 5, 3)), 2.0f);
}

TEST(Plane, NormalizedRawPlaneMatchesSetUpToRounding) {
    Vec3 a(0.3f, -1.7f, 2.2f), b(1.9f, 0.4f, -0.6f), c(-2.5f, 0.8f, 1.1f);
    Plane raw(a, b, c);
    raw.Normalize();
    Plane set;
    set.Set(a, b, c);
    EXPECT_NEAR(raw.mNormal.x, set.mNormal.x, 1e-6);
    EXPECT_NEAR(raw.mNormal.y, set.mNormal.y, 1e-6);
    EXPECT_NEAR(raw.mNormal.z, set.mNormal.z, 1e-6);
    EXPECT_NEAR(raw.mD, set.mD, 1e-5);
}

TEST(Plane, DistanceIsPositiveInFrontOfTheCounterClockwiseSide) {
    Plane p;
    p.Set(Vec3(0, 0, 2), Vec3(1, 0, 2), Vec3(0, 1, 2));
    EXPECT_EQ(p.Distance(Vec3(7, -3, 5)), 3.0f);
    EXPECT_EQ(p.Distance(Vec3(7, -3, -1)), -3.0f);
    EXPECT_EQ(p.Distance(Vec3(7, -3, 2)), 0.0f);
}

TEST(Classify, BandIsInclusiveAtBothEnds) {
    // 0.01f lies just inside the double band; the next float up lies outside.
    const float edge = 0.01f;
    const float beyond = std::nextafter(edge, 1.0f);
    EXPECT_EQ(ClassifyTriangle(kGround, atHeights(edge, -edge, 0.0f)), TRI_COPLANAR);
    EXPECT_EQ(ClassifyTriangle(kGround, atHeights(edge, edge, edge)), TRI_COPLANAR);
    EXPECT_EQ(ClassifyTriangle(kGround, atHeights(beyond, 0.0f, 0.0f)), TRI_FRONT);
    EXPECT_EQ(ClassifyTriangle(kGround, atHeights(0.0f, -beyond, 0.0f)), TRI_BACK);
    EXPECT_EQ(ClassifyTriangle(kGround, atHeights(beyond, -edge, -edge)), TRI_FRONT);
}

TEST(Classify, CornersInsideTheBandNeverDecideASide) {
    EXPECT_EQ(ClassifyTriangle(kGround, atHeights(0.5f, 0.5f, 0.005f)), TRI_FRONT);
    EXPECT_EQ(ClassifyTriangle(kGround, atHeights(-0.02f, 0.005f, 0.0f)), TRI_BACK);
    EXPECT_EQ(ClassifyTriangle(kGround, atHeights(0.02f, -0.02f, 0.0f)), TRI_SPANNING);
    EXPECT_EQ(ClassifyTriangle(kGround, atHeights(3.0f, -0.009f, 0.009f)), TRI_FRONT);
    EXPECT_EQ(ClassifyTriangle(kGround, atHeights(-3.0f, 2.0f, 0.0f)), TRI_SPANNING);
}

TEST(Classify, ATriangleAgainstItsOwnPlaneIsCoplanar) {
    Triangle tri(Vec3(0.3f, -1.7f, 2.2f), Vec3(1.9f, 0.4f, -0.6f), Vec3(-2.5f, 0.8f, 1.1f));
    Plane p;
    p.Set(tri.mPos[0], tri.mPos[1], tri.mPos[2]);
    EXPECT_EQ(ClassifyTriangle(p, tri), TRI_COPLANAR);
}

TEST(Classify, SwappingTwoCornersOfThePlaneTriangleSwapsFrontAndBack) {
    Triangle base(Vec3(0, 0, 0), Vec3(1, 0, 0.2f), Vec3(0, 1, -0.1f));
    Triangle swapped(base.mPos[0], base.mPos[2], base.mPos[1]);
    Plane p, q;
    p.Set(base.mPos[0], base.mPos[1], base.mPos[2]);
    q.Set(swapped.mPos[0], swapped.mPos[1], swapped.mPos[2]);
    const Triangle others[] = {
        atHeights(2, 3, 4), atHeights(-2, -3, -4), atHeights(5, -5, 0),
        Triangle(Vec3(0.2f, 0.2f, 0.02f), Vec3(0.4f, 0.2f, 0.06f), Vec3(0.2f, 0.4f, 0.0f))};
    const int expected[] = {TRI_FRONT, TRI_BACK, TRI_SPANNING, TRI_COPLANAR};
    for (int i = 0; i < 4; ++i) {
        int a = ClassifyTriangle(p, others[i]);
        int b = ClassifyTriangle(q, others[i]);
        EXPECT_EQ(a, expected[i]) << "case " << i;
        if (a == TRI_FRONT) EXPECT_EQ(b, TRI_BACK);
        else if (a == TRI_BACK) EXPECT_EQ(b, TRI_FRONT);
        else EXPECT_EQ(b, a);
    }
}

TEST(IntersectSegment, QuarterWayThroughThePlane) {
    Vec3 x(9.0f);
    float t = -1.0f;
    EXPECT_TRUE(IntersectSegment(Vec3(0, 0, -1), Vec3(0, 0, 3), kGround, &x, &t));
    EXPECT_EQ(t, 0.25f);
    EXPECT_EQ(x.x, 0.0f);
    EXPECT_EQ(x.y, 0.0f);
    EXPECT_EQ(x.z, 0.0f);
}

TEST(IntersectSegment, PointFollowsTheParameterAlongTheEdge) {
    Vec3 x;
    float t;
    IntersectSegment(Vec3(2, 4, 1), Vec3(6, 0, -3), kGround, x, t);
    EXPECT_EQ(t, 0.25f);
    EXPECT_EQ(x.x, 3.0f);
    EXPECT_EQ(x.y, 3.0f);
    EXPECT_EQ(x.z, 0.0f);
}

TEST(IntersectSegment, QuotientIsTakenInExtendedPrecision) {
    // Here the numerator -mD - dot(n, a) needs more than single precision:
    // rounding it to float first gives a different parameter.
    const Plane p(Vec3(0, 0, 1), 0.1f);
    const Vec3 a(0, 0, 0.13f), b(0, 0, -0.13f);
    const float na = 0.13f, nab = -0.13f - 0.13f;
    const float expected = static_cast<float>((-static_cast<double>(0.1f) - na) / nab);
    const float singleOnly = (-0.1f - na) / nab;
    ASSERT_NE(expected, singleOnly);
    Vec3 x;
    float t;
    IntersectSegment(a, b, p, &x, &t);
    EXPECT_EQ(t, expected);
    EXPECT_EQ(x.z, a.z + (b.z - a.z) * t);
}

TEST(Degenerate, TrianglesWithoutAPlaneAreRecognised) {
    const float nan = std::nanf("");
    EXPECT_TRUE(IsDegenerate(Triangle()));
    EXPECT_TRUE(IsDegenerate(Triangle(Vec3(0, 0, 0), Vec3(1, 1, 1), Vec3(2, 2, 2))));
    EXPECT_TRUE(IsDegenerate(Triangle(Vec3(1, 2, 3), Vec3(1, 2, 3), Vec3(0, 5, 0))));
    EXPECT_TRUE(IsDegenerate(Triangle(Vec3(0, 0, 0), Vec3(nan, 0, 0), Vec3(0, 1, 0))));
    EXPECT_TRUE(IsDegenerate(Triangle(Vec3(0, 0, 0), Vec3(1e-30f, 0, 0), Vec3(0, 1e-30f, 0))));
    EXPECT_TRUE(IsDegenerate(Triangle(Vec3(0, 0, 0), Vec3(1e30f, 0, 0), Vec3(0, 1e30f, 0))));
    // Normals whose squared length overflows: the unit normal comes out zero
    // while the raw plane stays finite.
    EXPECT_TRUE(IsDegenerate(Triangle(Vec3(1e10f, 0, 0), Vec3(0, 1e10f, 0), Vec3(0, 0, 1e10f))));
    EXPECT_TRUE(IsDegenerate(Triangle(Vec3(0, 0, 0), Vec3(1e19f, 0, 0), Vec3(0, 1e19f, 0))));
    EXPECT_FALSE(IsDegenerate(Triangle(Vec3(1e9f, 0, 0), Vec3(0, 1e9f, 0), Vec3(0, 0, 1e9f))));
    // Small but well-formed triangles keep their plane.
    EXPECT_FALSE(IsDegenerate(Triangle(Vec3(0, 0, 0), Vec3(1e-4f, 0, 0), Vec3(0, 1e-4f, 0))));
    EXPECT_FALSE(IsDegenerate(Triangle(Vec3(0, 0, 0), Vec3(1, 0, 0), Vec3(0, 1, 0))));
}

TEST(Degenerate, APlaneFromATriangleSaysWhenThereIsNone) {
    Plane p(Vec3(1, 2, 3), 4);
    EXPECT_FALSE(Plane::FromTriangle(Triangle(Vec3(0, 0, 0), Vec3(1, 1, 1), Vec3(2, 2, 2)), &p));
    EXPECT_EQ(p.mNormal.y, 2.0f) << "left unchanged";
    EXPECT_EQ(p.mD, 4.0f);
    ASSERT_TRUE(Plane::FromTriangle(Triangle(Vec3(0, 0, 2), Vec3(3, 0, 2), Vec3(0, 3, 2)), &p));
    EXPECT_EQ(p.mNormal.z, 1.0f);
    EXPECT_EQ(p.mD, -2.0f);
}
