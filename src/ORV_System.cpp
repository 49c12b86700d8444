// ORV_System.cpp - the System singleton and what its window's life shares on
// every platform: creation, the title's copy, and the window's end. Opening
// the window, the console and the frame's bracket are the platform's
// (ORV_WindowDesktop.cpp, ORV_WindowWeb.cpp).
#include "ORV_Platform.h"

#define GLFW_INCLUDE_NONE
#include <GLFW/glfw3.h>

#include <cstring>

namespace ORV {

System* spSystem = nullptr;

System* System::Instance() {
    if (spSystem == nullptr) spSystem = new System();
    ORV_STD_ASSERT(spSystem);
    return spSystem;
}

void System::Destroy() {
    if (spSystem == nullptr) return;
    delete spSystem;
    spSystem = nullptr;
}

System::System()
    : mhInstance(nullptr),
      mpWinTitle(nullptr),
      mpClassName(nullptr),
      mpWindow(nullptr),
      mWidth(0),
      mHeight(0),
      mRunning(false),
      mActive(false),
      mTargetRate(60),
      mTargetFrameTime(0.0),
      mFrameCounter(0),
      mFrameRate(0),
      mFrameTime(0.0),
      mFrameStart(0.0),
      mFrameNow(0.0) {
    SetFrameRate(60);
}

System::~System() {
    if (mpWindow) glfwDestroyWindow(mpWindow);
    mpWindow = nullptr;
    glfwTerminate();  // harmless when GLFW was never initialised
    delete[] mpClassName;
    mpClassName = mpWinTitle = nullptr;
}

void System::keepTitle(void* hInstance, const char* pTitle, uint32_t width, uint32_t height) {
    mWidth = width;
    mHeight = height;
    mhInstance = hInstance;
    if (pTitle == nullptr) pTitle = "NONAME";

    delete[] mpClassName;  // a repeated call replaces the title
    size_t len = std::strlen(pTitle);
    mpClassName = mpWinTitle = new char[len + 1];
    ORV_STD_ASSERT(mpWinTitle);
    std::memcpy(mpWinTitle, pTitle, len + 1);

    if (mpWindow) {
        glfwDestroyWindow(mpWindow);
        mpWindow = nullptr;
    }
    mRunning = false;
}

}  // namespace ORV
