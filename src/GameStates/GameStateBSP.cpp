// GameStateBSP.cpp - the BSP demo: loads the texture, the mesh and the tree,
// reads the demo's keys, rewrites the status line every frame, and draws the
// scene back to front through the tree or as the plain mesh. The exploration
// modes (Explorer.h) take over the tree's drawing and add text in the window
// only while one of them is on. Everything is drawn one triangle at a time or
// batched (DrawPath.h): per triangle for the demo's own mesh, batched for a
// mesh named on the command line, unless --draw says otherwise; key R
// switches while it runs. A platform without GL's immediate mode (the web)
// draws everything batched.
#include <GL/glew.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "BSPBatch.h"
#include "BSPTree.h"
#include "DemoCommandLine.h"
#include "DemoView.h"
#include "DrawPath.h"
#include "Explorer.h"
#include "GameState.h"
#include "MeshBounds.h"
#include "MeshImport.h"
#include "MeshTriangles.h"
#include "ORV.h"
#include "ORV_Camera.h"
#include "ORV_DataPath.h"
#include "ORV_Mesh.h"

// Relative to the working directory; the build copies data/ beside the program.
// An installed program finds them in its installed data (ORV::DataPath).
static const char* const kTexturePath = "data/textures/Test1.tga";
static const char* const kMeshPath = "data/mesh/test_1.txt";
// A mesh given on the command line instead of kMeshPath, or empty.
static std::string sMeshArg;

static const uint8_t kKeyCamera = 67;     // C
static const uint8_t kKeyUseBSP = 49;     // 1
static const uint8_t kKeyWireframe = 50;  // 2
static const uint8_t kKeySplit = 51;      // 3
static const uint8_t kKeyBalance = 52;    // 4
static const uint8_t kKeyDrawPath = 82;   // R

static GLuint sTexture = 0;
static ORV::Mesh* spMesh = nullptr;
static std::vector<Triangle> sTriList;  // one record per mesh triangle, never changed after load
static int32_t sTriNum = 0;
static BSPTree* spBSPTree = nullptr;
static bool sUseBSP = true;
static bool sWireframe = true;
// The score weights live with the tree, whose Build(list) reads them; the
// keys raise them through these names.
static float& sSplitWeight = BSPTree::sSplitWeight;
static float& sBalanceWeight = BSPTree::sBalanceWeight;
static ORV::Camera sCamera(0.01f, 10000.0f);
static explore::Explorer sExplorer;
static DrawPath sDrawPath = DrawPath::Immediate;
// The batched path's arrays and GL objects, kept from frame to frame.
static TriangleBatch* spBatch = nullptr;

// The texture is made and filled but no drawing of the demo enables it.
static void uploadTexture(const ORV::Image& image) {
    glBindTexture(GL_TEXTURE_2D, sTexture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    bool alpha = image.BPP() == 32;
    // Image rows follow each other without padding; GL's default alignment of
    // 4 would read past the pixels of a 24-bit image whose row is not a
    // multiple of 4 bytes long.
    glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, alpha ? GL_RGBA : GL_RGB, static_cast<GLsizei>(image.SizeX()),
                 static_cast<GLsizei>(image.SizeY()), 0, alpha ? GL_BGRA : GL_BGR, GL_UNSIGNED_BYTE,
                 image.Data());
    glPopClientAttrib();
}

static void makeTriangles(const ORV::Mesh& mesh) {
    sTriList = MeshTriangles(mesh);
    sTriNum = static_cast<int32_t>(sTriList.size());
}

// orvane [MESH], orvane --help; see DemoCommandLine.h.
int gameStateCommandLine(int argc, char** argv) {
    DemoOptions opt = ParseDemoCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    if (!opt.error.empty()) {
        fputs(DemoUsageError(opt.error).c_str(), stderr);
        return 2;
    }
    if (opt.help) {
        fputs(DemoHelpText().c_str(), stdout);
        return 0;
    }
    sMeshArg = opt.meshPath;
    BSPTree::sCandidates = opt.candidates;
    // Real meshes are drawn batched unless asked otherwise; the demo's own
    // mesh keeps drawing one triangle at a time. Where GL has no immediate
    // mode (a web page), everything is drawn batched.
    if (!ORV::System::HasImmediateMode()) sDrawPath = DrawPath::Batched;
    else if (opt.drawGiven) sDrawPath = opt.draw;
    else sDrawPath = sMeshArg.empty() ? DrawPath::Immediate : DrawPath::Batched;
    return -1;
}

// A given mesh may lie anywhere and have any size: the orbit turns about
// its centre, from a distance that shows all of it. The demo's own mesh
// keeps the view of the origin from 10.
static void viewWholeMesh() {
    ORV::System* pSystem = ORV::System::Instance();
    Bounds bounds = BoundsOf(sTriList);
    sCamera.mTarget = bounds.Centre();
    sCamera.SetDistance(FitDistance(bounds, static_cast<int>(pSystem->Width()),
                                    static_cast<int>(pSystem->Height())));
}

static void gameStateLoad() {
    glGenTextures(1, &sTexture);
    ORV::Image* pImage = ORV::Image::Load(ORV::DataPath(kTexturePath).c_str());
    ORV_ASSERT_MESG(pImage, "");
    uploadTexture(*pImage);
    ORV::Image::Destroy(pImage);

    DemoView::SetFixedState();

    if (sMeshArg.empty()) {
        spMesh = ORV::Mesh::Load(ORV::DataPath(kMeshPath).c_str(), true);
        ORV_ASSERT_MESG(spMesh, "Fail to load mesh!!");
    } else {
        std::string why;
        spMesh = meshimport::Open(sMeshArg, &why);
        ORV_ASSERT_MESG(spMesh, "Fail to load mesh '%s': %s!!", sMeshArg.c_str(), why.c_str());
    }
    makeTriangles(*spMesh);

    spBSPTree = new BSPTree();
    sUseBSP = spBSPTree->Build(sTriList);
    spBatch = new TriangleBatch();
    sExplorer.Attach(spBSPTree, &sTriList);
}

static void gameStateInit() {
    sCamera.Reset();
    sCamera.SetDistance(10.0f);
    if (!sMeshArg.empty()) viewWholeMesh();
    sCamera.Update(false);
}

static void rebuildTree() {
    if (spBSPTree == nullptr) return;
    spBSPTree->Clear();
    spBSPTree->Build(sTriList);
    sExplorer.Attach(spBSPTree, &sTriList);
}

// The status line's text, also shown in the window by the explorer.
static std::string statusText() {
    char line[160];
    if (spBSPTree && sUseBSP)
        snprintf(line, sizeof(line),
                 "Using BSP tree, %d triangles total, %d triangles drawn, tree depth: %d",
                 spBSPTree->TriNum(), spBSPTree->DrawNum(), static_cast<int>(spBSPTree->Depth()));
    else snprintf(line, sizeof(line), "Not using BSP tree, %d triangles", sTriNum);
    return line;
}

// Erases the previous status (the line may have been longer) and writes the
// new one in its place, without a line feed.
static void printStatus() {
    static const std::string sBack(156, '\b');
    static const std::string sBlank(78, ' ');
    printf("%s", sBack.c_str());
    printf("%s", sBlank.c_str());
    printf("%s", sBack.c_str());
    printf("%s", statusText().c_str());
    fflush(stdout);
}

static void gameStateUpdate() {
    ORV::Input* pInput = ORV::Input::Instance();
    if (pInput->KeyTriggered(kKeyCamera))
        sCamera.SetMode(static_cast<uint8_t>((sCamera.GetMode() + 1) % 2));
    if (pInput->KeyTriggered(kKeyUseBSP)) sUseBSP = !sUseBSP;
    if (pInput->KeyTriggered(kKeyWireframe)) sWireframe = !sWireframe;
    if (pInput->KeyTriggered(kKeySplit)) {
        sSplitWeight += 0.1f;
        rebuildTree();
    }
    if (pInput->KeyTriggered(kKeyBalance)) {
        sBalanceWeight += 1.0f;
        rebuildTree();
    }
    if (pInput->KeyTriggered(kKeyDrawPath) && ORV::System::HasImmediateMode())
        sDrawPath = sDrawPath == DrawPath::Immediate ? DrawPath::Batched : DrawPath::Immediate;
    sExplorer.Update(*pInput, ORV::FrameTime(), sCamera.Eye());
    // Before this frame's draw: the drawn count is the previous frame's.
    printStatus();
    sCamera.Update(true);
}

static void drawScene() {
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    PathPainter painter(sDrawPath, spBatch);
    if (spBSPTree && sUseBSP) {
        if (sWireframe) spBSPTree->SetFlags(BSPTree::FLAG_OUTLINE);
        else spBSPTree->ClearFlags(BSPTree::FLAG_OUTLINE);
        if (sExplorer.ChangesScene()) sExplorer.DrawScene(*spBSPTree, sCamera.Eye(), painter);
        else painter.DrawTree(*spBSPTree, sCamera.Eye());
    } else if (sWireframe) {
        // |sin| over the counter's low seven bits: dark at 0, 63, 64 and
        // 127, bright at 32 and 95, repeating every 128 frames.
        float angle = static_cast<float>((ORV::FrameCounter() & 127) / 127.0 * ORV::TWO_PI);
        float g = std::fabs(std::sin(angle));
        const ORV::Color wire(g, g, g, 1.0f);
        painter.DrawMesh(*spMesh, &wire);
    } else {
        painter.DrawMesh(*spMesh, nullptr);
    }
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
}

static void gameStateDraw() {
    ORV_GL_ERROR("");
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glPushClientAttrib(GL_CLIENT_ALL_ATTRIB_BITS);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);

    // The size asked for at start, not the window's current one.
    ORV::System* pSystem = ORV::System::Instance();
    DemoView::SetProjection(static_cast<float>(pSystem->Width()),
                            static_cast<float>(pSystem->Height()));
    sCamera.Apply();
    ORV_GL_ERROR("");

    drawScene();
    ORV_GL_ERROR("");
    // Last, so that nothing of the scene covers it.
    if (sExplorer.ShowsText()) {
        sExplorer.DrawOverlay(statusText(), static_cast<int>(pSystem->Width()),
                              static_cast<int>(pSystem->Height()));
        ORV_GL_ERROR("");
    }
    glPopAttrib();
    glPopClientAttrib();
}

static void gameStateFree() {}
static void gameStateUnload() {}

void gameStateRegister() {
    gpGameStateLoad = gameStateLoad;
    gpGameStateInit = gameStateInit;
    gpGameStateUpdate = gameStateUpdate;
    gpGameStateDraw = gameStateDraw;
    gpGameStateFree = gameStateFree;
    gpGameStateUnload = gameStateUnload;
}
