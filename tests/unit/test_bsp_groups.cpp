// The fast search's grouped counting: the box test's bound against the
// kernel's own float distances on adversarial corners (around the band, at
// large coordinates, tiny and huge triangles, values that overflow), and the
// hierarchy's counts against a flat pass over the same triangles, whole and
// given up part way.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "BSPGroups.h"
#include "BSPRules.h"
#include "Shapes.h"

using ORV::Vec3;
using namespace bspsearch;

namespace {

const unsigned kWidths[] = {4u, 8u, 16u};

// A unit candidate plane through three random points of the cube [-1, 1]^3.
Plane randomPlane(orvtest::Rng& rng) {
    for (;;) {
        Triangle t(rng.InBox(1.0f), rng.InBox(1.0f), rng.InBox(1.0f));
        if (!IsDegenerate(t)) return CandidatePlane(t);
    }
}

// The kernel's distance of p: ((nx x + ny y) + nz z) + d in floats.
float kernelDistance(const Plane& plane, const Vec3& p) {
    float s = plane.mNormal.x * p.x;
    s += plane.mNormal.y * p.y;
    s += plane.mNormal.z * p.z;
    return s + plane.mD;
}

// p moved along the plane's normal so that its float distance lands within a
// few steps of target: the corners a margin of rounding must cover.
Vec3 near(const Plane& plane, Vec3 p, float target, orvtest::Rng& rng) {
    for (int k = 0; k < 2; ++k) p = p + plane.mNormal * (target - kernelDistance(plane, p));
    const float scale = std::max({std::fabs(p.x), std::fabs(p.y), std::fabs(p.z), 1.0f});
    return p + plane.mNormal * (rng.Range(-4.0f, 4.0f) * scale * 0x1p-24f);
}

// A group of 1 to 16 triangles of one kind, about centre.
std::vector<Triangle> adversarialGroup(const Plane& plane, orvtest::Rng& rng) {
    const float band = BandBound();
    const float centres[] = {1.0f, 300.0f, 7e4f, 3e6f};
    const float sizes[] = {1e-6f, 1e-3f, 0.5f, 40.0f};
    const Vec3 centre = rng.InBox(1.0f) * centres[rng.Next() % 4];
    const float size = sizes[rng.Next() % 4];
    const float targets[] = {band, -band, 0.0f, 2.0f * band, -2.0f * band};
    const float target = targets[rng.Next() % 5];
    const size_t num = 1 + rng.Next() % 16;
    std::vector<Triangle> out;
    for (size_t i = 0; i < num; ++i) {
        Triangle t;
        for (Vec3& p : t.mPos) p = near(plane, centre + rng.InBox(size), target, rng);
        out.push_back(t);
    }
    return out;
}

// The six box columns (least x y z, greatest x y z) of eight groups.
struct Boxes {
    std::vector<float> col[6];
    Boxes() {
        for (int k = 0; k < 6; ++k) col[k].assign(8, 0.0f);
    }
    void Set(size_t g, const std::vector<Triangle>& tris) {
        for (int k = 0; k < 3; ++k) {
            col[k][g] = HUGE_VALF;
            col[k + 3][g] = -HUGE_VALF;
        }
        for (const Triangle& t : tris)
            for (const Vec3& p : t.mPos)
                for (int k = 0; k < 3; ++k) {
                    col[k][g] = std::min(col[k][g], (&p.x)[k]);
                    col[k + 3][g] = std::max(col[k + 3][g], (&p.x)[k]);
                }
    }
};

Counts countFlat(const Kernel& kernel, const std::vector<Triangle>& tris, const float* plane) {
    Columns cols;
    cols.Load(tris);
    const float* col[9];
    cols.Pointers(col);
    Counts c{0, 0, 0};
    kernel.count(col, 0, cols.mPadded, plane, &c);
    return c;
}

}  // namespace

TEST(GroupBoxes, ADecidedBoxHoldsOnlyTrianglesTheKernelPutsOnThatSide) {
    orvtest::Rng rng(16);
    size_t decided = 0, undecided = 0;
    for (unsigned width : kWidths) {
        const Kernel& kernel = *KernelFor(width);
        for (int trial = 0; trial < 3000; ++trial) {
            const Plane plane = randomPlane(rng);
            const float p[4] = {plane.mNormal.x, plane.mNormal.y, plane.mNormal.z, plane.mD};
            std::vector<Triangle> groups[8];
            Boxes boxes;
            for (size_t g = 0; g < 8; ++g) {
                groups[g] = adversarialGroup(plane, rng);
                boxes.Set(g, groups[g]);
            }
            const float* b[6];
            for (int k = 0; k < 6; ++k) b[k] = boxes.col[k].data();
            uint32_t mask[3];
            kernel.boxSides(b, 0, p, mask);
            for (size_t g = 0; g < 8; ++g) {
                const int32_t n = static_cast<int32_t>(groups[g].size());
                const Counts c = countFlat(kernel, groups[g], p);
                const bool front = mask[0] >> g & 1, back = mask[1] >> g & 1,
                           within = mask[2] >> g & 1;
                ASSERT_LE(front + back + within, 1);
                const std::string where =
                    "width " + std::to_string(width) + ", trial " + std::to_string(trial);
                if (front) {
                    ASSERT_EQ(c.mFront, n) << where;
                } else if (back) {
                    ASSERT_EQ(c.mBack, n) << where;
                } else if (within) {
                    ASSERT_EQ(c.mFront + c.mBack + c.mCut, 0) << where;
                }
                (front || back || within ? decided : undecided) += 1;
            }
        }
    }
    // The bound must also decide: a box of small triangles well off the band
    // is counted whole. (Most groups here are near the band, large or far
    // out; a sixth of them is decided.)
    EXPECT_GT(decided, undecided / 8);
}

TEST(GroupBoxes, ABoxBeyondFloatRangeOrHoldingANaNDecidesNothing) {
    const Kernel& kernel = *KernelFor(0);
    const float p[4] = {0.6f, 0.8f, 0.0f, -1.0f};
    Boxes boxes;
    const float inf = HUGE_VALF, nan = std::nanf("");
    // Corners so far out that the distances' sums could overflow; one
    // infinite corner; a NaN; a box across the plane; then boxes in front,
    // behind and within the band, to show that the test sees decisions.
    const float least[8][3] = {{1e37f, 1e37f, 0}, {inf, 0, 0}, {nan, 0, 0},  {-5, -5, 0},
                               {10, 10, 0},       {-9, -9, 0}, {1, 0.5f, 0}, {1, 1, 1}};
    const float most[8][3] = {{2e37f, 2e37f, 1}, {inf, 1, 1}, {1, 1, 1},    {5, 5, 1},
                              {11, 11, 1},       {-8, -8, 1}, {1, 0.5f, 1}, {1, 1, 1}};
    for (size_t g = 0; g < 8; ++g)
        for (int k = 0; k < 3; ++k) {
            boxes.col[k][g] = least[g][k];
            boxes.col[k + 3][g] = most[g][k];
        }
    const float* b[6];
    for (int k = 0; k < 6; ++k) b[k] = boxes.col[k].data();
    uint32_t mask[3];
    kernel.boxSides(b, 0, p, mask);
    EXPECT_EQ(mask[0], 0x90u);
    EXPECT_EQ(mask[1], 0x20u);
    EXPECT_EQ(mask[2], 0x40u);
}

TEST(GroupHierarchy, CountsEqualAFlatPassAndAGivenUpCountIsAPartOfIt) {
    orvtest::Rng rng(3);
    // Sizes around whole groups and whole branches, so short last boxes on
    // every level are counted; lists with triangles far from the rest, and
    // some with corners that are not finite.
    const size_t sizes[] = {1, 15, 16, 17, 128, 129, 1000, 1024, 4099};
    for (size_t n : sizes) {
        std::vector<Triangle> list = orvtest::RandomSoup(static_cast<uint32_t>(n), n, 2.0f, 0.3f);
        if (n > 100) {
            list[n / 3].mPos[1] = Vec3(5e5f, 0.0f, 0.0f);
            list[n / 2].mPos[2].y = std::nanf("");
            list[n / 5].mPos[0].z = HUGE_VALF;
        }
        Groups groups;
        groups.Build(list);
        ASSERT_EQ(groups.Num(), n);
        std::vector<bool> seen(n, false);
        for (uint32_t i : groups.Order()) seen[i] = true;
        EXPECT_EQ(std::count(seen.begin(), seen.end(), true), static_cast<long>(n));
        Groups::Scratch scratch;
        for (unsigned width : kWidths) {
            const Kernel& kernel = *KernelFor(width);
            for (int trial = 0; trial < 20; ++trial) {
                const Plane plane = trial == 0 ? CandidatePlane(list[0]) : randomPlane(rng);
                const float p[4] = {plane.mNormal.x, plane.mNormal.y, plane.mNormal.z, plane.mD};
                const Counts want = countFlat(kernel, list, p);
                Counts got{0, 0, 0};
                GroupWork work;
                ASSERT_TRUE(groups.Count(
                    p, kernel, &got, &scratch, [](const Counts&) { return false; }, &work));
                ASSERT_EQ(got.mFront, want.mFront) << n << " triangles, width " << width;
                ASSERT_EQ(got.mBack, want.mBack) << n << " triangles, width " << width;
                ASSERT_EQ(got.mCut, want.mCut) << n << " triangles, width " << width;
                EXPECT_LE(work.classified, (n + PAD - 1) / PAD * PAD);
                // Given up once past half the front count: given up only
                // then, and every count so far at most the whole one.
                const int32_t half = want.mFront / 2;
                Counts part{0, 0, 0};
                const bool done = groups.Count(
                    p, kernel, &part, &scratch, [&](const Counts& c) { return c.mFront > half; },
                    &work);
                if (done) {
                    EXPECT_EQ(part.mFront, want.mFront);
                } else {
                    EXPECT_GT(part.mFront, half);
                }
                EXPECT_LE(part.mFront, want.mFront);
                EXPECT_LE(part.mBack, want.mBack);
                EXPECT_LE(part.mCut, want.mCut);
            }
        }
    }
}

TEST(GroupHierarchy, ALargeSurfaceIsMostlyCountedInWholeBoxes) {
    // A terrain against planes of its own triangles: the point of the
    // hierarchy is that few of its triangles are classified one by one.
    const std::vector<Triangle> list = orvtest::Terrain(90);
    Groups groups;
    groups.Build(list);
    Groups::Scratch scratch;
    uint64_t classified = 0;
    for (size_t i = 0; i < list.size(); i += 997) {
        const Plane plane = CandidatePlane(list[i]);
        const float p[4] = {plane.mNormal.x, plane.mNormal.y, plane.mNormal.z, plane.mD};
        Counts c{0, 0, 0};
        GroupWork work;
        groups.Count(
            p, *KernelFor(0), &c, &scratch, [](const Counts&) { return false; }, &work);
        classified += work.classified;
    }
    const uint64_t planes = (list.size() + 996) / 997;
    EXPECT_LT(classified, planes * list.size() / 2);
}
