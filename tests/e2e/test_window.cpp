// The System's window and the Input's cursor on a real X display (window.sh
// runs this under its own Xvfb of 1280 x 1024, with no window manager).
#include <gtest/gtest.h>

#include <GL/glew.h>
#define GLFW_INCLUDE_NONE
#include <GLFW/glfw3.h>
#define GLFW_EXPOSE_NATIVE_X11
#include <GLFW/glfw3native.h>
#include <X11/Xlib.h>

#include <chrono>
#include <functional>
#include <string>

#include "ORV.h"

namespace {

class Window : public ::testing::Test {
protected:
    void TearDown() override {
        ORV::Input::Destroy();
        ORV::System::Destroy();
    }

    ORV::System* open(const char* pTitle, uint32_t width, uint32_t height) {
        ORV::System* pSystem = ORV::System::Instance();
        EXPECT_TRUE(pSystem->InitWindow(nullptr, pTitle, width, height));
        return pSystem;
    }

    // Pumps events until the condition holds; false after 20 seconds (the X
    // server of a loaded machine can take its time to answer).
    static bool pollUntil(const std::function<bool()>& cond) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (std::chrono::steady_clock::now() < deadline) {
            if (cond()) return true;
            glfwWaitEventsTimeout(0.01);
        }
        return cond();
    }

    static void origin(ORV::System* pSystem, int* pX, int* pY) {
        glfwGetWindowPos(pSystem->Window(), pX, pY);
    }
};

TEST_F(Window, ClientAreaHasTheRequestedSizeAndIsCentred) {
    ORV::System* pSystem = open("Orvane", 800, 600);
    ASSERT_NE(pSystem->Window(), nullptr);
    ASSERT_NE(pSystem->Window(), nullptr);
    EXPECT_TRUE(pSystem->IsRunning());
    Display* pDisplay = glfwGetX11Display();
    ASSERT_EQ(DisplayWidth(pDisplay, DefaultScreen(pDisplay)), 1280);
    ASSERT_EQ(DisplayHeight(pDisplay, DefaultScreen(pDisplay)), 1024);

    int w = 0, h = 0, x = 0, y = 0;
    glfwGetWindowSize(pSystem->Window(), &w, &h);
    origin(pSystem, &x, &y);
    EXPECT_EQ(w, 800);
    EXPECT_EQ(h, 600);
    EXPECT_EQ(x, 240);
    EXPECT_EQ(y, 212);
    // The GL context is current, double-buffered, with the buffers asked for.
    ASSERT_EQ(glfwGetCurrentContext(), pSystem->Window());
    GLboolean doubleBuffer = GL_FALSE;
    GLint depthBits = 0, stencilBits = 0;
    glGetBooleanv(GL_DOUBLEBUFFER, &doubleBuffer);
    glGetIntegerv(GL_DEPTH_BITS, &depthBits);
    glGetIntegerv(GL_STENCIL_BITS, &stencilBits);
    EXPECT_EQ(doubleBuffer, GL_TRUE);
    EXPECT_GE(depthBits, 24);
    EXPECT_GE(stencilBits, 8);
}

TEST_F(Window, NullTitleNamesTheWindowNONAME) {
    ORV::System* pSystem = open(nullptr, 320, 240);
    ASSERT_NE(pSystem->Window(), nullptr);
    EXPECT_STREQ(pSystem->mpWinTitle, "NONAME");
    EXPECT_EQ(pSystem->mpClassName, pSystem->mpWinTitle);
    char* pName = nullptr;
    ASSERT_NE(XFetchName(glfwGetX11Display(), glfwGetX11Window(pSystem->Window()), &pName), 0);
    EXPECT_STREQ(pName, "NONAME");
    XFree(pName);
}

TEST_F(Window, LargerThanTheScreenGetsANegativeOrigin) {
    ORV::System* pSystem = open("Big", 1400, 1101);
    ASSERT_NE(pSystem->Window(), nullptr);
    int x = 0, y = 0;
    origin(pSystem, &x, &y);
    EXPECT_EQ(x, -60);
    EXPECT_EQ(y, -38);  // -77 / 2 rounds toward zero
}

TEST_F(Window, ResizingLeavesTheRequestedSize) {
    ORV::System* pSystem = open("Orvane", 800, 600);
    ASSERT_NE(pSystem->Window(), nullptr);
    glfwSetWindowSize(pSystem->Window(), 300, 200);
    ASSERT_TRUE(pollUntil([&] {
        int w = 0, h = 0;
        glfwGetWindowSize(pSystem->Window(), &w, &h);
        return w == 300 && h == 200;
    }));
    EXPECT_EQ(pSystem->Width(), 800u);
    EXPECT_EQ(pSystem->Height(), 600u);
}

TEST_F(Window, FocusSetsAndClearsActive) {
    ORV::System* pSystem = open("Orvane", 400, 300);
    ASSERT_NE(pSystem->Window(), nullptr);
    ASSERT_TRUE(pollUntil([&] { return pSystem->mActive; })) << "a shown window takes the focus";

    glfwDefaultWindowHints();
    GLFWwindow* pOther = glfwCreateWindow(100, 100, "Other", nullptr, nullptr);
    ASSERT_NE(pOther, nullptr);
    glfwFocusWindow(pOther);
    EXPECT_TRUE(pollUntil([&] { return !pSystem->mActive; }));
    glfwFocusWindow(pSystem->Window());
    EXPECT_TRUE(pollUntil([&] { return pSystem->mActive; }));
    glfwDestroyWindow(pOther);
}

TEST_F(Window, MouseMovementIsInClientPixelsFromZeroZero) {
    ORV::System* pSystem = open("Orvane", 800, 600);
    ASSERT_NE(pSystem->Window(), nullptr);
    ORV::Input* pInput = ORV::Input::Instance();

    glfwSetCursorPos(pSystem->Window(), 37, 21);
    pInput->Update();
    EXPECT_EQ(pInput->MouseDX(), 37) << "the previous position starts at 0, 0";
    EXPECT_EQ(pInput->MouseDY(), 21);

    pInput->Update();
    EXPECT_EQ(pInput->MouseDX(), 0);
    EXPECT_EQ(pInput->MouseDY(), 0);

    glfwSetCursorPos(pSystem->Window(), 50, 10);
    pInput->Update();
    EXPECT_EQ(pInput->MouseDX(), 13);
    EXPECT_EQ(pInput->MouseDY(), -11);

    // Outside the window the position goes on, in client coordinates.
    glfwSetCursorPos(pSystem->Window(), -40, 700);
    pInput->Update();
    EXPECT_EQ(pInput->MouseDX(), -90);
    EXPECT_EQ(pInput->MouseDY(), 690);
}

TEST_F(Window, FramesArePacedAndCountedWithAWindow) {
    ORV::System* pSystem = open("Orvane", 200, 100);
    ASSERT_NE(pSystem->Window(), nullptr);
    for (uint32_t i = 1; i <= 5; ++i) {
        pSystem->BeginFrame();
        pSystem->EndFrame();
        EXPECT_EQ(ORV::FrameCounter(), i);
        EXPECT_GE(ORV::FrameTime(), 1.0 / 60.0);
    }
    EXPECT_TRUE(pSystem->IsRunning());
}

}  // namespace
