// ORV_Input.cpp - the keyboard and mouse snapshot, and the table that turns
// GLFW's key and button names into Windows virtual-key codes.
#include "ORV_Platform.h"

#define GLFW_INCLUDE_NONE
#include <GLFW/glfw3.h>

#include <cstring>

namespace ORV {

static Input* spInput = nullptr;
static const size_t kKeyStateNum = 256;

namespace Platform {

// The table keeps its rows by key family.
// clang-format off
#define KEY(glfw, vk) {GLFW_KEY_##glfw, false, vk}
#define BUTTON(glfw, vk) {GLFW_MOUSE_BUTTON_##glfw, true, vk}

const KeyMapping kKeyMap[] = {
    BUTTON(LEFT, 1), BUTTON(RIGHT, 2), BUTTON(MIDDLE, 4),
    KEY(BACKSPACE, 8), KEY(TAB, 9), KEY(ENTER, 13), KEY(KP_ENTER, 13),
    // The generic Shift, Control and Alt codes are down for either side.
    KEY(LEFT_SHIFT, 16), KEY(RIGHT_SHIFT, 16),
    KEY(LEFT_CONTROL, 17), KEY(RIGHT_CONTROL, 17),
    KEY(LEFT_ALT, 18), KEY(RIGHT_ALT, 18),
    KEY(PAUSE, 19), KEY(CAPS_LOCK, 20), KEY(ESCAPE, 27), KEY(SPACE, 32),
    KEY(PAGE_UP, 33), KEY(PAGE_DOWN, 34), KEY(END, 35), KEY(HOME, 36),
    KEY(LEFT, 37), KEY(UP, 38), KEY(RIGHT, 39), KEY(DOWN, 40),
    KEY(INSERT, 45), KEY(DELETE, 46),
    KEY(0, 48), KEY(1, 49), KEY(2, 50), KEY(3, 51), KEY(4, 52),
    KEY(5, 53), KEY(6, 54), KEY(7, 55), KEY(8, 56), KEY(9, 57),
    KEY(A, 65), KEY(B, 66), KEY(C, 67), KEY(D, 68), KEY(E, 69), KEY(F, 70),
    KEY(G, 71), KEY(H, 72), KEY(I, 73), KEY(J, 74), KEY(K, 75), KEY(L, 76),
    KEY(M, 77), KEY(N, 78), KEY(O, 79), KEY(P, 80), KEY(Q, 81), KEY(R, 82),
    KEY(S, 83), KEY(T, 84), KEY(U, 85), KEY(V, 86), KEY(W, 87), KEY(X, 88),
    KEY(Y, 89), KEY(Z, 90),
    KEY(KP_0, 96), KEY(KP_1, 97), KEY(KP_2, 98), KEY(KP_3, 99), KEY(KP_4, 100),
    KEY(KP_5, 101), KEY(KP_6, 102), KEY(KP_7, 103), KEY(KP_8, 104), KEY(KP_9, 105),
    // 108, the keypad separator, has no GLFW key.
    KEY(KP_MULTIPLY, 106), KEY(KP_ADD, 107), KEY(KP_SUBTRACT, 109),
    KEY(KP_DECIMAL, 110), KEY(KP_DIVIDE, 111),
    KEY(F1, 112), KEY(F2, 113), KEY(F3, 114), KEY(F4, 115), KEY(F5, 116), KEY(F6, 117),
    KEY(F7, 118), KEY(F8, 119), KEY(F9, 120), KEY(F10, 121), KEY(F11, 122), KEY(F12, 123),
    KEY(LEFT_SHIFT, 160), KEY(RIGHT_SHIFT, 161),
    KEY(LEFT_CONTROL, 162), KEY(RIGHT_CONTROL, 163),
    KEY(LEFT_ALT, 164), KEY(RIGHT_ALT, 165),
};
// clang-format on
const size_t kKeyMapNum = sizeof(kKeyMap) / sizeof(kKeyMap[0]);

#undef KEY
#undef BUTTON

static KeyProbe sKeyProbe = WindowKeyProbe;

KeyProbe SetKeyProbe(KeyProbe probe) {
    KeyProbe previous = sKeyProbe;
    sKeyProbe = probe ? probe : WindowKeyProbe;
    return previous;
}

void FillKeyState(uint8_t* pState, KeyProbe probe) {
    std::memset(pState, 0, kKeyStateNum);
    for (size_t i = 0; i < kKeyMapNum; ++i) {
        if (probe(kKeyMap[i])) pState[kKeyMap[i].vk] = 0x80;
    }
}

}  // namespace Platform

Input* Input::Instance() {
    if (spInput == nullptr) spInput = new Input();
    ORV_STD_ASSERT(spInput);
    return spInput;
}

void Input::Destroy() {
    if (spInput == nullptr) return;
    delete spInput;
    spInput = nullptr;
}

Input::Input()
    : mpKeyStateCurr(new uint8_t[kKeyStateNum]),
      mpKeyStatePrev(new uint8_t[kKeyStateNum]),
      mMouseX(0),
      mMouseY(0),
      mMouseDX(0),
      mMouseDY(0) {
    ORV_STD_ASSERT(mpKeyStateCurr && mpKeyStatePrev);
    std::memset(mpKeyStateCurr, 0, kKeyStateNum);
    std::memset(mpKeyStatePrev, 0, kKeyStateNum);
}

Input::~Input() {
    delete[] mpKeyStateCurr;
    delete[] mpKeyStatePrev;
    mpKeyStateCurr = mpKeyStatePrev = nullptr;
}

void Input::Update() {
    std::memcpy(mpKeyStatePrev, mpKeyStateCurr, kKeyStateNum);
    Platform::FillKeyState(mpKeyStateCurr, Platform::sKeyProbe);

    GLFWwindow* pWindow = spSystem ? spSystem->mpWindow : nullptr;
    if (pWindow == nullptr) {
        mMouseX = mMouseY = mMouseDX = mMouseDY = 0;
        return;
    }
    // Already client coordinates, also when the cursor is outside the window.
    double x = 0.0, y = 0.0;
    glfwGetCursorPos(pWindow, &x, &y);
    int32_t newX = static_cast<int32_t>(x);
    int32_t newY = static_cast<int32_t>(y);
    mMouseDX = newX - mMouseX;
    mMouseDY = newY - mMouseY;
    mMouseX = newX;
    mMouseY = newY;
}

}  // namespace ORV
