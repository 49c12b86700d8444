// BSPSearch.cpp - the fast splitter search: one classification kernel
// template at three widths, the sampled first candidate, the early stop,
// the counts carried down chains, and the search on the build's threads.
#include "BSPSearch.h"

#include "BSPGroups.h"
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

// Read by every kernel call on every thread: on a cache line of its own, so
// that no variable another thread writes shares it (one that did made the
// two-thread build a quarter slower).
struct alignas(64) Band {
    float value;
};
const Band sBand{BandBound()};
static_assert(sizeof(Plane) == 4 * sizeof(float), "planes are compared as four floats' bits");

}  // namespace

namespace {

// The kernel template (BSPSearchKernel.inl) compiled for the baseline
// processor at every width; the platform's file compiles it again for the
// vector extensions that the wider widths need (NativeKernel).
namespace baseline {
#include "BSPSearchKernel.inl"
}  // namespace baseline

const Kernel sKernel4 = {baseline::Count<4>, baseline::Derive<4>, baseline::CountGroups<4>,
                         baseline::BoxSides};
const Kernel sKernel8 = {baseline::Count<8>, baseline::Derive<8>, baseline::CountGroups<8>,
                         baseline::BoxSides};
const Kernel sKernel16 = {baseline::Count<16>, baseline::Derive<16>, baseline::CountGroups<16>,
                          baseline::BoxSides};

}  // namespace

const Kernel* KernelFor(unsigned width) {
    if (width == 0) width = NativeKernelWidth();
    if (const Kernel* pNative = NativeKernel(width)) return pNative;
    switch (width) {
    case 4: return &sKernel4;
    case 8: return &sKernel8;
    case 16: return &sKernel16;
    default: return nullptr;
    }
}

namespace {

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

// Classifications and box tests made, per thread.
struct Work {
    uint64_t scored = 0;
    uint64_t boxes = 0;
};

// A list laid out for counting candidates against it: flat columns in list
// order, or groups with boxes (Groups) where the list is long enough for
// whole groups to pay.
class Layout {
public:
    Layout(const std::vector<Triangle>& list, bool grouped) : mGrouped(grouped) {
        if (grouped) mGroups.Build(list);
        else mCols.Load(list);
    }
    bool Grouped() const { return mGrouped; }

    // Counts every triangle of the list but the candidate tri against its
    // plane into *pOut. Gives up (false) once giveUp(partial counts) says so:
    // at the end of a block of the flat columns, after any group decided.
    template <typename GiveUp>
    bool Count(const Triangle& tri, const Plane& plane, const Context& ctx, GiveUp&& giveUp,
               Groups::Scratch* pScratch, Counts* pOut, Work* pWork) const {
        // The candidate itself is among the triangles: its own side is taken
        // off first, so every partial count stays at or below the final one.
        Counts c{0, 0, 0};
        switch (ClassifyTriangle(plane, tri)) {
        case TRI_FRONT: c.mFront = -1; break;
        case TRI_BACK: c.mBack = -1; break;
        case TRI_SPANNING: c.mCut = -1; break;
        default: break;
        }
        const float p[4] = {plane.mNormal.x, plane.mNormal.y, plane.mNormal.z, plane.mD};
        if (mGrouped) {
            GroupWork work;
            const bool done = mGroups.Count(p, ctx.KernelToUse(), &c, pScratch, giveUp, &work);
            pWork->scored += work.classified;
            pWork->boxes += work.boxes;
            *pOut = c;
            return done;
        }
        const float* col[9];
        mCols.Pointers(col);
        const CountFn count = ctx.KernelToUse().count;
        for (size_t begin = 0; begin < mCols.mPadded; begin += BLOCK) {
            const size_t end = std::min(mCols.mPadded, begin + BLOCK);
            count(col, begin, end, p, &c);
            pWork->scored += end - begin;
            if (end < mCols.mPadded && giveUp(c)) return false;
        }
        *pOut = c;
        return true;
    }

private:
    bool mGrouped;
    Columns mCols;
    Groups mGroups;
};

// For each candidate plane, the first one with the same bits (itself when
// none): the two count every other triangle alike.
std::vector<uint32_t> samePlanes(const std::vector<Plane>& planes) {
    const size_t n = planes.size();
    std::vector<uint32_t> same(n);
    size_t size = 16;
    while (size < 2 * n) size *= 2;
    std::vector<uint32_t> table(size, UINT32_MAX);  // open addressing, candidate numbers
    for (size_t i = 0; i < n; ++i) {
        uint32_t bits[4];
        std::memcpy(bits, &planes[i], sizeof(bits));
        uint64_t h = 0x9e3779b97f4a7c15ull;
        for (uint32_t b : bits) h = (h ^ b) * 0xff51afd7ed558ccdull;
        size_t slot = (h ^ (h >> 29)) & (size - 1);
        same[i] = static_cast<uint32_t>(i);
        for (;; slot = (slot + 1) & (size - 1)) {
            const uint32_t j = table[slot];
            if (j == UINT32_MAX) {
                table[slot] = static_cast<uint32_t>(i);
                break;
            }
            if (std::memcmp(&planes[j], &planes[i], sizeof(bits)) == 0) {
                same[i] = j;
                break;
            }
        }
    }
    return same;
}

}  // namespace

Context::Context(const BSPBuildSettings& settings)
    : mSplitWeight(settings.splitWeight),
      mBalanceWeight(settings.balanceWeight),
      mpKernel(KernelFor(settings.kernelWidth)),
      mThreads(settings.threads != 0 ? settings.threads
                                     : std::max(1u, std::thread::hardware_concurrency())),
      mCandidates(settings.candidates),
      mGroupsMin(settings.groupsMin) {
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
    Work work;
    // Adds the classifications made to the build's figures on every return.
    struct Tally {
        Context& ctx;
        Work& work;
        uint64_t* pOut;
        ~Tally() {
            if (pOut != nullptr) *pOut = work.scored;
            ctx.mScored.fetch_add(work.scored, std::memory_order_relaxed);
            ctx.mBoxes.fetch_add(work.boxes, std::memory_order_relaxed);
        }
    } tally{ctx, work, pCounted};
    if (n == 0) return 0;
    // The candidates: every triangle, or the bounded search's few, by number.
    const size_t m = CandidateNum(n, ctx.Candidates());
    auto at = [&](size_t t) { return CandidateAt(t, n, ctx.Candidates()); };
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
        work.scored += n - 1;
        first.Offer(scoreOf(Counts{side[TRI_FRONT], side[TRI_BACK], side[TRI_SPANNING]}, ctx), 0);
    }
    if (m < 2 || hopeless(at(1), first)) return first.Index();

    const Layout layout(list, ctx.Grouped(n, m));
    // Each candidate's plane, computed once for the sample, the search and
    // the planes' duplicates when there is a sample.
    std::vector<Plane> planes;
    std::vector<uint32_t> same;
    auto planeOf = [&](size_t t) {
        return planes.empty() ? CandidatePlane(list[at(t)]) : planes[t];
    };

    // Candidate t is given up once its partial score cannot beat the best so
    // far (a lower score, or an equal one from later in the list), or is
    // above beatenAbove (a score some candidate has): every count only
    // grows, so the full score could not win either.
    auto scan = [&](size_t t, Best& best, float beatenAbove, Groups::Scratch& scratch, Work& w) {
        const size_t i = at(t);
        if (best.mFound && i == best.mIndex) return;
        const Plane plane = planeOf(t);
        // A plane the same as an earlier candidate's counts every other
        // triangle alike; where the two candidates' own triangles classify
        // alike too, the counts are equal and the earlier one stays.
        if (!same.empty() && same[t] != t &&
            ClassifyTriangle(plane, list[i]) == ClassifyTriangle(plane, list[at(same[t])]))
            return;
        auto giveUp = [&](const Counts& c) {
            if (!bound) return false;
            const float partial = scoreOf(c, ctx);
            return !best.Beaten(partial, i) || partial > beatenAbove;
        };
        Counts c;
        if (layout.Count(list[i], plane, ctx, giveUp, &scratch, &c, &w))
            best.Offer(scoreOf(c, ctx), i);
    };
    Groups::Scratch scratch;
    // A low score early makes the early stop bite: the candidate that does
    // best against a sample of the list is counted in full next.
    if (bound && m >= SAMPLE_MIN) {
        planes.resize(m);
        for (size_t t = 0; t < m; ++t) planes[t] = CandidatePlane(list[at(t)]);
        same = samePlanes(planes);
        Columns sample;
        sample.Load(list, 0, n / SAMPLE_NUM, SAMPLE_NUM);
        const float* col[9];
        sample.Pointers(col);
        const CountFn count = ctx.KernelToUse().count;
        Best guess{inf};
        for (size_t t = 1; t < m; ++t) {
            const Plane& plane = planes[t];
            const float p[4] = {plane.mNormal.x, plane.mNormal.y, plane.mNormal.z, plane.mD};
            Counts c{0, 0, 0};
            count(col, 0, sample.mPadded, p, &c);
            guess.Offer(scoreOf(c, ctx), t);
        }
        work.scored += static_cast<uint64_t>(m) * sample.mPadded;
        if (guess.mFound) scan(guess.mIndex, first, inf, scratch, work);
    }

    if (n < PARALLEL_MIN || ctx.Threads() <= 1) {
        Best best = first;
        for (size_t t = 1; t < m && !hopeless(at(t), best); ++t) scan(t, best, inf, scratch, work);
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
        Work counted;
        Groups::Scratch own;
        bool stop = false;
        while (!stop) {
            const size_t begin = next.fetch_add(CHUNK, std::memory_order_relaxed);
            if (begin >= m) break;
            for (size_t t = begin; t < std::min(m, begin + CHUNK); ++t) {
                if (hopeless(at(t), best)) {
                    stop = true;
                    break;
                }
                scan(t, best, shared.load(std::memory_order_relaxed), own, counted);
                float seen = shared.load(std::memory_order_relaxed);
                while (bound && best.mFound && best.mScore < seen &&
                       !shared.compare_exchange_weak(seen, best.mScore)) {
                }
            }
        }
        std::lock_guard<std::mutex> lock(resultMutex);
        result.Merge(best);
        work.scored += counted.scored;
        work.boxes += counted.boxes;
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
    const Layout layout(list, ctx.Grouped(n, n));
    resize(n);
    std::atomic<size_t> next{0};
    std::mutex workMutex;
    Work total;
    auto job = [&](unsigned, unsigned) {
        Work work;
        Groups::Scratch scratch;
        for (;;) {
            const size_t first = next.fetch_add(CHUNK, std::memory_order_relaxed);
            if (first >= n) break;
            for (size_t i = first; i < std::min(n, first + CHUNK); ++i) {
                const Plane plane = CandidatePlane(list[i]);
                Counts c;
                layout.Count(
                    list[i], plane, ctx, [](const Counts&) { return false; }, &scratch, &c, &work);
                mNx[i] = plane.mNormal.x;
                mNy[i] = plane.mNormal.y;
                mNz[i] = plane.mNormal.z;
                mD[i] = plane.mD;
                mFront[i] = c.mFront;
                mBack[i] = c.mBack;
                mCut[i] = c.mCut;
            }
        }
        std::lock_guard<std::mutex> lock(workMutex);
        total.scored += work.scored;
        total.boxes += work.boxes;
    };
    if (n < PARALLEL_MIN) job(0, 1);
    else ctx.Run(job);
    ctx.mScored.fetch_add(total.scored, std::memory_order_relaxed);
    ctx.mBoxes.fetch_add(total.boxes, std::memory_order_relaxed);
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
    // Carried counts hold every candidate's: a bounded search carries none.
    const bool chain =
        ctx.Candidates() == 0 && keepNum >= CARRY_MIN && (n - keepNum) * CHAIN_RATIO <= keepNum;
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
