// explore_reference [STEP...] - the demo's picture, drawn offscreen (EGL) by
// the product's own drawing, after the steps a person takes in the window,
// and compared with a screenshot of the window.
//
// The demo's frame at 800x600 is rebuilt here from what is known of it: the
// tree built as the demo builds it at start, the camera in its start pose,
// the view of DemoView, the outlines on. The steps, applied in order:
//   --mesh PATH        open PATH as `orvane PATH` does (before any other step)
//   --drag DX DY       a left-button drag of DX, DY pixels (turns the camera)
//   --zoom DY          a right-button drag of DY pixels (distance)
//   --freeze           key I: the walk's eye stays where the camera's is now
//   --painter K        key P, then K triangles painted
//   --colours N        key M pressed N times
//   --plane ROUTE      key L, then F and B as ROUTE spells them ("" for the root)
//   --text, --keys     keys T and H
// and the results:
//   --compare FILE     prints "differing N": pixels of the screenshot FILE
//                      (800x600 RGB bytes, top row first) whose red, green or
//                      blue is off by more than 2 from the reference
//   --below Y          later comparisons count only rows Y and down (under
//                      the text block)
//   --find FROM TO FILE   with --painter: the painted count in FROM..TO whose
//                      picture is closest to FILE, as "k K differing N next M"
//                      (M: the second closest count's differing pixels)
//   --write FILE       the reference as 800x600 RGB bytes, top row first
//   --facts            prints "total N depth D": the triangles of the order
//                      and the tree's depth
//   --key3, --key4     keys 3 and 4: the weight raised, the tree rebuilt
// `explore_reference --diff A B [Y]` compares two screenshots instead (rows
// Y and down).
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <limits>
#include <string>
#include <vector>

#include "BSPBatch.h"
#include "BSPTree.h"
#include "DemoView.h"
#include "DrawPath.h"
#include "Explorer.h"
#include "MeshBounds.h"
#include "MeshImport.h"
#include "MeshTriangles.h"
#include "ORV_Camera.h"
#include "ORV_Mesh.h"
#include "OffscreenGL.h"

namespace {

constexpr int kWidth = 800, kHeight = 600;
constexpr float kMouseFactor = 0.01f;  // the camera's radians per pixel
constexpr int kTolerance = 2;
int sFirstRow = 0;  // rows above it are not compared

[[noreturn]] void fail(const std::string& why) {
    std::fprintf(stderr, "explore_reference: %s\n", why.c_str());
    std::exit(2);
}

struct Scene {
    std::vector<Triangle> list;
    BSPTree tree;
    ORV::Camera camera{0.01f, 10000.0f};
    explore::Explorer explorer;
    DrawPath path = DrawPath::Immediate;
    TriangleBatch batch;
};

// The demo's frame: its draw hook's calls, then the overlay.
std::vector<uint8_t> draw(Scene& s, const orvtest::OffscreenGL& gl) {
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    DemoView::SetProjection(kWidth, kHeight);
    s.camera.Apply();
    s.tree.SetFlags(BSPTree::FLAG_OUTLINE);
    PathPainter painter(s.path, &s.batch);
    if (s.explorer.ChangesScene()) s.explorer.DrawScene(s.tree, s.camera.Eye(), painter);
    else painter.DrawTree(s.tree, s.camera.Eye());
    if (s.explorer.ShowsText()) {
        char status[160];
        std::snprintf(status, sizeof(status),
                      "Using BSP tree, %d triangles total, %d triangles drawn, tree depth: %d",
                      s.tree.TriNum(), s.tree.DrawNum(), int(s.tree.Depth()));
        s.explorer.DrawOverlay(status, kWidth, kHeight);
    }
    glPopAttrib();
    // Bottom row first, RGBA: turned into the screenshot's layout.
    const std::vector<uint8_t> rgba = gl.ReadPixels();
    std::vector<uint8_t> rgb(size_t(kWidth) * kHeight * 3);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            for (int c = 0; c < 3; ++c)
                rgb[(size_t(kHeight - 1 - y) * kWidth + x) * 3 + c] =
                    rgba[(size_t(y) * kWidth + x) * 4 + c];
    return rgb;
}

std::vector<uint8_t> readShot(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                               std::istreambuf_iterator<char>());
    if (bytes.size() != size_t(kWidth) * kHeight * 3)
        fail("'" + path + "' is not an 800x600 RGB screenshot");
    return bytes;
}

size_t differing(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    size_t n = 0;
    for (size_t i = size_t(sFirstRow) * kWidth * 3; i + 2 < a.size(); i += 3) {
        bool off = false;
        for (int c = 0; c < 3; ++c)
            off = off || std::abs(int(a[i + c]) - int(b[i + c])) > kTolerance;
        n += off;
    }
    return n;
}

void setPainted(Scene& s, size_t k) {
    if (!s.explorer.Painting()) s.explorer.TogglePainter();
    explore::PainterSteps& p = s.explorer.Painter();
    p.Start(p.Total());
    for (size_t i = 0; i < k; ++i) p.Step();
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if ((args.size() == 3 || args.size() == 4) && args[0] == "--diff") {
        if (args.size() == 4) sFirstRow = std::atoi(args[3].c_str());
        std::printf("differing %zu\n", differing(readShot(args[1]), readShot(args[2])));
        return 0;
    }
    orvtest::OffscreenGL gl(kWidth, kHeight);
    if (!gl.Ok()) fail("no offscreen GL context: " + gl.Error());
    DemoView::SetFixedState();

    Scene s;
    std::string meshPath;
    if (args.size() >= 2 && args[0] == "--mesh") meshPath = args[1];
    std::string why;
    ORV::Mesh* pMesh = meshPath.empty() ? ORV::Mesh::Load("data/mesh/test_1.txt", true)
                                        : meshimport::Open(meshPath, &why);
    if (pMesh == nullptr) fail("cannot open the mesh " + meshPath + ": " + why);
    s.list = MeshTriangles(*pMesh);
    delete pMesh;
    s.tree.Build(s.list);
    s.explorer.Attach(&s.tree, &s.list);
    s.camera.Reset();
    s.camera.SetDistance(10.0f);
    if (!meshPath.empty()) {
        s.path = DrawPath::Batched;
        const Bounds bounds = BoundsOf(s.list);
        s.camera.mTarget = bounds.Centre();
        s.camera.SetDistance(FitDistance(bounds, kWidth, kHeight));
    }
    s.camera.Update(false);

    auto number = [&](size_t i) {
        if (i >= args.size()) fail("a number is missing after " + args[i - 1]);
        return std::atol(args[i].c_str());
    };
    for (size_t i = meshPath.empty() ? 0 : 2; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--drag") {
            s.camera.mYaw -= float(number(i + 1)) * kMouseFactor;
            s.camera.mPitch += float(number(i + 2)) * kMouseFactor;
            s.camera.Update(false);
            i += 2;
        } else if (a == "--zoom") {
            s.camera.mDist += float(number(i + 1)) * s.camera.mDist * kMouseFactor;
            s.camera.Update(false);
            i += 1;
        } else if (a == "--freeze") {
            s.explorer.ToggleFreeze(s.camera.Eye());
        } else if (a == "--painter") {
            setPainted(s, size_t(number(i + 1)));
            i += 1;
        } else if (a == "--colours") {
            for (long n = number(i + 1); n > 0; --n) s.explorer.CycleColouring();
            i += 1;
        } else if (a == "--plane") {
            if (i + 1 >= args.size()) fail("a route is missing after --plane");
            s.explorer.TogglePlane();
            for (char c : args[i + 1]) {
                if (c == 'F') s.explorer.Cursor().Front();
                else if (c == 'B') s.explorer.Cursor().Back();
            }
            i += 1;
        } else if (a == "--draw") {
            if (i + 1 >= args.size() || !ParseDrawPath(args[i + 1], &s.path))
                fail("--draw needs immediate or batched");
            i += 1;
        } else if (a == "--text") {
            s.explorer.ToggleText();
        } else if (a == "--keys") {
            s.explorer.ToggleHelp();
        } else if (a == "--compare") {
            if (i + 1 >= args.size()) fail("a file is missing after --compare");
            std::printf("differing %zu\n", differing(draw(s, gl), readShot(args[i + 1])));
            i += 1;
        } else if (a == "--find") {
            if (i + 3 >= args.size()) fail("--find needs FROM TO FILE");
            const std::vector<uint8_t> shot = readShot(args[i + 3]);
            size_t best = 0, bestN = std::numeric_limits<size_t>::max(), nextN = bestN;
            for (long k = number(i + 1); k <= number(i + 2); ++k) {
                setPainted(s, size_t(k));
                const size_t n = differing(draw(s, gl), shot);
                if (n < bestN) {
                    nextN = bestN;
                    bestN = n;
                    best = size_t(k);
                } else if (n < nextN) {
                    nextN = n;
                }
            }
            std::printf("k %zu differing %zu next %zu\n", best, bestN, nextN);
            i += 3;
        } else if (a == "--below") {
            sFirstRow = int(number(i + 1));
            i += 1;
        } else if (a == "--facts") {
            std::printf("total %zu depth %u\n", explore::SubtreeTriangles(s.tree.Root()),
                        s.tree.Depth());
        } else if (a == "--key3" || a == "--key4") {
            if (a == "--key3") BSPTree::sSplitWeight += 0.1f;
            else BSPTree::sBalanceWeight += 1.0f;
            s.tree.Clear();
            s.tree.Build(s.list);
            s.explorer.Attach(&s.tree, &s.list);
        } else if (a == "--write") {
            if (i + 1 >= args.size()) fail("a file is missing after --write");
            const std::vector<uint8_t> rgb = draw(s, gl);
            std::ofstream(args[i + 1], std::ios::binary)
                .write(reinterpret_cast<const char*>(rgb.data()), std::streamsize(rgb.size()));
            i += 1;
        } else {
            fail("unknown step '" + a + "'");
        }
    }
    return 0;
}
