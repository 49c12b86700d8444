// Fuzz target: the BSP tree's construction, cutting and traversal on
// arbitrary triangle soups.
//
// The bytes describe the score weights and a list of triangles whose
// coordinates come from a grid, from a table of awkward values (the
// tolerances and their neighbours, tiny, huge, infinite and NaN) or from raw
// float bits, and which may repeat, rotate, flip or nudge earlier triangles
// (coincident and nearly coplanar ones). A second mode cuts one triangle by
// the plane of another, as the construction does.
//
// Checked: the walk hands over every stored triangle once from any eye; lists
// are never empty and node types and depth agree with the nodes; no stored
// triangle lacks a plane; every piece lies within the bounds of the input; the
// same list and weights build the same tree again.
//
// Soups that cut themselves up (every triangle crossing every other, or
// coordinates so large that cuts do not settle) grow until the growth limit
// refuses them: 4096 pieces and more even for a few triangles, each node's
// splitter search run in full under the sanitizers, up to tens of seconds per
// input, which held the target to a few executions a second once its corpus
// held such soups. Here a build may hold at most kGrowthCap triangles, so they
// end in the same growth report after some milliseconds, while most soups of
// up to kTriMax triangles stay below it. Since trees stay that small, both
// sides of a node are built side by side from kForkMin triangles each (512 in
// the program), so that the threaded build is still fuzzed.
#include "BSPBuild.h"
#include "BSPTree.h"
#include "FuzzSupport.h"
#include "SoupReader.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <limits>
#include <vector>

namespace {

using orvfuzz::kTriMax;
using orvfuzz::Reader;

constexpr size_t kGrowthCap = 1024;
constexpr size_t kForkMin = 128;

bool finite(const ORV::Vec3& p) {
    return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z);
}

struct Box {
    double lo[3] = {HUGE_VAL, HUGE_VAL, HUGE_VAL};
    double hi[3] = {-HUGE_VAL, -HUGE_VAL, -HUGE_VAL};
    void Add(const ORV::Vec3& p) {
        const float c[3] = {p.x, p.y, p.z};
        for (int i = 0; i < 3; ++i) {
            lo[i] = std::min(lo[i], static_cast<double>(c[i]));
            hi[i] = std::max(hi[i], static_cast<double>(c[i]));
        }
    }
    // Inside, give or take the rounding of a cut point at this scale and the
    // cut's tolerance: a cut within 0.001 of an edge's end (in the edge's
    // parameter) may lie that far beyond it.
    bool Holds(const ORV::Vec3& p) const {
        const float c[3] = {p.x, p.y, p.z};
        double extent = 0.0;
        for (int i = 0; i < 3; ++i) extent = std::max(extent, hi[i] - lo[i]);
        for (int i = 0; i < 3; ++i) {
            double slack =
                1e-5 * std::max(std::fabs(lo[i]), std::fabs(hi[i])) + 1e-3 * extent + 1e-6;
            if (!(c[i] >= lo[i] - slack && c[i] <= hi[i] + slack)) return false;
        }
        return true;
    }
};

void checkTree(const BSPTree& tree, const std::vector<Triangle>& list) {
    FUZZ_CHECK(tree.TriNum() == static_cast<int32_t>(list.size()));
    Box box;
    size_t usable = 0;
    for (const Triangle& t : list) {
        if (IsDegenerate(t)) continue;
        ++usable;
        for (const ORV::Vec3& p : t.mPos) box.Add(p);
    }
    FUZZ_CHECK(tree.DegenerateNum() >= list.size() - usable);

    size_t stored = 0;
    uint32_t depth = 0;
    tree.VisitNodes([&](const BSPNode& node, uint32_t d) {
        FUZZ_CHECK(!node.mTriList.empty());
        bool children = node.mpFront != nullptr || node.mpBack != nullptr;
        FUZZ_CHECK(node.mType == (children ? BSPNode::TYPE_INTERIOR : BSPNode::TYPE_LEAF));
        for (const Triangle& t : node.mTriList) {
            FUZZ_CHECK(!IsDegenerate(t));
            for (const ORV::Vec3& p : t.mPos) FUZZ_CHECK(finite(p) && box.Holds(p));
        }
        stored += node.mTriList.size();
        depth = std::max(depth, d);
    });
    FUZZ_CHECK(tree.Depth() == depth);
    FUZZ_CHECK((stored == 0) == (usable == 0));
    // Cutting leaves at most three pieces of a triangle behind per cut; every
    // input triangle that has a plane is kept whole or in pieces.
    FUZZ_CHECK(stored + tree.DegenerateNum() >= list.size());

    const ORV::Vec3 eyes[] = {ORV::Vec3(0.0f, 0.0f, 10.0f), ORV::Vec3(0.0f),
                              ORV::Vec3(-3.0f, 7.0f, -1e6f),
                              list.empty() ? ORV::Vec3(1.0f) : list[0].mPos[0]};
    for (const ORV::Vec3& eye : eyes) {
        size_t walked = 0;
        tree.Walk(eye, [&](const Triangle&) { ++walked; });
        FUZZ_CHECK(walked == stored);
    }
}

void buildAndCheck(Reader& r) {
    BSPBuildSettings settings = orvfuzz::FuzzWeights(r.Byte());
    settings.growthCap = kGrowthCap;
    settings.forkMin = kForkMin;
    std::vector<Triangle> list;
    while (!r.Empty() && list.size() < kTriMax) list.push_back(orvfuzz::ReadTriangle(r, list));

    BSPTree tree;
    tree.Build(list, settings);
    checkTree(tree, list);
    BSPTree again;
    again.Build(list, settings);
    FUZZ_CHECK(again.IsIdentical(tree));
    // A rebuild of a built tree replaces it (the demo's keys 3 and 4).
    tree.Build(list, settings);
    FUZZ_CHECK(again.IsIdentical(tree));
    tree.Clear();
    FUZZ_CHECK(tree.Root() == nullptr);
}

// One cut, as the construction makes it: a triangle classified as spanning
// the unit plane of another.
void cutAndCheck(Reader& r) {
    std::vector<Triangle> two;
    two.push_back(orvfuzz::ReadTriangle(r, two));
    two.push_back(orvfuzz::ReadTriangle(r, two));
    const Triangle& tri = two[0];
    Plane plane;
    if (!Plane::FromTriangle(two[1], &plane)) return;
    if (ClassifyTriangle(plane, tri) != TRI_SPANNING) return;

    Triangle back[2], front[2];
    BSPTree::SplitTriangle(tri, plane, back, front);
    auto dump = [&] {
        fprintf(stderr, "plane %.9g %.9g %.9g %.9g\n", plane.mNormal.x, plane.mNormal.y,
                plane.mNormal.z, plane.mD);
        const Triangle* all[] = {&tri, &back[0], &back[1], &front[0], &front[1]};
        const char* names[] = {"cut", "back 0", "back 1", "front 0", "front 1"};
        for (int i = 0; i < 5; ++i) {
            fprintf(stderr, "%-7s", names[i]);
            for (const ORV::Vec3& p : all[i]->mPos)
                fprintf(stderr, "  (%.9g %.9g %.9g) d=%.9g", p.x, p.y, p.z, plane.Distance(p));
            fprintf(stderr, "\n");
        }
    };
    Box box;
    for (const ORV::Vec3& p : tri.mPos) box.Add(p);
    // Edges or distances at the end of the float range give infinite or NaN
    // cut points, which the construction drops as pieces without a plane.
    bool finiteEdges = finite(tri.mPos[1] - tri.mPos[0]) && finite(tri.mPos[2] - tri.mPos[1]) &&
                       finite(tri.mPos[0] - tri.mPos[2]);
    for (const ORV::Vec3& p : tri.mPos)
        finiteEdges = finiteEdges && std::isfinite(plane.Distance(p));
    for (const Triangle* pSide : {back, front}) {
        for (int piece = 0; piece < 2; ++piece) {
            const Triangle& p = pSide[piece];
            for (int k = 0; k < 3; ++k) {
                // Colours go by corner index, never interpolated.
                FUZZ_CHECK(memcmp(&p.mClr[k], &tri.mClr[k], sizeof(ORV::Color)) == 0);
                // The empty second piece sits at the origin, outside the box.
                bool empty =
                    piece == 1 && p.mPos[0].IsEqual(p.mPos[1]) && p.mPos[1].IsEqual(p.mPos[2]);
                if (finiteEdges && !empty && !box.Holds(p.mPos[k])) {
                    dump();
                    FUZZ_CHECK(box.Holds(p.mPos[k]));
                }
            }
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t size) {
    Reader r(pData, size);
    const uint8_t mode = r.Byte();
    std::string report;
    bool finished = orvfuzz::RunReporting(
        [&] {
            if (mode & 1) cutAndCheck(r);
            else buildAndCheck(r);
        },
        &report);
    // A build ends in no other report, a cut by itself only in the halt on
    // a sliver.
    const bool expected =
        (mode & 1) ? orvfuzz::IsSliverHalt(report) : orvfuzz::IsGrowthRefusal(report);
    if (!finished && !expected) {
        fprintf(stderr, "%s", report.c_str());
        FUZZ_CHECK(finished || expected);
    }
    return 0;
}
