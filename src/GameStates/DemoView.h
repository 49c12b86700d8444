// DemoView.h - how the demo looks at its scene, in one place for the demo,
// orvane-bsp's pictures and the tests that compare with them.
#ifndef BSP_DEMO_VIEW_H
#define BSP_DEMO_VIEW_H

namespace DemoView {

constexpr double FOV_Y_DEGREES = 60.0;  // vertical field of view
constexpr float NEAR_PLANE = 0.01f;
constexpr double FAR_PLANE = 10000.0;
constexpr float BACKGROUND_GREY = 0.25f;  // red, green and blue of the clear colour

// The state the demo sets once at load: back faces culled (counter-clockwise
// fronts, GL's defaults), no depth test (the tree's painter's order alone
// decides what covers what), the grey clear colour and a clear depth of 1.
void SetFixedState();

// The frame's view for a picture of width x height pixels: the viewport
// (sizes truncated to whole pixels), the perspective projection with the
// single-precision aspect width / height, and an identity model-view matrix,
// which is left current for the caller's camera.
void SetProjection(float width, float height);

}  // namespace DemoView

#endif  // BSP_DEMO_VIEW_H
