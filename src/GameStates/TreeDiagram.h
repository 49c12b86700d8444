// TreeDiagram.h - where the boxes of the tree's diagram go in a panel: the
// top node at the top, each node's front child to its left and back child to
// its right, no two boxes overlapping. A tree too big for the panel shows the
// levels that fit around the node cursor, whose node is always shown; each
// part left out is one box with its count of nodes. No GL here.
#ifndef BSP_TREE_DIAGRAM_H
#define BSP_TREE_DIAGRAM_H

#include "BSPTree.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace explore {

// Sizes of the panel and of what goes in it, in pixels.
struct DiagramMetrics {
    float width = 380.0f;      // the panel
    float height = 230.0f;     //
    float top = 0.0f;          // room left free above the first row (a caption)
    float rowHeight = 26.0f;   // from one level to the next
    float nodeSize = 10.0f;    // a node's square
    float gap = 4.0f;          // at least this much between boxes side by side
    float charWidth = 7.0f;    // a digit of a count
    float labelMargin = 3.0f;  // between a count and its box's sides
    float textHeight = 14.0f;  // a count's box
};

struct DiagramBox {
    enum Kind {
        NODE,   // a node of the tree
        HIDDEN  // stands for subtrees left out
    };
    Kind kind = NODE;
    // NODE: the node. HIDDEN: the node whose child subtrees it stands for,
    // the front one (side -1), the back one (side 1) or both (side 0).
    const BSPNode* pNode = nullptr;
    int side = 0;
    size_t hiddenNodes = 0;    // HIDDEN: the nodes it stands for
    uint32_t depth = 0;        // the tree depth of its row
    float x = 0.0f, y = 0.0f;  // centre, from the panel's top left corner
    float w = 0.0f, h = 0.0f;  // size
    int parent = -1;           // the box above it, joined by a line; -1 for the top box
};

struct DiagramLayout {
    std::vector<DiagramBox> boxes;  // the top box first
    int cursor = -1;                // the cursor's node's box; -1 for an empty tree
    uint32_t topDepth = 0;          // the depth of the top box's node
    uint32_t rows = 0;              // rows the panel has room for
    size_t treeNodes = 0;           // in the whole tree
    size_t nodesAbove = 0;          // not under the top box's node
};

// The layout for a node cursor at the end of path, the nodes from the root
// down to it, each a child of the one before (NodeCursor::Path). An empty
// path gives no boxes. Every node under the top box's node is either a NODE
// box or counted by exactly one HIDDEN box. The cursor's node is always a
// box inside the panel (the panel needs room for two rows); where even the
// way down to it is wider than the panel, the boxes far from it fall
// outside the panel and the drawing clips them.
DiagramLayout LayOutDiagram(const std::vector<const BSPNode*>& path, const DiagramMetrics& metrics);

// The box that shows pNode: its NODE box, or the HIDDEN box counting it; -1
// when it is not under the top box's node.
int DiagramBoxOf(const DiagramLayout& layout, const BSPNode* pNode);

// Nodes in the subtree at pNode (null: 0).
size_t SubtreeNodes(const BSPNode* pNode);

}  // namespace explore

#endif  // BSP_TREE_DIAGRAM_H
