// BSPRules.h - the rules that decide the tree's shape, each stated once: the
// splitter's score, the cut of a triangle by a plane with its tolerances,
// which pieces of a cut a build keeps, and how far cutting may grow a build.
//
// The build (BSPBuild) applies them node by node; the fast search (BSPSearch)
// must choose exactly the splitter that PlainSplitterIndex chooses.
#ifndef BSP_RULES_H
#define BSP_RULES_H

#include "Triangle.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

// ---------------------------------------------------------------------------
// The splitter
// ---------------------------------------------------------------------------

// The weights the demo starts with; its keys 3 and 4 raise them.
constexpr float START_SPLIT_WEIGHT = 1.1f;
constexpr float START_BALANCE_WEIGHT = 1.0f;

// The score of a candidate plane that leaves front and back triangles on its
// sides and cuts cut of them, in single precision; the lowest wins. Cuts add
// triangles, an uneven split leaves one side deep: the weights trade the two.
inline float SplitterScore(int32_t front, int32_t back, int32_t cut, float splitWeight,
                           float balanceWeight) {
    return static_cast<float>(std::max(front, back)) * balanceWeight +
           static_cast<float>(cut) * splitWeight;
}

// The score a candidate of a list of n must beat, strictly: nothing wins on
// an equal score, and of equal winners the earliest in the list stays.
inline float StartScore(size_t n, float splitWeight, float balanceWeight) {
    return static_cast<float>(n) * balanceWeight + static_cast<float>(n) * splitWeight;
}

// The plane a candidate is scored with: its raw plane, normalised. (The
// chosen splitter's own plane is then made by Plane::Set; the two agree up
// to rounding, and the tree's bits depend on using each where it is used.)
inline Plane CandidatePlane(const Triangle& tri) {
    Plane plane(tri.mPos[0], tri.mPos[1], tri.mPos[2]);
    plane.Normalize();
    return plane;
}

// The candidates of a list of n: every triangle when bound is 0 or at least
// n; else bound of them spread evenly over the list, the k-th at position
// k n / bound (so always the first), as level editors' node builders pick a
// few. The same list always gives the same candidates.
inline size_t CandidateNum(size_t n, size_t bound) { return bound == 0 || bound >= n ? n : bound; }
inline size_t CandidateAt(size_t k, size_t n, size_t bound) {
    return bound == 0 || bound >= n ? k : static_cast<size_t>(static_cast<uint64_t>(k) * n / bound);
}

// The splitter rule as written: every candidate of list (two or more; the
// bounded few when bound is not 0) counted against every other triangle
// with ClassifyTriangle, scored, and the lowest below StartScore chosen, the
// earliest on equal scores (index 0 when none beats it). Adds the
// classifications made to *pScored.
size_t PlainSplitterIndex(const std::vector<Triangle>& list, float splitWeight, float balanceWeight,
                          uint64_t* pScored, size_t bound = 0);

// ---------------------------------------------------------------------------
// The cut
// ---------------------------------------------------------------------------

// Corner-side tolerance of the cut, tighter than the classification band: a
// corner within it is on the plane and shared by both sides without being
// duplicated. A triangle that reaches the cut spans the band, so at least one
// corner is off the plane by this measure.
constexpr double CUT_SIDE_EPSILON = 0.001;
// Edge-parameter tolerance of the cut: a cut point within it of an edge's
// end (in the edge's parameter t) is that end and is not added beside it. A
// point farther than this outside its edge (an edge that leaves an on-plane
// corner towards its own side meets the plane there) would stretch the
// pieces past the triangle: it is clamped to the edge's end.
constexpr double CUT_PARAM_EPSILON = 0.001;

// Where a corner lies for cutting.
enum class CornerSide { On, Front, Behind };

// The points one side of a cut gets, in the triangle's cyclic order (so its
// pieces keep the winding): at most two per edge.
struct CutSide {
    ORV::Vec3 mPoint[6];
    int mNum = 0;
    void Append(const ORV::Vec3& p) { mPoint[mNum++] = p; }
};

struct Cut {
    CutSide mFront;
    CutSide mBack;
};

// Cuts tri by plane without halting: each side gets three or four points
// when tri spans the plane, fewer when the tolerances fold a sliver's cut
// points onto its corners, and more only for inputs the build never cuts.
Cut CutTriangle(const Triangle& tri, const Plane& plane);

// The two pieces of a side of three or four points, fanned from its first
// point; a three-point side's second piece has every corner at the origin.
// Corner k of each piece gets tri's colour k, whatever point it is.
void FillPieces(const CutSide& side, const Triangle& tri, Triangle* pPieces);

// ---------------------------------------------------------------------------
// Which pieces a build keeps
// ---------------------------------------------------------------------------

// Cuts tri (spanning plane) and appends the pieces a build keeps: front
// pieces to frontList, back pieces to backList, each side's first piece then
// its second. Left out: the empty second piece of a three-point side; a piece
// without a plane, and a side with fewer than three points (a sliver with no
// area there), each counted in *pDropped. Returns false, adding nothing, when
// a side has more than four points, where BSPTree::SplitTriangle halts.
bool KeepPieces(const Triangle& tri, const Plane& plane, std::vector<Triangle>& frontList,
                std::vector<Triangle>& backList, uint32_t* pDropped);

// ---------------------------------------------------------------------------
// Growth
// ---------------------------------------------------------------------------

// Triangles (whole or cut) a build may hold: MAX_BUILD_GROWTH per triangle it
// was given plus BUILD_GROWTH_SLACK (a few triangles can cut each other into
// many pieces), and never more than MAX_BUILD_TRI_NUM. Cutting can multiply a
// hostile soup quadratically or worse. The cap lets a 4M-triangle mesh grow
// eightfold; 32M records of 88 bytes are 2.8 GB, and a build's peak heap
// stays within about four times what it holds (bench_bsp's peak/stored),
// some 11 GB: a runaway build is refused before a 24 GiB machine runs out.
// The search counts a list in int32_t: 8 x 32M = 2^28 < 2^31 (Groups in
// BSPGroups.h asserts it for this limit and the mesh reader's).
constexpr uint32_t MAX_BUILD_GROWTH = 256;
constexpr uint32_t BUILD_GROWTH_SLACK = 4096;
constexpr uint32_t MAX_BUILD_TRI_NUM = 32u << 20;

// The most triangles a build of given triangles may hold, and at most cap
// when cap is not 0.
size_t GrowthLimit(size_t given, size_t cap = 0);

#endif  // BSP_RULES_H
