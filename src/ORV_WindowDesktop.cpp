// ORV_WindowDesktop.cpp - the desktop's window (GLFW on X11), its GL context,
// the terminal as the console, the event pump and the frame pacing.
#include "ORV_Platform.h"

#include <GL/glew.h>
#define GLFW_INCLUDE_NONE
#include <GLFW/glfw3.h>
#include <unistd.h>

namespace ORV {

// Like a process's console: bound once, never released.
static bool sConsoleBound = false;

// GLFW reports through this callback only. It stays quiet during a run; the
// last message explains a failed InitWindow on standard error.
static char sGlfwError[256];

static void onGlfwError(int code, const char* pDescription) {
    snprintf(sGlfwError, sizeof(sGlfwError), "GLFW error 0x%x: %s", code,
             pDescription ? pDescription : "");
}

// A close request (close button, window manager) ends the run like the
// window's destruction would; the window itself stays until Destroy.
static void onClose(GLFWwindow*) {
    if (spSystem) spSystem->mRunning = false;
}

static void onFocus(GLFWwindow*, int focused) {
    if (spSystem) spSystem->mActive = (focused == GLFW_TRUE);
}

namespace Platform {

// GLFW's state is per window and as of the last event poll.
bool WindowKeyProbe(const KeyMapping& key) {
    GLFWwindow* pWindow = spSystem ? spSystem->mpWindow : nullptr;
    if (pWindow == nullptr) return false;
    int state = key.mouseButton ? glfwGetMouseButton(pWindow, key.glfwCode)
                                : glfwGetKey(pWindow, key.glfwCode);
    return state == GLFW_PRESS;
}

int CentredOrigin(int screenPos, int screen, uint32_t size) {
    const int64_t origin =
        screenPos + (static_cast<int64_t>(screen) - static_cast<int64_t>(size)) / 2;
    return static_cast<int>(Clamp<int64_t>(origin, INT32_MIN, INT32_MAX));
}
}  // namespace Platform

bool System::InitWindow(void* hInstance, const char* pTitle, uint32_t width, uint32_t height) {
    keepTitle(hInstance, pTitle, width, height);

    sGlfwError[0] = '\0';
    glfwSetErrorCallback(onGlfwError);
    if (glfwInit() != GLFW_TRUE) {
        if (sGlfwError[0]) fprintf(stderr, "%s\n", sGlfwError);
        return false;
    }

    // No context version is requested: the driver's compatibility context
    // keeps the fixed-function calls, and the 2.0 check comes after GLEW.
    glfwDefaultWindowHints();
    glfwWindowHint(GLFW_CLIENT_API, GLFW_OPENGL_API);
    glfwWindowHint(GLFW_RED_BITS, 8);
    glfwWindowHint(GLFW_GREEN_BITS, 8);
    glfwWindowHint(GLFW_BLUE_BITS, 8);
    glfwWindowHint(GLFW_ALPHA_BITS, 8);
    glfwWindowHint(GLFW_DEPTH_BITS, 24);
    glfwWindowHint(GLFW_STENCIL_BITS, 8);
    glfwWindowHint(GLFW_DOUBLEBUFFER, GLFW_TRUE);
    glfwWindowHint(GLFW_RESIZABLE, GLFW_TRUE);
    glfwWindowHint(GLFW_VISIBLE, GLFW_FALSE);
    glfwWindowHintString(GLFW_X11_CLASS_NAME, mpClassName);
    glfwWindowHintString(GLFW_X11_INSTANCE_NAME, mpClassName);

    // GLFW takes int sizes; anything larger cannot be a window.
    const uint32_t kMaxSide = 0x7fffffff;
    if (width > kMaxSide || height > kMaxSide) return false;
    mpWindow = glfwCreateWindow(static_cast<int>(width), static_cast<int>(height), mpWinTitle,
                                nullptr, nullptr);
    if (mpWindow == nullptr) {
        if (sGlfwError[0]) fprintf(stderr, "%s\n", sGlfwError);
        return false;
    }

    // The client area, not the frame, is centred (GLFW positions the client
    // area) on the primary monitor, wherever it lies on the desktop; a window
    // larger than the monitor starts before the monitor's corner.
    GLFWmonitor* pMonitor = glfwGetPrimaryMonitor();
    const GLFWvidmode* pMode = pMonitor ? glfwGetVideoMode(pMonitor) : nullptr;
    if (pMode) {
        int monitorX = 0;
        int monitorY = 0;
        glfwGetMonitorPos(pMonitor, &monitorX, &monitorY);
        glfwSetWindowPos(mpWindow, Platform::CentredOrigin(monitorX, pMode->width, width),
                         Platform::CentredOrigin(monitorY, pMode->height, height));
    }
    glfwSetWindowCloseCallback(mpWindow, onClose);
    glfwSetWindowFocusCallback(mpWindow, onFocus);
    mRunning = true;
    glfwShowWindow(mpWindow);

    glfwMakeContextCurrent(mpWindow);
    // The pacing holds the frame rate, not the display's vertical sync.
    glfwSwapInterval(0);
    return true;
}

bool System::HasImmediateMode() { return true; }

bool System::InitConsole(const char* pTitle) {
    if (sConsoleBound) return false;
    sConsoleBound = true;
    if (pTitle && isatty(STDOUT_FILENO)) {
        printf("\033]0;%s\007", pTitle);  // xterm: set the window title
        fflush(stdout);
    }
    return true;
}

void System::BeginFrame() {
    if (mpWindow) glfwMakeContextCurrent(mpWindow);
    ReadTimer(&mFrameStart);
}

void System::EndFrame() {
    if (mpWindow) glFinish();
    // Spin rather than sleep: a sleep overshoots by far more than the clock's
    // resolution. The clock is read at least once so mFrameTime is fresh.
    do {
        ReadTimer(&mFrameNow);
        mFrameTime = mFrameNow - mFrameStart;
    } while (mTargetFrameTime > mFrameTime);
    if (mpWindow) glfwSwapBuffers(mpWindow);
    ++mFrameCounter;
    if (mpWindow) glfwPollEvents();
    // A pipe holds output back; what the frame printed is shown now.
    fflush(stdout);
}

}  // namespace ORV
