// The orbit and fly camera without a window: the input snapshot and the frame
// time are set by hand in the Input and System singletons, then Update turns
// them into angles, distance, eye and target.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <string>

#include "ORV_Camera.h"
#include "ReportText.h"
#include "SourceLine.h"

using ORV::Camera;
using ORV::Vec3;

namespace {

constexpr double kFrame = 0.1;  // seconds per frame in these tests

void expectVec(const Vec3& v, float x, float y, float z, float tol = 1e-5f) {
    EXPECT_NEAR(v.x, x, tol);
    EXPECT_NEAR(v.y, y, tol);
    EXPECT_NEAR(v.z, z, tol);
}

// The line of the first source line of ORV_Camera.cpp that holds the text.
int lineOf(const char* pText) { return orvtest::LineOf("framework/ORV_Camera.cpp", pText); }

class CameraInput : public ::testing::Test {
protected:
    void SetUp() override {
        mpInput = ORV::Input::Instance();
        ASSERT_NE(mpInput, nullptr);
        ORV::System* pSystem = ORV::System::Instance();
        ASSERT_NE(pSystem, nullptr);
        pSystem->mFrameTime = kFrame;
        Release();
    }

    // Nothing held, no mouse movement.
    void Release() {
        std::memset(mpInput->mpKeyStateCurr, 0, 256);
        std::memset(mpInput->mpKeyStatePrev, 0, 256);
        mpInput->mMouseDX = 0;
        mpInput->mMouseDY = 0;
    }
    void Hold(uint8_t key) { mpInput->mpKeyStateCurr[key] = 0x80; }
    void Mouse(int dx, int dy) {
        mpInput->mMouseDX = dx;
        mpInput->mMouseDY = dy;
    }
    // The demo's camera at its start pose.
    static Camera StartPose() {
        Camera cam(0.01f, 10000.0f);
        cam.Reset();
        cam.SetDistance(10.0f);
        cam.Update(false);
        return cam;
    }

    ORV::Input* mpInput = nullptr;
};

}  // namespace

TEST(Camera, ConstructionAndStartPose) {
    Camera cam(0.01f, 10000.0f);
    EXPECT_NEAR(cam.mDist, 5000.005f, 1e-3f);
    EXPECT_EQ(cam.GetMode(), Camera::MODE_ORBIT);
    expectVec(cam.Eye(), 0, 0, 1, 0);
    expectVec(cam.mDir, 0, 0, 0, 0);

    cam.Reset();
    EXPECT_NEAR(cam.mDist, 5000.005f, 1e-3f);
    cam.SetDistance(10.0f);
    expectVec(cam.Eye(), 0, 0, 5000.005f, 1e-2f);  // not moved until Update
    cam.Update(false);
    expectVec(cam.Eye(), 0, 0, 10);
    expectVec(cam.mTarget, 0, 0, 0, 0);
    expectVec(cam.mDir, 0, 0, -1);
    expectVec(cam.mUp, 0, 1, 0);
}

TEST(Camera, SetDistanceClampsToTheBounds) {
    Camera cam(0.01f, 10000.0f);
    cam.SetDistance(20000.0f);
    EXPECT_EQ(cam.mDist, 10000.0f);
    cam.SetDistance(0.0f);
    EXPECT_EQ(cam.mDist, 0.01f);
    cam.SetDistance(-5.0f);
    EXPECT_EQ(cam.mDist, 0.01f);
    cam.SetDistance(42.5f);
    EXPECT_EQ(cam.mDist, 42.5f);
}

TEST(Camera, SetModeReadsTheValueAsSignedAndClamps) {
    Camera cam(1.0f, 2.0f);
    const struct {
        uint8_t in, out;
    } cases[] = {{0, 0}, {1, 1}, {2, 1}, {127, 1}, {128, 0}, {200, 0}, {255, 0}};
    for (const auto& c : cases) {
        cam.SetMode(1 - c.out);
        cam.SetMode(c.in);
        EXPECT_EQ(cam.GetMode(), c.out) << "SetMode(" << int(c.in) << ")";
    }
}

TEST(Camera, BadDistanceBoundsHaltWithTheParameterReport) {
    const int line = lineOf("ORV_ASSERT_PARM((distMin > 0.0)");
    ASSERT_GT(line, 0);
    const std::string expected =
        "ORV_ASSERT_PARM: (distMin > 0.0) && (distMax > 0.0) && (distMax > distMin)\n"
        "Line: " +
        std::to_string(line) + "\nFunc: ORV::Camera::Camera\nFile: framework/ORV_Camera.cpp\n";
    const struct {
        float lo, hi;
    } bad[] = {{0.0f, 10.0f}, {-1.0f, 10.0f}, {5.0f, 5.0f}, {10.0f, 5.0f}, {1.0f, -2.0f}};
    for (const auto& b : bad) {
        EXPECT_EQ(orvtest::ReportText([&] { Camera cam(b.lo, b.hi); }), expected)
            << b.lo << ", " << b.hi;
    }
    auto ok = orvtest::CaptureReport([] { Camera cam(0.01f, 0.02f); });
    EXPECT_FALSE(ok.reported);
    EXPECT_EQ(ok.out, "");
}

TEST_F(CameraInput, UpdateWithoutInputKeepsAnglesAndDistanceEvenOutOfRange) {
    Camera cam = StartPose();
    Hold(38);
    Hold(87);
    Mouse(50, 50);
    Hold(1);
    cam.mPitch = 3.0f;
    cam.mYaw = 10.0f;
    cam.mDist = 1e6f;
    cam.Update(false);
    EXPECT_EQ(cam.mPitch, 3.0f);
    EXPECT_EQ(cam.mYaw, 10.0f);
    EXPECT_EQ(cam.mDist, 1e6f);
}

TEST_F(CameraInput, NoInputChangesNothingInRange) {
    Camera cam = StartPose();
    cam.Update(true);
    EXPECT_EQ(cam.mPitch, 0.0f);
    EXPECT_EQ(cam.mYaw, 0.0f);
    EXPECT_EQ(cam.mDist, 10.0f);
    expectVec(cam.Eye(), 0, 0, 10);
}

TEST_F(CameraInput, LeftDragTurnsAndRightDragScalesTheDistance) {
    Camera cam = StartPose();
    Hold(1);
    Mouse(100, 0);
    cam.Update(true);
    EXPECT_NEAR(cam.mYaw, -1.0f, 1e-6f);
    EXPECT_EQ(cam.mPitch, 0.0f);
    // Turned about the target: still at distance 10, now toward -x.
    EXPECT_NEAR(cam.Eye().Length(), 10.0f, 1e-4f);
    EXPECT_NEAR(cam.Eye().x, -10.0f * std::sin(1.0f), 1e-4f);

    Mouse(0, 20);  // down: looks down from higher up
    cam.Update(true);
    EXPECT_NEAR(cam.mPitch, 0.2f, 1e-6f);
    EXPECT_GT(cam.Eye().y, 0.0f);
    EXPECT_EQ(cam.mDist, 10.0f);  // the right button is ignored while the left is held
    Hold(2);
    cam.Update(true);
    EXPECT_EQ(cam.mDist, 10.0f);

    Release();
    Hold(2);
    Mouse(30, 10);  // dragging down moves away, in proportion to the distance
    cam.Update(true);
    EXPECT_NEAR(cam.mDist, 11.0f, 1e-5f);
    EXPECT_NEAR(cam.mYaw, -1.0f, 1e-6f);
}

TEST_F(CameraInput, OrbitArrowsTurnHalfARevolutionPerSecond) {
    Camera cam = StartPose();
    const float step = static_cast<float>(kFrame * ORV::PI);
    Hold(37);
    cam.Update(true);
    EXPECT_NEAR(cam.mYaw, -step, 1e-6f);
    Release();
    Hold(39);
    cam.Update(true);
    cam.Update(true);
    EXPECT_NEAR(cam.mYaw, step, 1e-6f);
    Release();
    Hold(40);
    cam.Update(true);
    EXPECT_NEAR(cam.mPitch, -step, 1e-6f);
    EXPECT_LT(cam.Eye().y, 0.0f);  // negative pitch looks up from below
}

TEST_F(CameraInput, PitchStopsAtAQuarterTurnAndTheViewStaysValid) {
    Camera cam = StartPose();
    Hold(38);
    for (int i = 0; i < 100; ++i) cam.Update(true);
    EXPECT_EQ(cam.mPitch, static_cast<float>(ORV::HALF_PI));
    // Straight above the target, looking down.
    expectVec(cam.Eye(), 0, 10, 0, 1e-4f);
    expectVec(cam.mDir, 0, -1, 0, 1e-6f);
    EXPECT_NEAR(cam.mUp.Length(), 1.0f, 1e-6f);
    EXPECT_NEAR(cam.mUp.Dot(cam.mDir), 0.0f, 1e-6f);

    Release();
    Hold(40);
    for (int i = 0; i < 100; ++i) cam.Update(true);
    EXPECT_EQ(cam.mPitch, -static_cast<float>(ORV::HALF_PI));
    expectVec(cam.Eye(), 0, -10, 0, 1e-4f);
}

TEST_F(CameraInput, YawWrapsByOneStepPerUpdate) {
    Camera cam = StartPose();
    cam.mYaw = 3.2f;
    cam.Update(true);
    EXPECT_NEAR(cam.mYaw, 3.2f - ORV::TWO_PI_F, 1e-6f);
    EXPECT_NEAR(cam.mYaw, -3.083f, 1e-3f);

    cam.mYaw = -3.2f;
    cam.Update(true);
    EXPECT_NEAR(cam.mYaw, -3.2f + ORV::TWO_PI_F, 1e-6f);

    cam.mYaw = ORV::PI_F;  // on the bound: left alone
    cam.Update(true);
    EXPECT_EQ(cam.mYaw, ORV::PI_F);

    // More than a turn outside: one step now, the next one a frame later.
    cam.mYaw = 10.0f;
    cam.Update(true);
    EXPECT_NEAR(cam.mYaw, 10.0f - ORV::TWO_PI_F, 1e-5f);
    EXPECT_GT(cam.mYaw, ORV::PI_F);
    cam.Update(true);
    EXPECT_NEAR(cam.mYaw, 10.0f - 2.0f * ORV::TWO_PI_F, 1e-5f);

    // Turning across the back of the scene keeps the yaw in range.
    cam.mYaw = 3.1f;
    Hold(39);
    cam.Update(true);
    EXPECT_NEAR(cam.mYaw, 3.1f + static_cast<float>(kFrame * ORV::PI) - ORV::TWO_PI_F, 1e-5f);
}

TEST_F(CameraInput, ZoomKeysActPerFrameAndStopAtTheBounds) {
    Camera cam = StartPose();
    Hold(87);
    cam.Update(true);
    EXPECT_NEAR(cam.mDist, 9.5f, 1e-5f);
    expectVec(cam.Eye(), 0, 0, 9.5f);
    for (int i = 0; i < 500; ++i) cam.Update(true);
    EXPECT_EQ(cam.mDist, 0.01f);

    Release();
    Hold(83);
    for (int i = 0; i < 1000; ++i) cam.Update(true);
    EXPECT_EQ(cam.mDist, 10000.0f);
    expectVec(cam.Eye(), 0, 0, 10000.0f, 1e-2f);
}

TEST_F(CameraInput, FlyModeMovesTheEyeAndKeepsTheTargetAhead) {
    Camera cam = StartPose();
    cam.SetMode(Camera::MODE_FLY);
    cam.Update(true);
    // The switch keeps the eye and puts the target mDist ahead.
    expectVec(cam.Eye(), 0, 0, 10);
    expectVec(cam.mTarget, 0, 0, 0);

    const float step = static_cast<float>(10.0 * kFrame);  // mDist units per second
    Hold(87);                                              // W: forward, toward -z
    cam.Update(true);
    expectVec(cam.Eye(), 0, 0, 10 - step);
    expectVec(cam.mTarget, 0, 0, -step);
    Release();
    Hold(65);  // A: to the viewer's left, toward -x
    cam.Update(true);
    expectVec(cam.Eye(), -step, 0, 10 - step);
    Release();
    Hold(68);  // D
    Hold(83);  // S
    cam.Update(true);
    expectVec(cam.Eye(), 0, 0, 10);
    Release();
    Hold(69);  // E: straight up
    cam.Update(true);
    expectVec(cam.Eye(), 0, step, 10);
    Release();
    Hold(81);  // Q: straight down
    cam.Update(true);
    expectVec(cam.Eye(), 0, 0, 10);
    EXPECT_EQ(cam.mDist, 10.0f);  // W and S do not zoom in fly mode

    // Back to orbit: the target stays, the eye moves behind it.
    Release();
    Hold(87);
    cam.Update(true);
    Release();
    cam.SetMode(Camera::MODE_ORBIT);
    cam.Update(true);
    expectVec(cam.mTarget, 0, 0, -step);
    expectVec(cam.Eye(), 0, 0, 10 - step);
}

TEST_F(CameraInput, FlyModeMovesAlongTheDirectionBeforeTheTurn) {
    Camera cam = StartPose();
    cam.SetMode(Camera::MODE_FLY);
    cam.Update(false);
    Hold(37);  // left turns the other way round in fly mode
    Hold(87);
    cam.Update(true);
    const float turn = static_cast<float>(kFrame * ORV::PI);
    EXPECT_NEAR(cam.mYaw, turn, 1e-6f);
    expectVec(cam.Eye(), 0, 0, 9);  // moved along -z, the old direction
    // The new direction has turned toward -x.
    expectVec(cam.mDir, -std::sin(turn), 0, -std::cos(turn));
    Release();
    Hold(39);
    cam.Update(true);
    EXPECT_NEAR(cam.mYaw, 0.0f, 1e-6f);
}

TEST_F(CameraInput, AnUnknownModeKeepsEyeAndTargetButStillLimits) {
    Camera cam = StartPose();
    cam.mMode = 7;
    cam.mYaw = 4.0f;
    Hold(87);
    Hold(1);
    Mouse(100, 0);
    cam.Update(true);
    expectVec(cam.Eye(), 0, 0, 10);
    expectVec(cam.mTarget, 0, 0, 0);
    EXPECT_NEAR(cam.mYaw, 4.0f - ORV::TWO_PI_F, 1e-6f);
    EXPECT_EQ(cam.mDist, 10.0f);
}
