// The demo's frame: its update and draw hooks, as the entry point calls them,
// on the demo's own mesh in an 800x600 offscreen EGL context, finished on the
// GPU (glFinish) each time. The figure to watch is the time per frame with no
// exploration mode on, which the exploration features must leave alone; take
// it with --benchmark_min_time=5 --benchmark_repetitions=5.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>

#include "DemoStart.h"
#include "GameState.h"
#include "ORV.h"
#include "OffscreenGL.h"

namespace {

constexpr int kWidth = 800, kHeight = 600;

// The status line goes to standard output every frame: it is sent to
// /dev/null while the frames run, and standard output comes back after.
// The context and the demo, loaded once for every run of the benchmark (the
// demo keeps its state in statics and never releases it).
bool startDemo() {
    static orvtest::OffscreenGL* spGL = nullptr;
    if (spGL != nullptr) return spGL->Ok();
    spGL = new orvtest::OffscreenGL(kWidth, kHeight);
    return spGL->Ok() && orvtest::StartDemo(kWidth, kHeight);
}

void frame(benchmark::State& state) {
    if (!startDemo()) {
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

}  // namespace

BENCHMARK(frame)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
