// main.cpp - the entry point: start-up, the frame loop's pass and shutdown,
// on every platform (the platform runs the loop: Platform::RunLoop). All
// that the user sees is done by the game state's hooks (GameState.h).
#include "GameState.h"
#include "ORV.h"
#include "ORV_Platform.h"

#include <GL/glew.h>

static const char* const kTitle = "Orvane";
static const uint32_t kWidth = 800;
static const uint32_t kHeight = 600;
static const uint8_t kKeyEscape = 27;

static ORV::System* spSystem = nullptr;
static ORV::Input* spInput = nullptr;

// One pass of the frame loop; false once the loop is to end: the window was
// closed, or Escape went down in this frame, which is tested after the whole
// frame so that the frame it went down in is shown.
static bool runFrame() {
    if (!spSystem->IsRunning()) return false;
    spSystem->BeginFrame();
    spInput->Update();
    gpGameStateUpdate();
    gpGameStateDraw();
    spSystem->EndFrame();
    return !spInput->KeyTriggered(kKeyEscape);
}

static int shutDown() {
    printf("\n");  // ends the status line
    gpGameStateFree();
    gpGameStateUnload();
    ORV::System::Destroy();
    ORV::Input::Destroy();
    return 0;
}

// A game state that takes no arguments leaves this default in place.
__attribute__((weak)) int gameStateCommandLine(int, char**) { return -1; }

int main(int argc, char** argv) {
    int status = gameStateCommandLine(argc, argv);
    if (status >= 0) return status;

    spSystem = ORV::System::Instance();
    spInput = ORV::Input::Instance();
    ORV_STD_ASSERT(spSystem && spInput);

    if (!spSystem->InitWindow(nullptr, kTitle, kWidth, kHeight)) ORV_HALT("Cannot create window!!");
    if (!spSystem->InitConsole(kTitle)) ORV_HALT("Cannot create console!!");
    if (glewInit() != GLEW_OK) ORV_HALT("fail to initialize GLEW!!");
    if (!GLEW_VERSION_2_0) ORV_HALT("OpenGL 2.0 is not supported!!");

    gameStateRegister();
    // A hook left unset would crash at its first call; say which table is wrong.
    ORV_ASSERT(gpGameStateLoad && gpGameStateInit && gpGameStateUpdate && gpGameStateDraw &&
               gpGameStateFree && gpGameStateUnload);
    gpGameStateLoad();
    gpGameStateInit();
    return ORV::Platform::RunLoop(runFrame, shutDown);
}
