// BSPTree.cpp - construction with cutting, freeing, drawing and comparison
// of the demo's BSP tree.
#include "BSPTree.h"

#include "BSPBuild.h"
#include "BSPProgress.h"
#include "BSPRules.h"

#include <atomic>
#include <cstdio>
#include <cstring>
#include <utility>

float BSPTree::sSplitWeight = 1.1f;
float BSPTree::sBalanceWeight = 1.0f;

// A list keeping all but at most one in CHAIN_RATIO of its parent's triangles
// (and at least CARRY_MIN) inherits its candidates' counts.
static constexpr size_t CHAIN_RATIO = 8;
static constexpr size_t CARRY_MIN = 64;

BSPNode::~BSPNode() {
    std::vector<BSPNode*> stack;
    if (mpFront != nullptr) stack.push_back(mpFront);
    if (mpBack != nullptr) stack.push_back(mpBack);
    mpFront = nullptr;
    mpBack = nullptr;
    // Children are detached before each delete, so no destructor nests.
    while (!stack.empty()) {
        BSPNode* pNode = stack.back();
        stack.pop_back();
        if (pNode->mpFront != nullptr) stack.push_back(pNode->mpFront);
        if (pNode->mpBack != nullptr) stack.push_back(pNode->mpBack);
        pNode->mpFront = nullptr;
        pNode->mpBack = nullptr;
        delete pNode;
    }
}

bool BSPTree::Build(const std::vector<Triangle>& list) {
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
    mpRoot = BuildNode(0, std::move(work));
    return true;
}

void BSPTree::Clear() {
    FreeNode(mpRoot);
    mpRoot = nullptr;
}

void BSPTree::FreeNode(BSPNode* pNode) {
    delete pNode;
}

namespace {

// A subtree still to build, with the parent's slot that receives it.
struct Pending {
    uint32_t depth;
    std::vector<Triangle> list;
    BSPNode** ppSlot;
    bspbuild::Carry carry;  // the list's candidates counted, or empty
    bool countAll;          // count every candidate in full, to carry them on
};

// What two subtrees built side by side share: a bound on the triangles held,
// and whether either side gave up.
struct Fork {
    size_t heldBase;                // held when the sides were handed out
    std::atomic<size_t> rise{0};    // every growth of either side, none taken back
    std::atomic<bool> failed{false};
};

// The node loop over one stack of pending subtrees, on one thread.
struct NodeLoop {
    float splitWeight;
    float balanceWeight;
    size_t given;
    size_t heldMax;
    Fork* pFork;                       // null: the sequential loop, which halts
    std::atomic<size_t>* pNodeNum;     // shared figures for the progress line
    std::atomic<size_t>* pLeft;
    BSPProgressLine* pProgress;               // null on threads that do not print
    uint32_t depth = 0;                // deepest node made
    uint32_t degenerateNum = 0;        // pieces left out
    int64_t heldChange = 0;            // net change of the triangles held
    size_t held = 0;                   // sequential loop: the triangles held

    void Run(std::vector<Pending>& stack, bool mayFork);
    bool buildSideBySide(Pending& front, Pending& back);
};

// Builds the two subtrees on two threads and returns true. When a side gives
// up (a cut that halts, or a growth that might pass the limit in order), what
// both made is freed, the two lists are put back on the stack's top and
// false is returned, so that the build goes on in order and ends as it would
// have.
bool NodeLoop::buildSideBySide(Pending& front, Pending& back) {
    Fork fork;
    fork.heldBase = held;
    std::vector<Triangle> frontCopy = front.list;
    std::vector<Triangle> backCopy = back.list;
    const uint32_t childDepth = front.depth;
    const size_t leftBefore = pLeft->load();
    NodeLoop side[2] = {*this, *this};
    std::vector<Pending> stacks[2];
    stacks[0].push_back(std::move(front));
    stacks[1].push_back(std::move(back));
    for (int k = 0; k < 2; ++k) {
        side[k].pFork = &fork;
        side[k].depth = 0;
        side[k].degenerateNum = 0;
        side[k].heldChange = 0;
        side[k].pProgress = (k == 0) ? pProgress : nullptr;
    }
    BSPNode** ppSlot[2] = {stacks[0].back().ppSlot, stacks[1].back().ppSlot};
    const bool ran = bspbuild::RunTasks([&](unsigned k, unsigned) {
        if (k < 2) side[k].Run(stacks[k], false);
    });
    if (ran && !fork.failed.load()) {
        for (int k = 0; k < 2; ++k) {
            depth = ORV::Max(depth, side[k].depth);
            degenerateNum += side[k].degenerateNum;
            heldChange += side[k].heldChange;
        }
        held = static_cast<size_t>(static_cast<int64_t>(held) + side[0].heldChange +
                                   side[1].heldChange);
        return true;
    }
    for (int k = 0; k < 2; ++k) {
        BSPTree::FreeNode(*ppSlot[k]);
        *ppSlot[k] = nullptr;
    }
    pLeft->store(leftBefore);
    front = Pending{childDepth, std::move(frontCopy), ppSlot[0], {}, false};
    back = Pending{childDepth, std::move(backCopy), ppSlot[1], {}, false};
    return false;
}

void NodeLoop::Run(std::vector<Pending>& stack, bool mayFork) {
    while (!stack.empty()) {
        if (pFork != nullptr && pFork->failed.load(std::memory_order_relaxed)) return;
        Pending job = std::move(stack.back());
        stack.pop_back();
        if (job.list.empty()) continue;
        if (job.depth > depth) depth = job.depth;

        BSPNode* pNode = new BSPNode;
        ORV_ASSERT_ALLOC(pNode);
        *job.ppSlot = pNode;

        const size_t nodeNum = pNodeNum->fetch_add(1) + 1;
        if (job.list.size() == 1) {
            const Triangle& tri = job.list[0];
            pNode->mPlane = Plane(tri.mPos[0], tri.mPos[1], tri.mPos[2]);
            pNode->mTriList.push_back(tri);
            pNode->mType = BSPNode::TYPE_LEAF;
            const size_t left = pLeft->fetch_sub(1) - 1;
            if (pProgress != nullptr) pProgress->Update(nodeNum, left);
            continue;
        }

        // The splitter is skipped rather than erased, so nothing shifts; it
        // is copied out before the list's storage is reused below.
        const size_t n = job.list.size();
        uint64_t work = 0;
        size_t splitIndex;
        if (!job.carry.Empty()) {
            splitIndex = bspbuild::ChooseFromCarry(job.carry, splitWeight, balanceWeight);
        } else if (job.countAll) {
            splitIndex = bspbuild::CountAndChoose(job.list, splitWeight, balanceWeight, job.carry);
        } else {
            splitIndex = bspbuild::ChooseSplitter(job.list, splitWeight, balanceWeight, &work);
        }
        Plane plane;
        plane.Set(job.list[splitIndex].mPos[0], job.list[splitIndex].mPos[1],
                  job.list[splitIndex].mPos[2]);

        // Classify everything first, so the side lists are allocated once.
        std::vector<uint8_t> sides(job.list.size());
        size_t frontNum = 0, backNum = 0, cutNum = 0;
        for (size_t i = 0; i < job.list.size(); ++i) {
            if (i == splitIndex) continue;
            int side = ClassifyTriangle(plane, job.list[i]);
            sides[i] = static_cast<uint8_t>(side);
            if (side == TRI_FRONT) ++frontNum;
            else if (side == TRI_BACK) ++backNum;
            else if (side == TRI_SPANNING) ++cutNum;
        }
        std::vector<Triangle> frontList;
        std::vector<Triangle> backList;
        // Without cuts the larger side is compacted within the node's own
        // list, which then becomes that side's list: a chain of nodes reuses
        // one buffer all the way down.
        const int inPlaceSide = (cutNum != 0) ? 0 : (frontNum >= backNum) ? TRI_FRONT : TRI_BACK;
        // A chain step: the side kept in place inherits the counts, or, when
        // this search found nothing to skip, has them all counted to pass on.
        bspbuild::Carry childCarry;
        bool childCountAll = false;
        if (inPlaceSide != 0) {
            const size_t keep = (inPlaceSide == TRI_FRONT) ? frontNum : backNum;
            if (keep >= CARRY_MIN && (n - keep) * CHAIN_RATIO <= keep) {
                if (!job.carry.Empty()) {
                    bspbuild::Derive(job.list, sides, inPlaceSide, job.carry);
                    childCarry = std::move(job.carry);
                } else {
                    childCountAll = work >= static_cast<uint64_t>(n) * n / 4;
                }
            }
        }
        job.carry.Clear();
        if (inPlaceSide != TRI_FRONT) frontList.reserve(frontNum + 2 * cutNum);
        if (inPlaceSide != TRI_BACK) backList.reserve(backNum + 2 * cutNum);
        size_t write = 0;

        const Triangle splitter = job.list[splitIndex];
        for (size_t i = 0; i < job.list.size(); ++i) {
            if (i == splitIndex) continue;
            const Triangle& tri = job.list[i];
            const int side = sides[i];
            if (side == inPlaceSide) job.list[write++] = tri;  // write <= i
            else if (side == TRI_COPLANAR) pNode->mTriList.push_back(tri);
            else if (side == TRI_FRONT) frontList.push_back(tri);
            else if (side == TRI_BACK) backList.push_back(tri);
            else if (!KeepPieces(tri, plane, frontList, backList, &degenerateNum)) {
                // The sequential loop halts here; a side built beside another
                // gives up, and the build is made again in order.
                if (pFork == nullptr) {
                    Triangle backPieces[2], frontPieces[2];
                    BSPTree::SplitTriangle(tri, plane, backPieces, frontPieces);  // halts
                } else {
                    pFork->failed.store(true);
                }
                return;
            }
        }
        if (inPlaceSide != 0) {
            job.list.resize(write);
            (inPlaceSide == TRI_FRONT ? frontList : backList) = std::move(job.list);
        } else {
            const size_t after = frontList.size() + backList.size() + pNode->mTriList.size() + 1;
            heldChange += static_cast<int64_t>(after) - static_cast<int64_t>(n);
            if (pFork == nullptr) {
                // Past the limit the loop stops, and BuildNode reports it.
                held = held + after - n;
                if (held > heldMax) return;
            } else if (after > n) {
                // In order, the held count may never pass the limit; built side
                // by side, the sum of every growth bounds it.
                const size_t rise = pFork->rise.fetch_add(after - n) + (after - n);
                if (pFork->heldBase + rise > heldMax) {
                    pFork->failed.store(true);
                    return;
                }
            }
        }

        pNode->mPlane = plane;
        pNode->mTriList.push_back(splitter);
        bool children = !frontList.empty() || !backList.empty();
        pNode->mType = children ? BSPNode::TYPE_INTERIOR : BSPNode::TYPE_LEAF;
        pLeft->fetch_add(frontList.size() + backList.size());
        const size_t left = pLeft->fetch_sub(n) - n;
        if (pProgress != nullptr) pProgress->Update(nodeNum, left);
        const bool frontCarries = inPlaceSide == TRI_FRONT;
        const bool backCarries = inPlaceSide == TRI_BACK;
        Pending back{job.depth + 1, std::move(backList), &pNode->mpBack,
                     backCarries ? std::move(childCarry) : bspbuild::Carry(),
                     backCarries && childCountAll};
        Pending front{job.depth + 1, std::move(frontList), &pNode->mpFront,
                      frontCarries ? std::move(childCarry) : bspbuild::Carry(),
                      frontCarries && childCountAll};
        // The first node with two large sides has them built side by side.
        if (mayFork && front.list.size() >= bspbuild::ForkMin() &&
            back.list.size() >= bspbuild::ForkMin() && bspbuild::ThreadCount() > 1) {
            mayFork = false;
            if (buildSideBySide(front, back)) continue;
        }
        stack.push_back(std::move(back));
        stack.push_back(std::move(front));
    }
}

}  // namespace

BSPNode* BSPTree::BuildNode(uint32_t depth, std::vector<Triangle> list) {
    // The subtree hangs from a holder until it is complete, so that a build
    // abandoned half way frees what it made.
    BSPNode holder;
    // Triangles held in lists and nodes: cutting may not grow them past a
    // stated multiple of the input.
    const size_t given = list.size();
    std::atomic<size_t> nodeNum{0};
    std::atomic<size_t> left{given};
    BSPProgressLine progress(bspbuild::ProgressDelay());
    NodeLoop loop{sSplitWeight, sBalanceWeight, given, GrowthLimit(given), nullptr,
                  &nodeNum, &left, &progress};
    loop.held = given;
    loop.depth = mDepth;
    // The back list is pushed first, so every front subtree is built
    // completely before its back sibling.
    std::vector<Pending> stack;
    stack.push_back(Pending{depth, std::move(list), &holder.mpFront, {}, false});
    loop.Run(stack, true);
    const size_t held = loop.held;
    const size_t heldMax = loop.heldMax;
    progress.Finish();
    ORV_ASSERT_MESG(held <= heldMax, "Cutting would grow the tree past %zu triangles (%zu given)!!",
                    heldMax, given);
    mDepth = loop.depth;
    mDegenerateNum += loop.degenerateNum;
    BSPNode* pResult = holder.mpFront;
    holder.mpFront = nullptr;
    return pResult;
}

size_t BSPTree::ChooseSplitterIndex(const std::vector<Triangle>& list) {
    return bspbuild::ChooseSplitter(list, sSplitWeight, sBalanceWeight);
}

Triangle BSPTree::ChooseSplitter(std::vector<Triangle>& list, Plane& plane) {
    size_t index = ChooseSplitterIndex(list);
    Triangle splitter = list[index];
    list.erase(list.begin() + static_cast<std::ptrdiff_t>(index));
    plane.Set(splitter.mPos[0], splitter.mPos[1], splitter.mPos[2]);
    return splitter;
}

namespace {

bool sameBits(const void* pA, const void* pB, size_t size) {
    return std::memcmp(pA, pB, size) == 0;
}

bool sameNode(const BSPNode& a, const BSPNode& b) {
    if (a.mType != b.mType || !sameBits(&a.mPlane, &b.mPlane, sizeof(Plane))) return false;
    if (a.mTriList.size() != b.mTriList.size()) return false;
    if ((a.mpFront == nullptr) != (b.mpFront == nullptr)) return false;
    if ((a.mpBack == nullptr) != (b.mpBack == nullptr)) return false;
    return a.mTriList.empty() ||
           sameBits(a.mTriList.data(), b.mTriList.data(), a.mTriList.size() * sizeof(Triangle));
}

}  // namespace

bool BSPTree::IsIdentical(const BSPTree& other) const {
    if (mDepth != other.mDepth) return false;
    std::vector<std::pair<const BSPNode*, const BSPNode*>> stack;
    stack.emplace_back(mpRoot, other.mpRoot);
    while (!stack.empty()) {
        auto [pA, pB] = stack.back();
        stack.pop_back();
        if (pA == nullptr || pB == nullptr) {
            if (pA != pB) return false;
            continue;
        }
        if (!sameNode(*pA, *pB)) return false;
        stack.emplace_back(pA->mpBack, pB->mpBack);
        stack.emplace_back(pA->mpFront, pB->mpFront);
    }
    return true;
}
