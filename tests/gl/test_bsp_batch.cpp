// The batched drawing against the per-triangle one, offscreen on llvmpipe at
// the demo's 800x600: the demo's mesh, WusonOBJ and the IFC house from views
// around and inside them and after rebuilds, the explorer's modes and the
// plain mesh. Fills agree pixel for pixel; with outlines, at least 99.5% of
// the pixels. Outlines painted after later fills fail the same comparison.
// The CPU's culling agrees with GL's.
#include <gtest/gtest.h>

#include <GL/glew.h>

#include <GL/glu.h>

#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "BSPBatch.h"
#include "BSPBuild.h"
#include "BSPDraw.h"
#include "DrawPath.h"
#include "Explorer.h"
#include "MeshBounds.h"
#include "MeshFiles.h"
#include "ORV_Camera.h"
#include "ORV_Mesh.h"
#include "OffscreenGL.h"
#include "render/Scene.h"

using ORV::Vec3;

namespace {

constexpr int kWidth = 800, kHeight = 600;
constexpr double kOutlineAgreement = 0.995;

// A camera turning about the mesh's centre at a share of the distance that
// shows it whole; or with fly, flying at a point of its box given in shares
// of the box's half sizes.
ORV::Camera view(const Bounds& b, float yaw, float pitch, float share, const Vec3* pFly = nullptr) {
    ORV::Camera c(0.01f, 10000.0f);
    c.Reset();
    c.mTarget = b.Centre();
    c.SetDistance(share * FitDistance(b, kWidth, kHeight));
    if (pFly != nullptr) {
        c.SetMode(ORV::Camera::MODE_FLY);
        c.mEye = b.Centre() + Vec3((b.max.x - b.min.x) * 0.5f * pFly->x,
                                   (b.max.y - b.min.y) * 0.5f * pFly->y,
                                   (b.max.z - b.min.z) * 0.5f * pFly->z);
    }
    c.mYaw = yaw;
    c.mPitch = pitch;
    c.Update(false);
    return c;
}

// Pixels whose colour differs at all, and the share that agrees.
double agreement(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    return orvbsp::Agreement(a, b, 0);
}
size_t differing(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    return size_t(std::lround((1.0 - agreement(a, b)) * kWidth * kHeight));
}

class BatchedDrawing : public ::testing::Test {
protected:
    BatchedDrawing() : gl(kWidth, kHeight) {}
    void SetUp() override { ASSERT_TRUE(gl.Ok()) << gl.Error(); }

    // The demo's frame from camera, the scene drawn by draw.
    std::vector<uint8_t> frame(const ORV::Camera& camera, const std::function<void()>& draw) {
        orvbsp::BeginFrame(kWidth, kHeight);
        camera.Apply();
        draw();
        return gl.ReadPixels();
    }
    std::vector<uint8_t> tree(BSPTree& t, const ORV::Camera& camera, DrawPath path, bool outline) {
        if (outline) t.SetFlags(BSPTree::FLAG_OUTLINE);
        else t.ClearFlags(BSPTree::FLAG_OUTLINE);
        return frame(camera, [&] { PathPainter(path, &batch).DrawTree(t, camera.Eye()); });
    }
    // Both paths from camera, with and without outlines.
    void expectSamePicture(BSPTree& t, const ORV::Camera& camera, const std::string& what) {
        for (bool outline : {false, true}) {
            const std::vector<uint8_t> one = tree(t, camera, DrawPath::Immediate, outline);
            const int32_t drawn = t.DrawNum();
            const std::vector<uint8_t> batched = tree(t, camera, DrawPath::Batched, outline);
            EXPECT_EQ(t.DrawNum(), drawn) << what;
            EXPECT_GT(orvbsp::Covered(one), 0.02) << what << " shows too little";
            const size_t off = differing(one, batched);
            std::printf("  %-36s outlines %-3s %7zu pixels differ\n", what.c_str(),
                        outline ? "on" : "off", off);
            if (outline) EXPECT_GE(agreement(one, batched), kOutlineAgreement) << what;
            else EXPECT_EQ(off, 0u) << what;
        }
    }

    orvtest::OffscreenGL gl;
    TriangleBatch batch;  // after gl: freed while its context lives
};

}  // namespace

TEST_F(BatchedDrawing, GivesTheTrianglePathsPictureOnRealMeshes) {
    struct Case {
        std::string name;
        std::string path;
        bool heavy;  // the house: two views only
    };
    const std::string models = orvtest::kAssimpModelsDir;
    const Case cases[] = {{"demo", orvtest::DemoMeshPath(), false},
                          {"wuson", models + "/OBJ/WusonOBJ.obj", false},
                          {"house", models + "/IFC/AC14-FZK-Haus.ifc", true}};
    for (const Case& c : cases) {
        const std::vector<Triangle> list = orvtest::OpenTriangles(c.path);
        ASSERT_FALSE(list.empty()) << c.path;
        const Bounds b = BoundsOf(list);
        BSPTree t;
        BSPBuildSettings settings;
        t.Build(list, settings);
        expectSamePicture(t, view(b, 0.0f, 0.0f, 1.0f), c.name + " in front");
        const Vec3 in(0.1f, 0.2f, -0.1f);
        expectSamePicture(t, view(b, 2.2f, 0.15f, 1.0f, &in), c.name + " inside");
        if (c.heavy) continue;
        expectSamePicture(t, view(b, 2.6f, -0.6f, 0.8f), c.name + " behind, below");
        expectSamePicture(t, view(b, -0.9f, 0.5f, 0.4f), c.name + " close");
        // As after presses of keys 3 and 4: the same batch, a new tree.
        settings.splitWeight += 0.3f;
        settings.balanceWeight += 2.0f;
        t.Build(list, settings);
        expectSamePicture(t, view(b, 0.7f, 0.3f, 0.7f), c.name + " rebuilt");
    }
}

// The 99.5% bound catches a wrong priority: outlines painted after every
// fill (hidden edges show through).
TEST_F(BatchedDrawing, OutlinesAfterLaterFillsFailTheComparison) {
    const std::vector<Triangle> list = orvtest::DemoTriangles();
    BSPTree t;
    t.Build(list);
    const ORV::Camera camera = view(BoundsOf(list), 0.5f, 0.3f, 0.8f);
    const std::vector<uint8_t> outlined = tree(t, camera, DrawPath::Immediate, true);
    const std::vector<uint8_t> late = frame(camera, [&] {
        batch.Begin(CullView::FromGL());
        batch.AddWalk(t, camera.Eye(), TriangleBatch::Look::Filled);
        t.Walk(camera.Eye(), [&](const Triangle& tri) {
            batch.Add(tri, ORV::Color(0.0f, 0.0f, 0.0f, 1.0f), TriangleBatch::Look::Edges);
        });
        batch.Draw();
    });
    EXPECT_LT(agreement(outlined, late), kOutlineAgreement);
}

// Each mode of the explorer on both paths: nearly the same picture (the
// pieces' source edges, painted inside their triangles, lose their outer
// halves where nothing lies beyond), and the mode's own marks (what it
// changes in the per-triangle picture) there in the batched one too.
TEST_F(BatchedDrawing, ExplorerModesLookTheSameOnBothPaths) {
    std::vector<Triangle> list = orvtest::DemoTriangles();
    BSPTree t;
    t.Build(list);
    t.SetFlags(BSPTree::FLAG_OUTLINE);
    const Bounds box = BoundsOf(list);
    const ORV::Camera camera = view(box, -0.4f, 0.35f, 0.9f);
    const Vec3 behind = view(box, 2.7f, -0.3f, 0.9f).Eye();
    using Mode = std::function<void(explore::Explorer&)>;
    const std::pair<const char*, Mode> modes[] = {
        {"painter, half painted",
         [](explore::Explorer& e) {
             e.TogglePainter();
             for (size_t i = 0; i < e.Painter().Total() / 2; ++i) e.Painter().Step();
         }},
        {"eye frozen behind", [&](explore::Explorer& e) { e.ToggleFreeze(behind); }},
        {"depth colours", [](explore::Explorer& e) { e.CycleColouring(); }},
        {"cut pieces",
         [](explore::Explorer& e) {
             e.CycleColouring();
             e.CycleColouring();
         }},
        {"plane of root/F",
         [](explore::Explorer& e) {
             e.TogglePlane();
             e.Cursor().Front();
         }},
    };
    const std::vector<uint8_t> plain = tree(t, camera, DrawPath::Immediate, true);
    for (const auto& mode : modes) {
        explore::Explorer explorer;
        explorer.Attach(&t, &list);
        mode.second(explorer);
        std::vector<uint8_t> pictures[2];
        int32_t drawn[2];
        for (DrawPath path : {DrawPath::Immediate, DrawPath::Batched}) {
            PathPainter painter(path, &batch);
            pictures[int(path)] =
                frame(camera, [&] { explorer.DrawScene(t, camera.Eye(), painter); });
            drawn[int(path)] = t.DrawNum();
        }
        const std::vector<uint8_t>&one = pictures[0], &batched = pictures[1];
        size_t marks = 0, kept = 0;
        for (size_t i = 0; i + 3 < one.size(); i += 4) {
            if (std::equal(&one[i], &one[i] + 3, &plain[i])) continue;
            ++marks;
            kept += std::equal(&one[i], &one[i] + 3, &batched[i]);
        }
        std::printf("  %-24s %zu pixels differ; %zu of the mode's %zu pixels kept\n", mode.first,
                    differing(one, batched), kept, marks);
        EXPECT_EQ(drawn[1], drawn[0]) << mode.first;
        EXPECT_GE(agreement(one, batched), 0.99) << mode.first;
        EXPECT_GT(marks, 200u) << mode.first;
        EXPECT_GE(double(kept), 0.9 * double(marks)) << mode.first;
        // The highlight of the triangle painted last, three pixels wide.
        auto yellow = [](const std::vector<uint8_t>& px) {
            size_t n = 0;
            for (size_t i = 0; i + 3 < px.size(); i += 4)
                n += px[i] == 255 && px[i + 1] == 230 && px[i + 2] == 0;
            return n;
        };
        if (explorer.Painting()) {
            EXPECT_GT(yellow(one), 10u);
            EXPECT_GE(double(yellow(batched)), 0.9 * double(yellow(one)));
        }
    }
}

// Key 1's plain mesh: the mesh's own colours and, pulsing, every edge over
// them; from buffers kept across frames.
TEST_F(BatchedDrawing, PlainMeshIsTheSameFromKeptBuffers) {
    std::unique_ptr<ORV::Mesh> pMesh(ORV::Mesh::Load(orvtest::DemoMeshPath().c_str(), true));
    ASSERT_NE(pMesh, nullptr);
    const ORV::Camera camera = view(BoundsOf(orvtest::DemoTriangles()), 1.1f, 0.2f, 0.9f);
    // A grey whose byte does not sit on a rounding boundary: GL interpolates
    // the per-triangle path's colour and may round 178.5 either way.
    const ORV::Color wire(0.6f, 0.6f, 0.6f, 1.0f);
    for (const ORV::Color* pWire : {static_cast<const ORV::Color*>(nullptr), &wire}) {
        std::vector<uint8_t> pictures[2];
        for (DrawPath path : {DrawPath::Immediate, DrawPath::Batched})
            pictures[int(path)] =
                frame(camera, [&] { PathPainter(path, &batch).DrawMesh(*pMesh, pWire); });
        EXPECT_EQ(differing(pictures[0], pictures[1]), 0u)
            << (pWire ? "with" : "without") << " the wire";
    }
    EXPECT_EQ(batch.KeptKey(), pMesh.get());
}

// CullView::Drops against GL's own culling of a triangle and its reverse,
// for both projections, a mirroring view, clockwise fronts and front culling.
TEST(CullView, DropsWhatGLCulls) {
    constexpr int kSize = 32;
    orvtest::OffscreenGL gl(kSize, kSize);
    ASSERT_TRUE(gl.Ok()) << gl.Error();
    const Triangle facing(Vec3(-0.5f, -0.4f, 0.2f), Vec3(0.6f, -0.3f, 0.1f),
                          Vec3(-0.2f, 0.5f, 0.3f));
    const Triangle away(facing.mPos[0], facing.mPos[2], facing.mPos[1]);
    size_t dropped = 0;
    for (int setup = 0; setup < 16; ++setup) {
        const bool ortho = setup & 1, mirror = setup & 2, clockwise = setup & 4, front = setup & 8;
        glViewport(0, 0, kSize, kSize);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        if (ortho) glOrtho(-2, 2, -2, 2, -10, 10);
        else gluPerspective(60.0, 1.0, 0.1, 100.0);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        gluLookAt(0.7, 0.4, 3.0, 0, 0, 0, 0, 1, 0);
        if (mirror) glScalef(-1.0f, 1.0f, 1.0f);
        glEnable(GL_CULL_FACE);
        glFrontFace(clockwise ? GL_CW : GL_CCW);
        glCullFace(front ? GL_FRONT : GL_BACK);
        glDisable(GL_DEPTH_TEST);
        glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
        const CullView view = CullView::FromGL();
        for (const Triangle* pTri : {&facing, &away}) {
            glClearColor(0.25f, 0.25f, 0.25f, 1.0f);
            glClear(GL_COLOR_BUFFER_BIT);
            DrawTriangle(*pTri, false);
            glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
            const bool shown = orvbsp::Covered(gl.ReadPixels()) > 0.0;
            EXPECT_EQ(view.Drops(*pTri), !shown)
                << "ortho " << ortho << " mirror " << mirror << " clockwise " << clockwise
                << " front culled " << front << (pTri == &facing ? ", facing" : ", away");
            dropped += view.Drops(*pTri);
        }
    }
    EXPECT_EQ(dropped, 16u);
    glDisable(GL_CULL_FACE);
    EXPECT_FALSE(CullView::FromGL().cull);
}
