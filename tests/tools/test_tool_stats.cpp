// orvane-bsp stats: the figures of a tree worked out by hand, as text and as
// JSON, and the refusals of missing and broken files.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <cstdio>
#include <fstream>
#include <iterator>

#include "BSPBuild.h"
#include "ChildProcess.h"
#include "TempDir.h"
#include "Tool.h"
#include "ToolRun.h"

using orvtest::RunTool;
using orvtest::ToolData;

namespace {

// tests/tools/data/hand.txt, seen from the side (x to the right is out of
// the picture; y runs into it):
//
//   z = 1   ----t1----        t1 and t0 face +z; t2 stands in the plane
//   z = 0  -----t0------      x = 0 from z = -1 up to z = 1, so t0's plane
//   z =-1      |t2|           cuts it; t3 (at z = 5) has collinear corners.
//
// Splitter scores with the demo's weights (split 1.1, balance 1.0):
//   t0: t1 in front, t2 cut      -> 1 * 1.0 + 1 * 1.1 = 2.1
//   t1: t0 and t2 behind         -> 2 * 1.0           = 2.0  (root)
//   t2: t0 and t1 cut            ->           2 * 1.1 = 2.2
// Behind t1: t0 (score 1.1, first of two equal) cuts t2 into one piece in
// front (depth 2) and two behind, which share a plane: one leaf (depth 2).
const std::string kHand = ToolData("hand.txt");

TEST(ToolStats, HandCheckedTreeAsText) {
    auto r = RunTool({"stats", kHand});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err, "");
    const std::string head = "mesh: " + kHand +
                             "\nsplit weight: 1.1\nbalance weight: 1\ntriangles in: 4\n"
                             "left out as degenerate: 1\nstored after cutting: 5\n"
                             "triangles cut: 1 (into 3 pieces)\nnodes: 4\nleaves: 2\n"
                             "max leaf depth: 2\nmean leaf depth: 2.00\n"
                             "root balance: 0 front, 4 back (0% front)\nbuild time: ";
    EXPECT_EQ(r.out.substr(0, head.size()), head);
    EXPECT_NE(r.out.find(" ms\npeak memory: "), std::string::npos) << r.out;
    EXPECT_EQ(r.out.substr(r.out.size() - 5), " MiB\n");
}

TEST(ToolStats, JsonParsesWithTheSameFigures) {
    auto r = RunTool({"stats", kHand, "--json"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    nlohmann::json j = nlohmann::json::parse(r.out);  // throws on bad JSON
    EXPECT_EQ(j["mesh"], kHand);
    EXPECT_FLOAT_EQ(j["split_weight"].get<float>(), 1.1f);
    EXPECT_FLOAT_EQ(j["balance_weight"].get<float>(), 1.0f);
    EXPECT_EQ(j["triangles_in"], 4);
    EXPECT_EQ(j["degenerate"], 1);
    EXPECT_EQ(j["stored"], 5);
    EXPECT_EQ(j["cut"], 1);
    EXPECT_EQ(j["pieces"], 3);
    EXPECT_EQ(j["nodes"], 4);
    EXPECT_EQ(j["leaves"], 2);
    EXPECT_EQ(j["max_leaf_depth"], 2);
    EXPECT_DOUBLE_EQ(j["mean_leaf_depth"].get<double>(), 2.0);
    EXPECT_EQ(j["root_front"], 0);
    EXPECT_EQ(j["root_back"], 4);
    EXPECT_GE(j["build_ms"].get<double>(), 0.0);
    EXPECT_GT(j["peak_memory_kib"].get<long>(), 0);
}

// One candidate per node is t0 at the root (the first of the list, always
// among a bounded search's few): t1 in front, t2 cut into one piece in front
// and two behind.
TEST(ToolStats, OneCandidatePerNodeTakesTheFirstTriangleAsTheRoot) {
    auto r = RunTool({"stats", kHand, "--candidates", "1", "--json"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    nlohmann::json j = nlohmann::json::parse(r.out);
    EXPECT_EQ(j["candidates"], 1);
    EXPECT_EQ(j["root_front"], 2);
    EXPECT_EQ(j["root_back"], 2);
    EXPECT_EQ(j["stored"], 5);
    auto text = RunTool({"stats", kHand, "--candidates", "1"});
    EXPECT_NE(text.out.find("\ncandidates per node: at most 1\ntriangles in: 4\n"),
              std::string::npos)
        << text.out;
    auto bad = RunTool({"stats", kHand, "--candidates", "-1"});
    EXPECT_NE(bad.exitCode, 0);
    EXPECT_NE(bad.err.find("--candidates"), std::string::npos) << bad.err;
}

// With cuts half as costly, t2 scores 2 * 0.5 = 1.0 against t0's 1.5 and
// t1's 2.0: it becomes the root and cuts both others, each at its corner on
// x = 0, into one piece per side; each side is a chain of two nodes.
TEST(ToolStats, LowerSplitWeightCutsMore) {
    auto r = RunTool({"stats", kHand, "--split-weight", "0.5", "--json"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    nlohmann::json j = nlohmann::json::parse(r.out);
    EXPECT_FLOAT_EQ(j["split_weight"].get<float>(), 0.5f);
    EXPECT_EQ(j["cut"], 2);
    EXPECT_EQ(j["pieces"], 4);
    EXPECT_EQ(j["stored"], 5);
    EXPECT_EQ(j["nodes"], 5);
    EXPECT_EQ(j["root_front"], 2);
    EXPECT_EQ(j["root_back"], 2);
}

TEST(ToolStats, DemoMeshFiguresHoldTogether) {
    auto r = RunTool({"stats", std::string(ORV_SOURCE_DIR) + "/data/mesh/test_1.txt", "--json",
                      "--balance-weight", "3"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    nlohmann::json j = nlohmann::json::parse(r.out);
    EXPECT_FLOAT_EQ(j["balance_weight"].get<float>(), 3.0f);
    const unsigned in = j["triangles_in"], stored = j["stored"], cut = j["cut"];
    const unsigned pieces = j["pieces"], nodes = j["nodes"], leaves = j["leaves"];
    EXPECT_EQ(in, 836u);
    EXPECT_EQ(j["degenerate"], 0);
    // Every triangle not cut is stored whole; the rest as pieces.
    EXPECT_EQ(stored, in - cut + pieces);
    EXPECT_GE(pieces, 2 * cut);
    EXPECT_LT(leaves, nodes);
    EXPECT_LE(j["mean_leaf_depth"].get<double>(), j["max_leaf_depth"].get<double>());
    EXPECT_LT(j["root_front"].get<unsigned>() + j["root_back"].get<unsigned>(), stored);
}

// With no delay every build shows the tree's progress line on standard
// output; the tool hides it where a program reads that output (and main
// shows it only on a terminal).
TEST(ToolStats, TreeProgressLineOnlyWhereShown) {
    const std::string demo = std::string(ORV_SOURCE_DIR) + "/data/mesh/test_1.txt";
    auto build = [&](bool show) {
        return orvtest::RunInChild([&] {
            orvbsp::ShowTreeProgress(show, 0.0);
            std::vector<Triangle> list = orvbsp::LoadTriangles(demo);
            BSPTree tree;
            orvbsp::BuildTree(tree, list);
        });
    };
    auto shown = build(true);
    EXPECT_EQ(shown.exitCode, 0);
    EXPECT_EQ(shown.out.rfind("\rBuilding the BSP tree: ", 0), 0u) << shown.out;
    auto hidden = build(false);
    EXPECT_EQ(hidden.exitCode, 0);
    EXPECT_EQ(hidden.out, "");
}

// Errors name the file, say what is wrong and end with status 1.
TEST(ToolStats, MissingFile) {
    auto r = RunTool({"stats", "/nonexistent/mesh.txt"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "orvane-bsp: error: /nonexistent/mesh.txt: No such file or directory\n");
}

TEST(ToolStats, FolderInsteadOfFile) {
    auto r = RunTool({"stats", ToolData("")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "orvane-bsp: error: " + ToolData("") + ": is a folder, not a file\n");
}

TEST(ToolStats, FileWithoutMesh) {
    orvtest::TempDir dir;
    const std::string path = dir.Path("nomesh.txt");
    {
        FILE* pFile = std::fopen(path.c_str(), "w");
        std::fputs("Mesh { Position { 0 { 1 2 3 } } }\n", pFile);
        std::fclose(pFile);
    }
    auto r = RunTool({"stats", path});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err,
              "orvane-bsp: error: " + path +
                  ": holds no mesh (a Mesh block with Position and Face_Position sections)\n");
}

// A mesh of any format `orvane MESH` opens: the figures of the same file
// converted to mesh text (the JSON's mesh names differ, nothing else);
// a file Assimp cannot read is refused with Assimp's reason.
TEST(ToolStats, AnyFormatTheDemoOpensHasItsConvertedTextsFigures) {
    orvtest::TempDir dir;
    const std::string spider = orvtest::AssimpModel("OBJ/spider.obj");
    const std::string text = dir.Path("spider.txt");
    ASSERT_EQ(RunTool({"convert", spider, text}).exitCode, 0);
    auto direct = RunTool({"stats", spider, "--json"});
    auto converted = RunTool({"stats", text, "--json"});
    ASSERT_EQ(direct.exitCode, 0) << direct.err;
    nlohmann::json a = nlohmann::json::parse(direct.out), b = nlohmann::json::parse(converted.out);
    EXPECT_GT(a["triangles_in"].get<int>(), 1000);
    for (nlohmann::json* pJ : {&a, &b})
        pJ->erase("mesh"), pJ->erase("build_ms"), pJ->erase("peak_memory_kib");
    EXPECT_EQ(a, b);

    const std::string noise = dir.Path("noise.ply");
    std::ofstream(noise) << "not a ply file\n";
    auto r = RunTool({"stats", noise});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err.rfind("orvane-bsp: error: " + noise + ": ", 0), 0u) << r.err;
    EXPECT_NE(r.err.find("magic"), std::string::npos) << r.err;
}

// The mesh reader ends the process with its own report; the tool's line
// after it names the file.
TEST(ToolStats, MalformedTextNamesTheFileAfterTheReadersReport) {
    orvtest::TempDir dir;
    const std::string path = dir.Path("broken.txt");
    {
        FILE* pFile = std::fopen(path.c_str(), "w");
        std::fputs("Mesh\n{\n  Position {\n", pFile);
        std::fputs("    0 { 1 2 3 } }\n  Face_Position { 0 { 0 0 7 } }\n}\n", pFile);
        std::fclose(pFile);
    }
    auto r = RunTool({"stats", path});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.signal, 0);
    EXPECT_NE(r.out.find("Mesg: Face_Position element 0: index 7 is out of range (1 values)!!"),
              std::string::npos)
        << r.out;
    EXPECT_EQ(r.err,
              "orvane-bsp: error: " + path + ": not a valid mesh file (see the report above)\n");
}

// Three families of 16 large triangles in the planes x, y and z = i - 7.5,
// each crossing every triangle of the other two: the tree's growth limit
// ends the build with its report; the tool's line after it names the file.
TEST(ToolStats, TreeReportNamesTheFileAfterTheReport) {
    std::string pos, faces;
    int n = 0;
    for (int i = 0; i < 16; ++i) {
        const std::string c = std::to_string(i - 7.5);
        const std::string corners[3][3] = {
            {c + " -16 -16", c + " 16 -16", c + " 0 16"},
            {"-16 " + c + " -16", "0 " + c + " 16", "16 " + c + " -16"},
            {"-16 -16 " + c, "16 -16 " + c, "0 16 " + c}};
        for (const auto& tri : corners) {
            faces += std::to_string(n / 3) + " { " + std::to_string(n) + " " +
                     std::to_string(n + 1) + " " + std::to_string(n + 2) + " }\n";
            for (const std::string& corner : tri)
                pos += std::to_string(n++) + " { " + corner + " }\n";
        }
    }
    orvtest::TempDir dir;
    const std::string path = dir.Write(
        "slabs.txt", "Mesh { Position {\n" + pos + "}\nFace_Position {\n" + faces + "} }\n");
    auto r = RunTool({"stats", path});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.out.find("Mesg: Cutting would grow the tree past 16384 triangles (48 given)!!\n"),
              std::string::npos)
        << r.out;
    EXPECT_EQ(r.err, "orvane-bsp: error: " + path +
                         ": the tree's construction stopped (see the report above)\n");
}

TEST(ToolStats, BadOptionsAreRefused) {
    auto weight = RunTool({"stats", kHand, "--split-weight", "heavy"});
    EXPECT_EQ(weight.exitCode, 1);
    EXPECT_NE(weight.err.find("--split-weight"), std::string::npos) << weight.err;
    auto nan = RunTool({"stats", kHand, "--balance-weight", "nan"});
    EXPECT_EQ(nan.exitCode, 1);
    auto none = RunTool({"stats"});
    EXPECT_EQ(none.exitCode, 1);
    EXPECT_NE(none.err.find("MESH is required"), std::string::npos) << none.err;
    auto unknown = RunTool({"frobnicate"});
    EXPECT_EQ(unknown.exitCode, 1);
}

TEST(ToolStats, HelpOnEverySubcommand) {
    for (const char* pCmd : {"convert", "stats", "sweep", "render", "check", "dot"}) {
        auto r = RunTool({pCmd, "--help"});
        EXPECT_EQ(r.exitCode, 0) << pCmd;
        EXPECT_NE(r.out.find(std::string("orvane-bsp ") + pCmd), std::string::npos) << r.out;
        // Every command that builds a tree takes a bound on its candidates.
        const bool builds = std::string(pCmd) != "convert";
        EXPECT_EQ(r.out.find("--candidates N") != std::string::npos, builds) << pCmd;
    }
}

// Each command that builds a tree builds the bounded one when asked: the dot
// file of the hand mesh with one candidate a node has t0's plane (z = 0)
// at its root, where the exact tree has t1's (z = 1).
TEST(ToolStats, DotAndSweepBuildTheBoundedTree) {
    orvtest::TempDir dir;
    auto exact = RunTool({"dot", kHand, dir.Path("exact.dot")});
    auto bounded = RunTool({"dot", kHand, dir.Path("bounded.dot"), "--candidates", "1"});
    ASSERT_EQ(exact.exitCode, 0) << exact.err;
    ASSERT_EQ(bounded.exitCode, 0) << bounded.err;
    auto read = [](const std::string& path) {
        std::ifstream in(path);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    EXPECT_NE(read(dir.Path("exact.dot")), read(dir.Path("bounded.dot")));
    auto sweep = RunTool(
        {"sweep", kHand, "--split", "1.1:1.1:1", "--balance", "1:1:1", "--candidates", "1"});
    ASSERT_EQ(sweep.exitCode, 0) << sweep.err;
    auto stats = RunTool({"stats", kHand, "--candidates", "1", "--json"});
    const nlohmann::json j = nlohmann::json::parse(stats.out);
    // The sweep's one row holds the bounded tree's mean leaf depth and root
    // balance (1.5, 2 front, 2 back; exact: 2.0, 0, 4).
    char tail[64];
    std::snprintf(tail, sizeof(tail), ",%.4f,%d,%d,", j["mean_leaf_depth"].get<double>(),
                  j["root_front"].get<int>(), j["root_back"].get<int>());
    EXPECT_NE(sweep.out.find(tail), std::string::npos) << tail << "\n" << sweep.out;
    EXPECT_EQ(j["root_front"], 2);
}

}  // namespace
