// BSPSearchKernel.inl - the fast search's classification kernel: one
// template for 4, 8 or 16 lanes. BSPSearch.cpp includes it once per target
// (the baseline processor, and each vector extension a width needs), each
// time in a namespace of its own; every instance computes the same bits.
// Uses Counts, PlaneColumns and PAD (BSPSearchColumns.h), and sBand from
// BSPSearch.cpp.

template <int W>
struct Lanes {
    typedef float F __attribute__((vector_size(4 * W)));
    typedef int32_t I __attribute__((vector_size(4 * W)));
};

// Every lane set to s: s - 0 is s exactly, signed zeros included, and
// compiles to one broadcast. (Vectors pass by pointer: a vector returned by
// value would differ between the instances' calling conventions.)
template <int W>
inline void splat(float s, typename Lanes<W>::F* pV) {
    *pV = s - typename Lanes<W>::F{};
}

// The sides of W (plane, triangle) pairs at once: *pF is -1 in the lanes
// where some corner lies in front of the band, *pB where some lies behind
// it. Each distance is ((nx x + ny y) + nz z) + d in single precision, as
// Plane::Distance computes it; corner k's coordinates are v[3k .. 3k+2].
template <int W>
inline void sides(const typename Lanes<W>::F& nx, const typename Lanes<W>::F& ny,
                  const typename Lanes<W>::F& nz, const typename Lanes<W>::F& d,
                  const typename Lanes<W>::F* v, typename Lanes<W>::I* pF,
                  typename Lanes<W>::I* pB) {
    typedef typename Lanes<W>::F F;
    F hi, lo;
    splat<W>(sBand.value, &hi);
    splat<W>(-sBand.value, &lo);
    const F s0 = nx * v[0] + ny * v[1] + nz * v[2] + d;
    const F s1 = nx * v[3] + ny * v[4] + nz * v[5] + d;
    const F s2 = nx * v[6] + ny * v[7] + nz * v[8] + d;
    *pF = (s0 > hi) | (s1 > hi) | (s2 > hi);
    *pB = (s0 < lo) | (s1 < lo) | (s2 < lo);
}

// Adds the classes of the triangles [begin, end) (whole blocks of W) of the
// nine corner columns c to the lanes' counts.
template <int W>
inline void accumulate(const float* const* c, size_t begin, size_t end,
                       const typename Lanes<W>::F* pPlane, typename Lanes<W>::I* pSum) {
    typedef typename Lanes<W>::F F;
    typedef typename Lanes<W>::I I;
    // Columns, plane and sums held in locals, the loads written out: a loop
    // over the nine columns, or sums behind a pointer, kept them on the stack
    // and doubled the instructions per block.
    const float *c0 = c[0], *c1 = c[1], *c2 = c[2], *c3 = c[3], *c4 = c[4], *c5 = c[5], *c6 = c[6],
                *c7 = c[7], *c8 = c[8];
    const F nx = pPlane[0], ny = pPlane[1], nz = pPlane[2], d = pPlane[3];
    I front = pSum[0], back = pSum[1], cut = pSum[2];
    for (size_t j = begin; j < end; j += W) {
        F v[9];
        std::memcpy(&v[0], c0 + j, sizeof(F));
        std::memcpy(&v[1], c1 + j, sizeof(F));
        std::memcpy(&v[2], c2 + j, sizeof(F));
        std::memcpy(&v[3], c3 + j, sizeof(F));
        std::memcpy(&v[4], c4 + j, sizeof(F));
        std::memcpy(&v[5], c5 + j, sizeof(F));
        std::memcpy(&v[6], c6 + j, sizeof(F));
        std::memcpy(&v[7], c7 + j, sizeof(F));
        std::memcpy(&v[8], c8 + j, sizeof(F));
        I f, b;
        sides<W>(nx, ny, nz, d, v, &f, &b);
        // A true lane is -1: subtracting it counts the triangle.
        front -= f;
        back -= b;
        cut -= f & b;
    }
    pSum[0] = front;
    pSum[1] = back;
    pSum[2] = cut;
}

template <int W>
inline void loadPlane(const float* plane, typename Lanes<W>::F* pPlane) {
    for (int k = 0; k < 4; ++k) splat<W>(plane[k], &pPlane[k]);
}

// Adds the lanes' counts to *pCounts: a spanning triangle is in both.
template <int W>
inline void reduce(const typename Lanes<W>::I* pSum, Counts* pCounts) {
    int32_t sums[3] = {0, 0, 0};
    for (int k = 0; k < W; ++k) {
        sums[0] += pSum[0][k];
        sums[1] += pSum[1][k];
        sums[2] += pSum[2][k];
    }
    pCounts->mFront += sums[0] - sums[2];
    pCounts->mBack += sums[1] - sums[2];
    pCounts->mCut += sums[2];
}

// Classifies the triangles [begin, end) (whole blocks of W) of the nine
// corner columns c against one plane (nx, ny, nz, d) and adds them to
// *pCounts.
template <int W>
void Count(const float* const* c, size_t begin, size_t end, const float* plane, Counts* pCounts) {
    typename Lanes<W>::F p[4];
    loadPlane<W>(plane, p);
    typename Lanes<W>::I sum[3] = {};
    accumulate<W>(c, begin, end, p, sum);
    reduce<W>(sum, pCounts);
}

// The same for the groups of PAD triangles numbered groups[0 .. num).
template <int W>
void CountGroups(const float* const* c, const uint32_t* groups, size_t num, const float* plane,
                 Counts* pCounts) {
    typename Lanes<W>::F p[4];
    loadPlane<W>(plane, p);
    typename Lanes<W>::I sum[3] = {};
    for (size_t g = 0; g < num; ++g)
        accumulate<W>(c, groups[g] * PAD, (groups[g] + 1) * PAD, p, sum);
    reduce<W>(sum, pCounts);
}

// The sides of the eight boxes first .. first + 7 of the six columns b (least
// x, y, z, greatest x, y, z) against plane, as bits (lane k is bit k) of
// pMask[0] (every corner in front of the band), pMask[1] (behind it) and
// pMask[2] (within it), each safe for the distances the kernel computes.
//
// Why it is safe. Let m be a corner's exact sum |nx x| + |ny y| + |nz z|
// + |d|, and u = 2^-24. The kernel's float distance s (six operations, each
// rounding by at most u relative) is within 4.0001u m of the exact distance
// e. The box's least exact distance L = d + sum of min(nk lo_k, nk hi_k)
// (the least over the box of each term) is at most e; its float value lo
// here is within 4.0001u M of L, where M, the same sum with each term's
// larger magnitude over the box, bounds m (rounding is monotonic, so the
// min of rounded products is the rounded min). mag, M in floats, is at
// least M (1 - 4.0001u). So s >= lo - 8.0003u mag, and lo - margin > band
// with margin = 12u mag rounded (at least 11.9999u mag) puts s above band;
// as rounding is monotonic and band is a float, the rounded difference
// compared with band is no weaker than the exact one. Likewise hi + margin
// below -band or below band. Underflowed products err by at most 2^-150
// each, far under the 1e-35 added. A mag of 1e37 or more (a sum could
// overflow), a NaN or an infinity decides nothing: every comparison fails.
inline void BoxSides(const float* const* b, size_t first, const float* plane, uint32_t* pMask) {
    typedef Lanes<8>::F F;
    typedef Lanes<8>::I I;
    F lo, hi, mag, zero = {};
    splat<8>(plane[3], &lo);
    hi = lo;
    mag = lo < zero ? -lo : lo;
    for (int k = 0; k < 3; ++k) {
        F n, l, h;
        splat<8>(plane[k], &n);
        std::memcpy(&l, b[k] + first, sizeof(F));
        std::memcpy(&h, b[k + 3] + first, sizeof(F));
        const F x = n * l, y = n * h;
        lo += x < y ? x : y;
        hi += x < y ? y : x;
        const F ax = x < zero ? -x : x, ay = y < zero ? -y : y;
        mag += ax < ay ? ay : ax;
    }
    F band, limit, tiny, factor;
    splat<8>(sBand.value, &band);
    splat<8>(1e37f, &limit);
    splat<8>(1e-35f, &tiny);
    splat<8>(12.0f * 0x1p-24f, &factor);
    const F margin = mag * factor + tiny;
    const I usable = mag < limit;
    const I front = usable & (lo - margin > band);
    const I back = usable & (hi + margin < -band);
    const I within = usable & (hi + margin < band) & (lo - margin > -band);
    // One code per lane (bit 0 front, 8 behind, 16 within) moved to its
    // lane's bit: one pass over the lanes instead of three.
    const I lane = {0, 1, 2, 3, 4, 5, 6, 7};
    const I code = ((front & 1) | (back & 0x100) | (within & 0x10000)) << lane;
    uint32_t all = 0;
    for (int k = 0; k < 8; ++k) all |= static_cast<uint32_t>(code[k]);
    pMask[0] = all & 0xffu;
    pMask[1] = (all >> 8) & 0xffu;
    pMask[2] = (all >> 16) & 0xffu;
}

// Takes triangle t off the counts of the candidates [begin, end) of p, begin
// a whole number of W; a tail of fewer than W goes one by one through
// ClassifyTriangle, which gives the same result.
template <int W>
void Derive(const PlaneColumns& p, const Triangle& t, size_t begin, size_t end) {
    typedef typename Lanes<W>::F F;
    typedef typename Lanes<W>::I I;
    F v[9];
    for (int k = 0; k < 3; ++k) {
        splat<W>(t.mPos[k].x, &v[3 * k + 0]);
        splat<W>(t.mPos[k].y, &v[3 * k + 1]);
        splat<W>(t.mPos[k].z, &v[3 * k + 2]);
    }
    size_t c = begin;
    for (; c + W <= end; c += W) {
        F nx, ny, nz, d;
        std::memcpy(&nx, p.pNx + c, sizeof(F));
        std::memcpy(&ny, p.pNy + c, sizeof(F));
        std::memcpy(&nz, p.pNz + c, sizeof(F));
        std::memcpy(&d, p.pD + c, sizeof(F));
        I f, b;
        sides<W>(nx, ny, nz, d, v, &f, &b);
        I front, back, cut;
        std::memcpy(&front, p.pFront + c, sizeof(I));
        std::memcpy(&back, p.pBack + c, sizeof(I));
        std::memcpy(&cut, p.pCut + c, sizeof(I));
        // A true lane is -1: adding it takes the triangle off.
        front += f & ~b;
        back += b & ~f;
        cut += f & b;
        std::memcpy(p.pFront + c, &front, sizeof(I));
        std::memcpy(p.pBack + c, &back, sizeof(I));
        std::memcpy(p.pCut + c, &cut, sizeof(I));
    }
    for (; c < end; ++c) {
        const Plane plane(ORV::Vec3(p.pNx[c], p.pNy[c], p.pNz[c]), p.pD[c]);
        switch (ClassifyTriangle(plane, t)) {
        case TRI_FRONT: --p.pFront[c]; break;
        case TRI_BACK: --p.pBack[c]; break;
        case TRI_SPANNING: --p.pCut[c]; break;
        default: break;
        }
    }
}
