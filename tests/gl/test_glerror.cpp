// The GL error report, under a real offscreen context.
#include <gtest/gtest.h>

#include "ORV.h"
#include "OffscreenGL.h"
#include "ReportText.h"

namespace Probe {
// The macro stands on the same line as the constant that records its line.
// clang-format off
void DrawFrame() { glEnable(0x1234); ORV_GL_ERROR(""); } const int kGLErrorLine = __LINE__;
// clang-format on
}  // namespace Probe

TEST(GLErrorReport, InvalidEnumPrintsCode500) {
    orvtest::OffscreenGL gl(8, 8);
    ASSERT_TRUE(gl.Ok()) << "no context: " << gl.Error();
    EXPECT_EQ(orvtest::ReportText([] {
                  ORV_GL_ERROR("");  // nothing pending: continues
                  Probe::DrawFrame();
              }),
              "ORV_GL_ERROR:\nLine: " + std::to_string(Probe::kGLErrorLine) +
                  "\nFunc: Probe::DrawFrame\nFile: tests/gl/test_glerror.cpp\n"
                  "Code: 0x00000500\nMesg: \n");
}
