// BSPBuild.h - the splitter search behind BSPTree::BuildNode and
// BSPTree::ChooseSplitterIndex. It picks exactly the splitter the score rule
// defines, faster:
//   - a node's triangles are held as a structure of arrays and a candidate
//     plane is tested against 4, 8 or 16 of them at a time (the widest the
//     processor runs; every width gives the same bits), with the same
//     single-precision expressions as Plane::Distance;
//   - a candidate is given up at the end of a block of triangles once its
//     partial score cannot win;
//   - along a chain of nodes every candidate's counts are carried into the
//     child that keeps most of the list: the triangles that left are
//     subtracted instead of recounting the whole list at every step;
//   - large lists score their candidates on several threads; the choice is
//     reduced by (score, list position), so the thread count changes nothing;
//   - below the first node with two large sides, the two subtrees are built
//     on two threads (BSPTree::BuildNode).
#ifndef BSP_BUILD_H
#define BSP_BUILD_H

#include "Triangle.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace bspbuild {

// Every candidate's unit plane and its counts against the rest of a list, in
// list order: what a node hands to the child that keeps most of its list.
struct Carry {
    std::vector<float> mNx, mNy, mNz, mD;
    std::vector<int32_t> mFront, mBack, mCut;

    size_t Size() const { return mNx.size(); }
    bool Empty() const { return mNx.empty(); }
    void Resize(size_t n);
    void Clear();
};

// The index of the splitter of list (two or more triangles) under the
// weights: the lowest score, the earliest on equal scores. *pWork receives
// the number of triangle classifications made.
size_t ChooseSplitter(const std::vector<Triangle>& list, float splitWeight, float balanceWeight,
                      uint64_t* pWork = nullptr);

// Counts every candidate of list in full into carry and returns the splitter.
size_t CountAndChoose(const std::vector<Triangle>& list, float splitWeight, float balanceWeight,
                      Carry& carry);

// The splitter of a list whose candidates' counts are all in carry.
size_t ChooseFromCarry(const Carry& carry, float splitWeight, float balanceWeight);

// Turns carry (for list) into the carry of the child that keeps the
// triangles whose side is keepSide, in order, by subtracting what every
// other triangle of list contributed.
void Derive(const std::vector<Triangle>& list, const std::vector<uint8_t>& sides, int keepSide,
            Carry& carry);

// Runs job(k, count) on each of the count threads asked for and returns
// true; false, running nothing, when only one is asked for or the threads
// are busy. Searches inside job run on their own thread.
bool RunTasks(const std::function<void(unsigned, unsigned)>& job);

// Threads a build may use: 0 means one per core.
void SetThreadCount(unsigned count);
unsigned ThreadCount();

// Lists at least this long are scored on several threads.
constexpr size_t PARALLEL_MIN = 512;

// Both sides of a node holding at least this many triangles each are built
// side by side (512 at start; tests lower it).
void SetForkMin(size_t triangles);
size_t ForkMin();

// A build running longer than this many seconds prints its progress (0.5 at
// start).
void SetProgressDelay(double seconds);
double ProgressDelay();

// A cap on the triangles a build may hold, whole or cut, below its growth
// limit (ORV::MAX_BUILD_GROWTH per triangle given and the slack); 0, at
// start, sets none. The program sets none; the tree fuzz target sets a small
// one, so that soups that cut themselves up are refused before they cost
// seconds under the sanitizers.
void SetGrowthCap(size_t triangles);
size_t GrowthCap();

// Triangle classifications made by the searches since the last call, for
// the benchmarks: scoring candidates, and carrying counts down chains.
struct Work {
    uint64_t scored = 0;
    uint64_t carried = 0;
};
Work TakeWork();

}  // namespace bspbuild

#endif  // BSP_BUILD_H
