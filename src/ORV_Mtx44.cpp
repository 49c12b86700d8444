// ORV_Mtx44.cpp - the row-major 4x4 matrix.
#include "ORV.h"

namespace ORV {

// clang-format off
Mtx44::Mtx44(float m00, float m01, float m02, float m03,
             float m10, float m11, float m12, float m13,
             float m20, float m21, float m22, float m23,
             float m30, float m31, float m32, float m33)
    // clang-format on
    : m{m00, m01, m02, m03, m10, m11, m12, m13, m20, m21, m22, m23, m30, m31, m32, m33} {}

Mtx44::Mtx44(const float* pData) {
    for (int i = 0; i < 16; ++i) m[i] = pData[i];
}

Mtx44 Mtx44::Zero() {
    static const Mtx44 sZero(0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0);
    return sZero;
}

Mtx44 Mtx44::Identity() {
    static const Mtx44 sIdentity(1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1);
    return sIdentity;
}

Mtx44 Mtx44::Scale(float x, float y, float z) {
    return Mtx44(x, 0, 0, 0, 0, y, 0, 0, 0, 0, z, 0, 0, 0, 0, 1);
}

Mtx44 Mtx44::Translate(float x, float y, float z) {
    return Mtx44(1, 0, 0, x, 0, 1, 0, y, 0, 0, 1, z, 0, 0, 0, 1);
}

// Rodrigues' form: (D + t*U) + s*K, with D = c*I, U the axis outer product
// and K the axis cross-product matrix.
Mtx44 Mtx44::Rotate(float x, float y, float z, float angle) {
    float c = static_cast<float>(std::cos(static_cast<double>(angle)));
    float s = static_cast<float>(std::sin(static_cast<double>(angle)));
    float t = 1.0f - c;
    float xx = x * x, xy = x * y, xz = x * z, yy = y * y, yz = y * z, zz = z * z;
    Mtx44 d(c, 0, 0, 0, 0, c, 0, 0, 0, 0, c, 0, 0, 0, 0, 1);
    Mtx44 u(xx, xy, xz, 0, xy, yy, yz, 0, xz, yz, zz, 0, 0, 0, 0, 0);
    Mtx44 k(0, -z, y, 0, z, 0, -x, 0, -y, x, 0, 0, 0, 0, 0, 0);
    return (d + u * t) + k * s;
}

Mtx44 Mtx44::LookAt(const Vec3& eye, const Vec3& at, const Vec3& up) {
    Vec3 dir = eye - at;
    ORV_ASSERT_MESG(!dir.IsZero(), "zero direction vector!");
    dir.NormalizeThis();
    Vec3 side = up.Cross(dir);
    ORV_ASSERT_MESG(!side.IsZero(), "direction parallel with reference up vector!");
    side.NormalizeThis();
    Vec3 u = dir.Cross(side);  // unit already: dir and side are orthonormal
    // clang-format off
    return Mtx44(side.x, side.y, side.z, -side.Dot(eye),
                 u.x, u.y, u.z, -u.Dot(eye),
                 dir.x, dir.y, dir.z, -dir.Dot(eye),
                 0, 0, 0, 1);
    // clang-format on
}

Mtx44 Mtx44::LookAt(float eyeX, float eyeY, float eyeZ, float atX, float atY, float atZ, float upX,
                    float upY, float upZ) {
    return LookAt(Vec3(eyeX, eyeY, eyeZ), Vec3(atX, atY, atZ), Vec3(upX, upY, upZ));
}

Mtx44 Mtx44::operator+(const Mtx44& b) const {
    Mtx44 r;
    for (int i = 0; i < 16; ++i) r.m[i] = m[i] + b.m[i];
    return r;
}

Mtx44 Mtx44::operator-(const Mtx44& b) const {
    Mtx44 r;
    for (int i = 0; i < 16; ++i) r.m[i] = m[i] - b.m[i];
    return r;
}

Mtx44 Mtx44::operator*(float s) const {
    Mtx44 r;
    for (int i = 0; i < 16; ++i) r.m[i] = m[i] * s;
    return r;
}

Mtx44 operator*(float s, const Mtx44& a) { return a * s; }

Mtx44 Mtx44::operator*(const Mtx44& b) const {
    Mtx44 r;
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) {
            float sum = 0.0f;
            for (int k = 0; k < 4; ++k) sum += (*this)(i, k) * b(k, j);
            r(i, j) = sum;
        }
    }
    return r;
}

Mtx44 Mtx44::Transpose() const {
    Mtx44 r;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) r(i, j) = (*this)(j, i);
    return r;
}

Mtx44 Mtx44::Inverse() const { ORV_HALT("NOT IMPLEMENTED YET!!!"); }

Mtx44& Mtx44::operator*=(float s) {
    for (int i = 0; i < 16; ++i) m[i] *= s;
    return *this;
}

// The product is formed from unchanged operands first, so A *= A squares A.
Mtx44& Mtx44::operator*=(const Mtx44& b) {
    *this = *this * b;
    return *this;
}

Mtx44& Mtx44::ZeroThis() {
    for (int i = 0; i < 16; ++i) m[i] = 0.0f;
    return *this;
}

Mtx44& Mtx44::IdentityThis() {
    for (int i = 0; i < 16; ++i) m[i] = 0.0f;
    m[0] = m[5] = m[10] = m[15] = 1.0f;
    return *this;
}

Mtx44& Mtx44::TransposeThis() {
    static const int kPairs[6][2] = {{0, 1}, {0, 2}, {0, 3}, {1, 2}, {1, 3}, {2, 3}};
    for (const auto& p : kPairs) {
        float t = (*this)(p[0], p[1]);
        (*this)(p[0], p[1]) = (*this)(p[1], p[0]);
        (*this)(p[1], p[0]) = t;
    }
    return *this;
}

Mtx44& Mtx44::ScaleThis(float x, float y, float z) {
    const float f[3] = {x, y, z};
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 4; ++c) (*this)(r, c) *= f[r];
    return *this;
}

Mtx44& Mtx44::RotateThis(float x, float y, float z, float angle) {
    *this = Rotate(x, y, z, angle) * *this;
    return *this;
}

Mtx44& Mtx44::TranslateThis(float x, float y, float z) {
    *this = Translate(x, y, z) * *this;
    return *this;
}

Mtx44& Mtx44::InverseThis() { ORV_HALT("NOT IMPLEMENTED YET!!!"); }

Vec3 Mtx44::TransformPoint(const Vec3& p) const {
    return Vec3(m[0] * p.x + m[1] * p.y + m[2] * p.z + m[3],
                m[4] * p.x + m[5] * p.y + m[6] * p.z + m[7],
                m[8] * p.x + m[9] * p.y + m[10] * p.z + m[11]);
}

Vec3 Mtx44::TransformDir(const Vec3& d) const {
    return Vec3(m[0] * d.x + m[1] * d.y + m[2] * d.z, m[4] * d.x + m[5] * d.y + m[6] * d.z,
                m[8] * d.x + m[9] * d.y + m[10] * d.z);
}

Vec4 Mtx44::Transform(const Vec4& v) const {
    return Vec4(m[0] * v.x + m[1] * v.y + m[2] * v.z + m[3] * v.w,
                m[4] * v.x + m[5] * v.y + m[6] * v.z + m[7] * v.w,
                m[8] * v.x + m[9] * v.y + m[10] * v.z + m[11] * v.w,
                m[12] * v.x + m[13] * v.y + m[14] * v.z + m[15] * v.w);
}

void Mtx44::Print() const {
    for (int i = 0; i < 16; ++i) {
        printf("%8f ", static_cast<double>(m[i]));
        if ((i & 3) == 3) printf("\n");
    }
}

}  // namespace ORV
