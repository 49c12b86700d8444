// BSPSearchColumns.h - what the fast search's parts share (BSPSearch.cpp,
// BSPGroups.cpp, the kernel BSPSearchKernel.inl): counts, a list's corners
// as columns, and the kernel's entry points. Internal to the search.
#ifndef BSP_SEARCH_COLUMNS_H
#define BSP_SEARCH_COLUMNS_H

#include "Triangle.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

namespace bspsearch {

struct Counts {
    int32_t mFront, mBack, mCut;
};

// Candidate planes, in columns, and their counts: what carried counts are.
struct PlaneColumns {
    const float* pNx;
    const float* pNy;
    const float* pNz;
    const float* pD;
    int32_t* pFront;
    int32_t* pBack;
    int32_t* pCut;
};

// Classifies the triangles [begin, end) (whole blocks of the width) of nine
// corner columns against plane (nx, ny, nz, d), adding to the counts.
using CountFn = void (*)(const float* const* c, size_t begin, size_t end, const float* plane,
                         Counts* pCounts);
// Takes triangle t off the counts of the candidates [begin, end) of p.
using DeriveFn = void (*)(const PlaneColumns& p, const Triangle& t, size_t begin, size_t end);

// CountFn for the groups of PAD triangles numbered groups[0 .. num).
using CountGroupsFn = void (*)(const float* const* c, const uint32_t* groups, size_t num,
                               const float* plane, Counts* pCounts);
// The sides of eight boxes of six columns from first on: bits of masks for
// in front, behind, within the band (BSPSearchKernel.inl, BoxSides).
using BoxSidesFn = void (*)(const float* const* b, size_t first, const float* plane,
                            uint32_t* pMask);

struct Kernel {
    CountFn count;
    DeriveFn derive;
    CountGroupsFn countGroups;
    BoxSidesFn boxSides;
};

// The instance of a width (0: the widest) this processor runs best; null for
// a width other than 0, 4, 8 or 16.
const Kernel* KernelFor(unsigned width);

// The platform's part of KernelFor (BSPSearchKernelsDesktop.cpp, ...Web.cpp):
// the width this processor's vector extensions favour, and the instance of
// a width compiled for them when the processor has them (null otherwise:
// the baseline instance then serves).
unsigned NativeKernelWidth();
const Kernel* NativeKernel(unsigned width);

// The float bound of ClassifyTriangle's band: for a float s, s > EPSILON in
// double exactly when s > bound, and s < -EPSILON exactly when s < -bound.
inline float BandBound() {
    float f = static_cast<float>(CLASSIFY_EPSILON);
    while (static_cast<double>(f) > CLASSIFY_EPSILON) f = std::nextafter(f, 0.0f);
    while (static_cast<double>(std::nextafter(f, 1.0f)) <= CLASSIFY_EPSILON)
        f = std::nextafter(f, 1.0f);
    return f;
}

// Columns are padded to whole blocks of the widest kernel.
constexpr size_t PAD = 16;

// Triangles' corners as nine columns (x0 y0 z0 x1 ... z2), padded with NaN,
// which classifies as coplanar and so counts nowhere.
struct Columns {
    std::vector<float> mCol[9];
    size_t mNum = 0;
    size_t mPadded = 0;

    // Every stride-th triangle of list from first on, at most num of them.
    void Load(const std::vector<Triangle>& list, size_t first = 0, size_t stride = 1,
              size_t num = SIZE_MAX) {
        resize(std::min(num, (list.size() - first + stride - 1) / stride));
        for (size_t i = 0; i < mNum; ++i) set(i, list[first + i * stride]);
    }
    // The triangles list[order[0]], list[order[1]], ...
    void Load(const std::vector<Triangle>& list, const std::vector<uint32_t>& order) {
        resize(order.size());
        for (size_t i = 0; i < mNum; ++i) set(i, list[order[i]]);
    }
    void Pointers(const float** pCol) const {
        for (int k = 0; k < 9; ++k) pCol[k] = mCol[k].data();
    }

private:
    void resize(size_t num) {
        mNum = num;
        mPadded = (mNum + PAD - 1) / PAD * PAD;
        for (int c = 0; c < 9; ++c)
            mCol[c].assign(mPadded, std::numeric_limits<float>::quiet_NaN());
    }
    void set(size_t i, const Triangle& tri) {
        for (int k = 0; k < 3; ++k) {
            mCol[3 * k + 0][i] = tri.mPos[k].x;
            mCol[3 * k + 1][i] = tri.mPos[k].y;
            mCol[3 * k + 2][i] = tri.mPos[k].z;
        }
    }
};

}  // namespace bspsearch

#endif  // BSP_SEARCH_COLUMNS_H
