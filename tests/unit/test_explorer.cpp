// The explorer's rules without a window: the painter's steps and pace, the
// node cursor, the depth ramp, the plane polygon in the mesh's box, the
// sources of stored triangles, and the keys.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstring>
#include <set>
#include <tuple>

#include "BSPBuild.h"
#include "Explorer.h"
#include "MeshFiles.h"
#include "Shapes.h"

using ORV::Vec3;
using namespace explore;

namespace {

// Frames of dt seconds with the step key held (not going down) for seconds.
void holdFor(PainterSteps& p, double seconds, double dt) {
    for (double t = 0.0; t + dt / 2 < seconds; t += dt) p.Advance(dt, false, true);
}

size_t stored(const BSPTree& tree) { return SubtreeTriangles(tree.Root()); }

}  // namespace

TEST(PainterSteps, StepsStopAtTheEndAndANewOrderKeepsWhatIsShown) {
    PainterSteps p;
    p.Start(3);
    EXPECT_EQ(p.Shown(), 0u);
    p.Advance(0.01, true, true);
    EXPECT_EQ(p.Shown(), 1u);
    p.Step();
    p.Step();
    p.Step();
    EXPECT_EQ(p.Shown(), 3u);
    p.SetTotal(2);
    EXPECT_EQ(p.Shown(), 2u);
    p.SetTotal(10);
    EXPECT_EQ(p.Shown(), 2u);
    p.Start(10);
    EXPECT_EQ(p.Shown(), 0u);
}

TEST(PainterSteps, AHeldKeyRepeatsAfterTheDelayAtTheSamePaceWhateverTheFrameRate) {
    for (double dt : {1.0 / 60.0, 1.0 / 7.0}) {
        PainterSteps p;
        p.Start(1000);
        p.Advance(dt, true, true);
        holdFor(p, PainterSteps::REPEAT_DELAY - 0.15, dt);
        EXPECT_EQ(p.Shown(), 1u) << "no repeat before the delay, dt " << dt;
        PainterSteps q;
        q.Start(1000);
        q.Advance(dt, true, true);
        holdFor(q, PainterSteps::REPEAT_DELAY + 2.0, dt);
        // Two seconds of repeats, give or take a frame's worth.
        const double expected = 1.0 + 2.0 * PainterSteps::REPEAT_RATE;
        EXPECT_NEAR(double(q.Shown()), expected, 1.0 + dt * PainterSteps::REPEAT_RATE)
            << "dt " << dt;
        // Let go, pressed again: one step, and the delay starts over.
        const size_t before = q.Shown();
        q.Advance(dt, false, false);
        q.Advance(dt, true, true);
        holdFor(q, 0.2, dt);
        EXPECT_EQ(q.Shown(), before + 1);
    }
}

TEST(PainterSteps, PlayingShowsTheWholeOrderInAboutTenSecondsAndStopsThere) {
    for (size_t total : {size_t(2657), size_t(20000)}) {
        PainterSteps p;
        p.Start(total);
        EXPECT_DOUBLE_EQ(p.PlayRate(), double(total) / PainterSteps::PLAY_SECONDS);
        p.TogglePlay();
        ASSERT_TRUE(p.Playing());
        double t = 0.0;
        while (p.Playing() && t < 60.0) {
            p.Advance(1.0 / 30.0, false, false);
            t += 1.0 / 30.0;
        }
        EXPECT_EQ(p.Shown(), total);
        EXPECT_NEAR(t, PainterSteps::PLAY_SECONDS, 0.1) << total;
        // Played again from the end: from nothing.
        p.TogglePlay();
        EXPECT_TRUE(p.Playing());
        EXPECT_EQ(p.Shown(), 0u);
        p.Advance(1.0, false, false);
        p.TogglePlay();
        const size_t stopped = p.Shown();
        p.Advance(1.0, false, false);
        EXPECT_EQ(p.Shown(), stopped) << "stopped playing stays";
    }
    // A small order is never played slower than a few triangles a second.
    PainterSteps small;
    small.Start(12);
    EXPECT_DOUBLE_EQ(small.PlayRate(), PainterSteps::MIN_PLAY_RATE);
    small.TogglePlay();
    small.Advance(1.0, false, false);
    EXPECT_EQ(small.Shown(), size_t(PainterSteps::MIN_PLAY_RATE));
    // An empty order does not play.
    PainterSteps none;
    none.Start(0);
    none.TogglePlay();
    EXPECT_FALSE(none.Playing());
}

TEST(NodeCursor, MovesToChildrenThatExistAndBackUp) {
    // Two parallel triangles: the lower one at the root, the upper one its
    // front child.
    BSPTree tree;
    tree.Build(orvtest::ParallelStack(2));
    ASSERT_NE(tree.Root()->mpFront, nullptr);
    ASSERT_EQ(tree.Root()->mpBack, nullptr);
    NodeCursor c;
    c.Reset(tree.Root());
    EXPECT_EQ(c.Node(), tree.Root());
    EXPECT_EQ(c.Route(), "root");
    EXPECT_FALSE(c.Up());
    EXPECT_FALSE(c.Back());
    EXPECT_EQ(c.Node(), tree.Root());
    ASSERT_TRUE(c.Front());
    EXPECT_EQ(c.Node(), tree.Root()->mpFront);
    EXPECT_EQ(c.Depth(), 1u);
    EXPECT_EQ(c.Route(), "root/F");
    EXPECT_FALSE(c.Front());
    EXPECT_FALSE(c.Back());
    EXPECT_TRUE(c.Up());
    EXPECT_EQ(c.Node(), tree.Root());
    EXPECT_EQ(c.Depth(), 0u);
    EXPECT_EQ(c.Route(), "root");
    c.Reset(nullptr);
    EXPECT_EQ(c.Node(), nullptr);
    EXPECT_FALSE(c.Front());
    EXPECT_EQ(SubtreeTriangles(nullptr), 0u);
    EXPECT_EQ(stored(tree), 2u);
    EXPECT_EQ(SubtreeTriangles(tree.Root()->mpFront), 1u);
}

TEST(DepthColour, RunsFromBlueToRedAndTellsEveryDepthApart) {
    const ORV::Color root = DepthColour(0, 22), deepest = DepthColour(22, 22);
    EXPECT_GT(root.z, root.x);
    EXPECT_GT(deepest.x, deepest.z);
    EXPECT_EQ(root.w, 1.0f);
    for (uint32_t maxDepth : {1u, 22u, 64u}) {
        std::set<std::tuple<int, int, int>> seen;
        for (uint32_t d = 0; d <= maxDepth; ++d) {
            const ORV::Color c = DepthColour(d, maxDepth);
            seen.insert({int(c.x * 255 + 0.5f), int(c.y * 255 + 0.5f), int(c.z * 255 + 0.5f)});
        }
        EXPECT_EQ(seen.size(), maxDepth + 1) << "max depth " << maxDepth;
    }
    const ORV::Color past = DepthColour(30, 22), flat = DepthColour(0, 0);
    EXPECT_EQ(std::memcmp(&past, &deepest, sizeof(past)), 0);
    EXPECT_EQ(std::memcmp(&flat, &root, sizeof(flat)), 0);
}

TEST(DepthLegend, FitsTheWindowWithABandPerDepthWhileTheyFit) {
    const int top = 60, title = 22;
    for (int height : {600, 240}) {
        for (uint32_t maxDepth : {0u, 1u, 22u, 160u, 161u, 1000u, 20000u}) {
            const DepthLegend l = LayOutDepthLegend(maxDepth, 800, height, top, title);
            SCOPED_TRACE("depth " + std::to_string(maxDepth) + ", height " +
                         std::to_string(height));
            EXPECT_EQ(l.y0, top + title);
            EXPECT_LE(l.y1, height - 8);
            EXPECT_LE(l.x1, 800 - 8);
            EXPECT_EQ(l.BandDepth(0), 0u);
            EXPECT_EQ(l.BandDepth(l.bands - 1), maxDepth);
            EXPECT_EQ(l.BandTop(l.bands), l.y1);
            const int first = l.BandTop(1) - l.BandTop(0);
            for (uint32_t b = 0; b < l.bands; ++b) {
                EXPECT_GE(l.BandTop(b + 1) - l.BandTop(b), 1) << "band " << b;
                // One depth a band, all alike, where the bar has room.
                if (l.bands == maxDepth + 1) {
                    EXPECT_EQ(l.BandTop(b + 1) - l.BandTop(b), first) << "band " << b;
                }
            }
            if (maxDepth <= 22) {
                EXPECT_EQ(l.bands, maxDepth + 1);
            }
        }
    }
}

TEST(PlaneInBox, CutsTheGrownBoxInAPolygonOnThePlane) {
    // z = 0: a square, with a raw (unnormalised) normal as a leaf keeps it,
    // in boxes up to the largest float, whose diagonal float cannot hold.
    for (float half : {1.0f, 1e19f, 3e38f, FLT_MAX}) {
        Bounds huge;
        huge.min = Vec3(-half);
        huge.max = Vec3(half);
        // Grown by a hundredth of the size, within float range.
        const double g = std::min(half * 1.02 + 1e-4, double(FLT_MAX));
        std::vector<Vec3> square = PlaneInBox(Plane(Vec3(0, 0, 7), 0.0f), huge);
        ASSERT_EQ(square.size(), 4u) << half;
        for (const Vec3& p : square) {
            EXPECT_NEAR(std::fabs(p.x), g, g * 1e-5) << half;
            EXPECT_NEAR(std::fabs(p.y), g, g * 1e-5) << half;
            EXPECT_EQ(p.z, 0.0f) << half;
        }
    }
    Bounds box;
    box.min = Vec3(-1.0f);
    box.max = Vec3(1.0f);
    const float g = 1.0f + 0.02f + 1e-4f;
    // A plane in a face of the box still shows.
    EXPECT_EQ(PlaneInBox(Plane(Vec3(1, 0, 0), -1.0f), box).size(), 4u);
    // Through the centre across the diagonal: a hexagon, corners in order.
    Plane diagonal(Vec3(1, 1, 1), 0.0f);
    diagonal.Normalize();
    std::vector<Vec3> hexagon = PlaneInBox(diagonal, box);
    ASSERT_EQ(hexagon.size(), 6u);
    for (size_t i = 0; i < hexagon.size(); ++i) {
        const Vec3& p = hexagon[i];
        EXPECT_NEAR(diagonal.Distance(p), 0.0f, 1e-5);
        EXPECT_LE(std::max({std::fabs(p.x), std::fabs(p.y), std::fabs(p.z)}), g + 1e-5);
        // Consecutive corners turn the same way about the normal.
        const Vec3 a = hexagon[(i + 1) % 6] - p, b = hexagon[(i + 2) % 6] - hexagon[(i + 1) % 6];
        EXPECT_GT(a.Cross(b).Dot(diagonal.mNormal), 0.0f);
    }
    // Missing the box, or no plane at all.
    EXPECT_TRUE(PlaneInBox(Plane(Vec3(0, 0, 1), -5.0f), box).empty());
    EXPECT_TRUE(PlaneInBox(Plane(Vec3(0, 0, 0), 0.0f), box).empty());
}

TEST(TriangleSources, FindsTheWholeTrianglesAndThePiecesSourcesAlsoWhenColoursRepeat) {
    // The same soup twice: distinct colours, from which the truth is known,
    // and all white, where only the geometry tells the sources apart. The
    // build reads no colour, so both trees have the same shape.
    const std::vector<Triangle> coloured = orvtest::RandomSoup(5, 150, 1.0f, 0.3f);
    std::vector<Triangle> white = coloured;
    for (Triangle& t : white)
        for (ORV::Color& c : t.mClr) c = ORV::Color(1.0f);
    BSPTree a, b;
    a.Build(coloured);
    b.Build(white);
    std::vector<const BSPNode*> nodesA, nodesB;
    a.VisitNodes([&](const BSPNode& n, uint32_t) { nodesA.push_back(&n); });
    b.VisitNodes([&](const BSPNode& n, uint32_t) { nodesB.push_back(&n); });
    ASSERT_EQ(nodesA.size(), nodesB.size());

    TriangleSources sa, sb;
    sa.Build(coloured, a);
    sb.Build(white, b);
    size_t pieces = 0, whole = 0;
    std::set<int32_t> cut;
    for (size_t n = 0; n < nodesA.size(); ++n) {
        for (size_t i = 0; i < nodesA[n]->mTriList.size(); ++i) {
            const Triangle& tri = nodesA[n]->mTriList[i];
            int32_t truth = -1;  // the input with this triangle's colour
            for (size_t k = 0; k < coloured.size(); ++k)
                if (std::memcmp(coloured[k].mClr, tri.mClr, sizeof(tri.mClr)) == 0)
                    truth = int32_t(k);
            ASSERT_GE(truth, 0);
            const bool isWhole =
                std::memcmp(coloured[size_t(truth)].mPos, tri.mPos, sizeof(tri.mPos)) == 0;
            const TriangleSources::Origin oa = sa.Of(*nodesA[n], i), ob = sb.Of(*nodesB[n], i);
            EXPECT_EQ(oa.source, truth);
            EXPECT_EQ(oa.piece, !isWhole);
            EXPECT_EQ(ob.source, truth) << "node " << n << " triangle " << i;
            EXPECT_EQ(ob.piece, !isWhole);
            if (isWhole) ++whole;
            else {
                ++pieces;
                cut.insert(truth);
            }
        }
    }
    EXPECT_GT(pieces, 50u);
    EXPECT_GT(whole, 10u);
    EXPECT_EQ(sa.Pieces(), pieces);
    EXPECT_EQ(sa.CutSources(), cut.size());
    EXPECT_EQ(sb.Pieces(), pieces);
    // A node the table does not know has no source.
    BSPNode stranger;
    EXPECT_EQ(sa.Of(stranger, 0).source, TriangleSources::UNKNOWN);
}

TEST(TriangleSources, FindsTheSourceOfPiecesOfATriangleSpanningTheWholeMesh) {
    // Small triangles in many places, and one wide triangle through all of
    // them, all of one colour: the pieces of the wide one are found wherever
    // they lie.
    std::vector<Triangle> list = orvtest::RandomSoup(9, 400, 1.0f, 0.2f);
    for (Triangle& t : list)
        for (ORV::Color& c : t.mClr) c = ORV::Color(1.0f);
    list.push_back(Triangle(Vec3(-3, -3, -1.5f), Vec3(3, -3, -1.4f), Vec3(0, 3, 1.5f)));
    const int32_t wide = int32_t(list.size() - 1);
    Plane plane;
    ASSERT_TRUE(Plane::FromTriangle(list.back(), &plane));
    BSPTree tree;
    tree.Build(list);
    TriangleSources sources;
    sources.Build(list, tree);
    size_t ofWide = 0, unknown = 0;
    tree.VisitNodes([&](const BSPNode& node, uint32_t) {
        for (size_t i = 0; i < node.mTriList.size(); ++i) {
            const TriangleSources::Origin o = sources.Of(node, i);
            unknown += o.source == TriangleSources::UNKNOWN;
            if (o.source == wide) {
                EXPECT_TRUE(o.piece);
                EXPECT_LT(std::fabs(plane.Distance(node.mTriList[i].mPos[0])), 1e-3f)
                    << "not in the wide one";
                ++ofWide;
            }
        }
    });
    EXPECT_EQ(unknown, 0u);
    EXPECT_GT(ofWide, 20u);
}

TEST(TriangleSources, FindsThePiecesOfASlabThinnerThanAFloatGridCell) {
    // Bounds 1e-40 thick in z: the grid has infinitely many cells per unit
    // there, and a piece's cell was once read far outside the grid.
    const std::vector<Triangle> list = orvtest::LoadMeshTriangles(
        std::string(ORV_TEST_DATA_DIR) + "/regress/mesh_slab_thinner_than_a_float_cell.txt");
    ASSERT_EQ(list.size(), 4u);
    BSPTree tree;
    tree.Build(list);
    Explorer e;
    e.Attach(&tree, &list);
    e.CycleColouring();
    e.CycleColouring();
    ASSERT_EQ(e.Colours(), Colouring::Pieces);
    EXPECT_EQ(e.TextLines("")[1], "Colours: 2 pieces (tinted) cut from 1 triangles");
}

TEST(Explorer, KeysSwitchTheModesAndOnlyThePlaneMovesTheNode) {
    ORV::Input* pInput = ORV::Input::Instance();
    auto frame = [&](std::initializer_list<uint8_t> down, Explorer& e, const Vec3& eye) {
        std::memcpy(pInput->mpKeyStatePrev, pInput->mpKeyStateCurr, 256);
        std::memset(pInput->mpKeyStateCurr, 0, 256);
        for (uint8_t k : down) pInput->mpKeyStateCurr[k] = 0x80;
        e.Update(*pInput, 0.02, eye);
    };
    const std::vector<Triangle> list = orvtest::RandomSoup(9, 40, 1.0f, 0.4f);
    BSPTree tree;
    tree.Build(list);
    Explorer e;
    e.Attach(&tree, &list);
    EXPECT_FALSE(e.ChangesScene());
    EXPECT_FALSE(e.ShowsText());

    frame({KEY_TEXT}, e, Vec3(0.0f));
    EXPECT_TRUE(e.ShowsText());
    EXPECT_FALSE(e.ChangesScene()) << "the text alone leaves the scene to the tree";
    frame({}, e, Vec3(0.0f));
    frame({KEY_TEXT}, e, Vec3(0.0f));
    EXPECT_FALSE(e.ShowsText());

    frame({KEY_PAINTER}, e, Vec3(0.0f));
    EXPECT_TRUE(e.Painting());
    EXPECT_TRUE(e.ShowsText());
    frame({KEY_NEXT}, e, Vec3(0.0f));
    frame({}, e, Vec3(0.0f));
    frame({KEY_NEXT}, e, Vec3(0.0f));
    EXPECT_EQ(e.Painter().Shown(), 2u);
    EXPECT_EQ(e.Painter().Total(), stored(tree));
    EXPECT_EQ(e.TextLines("status")[1],
              "Painter: 2 of " + std::to_string(stored(tree)) + " triangles painted");
    frame({KEY_PLAY}, e, Vec3(0.0f));
    EXPECT_TRUE(e.Painter().Playing());

    frame({KEY_FREEZE}, e, Vec3(1.0f, 2.0f, 3.0f));
    EXPECT_TRUE(e.Frozen());
    frame({}, e, Vec3(5.0f));
    EXPECT_EQ(e.FrozenEye().x, 1.0f);
    EXPECT_EQ(e.FrozenEye().z, 3.0f);

    frame({KEY_FRONT, KEY_BACK}, e, Vec3(0.0f));
    EXPECT_EQ(e.Cursor().Node(), tree.Root()) << "no plane shown: the node stays";
    frame({KEY_PLANE}, e, Vec3(0.0f));
    ASSERT_TRUE(e.ShowsPlane());
    const bool hasFront = tree.Root()->mpFront != nullptr;
    frame({hasFront ? KEY_FRONT : KEY_BACK}, e, Vec3(0.0f));
    EXPECT_EQ(e.Cursor().Depth(), 1u);
    frame({KEY_UP}, e, Vec3(0.0f));
    EXPECT_EQ(e.Cursor().Depth(), 0u);
    frame({hasFront ? KEY_FRONT : KEY_BACK}, e, Vec3(0.0f));

    frame({KEY_COLOURS}, e, Vec3(0.0f));
    EXPECT_EQ(e.Colours(), Colouring::Depth);
    frame({}, e, Vec3(0.0f));
    frame({KEY_COLOURS}, e, Vec3(0.0f));
    EXPECT_EQ(e.Colours(), Colouring::Pieces);
    frame({}, e, Vec3(0.0f));
    frame({KEY_COLOURS}, e, Vec3(0.0f));
    EXPECT_EQ(e.Colours(), Colouring::Mesh);
    EXPECT_EQ(e.Cursor().Depth(), 1u) << "the colourings keep the chosen node";

    // A rebuild: the node goes back to the root, the painter keeps its place.
    const size_t shown = e.Painter().Shown();
    BSPBuildSettings settings;
    settings.balanceWeight += 1.0f;
    tree.Clear();
    tree.Build(list, settings);
    e.Attach(&tree, &list);
    EXPECT_EQ(e.Cursor().Node(), tree.Root());
    EXPECT_EQ(e.Painter().Total(), stored(tree));
    EXPECT_EQ(e.Painter().Shown(), std::min(shown, stored(tree)));

    frame({}, e, Vec3(0.0f));
    frame({KEY_HELP}, e, Vec3(0.0f));
    EXPECT_TRUE(e.ShowsHelp());
    ORV::Input::Destroy();
}
