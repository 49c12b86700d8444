// Scene.h - the demo's picture of a BSP tree, drawn into the current GL
// context, and the rendering oracle's comparison of two pictures.
//
// The demo draws through the tree with the depth test off, so the painter's
// order alone decides what covers what. The oracle draws the same flat fills
// once in a painter's order and once in list order sorted by the depth
// buffer, and counts the pixels on which both agree.
#ifndef ORVBSP_SCENE_H
#define ORVBSP_SCENE_H

#include "BSPTree.h"
#include "DrawPath.h"

#include <cstdint>
#include <string>
#include <vector>

namespace orvbsp {

// The order in which triangles are painted.
enum class Order {
    Tree,        // the tree's back-to-front walk from the eye (the demo's)
    Reversed,    // the walk front to back: nearest first, so wrong
    DepthBuffer  // the triangle list in its own order, depth test on
};

// Parses "tree", "reversed" or "depth-buffer"; false for anything else.
bool ParseOrder(const std::string& text, Order* pOrder);
const char* OrderName(Order order);

// A viewpoint: the eye, the point looked at and the up direction.
struct LookAt {
    ORV::Vec3 eye;
    ORV::Vec3 target;
    ORV::Vec3 up;
};

// An up direction for looking from eye to target: +y, unless the view runs
// (nearly) along y, then -z.
ORV::Vec3 UpFor(const ORV::Vec3& eye, const ORV::Vec3& target);

// The demo's frame for a width x height picture (DemoView): viewport, the
// projection, an identity model-view matrix, the grey background cleared,
// back faces culled, depth test off, polygons filled. The caller then
// multiplies its view onto the model-view.
void BeginFrame(int width, int height);
// Multiplies the view onto the current matrix (gluLookAt).
void ApplyLookAt(const LookAt& view);

// Draws as the demo does: each triangle filled flat in its corner 0 colour,
// then outlined in black, by path (DrawPath.h) for the tree's orders;
// DepthBuffer draws list per triangle with the depth test. Returns the
// number of triangles drawn.
size_t DrawDemo(BSPTree& tree, const std::vector<Triangle>& list, Order order, const ORV::Vec3& eye,
                DrawPath path = DrawPath::Immediate);
// The oracle's pass: flat fills only (glShadeModel(GL_FLAT)), no outlines.
size_t DrawFills(BSPTree& tree, const std::vector<Triangle>& list, Order order,
                 const ORV::Vec3& eye);

// The background grey of the demo, 0.25 in every channel, as a byte.
constexpr uint8_t BACKGROUND_BYTE = 64;
// Colour rounding over differently shaped pieces can move a channel by one.
constexpr int CHANNEL_TOLERANCE = 2;

// Share of pixels (RGBA, same size) whose red, green and blue agree within
// tolerance: over the whole picture, or (foregroundOnly) over the pixels
// where either picture shows something other than the background. An empty
// comparison gives 0.
double Agreement(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b,
                 int tolerance = CHANNEL_TOLERANCE, bool foregroundOnly = false);
// Share of pixels that are not the background.
double Covered(const std::vector<uint8_t>& pixels);

}  // namespace orvbsp

#endif
