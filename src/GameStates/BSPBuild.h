// BSPBuild.h - the settings of a tree's construction. The construction itself
// is BSPTree::Build and its companions (declared in BSPTree.h, defined in
// BSPBuild.cpp): one node loop that applies the rules of BSPRules.h node by
// node, with the splitter found by the fast search (BSPSearch.h) or by the
// plain rule; both give the same tree, bit for bit.
#ifndef BSP_BUILD_H
#define BSP_BUILD_H

#include "BSPRules.h"

#include <cstddef>
#include <cstdint>
#include <functional>

// How a build finds each node's splitter.
enum class SplitterSearch {
    Fast,  // vector kernels, early stops, counts carried down chains, threads
    Plain  // PlainSplitterIndex: every candidate counted in full, one by one
};

// Where a build stands, for a progress display.
struct BSPBuildProgress {
    size_t nodesDone;
    size_t trianglesLeft;  // still in lists waiting for their nodes
    bool finished;         // the build is over (or about to report its end)
};

// Triangle classifications a build made, for the benchmarks.
struct BSPBuildWork {
    uint64_t scored = 0;   // scoring splitter candidates
    uint64_t carried = 0;  // keeping carried counts up to date down chains
    uint64_t sorted = 0;   // sending each node's triangles to their sides
    uint64_t boxes = 0;    // testing boxes of groups against candidate planes
};

// Everything a build takes besides its triangles: a value with the demo's
// defaults, of which a caller changes what it needs.
struct BSPBuildSettings {
    // The splitter score's weights (SplitterScore).
    float splitWeight = START_SPLIT_WEIGHT;
    float balanceWeight = START_BALANCE_WEIGHT;
    SplitterSearch search = SplitterSearch::Fast;
    // Candidates scored per node: 0 for every triangle of its list (the exact
    // rule), else at most this many, spread over the list (CandidateAt). A
    // bounded search builds a valid tree faster, not the exact rule's.
    size_t candidates = 0;
    // Threads the build may use: 0 means one per core.
    unsigned threads = 0;
    // Lanes of the fast search's classification kernel: 0 for the widest the
    // processor runs in hardware, else 4, 8 or 16 (each runs on any machine).
    unsigned kernelWidth = 0;
    // Lists at least this long (with as many candidates) are counted against
    // a hierarchy of boxes over their triangles; below it one pass over the
    // list costs less. SIZE_MAX turns the hierarchy off, 2 on everywhere.
    size_t groupsMin = 1024;
    // The first node whose two sides both hold at least this many triangles
    // has them built side by side, on two threads.
    size_t forkMin = 512;
    // At most this many triangles held, whole or cut, below GrowthLimit; 0
    // for none. The tree fuzz target sets a small one, so that soups that cut
    // themselves up end in the growth report within milliseconds.
    size_t growthCap = 0;
    // Called on the calling thread as nodes are made and once at the end;
    // empty for a silent build.
    std::function<void(const BSPBuildProgress&)> progress;
    // Receives (adds) the classifications made; null when not wanted.
    BSPBuildWork* pWork = nullptr;
};

#endif  // BSP_BUILD_H
