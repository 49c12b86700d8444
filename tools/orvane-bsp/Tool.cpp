// Tool.cpp - argument parsing, file checks and the mesh as the demo reads it.
#include "Tool.h"

#include "MeshImport.h"
#include "MeshTriangles.h"
#include "ORV_Mesh.h"

#include <CLI/CLI.hpp>

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace orvbsp {

void Fail(const std::string& path, const std::string& what) { throw Error(path + ": " + what); }

namespace {

// Reads one number that fills the whole text, in any form strtod takes;
// errno tells whether it overflowed.
bool readNumber(const std::string& text, double* pOut) {
    if (text.empty() || std::isspace(static_cast<unsigned char>(text[0]))) return false;
    char* pEnd = nullptr;
    errno = 0;
    *pOut = std::strtod(text.c_str(), &pEnd);
    return pEnd == text.c_str() + text.size();
}

// Reads one finite number that fills the whole text.
bool parseNumber(const std::string& text, double* pOut) {
    double v = 0.0;
    if (!readNumber(text, &v) || errno == ERANGE || !std::isfinite(v)) return false;
    *pOut = v;
    return true;
}

// A double as a float, the infinity of its sign beyond float range (where
// the plain conversion is undefined).
float toFloat(double v) {
    if (std::fabs(v) > double(FLT_MAX)) return v > 0.0 ? HUGE_VALF : -HUGE_VALF;
    return float(v);
}

std::vector<std::string> splitAt(const std::string& text, char sep) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        size_t at = text.find(sep, start);
        parts.push_back(text.substr(start, at - start));
        if (at == std::string::npos) return parts;
        start = at + 1;
    }
}

// A report of the framework or the tree, handed back to the tool by its
// report handler instead of ending the process.
struct Reported {};
[[noreturn]] void throwReported() { throw Reported(); }
// The tree's progress line: ShowTreeProgress.
bool sShowProgress = true;
double sProgressDelay = BSPProgressLine::DELAY;
// --candidates of the command that runs (one a process).
size_t sCandidates = 0;

// Runs fn with reports handed back: a report it makes (already printed on
// standard output) becomes an Error "<what> (see the report above)". Other
// reports keep their default ending.
template <typename Fn>
void reportsAsError(const std::string& what, Fn&& fn) {
    const ORV::Report::Handler previous = ORV::Report::SetHandler(throwReported);
    try {
        fn();
    } catch (const Reported&) {
        ORV::Report::SetHandler(previous);
        throw Error(what + " (see the report above)");
    }
    ORV::Report::SetHandler(previous);
}

std::string sMeshPath;

}  // namespace

bool ParseFloat(const std::string& text, float* pOut) {
    double v = 0.0;
    if (!readNumber(text, &v)) return false;
    *pOut = toFloat(v);
    return true;
}

void CheckWeights(const std::vector<float>& weights) {
    for (float w : weights)
        if (!std::isfinite(w)) throw Error("the weights must be finite numbers");
}

bool ParseVec3(const std::string& text, ORV::Vec3* pOut) {
    std::vector<std::string> parts = splitAt(text, ',');
    double v[3];
    if (parts.size() != 3) return false;
    for (int i = 0; i < 3; ++i) {
        if (!parseNumber(parts[i], &v[i]) || std::fabs(v[i]) > 3.4e38) return false;
    }
    *pOut = ORV::Vec3(float(v[0]), float(v[1]), float(v[2]));
    return true;
}

bool ParseSize(const std::string& text, int* pWidth, int* pHeight, int maxSide) {
    std::vector<std::string> parts = splitAt(text, 'x');
    if (parts.size() != 2) return false;
    int side[2];
    for (int i = 0; i < 2; ++i) {
        const std::string& p = parts[i];
        if (p.empty() || p.size() > 6 || p.find_first_not_of("0123456789") != std::string::npos)
            return false;
        side[i] = std::atoi(p.c_str());
        if (side[i] < 1 || side[i] > maxSide) return false;
    }
    *pWidth = side[0];
    *pHeight = side[1];
    return true;
}

bool ParseRange(const std::string& text, std::vector<float>* pValues, size_t maxNum) {
    std::vector<std::string> parts = splitAt(text, ':');
    double v[3];
    if (parts.size() != 3) return false;
    for (int i = 0; i < 3; ++i)
        if (!parseNumber(parts[i], &v[i])) return false;
    const double a = v[0], b = v[1], step = v[2];
    if (!(a <= b) || !(step > 0.0)) return false;
    // The last value may miss B by rounding: a millionth of a step still counts.
    const double steps = std::floor((b - a) / step + 1e-6);
    if (!(steps < double(maxNum))) return false;
    pValues->clear();
    for (size_t i = 0; i <= size_t(steps); ++i) pValues->push_back(toFloat(a + double(i) * step));
    return true;
}

std::string ShortFloat(float value) {
    char buf[32];
    for (int digits = 6; digits <= 9; ++digits) {
        std::snprintf(buf, sizeof buf, "%.*g", digits, double(value));
        if (std::strtof(buf, nullptr) == value) break;
    }
    return buf;
}

void CheckReadable(const std::string& path) {
    const std::string why = meshimport::WhyUnreadable(path);
    if (!why.empty()) Fail(path, why);
}

void CheckWritable(const std::string& path) {
    if (path.empty()) throw Error("an output file name is empty");
    struct stat st;
    if (stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) Fail(path, "is a folder, not a file");
    size_t slash = path.find_last_of('/');
    std::string dir = (slash == std::string::npos) ? "." : path.substr(0, slash + 1);
    if (stat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        Fail(path, "cannot be written: its folder does not exist");
}

void WriteFile(const std::string& path, const std::string& text) {
    FILE* pFile = std::fopen(path.c_str(), "wb");
    if (pFile == nullptr) Fail(path, std::string("cannot be written: ") + std::strerror(errno));
    size_t written = std::fwrite(text.data(), 1, text.size(), pFile);
    int err = (written != text.size()) ? errno : 0;
    if (std::fclose(pFile) != 0 && err == 0) err = errno;
    if (written != text.size() || err != 0)
        Fail(path, std::string("cannot be written: ") + std::strerror(err ? err : EIO));
}

const char* const kMeshHelp =
    "mesh file: Orvane's mesh text (.txt), or any format Assimp reads (OBJ, PLY, STL, glTF, "
    "IFC, ...), converted in memory as the demo converts it";

std::vector<Triangle> LoadTriangles(const std::string& path) {
    CheckReadable(path);
    sMeshPath = path;
    ORV::Mesh* pMesh = nullptr;
    std::string why;
    // The tool names the file after a report itself (reportsAsError).
    reportsAsError(path + ": not a valid mesh file", [&] { pMesh = meshimport::Read(path, &why); });
    if (pMesh == nullptr) Fail(path, why);

    // Each record is tagged with its mesh triangle's number, from 1.
    std::vector<Triangle> list = MeshTriangles(*pMesh);
    for (size_t i = 0; i < list.size(); ++i) list[i].mTag = static_cast<int32_t>(i + 1);
    delete pMesh;
    return list;
}

void ShowTreeProgress(bool show, double delay) {
    sShowProgress = show;
    sProgressDelay = delay;
}

void AddCandidatesOption(CLI::App* pCmd) {
    pCmd->add_option("--candidates", sCandidates,
                     "score at most N candidate splitters per node, spread over its list: a "
                     "faster build of a valid tree, not the exact rule's (0: every triangle)")
        ->type_name("N")
        ->check(CLI::Range(0.0, 1e9))
        ->capture_default_str();
}

size_t Candidates() { return sCandidates; }

std::string CandidatesNote() {
    return sCandidates == 0 ? std::string()
                            : ", at most " + std::to_string(sCandidates) + " candidates per node";
}

void BuildTree(BSPTree& tree, const std::vector<Triangle>& list, BSPBuildSettings settings) {
    settings.candidates = sCandidates;
    BSPProgressLine line(sProgressDelay);
    if (sShowProgress) settings.progress = line.Callback();
    reportsAsError(sMeshPath + ": the tree's construction stopped",
                   [&] { tree.Build(list, settings); });
}

}  // namespace orvbsp
