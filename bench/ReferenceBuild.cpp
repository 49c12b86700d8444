// ReferenceBuild.cpp - the construction step by step: Build, BuildNode,
// ChooseSplitter and SplitTriangle as their rules read, with the product's
// added rules: triangles and pieces without a plane are dropped and counted,
// so is a side that a sliver's cut leaves with fewer than three points, and
// cut points far outside their edge are clamped.
#include "ReferenceBuild.h"

#include <algorithm>
#include <utility>

namespace orvref {

namespace {

// The cut's corner-side tolerance and the edge-parameter tolerance.
constexpr double kSplitEpsilon = 0.001;

struct Builder {
    BSPTree& tree;
    float splitWeight;
    float balanceWeight;
    uint64_t classified = 0;

    BSPNode* BuildNode(uint32_t depth, std::vector<Triangle> list);
    Triangle ChooseSplitter(std::vector<Triangle>& list, Plane& plane);
    void Append(const Triangle* pPieces, size_t pointNum, std::vector<Triangle>& list);
};

Triangle Builder::ChooseSplitter(std::vector<Triangle>& list, Plane& plane) {
    const size_t n = list.size();
    float best = static_cast<float>(n) * balanceWeight + static_cast<float>(n) * splitWeight;
    size_t bestIndex = 0;
    for (size_t i = 0; i < n; ++i) {
        uint32_t front = 0, back = 0, cut = 0;
        Plane candidate(list[i].mPos[0], list[i].mPos[1], list[i].mPos[2]);
        candidate.Normalize();
        for (size_t j = 0; j < n; ++j) {
            if (j == i) continue;
            ++classified;
            switch (ClassifyTriangle(candidate, list[j])) {
            case TRI_FRONT: ++front; break;
            case TRI_BACK: ++back; break;
            case TRI_SPANNING: ++cut; break;
            default: break;
            }
        }
        float score = static_cast<float>(std::max(front, back)) * balanceWeight +
                      static_cast<float>(cut) * splitWeight;
        if (score < best) {
            best = score;
            bestIndex = i;
        }
    }
    Triangle splitter = list[bestIndex];
    list.erase(list.begin() + static_cast<std::ptrdiff_t>(bestIndex));
    plane.Set(splitter.mPos[0], splitter.mPos[1], splitter.mPos[2]);
    return splitter;
}

enum Side { ON, FRONT, BEHIND };

Side side(const Plane& plane, const ORV::Vec3& p) {
    double s = plane.Distance(p);
    if (s > kSplitEpsilon) return FRONT;
    if (s < -kSplitEpsilon) return BEHIND;
    return ON;
}

bool near(double t, double to) { return -kSplitEpsilon < t - to && t - to < kSplitEpsilon; }

void fill(const std::vector<ORV::Vec3>& points, const Triangle& tri, Triangle* pPieces) {
    pPieces[0] = Triangle(points[0], points[1], points[2]);
    // A side of three points leaves the second piece at the origin.
    pPieces[1] = points.size() == 4 ? Triangle(points[0], points[2], points[3]) : Triangle();
    for (int piece = 0; piece < 2; ++piece)
        for (int k = 0; k < 3; ++k) pPieces[piece].mClr[k] = tri.mClr[k];
}

// The points each side gets: fewer than three leaves that side empty (a
// sliver the tolerances cut away), more than four is where the product halts.
struct Cut {
    size_t frontNum, backNum;
};

Cut splitTriangle(const Triangle& tri, const Plane& plane, Triangle* pBack, Triangle* pFront) {
    std::vector<ORV::Vec3> frontList, backList;
    int r = 0;
    while (r < 2 && side(plane, tri.mPos[r]) == ON) ++r;
    std::vector<ORV::Vec3>* pCurrent = side(plane, tri.mPos[r]) == FRONT ? &frontList : &backList;
    for (int j = 0; j < 3; ++j) {
        const ORV::Vec3& a = tri.mPos[(r + j) % 3];
        const ORV::Vec3& b = tri.mPos[(r + j + 1) % 3];
        const Side sa = side(plane, a), sb = side(plane, b);
        if ((sa == FRONT && sb == FRONT) || (sa == BEHIND && sb == BEHIND)) {
            pCurrent->push_back(b);
        } else if (sa != ON && sb == ON) {
            pCurrent->push_back(b);
        } else if (sa == ON && sb == ON) {
            pCurrent->push_back(b);
        } else if (sa == ON && sb == BEHIND && pCurrent == &backList) {
            pCurrent->push_back(b);
        } else if (sa == ON && sb == FRONT && pCurrent == &frontList) {
            pCurrent->push_back(b);
        } else {
            ORV::Vec3 x;
            float t;
            IntersectSegment(a, b, plane, &x, &t);
            if (static_cast<double>(t) <= -kSplitEpsilon) {
                t = 0.0f;
                x = a;
            } else if (static_cast<double>(t) >= 1.0 + kSplitEpsilon) {
                t = 1.0f;
                x = b;
            }
            if (!near(t, 0.0)) pCurrent->push_back(x);
            pCurrent = pCurrent == &frontList ? &backList : &frontList;
            if (!near(t, 1.0)) pCurrent->push_back(x);
            pCurrent->push_back(b);
        }
    }
    if (frontList.size() >= 3 && frontList.size() <= 4) fill(frontList, tri, pFront);
    if (backList.size() >= 3 && backList.size() <= 4) fill(backList, tri, pBack);
    return Cut{frontList.size(), backList.size()};
}

bool same(const ORV::Vec3& a, const ORV::Vec3& b) { return a.IsEqual(b); }

void Builder::Append(const Triangle* pPieces, size_t pointNum, std::vector<Triangle>& list) {
    if (pointNum < 3) {
        ++tree.mDegenerateNum;
        return;
    }
    if (IsDegenerate(pPieces[0])) ++tree.mDegenerateNum;
    else list.push_back(pPieces[0]);
    const Triangle& second = pPieces[1];
    if (same(second.mPos[0], second.mPos[1]) && same(second.mPos[1], second.mPos[2])) return;
    if (IsDegenerate(second)) ++tree.mDegenerateNum;
    else list.push_back(second);
}

BSPNode* Builder::BuildNode(uint32_t depth, std::vector<Triangle> list) {
    if (list.empty()) return nullptr;
    if (depth > tree.mDepth) tree.mDepth = depth;
    BSPNode* pNode = new BSPNode;
    if (list.size() == 1) {
        pNode->mPlane = Plane(list[0].mPos[0], list[0].mPos[1], list[0].mPos[2]);
        pNode->mTriList.push_back(list[0]);
        pNode->mType = BSPNode::TYPE_LEAF;
        return pNode;
    }
    std::vector<Triangle> frontList, backList;
    Plane plane;
    Triangle splitter = ChooseSplitter(list, plane);
    for (const Triangle& tri : list) {
        ++classified;
        switch (ClassifyTriangle(plane, tri)) {
        case TRI_COPLANAR: pNode->mTriList.push_back(tri); break;
        case TRI_FRONT: frontList.push_back(tri); break;
        case TRI_BACK: backList.push_back(tri); break;
        default: {
            Triangle back[2], front[2];
            const Cut cut = splitTriangle(tri, plane, back, front);
            if (cut.frontNum > 4 || cut.backNum > 4) std::abort();
            Append(front, cut.frontNum, frontList);
            Append(back, cut.backNum, backList);
            break;
        }
        }
    }
    pNode->mPlane = plane;
    pNode->mTriList.push_back(splitter);
    list.clear();
    list.shrink_to_fit();
    pNode->mpFront = BuildNode(depth + 1, std::move(frontList));
    pNode->mpBack = BuildNode(depth + 1, std::move(backList));
    pNode->mType = (pNode->mpFront != nullptr || pNode->mpBack != nullptr) ? BSPNode::TYPE_INTERIOR
                                                                          : BSPNode::TYPE_LEAF;
    return pNode;
}

}  // namespace

uint64_t Build(BSPTree& tree, const std::vector<Triangle>& list) {
    tree.Clear();
    tree.mDepth = 0;
    tree.mDegenerateNum = 0;
    tree.mTriNum = static_cast<int32_t>(list.size());
    std::vector<Triangle> work;
    for (const Triangle& tri : list) {
        if (IsDegenerate(tri)) ++tree.mDegenerateNum;
        else work.push_back(tri);
    }
    Builder builder{tree, BSPTree::sSplitWeight, BSPTree::sBalanceWeight};
    tree.mpRoot = builder.BuildNode(0, std::move(work));
    return builder.classified;
}

}  // namespace orvref
