// Tree construction: the exact shapes of small trees, the splitter score and
// its ties, cutting during construction, degenerate input, rebuilding, and a
// chain as deep as its triangle count.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <tuple>

#include "BSPTree.h"
#include "Shapes.h"
#include "TreeSettings.h"

using ORV::Vec3;
using orvtest::WithWeights;

namespace {

// A right triangle facing +z (or -z when flipped) at height z.
Triangle flat(float z, bool flipped = false, float x = 0.0f) {
    Vec3 a(x, 0, z), b(x + 1, 0, z), c(x, 1, z);
    return flipped ? Triangle(a, c, b) : Triangle(a, b, c);
}

bool sameTriangle(const Triangle& a, const Triangle& b) {
    return std::memcmp(&a, &b, sizeof(Triangle)) == 0;
}

void expectPlane(const Plane& p, float nx, float ny, float nz, float d) {
    EXPECT_EQ(p.mNormal.x, nx);
    EXPECT_EQ(p.mNormal.y, ny);
    EXPECT_EQ(p.mNormal.z, nz);
    EXPECT_EQ(p.mD, d);
}

struct Counts {
    int front = 0, back = 0, cut = 0;
};

// What candidate i's normalised raw plane makes of the rest of the list.
Counts candidateCounts(const std::vector<Triangle>& list, size_t i) {
    Plane p(list[i].mPos[0], list[i].mPos[1], list[i].mPos[2]);
    p.Normalize();
    Counts c;
    for (size_t j = 0; j < list.size(); ++j) {
        if (j == i) continue;
        int side = ClassifyTriangle(p, list[j]);
        c.front += side == TRI_FRONT;
        c.back += side == TRI_BACK;
        c.cut += side == TRI_SPANNING;
    }
    return c;
}

// The splitter rule as written: every candidate scored in full, strictly
// lower wins. The tree's chooser must agree with it whatever shortcut it takes.
size_t referenceSplitter(const std::vector<Triangle>& list, float split, float balance) {
    const size_t n = list.size();
    float best = static_cast<float>(n) * balance + static_cast<float>(n) * split;
    size_t bestIndex = 0;
    for (size_t i = 0; i < n; ++i) {
        Counts c = candidateCounts(list, i);
        float score = static_cast<float>(std::max(c.front, c.back)) * balance +
                      static_cast<float>(c.cut) * split;
        if (score < best) {
            best = score;
            bestIndex = i;
        }
    }
    return bestIndex;
}

}  // namespace

TEST(BuildShape, EmptyListGivesEmptyTree) {
    BSPTree tree;
    EXPECT_TRUE(tree.Build({}));
    EXPECT_EQ(tree.Root(), nullptr);
    EXPECT_EQ(tree.Depth(), 0u);
    EXPECT_EQ(tree.TriNum(), 0);
}

TEST(BuildShape, SingleTriangleIsALeafWithItsRawPlane) {
    BSPTree tree;
    Triangle tri(Vec3(0, 0, 1), Vec3(2, 0, 1), Vec3(0, 2, 1));
    tree.Build({tri});
    const BSPNode* root = tree.Root();
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(tree.Depth(), 0u);
    EXPECT_EQ(tree.TriNum(), 1);
    EXPECT_EQ(root->mType, BSPNode::TYPE_LEAF);
    EXPECT_EQ(root->mpFront, nullptr);
    EXPECT_EQ(root->mpBack, nullptr);
    expectPlane(root->mPlane, 0, 0, 4, -4);
    ASSERT_EQ(root->mTriList.size(), 1u);
    EXPECT_TRUE(sameTriangle(root->mTriList[0], tri));
}

TEST(BuildShape, TwoTrianglesFacingEachOtherGiveARootAndAFrontChild) {
    // Each lies wholly in front of the other's plane; both score 1.0.
    Triangle lower = flat(0.0f), upper = flat(1.0f, true);
    BSPTree tree;
    tree.Build({lower, upper});
    const BSPNode* root = tree.Root();
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(tree.Depth(), 1u);
    EXPECT_EQ(root->mType, BSPNode::TYPE_INTERIOR);
    expectPlane(root->mPlane, 0, 0, 1, -0.0f);
    ASSERT_EQ(root->mTriList.size(), 1u);
    EXPECT_TRUE(sameTriangle(root->mTriList[0], lower));
    EXPECT_EQ(root->mpBack, nullptr);
    ASSERT_NE(root->mpFront, nullptr);
    const BSPNode* child = root->mpFront;
    EXPECT_EQ(child->mType, BSPNode::TYPE_LEAF);
    ASSERT_EQ(child->mTriList.size(), 1u);
    EXPECT_TRUE(sameTriangle(child->mTriList[0], upper));
    // A one-triangle node keeps the raw plane: normal (0,0,-1) from a 1x1
    // right triangle, offset 1.
    expectPlane(child->mPlane, 0, 0, -1, 1);
}

TEST(BuildShape, CoplanarTrianglesShareOneLeafWithTheSplitterLast) {
    Triangle first = flat(2.0f, false, 0.0f), second = flat(2.0f, false, 5.0f);
    second.mClr[0] = ORV::Color(0.5f, 0.25f, 0.125f, 1.0f);
    BSPTree tree;
    tree.Build({first, second});
    const BSPNode* root = tree.Root();
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(tree.Depth(), 0u);
    EXPECT_EQ(root->mType, BSPNode::TYPE_LEAF);
    EXPECT_EQ(root->mpFront, nullptr);
    EXPECT_EQ(root->mpBack, nullptr);
    ASSERT_EQ(root->mTriList.size(), 2u);
    EXPECT_TRUE(sameTriangle(root->mTriList[0], second));
    EXPECT_TRUE(sameTriangle(root->mTriList[1], first));
    expectPlane(root->mPlane, 0, 0, 1, -2);  // the splitter's unit-normal plane
}

TEST(BuildShape, CoplanarTrianglesKeepTheirInputOrderBeforeTheSplitter) {
    // Four parallel layers: the layer at z=1 splits best; its two coplanar
    // companions follow the input order, then the splitter itself.
    Triangle a = flat(1.0f, false, 0), b = flat(1.0f, false, 3), c = flat(1.0f, false, 6);
    BSPTree tree;
    tree.Build({flat(0.0f), b, a, flat(2.0f), c, flat(3.0f)});
    const BSPNode* root = tree.Root();
    ASSERT_NE(root, nullptr);
    ASSERT_EQ(root->mTriList.size(), 3u);
    EXPECT_TRUE(sameTriangle(root->mTriList[0], a));
    EXPECT_TRUE(sameTriangle(root->mTriList[1], c));
    EXPECT_TRUE(sameTriangle(root->mTriList[2], b));
}

TEST(BuildShape, EqualScoresKeepTheEarlierCandidate) {
    // Layers z = 0..3 score 3, 2, 2, 3: the first of the two 2s wins.
    std::vector<Triangle> list = {flat(0), flat(1), flat(2), flat(3)};
    EXPECT_EQ(BSPTree::ChooseSplitterIndex(list), 1u);
    std::vector<Triangle> reversed = {flat(3), flat(2), flat(1), flat(0)};
    EXPECT_EQ(BSPTree::ChooseSplitterIndex(reversed), 1u);

    BSPTree tree;
    tree.Build(list);
    ASSERT_NE(tree.Root(), nullptr);
    EXPECT_EQ(tree.Root()->mTriList[0].mPos[0].z, 1.0f);
    EXPECT_EQ(tree.Depth(), 2u);
}

TEST(BuildShape, ChooseSplitterRemovesTheWinnerAndGivesItsUnitPlane) {
    std::vector<Triangle> list = {flat(0), flat(1), flat(2, true), flat(3)};
    Plane p;
    Triangle s = BSPTree::ChooseSplitter(list, p);
    EXPECT_EQ(s.mPos[0].z, 1.0f);
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0].mPos[0].z, 0.0f);
    EXPECT_EQ(list[1].mPos[0].z, 2.0f);
    EXPECT_EQ(list[2].mPos[0].z, 3.0f);
    expectPlane(p, 0, 0, 1, -1);
}

TEST(BuildShape, SpanningTriangleIsCutAndItsEmptySecondPiecesDropped) {
    // The big ground triangle and the cut one both score 1.1; the ground,
    // listed first, splits. The cut triangle has a corner on the ground, so
    // each side gets exactly one piece.
    Triangle ground(Vec3(-10, -10, 0), Vec3(10, -10, 0), Vec3(-10, 10, 0));
    Triangle cut(Vec3(0, 0, 1), Vec3(1, 0, 0), Vec3(0, 1, -1));
    BSPTree tree;
    tree.Build({ground, cut});
    const BSPNode* root = tree.Root();
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(tree.Depth(), 1u);
    EXPECT_EQ(tree.TriNum(), 2);
    EXPECT_EQ(tree.DegenerateNum(), 0u);
    ASSERT_EQ(root->mTriList.size(), 1u);
    EXPECT_TRUE(sameTriangle(root->mTriList[0], ground));
    ASSERT_NE(root->mpFront, nullptr);
    ASSERT_NE(root->mpBack, nullptr);
    ASSERT_EQ(root->mpFront->mTriList.size(), 1u);
    ASSERT_EQ(root->mpBack->mTriList.size(), 1u);
    const Triangle& f = root->mpFront->mTriList[0];
    const Triangle& b = root->mpBack->mTriList[0];
    EXPECT_EQ(f.mPos[0].x, 1.0f);
    EXPECT_EQ(f.mPos[1].y, 0.5f);
    EXPECT_EQ(f.mPos[2].z, 1.0f);
    EXPECT_EQ(b.mPos[0].x, 1.0f);
    EXPECT_EQ(b.mPos[1].z, -1.0f);
    EXPECT_EQ(b.mPos[2].y, 0.5f);
}

TEST(BuildShape, StrictlyInFrontAndBehindGoToTheirSubtrees) {
    Triangle mid = flat(0), above = flat(5), below = flat(-5);
    BSPTree tree;
    tree.Build({mid, above, below});
    const BSPNode* root = tree.Root();
    ASSERT_NE(root, nullptr);
    EXPECT_TRUE(sameTriangle(root->mTriList[0], mid));
    ASSERT_NE(root->mpFront, nullptr);
    ASSERT_NE(root->mpBack, nullptr);
    EXPECT_TRUE(sameTriangle(root->mpFront->mTriList[0], above));
    EXPECT_TRUE(sameTriangle(root->mpBack->mTriList[0], below));
}

TEST(BuildInput, CallersListIsUnchanged) {
    std::vector<Triangle> soup = orvtest::RandomSoup(11, 60);
    std::vector<Triangle> copy = soup;
    BSPTree tree;
    tree.Build(soup);
    ASSERT_EQ(soup.size(), copy.size());
    EXPECT_EQ(std::memcmp(soup.data(), copy.data(), soup.size() * sizeof(Triangle)), 0);
    EXPECT_EQ(tree.TriNum(), 60);
}

TEST(BuildInput, TrianglesWithoutAPlaneAreLeftOutAndCounted) {
    const float nan = std::nanf("");
    std::vector<Triangle> list = {
        Triangle(Vec3(0, 0, 0), Vec3(1, 1, 1), Vec3(3, 3, 3)),  // collinear
        flat(0.0f),
        Triangle(Vec3(1, 2, 3), Vec3(1, 2, 3), Vec3(1, 2, 3)),  // one point
        Triangle(Vec3(0, 0, 0), Vec3(nan, 0, 0), Vec3(0, 1, 0)),
        flat(1.0f),
    };
    BSPTree tree;
    tree.Build(list);
    EXPECT_EQ(tree.TriNum(), 5);
    EXPECT_EQ(tree.DegenerateNum(), 3u);
    size_t stored = 0;
    tree.VisitNodes([&](const BSPNode& node, uint32_t) {
        stored += node.mTriList.size();
        EXPECT_TRUE(node.mPlane.IsFinite());
    });
    EXPECT_EQ(stored, 2u);

    // A normal too long to normalise would give a zero plane that scores
    // best and takes every other triangle as coplanar, in list order.
    Triangle huge(Vec3(1e10f, 0, 0), Vec3(0, 1e10f, 0), Vec3(0, 0, 1e10f));
    tree.Build({flat(1.0f), flat(0.0f), huge});
    EXPECT_EQ(tree.DegenerateNum(), 1u);
    std::vector<float> heights;
    tree.Walk(Vec3(0, 0, 10), [&](const Triangle& t) { heights.push_back(t.mPos[0].z); });
    EXPECT_EQ(heights, std::vector<float>({0.0f, 1.0f}));

    BSPTree none;
    none.Build({Triangle(), Triangle()});
    EXPECT_EQ(none.Root(), nullptr);
    EXPECT_EQ(none.DegenerateNum(), 2u);
}

TEST(BuildInput, PiecesWithoutAPlaneAreLeftOutAndCounted) {
    // A needle 4e-23 wide still has a plane, but halving its width in a cut
    // leaves pieces whose normal is too short to normalise: the front piece
    // and the second back piece. Only the first back piece is kept.
    Triangle ground(Vec3(-10, -10, 0), Vec3(10, -10, 0), Vec3(-10, 10, 0));
    Triangle needle(Vec3(0, 0, 1), Vec3(0, 0, -1), Vec3(4e-23f, 0, -1));
    ASSERT_FALSE(IsDegenerate(needle));
    BSPTree tree;
    tree.Build({ground, needle});
    EXPECT_EQ(tree.DegenerateNum(), 2u);
    const BSPNode* root = tree.Root();
    ASSERT_NE(root, nullptr);
    EXPECT_TRUE(sameTriangle(root->mTriList[0], ground));
    EXPECT_EQ(root->mpFront, nullptr);
    ASSERT_NE(root->mpBack, nullptr);
    ASSERT_EQ(root->mpBack->mTriList.size(), 1u);
    EXPECT_EQ(root->mpBack->mTriList[0].mPos[1].z, -1.0f);
    EXPECT_TRUE(root->mpBack->mPlane.IsFinite());
    EXPECT_EQ(root->mType, BSPNode::TYPE_INTERIOR);
}

TEST(BuildLifecycle, EachRebuildReplacesDepthAndTree) {
    const BSPBuildSettings noBalance = WithWeights(1.1f, 0.0f);
    BSPTree tree;
    tree.Build(orvtest::ParallelStack(30, 0.1f), noBalance);
    EXPECT_EQ(tree.Depth(), 29u);
    // Building again without Clear frees the old tree (the leak checker
    // watches) and starts the depth afresh.
    tree.Build({flat(0)}, noBalance);
    EXPECT_EQ(tree.Depth(), 0u);
    EXPECT_EQ(tree.TriNum(), 1);
    tree.Clear();
    EXPECT_EQ(tree.Root(), nullptr);
    tree.Build(orvtest::ParallelStack(4, 0.1f), noBalance);
    EXPECT_EQ(tree.Depth(), 3u);
}

TEST(BuildLifecycle, SameInputAndWeightsGiveIdenticalTrees) {
    std::vector<Triangle> soup = orvtest::RandomSoup(5, 120);
    BSPTree a, b, c;
    a.Build(soup);
    b.Build(soup, BSPBuildSettings());
    EXPECT_TRUE(a.IsIdentical(b));
    b.Build(soup, WithWeights(1.1f, 4.0f));
    EXPECT_FALSE(a.IsIdentical(b));
    // Build(list) builds with the demo's two static weights.
    orvtest::ScopedDemoWeights demo(1.1f, 4.0f);
    c.Build(soup);
    EXPECT_TRUE(c.IsIdentical(b));
    EXPECT_EQ(BSPTree::ChooseSplitterIndex(soup),
              BSPTree::ChooseSplitterIndex(soup, WithWeights(1.1f, 4.0f)));
}

TEST(SplitterScore, ShortcutsAgreeWithTheFullScoreOnEveryList) {
    const std::pair<float, float> weights[] = {{1.1f, 1.0f}, {1.6f, 1.0f}, {1.1f, 0.0f},
                                               {0.0f, 1.0f}, {0.0f, 0.0f}, {1.1f, 5.0f}};
    const std::vector<Triangle> lists[] = {
        orvtest::RandomSoup(1, 50), orvtest::RandomSoup(2, 80, 1.0f, 1.5f), orvtest::Torus(10, 6),
        orvtest::Sphere(8, 6), orvtest::ParallelStack(12, 0.1f)};
    for (const auto& [split, balance] : weights) {
        BSPBuildSettings settings = WithWeights(split, balance);
        for (size_t i = 0; i < sizeof(lists) / sizeof(lists[0]); ++i) {
            const size_t want = referenceSplitter(lists[i], split, balance);
            for (unsigned width : {4u, 8u, 16u}) {
                settings.kernelWidth = width;
                EXPECT_EQ(BSPTree::ChooseSplitterIndex(lists[i], settings), want)
                    << "list " << i << " weights " << split << ", " << balance << " width "
                    << width;
            }
            settings.search = SplitterSearch::Plain;
            EXPECT_EQ(BSPTree::ChooseSplitterIndex(lists[i], settings), want) << "plain";
            settings.search = SplitterSearch::Fast;
        }
    }
}

TEST(SplitterScore, HeavyWeightsSelectFewestCutsOrBestBalance) {
    std::vector<Triangle> soup = orvtest::RandomSoup(3, 40, 1.0f, 1.0f);
    // Per candidate: (cut, larger side, index).
    std::vector<std::tuple<int, int, size_t>> counts;
    for (size_t i = 0; i < soup.size(); ++i) {
        Counts c = candidateCounts(soup, i);
        counts.emplace_back(c.cut, std::max(c.front, c.back), i);
    }
    {
        // Cuts first, then balance, then list order.
        auto best = *std::min_element(counts.begin(), counts.end());
        EXPECT_EQ(BSPTree::ChooseSplitterIndex(soup, WithWeights(1000.0f, 1.0f)),
                  std::get<2>(best));
    }
    {
        // Balance first, then cuts, then list order.
        auto byBalance = counts;
        for (auto& c : byBalance) std::swap(std::get<0>(c), std::get<1>(c));
        auto best = *std::min_element(byBalance.begin(), byBalance.end());
        EXPECT_EQ(BSPTree::ChooseSplitterIndex(soup, WithWeights(1.0f, 1000.0f)),
                  std::get<2>(best));
    }
}

TEST(BuildDeep, ChainOfTwentyThousandParallelTrianglesBuildsWalksAndFrees) {
    const size_t n = 20000;
    BSPTree tree;
    tree.Build(orvtest::ParallelStack(n, 0.1f), WithWeights(1.1f, 0.0f));
    EXPECT_EQ(tree.Depth(), n - 1);
    // From above, the lowest layer is farthest: the walk climbs the chain.
    size_t visited = 0;
    bool ascending = true;
    float last = -1.0f;
    tree.Walk(Vec3(0.2f, 0.2f, 1e4f), [&](const Triangle& tri) {
        ascending = ascending && tri.mPos[0].z > last;
        last = tri.mPos[0].z;
        ++visited;
    });
    EXPECT_EQ(visited, n);
    EXPECT_TRUE(ascending);
    uint32_t deepest = 0;
    tree.VisitNodes([&](const BSPNode&, uint32_t depth) { deepest = std::max(deepest, depth); });
    EXPECT_EQ(deepest, n - 1);
    tree.Clear();
    EXPECT_EQ(tree.Root(), nullptr);
}
