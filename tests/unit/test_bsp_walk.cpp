// The back-to-front walk, without GL: the order at one node, the eye on a
// plane, and the painter's property on whole trees checked by casting rays.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <unordered_map>

#include "BSPTree.h"
#include "Shapes.h"

using ORV::Vec3;

namespace {

Triangle flat(float z, float x = 0.0f) {
    return Triangle(Vec3(x, 0, z), Vec3(x + 1, 0, z), Vec3(x, 1, z));
}

std::vector<float> heightsInWalkOrder(const BSPTree& tree, const Vec3& eye) {
    std::vector<float> z;
    tree.Walk(eye, [&](const Triangle& t) { z.push_back(t.mPos[0].z); });
    return z;
}

using Order = std::vector<const Triangle*>;

// The walk's sequence; front to back (nearest first) the painter's check
// below must reject it.
Order walkOrder(const BSPTree& tree, const Vec3& eye, WalkOrder how = WalkOrder::BackToFront) {
    Order order;
    tree.Walk(
        eye, [&](const Triangle& t) { order.push_back(&t); }, how);
    return order;
}

// Distance along a unit ray to the triangle, or a negative value for a miss
// (double precision; edges count as hits).
double hitDistance(const Vec3& origin, const double dir[3], const Triangle& tri) {
    double p0[3] = {tri.mPos[0].x, tri.mPos[0].y, tri.mPos[0].z};
    double e1[3], e2[3], s[3];
    for (int k = 0; k < 3; ++k) {
        e1[k] = static_cast<double>((&tri.mPos[1].x)[k]) - p0[k];
        e2[k] = static_cast<double>((&tri.mPos[2].x)[k]) - p0[k];
        s[k] = static_cast<double>((&origin.x)[k]) - p0[k];
    }
    auto cross = [](const double* a, const double* b, double* out) {
        out[0] = a[1] * b[2] - a[2] * b[1];
        out[1] = a[2] * b[0] - a[0] * b[2];
        out[2] = a[0] * b[1] - a[1] * b[0];
    };
    auto dot = [](const double* a, const double* b) {
        return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
    };
    double p[3], q[3];
    cross(dir, e2, p);
    double det = dot(e1, p);
    if (std::fabs(det) < 1e-12) return -1.0;
    double u = dot(s, p) / det;
    if (u < 0.0 || u > 1.0) return -1.0;
    cross(s, e1, q);
    double v = dot(dir, q) / det;
    if (v < 0.0 || u + v > 1.0) return -1.0;
    double t = dot(e2, q) / det;
    return t > 1e-9 ? t : -1.0;
}

std::vector<const Triangle*> storedTriangles(const BSPTree& tree) {
    std::vector<const Triangle*> all;
    tree.VisitNodes([&](const BSPNode& node, uint32_t) {
        for (const Triangle& t : node.mTriList) all.push_back(&t);
    });
    return all;
}

// An eye within the classification band of a node's plane may legitimately
// see a tolerance-wide sliver out of order; such eyes are not sampled.
bool clearOfEveryPlane(const BSPTree& tree, const Vec3& eye) {
    bool clear = true;
    tree.VisitNodes([&](const BSPNode& node, uint32_t) {
        const Plane& p = node.mPlane;
        double len = std::sqrt(static_cast<double>(p.mNormal.LengthSq()));
        double d =
            (static_cast<double>(p.mNormal.x) * eye.x + static_cast<double>(p.mNormal.y) * eye.y +
             static_cast<double>(p.mNormal.z) * eye.z + p.mD) /
            len;
        if (std::fabs(d) < 0.05) clear = false;
    });
    return clear;
}

struct PainterResult {
    int rays = 0;        // rays that hit at least two triangles
    int violations = 0;  // rays whose last-handed hit lies behind the nearest
    int excused = 0;     // the same, explained by the classification band
    std::string first;   // the first violation, for the failure message
};

// Where each stored triangle sits in the tree, and each node's parent.
struct TreeIndex {
    std::unordered_map<const Triangle*, const BSPNode*> nodeOf;
    std::unordered_map<const BSPNode*, const BSPNode*> parentOf;

    explicit TreeIndex(const BSPTree& tree) {
        tree.VisitNodes([&](const BSPNode& node, uint32_t) {
            for (const Triangle& t : node.mTriList) nodeOf[&t] = &node;
            if (node.mpFront != nullptr) parentOf[node.mpFront] = &node;
            if (node.mpBack != nullptr) parentOf[node.mpBack] = &node;
        });
    }
    // The node whose plane decided the order of two stored triangles.
    const BSPNode* deciding(const Triangle* pA, const Triangle* pB) const {
        std::unordered_map<const BSPNode*, bool> above;
        for (const BSPNode* n = nodeOf.at(pA); n != nullptr; n = parent(n)) above[n] = true;
        const BSPNode* n = nodeOf.at(pB);
        while (above.count(n) == 0) n = parent(n);
        return n;
    }
    const BSPNode* parent(const BSPNode* pNode) const {
        auto it = parentOf.find(pNode);
        return it == parentOf.end() ? nullptr : it->second;
    }
};

double planeDistance(const Plane& p, const double at[3]) {
    double n[3] = {p.mNormal.x, p.mNormal.y, p.mNormal.z};
    double len = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
    return (n[0] * at[0] + n[1] * at[1] + n[2] * at[2] + p.mD) / len;
}

// For each ray from the eye, the triangle handed over last among those the ray
// hits must be the nearest hit. The one exception the construction allows: a
// triangle is filed on one side of a plane when its corners are within 0.01
// of that side, so where one of the two hits lies within that band of the
// plane that ordered them, the two may swap.
void checkRays(const TreeIndex& index, const std::vector<const Triangle*>& stored,
               const Order& order, const Vec3& eye, orvtest::Rng& rng, int rayNum,
               PainterResult& result) {
    std::unordered_map<const Triangle*, size_t> position;
    for (size_t i = 0; i < order.size(); ++i) position[order[i]] = i;
    for (int r = 0; r < rayNum; ++r) {
        // Aim at a random point of a random stored triangle, so rays hit.
        const Triangle& target = *stored[rng.Next() % stored.size()];
        float u = rng.Unit(), v = rng.Unit();
        if (u + v > 1.0f) u = 1.0f - u, v = 1.0f - v;
        double dir[3];
        double len = 0.0;
        for (int k = 0; k < 3; ++k) {
            double p0 = (&target.mPos[0].x)[k];
            double at = p0 + u * ((&target.mPos[1].x)[k] - p0) + v * ((&target.mPos[2].x)[k] - p0);
            dir[k] = at - (&eye.x)[k];
            len += dir[k] * dir[k];
        }
        len = std::sqrt(len);
        for (double& d : dir) d /= len;

        double nearestT = 1e30, lastT = 0.0;
        const Triangle* pNearest = nullptr;
        const Triangle* pLast = nullptr;
        int hits = 0;
        for (const Triangle* pTri : stored) {
            double t = hitDistance(eye, dir, *pTri);
            if (t < 0.0) continue;
            ++hits;
            if (t < nearestT) nearestT = t, pNearest = pTri;
            if (pLast == nullptr || position.at(pTri) > position.at(pLast)) lastT = t, pLast = pTri;
        }
        if (hits < 2) continue;
        ++result.rays;
        if (lastT <= nearestT + 1e-6) continue;

        const BSPNode* pDeciding = index.deciding(pLast, pNearest);
        double atLast[3], atNearest[3];
        for (int k = 0; k < 3; ++k) {
            atLast[k] = (&eye.x)[k] + lastT * dir[k];
            atNearest[k] = (&eye.x)[k] + nearestT * dir[k];
        }
        // A hit on the deciding node's own triangle lies on its plane and
        // says nothing; the other hit's side is what decided.
        double band = 1e30;
        if (index.nodeOf.at(pLast) != pDeciding)
            band = std::fabs(planeDistance(pDeciding->mPlane, atLast));
        if (index.nodeOf.at(pNearest) != pDeciding)
            band = std::min(band, std::fabs(planeDistance(pDeciding->mPlane, atNearest)));
        if (index.nodeOf.at(pLast) == pDeciding && index.nodeOf.at(pNearest) == pDeciding)
            band = 0.0;  // one node's triangles come in list order
        if (band <= 0.0101) {
            ++result.excused;
            continue;
        }
        if (result.violations++ == 0) {
            result.first = "eye (" + std::to_string(eye.x) + ", " + std::to_string(eye.y) + ", " +
                           std::to_string(eye.z) + "): last drawn hit at " + std::to_string(lastT) +
                           ", nearest at " + std::to_string(nearestT);
        }
    }
}

struct PainterScene {
    std::string name;
    std::vector<Triangle> tris;
    float eyeBox;  // eyes are sampled in [-eyeBox, eyeBox]^3
};

std::vector<PainterScene> painterScenes() {
    return {
        {"soup seed 21", orvtest::RandomSoup(21, 120, 1.0f, 0.6f), 2.5f},
        {"soup seed 22", orvtest::RandomSoup(22, 120, 1.0f, 1.2f), 2.5f},
        {"soup seed 23", orvtest::RandomSoup(23, 200, 1.5f, 0.5f), 3.0f},
        {"torus", orvtest::Torus(24, 12), 4.0f},
        {"sphere", orvtest::Sphere(16, 10), 2.5f},
    };
}

}  // namespace

TEST(Walk, EmptyTreeHandsOverNothing) {
    BSPTree tree;
    int visits = 0;
    tree.Walk(Vec3(0, 0, 5), [&](const Triangle&) { ++visits; });
    EXPECT_EQ(visits, 0);
}

TEST(Walk, ASingleTriangleIsHandedOverFromEitherSide) {
    BSPTree tree;
    tree.Build({flat(0.0f)});
    EXPECT_EQ(heightsInWalkOrder(tree, Vec3(0, 0, 3)).size(), 1u);
    EXPECT_EQ(heightsInWalkOrder(tree, Vec3(0, 0, -3)).size(), 1u);
}

TEST(Walk, TheFarSideComesFirstAndTheEyeOnThePlaneCountsAsBehind) {
    // Root at z=0 with one layer above (front) and one below (back).
    BSPTree tree;
    tree.Build({flat(0.0f), flat(1.0f), flat(-1.0f)});
    ASSERT_EQ(tree.Root()->mTriList[0].mPos[0].z, 0.0f);
    EXPECT_EQ(heightsInWalkOrder(tree, Vec3(0.3f, 0.3f, 5)), (std::vector<float>{-1, 0, 1}));
    EXPECT_EQ(heightsInWalkOrder(tree, Vec3(0.3f, 0.3f, -5)), (std::vector<float>{1, 0, -1}));
    // Exactly on the root's plane: the front subtree first, then the back.
    EXPECT_EQ(heightsInWalkOrder(tree, Vec3(7, -2, 0)), (std::vector<float>{1, 0, -1}));
    // A node's own triangles come out in list order.
    BSPTree pair;
    pair.Build({flat(0.0f, 0.0f), flat(0.0f, 3.0f)});
    std::vector<float> xs;
    pair.Walk(Vec3(0, 0, 1), [&](const Triangle& t) { xs.push_back(t.mPos[0].x); });
    EXPECT_EQ(xs, (std::vector<float>{3, 0}));
}

TEST(Walk, TheFartherOfTwoParallelTrianglesComesFirstWhicheverIsTheRoot) {
    for (bool swapInput : {false, true}) {
        BSPTree tree;
        std::vector<Triangle> list = {flat(0.0f), flat(2.0f)};
        if (swapInput) std::swap(list[0], list[1]);
        tree.Build(list);
        for (float z : {9.0f, 2.5f}) {
            EXPECT_EQ(heightsInWalkOrder(tree, Vec3(0.2f, 0.2f, z)), (std::vector<float>{0, 2}));
        }
        for (float z : {-9.0f, -0.5f}) {
            EXPECT_EQ(heightsInWalkOrder(tree, Vec3(0.2f, 0.2f, z)), (std::vector<float>{2, 0}));
        }
    }
}

TEST(Walk, EveryStoredTriangleIsHandedOverOnce) {
    BSPTree tree;
    tree.Build(orvtest::RandomSoup(8, 150));
    std::vector<const Triangle*> stored = storedTriangles(tree);
    const Vec3 eye(0.4f, -3.0f, 1.7f);
    Order order = walkOrder(tree, eye);
    // Front to back is the same sequence reversed.
    Order reversed = walkOrder(tree, eye, WalkOrder::FrontToBack);
    std::reverse(reversed.begin(), reversed.end());
    EXPECT_EQ(reversed, order);
    ASSERT_EQ(order.size(), stored.size());
    std::sort(stored.begin(), stored.end());
    std::sort(order.begin(), order.end());
    EXPECT_EQ(order, stored);
    // The node walk knows each node's depth in the tree.
    std::unordered_map<const BSPNode*, uint32_t> depthOf;
    tree.VisitNodes([&](const BSPNode& node, uint32_t depth) { depthOf[&node] = depth; });
    size_t nodes = 0;
    tree.WalkNodes(eye, [&](const BSPNode& node, uint32_t depth) {
        EXPECT_EQ(depth, depthOf.at(&node));
        ++nodes;
    });
    EXPECT_EQ(nodes, depthOf.size());
}

TEST(PainterProperty, TheNearestHitIsHandedOverLast) {
    for (const PainterScene& scene : painterScenes()) {
        BSPTree tree;
        tree.Build(scene.tris);
        std::vector<const Triangle*> stored = storedTriangles(tree);
        TreeIndex index(tree);
        orvtest::Rng rng(1000 + static_cast<uint32_t>(scene.tris.size()));
        PainterResult walked;
        int eyes = 0;
        for (int attempt = 0; attempt < 2000 && eyes < 25; ++attempt) {
            Vec3 eye = rng.InBox(scene.eyeBox);
            if (!clearOfEveryPlane(tree, eye)) continue;
            ++eyes;
            checkRays(index, stored, walkOrder(tree, eye), eye, rng, 60, walked);
        }
        EXPECT_EQ(eyes, 25) << scene.name << ": too few eyes clear of the planes";
        EXPECT_GT(walked.rays, 200) << scene.name;
        EXPECT_EQ(walked.violations, 0) << scene.name << " (seeded): " << walked.first;
        EXPECT_LT(walked.excused, walked.rays / 20) << scene.name;
    }
}

TEST(PainterProperty, TheCheckRejectsTheWalkWithItsChildrenSwapped) {
    for (const PainterScene& scene : painterScenes()) {
        BSPTree tree;
        tree.Build(scene.tris);
        std::vector<const Triangle*> stored = storedTriangles(tree);
        TreeIndex index(tree);
        orvtest::Rng rng(2000 + static_cast<uint32_t>(scene.tris.size()));
        PainterResult swapped;
        for (int eyes = 0; eyes < 10; ++eyes) {
            Vec3 eye = rng.InBox(scene.eyeBox);
            checkRays(index, stored, walkOrder(tree, eye, WalkOrder::FrontToBack), eye, rng, 60,
                      swapped);
        }
        EXPECT_GT(swapped.violations, swapped.rays / 4) << scene.name;
    }
}
