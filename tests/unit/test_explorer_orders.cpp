// The orders beside the tree's and the tree's diagram, without a window: the
// plain painter's sort against a brute-force one, the diagram's layout
// properties over many trees, cursors and panels, and the keys O, X and G.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "Explorer.h"
#include "Shapes.h"

using ORV::Vec3;
using namespace explore;

namespace {

// The farthest remaining triangle, the lowest index among equals, again and
// again; its own distance, taken from the corners one by one.
std::vector<uint32_t> bruteForceSort(const std::vector<Triangle>& list, const Vec3& eye) {
    auto key = [&](const Triangle& t) {
        double far = 0.0;
        for (const Vec3& p : t.mPos) {
            const double d = std::pow(double(p.x) - eye.x, 2) + std::pow(double(p.y) - eye.y, 2) +
                             std::pow(double(p.z) - eye.z, 2);
            if (std::isnan(d)) return -HUGE_VAL;  // painted last
            far = std::max(far, d);
        }
        return far;
    };
    std::vector<bool> taken(list.size(), false);
    std::vector<uint32_t> order;
    for (size_t n = 0; n < list.size(); ++n) {
        size_t best = list.size();
        for (size_t i = 0; i < list.size(); ++i)
            if (!taken[i] && (best == list.size() || key(list[i]) > key(list[best]))) best = i;
        taken[best] = true;
        order.push_back(uint32_t(best));
    }
    return order;
}

}  // namespace

TEST(PaintOrder, SortedIsTheBruteForceOrderTiesAndBadCornersIncluded) {
    orvtest::Rng rng(21);
    DistanceSort sort;
    for (uint32_t seed = 1; seed <= 6; ++seed) {
        std::vector<Triangle> list = orvtest::RandomSoup(seed, 5 + 40 * seed, 2.0f, 0.8f);
        // Equal distances: a copy, neighbours sharing a corner, and one
        // triangle with a corner that is not a number.
        list.push_back(list[2]);
        Triangle fan = list[3];
        fan.mPos[1] = fan.mPos[2] + Vec3(0.0f, 0.0f, 0.01f);
        list.push_back(fan);
        if (seed % 2 == 0) list[4].mPos[1].y = std::nanf("");
        const Vec3 eye = seed == 6 ? list[3].mPos[0] : rng.InBox(4.0f);
        EXPECT_EQ(sort.Sort(list, eye), bruteForceSort(list, eye)) << "seed " << seed;
    }
}

TEST(TreeDiagram, LayoutKeepsSidesApartShowsTheCursorAndCountsEveryNode) {
    struct Case {
        size_t triangles;
        float width, height;
    } cases[] = {{3, 400, 230},  {60, 400, 230}, {400, 400, 230},
                 {400, 120, 80}, {400, 45, 400}, {700, 900, 400}};
    orvtest::Rng rng(5);
    for (const Case& c : cases) {
        BSPTree tree;
        tree.Build(orvtest::RandomSoup(uint32_t(c.triangles), c.triangles, 2.0f, 0.7f));
        DiagramMetrics m;
        m.width = c.width;
        m.height = c.height;
        m.top = 20.0f;
        for (int walk = 0; walk < 12; ++walk) {
            NodeCursor cursor;
            cursor.Reset(tree.Root());
            for (int step = 0; step < walk * 3; ++step) {
                if (rng.Unit() < 0.5f) cursor.Front();
                else cursor.Back();
            }
            const DiagramLayout d = LayOutDiagram(cursor.Path(), m);
            const std::string where = std::to_string(c.triangles) + " triangles, " +
                                      std::to_string(int(c.width)) + " wide, cursor " +
                                      cursor.Route();
            ASSERT_GE(d.cursor, 0) << where;
            const DiagramBox& at = d.boxes[size_t(d.cursor)];
            EXPECT_EQ(at.pNode, cursor.Node()) << where;
            EXPECT_TRUE(at.x - at.w / 2 >= 0 && at.x + at.w / 2 <= c.width) << where;
            EXPECT_TRUE(at.y - at.h / 2 >= m.top && at.y + at.h / 2 <= c.height) << where;

            size_t nodes = 0, hidden = 0;
            for (size_t i = 0; i < d.boxes.size(); ++i) {
                const DiagramBox& b = d.boxes[i];
                (b.kind == DiagramBox::NODE ? nodes : hidden) +=
                    b.kind == DiagramBox::NODE ? 1 : b.hiddenNodes;
                for (size_t j = 0; j < i; ++j) {
                    const DiagramBox& o = d.boxes[j];
                    EXPECT_FALSE(std::fabs(b.x - o.x) < (b.w + o.w) / 2 &&
                                 std::fabs(b.y - o.y) < (b.h + o.h) / 2)
                        << where << ": boxes " << i << " and " << j << " overlap";
                }
                if (b.parent < 0) continue;
                const DiagramBox& p = d.boxes[size_t(b.parent)];
                EXPECT_GT(b.y, p.y) << where;
                const bool front =
                    b.kind == DiagramBox::NODE ? p.pNode->mpFront == b.pNode : b.side < 0;
                const bool back =
                    b.kind == DiagramBox::NODE ? p.pNode->mpBack == b.pNode : b.side > 0;
                if (front) {
                    EXPECT_LT(b.x, p.x) << where << ": a front child not on the left";
                }
                if (back) {
                    EXPECT_GT(b.x, p.x) << where << ": a back child not on the right";
                }
            }
            EXPECT_EQ(d.treeNodes, SubtreeNodes(tree.Root())) << where;
            EXPECT_EQ(nodes + hidden + d.nodesAbove, d.treeNodes) << where;
            if (c.triangles == 3) {
                EXPECT_EQ(hidden, 0u) << where << ": a small tree shows whole";
            }
            // Every node is found in its box, or lies outside the top's subtree.
            size_t outside = 0;
            tree.VisitNodes([&](const BSPNode& n, uint32_t) {
                const int i = DiagramBoxOf(d, &n);
                outside += i < 0;
                if (i >= 0 && d.boxes[size_t(i)].kind == DiagramBox::NODE) {
                    EXPECT_EQ(d.boxes[size_t(i)].pNode, &n);
                }
            });
            EXPECT_EQ(outside, d.nodesAbove) << where;
        }
    }
    EXPECT_TRUE(LayOutDiagram({}, DiagramMetrics()).boxes.empty());
}

TEST(Explorer, OrderWrongPixelsAndDiagramKeys) {
    ORV::Input* pInput = ORV::Input::Instance();
    auto press = [&](uint8_t key, Explorer& e) {
        for (bool down : {true, false}) {
            std::memcpy(pInput->mpKeyStatePrev, pInput->mpKeyStateCurr, 256);
            std::memset(pInput->mpKeyStateCurr, 0, 256);
            if (down) pInput->mpKeyStateCurr[key] = 0x80;
            e.Update(*pInput, 0.02, Vec3(0.0f));
        }
    };
    const std::vector<Triangle> input = orvtest::RandomSoup(9, 40, 1.0f, 0.5f);
    BSPTree tree;
    tree.Build(input);
    Explorer e;
    e.Attach(&tree, &input);
    const size_t stored = SubtreeTriangles(tree.Root());
    ASSERT_GT(stored, input.size());

    press(KEY_DIAGRAM, e);
    EXPECT_TRUE(e.ShowsDiagram() && e.ShowsText());
    EXPECT_FALSE(e.ChangesScene()) << "the diagram leaves the scene to the tree";
    press(tree.Root()->mpFront != nullptr ? KEY_FRONT : KEY_BACK, e);
    EXPECT_EQ(e.Cursor().Depth(), 1u) << "the diagram's cursor moves";

    press(KEY_PAINTER, e);
    press(KEY_NEXT, e);
    EXPECT_EQ(e.Painter().Total(), stored);
    press(KEY_ORDER, e);
    EXPECT_EQ(e.Order(), PaintOrder::Sorted);
    EXPECT_TRUE(e.ChangesScene());
    EXPECT_EQ(e.Painter().Total(), input.size()) << "the painter steps through whole triangles";
    EXPECT_EQ(e.Painter().Shown(), 0u);
    EXPECT_EQ(e.TextLines("s")[1], "Order: sorted, farthest corner first (40 whole triangles)");
    press(KEY_COLOURS, e);
    EXPECT_EQ(e.TextLines("s").back(), "Colours: node depth (the tree's order only: key O)");
    press(KEY_ORDER, e);
    press(KEY_ORDER, e);
    EXPECT_EQ(e.Order(), PaintOrder::Tree) << "file order, then the tree's again";
    EXPECT_EQ(e.Painter().Total(), stored);
    press(KEY_WRONG, e);
    EXPECT_TRUE(e.ShowsWrongPixels() && e.ChangesScene());
    ORV::Input::Destroy();
}
