// The GL error report, under a real offscreen context.
#include <gtest/gtest.h>

#include "ChildProcess.h"
#include "ORV.h"
#include "OffscreenGL.h"

namespace Probe {
void DrawFrame() { glEnable(0x1234); ORV_GL_ERROR(""); } const int kGLErrorLine = __LINE__;
}

TEST(GLErrorReport, InvalidEnumPrintsCode500) {
    auto r = orvtest::RunInChild([] {
        orvtest::OffscreenGL gl(8, 8);
        if (!gl.Ok()) { printf("no context: %s", gl.Error().c_str()); _exit(3); }
        ORV_GL_ERROR("");  // nothing pending: continues
        Probe::DrawFrame();
    });
    EXPECT_EQ(r.exitCode, 1) << r.out;
    EXPECT_EQ(r.out, "ORV_GL_ERROR:\nLine: " + std::to_string(Probe::kGLErrorLine) +
                         "\nFunc: Probe::DrawFrame\nFile: tests/gl/test_glerror.cpp\n"
                         "Code: 0x00000500\nMesg: \n");
}
