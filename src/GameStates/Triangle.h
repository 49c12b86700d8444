// Triangle.h - the demo's self-contained triangle record, planes through three
// points, the classification of a triangle against a plane, and the
// intersection of an edge with a plane.
//
// All geometry is single precision; every tolerance is a double and every
// comparison against one is made in double. The tree's shape depends on these
// exact rules, so the arithmetic here is spelled out step by step.
#ifndef BSP_TRIANGLE_H
#define BSP_TRIANGLE_H

#include "ORV.h"

#include <cmath>
#include <cstdint>

// A triangle with its own copies of three corner positions (in winding order,
// counter-clockwise seen from the front) and three corner colours.
struct Triangle {
    int32_t mTag;        // 0, or a caller's tag (orvane-bsp numbers mesh triangles); pieces get 0
    ORV::Vec3 mPos[3];   // corner positions, model coordinates
    ORV::Color mClr[3];  // corner colours, RGBA; mClr[k] belongs to corner k

    Triangle() : mTag(0) {
        for (int k = 0; k < 3; ++k) {
            mPos[k] = ORV::Vec3(0.0f);
            mClr[k] = ORV::Color(1.0f);
        }
    }
    // Opaque white corners at a, b, c.
    Triangle(const ORV::Vec3& a, const ORV::Vec3& b, const ORV::Vec3& c) : Triangle() {
        mPos[0] = a;
        mPos[1] = b;
        mPos[2] = c;
    }
};

// The points p with dot(mNormal, p) + mD = 0; the normal points to the front.
struct Plane {
    ORV::Vec3 mNormal;
    float mD;

    // The unit-normal plane of tri (Set) into *pPlane, and true; false, with
    // *pPlane unchanged, when tri has no plane (IsDegenerate).
    static bool FromTriangle(const Triangle& tri, Plane* pPlane);

    Plane() : mNormal(0.0f), mD(0.0f) {}
    Plane(const ORV::Vec3& normal, float d) : mNormal(normal), mD(d) {}
    // Raw plane through a, b, c: the normal is the cross product, not unit.
    Plane(const ORV::Vec3& a, const ORV::Vec3& b, const ORV::Vec3& c)
        : mNormal((b - a).Cross(c - a)) {
        mD = (-mNormal).Dot(a);
    }

    // Unit-normal plane through a, b, c (the offset from the unit normal).
    void Set(const ORV::Vec3& a, const ORV::Vec3& b, const ORV::Vec3& c) {
        mNormal = (b - a).Cross(c - a);
        mNormal.NormalizeThis();
        mD = (-mNormal).Dot(a);
    }
    // Scales normal and offset by the normal's length (no guard against 0).
    void Normalize() {
        float l = mNormal.Length();
        mNormal.x /= l;
        mNormal.y /= l;
        mNormal.z /= l;
        mD /= l;
    }
    // Signed distance (in model units only for a unit normal): positive in front.
    float Distance(const ORV::Vec3& p) const { return mNormal.Dot(p) + mD; }

    bool IsFinite() const {
        return std::isfinite(mNormal.x) && std::isfinite(mNormal.y) && std::isfinite(mNormal.z) &&
               std::isfinite(mD);
    }
};

// Results of ClassifyTriangle, compared as plain integers by callers.
enum TriClass {
    TRI_COPLANAR = 1,  // every corner within the band
    TRI_FRONT = 2,     // none behind the band, at least one in front of it
    TRI_BACK = 3,      // none in front of the band, at least one behind it
    TRI_SPANNING = 4   // corners on both sides of the band
};

// Half-width of the on-plane band of ClassifyTriangle, inclusive at both ends.
// Wide enough that triangles sharing a plane up to float noise stay together.
constexpr double CLASSIFY_EPSILON = 0.01;

// Classifies tri against plane as used (the plane is not normalised here).
inline TriClass ClassifyTriangle(const Plane& plane, const Triangle& tri) {
    bool front = false;
    bool back = false;
    for (int k = 0; k < 3; ++k) {
        double s = plane.Distance(tri.mPos[k]);
        if (s > CLASSIFY_EPSILON) front = true;
        else if (s < -CLASSIFY_EPSILON) back = true;
    }
    if (!front && !back) return TRI_COPLANAR;
    if (!back) return TRI_FRONT;
    if (!front) return TRI_BACK;
    return TRI_SPANNING;
}

// Intersects the line through a and b with plane: writes the parameter t
// (0 at a, 1 at b) and the point a + t (b - a), and returns true. There is no
// parallel-segment test: callers only intersect edges that cross the plane.
inline bool IntersectSegment(const ORV::Vec3& a, const ORV::Vec3& b, const Plane& plane,
                             ORV::Vec3* pPoint, float* pT) {
    ORV::Vec3 ab = b - a;
    float na = plane.mNormal.Dot(a);
    float nab = plane.mNormal.Dot(ab);
    // The quotient is taken in extended precision from the float dot products.
    long double num = -static_cast<long double>(plane.mD) - na;
    float t = static_cast<float>(num / nab);
    *pT = t;
    *pPoint = a + ab * t;
    return true;
}

inline bool IntersectSegment(const ORV::Vec3& a, const ORV::Vec3& b, const Plane& plane,
                             ORV::Vec3& point, float& t) {
    return IntersectSegment(a, b, plane, &point, &t);
}

// A triangle without a plane: collinear or coincident corners, or a normal too
// short or too long to normalise. Both the unit plane (splitters) and the raw
// plane (single-triangle leaves, splitter candidates) must be finite with a
// normal that is not zero: a squared length that overflows (a raw normal
// longer than about 1.8e19, as from corners near 1e10) divides the normal down
// to zero, and a zero plane would score best and take every other triangle as
// coplanar.
inline bool IsDegenerate(const Triangle& tri) {
    auto usable = [](const Plane& p) {
        const ORV::Vec3& n = p.mNormal;
        return p.IsFinite() && (n.x != 0.0f || n.y != 0.0f || n.z != 0.0f);
    };
    Plane unit;
    unit.Set(tri.mPos[0], tri.mPos[1], tri.mPos[2]);
    Plane raw(tri.mPos[0], tri.mPos[1], tri.mPos[2]);
    return !usable(unit) || !usable(raw);
}

inline bool Plane::FromTriangle(const Triangle& tri, Plane* pPlane) {
    if (IsDegenerate(tri)) return false;
    pPlane->Set(tri.mPos[0], tri.mPos[1], tri.mPos[2]);
    return true;
}

#endif  // BSP_TRIANGLE_H
