// The fast splitter search against the plain one (every candidate counted
// in full, one by one, on one thread): node by node the same planes, lists,
// types, depth and shape, bit for bit, on soups, closed and convex meshes,
// the demo mesh and real meshes, under several weights, at every kernel
// width, on one to three threads and with sides built side by side. A long
// build's progress line.
//
// The suite's run keeps to inputs the plain search builds in moments; set
// ORV_BSP_IDENTITY_FULL=1 to add the large ones (minutes).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "BSPBuild.h"
#include "BSPProgress.h"
#include "BSPRules.h"
#include "BSPTree.h"
#include "ChildProcess.h"
#include "MeshFiles.h"
#include "Shapes.h"
#include "TreeSettings.h"

using ORV::Vec3;
using orvtest::WithWeights;

namespace {

bool fullRun() {
    const char* p = std::getenv("ORV_BSP_IDENTITY_FULL");
    return p != nullptr && *p != '\0' && *p != '0';
}

// A convex sphere and, for a few of its facets, a coplanar copy grown three
// times about its centre, which reaches across the neighbours' planes. Down
// the sphere's chain each grown copy leaves with its facet, as a coplanar
// triangle that spans planes still in the list: the carried counts must take
// spanning triangles off too.
std::vector<Triangle> sphereWithGrownFacets() {
    std::vector<Triangle> out = orvtest::Sphere(20, 16);
    for (size_t i : {37u, 151u, 283u, 419u, 557u}) {
        Triangle grown = out[i];
        const Vec3 centre = (grown.mPos[0] + grown.mPos[1] + grown.mPos[2]) * (1.0f / 3.0f);
        for (Vec3& p : grown.mPos) p = centre + (p - centre) * 3.0f;
        out.push_back(grown);
    }
    return out;
}

std::string describe(const Plane& p) {
    std::ostringstream s;
    s.precision(9);
    s << "(" << p.mNormal.x << ", " << p.mNormal.y << ", " << p.mNormal.z << "; " << p.mD << ")";
    return s.str();
}

// Nodes in VisitNodes order with their depths.
std::vector<std::pair<const BSPNode*, uint32_t>> nodesOf(const BSPTree& tree) {
    std::vector<std::pair<const BSPNode*, uint32_t>> out;
    tree.VisitNodes([&](const BSPNode& node, uint32_t depth) { out.emplace_back(&node, depth); });
    return out;
}

// Empty when both trees are the same bit for bit, else where they first part.
std::string difference(const BSPTree& want, const BSPTree& got) {
    std::ostringstream s;
    if (want.Depth() != got.Depth())
        s << "depth " << got.Depth() << ", plain " << want.Depth() << "; ";
    if (want.DegenerateNum() != got.DegenerateNum())
        s << "left out " << got.DegenerateNum() << ", plain " << want.DegenerateNum() << "; ";
    if (want.TriNum() != got.TriNum()) s << "triangles " << got.TriNum() << "; ";
    const auto a = nodesOf(want), b = nodesOf(got);
    for (size_t i = 0; i < std::min(a.size(), b.size()); ++i) {
        const BSPNode& x = *a[i].first;
        const BSPNode& y = *b[i].first;
        const char* what = nullptr;
        if (a[i].second != b[i].second) what = "depth";
        else if (x.mType != y.mType) what = "type";
        else if (std::memcmp(&x.mPlane, &y.mPlane, sizeof(Plane)) != 0) what = "plane";
        else if ((x.mpFront == nullptr) != (y.mpFront == nullptr)) what = "front child";
        else if ((x.mpBack == nullptr) != (y.mpBack == nullptr)) what = "back child";
        else if (x.mTriList.size() != y.mTriList.size()) what = "list size";
        else if (std::memcmp(x.mTriList.data(), y.mTriList.data(),
                             x.mTriList.size() * sizeof(Triangle)) != 0)
            what = "list";
        if (what != nullptr) {
            s << "node " << i << " at depth " << a[i].second << " differs in its " << what
              << ": plane " << describe(y.mPlane) << " with " << y.mTriList.size()
              << " triangles, plain " << describe(x.mPlane) << " with " << x.mTriList.size();
            return s.str();
        }
    }
    if (a.size() != b.size()) s << b.size() << " nodes, plain " << a.size();
    // The comparison above and the tree's own must agree.
    if (s.str().empty() != want.IsIdentical(got)) s << "IsIdentical disagrees";
    return s.str();
}

struct Scene {
    std::string name;
    std::vector<Triangle> tris;
};

BSPBuildSettings plainSearch(BSPBuildSettings settings) {
    settings.search = SplitterSearch::Plain;
    settings.threads = 1;
    return settings;
}

// Builds with the plain search, then with the fast one at every kernel width
// on each thread count (sides built side by side from the first node whose
// sides both hold forkMin triangles), and expects the same tree every time.
void expectIdentical(const Scene& scene, BSPBuildSettings settings = BSPBuildSettings(),
                     std::initializer_list<unsigned> threadCounts = {1, 2, 3}) {
    ASSERT_FALSE(scene.tris.empty()) << scene.name;
    BSPTree want;
    want.Build(scene.tris, plainSearch(settings));
    ASSERT_NE(want.Root(), nullptr) << scene.name;
    for (unsigned width : {4u, 8u, 16u}) {
        for (unsigned threads : threadCounts) {
            settings.kernelWidth = width;
            settings.threads = threads;
            BSPTree got;
            got.Build(scene.tris, settings);
            EXPECT_EQ(difference(want, got), "")
                << scene.name << ": width " << width << " on " << threads << " threads, fork at "
                << settings.forkMin << ", weights " << settings.splitWeight << ", "
                << settings.balanceWeight;
        }
    }
}

// A convex prism's side: facets around the z axis, each a strip of coplanar
// triangles. A tree over it is a chain whose every step removes a facet.
std::vector<Triangle> facetedPrism(uint32_t facets, uint32_t stripsPerFacet) {
    std::vector<Triangle> out;
    const double step = 2.0 * 3.14159265358979 / facets;
    for (uint32_t f = 0; f < facets; ++f) {
        Vec3 a(static_cast<float>(2.0 * std::cos(f * step)),
               static_cast<float>(2.0 * std::sin(f * step)), 0.0f);
        Vec3 b(static_cast<float>(2.0 * std::cos((f + 1) * step)),
               static_cast<float>(2.0 * std::sin((f + 1) * step)), 0.0f);
        for (uint32_t k = 0; k < stripsPerFacet; ++k) {
            Vec3 up0(0.0f, 0.0f, 0.25f * static_cast<float>(k));
            Vec3 up1(0.0f, 0.0f, 0.25f * static_cast<float>(k + 1));
            out.emplace_back(a + up0, b + up0, b + up1);
            out.emplace_back(a + up0, b + up1, a + up1);
        }
    }
    for (size_t i = 0; i < out.size(); ++i)
        for (int k = 0; k < 3; ++k) out[i].mClr[k] = orvtest::ShapeColor(i);
    return out;
}

}  // namespace

TEST(BuildIdentity, SoupsTorusSphereAndPrismUnderTheStartWeights) {
    expectIdentical({"soup 1k", orvtest::RandomSoup(1, 1000, 1.0f, 0.15f)});
    expectIdentical({"soup of large triangles", orvtest::RandomSoup(9, 300, 1.0f, 1.2f)});
    expectIdentical({"torus 1k", orvtest::Torus(32, 16)});
    // Chains: carried counts, counted in parallel and reduced in parallel.
    expectIdentical({"sphere 600", orvtest::Sphere(20, 16)});
    expectIdentical({"sphere with grown facets", sphereWithGrownFacets()});
    expectIdentical({"prism of 24 facets", facetedPrism(24, 48)});
    expectIdentical({"parallel stack", orvtest::ParallelStack(700, 0.1f)});
}

TEST(BuildIdentity, OtherWeightsIncludingOnesThatRuleOutEarlyStops) {
    const std::pair<float, float> weights[] = {{1.6f, 1.0f}, {0.0f, 1.0f},  {1.1f, 0.0f},
                                               {0.0f, 0.0f}, {-1.0f, 1.0f}, {1.1f, -0.5f}};
    const Scene scenes[] = {{"soup", orvtest::RandomSoup(4, 600, 1.0f, 0.3f)},
                            {"torus", orvtest::Torus(24, 12)},
                            {"sphere", orvtest::Sphere(16, 12)}};
    for (const auto& [split, balance] : weights)
        for (const Scene& scene : scenes)
            expectIdentical(scene, WithWeights(split, balance), {1, 2});
}

TEST(BuildIdentity, DegenerateInputAndDegeneratePiecesAreDroppedAlike) {
    std::vector<Triangle> tris = orvtest::RandomSoup(11, 400, 1.0f, 0.8f);
    // Collinear, coincident and slivers that cut into pieces without a plane.
    for (size_t i = 0; i < tris.size(); i += 17) tris[i].mPos[2] = tris[i].mPos[1];
    for (size_t i = 5; i < tris.size(); i += 23)
        tris[i].mPos[2] = (tris[i].mPos[0] + tris[i].mPos[1]) * 0.5f;
    for (size_t i = 9; i < tris.size(); i += 29)
        tris[i].mPos[2] = tris[i].mPos[1] + Vec3(1e-4f, 0.0f, 0.0f);
    BSPTree want;
    want.Build(tris, plainSearch(BSPBuildSettings()));
    EXPECT_GT(want.DegenerateNum(), 20u);
    expectIdentical({"soup with degenerate triangles", tris});
}

TEST(BuildIdentity, TheDemoMesh) {
    Scene scene{"demo mesh", orvtest::DemoTriangles()};
    ASSERT_FALSE(scene.tris.empty()) << orvtest::DemoMeshPath();
    expectIdentical(scene);
    expectIdentical(scene, WithWeights(1.1f, 3.0f));
}

TEST(BuildIdentity, RealMeshesFromAssimpTestModels) {
    const std::string spider = std::string(orvtest::kAssimpModelsDir) + "/OBJ/spider.obj";
    std::string error;
    Scene scene{"spider.obj", orvtest::ImportTriangles(spider, &error)};
    ASSERT_FALSE(scene.tris.empty()) << spider << ": " << error;
    EXPECT_EQ(scene.tris.size(), 1368u);
    expectIdentical(scene, BSPBuildSettings(), {1, 2});
    const std::string wuson = std::string(orvtest::kAssimpModelsDir) + "/OBJ/WusonOBJ.obj";
    Scene big{"WusonOBJ.obj", orvtest::ImportTriangles(wuson, &error)};
    ASSERT_FALSE(big.tris.empty()) << wuson << ": " << error;
    EXPECT_EQ(big.tris.size(), 3732u);
    expectIdentical(big, BSPBuildSettings(), {1, 2});
}

TEST(BuildIdentity, LargeInputsWhenAskedFor) {
    if (!fullRun()) GTEST_SKIP() << "set ORV_BSP_IDENTITY_FULL=1 for the large inputs";
    expectIdentical({"soup 4k", orvtest::RandomSoup(2, 4000, 1.0f, 0.15f)}, BSPBuildSettings(),
                    {1, 2});
    expectIdentical({"torus 4k", orvtest::Torus(64, 32)}, BSPBuildSettings(), {1, 2});
    expectIdentical({"sphere 2k", orvtest::Sphere(32, 32)}, BSPBuildSettings(), {1, 2});
    // The plain search takes minutes here; the fast one's kernel widths and
    // thread counts all agree with it.
    expectIdentical({"terrain 100k", orvtest::Terrain(224)}, BSPBuildSettings(), {1, 2});
}

// Every way of counting a candidate: against the hierarchy of boxes from the
// smallest lists on, and never; the scenes hold lists long enough for the
// sampled first candidate and the skip of repeated planes.
TEST(BuildIdentity, CountingInBoxesOrFlatGivesTheSameTree) {
    const Scene scenes[] = {{"soup 1k", orvtest::RandomSoup(12, 1000, 1.0f, 0.2f)},
                            {"terrain 2k", orvtest::Terrain(32)},
                            {"torus 1k", orvtest::Torus(32, 16)},
                            {"sphere with grown facets", sphereWithGrownFacets()},
                            {"parallel stack", orvtest::ParallelStack(300, 0.1f)}};
    for (size_t groupsMin : {size_t{2}, size_t{SIZE_MAX}}) {
        BSPBuildSettings settings;
        settings.groupsMin = groupsMin;
        for (const Scene& scene : scenes) expectIdentical(scene, settings);
        settings.splitWeight = 0.0f;
        expectIdentical(scenes[0], settings, {1, 2});
    }
    // Degenerate triangles and triangles far from the rest, in boxes.
    std::vector<Triangle> odd = orvtest::RandomSoup(13, 600, 1.0f, 0.4f);
    for (size_t i = 0; i < odd.size(); i += 31) odd[i].mPos[2] = odd[i].mPos[1];
    for (size_t i = 7; i < odd.size(); i += 97) odd[i].mPos[0] = Vec3(3e4f, -2e4f, 1e4f);
    BSPBuildSettings boxes;
    boxes.groupsMin = 2;
    expectIdentical({"soup with degenerate and distant triangles", odd}, boxes);
}

// Candidates whose planes are equal bit for bit: the plane of a triangle
// reaching far along a diagonal does not see its third corner move by less
// than the rounding of the far corner's coordinates, so A and B share their
// plane while B lies behind its band and A on it. B then has one triangle
// fewer behind it than A (A counts B; B does not count itself) and wins;
// a stack of parallel triangles on both sides scores worse than either.
TEST(BuildIdentity, ARepeatedPlaneIsCountedWhenItsOwnTriangleClassifiesApart) {
    const float far = 300000.0f;
    const Triangle a(Vec3(far, -far, 0.0f), Vec3(far, -far, 1.0f), Vec3(0.0f, 0.0f, 0.0f));
    const Triangle b(Vec3(far, -far, 0.0f), Vec3(far, -far, 1.0f),
                     Vec3(1.0f / 128, 1.0f / 128, 0.0f));
    const Plane plane = CandidatePlane(a), planeB = CandidatePlane(b);
    ASSERT_EQ(std::memcmp(&plane, &planeB, sizeof(Plane)), 0);
    ASSERT_EQ(ClassifyTriangle(plane, a), TRI_COPLANAR);
    ASSERT_NE(ClassifyTriangle(plane, b), TRI_COPLANAR);
    std::vector<Triangle> tris = {a, b};
    const Vec3 step = plane.mNormal * 0.5f;
    for (int j = 1; j <= 130; ++j) {
        for (float side : {1.0f, -1.0f}) {
            const Vec3 q = step * (side * static_cast<float>(j));
            tris.emplace_back(q, q + Vec3(0.0f, 0.0f, 1.0f), q + Vec3(1.0f, -1.0f, 0.0f));
        }
    }
    BSPTree want;
    want.Build(tris, plainSearch(BSPBuildSettings()));
    ASSERT_EQ(want.Root()->mTriList.size(), 2u) << "B is the splitter, A lies in its plane";
    expectIdentical({"repeated plane", tris});
}

// A bounded search scores a few candidates per node: not the exact rule's
// tree, but the fast search must still pick what the plain search picks among
// those few, on every path, and so build the same tree each time.
TEST(BuildIdentity, ABoundedSearchAgreesWithThePlainOneOverTheSameCandidates) {
    const Scene scenes[] = {{"soup 1k", orvtest::RandomSoup(14, 1000, 1.0f, 0.2f)},
                            {"terrain 2k", orvtest::Terrain(32)},
                            {"sphere 600", orvtest::Sphere(20, 16)}};
    for (size_t candidates : {size_t{1}, size_t{7}, size_t{64}, size_t{300}}) {
        for (size_t groupsMin : {size_t{2}, size_t{SIZE_MAX}}) {
            BSPBuildSettings settings;
            settings.candidates = candidates;
            settings.groupsMin = groupsMin;
            for (const Scene& scene : scenes) expectIdentical(scene, settings, {1, 2});
        }
    }
    // Bounded, the tree differs from the exact one.
    BSPTree exact, bounded;
    BSPBuildSettings few;
    few.candidates = 4;
    exact.Build(scenes[0].tris);
    bounded.Build(scenes[0].tris, few);
    EXPECT_NE(difference(exact, bounded), "");
}

TEST(BuildIdentity, SubtreesBuiltSideBySideFromTheRoot) {
    // Any node with two non-empty sides hands them to two threads.
    BSPBuildSettings fork;
    fork.forkMin = 1;
    expectIdentical({"soup", orvtest::RandomSoup(6, 500, 1.0f, 0.4f)}, fork, {1, 2, 3});
    expectIdentical({"torus", orvtest::Torus(20, 10)}, fork, {2});
    fork.splitWeight = 2.0f;
    expectIdentical({"soup with dearer cuts", orvtest::RandomSoup(7, 400, 1.0f, 0.6f)}, fork, {2});
}

TEST(BuildIdentity, AGrowthRefusedInOrderIsRefusedAlikeWhenSidesAreBuiltSideBySide) {
    // Slabs crossing in three directions cut each other into thousands of
    // pieces, past the limit for 48 triangles. Built side by side, the
    // sides only bound their growth; the build is made again in order and
    // refused at the same point, with the same report.
    std::vector<Triangle> slabs;
    const float big = 16.0f;
    for (int i = 0; i < 16; ++i) {
        const float c = static_cast<float>(i) - 7.5f;
        slabs.emplace_back(Vec3(c, -big, -big), Vec3(c, big, -big), Vec3(c, 0, big));
        slabs.emplace_back(Vec3(-big, c, -big), Vec3(0, c, big), Vec3(big, c, -big));
        slabs.emplace_back(Vec3(-big, -big, c), Vec3(big, -big, c), Vec3(0, big, c));
    }
    auto build = [&](unsigned threads, size_t forkMin) {
        return orvtest::RunInChild([&] {
            BSPBuildSettings settings;
            settings.threads = threads;
            settings.forkMin = forkMin;
            BSPTree tree;
            tree.Build(slabs, settings);
            printf("built, %u deep\n", tree.Depth());
        });
    };
    const auto inOrder = build(1, 512);
    const auto sideBySide = build(2, 1);
    EXPECT_EQ(inOrder.exitCode, 1);
    EXPECT_NE(inOrder.out.find("Cutting would grow the tree past 16384 triangles (48 given)!!"),
              std::string::npos)
        << inOrder.out;
    EXPECT_EQ(sideBySide.exitCode, inOrder.exitCode);
    EXPECT_EQ(sideBySide.out, inOrder.out);
}

TEST(BuildIdentity, TheDemosBuildScoresTheCandidatesItsCommandLineGave) {
    // Build(list) reads BSPTree::sCandidates, which orvane --candidates sets.
    const std::vector<Triangle> tris = orvtest::RandomSoup(8, 600, 1.0f, 0.3f);
    BSPBuildSettings few;
    few.candidates = 5;
    BSPTree want;
    want.Build(tris, few);
    BSPTree::sCandidates = 5;
    BSPTree got;
    got.Build(tris);
    BSPTree::sCandidates = 0;
    EXPECT_EQ(difference(want, got), "");
    BSPTree exact;
    exact.Build(tris);
    EXPECT_NE(difference(want, exact), "");
}

TEST(BuildIdentity, TheComparisonSeesADifferentWeightAsADifferentTree) {
    // The comparison itself must notice a changed tree.
    std::vector<Triangle> tris = orvtest::RandomSoup(5, 200, 1.0f, 0.5f);
    BSPTree want;
    want.Build(tris, plainSearch(BSPBuildSettings()));
    BSPTree got;
    got.Build(tris, WithWeights(1.1f, 4.0f));
    EXPECT_NE(difference(want, got), "");
}

TEST(BuildProgress, ALongBuildRewritesOneLineAndBlanksItAtTheEnd) {
    auto r = orvtest::RunInChild([] {
        BSPProgressLine line(0.0);
        BSPBuildSettings settings;
        settings.progress = line.Callback();
        BSPTree tree;
        tree.Build(orvtest::Sphere(24, 20), settings);
        printf("after");
    });
    ASSERT_EQ(r.exitCode, 0);
    const std::string blank = "\r" + std::string(78, ' ') + "\r";
    ASSERT_GT(r.out.size(), blank.size() + 5);
    // Every update starts at the line's start and fills it; no line feed.
    EXPECT_EQ(r.out.find('\n'), std::string::npos);
    EXPECT_EQ(r.out.compare(0, 23, "\rBuilding the BSP tree:"), 0) << r.out;
    EXPECT_EQ(r.out.substr(r.out.size() - blank.size() - 5), blank + "after");
    // The first update is the root: one node done, all it does not hold
    // left (a convex mesh is never cut).
    BSPTree tree;
    tree.Build(orvtest::Sphere(24, 20));
    const size_t left = orvtest::Sphere(24, 20).size() - tree.Root()->mTriList.size();
    const std::string first =
        "Building the BSP tree: 1 nodes done, " + std::to_string(left) + " triangles left";
    EXPECT_EQ(r.out.substr(1, 78), first + std::string(78 - first.size(), ' '));
}

TEST(BuildProgress, AShortBuildPrintsNothing) {
    auto r = orvtest::RunInChild([] {
        BSPTree tree;
        tree.Build(orvtest::Torus(12, 8));
        tree.Build(orvtest::DemoTriangles());
    });
    ASSERT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, "");
}
