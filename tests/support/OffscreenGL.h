// OffscreenGL.h - the offscreen EGL context of the GL tests. It lives with
// the analysis tool (tools/orvane-bsp/render), which renders with it too.
#ifndef ORV_TEST_OFFSCREEN_GL_H
#define ORV_TEST_OFFSCREEN_GL_H

#include "render/OffscreenGL.h"

namespace orvtest {
using OffscreenGL = orvbsp::OffscreenGL;
}  // namespace orvtest

#endif
