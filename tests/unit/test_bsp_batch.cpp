// The batched drawing's arrays, without GL: each corner's code, faces turned
// away left out only beyond doubt, and storage that stops growing once it
// holds a frame.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "BSPBatch.h"
#include "Shapes.h"

using ORV::Vec3;
using Look = TriangleBatch::Look;

namespace {

// A view from a perspective eye.
CullView from(const Vec3& eye) {
    CullView v;
    v.cull = true;
    v.centre = ORV::Vec4(eye.x, eye.y, eye.z, 1.0f);
    return v;
}

}  // namespace

// The pictures (tests/gl/test_bsp_batch.cpp) show the order and colours;
// here, what they cannot: the codes, the limit, and storage kept.
TEST(TriangleBatch, WritesTheWalkAndStopsGrowing) {
    BSPTree tree;
    tree.Build(orvtest::RandomSoup(5, 150));
    const Vec3 eye(0.4f, 2.5f, 3.0f);
    std::vector<Triangle> walk;
    tree.Walk(eye, [&](const Triangle& tri) { walk.push_back(tri); });

    TriangleBatch batch;
    batch.Begin();
    EXPECT_EQ(batch.AddWalk(tree, eye, Look::Outlined), walk.size());
    ASSERT_EQ(batch.TriangleNum(), walk.size());
    const TriangleBatch::Vertex& last = batch.TriangleVertices()[3 * walk.size() - 1];
    EXPECT_TRUE(Vec3(last.pos[0], last.pos[1], last.pos[2]).IsEqual(walk.back().mPos[2]));
    EXPECT_EQ(last.rgb[1], walk.back().mClr[0].y) << "corner 0's colour on every corner";
    EXPECT_EQ(last.code, 2.0f);

    // The next frame fits in the same storage; a limit stops the adding, not
    // the count; edges are lines in loop order.
    const size_t capacity = batch.Capacity();
    batch.Begin();
    EXPECT_EQ(batch.AddWalk(tree, eye, Look::Edges, 10), walk.size());
    EXPECT_EQ(batch.TriangleNum(), 10u);
    EXPECT_EQ(batch.TriangleVertices()[4].code, 1.0f + 4.0f * float(Look::Edges));
    EXPECT_EQ(batch.Capacity(), capacity);
    batch.AddEdges(walk[0], ORV::Color(1.0f));
    ASSERT_EQ(batch.LineNum(), 3u);
    for (int i = 0; i < 6; ++i) {
        const float* p = batch.LineVertices()[i].pos;
        EXPECT_TRUE(Vec3(p[0], p[1], p[2]).IsEqual(walk[0].mPos[((i + 1) / 2) % 3])) << i;
    }
}

TEST(CullView, DropsOnlyFacesClearlyTurnedAway) {
    // Counter-clockwise seen from +z: its front faces +z.
    const Triangle up(Vec3(0, 0, 0), Vec3(1, 0, 0), Vec3(0, 1, 0));
    EXPECT_FALSE(from(Vec3(0.2f, 0.2f, 5.0f)).Drops(up));
    EXPECT_TRUE(from(Vec3(0.2f, 0.2f, -5.0f)).Drops(up));
    // Edge-on, and a hair below the plane from far away: GL's to decide.
    EXPECT_FALSE(from(Vec3(9.0f, 3.0f, 0.0f)).Drops(up));
    EXPECT_FALSE(from(Vec3(900.0f, 300.0f, -0.01f)).Drops(up));
    EXPECT_TRUE(from(Vec3(9.0f, 3.0f, -0.1f)).Drops(up));
    // No culling, and corners that are not numbers.
    CullView below = from(Vec3(0.2f, 0.2f, -5.0f));
    below.cull = false;
    EXPECT_FALSE(below.Drops(up));
    Triangle broken = up;
    broken.mPos[1].x = std::numeric_limits<float>::quiet_NaN();
    EXPECT_FALSE(from(Vec3(0.0f, 0.0f, -5.0f)).Drops(broken));

    TriangleBatch batch;
    batch.Begin(from(Vec3(0.2f, 0.2f, -5.0f)));
    batch.Add(up, ORV::Color(1.0f), Look::Filled);
    EXPECT_EQ(batch.TriangleNum(), 0u);
    batch.AddEdges(up, ORV::Color(1.0f));
    EXPECT_EQ(batch.LineNum(), 3u) << "lines are never culled";
}
