// BSPGroups.cpp - laying out a list's triangles in groups along a Morton
// curve, and the boxes of the groups' hierarchy.
#include "BSPGroups.h"

#include "MeshBounds.h"

#include <utility>

namespace bspsearch {

namespace {

// Bits per axis of the Morton code: 2^30 cells are finer than any list the
// build holds, so groups of neighbours stay small.
constexpr int CODE_BITS = 10;
constexpr uint32_t CELLS = (1u << CODE_BITS) - 1;

// x's bits spread to every third place.
uint32_t spread(uint32_t x) {
    x &= 0x3ff;
    x = (x | (x << 16)) & 0x030000ff;
    x = (x | (x << 8)) & 0x0300f00f;
    x = (x | (x << 4)) & 0x030c30c3;
    x = (x | (x << 2)) & 0x09249249;
    return x;
}

bool finite(const Triangle& tri) {
    for (const ORV::Vec3& p : tri.mPos)
        if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z)) return false;
    return true;
}

// The positions 0..n-1 sorted by key, stably: three passes of ten bits.
std::vector<uint32_t> sortByKey(const std::vector<uint32_t>& key) {
    const size_t n = key.size();
    std::vector<uint32_t> order(n), other(n);
    for (size_t i = 0; i < n; ++i) order[i] = static_cast<uint32_t>(i);
    std::vector<uint32_t> start(1u << CODE_BITS);
    for (int pass = 0; pass < 3; ++pass) {
        const int shift = pass * CODE_BITS;
        std::fill(start.begin(), start.end(), 0u);
        for (uint32_t i : order) ++start[(key[i] >> shift) & CELLS];
        uint32_t sum = 0;
        for (uint32_t& s : start) sum += std::exchange(s, sum);
        for (uint32_t i : order) other[start[(key[i] >> shift) & CELLS]++] = i;
        order.swap(other);
    }
    return order;
}

}  // namespace

void Groups::Build(const std::vector<Triangle>& list) {
    const size_t n = list.size();
    // Centroids' bounds, over the triangles with finite corners.
    float lo[3] = {HUGE_VALF, HUGE_VALF, HUGE_VALF}, hi[3] = {-HUGE_VALF, -HUGE_VALF, -HUGE_VALF};
    std::vector<uint32_t> key(n, 0u);
    auto centroid = [](const Triangle& tri, int k) {
        return ((&tri.mPos[0].x)[k] + (&tri.mPos[1].x)[k] + (&tri.mPos[2].x)[k]) / 3.0f;
    };
    for (const Triangle& tri : list) {
        if (!finite(tri)) continue;
        for (int k = 0; k < 3; ++k) {
            lo[k] = std::min(lo[k], centroid(tri, k));
            hi[k] = std::max(hi[k], centroid(tri, k));
        }
    }
    float scale[3];
    for (int k = 0; k < 3; ++k) {
        const float extent = hi[k] - lo[k];
        scale[k] =
            (extent > 0.0f && std::isfinite(extent)) ? static_cast<float>(CELLS) / extent : 0.0f;
    }
    for (size_t i = 0; i < n; ++i) {
        if (!finite(list[i])) continue;
        uint32_t cell[3];
        for (int k = 0; k < 3; ++k)
            cell[k] = GridCell(centroid(list[i], k), lo[k], scale[k], CELLS);
        key[i] = spread(cell[0]) | (spread(cell[1]) << 1) | (spread(cell[2]) << 2);
    }
    mOrder = sortByKey(key);
    std::vector<uint32_t>().swap(key);
    mCols.Load(list, mOrder);

    // A box per group, then a box per BRANCH boxes until one is left.
    mLevel.clear();
    Level groups;
    groups.mNum = (n + PAD - 1) / PAD;
    groups.mSpan = PAD;
    const size_t padded = (groups.mNum + BRANCH - 1) / BRANCH * BRANCH;
    for (int k = 0; k < 3; ++k) {
        groups.mCol[k].assign(padded, HUGE_VALF);
        groups.mCol[k + 3].assign(padded, -HUGE_VALF);
    }
    for (size_t i = 0; i < n; ++i) {
        const size_t g = i / PAD;
        const Triangle& tri = list[mOrder[i]];
        const bool bounded = finite(tri);
        for (const ORV::Vec3& p : tri.mPos) {
            for (int k = 0; k < 3; ++k) {
                float& least = groups.mCol[k][g];
                float& most = groups.mCol[k + 3][g];
                least = std::min(least, bounded ? (&p.x)[k] : -HUGE_VALF);
                most = std::max(most, bounded ? (&p.x)[k] : HUGE_VALF);
            }
        }
    }
    mLevel.push_back(std::move(groups));
    while (mLevel.back().mNum > 1) {
        const Level& below = mLevel.back();
        Level up;
        up.mNum = (below.mNum + BRANCH - 1) / BRANCH;
        up.mSpan = below.mSpan * BRANCH;
        const size_t upPadded = (up.mNum + BRANCH - 1) / BRANCH * BRANCH;
        for (int k = 0; k < 3; ++k) {
            up.mCol[k].assign(upPadded, HUGE_VALF);
            up.mCol[k + 3].assign(upPadded, -HUGE_VALF);
        }
        for (size_t b = 0; b < below.mNum; ++b) {
            for (int k = 0; k < 3; ++k) {
                up.mCol[k][b / BRANCH] = std::min(up.mCol[k][b / BRANCH], below.mCol[k][b]);
                up.mCol[k + 3][b / BRANCH] =
                    std::max(up.mCol[k + 3][b / BRANCH], below.mCol[k + 3][b]);
            }
        }
        mLevel.push_back(std::move(up));
    }
}

}  // namespace bspsearch
