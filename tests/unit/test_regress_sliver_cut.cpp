// Found by fuzzing: a sliver, a triangle spanning a splitter by the 0.01 band
// whose cut points the 0.001 tolerances fold onto its corners, leaves one side
// of the cut with fewer than three points. SplitTriangle by itself halts on
// that, as its rule says; the tree's build used to halt the whole program on
// such a triangle in a user's mesh, and now drops the side with no area and
// counts it among the pieces without a plane.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "../fuzz/SoupReader.h"
#include "BSPTree.h"
#include "ChildProcess.h"
#include "MeshFiles.h"
#include "SourceLine.h"
#include "TreeSettings.h"

using ORV::Vec3;
using orvtest::RunInChild;

namespace {

std::vector<uint8_t> readRegress(const std::string& name) {
    std::ifstream in(std::string(ORV_TEST_DATA_DIR) + "/regress/" + name, std::ios::binary);
    EXPECT_TRUE(in.good()) << name;
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in),
                                std::istreambuf_iterator<char>());
}

std::string haltText(const char* pNeedle, const std::string& mesg) {
    return "ORV_HALT:\nLine: " +
           std::to_string(orvtest::LineOf("src/GameStates/BSPRules.cpp", pNeedle)) +
           "\nFunc: BSPTree::SplitTriangle\nFile: src/GameStates/BSPRules.cpp\nMesg: " + mesg +
           "\n";
}

// Builds list under the given weights in a child process and prints what the
// tree kept: pieces walked, pieces left out, and whether every kept piece has
// a plane. A halt shows as its report and exit status 1.
orvtest::ChildResult buildInChild(const std::vector<Triangle>& list, float splitWeight,
                                  float balanceWeight) {
    return RunInChild([&] {
        BSPTree tree;
        tree.Build(list, orvtest::WithWeights(splitWeight, balanceWeight));
        int walked = 0, flat = 0;
        tree.Walk(Vec3(0.0f, 0.0f, 50.0f), [&](const Triangle& t) {
            ++walked;
            if (IsDegenerate(t)) ++flat;
        });
        printf("walked %d, left out %u, without a plane %d\n", walked, tree.DegenerateNum(), flat);
    });
}

// The two triangles of a cut-mode fuzz input: the one cut, then the one whose
// plane cuts it.
std::vector<Triangle> cutInput(const std::string& name) {
    std::vector<uint8_t> bytes = readRegress(name);
    orvfuzz::Reader r(bytes.data(), bytes.size());
    EXPECT_EQ(r.Byte() & 1, 1) << name << " is not a cut input";
    std::vector<Triangle> two;
    two.push_back(orvfuzz::ReadTriangle(r, two));
    two.push_back(orvfuzz::ReadTriangle(r, two));
    return two;
}

// The ground plane's triangle, facing +z, large enough to be cut by nothing.
const Triangle kGround(Vec3(-10, -10, 0), Vec3(10, -10, 0), Vec3(0, 10, 0));

}  // namespace

TEST(RegressSliverCut, AHandMadeSliverIsDroppedOnItsCutAwaySideAndKeptOnTheOther) {
    // Corner 0 is 0.02 in front, corner 2 0.0011 in front, corner 1 far
    // behind: both cut points lie within 0.001 of a corner in edge parameter,
    // so the front side has two points and the back side three.
    const Triangle sliver(Vec3(0, 0, 0.02f), Vec3(1, 0, -100), Vec3(0, 1, 0.0011f));
    Plane ground;
    ground.Set(kGround.mPos[0], kGround.mPos[1], kGround.mPos[2]);
    ASSERT_EQ(ClassifyTriangle(ground, sliver), TRI_SPANNING);

    auto halt = RunInChild([&] {
        Triangle back[2], front[2];
        BSPTree::SplitTriangle(sliver, ground, back, front);
    });
    EXPECT_EQ(halt.exitCode, 1);
    EXPECT_EQ(halt.out, haltText("Invalid front list size", "Invalid front list size: 2"));

    // Both candidates cut the other once; on the tie the ground, listed
    // first, is the splitter. It stays whole; of the sliver only its back
    // piece remains.
    auto r = buildInChild({kGround, sliver}, 1.1f, 1.0f);
    EXPECT_EQ(r.exitCode, 0) << r.out;
    EXPECT_EQ(r.out, "walked 2, left out 1, without a plane 0\n");

    // The mirrored sliver loses its back side instead.
    const Triangle mirrored(Vec3(0, 0, -0.02f), Vec3(1, 0, 100), Vec3(0, 1, -0.0011f));
    r = buildInChild({kGround, mirrored}, 1.1f, 1.0f);
    EXPECT_EQ(r.exitCode, 0) << r.out;
    EXPECT_EQ(r.out, "walked 2, left out 1, without a plane 0\n");
}

TEST(RegressSliverCut, FuzzFindingsCutByThemselvesHaltAndBuildWithoutHalting) {
    struct Case {
        const char* pFile;
        const char* pHalt;
    };
    // An edge reaching the end of the float range, whose tiny parameter is a
    // long way in space; and a cut point near a corner that is off the plane.
    const Case cases[] = {
        {"bsp_cut_edge_of_float_range.bin", "Invalid back list size: 2"},
        {"bsp_cut_point_near_an_off_plane_corner.bin", "Invalid back list size: 1"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pFile);
        std::vector<Triangle> two = cutInput(c.pFile);
        Plane plane;
        plane.Set(two[1].mPos[0], two[1].mPos[1], two[1].mPos[2]);
        ASSERT_EQ(ClassifyTriangle(plane, two[0]), TRI_SPANNING);

        auto halt = RunInChild([&] {
            Triangle back[2], front[2];
            BSPTree::SplitTriangle(two[0], plane, back, front);
        });
        EXPECT_EQ(halt.exitCode, 1);
        EXPECT_EQ(halt.out, haltText("Invalid back list size", c.pHalt));

        // The cutting triangle first and cuts weighted below balance, so it
        // is the splitter whatever the cut one's plane does to it.
        auto r = buildInChild({two[1], two[0]}, 0.5f, 1.0f);
        EXPECT_EQ(r.exitCode, 0) << r.out;
        EXPECT_EQ(r.out.rfind("walked ", 0), 0u) << r.out;
        EXPECT_NE(r.out.find(", left out 1, without a plane 0\n"), std::string::npos) << r.out;
    }
}

TEST(RegressSliverCut, TheFuzzedDemoMeshLoadsAndBuildsAsTheDemoDoes) {
    // The demo's mesh with bytes changed by the fuzzer; its tree used to end
    // in "Invalid front list size: 2".
    const std::string path =
        std::string(ORV_TEST_DATA_DIR) + "/regress/mesh_cut_point_near_an_off_plane_corner.txt";
    const std::vector<Triangle> list = orvtest::LoadMeshTriangles(path);
    ASSERT_FALSE(list.empty()) << path;
    auto r = RunInChild([&] {
        BSPTree tree;
        tree.Build(list);
        size_t walked = 0;
        tree.Walk(Vec3(0.0f, 0.0f, 10.0f), [&](const Triangle&) { ++walked; });
        printf("%zu triangles, %s\n", list.size(),
               walked + tree.DegenerateNum() >= list.size() ? "all kept or counted" : "LOST");
    });
    EXPECT_EQ(r.exitCode, 0) << r.out;
    EXPECT_NE(r.out.find(" triangles, all kept or counted\n"), std::string::npos) << r.out;
}
