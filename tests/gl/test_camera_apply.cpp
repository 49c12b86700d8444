// Camera::Apply under a real GL context: the model-view matrix it leaves is our
// own look-at of the same eye, target and up, transposed into GL's order.
#include <gtest/gtest.h>

#include "ORV_Camera.h"
#include "OffscreenGL.h"

using ORV::Camera;
using ORV::Mtx44;

namespace {

Mtx44 glModelView() {
    float m[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    return Mtx44(m);
}

void expectMtx(const Mtx44& a, const Mtx44& b, const char* pWhat) {
    for (int i = 0; i < 16; ++i) EXPECT_NEAR(a.m[i], b.m[i], 2e-5f) << pWhat << ", element " << i;
}

// A camera in a given pose, vectors recomputed without reading input.
Camera posed(float pitch, float yaw, float dist, uint8_t mode) {
    Camera cam(0.01f, 10000.0f);
    cam.Reset();
    cam.SetDistance(dist);
    cam.mPitch = pitch;
    cam.mYaw = yaw;
    cam.SetMode(mode);
    cam.mEye = ORV::Vec3(1.5f, -2.0f, 3.0f);  // where a fly camera has got to
    cam.Update(false);
    return cam;
}

}  // namespace

TEST(CameraApply, MatchesOurLookAtTransposed) {
    orvtest::OffscreenGL gl(16, 16);
    ASSERT_TRUE(gl.Ok()) << gl.Error();

    const struct {
        float pitch, yaw, dist;
        uint8_t mode;
        const char* pWhat;
    } poses[] = {
        {0.0f, 0.0f, 10.0f, Camera::MODE_ORBIT, "start pose"},
        {0.4f, -1.0f, 10.0f, Camera::MODE_ORBIT, "turned and raised"},
        {-1.2f, 2.9f, 3.5f, Camera::MODE_ORBIT, "from below, behind"},
        {static_cast<float>(ORV::HALF_PI), 0.7f, 10.0f, Camera::MODE_ORBIT, "straight down"},
        {0.3f, 0.5f, 2.0f, Camera::MODE_FLY, "flying"},
    };
    for (const auto& p : poses) {
        Camera cam = posed(p.pitch, p.yaw, p.dist, p.mode);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        cam.Apply();
        expectMtx(glModelView(), Mtx44::LookAt(cam.Eye(), cam.mTarget, cam.mUp).Transpose(),
                  p.pWhat);
    }
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST(CameraApply, MultipliesOntoTheCurrentMatrix) {
    orvtest::OffscreenGL gl(16, 16);
    ASSERT_TRUE(gl.Ok()) << gl.Error();
    Camera cam = posed(0.25f, 0.5f, 7.0f, Camera::MODE_ORBIT);

    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslatef(1.0f, 2.0f, 3.0f);
    cam.Apply();
    Mtx44 expected = Mtx44::Translate(1, 2, 3) * Mtx44::LookAt(cam.Eye(), cam.mTarget, cam.mUp);
    expectMtx(glModelView(), expected.Transpose(), "translated first");

    // The start pose maps the eye to the origin and the target 10 units ahead.
    Camera start = posed(0.0f, 0.0f, 10.0f, Camera::MODE_ORBIT);
    glLoadIdentity();
    start.Apply();
    Mtx44 view = glModelView().Transpose();
    ORV::Vec3 t = view.TransformPoint(start.mTarget);
    EXPECT_NEAR(t.x, 0.0f, 1e-5f);
    EXPECT_NEAR(t.y, 0.0f, 1e-5f);
    EXPECT_NEAR(t.z, -10.0f, 1e-5f);
}
