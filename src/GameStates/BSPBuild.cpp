// BSPBuild.cpp - the splitter search: four-lane classification kernels,
// counts carried down chains, and the worker threads.
#include "BSPBuild.h"

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
inline int32_t sum(const VecI& v) {
    int32_t s = 0;
    for (size_t k = 0; k < LANES; ++k) s += v[k];
    return s;
}

inline float scoreOf(int32_t front, int32_t back, int32_t cut, float splitWeight,
                     float balanceWeight) {
    return static_cast<float>(std::max(front, back)) * balanceWeight +
           static_cast<float>(cut) * splitWeight;
}

// The candidate plane of the score rule: raw, then normalised.
inline Plane candidatePlane(const Triangle& tri) {
    Plane plane(tri.mPos[0], tri.mPos[1], tri.mPos[2]);
    plane.Normalize();
    return plane;
}

// A list's corners as nine columns (x0 y0 z0 x1 ... z2), padded to whole
// lanes with NaN, which classifies as coplanar and so counts nowhere.
struct Columns {
    std::vector<float> mCol[9];
    size_t mNum = 0;
    size_t mPadded = 0;

    void Load(const std::vector<Triangle>& list) {
        mNum = list.size();
        mPadded = (mNum + LANES - 1) / LANES * LANES;
        for (int c = 0; c < 9; ++c)
            mCol[c].assign(mPadded, std::numeric_limits<float>::quiet_NaN());
        for (size_t i = 0; i < mNum; ++i) {
            for (int k = 0; k < 3; ++k) {
                mCol[3 * k + 0][i] = list[i].mPos[k].x;
                mCol[3 * k + 1][i] = list[i].mPos[k].y;
                mCol[3 * k + 2][i] = list[i].mPos[k].z;
            }
        }
    }
};

struct LaneCounts {
    VecI mFront = {}, mBack = {}, mCut = {};
};

// Classifies triangles [begin, end) (whole lanes) of cols against the plane
// and adds them to counts. Each distance is ((nx x + ny y) + nz z) + d in
// single precision, as Plane::Distance computes it.
inline void countRange(const Columns& cols, size_t begin, size_t end, const Plane& plane,
                       LaneCounts& counts) {
    const VecF nx = splat(plane.mNormal.x), ny = splat(plane.mNormal.y);
    const VecF nz = splat(plane.mNormal.z), d = splat(plane.mD);
    const VecF hi = splat(sBand), lo = splat(-sBand);
    const float* c[9];
    for (int k = 0; k < 9; ++k) c[k] = cols.mCol[k].data();
    for (size_t j = begin; j < end; j += LANES) {
        VecF s0 = nx * load(c[0] + j) + ny * load(c[1] + j) + nz * load(c[2] + j) + d;
        VecF s1 = nx * load(c[3] + j) + ny * load(c[4] + j) + nz * load(c[5] + j) + d;
        VecF s2 = nx * load(c[6] + j) + ny * load(c[7] + j) + nz * load(c[8] + j) + d;
        VecI f = (s0 > hi) | (s1 > hi) | (s2 > hi);
        VecI b = (s0 < lo) | (s1 < lo) | (s2 < lo);
        // A true lane is -1.
        counts.mFront -= f & ~b;
        counts.mBack -= b & ~f;
        counts.mCut -= f & b;
    }
}

struct Candidate {
    int32_t mFront, mBack, mCut;
};

// Counts candidate i of list against every other triangle. With a bound,
// gives up (returns false) at the end of a block once the partial score is
// not below keepBelow or is above beatenAbove: every count only grows, so
// the full score could not win either.
bool countCandidate(const std::vector<Triangle>& list, const Columns& cols, size_t i,
                    const Plane& plane, float splitWeight, float balanceWeight, bool bound,
                    float keepBelow, float beatenAbove, Candidate* pOut, uint64_t* pWork) {
    // The candidate itself is in the columns: take its own side off first,
    // so every partial count stays at or below the final one.
    Candidate own{0, 0, 0};
    switch (ClassifyTriangle(plane, list[i])) {
    case TRI_FRONT: own.mFront = -1; break;
    case TRI_BACK: own.mBack = -1; break;
    case TRI_SPANNING: own.mCut = -1; break;
    default: break;
    }
    LaneCounts lanes;
    Candidate c = own;
    for (size_t begin = 0; begin < cols.mPadded; begin += BLOCK) {
        const size_t end = std::min(cols.mPadded, begin + BLOCK);
        countRange(cols, begin, end, plane, lanes);
        *pWork += end - begin;
        c.mFront = own.mFront + sum(lanes.mFront);
        c.mBack = own.mBack + sum(lanes.mBack);
        c.mCut = own.mCut + sum(lanes.mCut);
        if (bound && end < cols.mPadded) {
            float partial = scoreOf(c.mFront, c.mBack, c.mCut, splitWeight, balanceWeight);
            if (!(partial < keepBelow) || partial > beatenAbove) return false;
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
double sProgressDelay = 0.5;

// The pool of this process. A forked child inherits the pointer but not the
// threads: it makes its own and leaves the parent's untouched.
struct PoolHolder {
    std::mutex mMutex;  // one parallel search at a time
    Pool* mpPool = nullptr;
    pid_t mPid = 0;
    std::vector<Pool*> mInherited;
    ~PoolHolder() {
        if (mPid == getpid()) delete mpPool;
    }
};
PoolHolder sPoolHolder;

// Runs job over the threads asked for (job(k) for every k below the count it
// is given); on one thread when the pool is busy with another build.
void runParallel(const std::function<void(unsigned, unsigned)>& job) {
    const unsigned want = ThreadCount();
    std::unique_lock<std::mutex> lock(sPoolHolder.mMutex, std::try_to_lock);
    if (want <= 1 || !lock.owns_lock()) {
        job(0, 1);
        return;
    }
    PoolHolder& h = sPoolHolder;
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
}

// Keeps the earliest of the lowest scores below the start score.
struct Best {
    float mScore;
    size_t mIndex;
    bool mFound = false;
    void Offer(float score, size_t index) {
        if (score < mScore) {
            mScore = score;
            mIndex = index;
            mFound = true;
        }
    }
};

float startScore(size_t n, float splitWeight, float balanceWeight) {
    return static_cast<float>(n) * balanceWeight + static_cast<float>(n) * splitWeight;
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
    const float start = startScore(n, splitWeight, balanceWeight);
    // With both weights non-negative a score only grows with its counts.
    const bool bound = balanceWeight >= 0.0f && splitWeight >= 0.0f;
    const float none = scoreOf(0, 0, 0, splitWeight, balanceWeight);
    Columns cols;
    cols.Load(list);

    if (n < PARALLEL_MIN || ThreadCount() <= 1) {
        Best best{start, 0};
        uint64_t work = 0;
        for (size_t i = 0; i < n; ++i) {
            // Once even a candidate that counts nothing cannot win, none can.
            if (bound && !(none < best.mScore)) break;
            Candidate c;
            if (countCandidate(list, cols, i, candidatePlane(list[i]), splitWeight, balanceWeight,
                               bound, best.mScore, std::numeric_limits<float>::infinity(), &c,
                               &work))
                best.Offer(scoreOf(c.mFront, c.mBack, c.mCut, splitWeight, balanceWeight), i);
        }
        if (pWork != nullptr) *pWork = work;
        return best.mFound ? best.mIndex : 0;
    }

    // Each thread takes chunks in rising order, so its own best always comes
    // from an earlier candidate; the lowest score found by any thread only
    // rules out candidates that are strictly worse.
    std::atomic<size_t> next{0};
    std::atomic<float> shared{std::numeric_limits<float>::infinity()};
    std::vector<Best> bests;
    std::vector<uint64_t> works;
    std::mutex resultMutex;
    runParallel([&](unsigned, unsigned) {
        Best best{start, 0};
        uint64_t work = 0;
        bool stop = false;
        while (!stop) {
            const size_t first = next.fetch_add(CHUNK, std::memory_order_relaxed);
            if (first >= n) break;
            for (size_t i = first; i < std::min(n, first + CHUNK); ++i) {
                if (bound && !(none < best.mScore)) {
                    stop = true;
                    break;
                }
                Candidate c;
                const float beaten = shared.load(std::memory_order_relaxed);
                if (!countCandidate(list, cols, i, candidatePlane(list[i]), splitWeight,
                                    balanceWeight, bound, best.mScore, beaten, &c, &work))
                    continue;
                float s = scoreOf(c.mFront, c.mBack, c.mCut, splitWeight, balanceWeight);
                best.Offer(s, i);
                float seen = shared.load(std::memory_order_relaxed);
                while (bound && s < seen && !shared.compare_exchange_weak(seen, s)) {
                }
            }
        }
        std::lock_guard<std::mutex> lock(resultMutex);
        bests.push_back(best);
        works.push_back(work);
    });
    Best result{start, 0};
    for (const Best& b : bests) {
        if (!b.mFound) continue;
        if (!result.mFound || b.mScore < result.mScore ||
            (b.mScore == result.mScore && b.mIndex < result.mIndex))
            result = b;
    }
    if (pWork != nullptr) {
        *pWork = 0;
        for (uint64_t w : works) *pWork += w;
    }
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
                const Plane plane = candidatePlane(list[i]);
                Candidate c;
                countCandidate(list, cols, i, plane, splitWeight, balanceWeight, false, 0.0f, 0.0f,
                               &c, &work);
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
    return ChooseFromCarry(carry, splitWeight, balanceWeight);
}

size_t ChooseFromCarry(const Carry& carry, float splitWeight, float balanceWeight) {
    const size_t n = carry.Size();
    Best best{startScore(n, splitWeight, balanceWeight), 0};
    for (size_t i = 0; i < n; ++i)
        best.Offer(scoreOf(carry.mFront[i], carry.mBack[i], carry.mCut[i], splitWeight,
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

void SetThreadCount(unsigned count) { sThreadRequest.store(count); }

unsigned ThreadCount() {
    unsigned want = sThreadRequest.load();
    if (want == 0) want = std::max(1u, std::thread::hardware_concurrency());
    return want;
}

void SetProgressDelay(double seconds) { sProgressDelay = seconds; }
double ProgressDelay() { return sProgressDelay; }

}  // namespace bspbuild
