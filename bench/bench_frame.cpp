// The demo's frame: its update and draw hooks, as the entry point calls them,
// on the demo's own mesh in an 800x600 offscreen EGL context, finished on the
// GPU (glFinish) each time. The figure to watch is the time per frame with no
// exploration mode on, which the exploration features must leave alone; take
// it with --benchmark_min_time=5 --benchmark_repetitions=5. frame_wrong_pixels
// is the frame with key X's view on (two pictures drawn and read back).
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>

#include "DemoStart.h"
#include "Explorer.h"
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

// One frame with key down for the first time; it is up again after.
void press(uint8_t key) {
    ORV::Input* pInput = ORV::Input::Instance();
    pInput->mpKeyStateCurr[key] = 0x80;
    pInput->mpKeyStatePrev[key] = 0;
    gpGameStateUpdate();
    pInput->mpKeyStateCurr[key] = 0;
}

// Frames with the exploration keys given pressed before and again after.
void frames(benchmark::State& state, std::initializer_list<uint8_t> keys) {
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
    for (uint8_t key : keys) press(key);
    for (auto _ : state) {
        gpGameStateUpdate();
        gpGameStateDraw();
        glFinish();
    }
    for (uint8_t key : keys) press(key);
    std::fflush(stdout);
    dup2(saved, STDOUT_FILENO);
    close(saved);
    state.SetItemsProcessed(state.iterations());
}

}  // namespace

void frame(benchmark::State& state) { frames(state, {}); }
void frame_wrong_pixels(benchmark::State& state) { frames(state, {explore::KEY_WRONG}); }

BENCHMARK(frame)->Unit(benchmark::kMillisecond);
BENCHMARK(frame_wrong_pixels)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
