// SoupReader.h - how the bytes of a tree fuzz input become triangles and
// weights: shared by the fuzz target and the regression tests that replay its
// findings.
//
// Coordinates come from a grid, from a table of awkward values (the
// tolerances and their neighbours, tiny, huge, infinite and NaN) or from raw
// float bits; a triangle may repeat, rotate, flip or nudge an earlier one
// (coincident and nearly coplanar triangles). Past the end every byte reads 0.
#ifndef ORV_SOUP_READER_H
#define ORV_SOUP_READER_H

#include "BSPBuild.h"
#include "Triangle.h"

#include <algorithm>
#include <cfloat>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

namespace orvfuzz {

constexpr size_t kTriMax = 160;

class Reader {
public:
    Reader(const uint8_t* p, size_t n) : mp(p), mn(n) {}
    bool Empty() const { return mn == 0; }
    uint8_t Byte() {
        if (mn == 0) return 0;
        --mn;
        return *mp++;
    }
    float Bits() {
        uint32_t u = 0;
        for (int i = 0; i < 4; ++i) u = (u << 8) | Byte();
        float f;
        memcpy(&f, &u, sizeof f);
        return f;
    }

private:
    const uint8_t* mp;
    size_t mn;
};

inline float coordinate(Reader& r) {
    // clang-format off
    static const float kSpecial[] = {
        0.0f, -0.0f, 0.001f, -0.001f, 0.0009f, 0.0011f, 0.005f, 0.0099f,
        0.01f, -0.01f, 0.0101f, 0.02f, 1e-4f, 1e-7f, 1e-20f, 1e-38f,
        FLT_MIN, std::numeric_limits<float>::denorm_min(), 1e3f, 1e6f, 1e10f, 1e19f, 1e20f, 1e30f,
        1e38f, FLT_MAX, -FLT_MAX, std::numeric_limits<float>::infinity(),
        -std::numeric_limits<float>::infinity(), std::numeric_limits<float>::quiet_NaN(),
        16777216.0f, 16777217.0f};
    // clang-format on
    const uint8_t b = r.Byte();
    if (b < 0xC0) return (static_cast<int>(b) - 96) * 0.125f;  // a grid from -12 to 11.875
    if (b < 0xE0) return kSpecial[b - 0xC0];
    if (b < 0xF0) return (static_cast<int>(r.Byte()) - 128) * 0.0005f;  // near the bands
    return r.Bits();
}

inline Triangle ReadTriangle(Reader& r, const std::vector<Triangle>& earlier) {
    const uint8_t op = r.Byte();
    if (op >= 0xE0 && !earlier.empty()) {
        Triangle t = earlier[r.Byte() % earlier.size()];
        switch (op & 3) {
        case 0:  // the same triangle again
            break;
        case 1: {  // corners rotated: the same plane and winding
            ORV::Vec3 p = t.mPos[0];
            t.mPos[0] = t.mPos[1];
            t.mPos[1] = t.mPos[2];
            t.mPos[2] = p;
            break;
        }
        case 2:  // winding flipped
            std::swap(t.mPos[1], t.mPos[2]);
            break;
        default: {  // nudged: nearly coplanar with the original
            float d = (static_cast<int>(r.Byte()) - 128) * 0.0001f;
            for (ORV::Vec3& p : t.mPos) p.z += d;
            break;
        }
        }
        return t;
    }
    Triangle t;
    for (int k = 0; k < 3; ++k) {
        float x = coordinate(r), y = coordinate(r), z = coordinate(r);
        t.mPos[k] = ORV::Vec3(x, y, z);
        t.mClr[k] = ORV::Color(0.1f * k, 0.5f, static_cast<float>(earlier.size()), 1.0f);
    }
    return t;
}

// The build's settings for a weights byte: the demo's weights only grow, by
// 0.1 per press of key 3 (the low four bits) and 1.0 per press of key 4.
inline BSPBuildSettings FuzzWeights(uint8_t weights) {
    BSPBuildSettings settings;
    settings.splitWeight = 1.1f + 0.1f * (weights & 15);
    settings.balanceWeight = 1.0f + static_cast<float>(weights >> 4);
    return settings;
}

}  // namespace orvfuzz

#endif
