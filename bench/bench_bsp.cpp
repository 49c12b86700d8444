// The tree's construction, side by side: the plain search (every candidate
// counted in full, one by one, on one thread), the fast search on one thread
// and on two; and the back-to-front walk. Build rates are given as the plain
// build's classifications per second, so the three figures of one input
// compare directly. ORV_BENCH_TINY=1 shrinks every input and runs each case
// once. ORV_BENCH_LARGE=1 adds the large inputs (terrains of 100k and 1M
// triangles, the IFC house) and the bounded search (64 candidates a node)
// beside the exact one.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>
#include <unordered_map>
#include <vector>

#include "BSPBuild.h"
#include "BSPTree.h"
#include "HeapPeak.h"
#include "MeshFiles.h"
#include "Shapes.h"

namespace {

bool flag(const char* name) {
    const char* p = std::getenv(name);
    return p != nullptr && *p != '\0' && *p != '0';
}
bool tiny() { return flag("ORV_BENCH_TINY"); }
bool large() { return !tiny() && flag("ORV_BENCH_LARGE"); }

struct Input {
    std::string name;
    std::vector<Triangle> tris;
    bool plain;               // also built by the plain search (minutes for large chains)
    bool bounded = false;     // also built with a bounded number of candidates
    double classified = 0.0;  // the plain build's classifications
};

std::vector<Input> inputs() {
    const bool t = tiny();
    std::vector<Input> out = {
        {"soup1k", orvtest::RandomSoup(1, t ? 40 : 1000, 1.0f, 0.15f), true},
        {"soup4k", orvtest::RandomSoup(2, t ? 80 : 4000, 1.0f, 0.15f), true},
        {"torus4k", t ? orvtest::Torus(8, 4) : orvtest::Torus(64, 32), true},
        // Convex: every splitter leaves the rest behind, so the tree is a chain.
        {"sphere1k", t ? orvtest::Sphere(5, 4) : orvtest::Sphere(23, 23), true},
        {"sphere2k", t ? orvtest::Sphere(6, 5) : orvtest::Sphere(32, 32), true},
        {"sphere4k", t ? orvtest::Sphere(7, 5) : orvtest::Sphere(45, 45), false},
        {"demo", orvtest::DemoTriangles(), true},
    };
    if (!t) {
        const std::string dir = std::string(orvtest::kAssimpModelsDir) + "/OBJ/";
        out.push_back({"spider", orvtest::ImportTriangles(dir + "spider.obj"), true});
        out.push_back({"wuson", orvtest::ImportTriangles(dir + "WusonOBJ.obj"), true});
    }
    if (large()) {
        const std::string house = std::string(orvtest::kAssimpModelsDir) + "/IFC/AC14-FZK-Haus.ifc";
        out.push_back({"ifchouse", orvtest::ImportTriangles(house), false, true});
        out.push_back({"terrain100k", orvtest::Terrain(224), false, true});
        out.push_back({"terrain1m", orvtest::Terrain(708), false, true});
    } else {
        out.push_back({"terrain8k", orvtest::Terrain(t ? 6 : 64), true, true});
    }
    return out;
}

// The plain build's classifications for a tree without cuts, from
// its nodes: a node whose subtree holds m triangles scored m candidates
// against m - 1 others and sorted m - 1.
double chainClassifications(const BSPTree& tree) {
    std::vector<const BSPNode*> order;
    tree.VisitNodes([&](const BSPNode& node, uint32_t) { order.push_back(&node); });
    // Children come after their parent in visiting order: sum subtrees backwards.
    std::unordered_map<const BSPNode*, size_t> held;
    double total = 0.0;
    for (size_t i = order.size(); i-- > 0;) {
        const BSPNode* pNode = order[i];
        size_t m = pNode->mTriList.size();
        if (pNode->mpFront != nullptr) m += held[pNode->mpFront];
        if (pNode->mpBack != nullptr) m += held[pNode->mpBack];
        held[pNode] = m;
        if (m > 1) total += static_cast<double>(m) * static_cast<double>(m - 1) + (m - 1);
    }
    return total;
}

size_t storedBytes(const BSPTree& tree) {
    size_t stored = 0;
    tree.VisitNodes([&](const BSPNode& node, uint32_t) { stored += node.mTriList.size(); });
    return stored * sizeof(Triangle);
}

void report(benchmark::State& state, const BSPTree& tree, const Input& in) {
    state.counters["input"] = static_cast<double>(in.tris.size());
    state.counters["stored"] = static_cast<double>(storedBytes(tree) / sizeof(Triangle));
    state.counters["depth"] = static_cast<double>(tree.Depth());
}

// Builds the input as settings say, once per iteration, and reports the
// classifications made per build and the build's peak memory.
void build(benchmark::State& state, Input* pIn, BSPBuildSettings settings) {
    BSPTree tree;
    size_t peak = 0;
    BSPBuildWork work;
    settings.pWork = &work;
    for (auto _ : state) {
        tree.Clear();
        const size_t before = orvbench::HeapNow();
        orvbench::ResetHeapPeak();
        tree.Build(pIn->tris, settings);
        peak = orvbench::HeapPeak() - before;
        benchmark::DoNotOptimize(tree.Root());
    }
    report(state, tree, *pIn);
    const double iterations = static_cast<double>(state.iterations());
    state.counters["scored"] = static_cast<double>(work.scored) / iterations;
    state.counters["carried"] = static_cast<double>(work.carried) / iterations;
    state.counters["boxes"] = static_cast<double>(work.boxes) / iterations;
    // The rate counts the plain build's classifications: searching and sorting.
    if (settings.search == SplitterSearch::Plain)
        pIn->classified = static_cast<double>(work.scored + work.sorted) / iterations;
    if (pIn->classified == 0.0) pIn->classified = chainClassifications(tree);
    state.counters["classified/s"] =
        benchmark::Counter(pIn->classified, benchmark::Counter::kIsIterationInvariantRate);
    state.counters["peak/stored"] =
        static_cast<double>(peak) / static_cast<double>(storedBytes(tree));
}

void buildPlain(benchmark::State& state, Input* pIn) {
    BSPBuildSettings settings;
    settings.search = SplitterSearch::Plain;
    settings.threads = 1;
    build(state, pIn, settings);
}

void buildFast(benchmark::State& state, Input* pIn, unsigned threads, size_t candidates) {
    BSPBuildSettings settings;
    settings.threads = threads;
    settings.candidates = candidates;
    // ORV_BENCH_GROUPS_MIN=N moves where counting in boxes starts, to measure
    // where it pays.
    if (const char* pMin = std::getenv("ORV_BENCH_GROUPS_MIN"))
        settings.groupsMin = std::strtoull(pMin, nullptr, 10);
    build(state, pIn, settings);
}

// The search's own ceiling: every candidate of a list scored in full (a
// negative weight rules out every shortcut), n (n - 1) classifications.
void searchFull(benchmark::State& state, const Input* pIn) {
    BSPBuildSettings settings;
    settings.balanceWeight = -1.0f;
    settings.threads = static_cast<unsigned>(state.range(0));
    std::vector<Triangle> list;
    for (const Triangle& tri : pIn->tris)
        if (!IsDegenerate(tri)) list.push_back(tri);
    size_t index = 0;
    for (auto _ : state) {
        index = BSPTree::ChooseSplitterIndex(list, settings);
        benchmark::DoNotOptimize(index);
    }
    const double n = static_cast<double>(list.size());
    state.counters["classified/s"] =
        benchmark::Counter(n * (n - 1.0), benchmark::Counter::kIsIterationInvariantRate);
}

void walkTree(benchmark::State& state, const Input* pIn) {
    BSPTree tree;
    tree.Build(pIn->tris, BSPBuildSettings());
    // Eyes around and inside the scene, as a moving camera gives them.
    const ORV::Vec3 eyes[] = {ORV::Vec3(0.0f, 0.0f, 6.0f), ORV::Vec3(4.0f, -3.0f, 1.0f),
                              ORV::Vec3(-2.0f, 5.0f, -3.0f), ORV::Vec3(0.1f, 0.2f, 0.3f)};
    size_t frame = 0;
    for (auto _ : state) {
        float sum = 0.0f;
        tree.Walk(eyes[frame++ % 4], [&](const Triangle& tri) { sum += tri.mPos[0].x; });
        benchmark::DoNotOptimize(sum);
    }
    report(state, tree, *pIn);
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(state.counters["stored"]));
}

}  // namespace

int main(int argc, char** argv) {
    static std::vector<Input> sInputs = inputs();
    for (Input& in : sInputs) {
        if (in.tris.empty()) continue;
        // The plain build runs first, so the fast builds can quote its count.
        std::vector<benchmark::internal::Benchmark*> builds;
        if (in.plain)
            builds.push_back(benchmark::RegisterBenchmark(("Build/" + in.name + "/plain").c_str(),
                                                          buildPlain, &in));
        for (unsigned threads : {1u, 2u}) {
            const std::string name = "Build/" + in.name + "/fast" + std::to_string(threads);
            builds.push_back(
                benchmark::RegisterBenchmark(name.c_str(), buildFast, &in, threads, size_t{0}));
        }
        if (in.bounded) {
            for (unsigned threads : {1u, 2u}) {
                const std::string name =
                    "Build/" + in.name + "/bounded64x" + std::to_string(threads);
                builds.push_back(benchmark::RegisterBenchmark(name.c_str(), buildFast, &in, threads,
                                                              size_t{64}));
            }
        }
        for (auto* b : builds) {
            b->Unit(benchmark::kMillisecond);
            b->UseRealTime();
        }
        if (in.plain || large()) builds[0]->Iterations(1);
        if (large())
            for (auto* b : builds) b->Iterations(1);
        if (in.name == "torus4k") {
            auto* f = benchmark::RegisterBenchmark("Search/torus4k/full", searchFull, &in);
            f->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();
            if (tiny()) f->Iterations(1);
        }
        auto* w = benchmark::RegisterBenchmark(("Walk/" + in.name).c_str(), walkTree, &in);
        w->Unit(benchmark::kMicrosecond);
        if (tiny()) {
            for (auto* b : builds) b->Iterations(1);
            w->Iterations(1);
        }
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
