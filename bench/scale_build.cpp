// scale_build - builds the tree over one input and reports what the build
// cost, one CSV row per input, for scripts/scale.
//
//   scale_build [--candidates N] [--threads T] [--csv FILE] INPUT...
//   scale_build --write FILE INPUT
//
// INPUT is terrain:CELLS (orvtest::Terrain), torus:RING:TUBE (orvtest::Torus)
// or file:PATH (any mesh the demo opens: Orvane's mesh text, or a file
// Assimp reads, converted by the code of orvane-bsp convert), optionally
// named NAME=INPUT for its rows (by default the input itself names them). --candidates N
// bounds the splitters a node scores (0, the default, is the exact search).
// Each row: input, triangles, search, threads, seconds, stored, depth,
// peak_mb (the build's peak heap above what was held before it), appended
// to FILE with --csv and printed on standard output. --write saves the input
// as mesh text instead of building it.
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <type_traits>
#include <utility>
#include <vector>

#include "BSPBuild.h"
#include "BSPProgress.h"
#include "BSPTree.h"
#include "HeapPeak.h"
#include "MeshFiles.h"
#include "MeshImport.h"
#include "MeshTriangles.h"
#include "ORV_Mesh.h"
#include "Shapes.h"

namespace {

// The bounded search is a build setting of its own; a tree without it has
// only the exact search.
template <typename S, typename = void>
struct HasCandidates : std::false_type {};
template <typename S>
struct HasCandidates<S, std::void_t<decltype(std::declval<S&>().candidates)>> : std::true_type {};

template <typename S>
bool setCandidates(S& settings, unsigned long n) {
    if constexpr (HasCandidates<S>::value) {
        settings.candidates = static_cast<decltype(settings.candidates)>(n);
        return true;
    } else {
        (void)settings;
        return n == 0;
    }
}

[[noreturn]] void usage(const std::string& why) {
    std::fprintf(stderr,
                 "scale_build: %s\n"
                 "usage: scale_build [--candidates N] [--threads T] [--csv FILE] INPUT...\n"
                 "       scale_build --write FILE INPUT\n"
                 "INPUT: terrain:CELLS, torus:RING:TUBE or file:PATH\n",
                 why.c_str());
    std::exit(2);
}

unsigned long number(const std::string& text, const std::string& what) {
    char* pEnd = nullptr;
    errno = 0;
    const unsigned long n = std::strtoul(text.c_str(), &pEnd, 10);
    if (text.empty() || *pEnd != '\0' || errno != 0 || text[0] == '-')
        usage(what + " is not a count: '" + text + "'");
    return n;
}

std::vector<Triangle> makeInput(const std::string& input) {
    const size_t colon = input.find(':');
    const std::string kind = input.substr(0, colon);
    const std::string rest = colon == std::string::npos ? "" : input.substr(colon + 1);
    if (kind == "terrain") return orvtest::Terrain(static_cast<uint32_t>(number(rest, input)));
    if (kind == "torus") {
        const size_t second = rest.find(':');
        if (second == std::string::npos) usage("torus needs RING:TUBE: '" + input + "'");
        return orvtest::Torus(static_cast<uint32_t>(number(rest.substr(0, second), input)),
                              static_cast<uint32_t>(number(rest.substr(second + 1), input)));
    }
    if (kind == "file") {
        std::string why;
        std::unique_ptr<ORV::Mesh> pMesh(meshimport::Open(rest, &why));
        if (pMesh == nullptr) {
            std::fprintf(stderr, "scale_build: '%s' %s\n", rest.c_str(), why.c_str());
            std::exit(1);
        }
        return MeshTriangles(*pMesh);
    }
    usage("unknown input '" + input + "'");
}

struct Row {
    size_t triangles = 0;
    double seconds = 0.0;
    size_t stored = 0;
    uint32_t depth = 0;
    double peakMB = 0.0;
};

Row build(const std::vector<Triangle>& tris, BSPBuildSettings settings) {
    Row row;
    row.triangles = tris.size();
    BSPTree tree;
    BSPProgressLine line;
    settings.progress = line.Callback();
    const size_t before = orvbench::HeapNow();
    orvbench::ResetHeapPeak();
    const auto start = std::chrono::steady_clock::now();
    tree.Build(tris, settings);
    row.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    row.peakMB = static_cast<double>(orvbench::HeapPeak() - before) / 1e6;
    line.Finish();
    tree.VisitNodes([&](const BSPNode& node, uint32_t) { row.stored += node.mTriList.size(); });
    row.depth = tree.Depth();
    return row;
}

}  // namespace

int main(int argc, char** argv) {
    BSPBuildSettings settings;
    unsigned long candidates = 0;
    std::string csvPath, writePath;
    std::vector<std::string> inputs;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc) usage(arg + " needs a value");
            return argv[++i];
        };
        if (arg == "--candidates") candidates = number(value(), arg);
        else if (arg == "--threads") settings.threads = static_cast<unsigned>(number(value(), arg));
        else if (arg == "--csv") csvPath = value();
        else if (arg == "--write") writePath = value();
        else if (arg.rfind("--", 0) == 0) usage("unknown option " + arg);
        else inputs.push_back(arg);
    }
    if (inputs.empty()) usage("no input");
    if (!setCandidates(settings, candidates))
        usage("this build has only the exact search (no --candidates)");

    if (!writePath.empty()) {
        if (inputs.size() != 1) usage("--write takes one input");
        const std::string& named = inputs[0];
        const std::string text = orvtest::MeshText(makeInput(named.substr(named.find('=') + 1)));
        FILE* pFile = std::fopen(writePath.c_str(), "wb");
        if (pFile == nullptr || std::fwrite(text.data(), 1, text.size(), pFile) != text.size() ||
            std::fclose(pFile) != 0) {
            std::fprintf(stderr, "scale_build: cannot write '%s'\n", writePath.c_str());
            return 1;
        }
        return 0;
    }

    const unsigned threads = settings.threads != 0
                                 ? settings.threads
                                 : std::max(1u, std::thread::hardware_concurrency());
    const std::string search = candidates == 0 ? "exact" : std::to_string(candidates);
    for (const std::string& named : inputs) {
        const size_t eq = named.find('=');
        const bool hasName = eq != std::string::npos && eq < named.find(':');
        const std::string name = hasName ? named.substr(0, eq) : named;
        const Row row = build(makeInput(hasName ? named.substr(eq + 1) : named), settings);
        char line[512];
        std::snprintf(line, sizeof line, "%s,%zu,%s,%u,%.4f,%zu,%u,%.1f\n", name.c_str(),
                      row.triangles, search.c_str(), threads, row.seconds, row.stored, row.depth,
                      row.peakMB);
        std::fputs(line, stdout);
        std::fflush(stdout);
        if (!csvPath.empty()) {
            FILE* pCsv = std::fopen(csvPath.c_str(), "a");
            if (pCsv == nullptr || std::fputs(line, pCsv) < 0 || std::fclose(pCsv) != 0) {
                std::fprintf(stderr, "scale_build: cannot append to '%s'\n", csvPath.c_str());
                return 1;
            }
        }
    }
    return 0;
}
