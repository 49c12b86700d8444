// The tree's construction and back-to-front walk on seeded soups and closed
// meshes. ORV_BENCH_TINY=1 shrinks every input and runs each case once.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "BSPTree.h"
#include "Shapes.h"

namespace {

bool tiny() {
    const char* p = std::getenv("ORV_BENCH_TINY");
    return p != nullptr && *p != '\0' && *p != '0';
}

struct Input {
    std::string name;
    std::vector<Triangle> tris;
};

std::vector<Input> inputs() {
    const bool t = tiny();
    return {
        {"soup1k", orvtest::RandomSoup(1, t ? 40 : 1000, 1.0f, 0.15f)},
        {"soup4k", orvtest::RandomSoup(2, t ? 80 : 4000, 1.0f, 0.15f)},
        {"torus4k", t ? orvtest::Torus(8, 4) : orvtest::Torus(64, 32)},
        // Convex: every splitter leaves the rest behind, so the tree is a chain.
        {"sphere2k", t ? orvtest::Sphere(6, 5) : orvtest::Sphere(32, 32)},
    };
}

void report(benchmark::State& state, const BSPTree& tree, size_t inputNum) {
    size_t stored = 0;
    tree.VisitNodes([&](const BSPNode& node, uint32_t) { stored += node.mTriList.size(); });
    state.counters["input"] = static_cast<double>(inputNum);
    state.counters["stored"] = static_cast<double>(stored);
    state.counters["depth"] = static_cast<double>(tree.Depth());
}

void buildTree(benchmark::State& state, const std::vector<Triangle>* pTris) {
    BSPTree tree;
    for (auto _ : state) {
        tree.Build(*pTris);
        benchmark::DoNotOptimize(tree.Root());
    }
    report(state, tree, pTris->size());
}

void walkTree(benchmark::State& state, const std::vector<Triangle>* pTris) {
    BSPTree tree;
    tree.Build(*pTris);
    // Eyes around and inside the scene, as a moving camera gives them.
    const ORV::Vec3 eyes[] = {ORV::Vec3(0.0f, 0.0f, 6.0f), ORV::Vec3(4.0f, -3.0f, 1.0f),
                              ORV::Vec3(-2.0f, 5.0f, -3.0f), ORV::Vec3(0.1f, 0.2f, 0.3f)};
    size_t frame = 0;
    for (auto _ : state) {
        float sum = 0.0f;
        tree.Walk(eyes[frame++ % 4], [&](const Triangle& tri) { sum += tri.mPos[0].x; });
        benchmark::DoNotOptimize(sum);
    }
    report(state, tree, pTris->size());
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(state.counters["stored"]));
}

}  // namespace

int main(int argc, char** argv) {
    static const std::vector<Input> sInputs = inputs();
    for (const Input& in : sInputs) {
        auto* b = benchmark::RegisterBenchmark(("Build/" + in.name).c_str(), buildTree, &in.tris);
        auto* w = benchmark::RegisterBenchmark(("Walk/" + in.name).c_str(), walkTree, &in.tris);
        b->Unit(benchmark::kMillisecond);
        w->Unit(benchmark::kMicrosecond);
        if (tiny()) {
            b->Iterations(1);
            w->Iterations(1);
        }
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
