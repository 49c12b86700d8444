// ORV_LoopWeb.cpp - how a run ends on the web: the frame loop is the
// browser's (one call per animation frame), and a failure report stays on
// the page while the program stops for good.
#include "ORV_Platform.h"

#include <emscripten.h>

namespace ORV {
namespace Platform {

namespace {

bool (*spFrame)() = nullptr;
int (*spFinish)() = nullptr;

// How the program ended, for the page: its status, and whether a report
// ended it (the report's text is then the last the console printed).
EM_JS(void, orvEnded, (int status, int report), {
    if (Module["onEnded"]) Module["onEnded"](status, !!report);
});

[[noreturn]] void endProgram(int status, bool report) {
    fflush(stdout);
    fflush(stderr);
    orvEnded(status, report ? 1 : 0);
    // Ends the runtime even though the page keeps it alive for the loop:
    // nothing of the program runs after this, and the page's handlers of
    // the program are dropped.
    emscripten_force_exit(status);
    __builtin_unreachable();
}

void onAnimationFrame() {
    if (spFrame()) return;
    emscripten_cancel_main_loop();
    endProgram(spFinish(), false);
}

}  // namespace

int RunLoop(bool (*pFrame)(), int (*pFinish)()) {
    spFrame = pFrame;
    spFinish = pFinish;
    // Paced by the browser (0 frames per second: at its display's rate);
    // the call never returns, and main's frame stays where it is.
    emscripten_set_main_loop(onAnimationFrame, 0, 1);
    return 0;
}

void EndAfterReport() {
    if (spFrame != nullptr) emscripten_cancel_main_loop();
    endProgram(1, true);
}

}  // namespace Platform
}  // namespace ORV
