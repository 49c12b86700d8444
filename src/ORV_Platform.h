// ORV_Platform.h - what the platform files (System, clock, Input) share among
// themselves and with their tests. Not part of the framework's interface.
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

// Replaces the probe Input::Update reads the keyboard through (by default, GLFW
// asked about the System's window) and returns the previous one; null restores
// the default. Tests use it to play a keyboard.
KeyProbe SetKeyProbe(KeyProbe probe);

}  // namespace Platform
}  // namespace ORV

#endif  // ORV_PLATFORM_H
