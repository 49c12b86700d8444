// BSPSearch.cpp - the fast splitter search: one classification kernel
// template at three widths, the sampled first candidate, the early stop,
// the counts carried down chains, and the search on the build's threads.
#include "BSPSearch.h"

#include "ThreadPool.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <mutex>
#include <thread>

namespace bspsearch {

namespace {

// Lists at least this long look for a promising first candidate on a sample.
constexpr size_t SAMPLE_MIN = 256;
constexpr size_t SAMPLE_NUM = 64;
// Triangles classified between two checks of a candidate's partial score.
constexpr size_t BLOCK = 256;
// Candidates a thread takes at a time.
constexpr size_t CHUNK = 8;
// Candidates a thread takes at a time when carried counts are updated: whole
// groups of lanes of every width, so no two threads share one.
constexpr size_t DERIVE_CHUNK = 64;

// The float bound of ClassifyTriangle's band: for a float s, s > EPSILON in
// double exactly when s > bound, and s < -EPSILON exactly when s < -bound.
float bandBound() {
    float f = static_cast<float>(CLASSIFY_EPSILON);
    while (static_cast<double>(f) > CLASSIFY_EPSILON) f = std::nextafter(f, 0.0f);
    while (static_cast<double>(std::nextafter(f, 1.0f)) <= CLASSIFY_EPSILON)
        f = std::nextafter(f, 1.0f);
    return f;
}
// Read by every kernel call on every thread: on a cache line of its own, so
// that no variable another thread writes shares it (one that did made the
// two-thread build a quarter slower).
struct alignas(64) Band {
    float value;
};
const Band sBand{bandBound()};

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

}  // namespace

using CountFn = void (*)(const float* const* c, size_t begin, size_t end, const float* plane,
                         Counts* pCounts);
using DeriveFn = void (*)(const PlaneColumns& p, const Triangle& t, size_t begin, size_t end);

struct Kernel {
    CountFn count;
    DeriveFn derive;
};

namespace {

// The kernel template (BSPSearchKernel.inl) compiled for the baseline
// processor at every width, and again for the vector extensions that the
// wider widths need. (A template helper compiled for the baseline and only
// inlined into a function for an extension loses its vector comparisons in
// GCC, so each instance is compiled whole for its target.)
namespace baseline {
#include "BSPSearchKernel.inl"
}  // namespace baseline

#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx2"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx2")
#endif
namespace avx2 {
#include "BSPSearchKernel.inl"
}  // namespace avx2
#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif

#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx512f"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx512f")
#endif
namespace avx512 {
#include "BSPSearchKernel.inl"
}  // namespace avx512
#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif

const Kernel sKernel4 = {baseline::Count<4>, baseline::Derive<4>};
const Kernel sKernel8 = {baseline::Count<8>, baseline::Derive<8>};
const Kernel sKernel8Avx2 = {avx2::Count<8>, avx2::Derive<8>};
const Kernel sKernel16 = {baseline::Count<16>, baseline::Derive<16>};
const Kernel sKernel16Avx512 = {avx512::Count<16>, avx512::Derive<16>};

// The instance of a width (0: the widest) this processor runs best.
const Kernel* kernelFor(unsigned width) {
    __builtin_cpu_init();
    const bool avx512 = __builtin_cpu_supports("avx512f");
    const bool avx2 = __builtin_cpu_supports("avx2");
    if (width == 0) width = avx512 ? 16 : avx2 ? 8 : 4;
    switch (width) {
    case 4: return &sKernel4;
    case 8: return avx2 ? &sKernel8Avx2 : &sKernel8;
    case 16: return avx512 ? &sKernel16Avx512 : &sKernel16;
    default: return nullptr;
    }
}

// A list's corners as nine columns (x0 y0 z0 x1 ... z2), padded to whole
// blocks of the widest kernel with NaN, which classifies as coplanar and so
// counts nowhere.
constexpr size_t PAD = 16;

struct Columns {
    std::vector<float> mCol[9];
    size_t mNum = 0;
    size_t mPadded = 0;

    // Every stride-th triangle of list from first on, at most num of them.
    void Load(const std::vector<Triangle>& list, size_t first = 0, size_t stride = 1,
              size_t num = SIZE_MAX) {
        mNum = std::min(num, (list.size() - first + stride - 1) / stride);
        mPadded = (mNum + PAD - 1) / PAD * PAD;
        for (int c = 0; c < 9; ++c)
            mCol[c].assign(mPadded, std::numeric_limits<float>::quiet_NaN());
        for (size_t i = 0; i < mNum; ++i) {
            const Triangle& tri = list[first + i * stride];
            for (int k = 0; k < 3; ++k) {
                mCol[3 * k + 0][i] = tri.mPos[k].x;
                mCol[3 * k + 1][i] = tri.mPos[k].y;
                mCol[3 * k + 2][i] = tri.mPos[k].z;
            }
        }
    }
    void Pointers(const float** pCol) const {
        for (int k = 0; k < 9; ++k) pCol[k] = mCol[k].data();
    }
};

// The best (score, list position) so far. A candidate wins with a lower
// score, or with an equal one from earlier in the list; nothing wins without
// beating the start score.
struct Best {
    float mScore;
    size_t mIndex = SIZE_MAX;
    bool mFound = false;

    bool Beaten(float score, size_t index) const {
        return score < mScore || (mFound && score == mScore && index < mIndex);
    }
    void Offer(float score, size_t index) {
        if (!Beaten(score, index)) return;
        mScore = score;
        mIndex = index;
        mFound = true;
    }
    void Merge(const Best& other) {
        if (other.mFound) Offer(other.mScore, other.mIndex);
    }
    size_t Index() const { return mFound ? mIndex : 0; }
};

float scoreOf(const Counts& c, const Context& ctx) {
    return SplitterScore(c.mFront, c.mBack, c.mCut, ctx.SplitWeight(), ctx.BalanceWeight());
}

// Counts candidate i of list against every other triangle. With bound set,
// gives up (returns false) at the end of a block once the partial score
// cannot beat best, or is above beatenAbove (a score some candidate has):
// every count only grows, so the full score could not win either.
bool countCandidate(const std::vector<Triangle>& list, const Columns& cols, size_t i,
                    const Plane& plane, const Context& ctx, bool bound, const Best& best,
                    float beatenAbove, Counts* pOut, uint64_t* pWork) {
    // The candidate itself is in the columns: take its own side off first,
    // so every partial count stays at or below the final one.
    Counts c{0, 0, 0};
    switch (ClassifyTriangle(plane, list[i])) {
    case TRI_FRONT: c.mFront = -1; break;
    case TRI_BACK: c.mBack = -1; break;
    case TRI_SPANNING: c.mCut = -1; break;
    default: break;
    }
    const float p[4] = {plane.mNormal.x, plane.mNormal.y, plane.mNormal.z, plane.mD};
    const float* col[9];
    cols.Pointers(col);
    const CountFn count = ctx.KernelToUse().count;
    for (size_t begin = 0; begin < cols.mPadded; begin += BLOCK) {
        const size_t end = std::min(cols.mPadded, begin + BLOCK);
        count(col, begin, end, p, &c);
        *pWork += end - begin;
        if (bound && end < cols.mPadded) {
            const float partial = scoreOf(c, ctx);
            if (!best.Beaten(partial, i) || partial > beatenAbove) return false;
        }
    }
    *pOut = c;
    return true;
}

}  // namespace

Context::Context(const BSPBuildSettings& settings)
    : mSplitWeight(settings.splitWeight),
      mBalanceWeight(settings.balanceWeight),
      mpKernel(kernelFor(settings.kernelWidth)),
      mThreads(settings.threads != 0 ? settings.threads
                                     : std::max(1u, std::thread::hardware_concurrency())) {
    ORV_ASSERT_PARM(mpKernel != nullptr);
}

bool Context::RunOnThreads(const std::function<void(unsigned, unsigned)>& job) {
    if (mThreads <= 1) return false;
    const unsigned count = mThreads;
    return ThreadPool::TryRunShared(count, [&](unsigned k) { job(k, count); });
}

void Context::Run(const std::function<void(unsigned, unsigned)>& job) {
    if (!RunOnThreads(job)) job(0, 1);
}

size_t ChooseSplitter(const std::vector<Triangle>& list, Context& ctx, uint64_t* pCounted) {
    const size_t n = list.size();
    uint64_t work = 0;
    // Adds the classifications made to the build's figures on every return.
    struct Tally {
        Context& ctx;
        uint64_t& work;
        uint64_t* pOut;
        ~Tally() {
            if (pOut != nullptr) *pOut = work;
            ctx.mScored.fetch_add(work, std::memory_order_relaxed);
        }
    } tally{ctx, work, pCounted};
    if (n == 0) return 0;
    // With both weights non-negative a score only grows with its counts.
    const bool bound = ctx.BalanceWeight() >= 0.0f && ctx.SplitWeight() >= 0.0f;
    const float none = scoreOf(Counts{0, 0, 0}, ctx);
    const float inf = std::numeric_limits<float>::infinity();
    // The first candidate alone often settles the search (a score of zero
    // ends it): it is counted one by one before anything is laid out.
    Best first{StartScore(n, ctx.SplitWeight(), ctx.BalanceWeight())};
    // Once even a candidate that counts nothing cannot beat the best, no
    // later one can.
    auto hopeless = [&](size_t i, const Best& best) { return bound && !best.Beaten(none, i); };
    if (!hopeless(0, first)) {
        const Plane plane = CandidatePlane(list[0]);
        int32_t side[5] = {0, 0, 0, 0, 0};
        for (size_t j = 1; j < n; ++j) ++side[ClassifyTriangle(plane, list[j])];
        work += n - 1;
        first.Offer(scoreOf(Counts{side[TRI_FRONT], side[TRI_BACK], side[TRI_SPANNING]}, ctx), 0);
    }
    if (hopeless(1, first)) return first.Index();

    Columns cols;
    cols.Load(list);
    // Each candidate's plane, computed once for the sample and the search
    // when there is a sample.
    std::vector<Plane> planes;
    auto planeOf = [&](size_t i) { return planes.empty() ? CandidatePlane(list[i]) : planes[i]; };

    // Candidate i is given up once its partial score cannot beat the best so
    // far (a lower score, or an equal one from later in the list).
    auto scan = [&](size_t i, Best& best, float beatenAbove, uint64_t& counted) {
        if (best.mFound && i == best.mIndex) return;
        Counts c;
        if (countCandidate(list, cols, i, planeOf(i), ctx, bound, best, beatenAbove, &c, &counted))
            best.Offer(scoreOf(c, ctx), i);
    };
    // A low score early makes the early stop bite: the candidate that does
    // best against a sample of the list is counted in full next.
    if (bound && n >= SAMPLE_MIN) {
        planes.resize(n);
        for (size_t i = 0; i < n; ++i) planes[i] = CandidatePlane(list[i]);
        Columns sample;
        sample.Load(list, 0, n / SAMPLE_NUM, SAMPLE_NUM);
        const float* col[9];
        sample.Pointers(col);
        const CountFn count = ctx.KernelToUse().count;
        Best guess{inf};
        for (size_t i = 1; i < n; ++i) {
            const Plane& plane = planes[i];
            const float p[4] = {plane.mNormal.x, plane.mNormal.y, plane.mNormal.z, plane.mD};
            Counts c{0, 0, 0};
            count(col, 0, sample.mPadded, p, &c);
            guess.Offer(scoreOf(c, ctx), i);
        }
        work += static_cast<uint64_t>(n) * sample.mPadded;
        if (guess.mFound) scan(guess.mIndex, first, inf, work);
    }

    if (n < PARALLEL_MIN || ctx.Threads() <= 1) {
        Best best = first;
        for (size_t i = 1; i < n && !hopeless(i, best); ++i) scan(i, best, inf, work);
        return best.Index();
    }

    // Each thread takes chunks in rising order, so its own best always comes
    // from an earlier candidate or the first one; the lowest score found by
    // any thread only rules out candidates that are strictly worse.
    std::atomic<size_t> next{1};
    std::atomic<float> shared{first.mFound ? first.mScore : inf};
    std::mutex resultMutex;
    Best result = first;
    ctx.Run([&](unsigned, unsigned) {
        Best best = first;
        uint64_t counted = 0;
        bool stop = false;
        while (!stop) {
            const size_t begin = next.fetch_add(CHUNK, std::memory_order_relaxed);
            if (begin >= n) break;
            for (size_t i = begin; i < std::min(n, begin + CHUNK); ++i) {
                if (hopeless(i, best)) {
                    stop = true;
                    break;
                }
                scan(i, best, shared.load(std::memory_order_relaxed), counted);
                float seen = shared.load(std::memory_order_relaxed);
                while (bound && best.mFound && best.mScore < seen &&
                       !shared.compare_exchange_weak(seen, best.mScore)) {
                }
            }
        }
        std::lock_guard<std::mutex> lock(resultMutex);
        result.Merge(best);
        work += counted;
    });
    return result.Index();
}

void CarriedCounts::resize(size_t n) {
    for (std::vector<float>* p : {&mNx, &mNy, &mNz, &mD}) p->resize(n);
    for (std::vector<int32_t>* p : {&mFront, &mBack, &mCut}) p->resize(n);
}

void CarriedCounts::Clear() {
    // The columns are sized together: one empty, all are.
    if (!empty()) {
        for (std::vector<float>* p : {&mNx, &mNy, &mNz, &mD}) std::vector<float>().swap(*p);
        for (std::vector<int32_t>* p : {&mFront, &mBack, &mCut}) std::vector<int32_t>().swap(*p);
    }
    mCountAll = false;
    mSearched = 0;
}

size_t CarriedCounts::ChooseSplitter(const std::vector<Triangle>& list, Context& ctx) {
    if (!empty()) return choose(ctx);
    if (mCountAll) return countAll(list, ctx);
    return bspsearch::ChooseSplitter(list, ctx, &mSearched);
}

size_t CarriedCounts::countAll(const std::vector<Triangle>& list, Context& ctx) {
    const size_t n = list.size();
    Columns cols;
    cols.Load(list);
    resize(n);
    std::atomic<size_t> next{0};
    auto job = [&](unsigned, unsigned) {
        uint64_t work = 0;
        for (;;) {
            const size_t first = next.fetch_add(CHUNK, std::memory_order_relaxed);
            if (first >= n) break;
            for (size_t i = first; i < std::min(n, first + CHUNK); ++i) {
                const Plane plane = CandidatePlane(list[i]);
                Counts c;
                countCandidate(list, cols, i, plane, ctx, false, Best{0.0f}, 0.0f, &c, &work);
                mNx[i] = plane.mNormal.x;
                mNy[i] = plane.mNormal.y;
                mNz[i] = plane.mNormal.z;
                mD[i] = plane.mD;
                mFront[i] = c.mFront;
                mBack[i] = c.mBack;
                mCut[i] = c.mCut;
            }
        }
    };
    if (n < PARALLEL_MIN) job(0, 1);
    else ctx.Run(job);
    ctx.mScored.fetch_add(static_cast<uint64_t>(n) * cols.mPadded, std::memory_order_relaxed);
    return choose(ctx);
}

size_t CarriedCounts::choose(const Context& ctx) const {
    const size_t n = mNx.size();
    Best best{StartScore(n, ctx.SplitWeight(), ctx.BalanceWeight())};
    for (size_t i = 0; i < n; ++i)
        best.Offer(scoreOf(Counts{mFront[i], mBack[i], mCut[i]}, ctx), i);
    return best.Index();
}

CarriedCounts CarriedCounts::ForChild(const std::vector<Triangle>& list,
                                      const std::vector<uint8_t>& sides, int keepSide,
                                      size_t keepNum, Context& ctx) {
    CarriedCounts child;
    const size_t n = list.size();
    const bool chain = keepNum >= CARRY_MIN && (n - keepNum) * CHAIN_RATIO <= keepNum;
    if (chain && !empty()) {
        derive(list, sides, keepSide, ctx);
        std::swap(child, *this);
    } else if (chain) {
        // Counting every candidate pays only where the search could not
        // skip most of them.
        child.mCountAll = mSearched >= static_cast<uint64_t>(n) * n / 4;
    }
    Clear();
    return child;
}

void CarriedCounts::derive(const std::vector<Triangle>& list, const std::vector<uint8_t>& sides,
                           int keepSide, Context& ctx) {
    // The triangles leaving, and the counts compacted to those staying.
    std::vector<const Triangle*> gone;
    size_t write = 0;
    for (size_t i = 0; i < list.size(); ++i) {
        if (sides[i] != keepSide) {
            gone.push_back(&list[i]);
            continue;
        }
        mNx[write] = mNx[i];
        mNy[write] = mNy[i];
        mNz[write] = mNz[i];
        mD[write] = mD[i];
        mFront[write] = mFront[i];
        mBack[write] = mBack[i];
        mCut[write] = mCut[i];
        ++write;
    }
    resize(write);
    const size_t n = write;
    ctx.mCarried.fetch_add(static_cast<uint64_t>(n) * gone.size(), std::memory_order_relaxed);
    const PlaneColumns p{mNx.data(),    mNy.data(),   mNz.data(), mD.data(),
                         mFront.data(), mBack.data(), mCut.data()};
    const DeriveFn deriveRange = ctx.KernelToUse().derive;
    // Candidates [begin, end), begin a whole number of lanes, against every
    // leaving triangle.
    auto range = [&](size_t begin, size_t end) {
        for (const Triangle* pTri : gone) deriveRange(p, *pTri, begin, end);
    };
    if (n * gone.size() < PARALLEL_MIN * PARALLEL_MIN || ctx.Threads() <= 1) {
        range(0, n);
        return;
    }
    std::atomic<size_t> next{0};
    ctx.Run([&](unsigned, unsigned) {
        for (;;) {
            const size_t first = next.fetch_add(DERIVE_CHUNK, std::memory_order_relaxed);
            if (first >= n) break;
            range(first, std::min(n, first + DERIVE_CHUNK));
        }
    });
}

}  // namespace bspsearch
