// orvane-bsp sweep and dot: one CSV row per grid point with figures that
// agree with stats, the plot, and the tree as Graphviz text.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <cstdlib>
#include <sstream>

#include "Png.h"
#include "Tool.h"
#include "ToolRun.h"

using orvtest::RunTool;
using orvtest::ToolData;

namespace {

const std::string kHand = ToolData("hand.txt");
const std::string kDemo = std::string(ORV_SOURCE_DIR) + "/data/mesh/test_1.txt";

std::vector<std::vector<std::string>> parseCsv(const std::string& text) {
    std::vector<std::vector<std::string>> rows;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        std::vector<std::string> cells;
        std::istringstream cellsIn(line);
        std::string cell;
        while (std::getline(cellsIn, cell, ',')) cells.push_back(cell);
        rows.push_back(cells);
    }
    return rows;
}

TEST(ToolSweep, RangesListEveryGridValue) {
    std::vector<float> v;
    ASSERT_TRUE(orvbsp::ParseRange("0:1:0.25", &v));
    EXPECT_EQ(v, (std::vector<float>{0.0f, 0.25f, 0.5f, 0.75f, 1.0f}));
    // 0.1 steps do not add up to 0.3 exactly; the end still counts.
    ASSERT_TRUE(orvbsp::ParseRange("0.1:0.3:0.1", &v));
    ASSERT_EQ(v.size(), 3u);
    EXPECT_FLOAT_EQ(v[2], 0.3f);
    ASSERT_TRUE(orvbsp::ParseRange("2:2:1", &v));
    EXPECT_EQ(v, std::vector<float>{2.0f});
    ASSERT_TRUE(orvbsp::ParseRange("-1:0:0.6", &v));
    EXPECT_EQ(v.size(), 2u);
    for (const char* pBad : {"1:0:0.5", "0:1:0", "0:1:-1", "0:1", "0:1:x", "a:1:1", "0:1:1:1", "",
                             "0:inf:1", "nan:1:1", "0:1e9:0.001", " 0:1:1"})
        EXPECT_FALSE(orvbsp::ParseRange(pBad, &v)) << pBad;
}

TEST(ToolSweep, OneRowPerGridPointAgreeingWithStats) {
    orvtest::TempDir dir;
    const std::string csv = dir.Path("sweep.csv");
    auto r =
        RunTool({"sweep", kDemo, "--split", "0.5:1.5:0.5", "--balance", "0:2:1", "--csv", csv});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "");
    auto rows = parseCsv(orvtest::ReadText(csv));
    ASSERT_EQ(rows.size(), 1u + 3u * 3u);
    EXPECT_EQ(rows[0][0], "split_weight");
    EXPECT_EQ(rows[0][4], "stored");
    EXPECT_EQ(rows[0][9], "max_leaf_depth");
    const float splits[] = {0.5f, 1.0f, 1.5f}, balances[] = {0.0f, 1.0f, 2.0f};
    for (size_t i = 1; i < rows.size(); ++i) {
        const auto& row = rows[i];
        ASSERT_EQ(row.size(), rows[0].size()) << i;
        EXPECT_FLOAT_EQ(std::strtof(row[0].c_str(), nullptr), splits[(i - 1) / 3]) << i;
        EXPECT_FLOAT_EQ(std::strtof(row[1].c_str(), nullptr), balances[(i - 1) % 3]) << i;
        const long in = std::atol(row[2].c_str()), stored = std::atol(row[4].c_str());
        const long cut = std::atol(row[5].c_str()), pieces = std::atol(row[6].c_str());
        EXPECT_EQ(in, 836);
        EXPECT_EQ(stored, in - cut + pieces) << i;
        EXPECT_LT(std::atol(row[8].c_str()), std::atol(row[7].c_str())) << i;   // leaves < nodes
        EXPECT_LE(std::atof(row[10].c_str()), std::atof(row[9].c_str())) << i;  // mean <= max
        // The same point measured by stats gives the same tree.
        auto s = RunTool(
            {"stats", kDemo, "--json", "--split-weight", row[0], "--balance-weight", row[1]});
        ASSERT_EQ(s.exitCode, 0) << s.err;
        nlohmann::json j = nlohmann::json::parse(s.out);
        EXPECT_EQ(j["stored"].get<long>(), stored) << i;
        EXPECT_EQ(j["cut"].get<long>(), cut) << i;
        EXPECT_EQ(j["nodes"].get<long>(), std::atol(row[7].c_str())) << i;
        EXPECT_EQ(j["max_leaf_depth"].get<long>(), std::atol(row[9].c_str())) << i;
    }
    // A lower split weight makes cutting cheaper: at balance 1 the tree
    // with split weight 0.5 holds more pieces than the one with 1.5.
    EXPECT_GT(std::atol(rows[2][4].c_str()), std::atol(rows[8][4].c_str()));
}

TEST(ToolSweep, CsvGoesToStandardOutputAndThePlotIsAPicture) {
    orvtest::TempDir dir;
    const std::string png = dir.Path("sweep.png");
    auto r =
        RunTool({"sweep", kHand, "--split", "0:2:0.5", "--balance", "0.5:1.5:0.5", "--plot", png});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    auto rows = parseCsv(r.out);
    EXPECT_EQ(rows.size(), 1u + 5u * 3u);
    std::vector<uint8_t> px;
    int w = 0, h = 0;
    std::string error;
    ASSERT_TRUE(orvbsp::ReadPng(png, &px, &w, &h, &error)) << error;
    EXPECT_EQ(w, 1200);
    EXPECT_EQ(h, 520);
    // Only one weight varying gives curves instead of maps.
    auto line =
        RunTool({"sweep", kHand, "--split", "0:2:0.5", "--balance", "1:1:1", "--plot", png});
    EXPECT_EQ(line.exitCode, 0) << line.err;
    EXPECT_TRUE(orvbsp::ReadPng(png, &px, &w, &h, &error)) << error;
}

// On a terminal (here a pseudo-terminal from script(1)) a bar counts the
// grid points; in a pipe, as in every other test here, nothing of it shows.
TEST(ToolSweep, ProgressBarOnATerminalOnly) {
    orvtest::TempDir dir;
    const std::string csv = dir.Path("s.csv");
    const std::string cmd = std::string("script -qec '") + ORVANE_BSP + " sweep " + kHand +
                            " --split 0:1:0.5 --balance 1:2:1 --csv " + csv + "' /dev/null";
    FILE* pPipe = popen(cmd.c_str(), "r");
    ASSERT_NE(pPipe, nullptr);
    std::string text;
    char buf[512];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, pPipe)) > 0) text.append(buf, n);
    EXPECT_EQ(pclose(pPipe), 0) << text;
    EXPECT_NE(text.find("\r[" + std::string(40, '.') + "] 0/6"), std::string::npos) << text;
    EXPECT_NE(text.find("\r[" + std::string(40, '#') + "] 6/6"), std::string::npos) << text;
    auto piped =
        RunTool({"sweep", kHand, "--split", "0:1:0.5", "--balance", "1:2:1", "--csv", csv});
    EXPECT_EQ(piped.err, "");
    EXPECT_EQ(parseCsv(orvtest::ReadText(csv)).size(), 7u);
}

TEST(ToolSweep, BadRangesAndFilesAreRefused) {
    auto range = RunTool({"sweep", kHand, "--split", "2:1:0.5", "--balance", "1:1:1"});
    EXPECT_EQ(range.exitCode, 1);
    EXPECT_NE(range.err.find("--split: expected A:B:STEP with A <= B, STEP > 0"), std::string::npos)
        << range.err;
    auto missing = RunTool({"sweep", kHand, "--split", "1:1:1"});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_NE(missing.err.find("--balance is required"), std::string::npos) << missing.err;
    auto file = RunTool({"sweep", "/no/mesh.txt", "--split", "1:1:1", "--balance", "1:1:1"});
    EXPECT_EQ(file.exitCode, 1);
    EXPECT_EQ(file.err, "orvane-bsp: error: /no/mesh.txt: No such file or directory\n");
    auto out = RunTool(
        {"sweep", kHand, "--split", "1:1:1", "--balance", "1:1:1", "--csv", "/no/dir/x.csv"});
    EXPECT_EQ(out.exitCode, 1);
    EXPECT_EQ(out.err,
              "orvane-bsp: error: /no/dir/x.csv: cannot be written: its folder does not exist\n");
}

// Weights that are no finite float are refused alike by every command that
// takes weights, ranges whose values leave float range included.
TEST(ToolSweep, WeightsBeyondFloatRangeAreRefusedAsStatsRefusesThem) {
    const std::vector<std::vector<std::string>> runs = {
        {"stats", kHand, "--split-weight", "1e39"},
        {"stats", kHand, "--balance-weight", "-1e400"},
        {"stats", kHand, "--balance-weight", "nan"},
        {"sweep", kHand, "--split", "1e39:1e39:1", "--balance", "1:1:1"},
        {"sweep", kHand, "--split", "1:1:1", "--balance", "3e38:4e38:1e38"},
    };
    for (const std::vector<std::string>& args : runs) {
        auto r = RunTool(args);
        EXPECT_EQ(r.exitCode, 1) << args[2] << " " << args[3];
        EXPECT_EQ(r.out, "") << args[2] << " " << args[3];
        EXPECT_EQ(r.err, "orvane-bsp: error: the weights must be finite numbers\n") << args[3];
    }
}

// The hand-worked tree of test_tool_stats.cpp: t1 at the root, t0 behind it,
// t2's front piece and two back pieces below t0.
TEST(ToolDot, HandTreeAsGraphviz) {
    orvtest::TempDir dir;
    const std::string dot = dir.Path("tree.dot");
    auto r = RunTool({"dot", kHand, dot});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(orvtest::ReadText(dot),
              "digraph bsp {\n"
              "    node [shape=box, fontname=\"monospace\"];\n"
              "    n0 [label=\"plane: 0 0 1 -1\\ntriangles: 1\\ndepth: 0\"];\n"
              "    n0 -> n1 [label=\"back\"];\n"
              "    n1 [label=\"plane: 0 0 1 0\\ntriangles: 1\\ndepth: 1\"];\n"
              "    n1 -> n2 [label=\"front\"];\n"
              "    n1 -> n3 [label=\"back\"];\n"
              "    n2 [label=\"plane: 1 0 0 -0\\ntriangles: 1\\ndepth: 2\"];\n"
              "    n3 [label=\"plane: 1 0 0 0\\ntriangles: 2\\ndepth: 2\"];\n"
              "}\n");
}

TEST(ToolDot, DemoTreeHasStatsNodesAndOneEdgePerChild) {
    orvtest::TempDir dir;
    const std::string dot = dir.Path("tree.dot");
    auto r = RunTool({"dot", kDemo, dot});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    auto s = RunTool({"stats", kDemo, "--json"});
    nlohmann::json j = nlohmann::json::parse(s.out);
    std::istringstream in(orvtest::ReadText(dot));
    std::string line;
    long nodes = 0, edges = 0, triangles = 0;
    while (std::getline(in, line)) {
        if (line.find(" -> ") != std::string::npos) ++edges;
        else if (line.find("[label=\"plane: ") != std::string::npos) {
            ++nodes;
            triangles += std::atol(line.c_str() + line.find("triangles: ") + 11);
        }
    }
    EXPECT_EQ(nodes, j["nodes"].get<long>());
    EXPECT_EQ(edges, nodes - 1);  // a tree
    EXPECT_EQ(triangles, j["stored"].get<long>());
    auto bad = RunTool({"dot", kDemo, dir.Path("missing/tree.dot")});
    EXPECT_EQ(bad.exitCode, 1);
}

}  // namespace
