// Tool.h - what the subcommands of orvane-bsp share: the error that ends a
// command, argument parsing, file checks, and the mesh as the demo reads it.
#ifndef ORVBSP_TOOL_H
#define ORVBSP_TOOL_H

#include "BSPBuild.h"
#include "BSPProgress.h"
#include "BSPTree.h"
#include "MeshBounds.h"

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace CLI {
class App;
}

namespace orvbsp {

// Ends a command: main prints "orvane-bsp: error: <what>" on standard error
// and the process exits with status 1.
struct Error : std::runtime_error {
    using std::runtime_error::runtime_error;
};
// Throws Error with "<path>: <what>".
[[noreturn]] void Fail(const std::string& path, const std::string& what);

// Each adds its subcommand to app; when it runs, its exit status goes to
// *pStatus.
void AddConvert(CLI::App& app, int* pStatus);
void AddStats(CLI::App& app, int* pStatus);
void AddSweep(CLI::App& app, int* pStatus);
void AddRender(CLI::App& app, int* pStatus);
void AddCheck(CLI::App& app, int* pStatus);
void AddDot(CLI::App& app, int* pStatus);

// One number that fills the whole text, as a float: a number beyond float
// range becomes the infinity of its sign (CheckWeights refuses it).
bool ParseFloat(const std::string& text, float* pOut);
// Throws Error("the weights must be finite numbers") unless every weight is.
void CheckWeights(const std::vector<float>& weights);

// "X,Y,Z" with three finite numbers.
bool ParseVec3(const std::string& text, ORV::Vec3* pOut);
// "WxH" with 1 <= W, H <= maxSide.
bool ParseSize(const std::string& text, int* pWidth, int* pHeight, int maxSide = 8192);
// "A:B:STEP" with finite numbers, A <= B and STEP > 0: the values A, A + STEP,
// ... up to B (B itself when it lies on the grid, within a millionth of a
// step), at most maxNum of them; values beyond float range come out
// infinite, as ParseFloat gives them.
bool ParseRange(const std::string& text, std::vector<float>* pValues, size_t maxNum = 10000);

// The shortest decimal text that reads back as the same float ("1.1", not
// "1.10000002").
std::string ShortFloat(float value);

// Throws Error naming path unless it is a regular file that can be read.
void CheckReadable(const std::string& path);
// Throws Error naming path unless a file can be written there: its folder
// exists and path is not a folder.
void CheckWritable(const std::string& path);
// Writes text to path, replacing it; throws Error naming path on failure.
void WriteFile(const std::string& path, const std::string& text);

// Whether the tool's builds show the tree's progress line (BSPProgressLine)
// on standard output, rewritten in place, once a build has run for delay
// seconds: on a terminal; never in output that another program reads, nor
// beside sweep's own progress bar.
void ShowTreeProgress(bool show, double delay = BSPProgressLine::DELAY);

// Adds --candidates N to cmd: every build of the command then scores at most
// N candidate splitters per node, spread over its list (a valid tree, faster,
// not the exact rule's); 0, the default, scores every triangle.
void AddCandidatesOption(CLI::App* pCmd);
// The --candidates given (0 when none), and its wording in a report:
// ", at most N candidates per node", or nothing for the exact rule.
size_t Candidates();
std::string CandidatesNote();

// Builds tree over list as settings say (by default, the demo's starting
// weights, with --candidates), with the progress line where it is shown. A report of the tree,
// printed on standard output, becomes an Error naming the mesh file last read
// by LoadTriangles.
void BuildTree(BSPTree& tree, const std::vector<Triangle>& list,
               BSPBuildSettings settings = BSPBuildSettings());

// What a MESH argument may be: any file `orvane MESH` opens.
extern const char* const kMeshHelp;

// Reads a mesh file as `orvane MESH` does (meshimport's import, deindexed):
// Orvane's mesh text, or any format Assimp reads converted in memory. Returns
// its triangles by the demo's rule: corner colours from the mesh's colours,
// or from the corner's position (x, y, z, 0) when it has none. Each
// triangle's mTag is 1 plus its index in the mesh, so whole triangles can be
// told from the pieces that cutting makes (their mTag is 0). Throws Error
// naming the file when it is missing, unreadable or holds no mesh, and when
// the mesh reader's report on a malformed file has been printed on standard
// output.
std::vector<Triangle> LoadTriangles(const std::string& path);

// The figures of one tree.
struct Figures {
    float splitWeight = 0.0f;
    float balanceWeight = 0.0f;
    uint32_t trianglesIn = 0;  // handed to the build
    uint32_t degenerate = 0;   // left out without a plane (input or pieces)
    uint32_t stored = 0;       // in the tree, after cutting
    uint32_t cut = 0;          // input triangles that were cut
    uint32_t pieces = 0;       // stored pieces made by cutting
    uint32_t nodes = 0;
    uint32_t leaves = 0;
    uint32_t maxLeafDepth = 0;
    double meanLeafDepth = 0.0;
    uint32_t rootFront = 0;  // triangles in the root's front subtree
    uint32_t rootBack = 0;   // and in its back subtree
    double buildMs = 0.0;
};
// Builds tree over list (tagged as LoadTriangles tags) with the two weights
// and measures it.
Figures Measure(BSPTree& tree, const std::vector<Triangle>& list, float splitWeight,
                float balanceWeight);

}  // namespace orvbsp

#endif
