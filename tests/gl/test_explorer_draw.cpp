// The explorer's drawing under a real GL context, each picture checked
// against what it must show, found without the explorer: the first k
// triangles of the walk drawn by the tree's own triangle drawing (but for the
// highlight), each stored triangle in the ramp's colour of its node's depth,
// and the node's plane on that plane, inside the mesh's box, covering it.
#include <gtest/gtest.h>

#include <GL/glew.h>

#include <GL/glu.h>

#include <cmath>
#include <functional>
#include <set>
#include <utility>
#include <vector>

#include "BSPDraw.h"
#include "BSPTree.h"
#include "Explorer.h"
#include "OffscreenGL.h"
#include "Shapes.h"

using ORV::Vec3;

namespace {

constexpr int kSize = 128;
const Vec3 kEye(0.3f, 0.2f, 6.0f);

// Looks down -z at [-half, half]^2, turned by the given angles, depth test
// off as in the demo.
void beginFrame(float half, float turnX = 0.0f, float turnY = 0.0f) {
    glViewport(0, 0, kSize, kSize);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-half, half, -half, half, -20, 20);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glRotatef(turnX, 1, 0, 0);
    glRotatef(turnY, 0, 1, 0);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
    glDisable(GL_BLEND);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glClearColor(0.25f, 0.25f, 0.25f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

bool isHighlight(uint32_t rgba) {
    const int r = int(rgba >> 24), g = int((rgba >> 16) & 0xFF), b = int((rgba >> 8) & 0xFF);
    return r == 255 && std::abs(g - 230) <= 2 && b == 0;
}

uint32_t pixelOf(const ORV::Color& c) {
    auto byte = [](float v) { return uint32_t(std::lround(v * 255.0f)); };
    return byte(c.x) << 24 | byte(c.y) << 16 | byte(c.z) << 8 | 0xFFu;
}

bool near(uint32_t a, uint32_t b) {
    for (int shift = 8; shift < 32; shift += 8)
        if (std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF)) > 1) return false;
    return true;
}

// A 5 x 5 grid of small tilted triangles raised off the origin: none covers
// another seen down z, but their planes cut one another's.
std::vector<Triangle> tiltedGrid() {
    orvtest::Rng rng(7);
    std::vector<Triangle> list;
    for (int i = 0; i < 5; ++i)
        for (int j = 0; j < 5; ++j) {
            const Vec3 o(-1.9f + 0.75f * float(i), -1.9f + 0.75f * float(j), 0.5f);
            Triangle tri(o + Vec3(0.05f, 0.05f, rng.Range(-1, 1)),
                         o + Vec3(0.7f, 0.05f, rng.Range(-1, 1)),
                         o + Vec3(0.05f, 0.7f, rng.Range(-1, 1)));
            for (ORV::Color& c : tri.mClr) c = ORV::Color(1.0f, 1.0f, 1.0f, 1.0f);
            list.push_back(tri);
        }
    return list;
}

class ExplorerDraw : public ::testing::Test {
protected:
    ExplorerDraw() : gl(kSize, kSize) {}
    void SetUp() override { ASSERT_TRUE(gl.Ok()) << gl.Error(); }
    // The tree over triangles, with the explorer attached to it.
    void build(std::vector<Triangle> triangles) {
        list = std::move(triangles);
        ASSERT_TRUE(tree.Build(list));
        explorer.Attach(&tree, &list);
    }
    orvtest::OffscreenGL gl;
    std::vector<Triangle> list;
    BSPTree tree;
    explore::Explorer explorer;
};

}  // namespace

TEST_F(ExplorerDraw, PainterShowsTheWalksFirstTrianglesAndOutlinesTheLast) {
    build(orvtest::RandomSoup(3, 60, 1.0f, 0.8f));
    tree.SetFlags(BSPTree::FLAG_OUTLINE);
    explorer.TogglePainter();
    const size_t total = explorer.Painter().Total();
    ASSERT_GT(total, 60u);  // pieces were cut

    std::vector<uint8_t> previous;
    for (size_t k : {size_t(1), size_t(2), total / 2, total}) {
        explorer.Painter().Start(total);
        for (size_t i = 0; i < k; ++i) explorer.Painter().Step();
        beginFrame(2.2f);
        explorer.DrawScene(tree, kEye);
        EXPECT_EQ(tree.DrawNum(), int32_t(total)) << "the status line's count changed";
        const std::vector<uint8_t> shown = gl.ReadPixels();

        beginFrame(2.2f);
        size_t n = 0;
        tree.Walk(kEye, [&](const Triangle& tri) {
            if (n++ < k) DrawTriangle(tri, true);
        });
        const std::vector<uint8_t> expected = gl.ReadPixels();

        size_t highlighted = 0, other = 0;
        for (size_t p = 0; p < shown.size(); p += 4) {
            if (std::equal(&shown[p], &shown[p] + 3, &expected[p])) continue;
            const uint32_t rgba = uint32_t(shown[p]) << 24 | uint32_t(shown[p + 1]) << 16 |
                                  uint32_t(shown[p + 2]) << 8 | 0xFFu;
            (isHighlight(rgba) ? highlighted : other)++;
        }
        EXPECT_EQ(other, 0u) << "k " << k << ": pixels neither the walk's nor the highlight";
        EXPECT_GT(highlighted, 0u) << "k " << k << ": the last triangle is not outlined";
        EXPECT_NE(shown, previous) << "k " << k << " shows what the count before did";
        previous = shown;
    }
}

TEST_F(ExplorerDraw, DepthColouringPaintsEachTriangleInItsNodesDepthOnTheRamp) {
    build(tiltedGrid());
    explorer.CycleColouring();
    ASSERT_EQ(explorer.Colours(), explore::Colouring::Depth);
    beginFrame(2.0f);
    explorer.DrawScene(tree, kEye);

    // Every stored triangle with its depth, found by descending the tree.
    std::set<uint32_t> depthsSeen;
    size_t checked = 0;
    std::function<void(const BSPNode*, uint32_t)> visit = [&](const BSPNode* pNode, uint32_t d) {
        if (pNode == nullptr) return;
        for (const Triangle& tri : pNode->mTriList) {
            // Only triangles wide enough on screen that their centre pixel is theirs.
            auto px = [](const Vec3& p) { return Vec3(p.x, p.y, 0.0f) * (kSize / 4.0f); };
            const Vec3 a = px(tri.mPos[0]), b = px(tri.mPos[1]), c = px(tri.mPos[2]);
            const float twiceArea = (b - a).Cross(c - a).Length();
            const float longest = std::max({(b - a).Length(), (c - b).Length(), (a - c).Length()});
            if (twiceArea / longest < 6.0f) continue;
            const Vec3 g = (a + b + c) * (1.0f / 3.0f) + Vec3(kSize / 2.0f, kSize / 2.0f, 0.0f);
            const uint32_t got = gl.Pixel(int(g.x), int(g.y));
            const uint32_t want = pixelOf(explore::DepthColour(d, tree.Depth()));
            EXPECT_TRUE(near(got, want))
                << std::hex << "depth " << d << ": pixel " << got << ", the ramp's colour " << want;
            depthsSeen.insert(d);
            ++checked;
        }
        visit(pNode->mpFront, d + 1);
        visit(pNode->mpBack, d + 1);
    };
    visit(tree.Root(), 0);
    EXPECT_GE(checked, 20u);
    EXPECT_GE(depthsSeen.size(), 4u);
}

TEST_F(ExplorerDraw, PlaneLiesOnTheNodesPlaneInsideTheMeshsBoxAndCoversIt) {
    build(tiltedGrid());
    explorer.TogglePlane();
    ASSERT_TRUE(explorer.Cursor().Front());  // a node below the root
    const Plane plane = explorer.Cursor().Node()->mPlane;
    const float length = plane.mNormal.Length();
    const Bounds box = explorer.MeshBox();
    ASSERT_GT(std::fabs(plane.mD) / length, 0.1f) << "a plane through the origin proves less";

    // The picture without the plane, then with it; the depth buffer keeps
    // where each pixel was drawn last.
    auto picture = [&](bool withPlane) {
        if (explorer.ShowsPlane() != withPlane) explorer.TogglePlane();
        if (withPlane) explorer.Cursor().Front();
        beginFrame(3.5f, 35.0f, 25.0f);
        glEnable(GL_DEPTH_TEST);
        glDepthFunc(GL_ALWAYS);
        explorer.DrawScene(tree, kEye);
        glDisable(GL_DEPTH_TEST);
        return gl.ReadPixels();
    };
    const std::vector<uint8_t> without = picture(false);
    const std::vector<uint8_t> with = picture(true);
    ASSERT_EQ(explorer.Cursor().Node()->mPlane.mD, plane.mD);
    std::vector<float> depth(size_t(kSize) * kSize);
    glReadPixels(0, 0, kSize, kSize, GL_DEPTH_COMPONENT, GL_FLOAT, depth.data());
    GLdouble model[16], projection[16];
    GLint viewport[4];
    glGetDoublev(GL_MODELVIEW_MATRIX, model);
    glGetDoublev(GL_PROJECTION_MATRIX, projection);
    glGetIntegerv(GL_VIEWPORT, viewport);

    const float pixel = 7.0f / kSize, slack = 2.0f * pixel;
    std::vector<bool> changed(size_t(kSize) * kSize, false);
    size_t n = 0;
    for (int y = 0; y < kSize; ++y)
        for (int x = 0; x < kSize; ++x) {
            const size_t i = size_t(y) * kSize + size_t(x);
            if (std::equal(&with[i * 4], &with[i * 4] + 3, &without[i * 4])) continue;
            changed[i] = true;
            ++n;
            GLdouble wx, wy, wz;
            gluUnProject(x + 0.5, y + 0.5, depth[i], model, projection, viewport, &wx, &wy, &wz);
            const Vec3 p{static_cast<float>(wx), static_cast<float>(wy), static_cast<float>(wz)};
            EXPECT_LE(std::fabs(plane.Distance(p)) / length, slack)
                << "pixel " << x << ", " << y << " is off the plane";
            for (int k = 0; k < 3; ++k) {
                const float grow = 0.011f * ((&box.max.x)[k] - (&box.min.x)[k]) + slack;
                EXPECT_GE((&p.x)[k], (&box.min.x)[k] - grow) << "pixel " << x << ", " << y;
                EXPECT_LE((&p.x)[k], (&box.max.x)[k] + grow) << "pixel " << x << ", " << y;
            }
        }
    EXPECT_GT(n, 200u);

    // Points of the box on the plane, a pixel in from the box, are covered.
    orvtest::Rng rng(11);
    const Vec3 unit = plane.mNormal * (1.0f / length);
    size_t inside = 0, missed = 0;
    for (int s = 0; s < 2000; ++s) {
        Vec3 p(rng.Range(box.min.x, box.max.x), rng.Range(box.min.y, box.max.y),
               rng.Range(box.min.z, box.max.z));
        p = p - unit * (plane.Distance(p) / length);
        bool in = true;
        for (int k = 0; k < 3; ++k)
            in = in && (&p.x)[k] > (&box.min.x)[k] + pixel && (&p.x)[k] < (&box.max.x)[k] - pixel;
        if (!in) continue;
        ++inside;
        GLdouble sx, sy, sz;
        gluProject(p.x, p.y, p.z, model, projection, viewport, &sx, &sy, &sz);
        missed += !changed[size_t(int(sy)) * kSize + size_t(int(sx))];
    }
    EXPECT_GT(inside, 100u);
    EXPECT_EQ(missed, 0u) << "of " << inside << " points on the plane inside the box";
}
