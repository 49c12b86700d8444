// WrongPixels.h - where a painter's picture differs from the depth buffer's
// picture of the same triangles, counted, and shown: the painter's picture
// dimmed, every wrong pixel in a colour that stands out. Plain bytes, no GL:
// the pictures come from a colour read-back, which every GL has.
#ifndef BSP_WRONG_PIXELS_H
#define BSP_WRONG_PIXELS_H

#include <cstddef>
#include <cstdint>
#include <vector>

namespace pixels {

// A flat colour interpolated over differently shaped pieces can round a
// channel by one: channels this close count as the same.
constexpr int CHANNEL_TOLERANCE = 2;

// The pictures' background, 0.25 grey, as a byte in every channel.
constexpr uint8_t BACKGROUND_BYTE = 64;

// What a wrong pixel is shown in (RGB), and how much of the painter's
// picture is kept under it.
constexpr uint8_t WRONG_RGB[3] = {255, 0, 255};
constexpr int DIM_PERCENT = 40;

// True when the red, green or blue of the RGBA pixels at a and b differ by
// more than tolerance.
inline bool Differ(const uint8_t* a, const uint8_t* b, int tolerance = CHANNEL_TOLERANCE) {
    for (int c = 0; c < 3; ++c) {
        const int d = int(a[c]) - int(b[c]);
        if (d > tolerance || d < -tolerance) return true;
    }
    return false;
}

// True when the RGBA pixel at p is the background.
inline bool IsBackground(const uint8_t* p) {
    return p[0] == BACKGROUND_BYTE && p[1] == BACKGROUND_BYTE && p[2] == BACKGROUND_BYTE;
}

struct Count {
    size_t wrong = 0;  // pixels that differ
    size_t scene = 0;  // pixels that are not the background in either picture
    size_t total = 0;  // pixels compared
    double OfPicture() const { return total ? double(wrong) / double(total) : 0.0; }
    double OfScene() const { return scene ? double(wrong) / double(scene) : 0.0; }
};

// Compares the RGBA pictures painted and truth, pixel by pixel (a picture
// of another size than painted's counts every pixel of painted wrong). With
// pMarked, that gets painted's pixels dimmed to DIM_PERCENT, and the wrong
// ones in WRONG_RGB, all opaque (resized to painted's size, its storage
// reused).
Count Mark(const std::vector<uint8_t>& painted, const std::vector<uint8_t>& truth,
           std::vector<uint8_t>* pMarked = nullptr);

}  // namespace pixels

#endif  // BSP_WRONG_PIXELS_H
