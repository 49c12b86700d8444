// GameStateProbe.cpp - a game state for the end-to-end tests of the entry
// point: one line per hook on standard output, and with every Update line
// what the frame sees of the frame figures and the input, and a reading of
// the steady clock that owes nothing to the program's own timer:
//
//   Load
//   Init
//   Update <FrameCounter> <FrameTime> <MouseDX> <MouseDY> <active> <clock>
//   Triggered <key code>          (one line per key that went down)
//   Draw
//   ...
//   Free
//   Unload
#include "GameState.h"
#include "ORV.h"

#include <GL/glew.h>

#include <chrono>

static void gameStateLoad() { printf("Load\n"); }

static void gameStateInit() { printf("Init\n"); }

static void gameStateUpdate() {
    ORV::Input* pInput = ORV::Input::Instance();
    std::chrono::duration<double> clock = std::chrono::steady_clock::now().time_since_epoch();
    // %.17g reads back as the same double, so 1/60 compares exactly.
    printf("Update %u %.17g %d %d %d %.9f\n", ORV::FrameCounter(), ORV::FrameTime(),
           pInput->MouseDX(), pInput->MouseDY(), ORV::System::Instance()->mActive ? 1 : 0,
           clock.count());
    for (int key = 0; key < 256; ++key) {
        if (pInput->KeyTriggered(static_cast<uint8_t>(key))) printf("Triggered %d\n", key);
    }
}

static void gameStateDraw() {
    glClearColor(0.2f, 0.4f, 0.6f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    ORV_GL_ERROR("");
    printf("Draw\n");
}

static void gameStateFree() { printf("Free\n"); }

static void gameStateUnload() { printf("Unload\n"); }

void gameStateRegister() {
    gpGameStateLoad = gameStateLoad;
    gpGameStateInit = gameStateInit;
    gpGameStateUpdate = gameStateUpdate;
    gpGameStateDraw = gameStateDraw;
    gpGameStateFree = gameStateFree;
    gpGameStateUnload = gameStateUnload;
}
