// Loading mesh text: a terrain of two million triangles written as orvane-bsp
// convert writes meshes, read back as the demo reads it (the file read, the
// tokenizer and the number conversion), and the tokenizer alone. Rates are in
// bytes of mesh text per second. ORV_BENCH_TINY=1 shrinks the terrain and runs
// each case once.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "MeshFiles.h"
#include "ORV_Mesh.h"
#include "ORV_TokenTree.h"
#include "Shapes.h"
#include "TempDir.h"

namespace {

bool tiny() {
    const char* p = std::getenv("ORV_BENCH_TINY");
    return p != nullptr && *p != '\0' && *p != '0';
}

struct Text {
    orvtest::TempDir dir;
    std::string path;
    std::string text;
    uint32_t triNum = 0;
};

Text& terrainText() {
    static Text sText;
    if (sText.path.empty()) {
        // 1000 cells a side: 2,000,000 triangles, about 330 MB of text.
        const std::vector<Triangle> tris = orvtest::Terrain(tiny() ? 20 : 1000);
        sText.triNum = static_cast<uint32_t>(tris.size());
        sText.text = orvtest::MeshText(tris);
        sText.path = sText.dir.Write("terrain.txt", sText.text);
    }
    return sText;
}

void counters(benchmark::State& state, const Text& t) {
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(t.text.size()));
    state.counters["MB"] = static_cast<double>(t.text.size()) / 1e6;
    state.counters["triangles"] = t.triNum;
}

// The demo's load: the file read whole, cut into tokens, its numbers
// converted, deindexed.
void loadFile(benchmark::State& state) {
    const Text& t = terrainText();
    for (auto _ : state) {
        std::unique_ptr<ORV::Mesh> pMesh(ORV::Mesh::Load(t.path.c_str(), true));
        if (pMesh == nullptr || pMesh->TriPosNum() != t.triNum) state.SkipWithError("no mesh");
        benchmark::DoNotOptimize(pMesh.get());
    }
    counters(state, t);
}

// The tokenizer alone, over a fresh copy of the text each time.
void tokenize(benchmark::State& state) {
    const Text& t = terrainText();
    std::vector<char> buffer(t.text.size() + 1);
    for (auto _ : state) {
        state.PauseTiming();
        std::copy(t.text.begin(), t.text.end(), buffer.begin());
        buffer.back() = '\0';
        state.ResumeTiming();
        ORV::TokenTree* pTree = ORV::TokenTree::Create(buffer.data());
        if (pTree == nullptr) state.SkipWithError("no tree");
        benchmark::DoNotOptimize(pTree);
        ORV::TokenTree::Destroy(pTree);
    }
    counters(state, t);
}

}  // namespace

int main(int argc, char** argv) {
    auto* pLoad = benchmark::RegisterBenchmark("Load/terrain", loadFile);
    auto* pTokens = benchmark::RegisterBenchmark("Tokenize/terrain", tokenize);
    for (auto* b : {pLoad, pTokens}) {
        b->Unit(benchmark::kMillisecond)->UseRealTime();
        b->Iterations(tiny() ? 1 : 3);
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
