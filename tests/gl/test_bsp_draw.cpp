// Drawing the tree under a real GL context: flat fills in corner 0's colour,
// black outlines following the outline flag, the painter's order on screen,
// the drawn count and the polygon mode left behind.
#include <gtest/gtest.h>

#include "BSPTree.h"
#include "OffscreenGL.h"
#include "Shapes.h"

using ORV::Vec3;

namespace {

constexpr int kSize = 64;
constexpr uint32_t kBackground = 0x404040FFu;
constexpr uint32_t kBlack = 0x000000FFu;
const Vec3 kEyeAbove(0.0f, 0.0f, 5.0f);
const Vec3 kEyeBelow(0.0f, 0.0f, -5.0f);

// Looks down -z at the square [-1, 1]^2, depth test off as in the demo.
void beginFrame() {
    glViewport(0, 0, kSize, kSize);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-1, 1, -1, 1, -10, 10);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glClearColor(0.25f, 0.25f, 0.25f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
}

// Window pixel of a model point in [-1, 1]^2.
int px(float v) { return static_cast<int>((v + 1.0f) * 0.5f * kSize); }

Triangle coloured(float z, float r, float g, float b, float scale = 0.8f) {
    Triangle tri(Vec3(-scale, -scale, z), Vec3(scale, -scale, z), Vec3(-scale, scale, z));
    tri.mClr[0] = ORV::Color(r, g, b, 0.0f);  // alpha 0: drawing must not use it
    tri.mClr[1] = ORV::Color(0.0f, 1.0f, 1.0f, 1.0f);
    tri.mClr[2] = ORV::Color(1.0f, 0.0f, 1.0f, 1.0f);
    return tri;
}

int countPixels(const orvtest::OffscreenGL& gl, uint32_t rgba) {
    int n = 0;
    for (int y = 0; y < kSize; ++y)
        for (int x = 0; x < kSize; ++x) n += gl.Pixel(x, y) == rgba;
    return n;
}

void expectPolygonMode(GLint mode) {
    GLint modes[2] = {0, 0};
    glGetIntegerv(GL_POLYGON_MODE, modes);
    EXPECT_EQ(modes[0], mode);
    EXPECT_EQ(modes[1], mode);
}

class BSPDraw : public ::testing::Test {
protected:
    BSPDraw() : gl(kSize, kSize) {}
    void SetUp() override { ASSERT_TRUE(gl.Ok()) << gl.Error(); }
    orvtest::OffscreenGL gl;
};

}  // namespace

TEST_F(BSPDraw, FillIsFlatInCornerZerosColourAndOpaque) {
    BSPTree tree;
    tree.Build({coloured(0.0f, 1.0f, 0.0f, 0.0f)});
    beginFrame();
    // With blending on, an alpha taken from the record would hide the fill.
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    tree.ClearFlags(BSPTree::FLAG_OUTLINE);
    tree.Draw(kEyeAbove);
    glDisable(GL_BLEND);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    EXPECT_EQ(tree.DrawNum(), 1);
    // Near each corner and in the middle: corner 0's red only.
    EXPECT_EQ(gl.Pixel(px(-0.7f), px(-0.7f)), 0xFF0000FFu);
    EXPECT_EQ(gl.Pixel(px(0.6f), px(-0.7f)), 0xFF0000FFu);
    EXPECT_EQ(gl.Pixel(px(-0.7f), px(0.6f)), 0xFF0000FFu);
    EXPECT_EQ(gl.Pixel(px(-0.3f), px(-0.3f)), 0xFF0000FFu);
    EXPECT_EQ(gl.Pixel(px(0.5f), px(0.5f)), kBackground);
    EXPECT_EQ(countPixels(gl, kBlack), 0) << "no outline with the flag clear";
    expectPolygonMode(GL_LINE);
}

TEST_F(BSPDraw, OutlineIsDrawnInBlackWhenTheFlagIsSet) {
    BSPTree tree;
    tree.Build({coloured(0.0f, 0.0f, 0.0f, 1.0f)});
    tree.SetFlags(BSPTree::FLAG_OUTLINE);
    EXPECT_EQ(tree.Flags(), BSPTree::FLAG_OUTLINE);
    beginFrame();
    tree.Draw(kEyeAbove);
    EXPECT_EQ(tree.DrawNum(), 1);
    // The bottom edge runs along y = -0.8: a black pixel in its column.
    bool edge = false;
    for (int y = px(-0.8f) - 1; y <= px(-0.8f) + 1; ++y)
        edge = edge || gl.Pixel(px(0.0f), y) == kBlack;
    EXPECT_TRUE(edge);
    EXPECT_GT(countPixels(gl, kBlack), kSize);  // three edges' worth
    EXPECT_EQ(gl.Pixel(px(-0.3f), px(-0.3f)), 0x0000FFFFu);
    expectPolygonMode(GL_LINE);

    tree.ClearFlags(BSPTree::FLAG_OUTLINE);
    EXPECT_EQ(tree.Flags(), 0u);
    beginFrame();
    tree.Draw(kEyeAbove);
    EXPECT_EQ(countPixels(gl, kBlack), 0);
    expectPolygonMode(GL_LINE);
}

TEST_F(BSPDraw, OtherFlagBitsLeaveTheOutlineAlone) {
    BSPTree tree;
    tree.Build({coloured(0.0f, 0.0f, 1.0f, 0.0f)});
    tree.SetFlags(0x6u);
    beginFrame();
    tree.Draw(kEyeAbove);
    EXPECT_EQ(countPixels(gl, kBlack), 0);
    tree.SetFlags(BSPTree::FLAG_OUTLINE);
    tree.ClearFlags(0x4u);
    EXPECT_EQ(tree.Flags(), 0x3u);
}

TEST_F(BSPDraw, TheNearerOfTwoOverlappingTrianglesCoversTheOther) {
    for (bool swapInput : {false, true}) {
        std::vector<Triangle> list = {coloured(0.0f, 1.0f, 0.0f, 0.0f),
                                      coloured(1.0f, 0.0f, 1.0f, 0.0f, 0.5f)};
        if (swapInput) std::swap(list[0], list[1]);
        BSPTree tree;
        tree.Build(list);
        tree.SetFlags(BSPTree::FLAG_OUTLINE);
        beginFrame();
        tree.Draw(kEyeAbove);  // green at z=1 is nearer
        EXPECT_EQ(gl.Pixel(px(-0.3f), px(-0.3f)), 0x00FF00FFu) << "input swapped: " << swapInput;
        beginFrame();
        tree.Draw(kEyeBelow);  // seen from below, red at z=0 is nearer
        EXPECT_EQ(gl.Pixel(px(-0.3f), px(-0.3f)), 0xFF0000FFu) << "input swapped: " << swapInput;
    }
}

TEST_F(BSPDraw, EachOutlineFollowsItsOwnFillBeforeTheNextTriangle) {
    // The far green triangle's hypotenuse (x + y = 0) crosses the interior of
    // the near red one: the red fill, drawn after the green outline, must
    // cover every black pixel that outline leaves there.
    Triangle nearRed = coloured(0.0f, 1.0f, 0.0f, 0.0f);
    nearRed.mPos[0] = Vec3(-0.5f, -0.5f, 0.0f);
    nearRed.mPos[1] = Vec3(0.7f, -0.5f, 0.0f);
    nearRed.mPos[2] = Vec3(-0.5f, 0.7f, 0.0f);
    Triangle farGreen = coloured(1.0f, 0.0f, 1.0f, 0.0f, 0.9f);

    BSPTree alone;
    alone.Build({farGreen});
    alone.SetFlags(BSPTree::FLAG_OUTLINE);
    beginFrame();
    alone.Draw(kEyeBelow);
    std::vector<std::pair<int, int>> crossing;  // outline pixels well inside red
    for (int y = px(-0.4f); y < px(0.4f); ++y)
        for (int x = px(-0.4f); x < px(0.4f); ++x)
            if (gl.Pixel(x, y) == kBlack) crossing.emplace_back(x, y);
    ASSERT_GT(crossing.size(), 10u);

    BSPTree tree;
    tree.Build({nearRed, farGreen});
    tree.SetFlags(BSPTree::FLAG_OUTLINE);
    beginFrame();
    tree.Draw(kEyeBelow);  // from below the red triangle at z=0 is nearer
    for (auto [x, y] : crossing) EXPECT_EQ(gl.Pixel(x, y), 0xFF0000FFu) << x << ", " << y;
}

TEST_F(BSPDraw, DrawNumCountsEveryStoredTriangleOncePerDraw) {
    BSPTree tree;
    tree.Build(orvtest::RandomSoup(31, 120, 0.8f, 0.4f));
    size_t stored = 0;
    tree.VisitNodes([&](const BSPNode& node, uint32_t) { stored += node.mTriList.size(); });
    ASSERT_GT(stored, 120u);  // cutting added pieces
    tree.SetFlags(BSPTree::FLAG_OUTLINE);
    beginFrame();
    tree.Draw(Vec3(0.3f, 2.0f, 4.0f));
    EXPECT_EQ(tree.DrawNum(), static_cast<int32_t>(stored));
    tree.Draw(Vec3(-3.0f, 0.1f, -1.0f));
    EXPECT_EQ(tree.DrawNum(), static_cast<int32_t>(stored));
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(BSPDraw, AnEmptyTreeDrawsNothingAndCountsZero) {
    BSPTree tree;
    tree.SetFlags(BSPTree::FLAG_OUTLINE);
    beginFrame();
    tree.Draw(kEyeAbove);
    EXPECT_EQ(tree.DrawNum(), 0);
    EXPECT_EQ(countPixels(gl, kBackground), kSize * kSize);
    expectPolygonMode(GL_FILL);

    // A tree drawn once and then cleared counts zero again.
    tree.Build({coloured(0.0f, 1.0f, 1.0f, 1.0f)});
    tree.Draw(kEyeAbove);
    EXPECT_EQ(tree.DrawNum(), 1);
    tree.Clear();
    tree.Draw(kEyeAbove);
    EXPECT_EQ(tree.DrawNum(), 0);
}
