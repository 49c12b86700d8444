// ORV_WindowWeb.cpp - the web's window: the page's canvas through
// Emscripten's GLFW, a WebGL context under the legacy GL emulation, the page
// as the console (web/console.js), and the frame's bracket, paced by the
// browser.
#include "ORV_Platform.h"

#define GLFW_INCLUDE_NONE
#include <GLFW/glfw3.h>
#include <emscripten.h>

namespace ORV {

// Bound once, as the desktop's terminal is.
static bool sConsoleBound = false;

// The page counts the frames shown (its frame rate) and learns that the
// program draws.
EM_JS(void, orvFrameShown, (uint32_t counter), {
    if (Module["onFrame"]) Module["onFrame"](counter);
});

static void onFocus(GLFWwindow*, int focused) {
    if (spSystem) spSystem->mActive = (focused == GLFW_TRUE);
}

namespace Platform {

// Escape belongs to the page: the program never sees it down.
bool WindowKeyProbe(const KeyMapping& key) {
    GLFWwindow* pWindow = spSystem ? spSystem->mpWindow : nullptr;
    if (pWindow == nullptr || key.vk == 27) return false;
    int state = key.mouseButton ? glfwGetMouseButton(pWindow, key.glfwCode)
                                : glfwGetKey(pWindow, key.glfwCode);
    return state == GLFW_PRESS;
}

}  // namespace Platform

// The page's request to end the program (before it starts another one):
// the close request of a desktop window, so the loop ends after its frame
// and the shutdown runs.
extern "C" EMSCRIPTEN_KEEPALIVE void orvCloseRequest() {
    if (spSystem) spSystem->mRunning = false;
}

// The canvas is the page's: its place is the page's layout, and its size
// the one asked for. No alpha channel, so that what the program draws is
// what the page shows, whatever lies under the canvas.
bool System::InitWindow(void* hInstance, const char* pTitle, uint32_t width, uint32_t height) {
    keepTitle(hInstance, pTitle, width, height);
    if (glfwInit() != GLFW_TRUE) return false;
    glfwDefaultWindowHints();
    glfwWindowHint(GLFW_CLIENT_API, GLFW_OPENGL_API);
    glfwWindowHint(GLFW_ALPHA_BITS, 0);
    glfwWindowHint(GLFW_DEPTH_BITS, 24);
    glfwWindowHint(GLFW_STENCIL_BITS, 8);
    const uint32_t kMaxSide = 0x7fffffff;
    if (width > kMaxSide || height > kMaxSide) return false;
    mpWindow = glfwCreateWindow(static_cast<int>(width), static_cast<int>(height), mpWinTitle,
                                nullptr, nullptr);
    if (mpWindow == nullptr) return false;
    glfwSetWindowFocusCallback(mpWindow, onFocus);
    mRunning = true;
    mActive = true;
    glfwMakeContextCurrent(mpWindow);
    return true;
}

bool System::HasImmediateMode() { return false; }

bool System::InitConsole(const char*) {
    if (sConsoleBound) return false;
    sConsoleBound = true;
    return true;
}

// The browser calls each frame when it is due, so the frame's time is the
// time from the start of the frame before to the start of this one; the
// first frame takes the target's.
void System::BeginFrame() {
    double now = 0.0;
    ReadTimer(&now);
    if (mFrameCounter > 0) mFrameTime = now - mFrameStart;
    mFrameStart = now;
}

// No wait and no swap: the browser shows the canvas when the frame returns,
// and calls the next one at its display's pace.
void System::EndFrame() {
    ReadTimer(&mFrameNow);
    ++mFrameCounter;
    fflush(stdout);
    orvFrameShown(mFrameCounter);
}

}  // namespace ORV
