// Cutting a triangle by a plane: the worked examples, the pieces' winding and
// colours, the shared on-plane corners, and the halts on impossible cuts.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "BSPTree.h"
#include "ChildProcess.h"
#include "SourceLine.h"

using ORV::Vec3;

namespace {

const Plane kGround(Vec3(0.0f, 0.0f, 1.0f), 0.0f);

void expectCorners(const Triangle& tri, const Vec3& a, const Vec3& b, const Vec3& c,
                   const char* pWhat) {
    const Vec3 want[3] = {a, b, c};
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(tri.mPos[k].x, want[k].x) << pWhat << " corner " << k;
        EXPECT_EQ(tri.mPos[k].y, want[k].y) << pWhat << " corner " << k;
        EXPECT_EQ(tri.mPos[k].z, want[k].z) << pWhat << " corner " << k;
    }
}

Triangle tricolour(const Vec3& a, const Vec3& b, const Vec3& c) {
    Triangle tri(a, b, c);
    tri.mClr[0] = ORV::Color(1.0f, 0.0f, 0.0f, 0.25f);
    tri.mClr[1] = ORV::Color(0.0f, 1.0f, 0.0f, 0.5f);
    tri.mClr[2] = ORV::Color(0.0f, 0.0f, 1.0f, 0.75f);
    tri.mTag = 7;
    return tri;
}

Vec3 rawNormal(const Triangle& tri) {
    return (tri.mPos[1] - tri.mPos[0]).Cross(tri.mPos[2] - tri.mPos[0]);
}

const Vec3 kZero(0.0f);

std::string haltText(const char* pNeedle, const std::string& mesg) {
    int line = orvtest::LineOf("src/GameStates/BSPRules.cpp", pNeedle);
    return "ORV_HALT:\nLine: " + std::to_string(line) +
           "\nFunc: BSPTree::SplitTriangle\nFile: src/GameStates/BSPRules.cpp\nMesg: " + mesg +
           "\n";
}

}  // namespace

TEST(SplitTriangle, OneCornerInFrontGivesOneFrontAndTwoBackPieces) {
    Triangle back[2], front[2];
    BSPTree::SplitTriangle(Triangle(Vec3(0, 0, 1), Vec3(1, 0, -1), Vec3(0, 1, -1)), kGround, back,
                           front);
    expectCorners(front[0], Vec3(0.5f, 0, 0), Vec3(0, 0.5f, 0), Vec3(0, 0, 1), "front 0");
    expectCorners(front[1], kZero, kZero, kZero, "front 1");
    expectCorners(back[0], Vec3(0.5f, 0, 0), Vec3(1, 0, -1), Vec3(0, 1, -1), "back 0");
    expectCorners(back[1], Vec3(0.5f, 0, 0), Vec3(0, 1, -1), Vec3(0, 0.5f, 0), "back 1");
}

TEST(SplitTriangle, ACornerOnThePlaneIsSharedAndGivesOnePieceEachSide) {
    Triangle back[2], front[2];
    BSPTree::SplitTriangle(Triangle(Vec3(0, 0, 1), Vec3(1, 0, 0), Vec3(0, 1, -1)), kGround, back,
                           front);
    expectCorners(front[0], Vec3(1, 0, 0), Vec3(0, 0.5f, 0), Vec3(0, 0, 1), "front 0");
    expectCorners(front[1], kZero, kZero, kZero, "front 1");
    expectCorners(back[0], Vec3(1, 0, 0), Vec3(0, 1, -1), Vec3(0, 0.5f, 0), "back 0");
    expectCorners(back[1], kZero, kZero, kZero, "back 1");
}

TEST(SplitTriangle, TheWalkStartsAtTheFirstCornerOffThePlane) {
    // Corner 0 on the plane, corner 1 behind: the walk starts in the back list,
    // and the edge leaving corner 0 towards the back gives the back side the
    // cut point at t = 0, which is corner 0 itself.
    Triangle back[2], front[2];
    BSPTree::SplitTriangle(Triangle(Vec3(1, 0, 0), Vec3(0, 1, -1), Vec3(0, 0, 1)), kGround, back,
                           front);
    expectCorners(back[0], Vec3(0, 0.5f, 0), Vec3(1, 0, 0), Vec3(0, 1, -1), "back 0");
    expectCorners(front[0], Vec3(0, 0.5f, 0), Vec3(0, 0, 1), Vec3(1, 0, 0), "front 0");
    expectCorners(back[1], kZero, kZero, kZero, "back 1");
    expectCorners(front[1], kZero, kZero, kZero, "front 1");
}

TEST(SplitTriangle, ACornerWithinTheSplitToleranceIsNotCutBeside) {
    // Corner 1 lies 0.0005 above the plane: on it for cutting. The front side
    // keeps it as it is; the edge leaving it towards the back is cut within
    // the parameter tolerance of it, so that point goes to the back side only.
    // Each side has three points.
    const Vec3 c0(0, 0, 1), c1(1, 0, 0.0005f), c2(0, 1, -1);
    Triangle back[2], front[2];
    BSPTree::SplitTriangle(Triangle(c0, c1, c2), kGround, back, front);
    expectCorners(front[0], c1, Vec3(0, 0.5f, 0), c0, "front 0");
    expectCorners(front[1], kZero, kZero, kZero, "front 1");
    EXPECT_NEAR(back[0].mPos[0].x, 0.9995f, 1e-6);
    EXPECT_NEAR(back[0].mPos[0].y, 0.0005f, 1e-6);
    EXPECT_NEAR(back[0].mPos[0].z, 0.0f, 1e-6);
    EXPECT_EQ(back[0].mPos[1].z, c2.z);
    EXPECT_EQ(back[0].mPos[2].y, 0.5f);
    expectCorners(back[1], kZero, kZero, kZero, "back 1");
}

TEST(SplitTriangle, PiecesKeepTheWindingAndTheColoursByCornerIndex) {
    const Triangle cases[] = {
        tricolour(Vec3(0, 0, 1), Vec3(1, 0, -1), Vec3(0, 1, -1)),
        tricolour(Vec3(0, 0, -2), Vec3(3, 1, 1), Vec3(-1, 2, 0.5f)),
        tricolour(Vec3(1, 1, 0), Vec3(-2, 0, 2), Vec3(0, -3, -1)),
        tricolour(Vec3(0.5f, 0.5f, -0.3f), Vec3(0.1f, 0.9f, -0.2f), Vec3(0.9f, 0.1f, 0.7f)),
    };
    for (const Triangle& tri : cases) {
        Triangle back[2], front[2];
        BSPTree::SplitTriangle(tri, kGround, back, front);
        const Vec3 n = rawNormal(tri);
        const Triangle* pieces[4] = {&front[0], &front[1], &back[0], &back[1]};
        for (const Triangle* p : pieces) {
            EXPECT_EQ(p->mTag, 0);
            for (int k = 0; k < 3; ++k) {
                EXPECT_EQ(std::memcmp(&p->mClr[k], &tri.mClr[k], sizeof(ORV::Color)), 0);
            }
            bool zeroPiece =
                p->mPos[0].IsEqual(kZero) && p->mPos[1].IsEqual(kZero) && p->mPos[2].IsEqual(kZero);
            if (!zeroPiece) {
                EXPECT_GT(rawNormal(*p).Dot(n), 0.0f);
            }
        }
        // Every corner of a front piece lies on or in front of the plane.
        for (int k = 0; k < 3; ++k) {
            EXPECT_GT(front[0].mPos[k].z, -1e-6f);
            EXPECT_LT(back[0].mPos[k].z, 1e-6f);
        }
    }
}

TEST(SplitTriangle, PiecesCoverTheTriangleExactlyOnce) {
    // The areas of the pieces add up to the triangle's.
    auto area = [](const Triangle& t) { return 0.5 * rawNormal(t).Length(); };
    Triangle tri(Vec3(0.2f, -1.1f, 0.7f), Vec3(1.3f, 0.4f, -0.9f), Vec3(-0.8f, 0.6f, -0.2f));
    Triangle back[2], front[2];
    BSPTree::SplitTriangle(tri, kGround, back, front);
    double sum = area(front[0]) + area(front[1]) + area(back[0]) + area(back[1]);
    EXPECT_NEAR(sum, area(tri), 1e-5);
}

TEST(SplitTriangle, AnEdgeLeavingAnOnPlaneCornerIsCutAtThatCorner) {
    // Corner 1 is on the plane for cutting but 0.0009 to the front. The edge
    // from it to the front corner meets the plane outside the edge (t < 0);
    // that point would stretch the front piece past the triangle, so the cut
    // is made at the corner itself and both sides share it.
    const Vec3 p(0, 1, -1), a(1, 0, 0.0009f), b(0, 0, 0.02f);
    Triangle back[2], front[2];
    BSPTree::SplitTriangle(Triangle(p, a, b), kGround, back, front);
    Vec3 y;
    float t;
    IntersectSegment(b, p, kGround, &y, &t);
    expectCorners(front[0], a, b, y, "front 0");
    expectCorners(front[1], kZero, kZero, kZero, "front 1");
    expectCorners(back[0], a, y, p, "back 0");
    expectCorners(back[1], kZero, kZero, kZero, "back 1");
}

// Found by fuzzing: corner 2 lies on the plane x = y and the edge from it to
// corner 0 is so long (2^24) that its component along the normal rounds to 0,
// so the edge's cut parameter was 0 / 0 and two pieces got a NaN corner (a
// build dropped them, leaving a hole). The edge leaves the plane at corner 2.
TEST(SplitTriangle, AnEdgeTooLongToGiveAParameterIsCutAtItsEndOnThePlane) {
    const Vec3 p(-1, 1, 0), q(0, 1, -12), r(16777216, 16777216, -7.75f);
    Plane plane;
    ASSERT_TRUE(Plane::FromTriangle(Triangle(Vec3(16777216, 16777216, 16777216),
                                             Vec3(16777216, 16777216, 1), Vec3(0, 1, 0)),
                                    &plane));
    ASSERT_EQ(plane.Distance(r), 0.0f);
    Triangle back[2], front[2];
    BSPTree::SplitTriangle(Triangle(p, q, r), plane, back, front);
    Vec3 x;
    float t;
    IntersectSegment(p, q, plane, &x, &t);
    expectCorners(front[0], x, r, p, "front 0");
    expectCorners(front[1], kZero, kZero, kZero, "front 1");
    expectCorners(back[0], x, q, r, "back 0");
    expectCorners(back[1], kZero, kZero, kZero, "back 1");
}

// A sliver whose front part is cut away by the tolerances: corner 0 is
// clearly in front, corner 2 barely in front, corner 1 far behind. Both
// intersection points fall within the parameter tolerance of the front
// corners, so the front side is left with two points.
TEST(SplitTriangle, TwoPointFrontSideHaltsWithItsSize) {
    auto r = orvtest::RunInChild([] {
        Triangle back[2], front[2];
        BSPTree::SplitTriangle(Triangle(Vec3(0, 0, 0.02f), Vec3(1, 0, -100), Vec3(0, 1, 0.0011f)),
                               kGround, back, front);
    });
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, haltText("Invalid front list size", "Invalid front list size: 2"));
}

TEST(SplitTriangle, TwoPointBackSideHaltsAfterTheFrontSideIsFilled) {
    auto r = orvtest::RunInChild([] {
        Triangle back[2], front[2];
        BSPTree::SplitTriangle(Triangle(Vec3(0, 0, -0.02f), Vec3(1, 0, 100), Vec3(0, 1, -0.0011f)),
                               kGround, back, front);
        printf("not reached\n");
    });
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, haltText("Invalid back list size", "Invalid back list size: 2"));
}

TEST(SplitTriangle, ATriangleWithNothingToCutHaltsInsteadOfReadingPastItsCorners) {
    // Called on a triangle lying in the plane, every point goes to one side.
    auto r = orvtest::RunInChild([] {
        Triangle back[2], front[2];
        BSPTree::SplitTriangle(Triangle(Vec3(0, 0, 0), Vec3(1, 0, 0), Vec3(0, 1, 0)), kGround, back,
                               front);
    });
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, haltText("Invalid front list size", "Invalid front list size: 0"));
}
