// Shapes.h - seeded procedural triangle sets for the tree's tests, the
// rendering oracle, the fuzzers and the benchmarks. The same arguments give
// the same triangles on every machine (no library distributions are used).
#ifndef ORV_TEST_SHAPES_H
#define ORV_TEST_SHAPES_H

#include "Triangle.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace orvtest {

// A small deterministic generator: 32-bit Mersenne Twister words mapped to
// floats by our own arithmetic.
class Rng {
public:
    explicit Rng(uint32_t seed);
    uint32_t Next();
    float Unit();                     // uniform in [0, 1)
    float Range(float lo, float hi);  // uniform in [lo, hi)
    ORV::Vec3 InBox(float halfSize);  // uniform in the cube [-halfSize, halfSize)^3

private:
    uint32_t mState[624];
    uint32_t mIndex;
};

// count triangles, each with corners spread up to size around a centre in the
// cube [-extent, extent]^3. Triangles intersect freely, so a tree cuts many.
// Every triangle has one opaque colour on all three corners.
std::vector<Triangle> RandomSoup(uint32_t seed, size_t count, float extent = 1.0f,
                                 float size = 0.5f);

// A closed torus around the z axis, faces wound outwards:
// 2 * ringSegments * tubeSegments triangles.
std::vector<Triangle> Torus(uint32_t ringSegments, uint32_t tubeSegments, float majorRadius = 2.0f,
                            float minorRadius = 0.75f);

// A closed convex sphere at the origin (latitude-longitude, single triangles
// at the poles), faces wound outwards: 2 * slices * (stacks - 1) triangles.
// Every face has all the others behind it, so a tree over it is a chain.
std::vector<Triangle> Sphere(uint32_t slices, uint32_t stacks, float radius = 1.0f);

// count equal triangles facing +z in the planes z = 0, spacing, 2 spacing...,
// listed from the lowest up. Spacing must exceed the 0.01 on-plane band.
std::vector<Triangle> ParallelStack(size_t count, float spacing = 0.1f);

// A terrain heightfield of 2 * cellsPerSide^2 triangles facing up (+y):
// heights y = 1.5 sin(0.7x) cos(0.5z) + 0.4 sin(2.3x + 1.7z)
// + 0.1 sin(7.1x) sin(6.3z) over x, z in [-10, 10], two triangles per grid
// cell, the whole scaled about its bounding box's centre to fit a sphere of
// radius 4 around that centre. A benchmark input of any size.
std::vector<Triangle> Terrain(uint32_t cellsPerSide);

// The colour every shape gives its triangle number i: distinct, opaque.
ORV::Color ShapeColor(size_t i);

// Area of a triangle, in double precision.
double Area(const Triangle& tri);

}  // namespace orvtest

#endif
