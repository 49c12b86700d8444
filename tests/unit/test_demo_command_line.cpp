// The demo's command line, `orvane [MESH]`, and the key list --help prints.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "DemoCommandLine.h"

namespace {

DemoOptions parse(const std::vector<std::string>& args) { return ParseDemoCommandLine(args); }

// The rows of README.md's Keys table, each as {key, action}.
std::vector<std::pair<std::string, std::string>> readmeKeys() {
    std::ifstream in(std::string(ORV_SOURCE_DIR) + "/README.md");
    std::vector<std::pair<std::string, std::string>> rows;
    std::string line;
    bool inKeys = false;
    while (std::getline(in, line)) {
        if (line.rfind("## ", 0) == 0) inKeys = (line == "## Keys");
        if (!inKeys || line.rfind("| ", 0) != 0 || line.find("---") != std::string::npos) continue;
        size_t mid = line.find(" | ");
        std::string key = line.substr(2, mid - 2);
        std::string action = line.substr(mid + 3, line.size() - mid - 5);
        if (key != "Key") rows.emplace_back(key, action);
    }
    return rows;
}

}  // namespace

TEST(DemoCommandLine, MeshHelpAndUsageErrors) {
    EXPECT_EQ(parse({}).meshPath, "");
    EXPECT_FALSE(parse({}).help);
    EXPECT_EQ(parse({}).error, "");
    EXPECT_EQ(parse({"wuson.obj"}).meshPath, "wuson.obj");
    EXPECT_TRUE(parse({"--help"}).help);
    EXPECT_TRUE(parse({"mesh.txt", "-h"}).help);
    EXPECT_EQ(parse({"--", "-odd.obj"}).meshPath, "-odd.obj");
    EXPECT_EQ(parse({"--", "--help"}).meshPath, "--help");
    EXPECT_EQ(parse({"--size"}).error, "unknown option '--size'");
    EXPECT_EQ(parse({"-x", "--help"}).error, "unknown option '-x'");
    EXPECT_EQ(parse({"a.obj", "b.obj"}).error, "more than one mesh: 'b.obj'");
    EXPECT_EQ(parse({""}).error, "an empty mesh path");
    EXPECT_EQ(
        DemoUsageError("unknown option '-x'"),
        "orvane: unknown option '-x'\nusage: orvane [--draw immediate|batched] [--candidates N] "
        "[MESH]\n       orvane --help\nTry 'orvane --help' for more.\n");
}

TEST(DemoCommandLine, HelpListsEveryKeyOfTheReadme) {
    const std::string help = DemoHelpText();
    EXPECT_EQ(help.rfind("usage: orvane [--draw immediate|batched] [--candidates N] [MESH]\n", 0),
              0u);
    auto rows = readmeKeys();
    ASSERT_GE(rows.size(), 11u);
    for (const auto& row : rows) {
        std::string key = row.first;
        key.resize(20, ' ');
        EXPECT_NE(help.find("\n  " + key + row.second + "\n"), std::string::npos)
            << "README's key '" << row.first << "' (" << row.second << ") is not in --help";
    }
}

TEST(DemoCommandLine, CandidatesTakeAWholeNumberInEitherSpelling) {
    EXPECT_EQ(parse({}).candidates, 0u);
    const DemoOptions spaced = parse({"--candidates", "64", "mesh.obj"});
    EXPECT_EQ(spaced.error, "");
    EXPECT_EQ(spaced.candidates, 64u);
    EXPECT_EQ(spaced.meshPath, "mesh.obj");
    EXPECT_EQ(parse({"mesh.obj", "--candidates=256"}).candidates, 256u);
    EXPECT_EQ(parse({"--candidates=0"}).candidates, 0u);
    EXPECT_EQ(parse({"--candidates"}).error, "--candidates needs a number");
    for (const char* bad : {"-4", "sixty", "1.5", "", "1000000001", "99999999999999999999"})
        EXPECT_EQ(parse({"--candidates", bad}).error,
                  std::string("--candidates needs a whole number from 0 to 1000000000, got '") +
                      bad + "'");
    // After "--" it is a mesh's name.
    EXPECT_EQ(parse({"--", "--candidates"}).meshPath, "--candidates");
    EXPECT_NE(DemoHelpText().find("\n  --candidates N      score at most N candidate"),
              std::string::npos);
}
