// BSPTree.h - a binary space partitioning tree over the demo's triangles: the
// nodes, the walk from an eye point, and the comparison of two trees. The
// construction (BSPBuild.cpp, with the cut in BSPRules.cpp) and the drawing
// (BSPDraw.cpp) are members declared here and defined in their own files.
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

// The order of a walk through the tree from an eye point.
enum class WalkOrder {
    BackToFront,  // farthest first: the demo's painter's order
    FrontToBack   // nearest first: the same sequence reversed
};

struct BSPBuildSettings;

struct BSPNode {
    static constexpr int32_t TYPE_NONE = 0;      // being made
    static constexpr int32_t TYPE_LEAF = 1;      // no children
    static constexpr int32_t TYPE_INTERIOR = 2;  // at least one child

    BSPNode* mpFront = nullptr;      // owned; built from what lies in front of mPlane
    BSPNode* mpBack = nullptr;       // owned; built from what lies behind mPlane
    Plane mPlane;                    // unit normal, or raw for a one-triangle node
    std::vector<Triangle> mTriList;  // coplanar triangles in input order, then the splitter
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

    // The demo's splitter score weights (SplitterScore in BSPRules.h), read
    // by Build(list), BuildNode(depth, list) and ChooseSplitterIndex(list);
    // every other caller passes its own in BSPBuildSettings.
    static float sSplitWeight;    // 1.1 at start
    static float sBalanceWeight;  // 1.0 at start
    // Candidates Build(list) scores per node (BSPBuildSettings::candidates):
    // 0, every triangle, unless the demo's --candidates says otherwise.
    static size_t sCandidates;

    BSPTree() = default;
    ~BSPTree() { Clear(); }
    BSPTree(const BSPTree&) = delete;
    BSPTree& operator=(const BSPTree&) = delete;

    // Builds the tree from a copy of list (left unchanged) and returns true,
    // as the demo builds it: Build(list, settings) with the weights
    // sSplitWeight and sBalanceWeight (and sCandidates), on one thread per core, and with the
    // progress line of BSPProgressLine on standard output once the build has
    // run for half a second.
    bool Build(const std::vector<Triangle>& list);
    // Builds the tree from a copy of list (left unchanged) as settings say
    // (BSPBuild.h) and returns true; prints nothing itself. A tree already
    // built is freed first. Triangles without a plane (IsDegenerate) are left
    // out and counted in DegenerateNum, as are the pieces of a cut that have
    // no plane. Uses up to settings.threads threads (0: one per core), all
    // joined before it returns. May end the process with a report: where
    // cutting would grow the tree past GrowthLimit of the triangles given (or
    // settings.growthCap)
    // ("Cutting would grow the tree past N triangles (M given)!!", from
    // BuildNode), and where a cut cannot be made (SplitTriangle's reports).
    bool Build(const std::vector<Triangle>& list, const BSPBuildSettings& settings);
    // Frees every node; the tree is empty.
    void Clear();

    uint32_t Depth() const { return mDepth; }                  // deepest node; the root is 0
    int32_t TriNum() const { return mTriNum; }                 // triangles handed to Build
    int32_t DrawNum() const { return mDrawNum; }               // triangles drawn by the last Draw
    uint32_t DegenerateNum() const { return mDegenerateNum; }  // left out by the last Build
    uint32_t Flags() const { return mFlags; }
    void SetFlags(uint32_t bits) { mFlags |= bits; }
    void ClearFlags(uint32_t bits) { mFlags &= ~bits; }
    const BSPNode* Root() const { return mpRoot; }

    // Builds the subtree of list (consumed, every triangle with a plane) at
    // depth; null for an empty list. Raises mDepth to the depth of every node
    // made. The first form builds as Build(list) does, the second as settings
    // say; both may end the process as Build may.
    BSPNode* BuildNode(uint32_t depth, std::vector<Triangle> list);
    BSPNode* BuildNode(uint32_t depth, std::vector<Triangle> list,
                       const BSPBuildSettings& settings);
    // Frees a subtree; accepts null.
    static void FreeNode(BSPNode* pNode);

    // The index of the splitter of list (two or more triangles): the
    // candidate whose plane scores lowest by the rule of BSPRules.h, the
    // earliest on equal scores. The first form reads the two static weights,
    // the second takes the weights, search, kernel and threads of settings.
    static size_t ChooseSplitterIndex(const std::vector<Triangle>& list);
    static size_t ChooseSplitterIndex(const std::vector<Triangle>& list,
                                      const BSPBuildSettings& settings);
    // Removes the chosen splitter from list, sets plane to its unit-normal
    // plane (Plane::Set) and returns a copy of it.
    static Triangle ChooseSplitter(std::vector<Triangle>& list, Plane& plane);
    static Triangle ChooseSplitter(std::vector<Triangle>& list, Plane* pPlane) {
        return ChooseSplitter(list, *pPlane);
    }
    // Cuts tri by plane (CutTriangle, BSPRules.h) into up to two back pieces
    // (pBack[0..1]) and two front pieces (pFront[0..1]). A missing second
    // piece has all corners at the origin. Halts when a side does not come
    // out as three or four points, the front side tested and filled first.
    static void SplitTriangle(const Triangle& tri, const Plane& plane, Triangle* pBack,
                              Triangle* pFront);

    // The walk's own stack: a node pushed once to be opened and once to be
    // visited. A caller that walks every frame keeps one between walks, so
    // that the walk allocates nothing once it has grown to the tree's depth.
    struct WalkStep {
        const BSPNode* pNode;
        uint32_t depth;
        bool open;
    };
    using WalkStack = std::vector<WalkStep>;

    // Hands every node of the subtree at pNode to visit(const BSPNode&,
    // uint32_t depth), depth counted from pNode, in the painter's order from
    // eye: back to front, at each node the side away from the eye, the node,
    // then the side holding the eye (an eye on the plane counts as behind
    // it); front to back, the same sequence reversed. The second form works
    // on the caller's stack (left empty).
    template <typename NodeVisitor>
    static void WalkNodes(const BSPNode* pNode, const ORV::Vec3& eye, NodeVisitor&& visit,
                          WalkOrder order = WalkOrder::BackToFront) {
        WalkStack stack;
        WalkNodes(pNode, eye, visit, order, stack);
    }
    template <typename NodeVisitor>
    static void WalkNodes(const BSPNode* pNode, const ORV::Vec3& eye, NodeVisitor&& visit,
                          WalkOrder order, WalkStack& stack);
    // The same from the root, with each node's depth in the tree.
    template <typename NodeVisitor>
    void WalkNodes(const ORV::Vec3& eye, NodeVisitor&& visit,
                   WalkOrder order = WalkOrder::BackToFront) const {
        WalkNodes(mpRoot, eye, visit, order);
    }
    // Hands every triangle stored in the subtree at pNode to
    // visit(const Triangle&) in the painter's order: each node's own
    // triangles in list order back to front, in reverse list order front to
    // back, so the two orders are exact reverses of each other.
    template <typename Visitor>
    static void WalkNode(const BSPNode* pNode, const ORV::Vec3& eye, Visitor&& visit,
                         WalkOrder order = WalkOrder::BackToFront);
    // The same for the whole tree.
    template <typename Visitor>
    void Walk(const ORV::Vec3& eye, Visitor&& visit,
              WalkOrder order = WalkOrder::BackToFront) const {
        WalkNode(mpRoot, eye, visit, order);
    }

    // Draws the tree back to front (BSPDraw.cpp): each triangle filled flat
    // in corner 0's colour, then (with FLAG_OUTLINE) outlined in black;
    // counts mDrawNum. Needs a current GL context with the projection and
    // view loaded, and leaves the polygon mode at GL_LINE once anything was
    // drawn.
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

private:
    // Set by Build around its BuildNode: sides built side by side then keep
    // no copy of their lists to go on in order from; where they give up,
    // nothing is built, BuildNode returns null and sets *mpRestart, and
    // Build makes the whole tree again in order from its own input.
    bool* mpRestart = nullptr;
};

template <typename NodeVisitor>
void BSPTree::WalkNodes(const BSPNode* pNode, const ORV::Vec3& eye, NodeVisitor&& visit,
                        WalkOrder order, WalkStack& stack) {
    // Opening a node pushes its sides and itself in reverse order of visiting.
    using Step = WalkStep;
    stack.clear();
    stack.push_back(Step{pNode, 0, true});
    while (!stack.empty()) {
        const Step step = stack.back();
        stack.pop_back();
        if (step.pNode == nullptr) continue;
        if (!step.open) {
            visit(*step.pNode, step.depth);
            continue;
        }
        // Only the sign matters, so a leaf's raw plane serves as well.
        const bool eyeInFront = step.pNode->mPlane.Distance(eye) > 0.0f;
        const BSPNode* pFar = eyeInFront ? step.pNode->mpBack : step.pNode->mpFront;
        const BSPNode* pNear = eyeInFront ? step.pNode->mpFront : step.pNode->mpBack;
        const bool backToFront = order == WalkOrder::BackToFront;
        stack.push_back(Step{backToFront ? pNear : pFar, step.depth + 1, true});
        stack.push_back(Step{step.pNode, step.depth, false});
        stack.push_back(Step{backToFront ? pFar : pNear, step.depth + 1, true});
    }
}

template <typename Visitor>
void BSPTree::WalkNode(const BSPNode* pNode, const ORV::Vec3& eye, Visitor&& visit,
                       WalkOrder order) {
    WalkNodes(
        pNode, eye,
        [&](const BSPNode& node, uint32_t) {
            if (order == WalkOrder::BackToFront) {
                for (const Triangle& tri : node.mTriList) visit(tri);
            } else {
                for (auto it = node.mTriList.rbegin(); it != node.mTriList.rend(); ++it) visit(*it);
            }
        },
        order);
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
        if (step.pNode->mpBack != nullptr)
            stack.push_back(Step{step.pNode->mpBack, step.depth + 1});
        if (step.pNode->mpFront != nullptr)
            stack.push_back(Step{step.pNode->mpFront, step.depth + 1});
    }
}

#endif  // BSP_TREE_H
