// BSPSearch.h - the fast splitter search. It picks exactly the splitter that
// PlainSplitterIndex (BSPRules.h) picks, over the same candidates (every
// triangle, or BSPBuildSettings::candidates of them), faster:
//   - a list's corners are held as columns, and one candidate plane is tested
//     against 4, 8 or 16 triangles at a time by one kernel template (any
//     width on any machine; every width gives the same bits), with the same
//     single-precision expressions as Plane::Distance;
//   - long lists are counted against a hierarchy of boxes over groups of
//     their triangles (BSPGroups.h): a box that a safe bound puts on one side
//     of the band counts whole;
//   - the candidate that does best on a sample of the list is counted first,
//     and every other one is given up (at the end of a block of triangles, or
//     after a box decided) once its partial score cannot win; a candidate
//     whose plane repeats an earlier one's is skipped where its own triangle
//     classifies alike;
//   - down a chain of nodes every candidate's counts are carried into the
//     child that keeps most of the list (CarriedCounts): the triangles that
//     left are subtracted instead of counting the whole list again;
//   - large lists score their candidates on the build's threads; the choice
//     is reduced by (score, list position), so the thread count changes
//     nothing.
#ifndef BSP_SEARCH_H
#define BSP_SEARCH_H

#include "BSPBuild.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace bspsearch {

// Lists at least this long are scored on several threads.
constexpr size_t PARALLEL_MIN = 512;

struct Kernel;

// What the searches of one build share: the weights, the kernel, the threads
// (ThreadPool::TryRunShared) and the classifications made. Safe to use from
// the build's threads at once.
class Context {
public:
    // Reports a kernel width other than 0, 4, 8 or 16.
    explicit Context(const BSPBuildSettings& settings);

    float SplitWeight() const { return mSplitWeight; }
    float BalanceWeight() const { return mBalanceWeight; }
    const Kernel& KernelToUse() const { return *mpKernel; }
    unsigned Threads() const { return mThreads; }
    size_t Candidates() const { return mCandidates; }
    // Whether a list of n with m candidates is counted in groups.
    bool Grouped(size_t n, size_t m) const { return n >= mGroupsMin && m >= mGroupsMin; }

    // Runs job(k, count) for every k below count on the build's count threads
    // and returns true; false, running nothing, with one thread or while the
    // threads are busy (a job that itself asks for them).
    bool RunOnThreads(const std::function<void(unsigned, unsigned)>& job);
    // RunOnThreads, or job(0, 1) on this thread alone when it is refused.
    void Run(const std::function<void(unsigned, unsigned)>& job);

private:
    float mSplitWeight;
    float mBalanceWeight;
    const Kernel* mpKernel;
    unsigned mThreads;
    size_t mCandidates;
    size_t mGroupsMin;

public:
    // The classifications made. Apart from the fields every search reads, so
    // that adding to them does not slow another thread's reads.
    alignas(64) std::atomic<uint64_t> mScored{0};
    std::atomic<uint64_t> mCarried{0};
    std::atomic<uint64_t> mBoxes{0};
};

// The index of the splitter of list (two or more triangles): the lowest
// score, the earliest on equal scores, PlainSplitterIndex's choice.
// *pCounted receives the classifications this search made.
size_t ChooseSplitter(const std::vector<Triangle>& list, Context& ctx, uint64_t* pCounted);

// The fast search's memory of one list waiting for its node: every
// candidate's plane and counts against the rest of the list, carried down a
// chain, or a request to count them all (to carry them on).
class CarriedCounts {
public:
    // The splitter of list: from the carried counts, by counting every
    // candidate in full when asked to, or else by ChooseSplitter.
    size_t ChooseSplitter(const std::vector<Triangle>& list, Context& ctx);
    // What the child that keeps the keepNum triangles of list whose side is
    // keepSide gets, when the node cut nothing. Along a chain (the child keeps
    // all but at most one in CHAIN_RATIO, and at least CARRY_MIN) it is these
    // counts less what the leaving triangles contributed or, when there were
    // none and this list's search could skip little, the request to count
    // the child's in full; otherwise nothing. Uses these counts up.
    CarriedCounts ForChild(const std::vector<Triangle>& list, const std::vector<uint8_t>& sides,
                           int keepSide, size_t keepNum, Context& ctx);
    void Clear();

    static constexpr size_t CHAIN_RATIO = 8;
    static constexpr size_t CARRY_MIN = 64;

private:
    bool empty() const { return mNx.empty(); }
    void resize(size_t n);
    size_t countAll(const std::vector<Triangle>& list, Context& ctx);
    size_t choose(const Context& ctx) const;
    void derive(const std::vector<Triangle>& list, const std::vector<uint8_t>& sides, int keepSide,
                Context& ctx);

    // Candidate i's unit plane and its counts, in list order.
    std::vector<float> mNx, mNy, mNz, mD;
    std::vector<int32_t> mFront, mBack, mCut;
    bool mCountAll = false;
    uint64_t mSearched = 0;  // classifications of this list's ChooseSplitter
};

}  // namespace bspsearch

#endif  // BSP_SEARCH_H
