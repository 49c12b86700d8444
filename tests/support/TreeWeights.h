// TreeWeights.h - sets the tree's two program-wide splitter weights for one
// test and restores them after, so tests cannot leak weights into each other.
#ifndef ORV_TEST_TREE_WEIGHTS_H
#define ORV_TEST_TREE_WEIGHTS_H

#include "BSPTree.h"

namespace orvtest {

struct Weights {
    float split, balance;
    Weights(float s, float b) : split(BSPTree::sSplitWeight), balance(BSPTree::sBalanceWeight) {
        BSPTree::sSplitWeight = s;
        BSPTree::sBalanceWeight = b;
    }
    ~Weights() {
        BSPTree::sSplitWeight = split;
        BSPTree::sBalanceWeight = balance;
    }
    Weights(const Weights&) = delete;
    Weights& operator=(const Weights&) = delete;
};

}  // namespace orvtest

#endif
