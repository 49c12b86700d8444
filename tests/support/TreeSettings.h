// TreeSettings.h - build settings for the tree's tests, and the demo's two
// static weights set for one scope, for the tests of what reads them.
#ifndef ORV_TEST_TREE_SETTINGS_H
#define ORV_TEST_TREE_SETTINGS_H

#include "BSPBuild.h"
#include "BSPTree.h"

namespace orvtest {

// The default settings with the given weights.
inline BSPBuildSettings WithWeights(float split, float balance) {
    BSPBuildSettings settings;
    settings.splitWeight = split;
    settings.balanceWeight = balance;
    return settings;
}

// Sets BSPTree::sSplitWeight and sBalanceWeight until the end of the scope,
// for tests of Build(list) and ChooseSplitterIndex(list), which read them.
class ScopedDemoWeights {
public:
    ScopedDemoWeights(float split, float balance)
        : mSplit(BSPTree::sSplitWeight), mBalance(BSPTree::sBalanceWeight) {
        BSPTree::sSplitWeight = split;
        BSPTree::sBalanceWeight = balance;
    }
    ~ScopedDemoWeights() {
        BSPTree::sSplitWeight = mSplit;
        BSPTree::sBalanceWeight = mBalance;
    }
    ScopedDemoWeights(const ScopedDemoWeights&) = delete;
    ScopedDemoWeights& operator=(const ScopedDemoWeights&) = delete;

private:
    float mSplit, mBalance;
};

}  // namespace orvtest

#endif
