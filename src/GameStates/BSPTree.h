// BSPTree.h - a binary space partitioning tree over the demo's triangles:
// construction with cutting, the back-to-front walk from an eye point, and
// drawing that walk with OpenGL.
//
// Every node carries the plane of one of its triangles and the triangles lying
// in it; triangles straddling a splitting plane are cut and their pieces go to
// the two sides. Construction, the walk and freeing use explicit stacks, so a
// tree as deep as it has triangles costs no call-stack depth.
#ifndef BSP_TREE_H
#define BSP_TREE_H

#include "Triangle.h"

#include <cstddef>
#include <cstdint>
#include <vector>

struct BSPNode {
    static constexpr int32_t TYPE_NONE = 0;      // being made
    static constexpr int32_t TYPE_LEAF = 1;      // no children
    static constexpr int32_t TYPE_INTERIOR = 2;  // at least one child

    BSPNode* mpFront = nullptr;     // owned; built from what lies in front of mPlane
    BSPNode* mpBack = nullptr;      // owned; built from what lies behind mPlane
    Plane mPlane;                   // unit normal, or raw for a one-triangle node
    std::vector<Triangle> mTriList; // coplanar triangles in input order, then the splitter
    int32_t mType = TYPE_NONE;

    BSPNode() = default;
    // Frees the whole subtree without recursion.
    ~BSPNode();
    BSPNode(const BSPNode&) = delete;
    BSPNode& operator=(const BSPNode&) = delete;
};

class BSPTree {
public:
    // Bit of mFlags: draw each triangle's black outline after its fill.
    static constexpr uint32_t FLAG_OUTLINE = 1u;

    // The splitter score weights, read by every construction:
    // score = max(front, back) * sBalanceWeight + cut * sSplitWeight.
    static float sSplitWeight;    // 1.1 at start
    static float sBalanceWeight;  // 1.0 at start

    BSPTree() = default;
    ~BSPTree() { Clear(); }
    BSPTree(const BSPTree&) = delete;
    BSPTree& operator=(const BSPTree&) = delete;

    // Builds the tree from a copy of list (left unchanged) and returns true.
    // A tree already built is freed first. Triangles without a plane
    // (IsDegenerate) are left out and counted in DegenerateNum.
    bool Build(const std::vector<Triangle>& list);
    // Frees every node; the tree is empty.
    void Clear();

    uint32_t Depth() const { return mDepth; }       // deepest node; the root is 0
    int32_t TriNum() const { return mTriNum; }      // triangles handed to Build
    int32_t DrawNum() const { return mDrawNum; }    // triangles drawn by the last Draw
    uint32_t DegenerateNum() const { return mDegenerateNum; }  // left out by the last Build
    uint32_t Flags() const { return mFlags; }
    void SetFlags(uint32_t bits) { mFlags |= bits; }
    void ClearFlags(uint32_t bits) { mFlags &= ~bits; }
    const BSPNode* Root() const { return mpRoot; }

    // Builds the subtree of list (consumed) at depth; null for an empty list.
    // Raises mDepth to the depth of every node made.
    BSPNode* BuildNode(uint32_t depth, std::vector<Triangle> list);
    // Frees a subtree; accepts null.
    static void FreeNode(BSPNode* pNode);

    // The splitter search, the one place the score is computed: the index of
    // the triangle of list (two or more) whose unit-normal plane scores
    // lowest, the earliest on equal scores. Reads the two weights.
    static size_t ChooseSplitterIndex(const std::vector<Triangle>& list);
    // Removes the chosen splitter from list, sets plane to its unit-normal
    // plane (Plane::Set) and returns a copy of it.
    static Triangle ChooseSplitter(std::vector<Triangle>& list, Plane& plane);
    static Triangle ChooseSplitter(std::vector<Triangle>& list, Plane* pPlane) {
        return ChooseSplitter(list, *pPlane);
    }
    // Cuts tri by plane into up to two back pieces (pBack[0..1]) and two front
    // pieces (pFront[0..1]). A missing second piece has all corners at the
    // origin. Halts when a side does not come out as three or four points.
    static void SplitTriangle(const Triangle& tri, const Plane& plane, Triangle* pBack,
                              Triangle* pFront);

    // Hands every stored triangle to visit(const Triangle&), farthest first:
    // at each node the side away from the eye, the node's own triangles in
    // list order, then the side holding the eye (an eye on the plane counts
    // as behind it).
    template <typename Visitor>
    void Walk(const ORV::Vec3& eye, Visitor&& visit) const {
        WalkNode(mpRoot, eye, visit);
    }
    template <typename Visitor>
    static void WalkNode(const BSPNode* pNode, const ORV::Vec3& eye, Visitor&& visit);

    // Draws the tree back to front: each triangle filled flat in corner 0's
    // colour, then (with FLAG_OUTLINE) outlined in black; counts mDrawNum.
    // Needs a current GL context with the projection and view loaded, and
    // leaves the polygon mode at GL_LINE once anything was drawn.
    void Draw(const ORV::Vec3& eye);
    // Draws one subtree as Draw does, adding to mDrawNum.
    void DrawNode(const BSPNode* pNode, const ORV::Vec3& eye);

    // Calls visit(const BSPNode&, uint32_t depth) for every node in a fixed
    // order: a node, then its front subtree, then its back subtree.
    template <typename Visitor>
    void VisitNodes(Visitor&& visit) const;

    // True when both trees have the same shape and, node by node, bit-identical
    // planes, types and triangle lists.
    bool IsIdentical(const BSPTree& other) const;

    uint32_t mDepth = 0;
    int32_t mTriNum = 0;
    BSPNode* mpRoot = nullptr;
    uint32_t mFlags = 0;
    int32_t mDrawNum = 0;
    uint32_t mDegenerateNum = 0;
};

template <typename Visitor>
void BSPTree::WalkNode(const BSPNode* pNode, const ORV::Vec3& eye, Visitor&& visit) {
    // A node is pushed once to be opened (its far side, itself and its near
    // side are pushed in reverse) and once to hand over its own triangles.
    struct Step {
        const BSPNode* pNode;
        bool own;
    };
    std::vector<Step> stack;
    stack.push_back(Step{pNode, false});
    while (!stack.empty()) {
        Step step = stack.back();
        stack.pop_back();
        if (step.pNode == nullptr) continue;
        if (step.own) {
            for (const Triangle& tri : step.pNode->mTriList) visit(tri);
            continue;
        }
        // Only the sign matters, so a leaf's raw plane serves as well.
        float s = step.pNode->mPlane.Distance(eye);
        const BSPNode* pFar = (s > 0.0f) ? step.pNode->mpBack : step.pNode->mpFront;
        const BSPNode* pNear = (s > 0.0f) ? step.pNode->mpFront : step.pNode->mpBack;
        stack.push_back(Step{pNear, false});
        stack.push_back(Step{step.pNode, true});
        stack.push_back(Step{pFar, false});
    }
}

template <typename Visitor>
void BSPTree::VisitNodes(Visitor&& visit) const {
    struct Step {
        const BSPNode* pNode;
        uint32_t depth;
    };
    std::vector<Step> stack;
    if (mpRoot != nullptr) stack.push_back(Step{mpRoot, 0});
    while (!stack.empty()) {
        Step step = stack.back();
        stack.pop_back();
        visit(*step.pNode, step.depth);
        if (step.pNode->mpBack != nullptr) stack.push_back(Step{step.pNode->mpBack, step.depth + 1});
        if (step.pNode->mpFront != nullptr) stack.push_back(Step{step.pNode->mpFront, step.depth + 1});
    }
}

#endif  // BSP_TREE_H
