// Properties of whole trees over seeded random soups and closed meshes: no
// area is lost or gained by cutting, every triangle lies on its side of every
// ancestor's plane, lists are never empty, and the figures agree with the
// nodes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <string>

#include "BSPBuild.h"
#include "BSPTree.h"
#include "Shapes.h"

namespace {

struct Scene {
    std::string name;
    std::vector<Triangle> tris;
    BSPBuildSettings settings{};
};

std::vector<Scene> scenes() {
    std::vector<Scene> out;
    for (uint32_t seed : {1u, 2u, 3u, 4u})
        out.push_back(
            {"soup seed " + std::to_string(seed), orvtest::RandomSoup(seed, 200, 1.0f, 0.6f)});
    out.push_back({"soup of large triangles seed 7", orvtest::RandomSoup(7, 150, 1.0f, 1.5f)});
    out.push_back({"torus", orvtest::Torus(24, 12)});
    out.push_back({"sphere", orvtest::Sphere(16, 10)});
    // Each triangle carries its input index in corner 1's red channel, which
    // cutting copies to every piece and drawing never reads.
    for (Scene& s : out)
        for (size_t i = 0; i < s.tris.size(); ++i) s.tris[i].mClr[1].x = static_cast<float>(i);
    // A bounded search builds other trees of the same scenes, which must
    // hold the same properties.
    const size_t exact = out.size();
    for (size_t candidates : {1u, 3u, 40u}) {
        for (size_t k = 0; k < exact; ++k) {
            Scene bounded = out[k];
            bounded.name += ", " + std::to_string(candidates) + " candidates a node";
            bounded.settings.candidates = candidates;
            out.push_back(bounded);
        }
    }
    return out;
}

// Distance in model units to a plane whose normal may not be unit length.
double unitDistance(const Plane& p, const ORV::Vec3& v) {
    double nx = p.mNormal.x, ny = p.mNormal.y, nz = p.mNormal.z;
    double len = std::sqrt(nx * nx + ny * ny + nz * nz);
    return (nx * v.x + ny * v.y + nz * v.z + p.mD) / len;
}

// The band of classification, widened by the float rounding of distances and
// cut points at this scene's scale.
constexpr double kBand = 0.01 + 1e-4;

}  // namespace

TEST(TreeProperties, CuttingNeitherLosesNorAddsArea) {
    for (const Scene& scene : scenes()) {
        BSPTree tree;
        tree.Build(scene.tris, scene.settings);
        ASSERT_EQ(tree.DegenerateNum(), 0u) << scene.name;
        std::vector<double> pieceArea(scene.tris.size(), 0.0);
        tree.VisitNodes([&](const BSPNode& node, uint32_t) {
            for (const Triangle& t : node.mTriList) {
                size_t i = static_cast<size_t>(t.mClr[1].x);
                ASSERT_LT(i, scene.tris.size());
                pieceArea[i] += orvtest::Area(t);
            }
        });
        for (size_t i = 0; i < scene.tris.size(); ++i) {
            double area = orvtest::Area(scene.tris[i]);
            // A cut point within 0.001 in parameter of an edge end is not
            // added beside that end, which may move area by that fraction.
            EXPECT_NEAR(pieceArea[i], area, 1e-3 * area + 1e-7)
                << scene.name << ", input triangle " << i;
        }
    }
}

TEST(TreeProperties, EveryTriangleLiesOnItsSideOfEveryAncestor) {
    for (const Scene& scene : scenes()) {
        BSPTree tree;
        tree.Build(scene.tris, scene.settings);
        // Flat records with parent links stand in for recursion.
        struct Entry {
            const BSPNode* pNode;
            int parent;
            int side;  // +1 in the parent's front subtree, -1 in its back subtree
        };
        std::vector<Entry> entries;
        std::vector<int> stack;
        entries.push_back({tree.Root(), -1, 0});
        stack.push_back(0);
        int failures = 0;
        while (!stack.empty() && failures < 10) {
            int index = stack.back();
            stack.pop_back();
            const Entry e = entries[index];
            for (const Triangle& t : e.pNode->mTriList) {
                for (int k = 0; k < 3; ++k) {
                    double own = unitDistance(e.pNode->mPlane, t.mPos[k]);
                    if (std::fabs(own) > kBand) {
                        ADD_FAILURE() << scene.name << ": corner off its node's plane by " << own;
                        ++failures;
                    }
                    int side = e.side;
                    for (int a = e.parent; a >= 0; side = entries[a].side, a = entries[a].parent) {
                        double s = unitDistance(entries[a].pNode->mPlane, t.mPos[k]);
                        if (s * side < -kBand) {
                            ADD_FAILURE() << scene.name
                                          << ": corner on the wrong side of an ancestor by " << s;
                            ++failures;
                        }
                    }
                }
            }
            if (e.pNode->mpFront != nullptr) {
                entries.push_back({e.pNode->mpFront, index, +1});
                stack.push_back(static_cast<int>(entries.size()) - 1);
            }
            if (e.pNode->mpBack != nullptr) {
                entries.push_back({e.pNode->mpBack, index, -1});
                stack.push_back(static_cast<int>(entries.size()) - 1);
            }
        }
    }
}

TEST(TreeProperties, NodesAreNonEmptyTypedFiniteAndTheDepthIsTheDeepest) {
    for (const Scene& scene : scenes()) {
        BSPTree tree;
        tree.Build(scene.tris, scene.settings);
        uint32_t deepest = 0;
        size_t stored = 0;
        tree.VisitNodes([&](const BSPNode& node, uint32_t depth) {
            deepest = std::max(deepest, depth);
            stored += node.mTriList.size();
            EXPECT_FALSE(node.mTriList.empty()) << scene.name;
            EXPECT_TRUE(node.mPlane.IsFinite()) << scene.name;
            bool children = node.mpFront != nullptr || node.mpBack != nullptr;
            EXPECT_EQ(node.mType, children ? BSPNode::TYPE_INTERIOR : BSPNode::TYPE_LEAF)
                << scene.name;
            if (node.mTriList.size() > 1 || children) {
                double len = std::sqrt(static_cast<double>(node.mPlane.mNormal.LengthSq()));
                EXPECT_NEAR(len, 1.0, 1e-6) << scene.name << ": splitting planes are unit";
            }
        });
        EXPECT_EQ(deepest, tree.Depth()) << scene.name;
        EXPECT_GE(stored, scene.tris.size()) << scene.name;
        EXPECT_EQ(tree.TriNum(), static_cast<int32_t>(scene.tris.size())) << scene.name;
    }
}

TEST(TreeProperties, AConvexSphereBuildsAChain) {
    // Every face has all the others behind it: each node has only a back
    // child. Faces within the band of a node's plane (each band quad's two
    // triangles at least) share that node.
    const uint32_t slices = 16, stacks = 10;
    BSPTree tree;
    tree.Build(orvtest::Sphere(slices, stacks));
    size_t nodes = 0, stored = 0;
    tree.VisitNodes([&](const BSPNode& node, uint32_t) {
        ++nodes;
        stored += node.mTriList.size();
        EXPECT_EQ(node.mpFront, nullptr);
    });
    const size_t faces = slices * 2 + slices * (stacks - 2);
    EXPECT_EQ(stored, 2u * slices * (stacks - 1));  // nothing is cut
    EXPECT_LE(nodes, faces);
    EXPECT_GT(nodes, faces / 2);
    EXPECT_EQ(tree.Depth(), nodes - 1);
}
