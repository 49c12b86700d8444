// PaintOrder.h - the orders a painter can paint the demo's triangles in: the
// tree's back-to-front walk, the plain painter's algorithm (whole triangles
// sorted by distance from the eye, farthest first) and the mesh's own order.
// Only the tree's walk paints every scene right; the other two are there to
// show where they go wrong. No GL here: the drawing visits what this gives.
#ifndef BSP_PAINT_ORDER_H
#define BSP_PAINT_ORDER_H

#include "BSPTree.h"

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

enum class PaintOrder {
    Tree,    // the tree's stored triangles (pieces included), back to front from the eye
    Sorted,  // the input's whole triangles, the one reaching farthest first
    File     // the input's whole triangles in their own order
};

// "tree", "sorted", "file".
const char* PaintOrderName(PaintOrder order);
// Tree, then Sorted, then File, then Tree again.
PaintOrder NextPaintOrder(PaintOrder order);

// The plain painter's algorithm, as the textbook depth sort keys it: each
// triangle by its farthest point from the eye. Sort(list, eye) gives the
// indices of list from the triangle whose farthest corner lies farthest from
// eye to the nearest; distances are measured in double precision, and equal
// distances (neighbours sharing their farthest corner) keep the lower index
// first, so the same eye always gives the same order. The storage is kept
// between calls: sorting the same list again allocates nothing.
class DistanceSort {
public:
    const std::vector<uint32_t>& Sort(const std::vector<Triangle>& list, const ORV::Vec3& eye);

private:
    std::vector<std::pair<double, uint32_t>> mKeys;  // squared distance, index
    std::vector<uint32_t> mOrder;
};

// Squared distance from eye to the farthest corner of tri, in double
// precision (not a number when a coordinate is not).
double FarthestCornerDistanceSq(const Triangle& tri, const ORV::Vec3& eye);

// One triangle of an order, with where the tree keeps it: its node, its
// index in the node's list and the node's depth (for the Sorted and File
// orders, which paint the input's whole triangles, pNode is null).
struct PaintStep {
    const Triangle* pTri;
    const BSPNode* pNode;
    size_t indexInNode;
    uint32_t depth;
};

// Hands every triangle of order to visit(const PaintStep&), first painted
// first: the tree's walk from eye over tree, or input sorted (through sort)
// or as it is.
template <typename Visitor>
void WalkPaintOrder(PaintOrder order, const BSPTree& tree, const std::vector<Triangle>& input,
                    const ORV::Vec3& eye, DistanceSort& sort, Visitor&& visit) {
    switch (order) {
    case PaintOrder::Tree:
        tree.WalkNodes(eye, [&](const BSPNode& node, uint32_t depth) {
            for (size_t i = 0; i < node.mTriList.size(); ++i)
                visit(PaintStep{&node.mTriList[i], &node, i, depth});
        });
        return;
    case PaintOrder::Sorted:
        for (uint32_t i : sort.Sort(input, eye)) visit(PaintStep{&input[i], nullptr, 0, 0});
        return;
    case PaintOrder::File:
        for (const Triangle& tri : input) visit(PaintStep{&tri, nullptr, 0, 0});
        return;
    }
}

#endif  // BSP_PAINT_ORDER_H
