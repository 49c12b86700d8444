// MeshBounds.h - the box and sphere around a triangle list, and how far from
// its centre the demo's projection must stand to show all of it. The demo's
// start view of a mesh given on its command line and orvane-bsp's views both
// come from here.
#ifndef BSP_MESH_BOUNDS_H
#define BSP_MESH_BOUNDS_H

#include "Triangle.h"

#include <cstdint>
#include <vector>

// The axis-aligned box around every corner, and the sphere about the box's
// centre that holds them all.
struct Bounds {
    ORV::Vec3 min{0.0f};
    ORV::Vec3 max{0.0f};
    float radius = 0.0f;  // never below a small positive size
    ORV::Vec3 Centre() const { return (min + max) * 0.5f; }
};
Bounds BoundsOf(const std::vector<Triangle>& list);

// The cell 0..last of a grid starting at lo with scale cells per unit that
// holds coordinate v: clamped while still a float, so that a point far
// outside, or an infinite scale over bounds thinner than a float step, gives
// an end cell and never an out-of-range conversion; not a number gives 0.
inline uint32_t GridCell(float v, float lo, float scale, uint32_t last) {
    const float f = (v - lo) * scale;
    return f > 0.0f ? static_cast<uint32_t>(ORV::Min(f, static_cast<float>(last))) : 0u;
}

// How far from the centre the eye must stand for the bounding sphere to fill
// a width x height picture of the demo's projection (60 degrees vertically),
// with a margin.
float FitDistance(const Bounds& bounds, int width, int height);

#endif
