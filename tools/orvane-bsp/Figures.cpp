// Figures.cpp - one build of the tree and the figures that describe it.
#include "Tool.h"

#include "Explorer.h"

#include <chrono>

namespace orvbsp {

Figures Measure(BSPTree& tree, const std::vector<Triangle>& list, float splitWeight,
                float balanceWeight) {
    Figures f;
    f.splitWeight = splitWeight;
    f.balanceWeight = balanceWeight;
    f.trianglesIn = static_cast<uint32_t>(list.size());

    BSPBuildSettings settings;
    settings.splitWeight = splitWeight;
    settings.balanceWeight = balanceWeight;
    const auto start = std::chrono::steady_clock::now();
    BuildTree(tree, list, settings);
    const auto end = std::chrono::steady_clock::now();
    f.buildMs = std::chrono::duration<double, std::milli>(end - start).count();
    f.degenerate = tree.DegenerateNum();

    // Whole triangles keep their tag; the pieces of a cut carry 0.
    uint32_t inputDegenerate = 0;
    for (const Triangle& tri : list) inputDegenerate += IsDegenerate(tri) ? 1 : 0;
    uint32_t whole = 0;
    uint64_t leafDepthSum = 0;
    tree.VisitNodes([&](const BSPNode& node, uint32_t depth) {
        ++f.nodes;
        for (const Triangle& tri : node.mTriList) {
            ++f.stored;
            if (tri.mTag != 0) ++whole;
        }
        if (node.mpFront == nullptr && node.mpBack == nullptr) {
            ++f.leaves;
            leafDepthSum += depth;
            if (depth > f.maxLeafDepth) f.maxLeafDepth = depth;
        }
    });
    f.pieces = f.stored - whole;
    f.cut = f.trianglesIn - inputDegenerate - whole;
    f.meanLeafDepth = f.leaves ? double(leafDepthSum) / double(f.leaves) : 0.0;
    if (tree.Root() != nullptr) {
        f.rootFront = static_cast<uint32_t>(explore::SubtreeTriangles(tree.Root()->mpFront));
        f.rootBack = static_cast<uint32_t>(explore::SubtreeTriangles(tree.Root()->mpBack));
    }
    return f;
}

}  // namespace orvbsp
