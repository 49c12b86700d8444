// ORV_Camera.cpp - the orbit and fly camera.
#include "ORV_Camera.h"

#include <GL/glu.h>

namespace ORV {

namespace {

// Virtual-key codes of the controls.
constexpr uint8_t KEY_LBUTTON = 1;
constexpr uint8_t KEY_RBUTTON = 2;
constexpr uint8_t KEY_LEFT = 37;
constexpr uint8_t KEY_UP = 38;
constexpr uint8_t KEY_RIGHT = 39;
constexpr uint8_t KEY_DOWN = 40;
constexpr uint8_t KEY_A = 65;
constexpr uint8_t KEY_D = 68;
constexpr uint8_t KEY_E = 69;
constexpr uint8_t KEY_Q = 81;
constexpr uint8_t KEY_S = 83;
constexpr uint8_t KEY_W = 87;

constexpr float MOUSE_FACTOR = 0.01f;  // radians (or distance fraction) per pixel
constexpr float ZOOM_IN = 0.95f;       // per frame, not per second
constexpr float ZOOM_OUT = 1.05f;

// Half a revolution per second, in double until the product is taken.
float arrowStep() { return static_cast<float>(FrameTime() * PI); }

}  // namespace

Camera::Camera(float distMin, float distMax)
    : mMode(MODE_ORBIT),
      mTarget(0.0f, 0.0f, 0.0f),
      mEye(0.0f, 0.0f, 1.0f),
      mUp(0.0f, 1.0f, 0.0f),
      mDir(0.0f, 0.0f, 0.0f),
      mPitch(0.0f),
      mYaw(0.0f),
      mDist(0.0f),
      mDistMin(distMin),
      mDistMax(distMax) {
    ORV_ASSERT_PARM((distMin > 0.0) && (distMax > 0.0) && (distMax > distMin));
    mDist = (distMin + distMax) * 0.5f;
}

void Camera::Reset() {
    mPitch = 0.0f;
    mYaw = 0.0f;
    mDist = (mDistMin + mDistMax) * 0.5f;
    Update(false);
}

void Camera::SetDistance(float dist) { mDist = Clamp(dist, mDistMin, mDistMax); }

void Camera::SetMode(uint8_t mode) {
    int8_t s = static_cast<int8_t>(mode);
    mMode = static_cast<uint8_t>(Clamp<int8_t>(s, 0, 1));
}

void Camera::Update(bool useInput) {
    if (useInput) {
        Input* pInput = Input::Instance();
        System* pSystem = System::Instance();
        if (pInput && pSystem) {
            if (mMode == MODE_ORBIT) orbitInput(*pInput);
            else if (mMode == MODE_FLY) flyInput(*pInput);
            limit();
        }
    }

    float cp = std::cos(mPitch), sp = std::sin(mPitch);
    float cy = std::cos(mYaw), sy = std::sin(mYaw);
    // Perpendicular to mDir by construction, so never parallel to the view.
    mUp = Vec3(-sy * sp, cp, -cy * sp);
    mDir = direction();
    if (mMode == MODE_ORBIT) mEye = mTarget - mDir * mDist;
    else if (mMode == MODE_FLY) mTarget = mEye + mDir * mDist;
}

void Camera::Apply() const {
    gluLookAt(static_cast<double>(mEye.x), static_cast<double>(mEye.y), static_cast<double>(mEye.z),
              static_cast<double>(mTarget.x), static_cast<double>(mTarget.y),
              static_cast<double>(mTarget.z), static_cast<double>(mUp.x),
              static_cast<double>(mUp.y), static_cast<double>(mUp.z));
}

Vec3 Camera::direction() const {
    float cp = std::cos(mPitch), sp = std::sin(mPitch);
    float cy = std::cos(mYaw), sy = std::sin(mYaw);
    return Vec3(-cp * sy, -sp, -cp * cy);
}

// The left button turns; the right one scales the distance by the vertical
// drag (down moves away), and only while the left one is up.
void Camera::mouseInput(const Input& input) {
    if (input.KeyDown(KEY_LBUTTON)) {
        mPitch += static_cast<float>(input.MouseDY()) * MOUSE_FACTOR;
        mYaw -= static_cast<float>(input.MouseDX()) * MOUSE_FACTOR;
    } else if (input.KeyDown(KEY_RBUTTON)) {
        mDist += static_cast<float>(input.MouseDY()) * mDist * MOUSE_FACTOR;
    }
}

void Camera::orbitInput(const Input& input) {
    mouseInput(input);
    if (input.KeyDown(KEY_LEFT)) mYaw -= arrowStep();
    if (input.KeyDown(KEY_RIGHT)) mYaw += arrowStep();
    if (input.KeyDown(KEY_UP)) mPitch += arrowStep();
    if (input.KeyDown(KEY_DOWN)) mPitch -= arrowStep();
    if (input.KeyDown(KEY_W)) mDist *= ZOOM_IN;
    if (input.KeyDown(KEY_S)) mDist *= ZOOM_OUT;
}

// The eye moves at mDist units per second along the direction it had before
// this frame's turning. Left and right turn the other way round than in orbit
// mode, as a pilot would expect.
void Camera::flyInput(const Input& input) {
    mDir = direction();
    Vec3 side(-std::cos(mYaw), 0.0f, std::sin(mYaw));  // the viewer's left

    mouseInput(input);
    if (input.KeyDown(KEY_LEFT)) mYaw += arrowStep();
    if (input.KeyDown(KEY_RIGHT)) mYaw -= arrowStep();
    if (input.KeyDown(KEY_UP)) mPitch += arrowStep();
    if (input.KeyDown(KEY_DOWN)) mPitch -= arrowStep();

    auto move = [this](const Vec3& v) { return v * mDist * static_cast<float>(FrameTime()); };
    if (input.KeyDown(KEY_W)) mEye = mEye + move(mDir);
    if (input.KeyDown(KEY_S)) mEye = mEye - move(mDir);
    if (input.KeyDown(KEY_A)) mEye = mEye + move(side);
    if (input.KeyDown(KEY_D)) mEye = mEye - move(side);
    if (input.KeyDown(KEY_Q)) mEye.y -= static_cast<float>(FrameTime() * mDist);
    if (input.KeyDown(KEY_E)) mEye.y += static_cast<float>(FrameTime() * mDist);
}

// Yaw wraps by a single step per frame: a value more than a turn outside
// stays outside until later frames bring it in.
void Camera::limit() {
    const float halfPi = static_cast<float>(HALF_PI);
    mPitch = Clamp(mPitch, -halfPi, halfPi);
    if (mYaw < -PI_F) mYaw += TWO_PI_F;
    else if (mYaw > PI_F) mYaw -= TWO_PI_F;
    mDist = Clamp(mDist, mDistMin, mDistMax);
}

}  // namespace ORV
