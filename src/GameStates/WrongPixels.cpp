// WrongPixels.cpp - the comparison of two pictures and the marked picture.
#include "WrongPixels.h"

namespace pixels {

Count Mark(const std::vector<uint8_t>& painted, const std::vector<uint8_t>& truth,
           std::vector<uint8_t>* pMarked) {
    Count count;
    const size_t n = painted.size() / 4;
    const bool comparable = truth.size() == painted.size();
    if (pMarked != nullptr) pMarked->resize(n * 4);
    for (size_t i = 0; i < n; ++i) {
        const uint8_t* p = &painted[4 * i];
        const bool wrong = !comparable || Differ(p, &truth[4 * i]);
        count.wrong += wrong;
        count.scene += !comparable || !IsBackground(p) || !IsBackground(&truth[4 * i]);
        if (pMarked == nullptr) continue;
        uint8_t* out = &(*pMarked)[4 * i];
        for (int c = 0; c < 3; ++c)
            out[c] = wrong ? WRONG_RGB[c] : uint8_t((int(p[c]) * DIM_PERCENT + 50) / 100);
        out[3] = 255;
    }
    count.total = n;
    return count;
}

}  // namespace pixels
