// BSPSearchKernel.inl - the fast search's classification kernel: one
// template for 4, 8 or 16 lanes. BSPSearch.cpp includes it once per target
// (the baseline processor, and each vector extension a width needs), each
// time in a namespace of its own; every instance computes the same bits.
// Uses Counts, PlaneColumns and sBand from BSPSearch.cpp.

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

// Classifies the triangles [begin, end) (whole blocks of W) of the nine
// corner columns c against one plane (nx, ny, nz, d) and adds them to
// *pCounts.
template <int W>
void Count(const float* const* c, size_t begin, size_t end, const float* plane, Counts* pCounts) {
    typedef typename Lanes<W>::F F;
    typedef typename Lanes<W>::I I;
    F nx, ny, nz, d;
    splat<W>(plane[0], &nx);
    splat<W>(plane[1], &ny);
    splat<W>(plane[2], &nz);
    splat<W>(plane[3], &d);
    I front = {}, back = {}, cut = {};
    for (size_t j = begin; j < end; j += W) {
        F v[9];
        for (int k = 0; k < 9; ++k) std::memcpy(&v[k], c[k] + j, sizeof(F));
        I f, b;
        sides<W>(nx, ny, nz, d, v, &f, &b);
        // A true lane is -1: subtracting it counts the triangle.
        front -= f;
        back -= b;
        cut -= f & b;
    }
    int32_t sums[3] = {0, 0, 0};
    for (int k = 0; k < W; ++k) {
        sums[0] += front[k];
        sums[1] += back[k];
        sums[2] += cut[k];
    }
    pCounts->mFront += sums[0] - sums[2];
    pCounts->mBack += sums[1] - sums[2];
    pCounts->mCut += sums[2];
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
