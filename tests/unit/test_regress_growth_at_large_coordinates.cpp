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
#include "BSPProgress.h"
#include "BSPRules.h"
#include "BSPTree.h"
#include "ChildProcess.h"
#include "ORV.h"
#include "SourceLine.h"

namespace {

// The committed input, a build-mode fuzz input: a mode byte, the weights'
// byte, then triangles to the end.
struct GrowthInput {
    uint8_t mode = 0, weights = 0;
    std::vector<Triangle> list;
};

GrowthInput readGrowthInput() {
    GrowthInput input;
    std::ifstream in(
        std::string(ORV_TEST_DATA_DIR) + "/regress/bsp_growth_at_large_coordinates.bin",
        std::ios::binary);
    EXPECT_TRUE(in.good());
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                     std::istreambuf_iterator<char>());
    orvfuzz::Reader r(bytes.data(), bytes.size());
    input.mode = r.Byte();
    input.weights = r.Byte();
    while (!r.Empty() && input.list.size() < orvfuzz::kTriMax)
        input.list.push_back(orvfuzz::ReadTriangle(r, input.list));
    return input;
}

// Builds the list under the input's weights, as the fuzz target does; with
// progress, the demo's progress line shows from the start. Without it the
// output cannot depend on how long the build takes on a loaded machine.
void buildWithWeights(const GrowthInput& input, bool progress = false) {
    BSPProgressLine line(0.0);
    BSPBuildSettings settings = orvfuzz::FuzzWeights(input.weights);
    if (progress) settings.progress = line.Callback();
    BSPTree tree;
    tree.Build(input.list, settings);
    printf("built: %u deep\n", tree.Depth());
}

}  // namespace

TEST(RegressGrowthAtLargeCoordinates, TheBuildIsRefusedWithItsLimitInsteadOfExhaustingMemory) {
    const GrowthInput input = readGrowthInput();
    ASSERT_EQ(input.mode & 1, 0);
    ASSERT_EQ(input.list.size(), 5u);
    size_t given = 0;  // one of the five has no plane and is left out first
    for (const Triangle& t : input.list) given += IsDegenerate(t) ? 0 : 1;
    ASSERT_EQ(given, 4u);

    auto result = orvtest::RunInChild([&] { buildWithWeights(input); });
    const size_t limit = given * MAX_BUILD_GROWTH + BUILD_GROWTH_SLACK;
    const std::string source = "src/GameStates/BSPBuild.cpp";
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.out,
              "ORV_ASSERT_MESG: held <= heldMax\nLine: " +
                  std::to_string(orvtest::LineOf(source, "ORV_ASSERT_MESG(held <= heldMax")) +
                  "\nFunc: BSPTree::BuildNode\nFile: " + source +
                  "\nMesg: Cutting would grow the tree past " + std::to_string(limit) +
                  " triangles (4 given)!!\n");
}

// A refused build that was long enough to show its progress line blanks that
// line first, so the report starts at the beginning of a clean line.
TEST(RegressGrowthAtLargeCoordinates, TheReportStartsOnACleanLineAfterTheProgressLine) {
    const GrowthInput input = readGrowthInput();
    auto result = orvtest::RunInChild([&] { buildWithWeights(input, true); });
    EXPECT_EQ(result.exitCode, 1);
    const size_t report = result.out.find("ORV_ASSERT_MESG: held <= heldMax\n");
    ASSERT_NE(report, std::string::npos) << result.out;
    ASSERT_NE(result.out.find("Building the BSP tree: "), std::string::npos) << result.out;
    const std::string blank = "\r" + std::string(78, ' ') + "\r";
    ASSERT_GE(report, blank.size());
    EXPECT_EQ(result.out.substr(report - blank.size(), blank.size()), blank);
}
