// orvane-bsp render: the picture it writes is, pixel for pixel, the demo's
// drawing of the same tree in a GL context made here.
#include <gtest/gtest.h>

#include "OffscreenGL.h"  // GLEW first

#include <GL/glu.h>

#include "BSPDraw.h"
#include "BSPTree.h"
#include "DemoView.h"
#include "Png.h"
#include "Tool.h"
#include "ToolRun.h"

using ORV::Vec3;
using orvtest::RunTool;
using orvtest::ToolData;

namespace {

const std::string kHand = ToolData("hand.txt");
constexpr int kW = 160, kH = 120;
const Vec3 kEye(1.5f, 0.5f, 6.0f);

// hand.txt's triangles as the tool reads them (the tags it sets are never
// drawn); the pixel checks below show their colours.
std::vector<Triangle> handTriangles() { return orvbsp::LoadTriangles(kHand); }

// The demo's frame (gameStateDraw): its projection and fixed state, with a
// look-at view.
void demoFrame(const Vec3& eye, const Vec3& target) {
    DemoView::SetProjection(kW, kH);
    gluLookAt(eye.x, eye.y, eye.z, target.x, target.y, target.z, 0.0, 1.0, 0.0);
    DemoView::SetFixedState();
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

std::vector<uint8_t> readPng(const std::string& path, int* pW, int* pH) {
    std::vector<uint8_t> px;
    std::string error;
    EXPECT_TRUE(orvbsp::ReadPng(path, &px, pW, pH, &error)) << error;
    return px;
}

size_t differentPixels(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    size_t n = 0;
    for (size_t i = 0; i + 3 < a.size() && i + 3 < b.size(); i += 4)
        n += a[i] != b[i] || a[i + 1] != b[i + 1] || a[i + 2] != b[i + 2];
    return n;
}

uint32_t rgbAt(const std::vector<uint8_t>& px, int x, int y) {
    const size_t i = 4 * (size_t(y) * kW + size_t(x));
    return (uint32_t(px[i]) << 16) | (uint32_t(px[i + 1]) << 8) | px[i + 2];
}

class ToolRender : public ::testing::Test {
protected:
    orvtest::TempDir mDir;
    std::string render(const std::string& order) {
        const std::string out = mDir.Path(order + ".png");
        auto r = RunTool({"render", kHand, out, "--eye", "1.5,0.5,6", "--target", "0,0,0", "--size",
                          "160x120", "--order", order});
        EXPECT_EQ(r.exitCode, 0) << r.err;
        // The hand tree stores 5 triangles; the mesh has 4.
        const char* pDrawn =
            order == "depth-buffer" ? ": 160x120, 4 triangles in " : ": 160x120, 5 triangles in ";
        EXPECT_EQ(r.out, out + pDrawn + order + " order, eye (1.5, 0.5, 6), target (0, 0, 0)\n");
        return out;
    }
};

TEST_F(ToolRender, TreeOrderIsTheDemosDrawing) {
    const std::string png = render("tree");
    orvtest::OffscreenGL gl(kW, kH);
    ASSERT_TRUE(gl.Ok()) << gl.Error();
    BSPTree tree;
    tree.Build(handTriangles());
    demoFrame(kEye, Vec3(0, 0, 0));
    tree.SetFlags(BSPTree::FLAG_OUTLINE);
    tree.Draw(kEye);
    std::vector<uint8_t> expected = gl.ReadPixels();
    int w = 0, h = 0;
    std::vector<uint8_t> got = readPng(png, &w, &h);
    ASSERT_EQ(w, kW);
    ASSERT_EQ(h, kH);
    EXPECT_EQ(differentPixels(got, expected), 0u);
    // t1, the nearest, covers the middle; the corners show the background.
    EXPECT_EQ(rgbAt(got, kW / 2, kH / 2), 0x00FF00u);
    EXPECT_EQ(rgbAt(got, 0, 0), 0x404040u);
    EXPECT_EQ(rgbAt(got, kW - 1, kH - 1), 0x404040u);
}

// Reversed paints the tree's sequence backwards: the nearest first.
TEST_F(ToolRender, ReversedPaintsTheWalkBackwards) {
    const std::string png = render("reversed");
    orvtest::OffscreenGL gl(kW, kH);
    ASSERT_TRUE(gl.Ok()) << gl.Error();
    BSPTree tree;
    tree.Build(handTriangles());
    std::vector<Triangle> walk;
    tree.Walk(kEye, [&](const Triangle& tri) { walk.insert(walk.begin(), tri); });
    demoFrame(kEye, Vec3(0, 0, 0));
    for (const Triangle& tri : walk) DrawTriangle(tri, true);
    std::vector<uint8_t> expected = gl.ReadPixels();
    int w = 0, h = 0;
    std::vector<uint8_t> got = readPng(png, &w, &h);
    EXPECT_EQ(differentPixels(got, expected), 0u);
    int tw = 0, th = 0;
    std::vector<uint8_t> tree0 = readPng(render("tree"), &tw, &th);
    EXPECT_GT(differentPixels(got, tree0), 200u);
    EXPECT_NE(rgbAt(got, kW / 2, kH / 2), 0x00FF00u);
}

// The depth buffer decides by itself: the nearest triangle shows.
TEST_F(ToolRender, DepthBufferShowsTheNearest) {
    int w = 0, h = 0;
    std::vector<uint8_t> got = readPng(render("depth-buffer"), &w, &h);
    EXPECT_EQ(rgbAt(got, kW / 2, kH / 2), 0x00FF00u);
    std::vector<uint8_t> tree = readPng(render("tree"), &w, &h);
    // Only outline pixels may differ from the tree's picture.
    EXPECT_LT(differentPixels(got, tree), size_t(kW * kH / 20));
}

TEST_F(ToolRender, DefaultViewShowsTheWholeMesh) {
    const std::string out = mDir.Path("default.png");
    auto r = RunTool({"render", std::string(ORV_SOURCE_DIR) + "/data/mesh/test_1.txt", out});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    int w = 0, h = 0;
    std::vector<uint8_t> px = readPng(out, &w, &h);
    EXPECT_EQ(w, 800);
    EXPECT_EQ(h, 600);
    // The scene shows, and does not touch the picture's border.
    size_t scene = 0, border = 0;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const size_t i = 4 * (size_t(y) * size_t(w) + size_t(x));
            const bool bg = px[i] == 64 && px[i + 1] == 64 && px[i + 2] == 64;
            scene += !bg;
            border += !bg && (x == 0 || y == 0 || x == w - 1 || y == h - 1);
        }
    }
    EXPECT_GT(scene, size_t(w * h / 20));
    EXPECT_EQ(border, 0u);
}

TEST_F(ToolRender, BadArgumentsAreRefused) {
    const std::string out = mDir.Path("bad.png");
    struct Bad {
        std::vector<std::string> args;
        std::string message;
    } bad[] = {
        {{"--size", "0x10"}, "--size: expected WxH (1 to 8192 each), got '0x10'"},
        {{"--size", "100"}, "--size: expected WxH"},
        {{"--eye", "1,2"}, "--eye: expected X,Y,Z (three numbers), got '1,2'"},
        {{"--target", "1,2,z"}, "--target: expected X,Y,Z"},
        {{"--order", "random"}, "--order: expected tree, reversed or depth-buffer, got 'random'"},
        {{"--draw", "lines"}, "--draw: expected immediate or batched, got 'lines'"},
        {{"--eye", "1,1,1", "--target", "1,1,1"}, "--eye and --target must be different points"},
    };
    for (const Bad& b : bad) {
        std::vector<std::string> args = {"render", kHand, out};
        args.insert(args.end(), b.args.begin(), b.args.end());
        auto r = RunTool(args);
        EXPECT_EQ(r.exitCode, 1) << b.message;
        EXPECT_NE(r.err.find(b.message), std::string::npos) << r.err;
        EXPECT_FALSE(orvtest::FileExists(out)) << b.message;
    }
    auto folder = RunTool({"render", kHand, mDir.Path("")});
    EXPECT_EQ(folder.exitCode, 1);
    EXPECT_NE(folder.err.find("is a folder, not a file"), std::string::npos) << folder.err;
}

}  // namespace
