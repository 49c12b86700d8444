// Vectors, colours, constants and the scalar templates: the strict tolerance
// comparisons and orientation rules that geometry further up depends on.
#include <gtest/gtest.h>

#include <cstring>
#include <limits>

#include "ORV.h"

using ORV::Vec3;
using ORV::Vec4;

static uint32_t bits(float f) {
    uint32_t u;
    std::memcpy(&u, &f, 4);
    return u;
}

TEST(Constants, FloatTwinsAreTheRoundedDoubles) {
    EXPECT_EQ(bits(ORV::PI_F), 0x40490FDBu);
    EXPECT_EQ(bits(ORV::TWO_PI_F), 0x40C90FDBu);
    EXPECT_EQ(bits(ORV::HALF_PI_F), 0x3FC90FDBu);
    EXPECT_EQ(bits(ORV::EPSILON_F), 0x3A83126Fu);
    EXPECT_EQ(bits(ORV::EPSILON_SQ_F), 0x358637BDu);
    EXPECT_DOUBLE_EQ(ORV::EPSILON_SQ, 1e-6);
}

TEST(Vec3, IsZeroIsPerComponentAndStrict) {
    EXPECT_TRUE(Vec3(0.0009f, -0.0009f, 0.0f).IsZero());
    EXPECT_TRUE(Vec3(0.0009f, 0.0009f, 0.0009f).IsZero())
        << "length 0.00156 but every component small";
    EXPECT_FALSE(Vec3(0.001f, 0.0f, 0.0f).IsZero());
    EXPECT_FALSE(Vec3(0.0f, -0.001f, 0.0f).IsZero());
    EXPECT_FALSE(Vec3(0.0f, 0.0f, 0.0011f).IsZero());
    const float nan = std::numeric_limits<float>::quiet_NaN();
    EXPECT_FALSE(Vec3(nan, 0.0f, 0.0f).IsZero());
    EXPECT_FALSE(Vec3(0.0f, 0.0f, nan).IsZero());
}

TEST(Vec3, IsEqualUsesStrictSquaredDistance) {
    EXPECT_TRUE(Vec3(0, 0, 0).IsEqual(Vec3(0.0005f, 0, 0)));
    EXPECT_FALSE(Vec3(0, 0, 0).IsEqual(Vec3(0.001f, 0, 0)));
    EXPECT_TRUE(Vec3(1, 1, 1).IsEqual(Vec3(1, 1, 1.0009f)));
    Vec3 a(0.3f, -2.0f, 5.0f), b(0.3004f, -2.0005f, 5.0003f);
    EXPECT_EQ(a.IsEqual(b), b.IsEqual(a));
    const float nan = std::numeric_limits<float>::quiet_NaN();
    EXPECT_FALSE(Vec3(nan, 0, 0).IsEqual(Vec3(nan, 0, 0)));
}

TEST(Vec3, CrossProductIsRightHanded) {
    Vec3 z = Vec3(1, 0, 0).Cross(Vec3(0, 1, 0));
    EXPECT_EQ(z.x, 0.0f);
    EXPECT_EQ(z.y, 0.0f);
    EXPECT_EQ(z.z, 1.0f);
    Vec3 x = Vec3(0, 1, 0).Cross(Vec3(0, 0, 1));
    EXPECT_EQ(x.x, 1.0f);
    EXPECT_EQ(x.y, 0.0f);
    EXPECT_EQ(x.z, 0.0f);
    Vec3 y = Vec3(0, 0, 1).Cross(Vec3(1, 0, 0));
    EXPECT_EQ(y.y, 1.0f);
    Vec3 self = Vec3(2, -3, 7).Cross(Vec3(2, -3, 7));
    EXPECT_EQ(self.x, 0.0f);
    EXPECT_EQ(self.y, 0.0f);
    EXPECT_EQ(self.z, 0.0f);
}

TEST(Vec3, LengthNormalizeAndArithmetic) {
    Vec3 v(3, 4, 0);
    EXPECT_EQ(v.Length(), 5.0f);
    EXPECT_EQ(v.LengthSq(), 25.0f);
    Vec3& r = v.NormalizeThis();
    EXPECT_EQ(&r, &v);
    EXPECT_FLOAT_EQ(v.x, 0.6f);
    EXPECT_FLOAT_EQ(v.y, 0.8f);
    EXPECT_EQ(v.z, 0.0f);
    Vec3 a(1, 2, 3), b(4, -5, 6);
    Vec3 s = a + b, d = a - b, n = -a;
    EXPECT_EQ(s.y, -3.0f);
    EXPECT_EQ(d.x, -3.0f);
    EXPECT_EQ(n.z, -3.0f);
    EXPECT_EQ(a.Dot(b), 4.0f - 10.0f + 18.0f);
    Vec3 m1 = a * 2.0f, m2 = 2.0f * a;
    EXPECT_EQ(m1.x, m2.x);
    EXPECT_EQ(m1.y, m2.y);
    EXPECT_EQ(m1.z, m2.z);
    // Division is three divisions, not a multiplication by the reciprocal.
    Vec3 q = Vec3(1.0f, 1.0f, 1.0f) / 3.0f;
    EXPECT_EQ(q.x, 1.0f / 3.0f);
    Vec3 q7 = Vec3(7.0f, 0, 0) / 49.0f;
    EXPECT_EQ(q7.x, 7.0f / 49.0f);
    EXPECT_EQ(a.x, 1.0f) << "operands unchanged";
}

TEST(Vec4, ConstructionAndColourAlias) {
    Vec4 w(1.0f);
    EXPECT_EQ(w.x, 1.0f);
    EXPECT_EQ(w.w, 1.0f);
    Vec4 fromVec3(Vec3(1, 2, 3));
    EXPECT_EQ(fromVec3.x, 1.0f);
    EXPECT_EQ(fromVec3.y, 2.0f);
    EXPECT_EQ(fromVec3.z, 3.0f);
    EXPECT_EQ(fromVec3.w, 0.0f) << "alpha 0, also as a colour";
    ORV::Color c(0.1f, 0.2f, 0.3f, 0.4f);
    EXPECT_EQ(c.w, 0.4f);
    EXPECT_EQ(sizeof(ORV::Color), 16u);
    Vec3 arr[2] = {Vec3(1, 2, 3), Vec3(4, 5, 6)};
    EXPECT_EQ(reinterpret_cast<const float*>(arr)[4], 5.0f) << "packed floats";
}

TEST(Scalar, ClampMinMaxEdgeCases) {
    EXPECT_EQ(ORV::Clamp(5.0f, 0.0f, 1.0f), 1.0f);
    EXPECT_EQ(ORV::Clamp(-1.0f, 0.0f, 1.0f), 0.0f);
    EXPECT_EQ(ORV::Clamp(0.5f, 0.0f, 1.0f), 0.5f);
    EXPECT_EQ(ORV::Clamp(0.5f, 2.0f, 1.0f), 2.0f) << "lo above hi gives lo";
    EXPECT_EQ(ORV::Clamp(std::numeric_limits<float>::quiet_NaN(), 0.0f, 1.0f), 1.0f);
    EXPECT_EQ(ORV::Max(0u, 1u), 1u);
    EXPECT_EQ(ORV::Clamp<char>(char(2), char(0), char(1)), 1);
    EXPECT_EQ(ORV::Clamp<char>(char(-128), char(0), char(1)), 0);
    // On a tie Min returns the second argument and Max the first.
    EXPECT_TRUE(std::signbit(ORV::Min(0.0f, -0.0f)));
    EXPECT_FALSE(std::signbit(ORV::Min(-0.0f, 0.0f)));
    EXPECT_FALSE(std::signbit(ORV::Max(0.0f, -0.0f)));
    EXPECT_TRUE(std::signbit(ORV::Max(-0.0f, 0.0f)));
}
