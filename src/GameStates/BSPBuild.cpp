// BSPBuild.cpp - the splitter search: four-lane classification kernels,
// counts carried down chains, and the worker threads.
#include "BSPBuild.h"

#include "BSPRules.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <functional>
#include <limits>
#include <mutex>
#include <thread>

#include <unistd.h>

namespace bspbuild {

namespace {

typedef float VecF __attribute__((vector_size(16)));
typedef int32_t VecI __attribute__((vector_size(16)));
constexpr size_t LANES = 4;
// Lists at least this long look for a promising first candidate on a sample.
constexpr size_t SAMPLE_MIN = 256;
constexpr size_t SAMPLE_NUM = 64;
// Triangles classified between two checks of a candidate's partial score.
constexpr size_t BLOCK = 256;
// Candidates a thread takes at a time.
constexpr size_t CHUNK = 8;

// The float bound of ClassifyTriangle's band: for a float s, s > EPSILON in
// double exactly when s > bound, and s < -EPSILON exactly when s < -bound.
float bandBound() {
    float f = static_cast<float>(CLASSIFY_EPSILON);
    while (static_cast<double>(f) > CLASSIFY_EPSILON) f = std::nextafter(f, 0.0f);
    while (static_cast<double>(std::nextafter(f, 1.0f)) <= CLASSIFY_EPSILON)
        f = std::nextafter(f, 1.0f);
    return f;
}
const float sBand = bandBound();

inline VecF splat(float s) { return VecF{s, s, s, s}; }
inline VecF load(const float* p) {
    VecF v;
    std::memcpy(&v, p, sizeof(v));
    return v;
}
inline VecI loadI(const int32_t* p) {
    VecI v;
    std::memcpy(&v, p, sizeof(v));
    return v;
}
inline void storeI(int32_t* p, const VecI& v) { std::memcpy(p, &v, sizeof(v)); }


// A list's corners as nine columns (x0 y0 z0 x1 ... z2), padded to whole
// blocks of the widest kernel with NaN, which classifies as coplanar and so
// counts nowhere.
constexpr size_t PAD = 16;

struct Columns {
    std::vector<float> mCol[9];
    size_t mNum = 0;
    size_t mPadded = 0;

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
};

struct Candidate {
    int32_t mFront, mBack, mCut;
};

// Classifies triangles [begin, end) (whole blocks of PAD) of the columns
// against the plane (nx, ny, nz, d) and adds them to *pCounts. Each distance
// is ((nx x + ny y) + nz z) + d in single precision, as Plane::Distance
// computes it; a lane's true comparison is -1. One body, three widths:
// lanes of any width give the same bits.
#define ORV_COUNT_RANGE_BODY(VF, VI, W)                                                     \
    VF nx, ny, nz, d, hi, lo;                                                              \
    for (size_t k = 0; k < W; ++k) {                                                       \
        nx[k] = plane[0];                                                                  \
        ny[k] = plane[1];                                                                  \
        nz[k] = plane[2];                                                                  \
        d[k] = plane[3];                                                                   \
        hi[k] = sBand;                                                                     \
        lo[k] = -sBand;                                                                    \
    }                                                                                      \
    VI front = {}, back = {}, cut = {};                                                    \
    for (size_t j = begin; j < end; j += W) {                                              \
        VF v[9];                                                                           \
        for (int k = 0; k < 9; ++k) std::memcpy(&v[k], c[k] + j, sizeof(VF));              \
        VF s0 = nx * v[0] + ny * v[1] + nz * v[2] + d;                                     \
        VF s1 = nx * v[3] + ny * v[4] + nz * v[5] + d;                                     \
        VF s2 = nx * v[6] + ny * v[7] + nz * v[8] + d;                                     \
        VI f = (s0 > hi) | (s1 > hi) | (s2 > hi);                                          \
        VI b = (s0 < lo) | (s1 < lo) | (s2 < lo);                                          \
        VI both = f & b;                                                                   \
        front -= f;                                                                        \
        back -= b;                                                                         \
        cut -= both;                                                                       \
    }                                                                                      \
    int32_t sums[3] = {0, 0, 0};                                                           \
    for (size_t k = 0; k < W; ++k) {                                                       \
        sums[0] += front[k];                                                               \
        sums[1] += back[k];                                                                \
        sums[2] += cut[k];                                                                 \
    }                                                                                      \
    pCounts->mFront += sums[0] - sums[2];                                                  \
    pCounts->mBack += sums[1] - sums[2];                                                   \
    pCounts->mCut += sums[2];

typedef float VecF8 __attribute__((vector_size(32)));
typedef int32_t VecI8 __attribute__((vector_size(32)));
typedef float VecF16 __attribute__((vector_size(64)));
typedef int32_t VecI16 __attribute__((vector_size(64)));

using CountRangeFn = void (*)(const float* const* c, size_t begin, size_t end,
                              const float* plane, Candidate* pCounts);

void countRange4(const float* const* c, size_t begin, size_t end, const float* plane,
                 Candidate* pCounts) {
    ORV_COUNT_RANGE_BODY(VecF, VecI, 4)
}

__attribute__((target("avx2"))) void countRange8(const float* const* c, size_t begin,
                                                 size_t end, const float* plane,
                                                 Candidate* pCounts) {
    ORV_COUNT_RANGE_BODY(VecF8, VecI8, 8)
}

__attribute__((target("avx512f"))) void countRange16(const float* const* c, size_t begin,
                                                     size_t end, const float* plane,
                                                     Candidate* pCounts) {
    ORV_COUNT_RANGE_BODY(VecF16, VecI16, 16)
}

#undef ORV_COUNT_RANGE_BODY

// The widest kernel this processor runs.
CountRangeFn pickKernel(int width) {
    __builtin_cpu_init();
    if (width >= 16 && __builtin_cpu_supports("avx512f")) return countRange16;
    if (width >= 8 && __builtin_cpu_supports("avx2")) return countRange8;
    return countRange4;
}
std::atomic<CountRangeFn> sCountRange{pickKernel(16)};

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
};

// Counts candidate i of list against every other triangle. With bound set,
// gives up (returns false) at the end of a block once the partial score
// cannot beat best, or is above beatenAbove (a score some candidate has):
// every count only grows, so the full score could not win either.
bool countCandidate(const std::vector<Triangle>& list, const Columns& cols, size_t i,
                    const Plane& plane, float splitWeight, float balanceWeight, bool bound,
                    const Best& best, float beatenAbove, Candidate* pOut, uint64_t* pWork) {
    // The candidate itself is in the columns: take its own side off first,
    // so every partial count stays at or below the final one.
    Candidate c{0, 0, 0};
    switch (ClassifyTriangle(plane, list[i])) {
    case TRI_FRONT: c.mFront = -1; break;
    case TRI_BACK: c.mBack = -1; break;
    case TRI_SPANNING: c.mCut = -1; break;
    default: break;
    }
    const float p[4] = {plane.mNormal.x, plane.mNormal.y, plane.mNormal.z, plane.mD};
    const float* col[9];
    for (int k = 0; k < 9; ++k) col[k] = cols.mCol[k].data();
    const CountRangeFn countRange = sCountRange.load(std::memory_order_relaxed);
    for (size_t begin = 0; begin < cols.mPadded; begin += BLOCK) {
        const size_t end = std::min(cols.mPadded, begin + BLOCK);
        countRange(col, begin, end, p, &c);
        *pWork += end - begin;
        if (bound && end < cols.mPadded) {
            float partial = SplitterScore(c.mFront, c.mBack, c.mCut, splitWeight, balanceWeight);
            if (!best.Beaten(partial, i) || partial > beatenAbove) return false;
        }
    }
    *pOut = c;
    return true;
}

// The worker threads, reused across nodes and builds.
class Pool {
public:
    explicit Pool(unsigned threads) : mThreads(threads) {
        for (unsigned k = 1; k < threads; ++k) mWorkers.emplace_back([this, k] { loop(k); });
    }
    ~Pool() {
        {
            std::lock_guard<std::mutex> lock(mMutex);
            mStop = true;
        }
        mWake.notify_all();
        for (std::thread& t : mWorkers) t.join();
    }
    unsigned Threads() const { return mThreads; }

    // Runs job(k) for k = 0 (this thread) up to Threads() - 1 and waits for all.
    void Run(const std::function<void(unsigned)>& job) {
        {
            std::lock_guard<std::mutex> lock(mMutex);
            mpJob = &job;
            mPending = mThreads - 1;
            ++mGeneration;
        }
        mWake.notify_all();
        job(0);
        std::unique_lock<std::mutex> lock(mMutex);
        mDone.wait(lock, [this] { return mPending == 0; });
        mpJob = nullptr;
    }

private:
    void loop(unsigned k) {
        uint64_t seen = 0;
        for (;;) {
            const std::function<void(unsigned)>* pJob;
            {
                std::unique_lock<std::mutex> lock(mMutex);
                mWake.wait(lock, [&] { return mStop || mGeneration != seen; });
                if (mStop) return;
                seen = mGeneration;
                pJob = mpJob;
            }
            (*pJob)(k);
            std::lock_guard<std::mutex> lock(mMutex);
            if (--mPending == 0) mDone.notify_one();
        }
    }

    const unsigned mThreads;
    std::vector<std::thread> mWorkers;
    std::mutex mMutex;
    std::condition_variable mWake, mDone;
    const std::function<void(unsigned)>* mpJob = nullptr;
    uint64_t mGeneration = 0;
    unsigned mPending = 0;
    bool mStop = false;
};

std::atomic<unsigned> sThreadRequest{0};
std::atomic<uint64_t> sScored{0};
std::atomic<uint64_t> sCarried{0};
double sProgressDelay = 0.5;
std::atomic<size_t> sForkMin{512};

// The pool of this process. A forked child inherits the pointer but not the
// threads: it makes its own and leaves the parent's untouched.
struct PoolHolder {
    std::atomic<bool> mBusy{false};  // one parallel run at a time
    Pool* mpPool = nullptr;
    pid_t mPid = 0;
    std::vector<Pool*> mInherited;
    ~PoolHolder() {
        if (mPid == getpid()) delete mpPool;
    }
};
PoolHolder sPoolHolder;

// Runs job(k, count) for every k below count on the pool's count threads and
// returns true; false, running nothing, when only one thread is asked for or
// the pool is busy (a search inside a subtree that is itself built on the
// pool, or another build).
bool runOnPool(const std::function<void(unsigned, unsigned)>& job) {
    const unsigned want = ThreadCount();
    PoolHolder& h = sPoolHolder;
    bool idle = false;
    if (want <= 1 || !h.mBusy.compare_exchange_strong(idle, true)) return false;
    if (h.mpPool != nullptr && h.mPid != getpid()) {
        h.mInherited.push_back(h.mpPool);
        h.mpPool = nullptr;
    }
    if (h.mpPool != nullptr && h.mpPool->Threads() != want) {
        delete h.mpPool;
        h.mpPool = nullptr;
    }
    if (h.mpPool == nullptr) {
        h.mpPool = new Pool(want);
        h.mPid = getpid();
    }
    h.mpPool->Run([&](unsigned k) { job(k, want); });
    h.mBusy.store(false);
    return true;
}

// Runs job over the pool, or on this thread alone (job(0, 1)).
void runParallel(const std::function<void(unsigned, unsigned)>& job) {
    if (!runOnPool(job)) job(0, 1);
}

}  // namespace

void Carry::Resize(size_t n) {
    for (std::vector<float>* p : {&mNx, &mNy, &mNz, &mD}) p->resize(n);
    for (std::vector<int32_t>* p : {&mFront, &mBack, &mCut}) p->resize(n);
}

void Carry::Clear() {
    for (std::vector<float>* p : {&mNx, &mNy, &mNz, &mD}) std::vector<float>().swap(*p);
    for (std::vector<int32_t>* p : {&mFront, &mBack, &mCut}) std::vector<int32_t>().swap(*p);
}

size_t ChooseSplitter(const std::vector<Triangle>& list, float splitWeight, float balanceWeight,
                      uint64_t* pWork) {
    const size_t n = list.size();
    if (n == 0) return 0;
    // With both weights non-negative a score only grows with its counts.
    const bool bound = balanceWeight >= 0.0f && splitWeight >= 0.0f;
    const float none = SplitterScore(0, 0, 0, splitWeight, balanceWeight);
    const float inf = std::numeric_limits<float>::infinity();
    // The first candidate alone often settles the search (a score of zero
    // ends it): it is counted one by one before anything is laid out.
    Best first{StartScore(n, splitWeight, balanceWeight)};
    uint64_t work = 0;
    // Once even a candidate that counts nothing cannot beat the best, no
    // later one can.
    auto hopeless = [&](size_t i, const Best& best) { return bound && !best.Beaten(none, i); };
    if (!hopeless(0, first)) {
        const Plane plane = CandidatePlane(list[0]);
        Candidate c{0, 0, 0};
        for (size_t j = 1; j < n; ++j) {
            switch (ClassifyTriangle(plane, list[j])) {
            case TRI_FRONT: ++c.mFront; break;
            case TRI_BACK: ++c.mBack; break;
            case TRI_SPANNING: ++c.mCut; break;
            default: break;
            }
        }
        work += n - 1;
        first.Offer(SplitterScore(c.mFront, c.mBack, c.mCut, splitWeight, balanceWeight), 0);
    }
    if (hopeless(1, first)) {
        if (pWork != nullptr) *pWork = work;
        sScored.fetch_add(work, std::memory_order_relaxed);
        return first.mFound ? first.mIndex : 0;
    }

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
        Candidate c;
        if (countCandidate(list, cols, i, planeOf(i), splitWeight, balanceWeight, bound, best,
                           beatenAbove, &c, &counted))
            best.Offer(SplitterScore(c.mFront, c.mBack, c.mCut, splitWeight, balanceWeight), i);
    };
    // A low score early makes the early stop bite: the candidate that does
    // best against a sample of the list is counted in full next.
    if (bound && n >= SAMPLE_MIN) {
        planes.resize(n);
        for (size_t i = 0; i < n; ++i) planes[i] = CandidatePlane(list[i]);
        Columns sample;
        sample.Load(list, 0, n / SAMPLE_NUM, SAMPLE_NUM);
        const float* col[9];
        for (int k = 0; k < 9; ++k) col[k] = sample.mCol[k].data();
        const CountRangeFn countRange = sCountRange.load(std::memory_order_relaxed);
        Best guess{inf};
        for (size_t i = 1; i < n; ++i) {
            const Plane& plane = planes[i];
            const float p[4] = {plane.mNormal.x, plane.mNormal.y, plane.mNormal.z, plane.mD};
            Candidate c{0, 0, 0};
            countRange(col, 0, sample.mPadded, p, &c);
            guess.Offer(SplitterScore(c.mFront, c.mBack, c.mCut, splitWeight, balanceWeight), i);
        }
        work += static_cast<uint64_t>(n) * sample.mPadded;
        if (guess.mFound) scan(guess.mIndex, first, inf, work);
    }

    if (n < PARALLEL_MIN || ThreadCount() <= 1) {
        Best best = first;
        for (size_t i = 1; i < n && !hopeless(i, best); ++i) scan(i, best, inf, work);
        if (pWork != nullptr) *pWork = work;
        sScored.fetch_add(work, std::memory_order_relaxed);
        return best.mFound ? best.mIndex : 0;
    }

    // Each thread takes chunks in rising order, so its own best always comes
    // from an earlier candidate or the first one; the lowest score found by
    // any thread only rules out candidates that are strictly worse.
    std::atomic<size_t> next{1};
    std::atomic<float> shared{first.mFound ? first.mScore : inf};
    std::mutex resultMutex;
    Best result = first;
    runParallel([&](unsigned, unsigned) {
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
    if (pWork != nullptr) *pWork = work;
    sScored.fetch_add(work, std::memory_order_relaxed);
    return result.mFound ? result.mIndex : 0;
}

size_t CountAndChoose(const std::vector<Triangle>& list, float splitWeight, float balanceWeight,
                      Carry& carry) {
    const size_t n = list.size();
    Columns cols;
    cols.Load(list);
    carry.Resize(n);
    std::atomic<size_t> next{0};
    auto job = [&](unsigned, unsigned) {
        uint64_t work = 0;
        for (;;) {
            const size_t first = next.fetch_add(CHUNK, std::memory_order_relaxed);
            if (first >= n) break;
            for (size_t i = first; i < std::min(n, first + CHUNK); ++i) {
                const Plane plane = CandidatePlane(list[i]);
                Candidate c;
                countCandidate(list, cols, i, plane, splitWeight, balanceWeight, false, Best{0.0f},
                               0.0f, &c, &work);
                carry.mNx[i] = plane.mNormal.x;
                carry.mNy[i] = plane.mNormal.y;
                carry.mNz[i] = plane.mNormal.z;
                carry.mD[i] = plane.mD;
                carry.mFront[i] = c.mFront;
                carry.mBack[i] = c.mBack;
                carry.mCut[i] = c.mCut;
            }
        }
    };
    if (n < PARALLEL_MIN) job(0, 1);
    else runParallel(job);
    sScored.fetch_add(static_cast<uint64_t>(n) * cols.mPadded, std::memory_order_relaxed);
    return ChooseFromCarry(carry, splitWeight, balanceWeight);
}

size_t ChooseFromCarry(const Carry& carry, float splitWeight, float balanceWeight) {
    const size_t n = carry.Size();
    Best best{StartScore(n, splitWeight, balanceWeight)};
    for (size_t i = 0; i < n; ++i)
        best.Offer(SplitterScore(carry.mFront[i], carry.mBack[i], carry.mCut[i], splitWeight,
                           balanceWeight),
                   i);
    return best.mFound ? best.mIndex : 0;
}

void Derive(const std::vector<Triangle>& list, const std::vector<uint8_t>& sides, int keepSide,
            Carry& carry) {
    // The triangles leaving, and the carry compacted to those staying.
    std::vector<const Triangle*> gone;
    size_t write = 0;
    for (size_t i = 0; i < list.size(); ++i) {
        if (sides[i] != keepSide) {
            gone.push_back(&list[i]);
            continue;
        }
        carry.mNx[write] = carry.mNx[i];
        carry.mNy[write] = carry.mNy[i];
        carry.mNz[write] = carry.mNz[i];
        carry.mD[write] = carry.mD[i];
        carry.mFront[write] = carry.mFront[i];
        carry.mBack[write] = carry.mBack[i];
        carry.mCut[write] = carry.mCut[i];
        ++write;
    }
    carry.Resize(write);
    const size_t n = write;
    sCarried.fetch_add(static_cast<uint64_t>(n) * gone.size(), std::memory_order_relaxed);
    const size_t whole = n / LANES * LANES;

    // Candidates [begin, end): eight at a time against each leaving
    // triangle, the tail one by one with the same expressions.
    auto range = [&](size_t begin, size_t end) {
        const VecF hi = splat(sBand), lo = splat(-sBand);
        for (const Triangle* pTri : gone) {
            const Triangle& t = *pTri;
            VecF p[9];
            for (int k = 0; k < 3; ++k) {
                p[3 * k + 0] = splat(t.mPos[k].x);
                p[3 * k + 1] = splat(t.mPos[k].y);
                p[3 * k + 2] = splat(t.mPos[k].z);
            }
            size_t c = begin;
            for (; c + LANES <= std::min(end, whole); c += LANES) {
                VecF nx = load(&carry.mNx[c]), ny = load(&carry.mNy[c]);
                VecF nz = load(&carry.mNz[c]), d = load(&carry.mD[c]);
                VecF s0 = nx * p[0] + ny * p[1] + nz * p[2] + d;
                VecF s1 = nx * p[3] + ny * p[4] + nz * p[5] + d;
                VecF s2 = nx * p[6] + ny * p[7] + nz * p[8] + d;
                VecI f = (s0 > hi) | (s1 > hi) | (s2 > hi);
                VecI b = (s0 < lo) | (s1 < lo) | (s2 < lo);
                // A true lane is -1: adding it takes the triangle off.
                storeI(&carry.mFront[c], loadI(&carry.mFront[c]) + (f & ~b));
                storeI(&carry.mBack[c], loadI(&carry.mBack[c]) + (b & ~f));
                storeI(&carry.mCut[c], loadI(&carry.mCut[c]) + (f & b));
            }
            for (; c < end; ++c) {
                Plane plane(ORV::Vec3(carry.mNx[c], carry.mNy[c], carry.mNz[c]), carry.mD[c]);
                switch (ClassifyTriangle(plane, t)) {
                case TRI_FRONT: --carry.mFront[c]; break;
                case TRI_BACK: --carry.mBack[c]; break;
                case TRI_SPANNING: --carry.mCut[c]; break;
                default: break;
                }
            }
        }
    };
    if (n * gone.size() < PARALLEL_MIN * PARALLEL_MIN || ThreadCount() <= 1) {
        range(0, n);
        return;
    }
    // Chunks of whole lanes, so no two threads share a lane group.
    const size_t step = 64;
    std::atomic<size_t> next{0};
    runParallel([&](unsigned, unsigned) {
        for (;;) {
            const size_t first = next.fetch_add(step, std::memory_order_relaxed);
            if (first >= n) break;
            range(first, std::min(n, first + step));
        }
    });
}

bool RunTasks(const std::function<void(unsigned, unsigned)>& job) { return runOnPool(job); }

void SetThreadCount(unsigned count) { sThreadRequest.store(count); }

unsigned ThreadCount() {
    unsigned want = sThreadRequest.load();
    if (want == 0) want = std::max(1u, std::thread::hardware_concurrency());
    return want;
}

Work TakeWork() {
    Work w;
    w.scored = sScored.exchange(0);
    w.carried = sCarried.exchange(0);
    return w;
}

void SetForkMin(size_t triangles) { sForkMin.store(triangles); }
size_t ForkMin() { return sForkMin.load(); }

void SetProgressDelay(double seconds) { sProgressDelay = seconds; }
double ProgressDelay() { return sProgressDelay; }

}  // namespace bspbuild
