// ORV_Camera.h - a camera driven by mouse and keyboard, orbiting a target or
// flying freely.
//
// The state is two angles (radians) and a distance; Update turns one frame of
// input from the ORV::Input snapshot, scaled by ORV::FrameTime, into that state
// and recomputes eye, target, direction and up. Nothing here needs a window:
// only Apply talks to OpenGL.
#ifndef ORV_CAMERA_H
#define ORV_CAMERA_H

#include "ORV.h"

namespace ORV {

class Camera {
public:
    static constexpr uint8_t MODE_ORBIT = 0;  // the eye circles mTarget at mDist
    static constexpr uint8_t MODE_FLY = 1;    // the eye moves, mTarget stays mDist ahead

    // Orbit mode, both angles 0, distance the mean of the bounds. Halts unless
    // 0 < distMin < distMax.
    Camera(float distMin, float distMax);

    // With useInput: applies this frame's keys and mouse for the current mode
    // and limits pitch, yaw and distance (skipped when either the Input or the
    // System singleton is missing). Always recomputes the vectors, then the
    // eye (orbit) or the target (fly).
    void Update(bool useInput);
    // Angles 0, distance the mean of the bounds, then Update without input.
    void Reset();
    // Clamps to [mDistMin, mDistMax]; the eye moves at the next Update.
    void SetDistance(float dist);
    // The value read as signed 8-bit and clamped to [0, 1].
    void SetMode(uint8_t mode);
    uint8_t GetMode() const { return mMode; }
    const Vec3& Eye() const { return mEye; }
    // Multiplies the view onto the current GL matrix (gluLookAt): the caller
    // selects the model-view matrix and loads the identity first.
    void Apply() const;

public:
    uint8_t mMode;
    Vec3 mTarget;
    Vec3 mEye;
    Vec3 mUp;
    Vec3 mDir;     // unit, from eye toward target
    float mPitch;  // positive looks down; within [-pi/2, pi/2] after input
    float mYaw;    // about the vertical axis; within [-pi, pi] after input
    float mDist;
    float mDistMin;
    float mDistMax;

private:
    void orbitInput(const Input& input);
    void flyInput(const Input& input);
    void mouseInput(const Input& input);
    void limit();
    // mDir from the angles as they stand.
    Vec3 direction() const;
};

}  // namespace ORV

#endif  // ORV_CAMERA_H
