// Found by fuzzing: a triangle and its flipped copy with corners near 2^24,
// where floats are 1 or 2 apart, far coarser than the cutting tolerances, so
// cuts leave pieces that still span their splitters and the build cut them
// without end until memory ran out. The build is now refused with a report once it would
// hold more than its stated multiple of the input.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "../fuzz/SoupReader.h"
#include "BSPBuild.h"
#include "BSPTree.h"
#include "ChildProcess.h"
#include "ORV.h"

namespace {

int lineOf(const std::string& source, const std::string& needle) {
    std::ifstream in(std::string(ORV_SOURCE_DIR) + "/" + source);
    std::string line;
    for (int n = 1; std::getline(in, line); ++n)
        if (line.find(needle) != std::string::npos) return n;
    ADD_FAILURE() << "'" << needle << "' not found in " << source;
    return -1;
}

}  // namespace

TEST(RegressGrowthAtLargeCoordinates, TheBuildIsRefusedWithItsLimitInsteadOfExhaustingMemory) {
    std::ifstream in(std::string(ORV_TEST_DATA_DIR) + "/regress/bsp_growth_at_large_coordinates.bin",
                     std::ios::binary);
    ASSERT_TRUE(in.good());
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                     std::istreambuf_iterator<char>());
    // A build-mode input: the weights' byte, then triangles to the end.
    orvfuzz::Reader r(bytes.data(), bytes.size());
    ASSERT_EQ(r.Byte() & 1, 0);
    const uint8_t weights = r.Byte();
    std::vector<Triangle> list;
    while (!r.Empty() && list.size() < orvfuzz::kTriMax) list.push_back(orvfuzz::ReadTriangle(r, list));
    ASSERT_EQ(list.size(), 5u);
    size_t given = 0;  // one of the five has no plane and is left out first
    for (const Triangle& t : list) given += IsDegenerate(t) ? 0 : 1;
    ASSERT_EQ(given, 4u);

    auto result = orvtest::RunInChild([&] {
        BSPTree::sSplitWeight = 1.1f + 0.1f * (weights & 15);
        BSPTree::sBalanceWeight = 1.0f + static_cast<float>(weights >> 4);
        BSPTree tree;
        tree.Build(list);
        printf("built: %u deep\n", tree.Depth());
    });
    const size_t limit = given * ORV::MAX_BUILD_GROWTH + ORV::BUILD_GROWTH_SLACK;
    const std::string source = "src/GameStates/BSPTree.cpp";
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.out, "ORV_ASSERT_MESG: held <= heldMax\nLine: " +
                              std::to_string(lineOf(source, "ORV_ASSERT_MESG(held <= heldMax")) +
                              "\nFunc: BSPTree::BuildNode\nFile: " + source +
                              "\nMesg: Cutting would grow the tree past " + std::to_string(limit) +
                              " triangles (4 given)!!\n");
}

// A refused build that was long enough to show its progress line blanks that
// line first, so the report starts at the beginning of a clean line.
TEST(RegressGrowthAtLargeCoordinates, TheReportStartsOnACleanLineAfterTheProgressLine) {
    std::ifstream in(std::string(ORV_TEST_DATA_DIR) + "/regress/bsp_growth_at_large_coordinates.bin",
                     std::ios::binary);
    ASSERT_TRUE(in.good());
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                     std::istreambuf_iterator<char>());
    orvfuzz::Reader r(bytes.data(), bytes.size());
    r.Byte();
    const uint8_t weights = r.Byte();
    std::vector<Triangle> list;
    while (!r.Empty() && list.size() < orvfuzz::kTriMax) list.push_back(orvfuzz::ReadTriangle(r, list));

    auto result = orvtest::RunInChild([&] {
        bspbuild::SetProgressDelay(0.0);
        BSPTree::sSplitWeight = 1.1f + 0.1f * (weights & 15);
        BSPTree::sBalanceWeight = 1.0f + static_cast<float>(weights >> 4);
        BSPTree tree;
        tree.Build(list);
    });
    EXPECT_EQ(result.exitCode, 1);
    const size_t report = result.out.find("ORV_ASSERT_MESG: held <= heldMax\n");
    ASSERT_NE(report, std::string::npos) << result.out;
    ASSERT_NE(result.out.find("Building the BSP tree: "), std::string::npos) << result.out;
    const std::string blank = "\r" + std::string(78, ' ') + "\r";
    ASSERT_GE(report, blank.size());
    EXPECT_EQ(result.out.substr(report - blank.size(), blank.size()), blank);
}
