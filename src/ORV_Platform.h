// ORV_Platform.h - what the platform files (System, clock, Input) share among
// themselves and with their tests. Not part of the framework's interface.
//
// The program runs on two platforms, each a set of sibling files behind the
// declarations of ORV.h and of this header; the build compiles one set:
//   desktop  (*Desktop.cpp)  a GLFW window on X11, a terminal for the
//                            console, the frame loop paced by the program
//   web      (*Web.cpp)      the canvas of a web page through Emscripten's
//                            GLFW, the page for the console, the frame loop
//                            paced by the browser
// The files without a platform in their name serve both.
#ifndef ORV_PLATFORM_H
#define ORV_PLATFORM_H

#include "ORV.h"

#include <cstddef>
#include <cstdint>

namespace ORV {

// The System singleton; null until System::Instance and after System::Destroy.
// The queries and the Input read it directly so that they never create it.
extern System* spSystem;

namespace Platform {

// Runs the frame loop: pFrame once a frame until it returns false, then
// pFinish, whose result is the program's exit status. The desktop loops
// here and returns that status. The web hands pFrame to the browser, which
// calls it at its own pace, and never returns: the browser's call stack is
// where the program lives from then on, and pFinish's status ends it.
int RunLoop(bool (*pFrame)(), int (*pFinish)());

// The end of every failure report, once its text is out: on the desktop
// the key wait (only with a person at a terminal) and exit(1); on the web
// the report stays on the page and the program stops for good.
[[noreturn]] void EndAfterReport();

// Left (or top) coordinate that centres a span of `size` pixels on a screen
// span of `screen` pixels starting at screenPos (the screen's place on the
// desktop): screenPos + (screen - size) / 2 in signed arithmetic, rounding
// toward zero, and held within the range of int; before screenPos when the
// span is larger than the screen.
int CentredOrigin(int screenPos, int screen, uint32_t size);

// One row of the key-code table: a GLFW key (or mouse button) and the
// virtual-key code it sets. A virtual key may have several sources (both Shift
// keys set 16); a GLFW key may set several codes (left Shift sets 16 and 160).
struct KeyMapping {
    int glfwCode;
    bool mouseButton;  // glfwCode is a GLFW_MOUSE_BUTTON_*, not a GLFW_KEY_*
    uint8_t vk;
};
extern const KeyMapping kKeyMap[];
extern const size_t kKeyMapNum;

// Whether a mapped key or button is down now.
using KeyProbe = bool (*)(const KeyMapping& key);

// Sets the 256 key-state bytes: 0x80 for every code with at least one source
// the probe reports down, 0 for every other code (including unmapped ones).
void FillKeyState(uint8_t* pState, KeyProbe probe);

// The probe Input::Update reads by default: GLFW's state of the System's
// window, as of the last event poll; no key is down without a window. The
// web's never reports Escape, which belongs to the page (it leaves full
// screen and closes dialogs there), so it cannot end the page's program.
bool WindowKeyProbe(const KeyMapping& key);

// Replaces the probe Input::Update reads the keyboard through (by default, GLFW
// asked about the System's window) and returns the previous one; null restores
// the default. Tests use it to play a keyboard.
KeyProbe SetKeyProbe(KeyProbe probe);

}  // namespace Platform
}  // namespace ORV

#endif  // ORV_PLATFORM_H
