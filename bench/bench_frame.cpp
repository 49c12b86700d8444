// Frames at the demo's 800x600 in an offscreen EGL context, finished on the
// GPU (glFinish) each time.
//
// frame: the demo's whole frame (its update and draw hooks) on its own mesh,
// the figure the exploration features must leave alone; take it with
// --benchmark_min_time=5 --benchmark_repetitions=5.
//
// Draw/<mesh>/<path>: the tree drawn from the demo's start view of the mesh,
// outlines on, three ways side by side: per-triangle (BSPTree::Draw), batched
// (the walk into one array, one draw call) and floor: the same stored
// triangles from a buffer uploaded once, drawn with the same shader and the
// depth test on, with no walk: what the renderer needs at least.
// Walk/<mesh>: the batched path's walk alone, into its array, without GL.
//
// The meshes: the demo's, WusonOBJ and the IFC house; ORV_BENCH_LARGE=1 adds
// a terrain of 1M triangles (its exact tree takes some 7 s to build).
// ORV_BENCH_TINY=1 keeps the demo's mesh and runs each case once.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>

#include "BSPBatch.h"
#include "BSPBuild.h"
#include "DemoStart.h"
#include "DemoView.h"
#include "DrawPath.h"
#include "GameState.h"
#include "MeshBounds.h"
#include "MeshFiles.h"
#include "ORV.h"
#include "ORV_Camera.h"
#include "OffscreenGL.h"
#include "Shapes.h"

namespace {

constexpr int kWidth = 800, kHeight = 600;

bool flag(const char* name) {
    const char* p = std::getenv(name);
    return p != nullptr && *p != '\0' && *p != '0';
}
bool tiny() { return flag("ORV_BENCH_TINY"); }
bool large() { return !tiny() && flag("ORV_BENCH_LARGE"); }

// One context for every benchmark of the run.
bool context() {
    static orvtest::OffscreenGL* spGL = new orvtest::OffscreenGL(kWidth, kHeight);
    return spGL->Ok();
}

// The status line goes to standard output every frame: it is sent to
// /dev/null while the frames run, and standard output comes back after.
// The demo is loaded once for every run of the benchmark (it keeps its state
// in statics and never releases it).
void frame(benchmark::State& state) {
    static bool sStarted = context() && orvtest::StartDemo(kWidth, kHeight);
    if (!sStarted) {
        state.SkipWithError("no offscreen GL context or no source folder");
        return;
    }
    std::fflush(stdout);
    const int saved = dup(STDOUT_FILENO);
    if (saved < 0 || std::freopen("/dev/null", "w", stdout) == nullptr) {
        state.SkipWithError("cannot silence standard output");
        return;
    }
    for (auto _ : state) {
        gpGameStateUpdate();
        gpGameStateDraw();
        glFinish();
    }
    std::fflush(stdout);
    dup2(saved, STDOUT_FILENO);
    close(saved);
    state.SetItemsProcessed(state.iterations());
}

// A mesh with its tree and the demo's start view of it.
struct Scene {
    std::vector<Triangle> list;
    BSPTree tree;
    ORV::Camera camera{0.01f, 10000.0f};
    size_t stored = 0;
    std::unique_ptr<TriangleBatch> pStream, pFloor;  // made in the context
};

std::unique_ptr<Scene> loadScene(const std::string& name) {
    std::unique_ptr<Scene> s(new Scene);
    const std::string models = orvtest::kAssimpModelsDir;
    if (name == "demo") s->list = orvtest::DemoTriangles();
    else if (name == "wuson") s->list = orvtest::OpenTriangles(models + "/OBJ/WusonOBJ.obj");
    else if (name == "ifchouse")
        s->list = orvtest::OpenTriangles(models + "/IFC/AC14-FZK-Haus.ifc");
    else if (name == "terrain1m") s->list = orvtest::Terrain(708);
    if (s->list.empty()) return nullptr;
    s->tree.Build(s->list, BSPBuildSettings());
    s->tree.SetFlags(BSPTree::FLAG_OUTLINE);
    s->tree.VisitNodes([&](const BSPNode& node, uint32_t) { s->stored += node.mTriList.size(); });
    // As the demo starts: its own mesh seen from 10 towards the origin, any
    // other one whole about its centre.
    s->camera.Reset();
    s->camera.SetDistance(10.0f);
    if (name != "demo") {
        const Bounds b = BoundsOf(s->list);
        s->camera.mTarget = b.Centre();
        s->camera.SetDistance(FitDistance(b, kWidth, kHeight));
    }
    s->camera.Update(false);
    return s;
}

Scene* scene(const std::string& name) {
    static std::map<std::string, std::unique_ptr<Scene>> sScenes;
    auto found = sScenes.find(name);
    if (found == sScenes.end()) found = sScenes.emplace(name, loadScene(name)).first;
    return found->second.get();
}

void beginFrame(const Scene& s) {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    DemoView::SetProjection(kWidth, kHeight);
    s.camera.Apply();
}

enum class Way { PerTriangle, Batched, Floor };

void draw(benchmark::State& state, const std::string& name, Way way) {
    Scene* pScene = context() ? scene(name) : nullptr;
    if (pScene == nullptr) {
        state.SkipWithError("no offscreen GL context, or the mesh does not load");
        return;
    }
    Scene& s = *pScene;
    DemoView::SetFixedState();
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    if (!s.pStream) s.pStream.reset(new TriangleBatch);
    if (way == Way::Floor && !s.pFloor) {
        // The stored triangles in the tree's own order, whatever the eye.
        s.pFloor.reset(new TriangleBatch);
        s.pFloor->Begin();
        s.tree.VisitNodes([&](const BSPNode& node, uint32_t) {
            for (const Triangle& tri : node.mTriList)
                s.pFloor->Add(tri, tri.mClr[0], TriangleBatch::Look::Outlined);
        });
        s.pFloor->Keep(&s, false);
    }
    PathPainter painter(way == Way::PerTriangle ? DrawPath::Immediate : DrawPath::Batched,
                        s.pStream.get());
    for (auto _ : state) {
        beginFrame(s);
        if (way == Way::Floor) {
            glEnable(GL_DEPTH_TEST);
            s.pFloor->DrawKept(nullptr);
            glDisable(GL_DEPTH_TEST);
        } else {
            painter.DrawTree(s.tree, s.camera.Eye());
            glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
        }
        glFinish();
    }
    state.counters["stored"] = double(s.stored);
    state.counters["fps"] =
        benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}

// The walk into the array, with the culling of the start view, without GL.
void walk(benchmark::State& state, const std::string& name) {
    Scene* pScene = context() ? scene(name) : nullptr;
    if (pScene == nullptr) {
        state.SkipWithError("no offscreen GL context, or the mesh does not load");
        return;
    }
    Scene& s = *pScene;
    beginFrame(s);
    DemoView::SetFixedState();
    const CullView view = CullView::FromGL();
    TriangleBatch batch;
    for (auto _ : state) {
        batch.Begin(view);
        benchmark::DoNotOptimize(
            batch.AddWalk(s.tree, s.camera.Eye(), TriangleBatch::Look::Outlined));
    }
    state.counters["stored"] = double(s.stored);
    state.counters["written"] = double(batch.TriangleNum());
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::RegisterBenchmark("frame", frame)->Unit(benchmark::kMillisecond);
    std::vector<std::string> meshes = {"demo"};
    if (!tiny()) meshes.insert(meshes.end(), {"wuson", "ifchouse"});
    if (large()) meshes.push_back("terrain1m");
    const std::pair<const char*, Way> ways[] = {
        {"per-triangle", Way::PerTriangle}, {"batched", Way::Batched}, {"floor", Way::Floor}};
    for (const std::string& mesh : meshes) {
        for (const auto& way : ways) {
            auto* b = benchmark::RegisterBenchmark(("Draw/" + mesh + "/" + way.first).c_str(), draw,
                                                   mesh, way.second);
            b->Unit(benchmark::kMillisecond)->UseRealTime();
            if (tiny()) b->Iterations(1);
        }
        auto* w = benchmark::RegisterBenchmark(("Walk/" + mesh).c_str(), walk, mesh);
        w->Unit(benchmark::kMillisecond);
        if (tiny()) w->Iterations(1);
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
