// TreeDiagram.cpp - the diagram's layout.
//
// Each node's children share out its span: the front side takes the left
// part, the back side the right part, and the node sits halfway between the
// two children's centres, so it lies strictly between them. A span is never
// narrower than the box at its centre, and spans of one row never overlap, so
// neither do the boxes. A missing child of a node that has the other one
// keeps an empty slot, so that the one child still sits on its own side.
//
// Which nodes open (show their children) is decided level by level: first
// the way from the top node down to the cursor, then whole levels under the
// top node while they fit the panel's width, then whole levels under the
// cursor's node while they fit.
#include "TreeDiagram.h"

#include <algorithm>
#include <cstdio>
#include <unordered_map>

namespace explore {

size_t SubtreeNodes(const BSPNode* pNode) {
    size_t n = 0;
    std::vector<const BSPNode*> stack;
    if (pNode != nullptr) stack.push_back(pNode);
    while (!stack.empty()) {
        const BSPNode* p = stack.back();
        stack.pop_back();
        ++n;
        if (p->mpFront != nullptr) stack.push_back(p->mpFront);
        if (p->mpBack != nullptr) stack.push_back(p->mpBack);
    }
    return n;
}

namespace {

constexpr uint8_t OPEN_FRONT = 1, OPEN_BACK = 2, OPEN_BOTH = 3;

class Layouter {
public:
    Layouter(const DiagramMetrics& metrics, const BSPNode* pTop, uint32_t topDepth,
             uint32_t nodeRows)
        : m(metrics), mpTop(pTop), mTopDepth(topDepth), mNodeRows(nodeRows) {
        countRegion();
    }

    std::unordered_map<const BSPNode*, uint8_t> open;

    // A node shown by the last Lay, its row, and whether it lies under pWithin.
    struct Shown {
        const BSPNode* pNode;
        uint32_t row;
        bool within;
    };
    std::vector<Shown> shown;

    // Lays the diagram out from the top node; returns its width. Fills
    // *pBoxes where given.
    float Lay(const BSPNode* pWithin, std::vector<DiagramBox>* pBoxes) {
        mpWithin = pWithin;
        mpBoxes = pBoxes;
        shown.clear();
        return place(mpTop, 0, -1, 0.0f, mpTop == pWithin).width;
    }

    size_t Count(const BSPNode* pNode) const {
        if (pNode == nullptr) return 0;
        auto found = mCounts.find(pNode);
        return found != mCounts.end() ? found->second : SubtreeNodes(pNode);
    }

private:
    struct Span {
        float width;
        float centre;  // absolute
    };

    // Counts every node's subtree down to the row under the last node row,
    // bottom up, so that each node below is walked once.
    void countRegion() {
        std::vector<std::pair<const BSPNode*, uint32_t>> region = {{mpTop, 0}};
        for (size_t i = 0; i < region.size(); ++i) {
            auto [p, row] = region[i];
            if (row >= mNodeRows) continue;
            if (p->mpFront != nullptr) region.emplace_back(p->mpFront, row + 1);
            if (p->mpBack != nullptr) region.emplace_back(p->mpBack, row + 1);
        }
        for (size_t i = region.size(); i-- > 0;) {
            auto [p, row] = region[i];
            mCounts[p] =
                row >= mNodeRows ? SubtreeNodes(p) : 1 + Count(p->mpFront) + Count(p->mpBack);
        }
    }

    float labelWidth(size_t n) const {
        char text[24];
        const int digits = std::snprintf(text, sizeof(text), "%zu", n);
        return std::max(m.nodeSize, float(digits) * m.charWidth + 2.0f * m.labelMargin);
    }
    float rowY(uint32_t row) const { return m.top + m.rowHeight * (float(row) + 0.5f); }

    int addBox(DiagramBox::Kind kind, const BSPNode* pNode, int side, size_t hidden, uint32_t row,
               float x, float w, float h, int parent) {
        if (mpBoxes == nullptr) return -1;
        DiagramBox box;
        box.kind = kind;
        box.pNode = pNode;
        box.side = side;
        box.hiddenNodes = hidden;
        box.depth = mTopDepth + row;
        box.x = x;
        box.y = rowY(row);
        box.w = w;
        box.h = h;
        box.parent = parent;
        mpBoxes->push_back(box);
        return int(mpBoxes->size() - 1);
    }

    // Subtrees left out, in one box under their parent's row.
    Span hidden(const BSPNode* pParent, int side, size_t n, uint32_t row, int parent, float x0) {
        const float w = labelWidth(n);
        const Span span{w + m.gap, x0 + (w + m.gap) * 0.5f};
        addBox(DiagramBox::HIDDEN, pParent, side, n, row, span.centre, w,
               std::max(m.nodeSize, m.textHeight), parent);
        return span;
    }

    Span side(const BSPNode* pNode, const BSPNode* pChild, int sideCode, bool shownSide,
              uint32_t row, int me, float x0, bool within) {
        if (pChild == nullptr) return Span{m.nodeSize + m.gap, x0 + (m.nodeSize + m.gap) * 0.5f};
        if (shownSide) return place(pChild, row + 1, me, x0, within);
        return hidden(pNode, sideCode, Count(pChild), row + 1, me, x0);
    }

    Span place(const BSPNode* pNode, uint32_t row, int parent, float x0, bool within) {
        within = within || pNode == mpWithin;
        shown.push_back(Shown{pNode, row, within});
        const int me =
            addBox(DiagramBox::NODE, pNode, 0, 0, row, 0.0f, m.nodeSize, m.nodeSize, parent);
        Span span;
        auto found = open.find(pNode);
        const uint8_t o = found != open.end() && row + 1 < mNodeRows ? found->second : 0;
        if (pNode->mpFront == nullptr && pNode->mpBack == nullptr) {
            span = Span{m.nodeSize + m.gap, x0 + (m.nodeSize + m.gap) * 0.5f};
        } else if (o == 0) {
            span = hidden(pNode, 0, Count(pNode->mpFront) + Count(pNode->mpBack), row + 1, me, x0);
        } else {
            const Span f =
                side(pNode, pNode->mpFront, -1, (o & OPEN_FRONT) != 0, row, me, x0, within);
            const Span b =
                side(pNode, pNode->mpBack, 1, (o & OPEN_BACK) != 0, row, me, x0 + f.width, within);
            span = Span{f.width + b.width, (f.centre + b.centre) * 0.5f};
        }
        if (me >= 0) (*mpBoxes)[size_t(me)].x = span.centre;
        return span;
    }

    const DiagramMetrics& m;
    const BSPNode* mpTop;
    uint32_t mTopDepth;
    uint32_t mNodeRows;
    const BSPNode* mpWithin = nullptr;
    std::vector<DiagramBox>* mpBoxes = nullptr;
    std::unordered_map<const BSPNode*, size_t> mCounts;
};

// Opens whole rows of the nodes shown under pWithin, the shallowest first,
// while the diagram stays within the panel's width.
void openLevels(Layouter& lay, const BSPNode* pWithin, uint32_t nodeRows, float width) {
    for (;;) {
        lay.Lay(pWithin, nullptr);
        uint32_t row = nodeRows;
        for (const Layouter::Shown& s : lay.shown) {
            const bool closed = (s.pNode->mpFront != nullptr || s.pNode->mpBack != nullptr) &&
                                lay.open[s.pNode] != OPEN_BOTH;
            if (s.within && closed && s.row + 1 < nodeRows) row = std::min(row, s.row);
        }
        if (row == nodeRows) return;
        const auto before = lay.open;
        for (const Layouter::Shown& s : lay.shown)
            if (s.within && s.row == row) lay.open[s.pNode] = OPEN_BOTH;
        if (lay.Lay(pWithin, nullptr) > width) {
            lay.open = before;
            return;
        }
    }
}

}  // namespace

DiagramLayout LayOutDiagram(const std::vector<const BSPNode*>& path,
                            const DiagramMetrics& metrics) {
    DiagramLayout out;
    if (path.empty()) return out;
    out.rows = uint32_t(std::max(0.0f, (metrics.height - metrics.top) / metrics.rowHeight));
    // The last row is for the counts under the lowest nodes.
    const uint32_t nodeRows = std::max(out.rows, 2u) - 1;
    const uint32_t cursorDepth = uint32_t(path.size() - 1);
    // Up to two levels above the cursor for context, as the rows allow.
    const uint32_t above = std::min(cursorDepth, std::min(2u, nodeRows - 1));
    out.topDepth = cursorDepth - above;
    const BSPNode* pTop = path[out.topDepth];

    Layouter lay(metrics, pTop, out.topDepth, nodeRows);
    for (uint32_t d = out.topDepth; d < cursorDepth; ++d)
        lay.open[path[d]] = path[d + 1] == path[d]->mpFront ? OPEN_FRONT : OPEN_BACK;
    openLevels(lay, pTop, nodeRows, metrics.width);
    openLevels(lay, path.back(), nodeRows, metrics.width);
    const float width = lay.Lay(nullptr, &out.boxes);

    for (size_t i = 0; i < out.boxes.size(); ++i)
        if (out.boxes[i].kind == DiagramBox::NODE && out.boxes[i].pNode == path.back())
            out.cursor = int(i);
    // Centred when it fits; otherwise as near the cursor's node as the panel
    // allows, that node always inside it.
    float shift = (metrics.width - width) * 0.5f;
    if (width > metrics.width && out.cursor >= 0) {
        shift = metrics.width * 0.5f - out.boxes[size_t(out.cursor)].x;
        shift = std::min(0.0f, std::max(metrics.width - width, shift));
    }
    for (DiagramBox& box : out.boxes) box.x += shift;

    out.treeNodes = SubtreeNodes(path.front());
    out.nodesAbove = out.treeNodes - lay.Count(pTop);
    return out;
}

int DiagramBoxOf(const DiagramLayout& layout, const BSPNode* pNode) {
    for (size_t i = 0; i < layout.boxes.size(); ++i) {
        const DiagramBox& box = layout.boxes[i];
        if (box.kind == DiagramBox::NODE && box.pNode == pNode) return int(i);
    }
    for (size_t i = 0; i < layout.boxes.size(); ++i) {
        const DiagramBox& box = layout.boxes[i];
        if (box.kind != DiagramBox::HIDDEN) continue;
        std::vector<const BSPNode*> stack;
        if (box.side <= 0 && box.pNode->mpFront != nullptr) stack.push_back(box.pNode->mpFront);
        if (box.side >= 0 && box.pNode->mpBack != nullptr) stack.push_back(box.pNode->mpBack);
        while (!stack.empty()) {
            const BSPNode* p = stack.back();
            stack.pop_back();
            if (p == pNode) return int(i);
            if (p->mpFront != nullptr) stack.push_back(p->mpFront);
            if (p->mpBack != nullptr) stack.push_back(p->mpBack);
        }
    }
    return -1;
}

}  // namespace explore
