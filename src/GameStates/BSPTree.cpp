// BSPTree.cpp - the tree's nodes: freeing them, and comparing two trees.
#include "BSPTree.h"

#include <cstring>
#include <utility>

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

void BSPTree::Clear() {
    FreeNode(mpRoot);
    mpRoot = nullptr;
}

void BSPTree::FreeNode(BSPNode* pNode) { delete pNode; }

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
