// BSPRules.cpp - the splitter rule as written, the cut of a triangle and the
// pieces a build keeps of it.
#include "BSPRules.h"

#include "BSPTree.h"

#include <cmath>

size_t PlainSplitterIndex(const std::vector<Triangle>& list, float splitWeight, float balanceWeight,
                          uint64_t* pScored, size_t bound) {
    const size_t n = list.size();
    float best = StartScore(n, splitWeight, balanceWeight);
    size_t bestIndex = 0;
    const size_t m = CandidateNum(n, bound);
    for (size_t k = 0; k < m; ++k) {
        const size_t i = CandidateAt(k, n, bound);
        const Plane plane = CandidatePlane(list[i]);
        int32_t side[5] = {0, 0, 0, 0, 0};  // by classification
        for (size_t j = 0; j < n; ++j)
            if (j != i) ++side[ClassifyTriangle(plane, list[j])];
        const float score = SplitterScore(side[TRI_FRONT], side[TRI_BACK], side[TRI_SPANNING],
                                          splitWeight, balanceWeight);
        if (score < best) {
            best = score;
            bestIndex = i;
        }
    }
    *pScored += n > 0 ? static_cast<uint64_t>(m) * (n - 1) : 0;
    return bestIndex;
}

namespace {

CornerSide cornerSide(double distance) {
    if (distance > CUT_SIDE_EPSILON) return CornerSide::Front;
    if (distance < -CUT_SIDE_EPSILON) return CornerSide::Behind;
    return CornerSide::On;
}

bool nearZero(double t) { return -CUT_PARAM_EPSILON < t && t < CUT_PARAM_EPSILON; }

}  // namespace

Cut CutTriangle(const Triangle& tri, const Plane& plane) {
    // Classify every corner before cutting anything.
    float distance[3];
    CornerSide side[3];
    for (int k = 0; k < 3; ++k) {
        distance[k] = plane.Distance(tri.mPos[k]);
        side[k] = cornerSide(distance[k]);
    }

    // The walk starts at the first corner off the plane, on that corner's
    // side. (A triangle lying in the plane, which the build never cuts, goes
    // wholly behind; SplitTriangle then halts on its empty front.)
    int r = 0;
    while (r < 2 && side[r] == CornerSide::On) ++r;
    CornerSide current = (side[r] == CornerSide::Front) ? CornerSide::Front : CornerSide::Behind;
    Cut cut;
    auto points = [&cut](CornerSide s) -> CutSide& {
        return (s == CornerSide::Front) ? cut.mFront : cut.mBack;
    };

    // Each edge a -> b: b joins the current side when it lies on the plane or
    // on that side; otherwise the edge crosses (or leaves the plane) towards
    // the other side, and the cut point goes to both, then b to the other.
    for (int j = 0; j < 3; ++j) {
        const int a = (r + j) % 3;
        const int b = (r + j + 1) % 3;
        if (side[b] == CornerSide::On || side[b] == current) {
            points(current).Append(tri.mPos[b]);
            continue;
        }
        ORV::Vec3 x;
        float t;
        IntersectSegment(tri.mPos[a], tri.mPos[b], plane, &x, &t);
        if (!std::isfinite(t)) {
            // An edge so long that its component along the normal rounds to
            // nothing gives no parameter (0 / 0); it meets the plane at its
            // end nearer the plane, which is the end lying on it.
            const bool atA = std::fabs(distance[a]) <= std::fabs(distance[b]);
            t = atA ? 0.0f : 1.0f;
            x = atA ? tri.mPos[a] : tri.mPos[b];
        } else if (static_cast<double>(t) <= -CUT_PARAM_EPSILON) {
            t = 0.0f;
            x = tri.mPos[a];
        } else if (static_cast<double>(t) >= 1.0 + CUT_PARAM_EPSILON) {
            t = 1.0f;
            x = tri.mPos[b];
        }
        // At an end of the edge the cut point is that end: a is already on
        // the current side, b is about to join the other.
        if (!nearZero(t)) points(current).Append(x);
        current = (current == CornerSide::Front) ? CornerSide::Behind : CornerSide::Front;
        if (!nearZero(static_cast<double>(t) - 1.0)) points(current).Append(x);
        points(current).Append(tri.mPos[b]);
    }
    return cut;
}

void FillPieces(const CutSide& side, const Triangle& tri, Triangle* pPieces) {
    for (int piece = 0; piece < 2; ++piece) {
        pPieces[piece] = Triangle();
        for (int k = 0; k < 3; ++k) pPieces[piece].mClr[k] = tri.mClr[k];
    }
    pPieces[0].mPos[0] = side.mPoint[0];
    pPieces[0].mPos[1] = side.mPoint[1];
    pPieces[0].mPos[2] = side.mPoint[2];
    if (side.mNum == 4) {
        pPieces[1].mPos[0] = side.mPoint[0];
        pPieces[1].mPos[1] = side.mPoint[2];
        pPieces[1].mPos[2] = side.mPoint[3];
    }
}

void BSPTree::SplitTriangle(const Triangle& tri, const Plane& plane, Triangle* pBack,
                            Triangle* pFront) {
    const Cut cut = CutTriangle(tri, plane);
    if (cut.mFront.mNum < 3 || cut.mFront.mNum > 4) {
        ORV_HALT("Invalid front list size: %d", cut.mFront.mNum);
    }
    FillPieces(cut.mFront, tri, pFront);
    if (cut.mBack.mNum < 3 || cut.mBack.mNum > 4) {
        ORV_HALT("Invalid back list size: %d", cut.mBack.mNum);
    }
    FillPieces(cut.mBack, tri, pBack);
}

bool KeepPieces(const Triangle& tri, const Plane& plane, std::vector<Triangle>& frontList,
                std::vector<Triangle>& backList, uint32_t* pDropped) {
    const Cut cut = CutTriangle(tri, plane);
    if (cut.mFront.mNum > 4 || cut.mBack.mNum > 4) return false;
    const CutSide* pSide[2] = {&cut.mFront, &cut.mBack};
    std::vector<Triangle>* pList[2] = {&frontList, &backList};
    for (int s = 0; s < 2; ++s) {
        if (pSide[s]->mNum < 3) {
            ++*pDropped;
            continue;
        }
        Triangle pieces[2];
        FillPieces(*pSide[s], tri, pieces);
        for (int piece = 0; piece < 2; ++piece) {
            const Triangle& p = pieces[piece];
            if (piece == 1 && p.mPos[0].IsEqual(p.mPos[1]) && p.mPos[1].IsEqual(p.mPos[2]))
                continue;
            if (IsDegenerate(p)) ++*pDropped;
            else pList[s]->push_back(p);
        }
    }
    return true;
}

size_t GrowthLimit(size_t given, size_t cap) {
    uint64_t limit = static_cast<uint64_t>(given) * MAX_BUILD_GROWTH + BUILD_GROWTH_SLACK;
    limit = std::min<uint64_t>(limit, MAX_BUILD_TRI_NUM);
    return static_cast<size_t>(cap != 0 ? std::min<uint64_t>(limit, cap) : limit);
}
