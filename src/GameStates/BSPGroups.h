// BSPGroups.h - a list's triangles in groups with boxes around them: a
// hierarchy in which a candidate plane counts a whole box of triangles at
// once where a safe bound puts every corner in it on one side of the
// classification band as the search's kernel computes it (BoxSides in
// BSPSearchKernel.inl states why the bound is safe). Part of the fast search.
#ifndef BSP_GROUPS_H
#define BSP_GROUPS_H

#include "BSPRules.h"
#include "BSPSearchColumns.h"

namespace bspsearch {

// Set bits of a byte (no popcount instruction in the baseline processor).
inline int32_t bitCount(uint32_t byte) {
    byte = byte - ((byte >> 1) & 0x55u);
    byte = (byte & 0x33u) + ((byte >> 2) & 0x33u);
    return static_cast<int32_t>((byte + (byte >> 4)) & 0x0fu);
}

// The work of counts: boxes tested and triangles classified one by one.
struct GroupWork {
    uint64_t boxes = 0;
    uint64_t classified = 0;
};

// A list's triangles in a spatial order (by the Morton code of their
// centroids in the list's bounds), their corners as columns in that order,
// cut into groups of PAD; over them a hierarchy of boxes of BRANCH children
// each: level 0 a box per group, each level above a box per BRANCH of the
// level below, the top level one box.
class Groups {
public:
    static constexpr size_t BRANCH = 8;
    // Count adds whole boxes in int32_t: at most BRANCH boxes under one
    // parent, each box spanning fewer triangles than the list holds below
    // the top level, and fewer than BRANCH times the list (but at least PAD)
    // at it, so a list of n triangles needs BRANCH * max(n, PAD) < 2^31. The
    // longest list a build searches is a mesh's triangles or what a build
    // may hold, whichever is larger (the input limits below).
    static constexpr uint64_t MAX_LIST_NUM =
        std::max<uint64_t>(ORV::MAX_MESH_ELEMENT_NUM, MAX_BUILD_TRI_NUM);
    static_assert(BRANCH * MAX_LIST_NUM <= uint64_t(INT32_MAX),
                  "a list at the input limits would overflow the groups' int32_t counts");

    // Lays out list (any triangles: a group holding a corner that is not
    // finite gets unbounded boxes, which are never decided).
    void Build(const std::vector<Triangle>& list);
    size_t Num() const { return mCols.mNum; }
    // List positions in the groups' order.
    const std::vector<uint32_t>& Order() const { return mOrder; }

    // Per thread: the boxes still undecided, level by level.
    struct Scratch {
        std::vector<uint32_t> mNow, mNext;
    };

    // Adds every triangle's class against plane (nx, ny, nz, d) to *pCounts:
    // the boxes from the top down, each decided one counted whole, the
    // groups left classified by the kernel. After each change, gives up and
    // returns false when giveUp(*pCounts) says so.
    template <typename GiveUp>
    bool Count(const float* plane, const Kernel& kernel, Counts* pCounts, Scratch* pScratch,
               GiveUp&& giveUp, GroupWork* pWork) const;

private:
    struct Level {
        std::vector<float> mCol[6];  // least x, y, z and greatest x, y, z, padded to BRANCH
        size_t mNum = 0;             // boxes
        size_t mSpan = 0;            // triangles under each box (the last may hold fewer)
    };

    Columns mCols;
    std::vector<uint32_t> mOrder;
    std::vector<Level> mLevel;  // level 0 first
};

template <typename GiveUp>
bool Groups::Count(const float* plane, const Kernel& kernel, Counts* pCounts, Scratch* pScratch,
                   GiveUp&& giveUp, GroupWork* pWork) const {
    const size_t n = mCols.mNum;
    if (n == 0) return true;
    std::vector<uint32_t>& now = pScratch->mNow;
    std::vector<uint32_t>& next = pScratch->mNext;
    // The boxes BRANCH k .. BRANCH k + BRANCH - 1 of each level, from the
    // top: the parents' boxes were not decided. The top level's one box is
    // the first of a group of BRANCH.
    next.assign(1, 0u);
    for (size_t level = mLevel.size(); level-- > 0;) {
        const Level& l = mLevel[level];
        const float* col[6];
        for (int k = 0; k < 6; ++k) col[k] = l.mCol[k].data();
        now.swap(next);
        next.clear();
        for (uint32_t parent : now) {
            const size_t first = parent * BRANCH;
            const size_t num = std::min(BRANCH, l.mNum - first);
            uint32_t mask[3];
            kernel.boxSides(col, first, plane, mask);
            pWork->boxes += num;
            const uint32_t valid = (1u << num) - 1;
            // Only the level's last box may hold fewer than mSpan.
            const bool last = first + num == l.mNum;
            const int32_t shortBy = static_cast<int32_t>(l.mNum * l.mSpan - n);
            const uint32_t lastBit = 1u << (num - 1);
            auto sum = [&](uint32_t bits) {
                int32_t total = bitCount(bits) * static_cast<int32_t>(l.mSpan);
                return (last && (bits & lastBit) != 0) ? total - shortBy : total;
            };
            const uint32_t front = mask[0] & valid, back = mask[1] & valid;
            pCounts->mFront += sum(front);
            pCounts->mBack += sum(back);
            for (uint32_t mixed = valid & ~(front | back | mask[2]); mixed != 0; mixed &= mixed - 1)
                next.push_back(static_cast<uint32_t>(first + __builtin_ctz(mixed)));
            if ((front | back) != 0 && giveUp(*pCounts)) return false;
        }
        // The next level down holds the children of the boxes left; after
        // level 0, they are the groups left.
    }
    // Groups left: classified by the kernel, a few at a time between checks.
    constexpr size_t BATCH = 8;
    const float* col[9];
    mCols.Pointers(col);
    for (size_t g = 0; g < next.size(); g += BATCH) {
        const size_t num = std::min(BATCH, next.size() - g);
        kernel.countGroups(col, next.data() + g, num, plane, pCounts);
        pWork->classified += num * PAD;
        if (g + num < next.size() && giveUp(*pCounts)) return false;
    }
    return true;
}

}  // namespace bspsearch

#endif  // BSP_GROUPS_H
