// BSPDraw.h - the demo's way of painting a triangle, which BSPTree::Draw
// (defined in BSPDraw.cpp) applies to the triangles of its walk, and which
// orvane-bsp and the tests use for the orders they paint themselves: the
// per-triangle drawing of the walk. BSPBatch.h is the batched one.
#ifndef BSP_DRAW_H
#define BSP_DRAW_H

#include "Triangle.h"

// Paints tri in the current GL context: a flat fill in corner 0's colour at
// alpha 1 (glPolygonMode GL_FILL), then the polygon mode set to GL_LINE and,
// with outline, the triangle's edges in opaque black.
void DrawTriangle(const Triangle& tri, bool outline);

// Paints tri's three edges in colour, width pixels wide (glPolygonMode
// GL_LINE, left so), culled as fills are unless cull is false.
void DrawTriangleEdges(const Triangle& tri, const ORV::Color& colour, float width, bool cull);

#endif  // BSP_DRAW_H
