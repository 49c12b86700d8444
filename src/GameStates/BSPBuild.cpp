// BSPBuild.cpp - the tree's construction: Build, BuildNode and the splitter
// choice around one node loop, which applies the rules of BSPRules.h to one
// node after another. Around the loop, in small pieces of their own: the
// growth guard, the in-place reuse of a node's list, what the fast search
// carries down chains, and the two sides of a large node built side by side.
#include "BSPBuild.h"

#include "BSPProgress.h"
#include "BSPSearch.h"
#include "BSPTree.h"

#include <atomic>
#include <utility>

// The demo's weights; its keys 3 and 4 raise them between builds.
float BSPTree::sSplitWeight = START_SPLIT_WEIGHT;
float BSPTree::sBalanceWeight = START_BALANCE_WEIGHT;
size_t BSPTree::sCandidates = 0;

namespace {

// A subtree still to build, with the parent's slot that receives it.
struct Pending {
    uint32_t depth;
    std::vector<Triangle> list;
    BSPNode** ppSlot;
    bspsearch::CarriedCounts counts;  // what the fast search carries into this list
};

// Every triangle of a node's list but the splitter, classified.
struct Sides {
    std::vector<uint8_t> of;  // TRI_* by list position
    size_t front = 0, back = 0, cut = 0;
};

// What two subtrees built side by side share: a bound on the triangles held,
// and whether either side gave up.
struct Fork {
    size_t heldBase;              // held when the sides were handed out
    std::atomic<size_t> rise{0};  // every growth of either side, none taken back
    std::atomic<bool> failed{false};
};

// The triangles held in lists and nodes may not pass the build's limit. In
// order the count is exact, and the build stops where it passes (BuildNode
// then reports). Built side by side, where the order of the two sides'
// growths is not the build's, each side only bounds the count by the sum of
// every growth either made, and gives up where that bound passes the limit,
// so that the build is made again in order and stops where it would have.
struct Growth {
    size_t limit;
    size_t held;            // in order: the triangles held
    Fork* pFork = nullptr;  // side by side: the shared bound
    int64_t change = 0;     // this loop's net change, for the loop that forked

    // A node turned before triangles into after; false where the build must
    // stop (in order) or give up (side by side).
    bool Allow(size_t before, size_t after) {
        change += static_cast<int64_t>(after) - static_cast<int64_t>(before);
        if (pFork == nullptr) {
            held = held + after - before;
            return held <= limit;
        }
        if (after <= before) return true;
        const size_t rise = pFork->rise.fetch_add(after - before) + (after - before);
        if (pFork->heldBase + rise <= limit) return true;
        pFork->failed.store(true);
        return false;
    }
};

// What every loop of one build shares.
struct Shared {
    const BSPBuildSettings& settings;
    bspsearch::Context search;
    std::atomic<size_t> nodeNum{0};
    std::atomic<size_t> left;  // triangles in lists still waiting for their nodes
    bool finished = false;
    // Whether the build is made again from its input where sides built side
    // by side give up (set when they do), rather than from copies of them.
    bool restartable = false;
    bool restart = false;

    Shared(const BSPBuildSettings& s, size_t given) : settings(s), search(s), left(given) {}
    // Also when a report unwinds the build (the fuzz targets' reports throw).
    ~Shared() { Finish(); }

    void Progress(size_t nodes, size_t trianglesLeft) {
        if (settings.progress) settings.progress(BSPBuildProgress{nodes, trianglesLeft, false});
    }
    void Finish() {
        if (finished) return;
        finished = true;
        if (settings.progress)
            settings.progress(BSPBuildProgress{nodeNum.load(), left.load(), true});
    }
};

// The node loop over one stack of pending subtrees, on one thread.
class NodeLoop {
public:
    NodeLoop(Shared& shared, Growth growth, bool reports)
        : mGrowth(growth), mShared(shared), mReports(reports) {}

    // Builds every subtree on the stack, and those they make; returns early
    // where the build stops or (side by side) gives up.
    void Run(std::vector<Pending>& stack, bool mayFork);

    uint32_t mDepth = 0;          // deepest node made
    uint32_t mDegenerateNum = 0;  // pieces left out
    uint64_t mSorted = 0;         // triangles classified against their node's splitter
    Growth mGrowth;

private:
    BSPNode* newNode(const Pending& job);
    size_t chooseSplitter(Pending& job);
    Sides classify(const std::vector<Triangle>& list, size_t splitIndex, const Plane& plane);
    bool sortAndCut(Pending& job, size_t splitIndex, const Plane& plane, const Sides& sides,
                    BSPNode* pNode, Pending& front, Pending& back);
    void placed(size_t nodeNum, size_t taken, size_t added);
    bool forks(const Pending& front, const Pending& back) const;
    bool buildSideBySide(Pending& front, Pending& back);
    bool gaveUp() const {
        return mGrowth.pFork != nullptr && mGrowth.pFork->failed.load(std::memory_order_relaxed);
    }

    Shared& mShared;
    bool mReports;  // the loop on the calling thread shows the progress
};

void NodeLoop::Run(std::vector<Pending>& stack, bool mayFork) {
    while (!stack.empty() && !gaveUp()) {
        Pending job = std::move(stack.back());
        stack.pop_back();
        if (job.list.empty()) continue;
        BSPNode* pNode = newNode(job);
        const size_t nodeNum = mShared.nodeNum.fetch_add(1) + 1;
        const size_t n = job.list.size();
        if (n == 1) {
            // A leaf of one triangle keeps its raw plane.
            const Triangle& tri = job.list[0];
            pNode->mPlane = Plane(tri.mPos[0], tri.mPos[1], tri.mPos[2]);
            pNode->mTriList.push_back(tri);
            pNode->mType = BSPNode::TYPE_LEAF;
            placed(nodeNum, 1, 0);
            continue;
        }

        // 1. The splitter, and its unit plane.
        const size_t splitIndex = chooseSplitter(job);
        const Triangle splitter = job.list[splitIndex];
        Plane plane;
        plane.Set(splitter.mPos[0], splitter.mPos[1], splitter.mPos[2]);
        // 2. Every other triangle classified against it.
        const Sides sides = classify(job.list, splitIndex, plane);
        // 3. Coplanar triangles into the node in list order, the others to
        // their sides, spanning ones cut into both.
        Pending front{job.depth + 1, {}, &pNode->mpFront, {}};
        Pending back{job.depth + 1, {}, &pNode->mpBack, {}};
        if (!sortAndCut(job, splitIndex, plane, sides, pNode, front, back)) return;
        // 4. The splitter after the coplanar triangles.
        pNode->mPlane = plane;
        pNode->mTriList.push_back(splitter);
        const bool children = !front.list.empty() || !back.list.empty();
        pNode->mType = children ? BSPNode::TYPE_INTERIOR : BSPNode::TYPE_LEAF;
        const size_t sideNum = front.list.size() + back.list.size();
        if (!mGrowth.Allow(n, sideNum + pNode->mTriList.size())) return;
        placed(nodeNum, n, sideNum);
        // 5. The back side is pushed first, so the front subtree is built
        // completely before it.
        if (mayFork && forks(front, back)) {
            mayFork = false;
            if (buildSideBySide(front, back)) continue;
            if (mShared.restart) return;
        }
        stack.push_back(std::move(back));
        stack.push_back(std::move(front));
    }
}

BSPNode* NodeLoop::newNode(const Pending& job) {
    if (job.depth > mDepth) mDepth = job.depth;
    BSPNode* pNode = new BSPNode;
    *job.ppSlot = pNode;
    return pNode;
}

size_t NodeLoop::chooseSplitter(Pending& job) {
    const BSPBuildSettings& settings = mShared.settings;
    if (settings.search == SplitterSearch::Fast)
        return job.counts.ChooseSplitter(job.list, mShared.search);
    uint64_t scored = 0;
    const size_t index = PlainSplitterIndex(job.list, settings.splitWeight, settings.balanceWeight,
                                            &scored, settings.candidates);
    mShared.search.mScored.fetch_add(scored, std::memory_order_relaxed);
    return index;
}

Sides NodeLoop::classify(const std::vector<Triangle>& list, size_t splitIndex, const Plane& plane) {
    Sides sides;
    sides.of.resize(list.size());
    // Counted in locals: the byte stores into sides.of could alias the fields.
    size_t front = 0, back = 0, cut = 0;
    for (size_t i = 0; i < list.size(); ++i) {
        if (i == splitIndex) continue;
        const TriClass c = ClassifyTriangle(plane, list[i]);
        sides.of[i] = static_cast<uint8_t>(c);
        front += c == TRI_FRONT;
        back += c == TRI_BACK;
        cut += c == TRI_SPANNING;
    }
    sides.front = front;
    sides.back = back;
    sides.cut = cut;
    mSorted += list.size() - 1;
    return sides;
}

// Step 3 of a node. The splitter is skipped rather than erased, so nothing
// shifts. Without cuts the larger side is compacted within the node's own
// list, which then becomes that side's list (with what the fast search
// carries for it): a chain of nodes reuses one buffer all the way down.
// False where a cut would halt: in order SplitTriangle halts here with its
// report; side by side the fork gives up.
bool NodeLoop::sortAndCut(Pending& job, size_t splitIndex, const Plane& plane, const Sides& sides,
                          BSPNode* pNode, Pending& front, Pending& back) {
    const int inPlace = (sides.cut != 0) ? 0 : (sides.front >= sides.back) ? TRI_FRONT : TRI_BACK;
    Pending* pInPlace = (inPlace == TRI_FRONT) ? &front : (inPlace == TRI_BACK) ? &back : nullptr;
    if (pInPlace != nullptr && mShared.settings.search == SplitterSearch::Fast) {
        const size_t keep = (inPlace == TRI_FRONT) ? sides.front : sides.back;
        pInPlace->counts = job.counts.ForChild(job.list, sides.of, inPlace, keep, mShared.search);
    }
    job.counts.Clear();
    if (pInPlace != &front) front.list.reserve(sides.front + 2 * sides.cut);
    if (pInPlace != &back) back.list.reserve(sides.back + 2 * sides.cut);

    size_t write = 0;
    for (size_t i = 0; i < job.list.size(); ++i) {
        if (i == splitIndex) continue;
        const Triangle& tri = job.list[i];
        const int side = sides.of[i];
        if (side == inPlace) job.list[write++] = tri;  // write <= i
        else if (side == TRI_COPLANAR) pNode->mTriList.push_back(tri);
        else if (side == TRI_FRONT) front.list.push_back(tri);
        else if (side == TRI_BACK) back.list.push_back(tri);
        else if (!KeepPieces(tri, plane, front.list, back.list, &mDegenerateNum)) {
            if (mGrowth.pFork != nullptr) {
                mGrowth.pFork->failed.store(true);
                return false;
            }
            Triangle backPieces[2], frontPieces[2];
            BSPTree::SplitTriangle(tri, plane, backPieces, frontPieces);  // halts
            return false;
        }
    }
    if (pInPlace != nullptr) {
        job.list.resize(write);
        pInPlace->list = std::move(job.list);
    } else {
        // Freed now, not when the node's step ends: sides built side by
        // side would otherwise hold it all along.
        std::vector<Triangle>().swap(job.list);
    }
    return true;
}

// A node took `taken` triangles from the lists and added `added` to them.
void NodeLoop::placed(size_t nodeNum, size_t taken, size_t added) {
    mShared.left.fetch_add(added);
    const size_t left = mShared.left.fetch_sub(taken) - taken;
    if (mReports) mShared.Progress(nodeNum, left);
}

bool NodeLoop::forks(const Pending& front, const Pending& back) const {
    const size_t forkMin = mShared.settings.forkMin;
    return front.list.size() >= forkMin && back.list.size() >= forkMin &&
           mShared.search.Threads() > 1;
}

// Builds the two subtrees on two threads and returns true. When a side gives
// up (a cut that halts, or a growth that might pass the limit in order), what
// both made is freed, the two lists are put back as they were, and false is
// returned, so that the build goes on in order and ends as it would have.
bool NodeLoop::buildSideBySide(Pending& front, Pending& back) {
    Fork fork;
    fork.heldBase = mGrowth.held;
    // Copies to go on from in order, unless the build can be made again.
    std::vector<Triangle> frontCopy, backCopy;
    if (!mShared.restartable) {
        frontCopy = front.list;
        backCopy = back.list;
    }
    const uint32_t childDepth = front.depth;
    const size_t leftBefore = mShared.left.load();
    Growth sideGrowth{mGrowth.limit, mGrowth.held, &fork};
    NodeLoop side[2] = {NodeLoop(mShared, sideGrowth, mReports),
                        NodeLoop(mShared, sideGrowth, false)};
    std::vector<Pending> stacks[2];
    stacks[0].push_back(std::move(front));
    stacks[1].push_back(std::move(back));
    BSPNode** ppSlot[2] = {stacks[0].back().ppSlot, stacks[1].back().ppSlot};
    const bool ran = mShared.search.RunOnThreads([&](unsigned k, unsigned) {
        if (k < 2) side[k].Run(stacks[k], false);
    });
    if (ran && !fork.failed.load()) {
        for (const NodeLoop& s : side) {
            mDepth = ORV::Max(mDepth, s.mDepth);
            mDegenerateNum += s.mDegenerateNum;
            mSorted += s.mSorted;
            mGrowth.change += s.mGrowth.change;
            mGrowth.held =
                static_cast<size_t>(static_cast<int64_t>(mGrowth.held) + s.mGrowth.change);
        }
        return true;
    }
    for (int k = 0; k < 2; ++k) {
        BSPTree::FreeNode(*ppSlot[k]);
        *ppSlot[k] = nullptr;
    }
    if (mShared.restartable) {
        mShared.restart = true;
        return false;
    }
    mShared.left.store(leftBefore);
    front = Pending{childDepth, std::move(frontCopy), ppSlot[0], {}};
    back = Pending{childDepth, std::move(backCopy), ppSlot[1], {}};
    return false;
}

// The demo's build: the two static weights, one thread per core, and the
// progress line on standard output.
BSPBuildSettings demoSettings(BSPProgressLine& line) {
    BSPBuildSettings settings;
    settings.splitWeight = BSPTree::sSplitWeight;
    settings.balanceWeight = BSPTree::sBalanceWeight;
    settings.candidates = BSPTree::sCandidates;
    settings.progress = line.Callback();
    return settings;
}

}  // namespace

bool BSPTree::Build(const std::vector<Triangle>& list) {
    BSPProgressLine line;
    return Build(list, demoSettings(line));
}

bool BSPTree::Build(const std::vector<Triangle>& list, const BSPBuildSettings& settings) {
    // Building over an existing tree would lose it: free it first.
    Clear();
    mDepth = 0;
    mDegenerateNum = 0;
    mTriNum = static_cast<int32_t>(list.size());
    std::vector<Triangle> work;
    work.reserve(list.size());
    for (const Triangle& tri : list) {
        if (IsDegenerate(tri)) ++mDegenerateNum;
        else work.push_back(tri);
    }
    bool restart = false;
    mpRestart = &restart;
    mpRoot = BuildNode(0, std::move(work), settings);
    if (restart) {
        // Sides built side by side gave up: the tree is made in order.
        BSPBuildSettings inOrder = settings;
        inOrder.forkMin = SIZE_MAX;
        work.clear();
        for (const Triangle& tri : list)
            if (!IsDegenerate(tri)) work.push_back(tri);
        mpRoot = BuildNode(0, std::move(work), inOrder);
    }
    return true;
}

BSPNode* BSPTree::BuildNode(uint32_t depth, std::vector<Triangle> list) {
    BSPProgressLine line;
    return BuildNode(depth, std::move(list), demoSettings(line));
}

BSPNode* BSPTree::BuildNode(uint32_t depth, std::vector<Triangle> list,
                            const BSPBuildSettings& settings) {
    bool* const pRestart = std::exchange(mpRestart, nullptr);
    // The subtree hangs from a holder until it is complete, so that a build
    // abandoned half way frees what it made.
    BSPNode holder;
    const size_t given = list.size();
    Shared shared(settings, given);
    shared.restartable = pRestart != nullptr;
    NodeLoop loop(shared, Growth{GrowthLimit(given, settings.growthCap), given}, true);
    loop.mDepth = mDepth;
    std::vector<Pending> stack;
    stack.push_back(Pending{depth, std::move(list), &holder.mpFront, {}});
    loop.Run(stack, true);
    if (shared.restart) {
        *pRestart = true;
        return nullptr;  // the holder frees what was made
    }
    const size_t held = loop.mGrowth.held;
    const size_t heldMax = loop.mGrowth.limit;
    shared.Finish();
    if (settings.pWork != nullptr) {
        settings.pWork->scored += shared.search.mScored.load();
        settings.pWork->carried += shared.search.mCarried.load();
        settings.pWork->boxes += shared.search.mBoxes.load();
        settings.pWork->sorted += loop.mSorted;
    }
    ORV_ASSERT_MESG(held <= heldMax, "Cutting would grow the tree past %zu triangles (%zu given)!!",
                    heldMax, given);
    mDepth = loop.mDepth;
    mDegenerateNum += loop.mDegenerateNum;
    BSPNode* pResult = holder.mpFront;
    holder.mpFront = nullptr;
    return pResult;
}

size_t BSPTree::ChooseSplitterIndex(const std::vector<Triangle>& list) {
    BSPBuildSettings settings;
    settings.splitWeight = sSplitWeight;
    settings.balanceWeight = sBalanceWeight;
    return ChooseSplitterIndex(list, settings);
}

size_t BSPTree::ChooseSplitterIndex(const std::vector<Triangle>& list,
                                    const BSPBuildSettings& settings) {
    bspsearch::Context search(settings);
    uint64_t scored = 0;
    if (settings.search == SplitterSearch::Plain)
        return PlainSplitterIndex(list, settings.splitWeight, settings.balanceWeight, &scored,
                                  settings.candidates);
    return bspsearch::ChooseSplitter(list, search, &scored);
}

Triangle BSPTree::ChooseSplitter(std::vector<Triangle>& list, Plane& plane) {
    size_t index = ChooseSplitterIndex(list);
    Triangle splitter = list[index];
    list.erase(list.begin() + static_cast<std::ptrdiff_t>(index));
    plane.Set(splitter.mPos[0], splitter.mPos[1], splitter.mPos[2]);
    return splitter;
}
