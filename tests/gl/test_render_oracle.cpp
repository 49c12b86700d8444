// The rendering oracle: the demo's mesh drawn by the tree's painter's order
// with the depth test off must look like the same flat fills drawn in mesh
// order with the depth test on, from every kind of viewpoint. A walk with the
// children swapped must fail the same comparison, which shows it can fail.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "BSPBuild.h"
#include "BSPDraw.h"
#include "BSPTree.h"
#include "DemoView.h"
#include "MeshFiles.h"
#include "ORV_Camera.h"
#include "ORV_Mesh.h"
#include "OffscreenGL.h"
#include "render/Scene.h"

using ORV::Vec3;

namespace {

constexpr int kWidth = 800, kHeight = 600;  // the demo's window
constexpr double kRequired = 0.995;         // share of identical pixels
constexpr int kChannelTolerance = 2;        // colour rounding over different shapes

const std::string kMeshPath = orvtest::DemoMeshPath();

// A viewpoint: a camera (orbit around the origin, or flying at a point)
// placed without reading input.
struct View {
    std::string name;
    ORV::Camera camera{0.01f, 10000.0f};
};

View orbit(const std::string& name, float pitch, float yaw, float dist) {
    View v{name};
    v.camera.Reset();
    v.camera.SetDistance(dist);
    v.camera.mPitch = pitch;
    v.camera.mYaw = yaw;
    v.camera.Update(false);
    return v;
}

View fly(const std::string& name, const Vec3& eye, float pitch, float yaw) {
    View v{name};
    v.camera.Reset();
    v.camera.SetDistance(1.0f);
    v.camera.SetMode(ORV::Camera::MODE_FLY);
    v.camera.mEye = eye;
    v.camera.mPitch = pitch;
    v.camera.mYaw = yaw;
    v.camera.Update(false);
    return v;
}

// A fly camera standing on the plane, at the plane's point nearest to from,
// looking at the origin.
View onPlane(const std::string& name, const Plane& plane, const Vec3& from) {
    Vec3 eye = from - plane.mNormal * plane.Distance(from);
    Vec3 d = (Vec3(0, 0, 0) - eye).NormalizeThis();
    // The camera's direction is (-cos p sin y, -sin p, -cos p cos y).
    float pitch = std::asin(-d.y);
    float yaw = std::atan2(-d.x, -d.z);
    return fly(name, eye, pitch, yaw);
}

class Scene {
public:
    explicit Scene(const orvtest::OffscreenGL& gl) : mGl(gl) {}

    void Begin(const ORV::Camera& camera) {
        DemoView::SetProjection(kWidth, kHeight);
        camera.Apply();
        DemoView::SetFixedState();
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glShadeModel(GL_FLAT);
        glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    }

    // The tree's own drawing, fills only, with the depth test off.
    std::vector<uint8_t> Painter(BSPTree& tree, const ORV::Camera& camera) {
        Begin(camera);
        glDisable(GL_DEPTH_TEST);
        tree.ClearFlags(BSPTree::FLAG_OUTLINE);
        tree.Draw(camera.Eye());
        return mGl.ReadPixels();
    }

    // The same fills in mesh order, sorted by the depth buffer.
    std::vector<uint8_t> DepthBuffered(const std::vector<Triangle>& list,
                                       const ORV::Camera& camera) {
        Begin(camera);
        glEnable(GL_DEPTH_TEST);
        glDepthFunc(GL_LESS);
        for (const Triangle& tri : list) DrawTriangle(tri, false);
        glDisable(GL_DEPTH_TEST);
        return mGl.ReadPixels();
    }

    // A wrong walk: front to back, at every node the side holding the eye first.
    std::vector<uint8_t> Swapped(const BSPTree& tree, const ORV::Camera& camera) {
        Begin(camera);
        glDisable(GL_DEPTH_TEST);
        tree.Walk(
            camera.Eye(), [](const Triangle& tri) { DrawTriangle(tri, false); },
            WalkOrder::FrontToBack);
        return mGl.ReadPixels();
    }

private:
    const orvtest::OffscreenGL& mGl;
};

// The oracle's comparison, shared with orvane-bsp check: the share of pixels
// whose colours agree within the tolerance, over the whole picture or
// (foregroundOnly) where either shows the scene.
double agreement(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b,
                 bool foregroundOnly = false) {
    return orvbsp::Agreement(a, b, kChannelTolerance, foregroundOnly);
}

// Share of pixels that are not the background: the view must show something.
double covered(const std::vector<uint8_t>& pixels) { return orvbsp::Covered(pixels); }

std::vector<View> views(const BSPTree& tree) {
    std::vector<View> v;
    const float pi = ORV::PI_F;
    for (int i = 0; i < 8; ++i)
        v.push_back(orbit("around " + std::to_string(i * 45) + " degrees",
                          0.25f * float((i % 3) - 1), -pi + 2.0f * pi * float(i) / 8.0f + 0.1f,
                          10.0f));
    v.push_back(orbit("above", 1.45f, 0.3f, 9.0f));
    v.push_back(orbit("straight above", ORV::HALF_PI_F, 0.0f, 12.0f));
    v.push_back(orbit("below", -1.3f, 2.0f, 9.0f));
    v.push_back(orbit("close", 0.4f, -0.6f, 4.0f));
    // Inside the scene: in the slabs' triangle, between the groups, and in the
    // rings' space, looking about.
    v.push_back(fly("inside the slabs' triangle", Vec3(-2.4f, 1.5f, 0.0f), 0.2f, -2.3f));
    v.push_back(fly("between the groups", Vec3(0.3f, -0.3f, 0.2f), -0.2f, 1.2f));
    v.push_back(fly("beside the rings", Vec3(0.4f, -2.3f, 1.6f), 0.5f, 0.4f));
    // On the planes of the root and of its two children.
    const BSPNode* pRoot = tree.Root();
    v.push_back(onPlane("on the root's plane", pRoot->mPlane, Vec3(0, 0, 10)));
    if (pRoot->mpFront)
        v.push_back(onPlane("on the front child's plane", pRoot->mpFront->mPlane, Vec3(3, 4, 8)));
    if (pRoot->mpBack)
        v.push_back(onPlane("on the back child's plane", pRoot->mpBack->mPlane, Vec3(-4, 2, -8)));
    return v;
}

// Checks every view; returns the worst agreement of the painter's order.
double checkViews(BSPTree& tree, const std::vector<Triangle>& list, orvtest::OffscreenGL& gl) {
    Scene scene(gl);
    double worst = 1.0;
    std::vector<View> all = views(tree);
    EXPECT_GE(all.size(), 12u);
    for (const View& v : all) {
        std::vector<uint8_t> oracle = scene.DepthBuffered(list, v.camera);
        std::vector<uint8_t> painter = scene.Painter(tree, v.camera);
        double good = agreement(painter, oracle);
        std::vector<uint8_t> swapped = scene.Swapped(tree, v.camera);
        std::printf("  %-30s tree order %.5f   swapped %.5f (scene only %.3f)   covered %.3f\n",
                    v.name.c_str(), good, agreement(swapped, oracle),
                    agreement(swapped, oracle, true), covered(oracle));
        EXPECT_GE(good, kRequired) << v.name;
        EXPECT_GE(agreement(painter, oracle, true), 0.99) << v.name;
        EXPECT_GT(covered(oracle), 0.01) << v.name << " shows nothing";
        worst = std::min(worst, good);
    }
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    std::printf("worst agreement of the tree's order: %.5f\n", worst);
    return worst;
}

}  // namespace

class RenderOracle : public ::testing::Test {
protected:
    void SetUp() override {
        mList = orvtest::DemoTriangles();
        ASSERT_FALSE(mList.empty()) << kMeshPath;
    }
    std::vector<Triangle> mList;
};

TEST_F(RenderOracle, TreeOrderMatchesTheDepthBuffer) {
    orvtest::OffscreenGL gl(kWidth, kHeight);
    ASSERT_TRUE(gl.Ok()) << gl.Error();
    BSPTree tree;
    tree.Build(mList);
    std::printf(
        "%zu triangles, %d after cutting, depth %u\n", mList.size(),
        [&] {
            int n = 0;
            tree.Walk(Vec3(0, 0, 10), [&](const Triangle&) { ++n; });
            return n;
        }(),
        tree.Depth());
    checkViews(tree, mList, gl);
}

TEST_F(RenderOracle, TreeOrderStillMatchesAfterRebuildsWithRaisedWeights) {
    orvtest::OffscreenGL gl(kWidth, kHeight);
    ASSERT_TRUE(gl.Ok()) << gl.Error();
    BSPTree tree;
    // As after five presses of key 3, then two of key 4.
    BSPBuildSettings settings;
    for (int i = 0; i < 5; ++i) {
        settings.splitWeight += 0.1f;
        tree.Clear();
        tree.Build(mList, settings);
    }
    settings.balanceWeight += 2.0f;
    tree.Clear();
    tree.Build(mList, settings);
    checkViews(tree, mList, gl);
}

// The comparison must be able to fail: the swapped walk misses it at every
// view by far more than the allowed share, and on the scene itself by more
// than three pixels in a hundred.
TEST_F(RenderOracle, SwappedChildrenFailTheComparison) {
    orvtest::OffscreenGL gl(kWidth, kHeight);
    ASSERT_TRUE(gl.Ok()) << gl.Error();
    BSPTree tree;
    tree.Build(mList);
    Scene scene(gl);
    for (const View& v : views(tree)) {
        std::vector<uint8_t> oracle = scene.DepthBuffered(mList, v.camera);
        std::vector<uint8_t> swapped = scene.Swapped(tree, v.camera);
        EXPECT_LT(agreement(swapped, oracle), 1.0 - 2.0 * (1.0 - kRequired)) << v.name;
        EXPECT_LT(agreement(swapped, oracle, true), 0.97) << v.name;
    }
}

// The scene's solids are closed and wound outwards: every edge is met once
// in each direction. (Culling and the painter's order both rely on it.)
TEST(DemoMesh, SolidsAreClosedAndUseEverySection) {
    ORV::Mesh* pMesh = ORV::Mesh::Load(kMeshPath.c_str(), false);
    ASSERT_NE(pMesh, nullptr);
    EXPECT_GE(pMesh->TriPosNum(), 300u);
    EXPECT_LE(pMesh->TriPosNum(), 2000u);
    EXPECT_EQ(pMesh->TriClrNum(), pMesh->TriPosNum());
    EXPECT_EQ(pMesh->mTriNrmNum, pMesh->TriPosNum());
    EXPECT_EQ(pMesh->mTriTexNum, pMesh->TriPosNum());
    std::map<std::pair<uint32_t, uint32_t>, int> edges;
    for (uint32_t t = 0; t < pMesh->TriPosNum(); ++t)
        for (uint32_t k = 0; k < 3; ++k)
            ++edges[{pMesh->TriPos()[3 * t + k], pMesh->TriPos()[3 * t + (k + 1) % 3]}];
    for (const auto& e : edges) {
        auto back = edges.find({e.first.second, e.first.first});
        ASSERT_EQ(e.second, 1) << "edge " << e.first.first << "-" << e.first.second;
        ASSERT_TRUE(back != edges.end() && back->second == 1)
            << "edge " << e.first.first << "-" << e.first.second << " has no partner";
    }
    delete pMesh;
}
