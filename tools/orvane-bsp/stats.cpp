// stats.cpp - orvane-bsp stats: build the tree of a mesh and print its figures.
#include "Cli.h"
#include "Tool.h"

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include <sys/resource.h>

#include <cmath>
#include <cstdio>
#include <string>

namespace orvbsp {

namespace {

struct StatsOptions {
    std::string mesh;
    std::string splitWeight;  // numbers as ParseFloat reads them
    std::string balanceWeight;
    bool json = false;
};

// The process's peak resident memory so far, in KiB.
long peakMemoryKiB() {
    struct rusage usage;
    if (getrusage(RUSAGE_SELF, &usage) != 0) return 0;
    return usage.ru_maxrss;
}

double share(uint32_t part, uint32_t whole) { return whole ? double(part) / double(whole) : 0.0; }

void printText(const std::string& mesh, const Figures& f, long peakKiB) {
    std::printf("mesh: %s\n", mesh.c_str());
    std::printf("split weight: %s\n", ShortFloat(f.splitWeight).c_str());
    std::printf("balance weight: %s\n", ShortFloat(f.balanceWeight).c_str());
    if (Candidates() != 0) std::printf("candidates per node: at most %zu\n", Candidates());
    std::printf("triangles in: %u\n", f.trianglesIn);
    std::printf("left out as degenerate: %u\n", f.degenerate);
    std::printf("stored after cutting: %u\n", f.stored);
    std::printf("triangles cut: %u (into %u pieces)\n", f.cut, f.pieces);
    std::printf("nodes: %u\n", f.nodes);
    std::printf("leaves: %u\n", f.leaves);
    std::printf("max leaf depth: %u\n", f.maxLeafDepth);
    std::printf("mean leaf depth: %.2f\n", f.meanLeafDepth);
    std::printf("root balance: %u front, %u back (%.0f%% front)\n", f.rootFront, f.rootBack,
                100.0 * share(f.rootFront, f.rootFront + f.rootBack));
    std::printf("build time: %.3f ms\n", f.buildMs);
    std::printf("peak memory: %.1f MiB\n", double(peakKiB) / 1024.0);
}

void printJson(const std::string& mesh, const Figures& f, long peakKiB) {
    nlohmann::ordered_json j;
    j["mesh"] = mesh;
    j["split_weight"] = std::stod(ShortFloat(f.splitWeight));
    j["balance_weight"] = std::stod(ShortFloat(f.balanceWeight));
    j["candidates"] = Candidates();
    j["triangles_in"] = f.trianglesIn;
    j["degenerate"] = f.degenerate;
    j["stored"] = f.stored;
    j["cut"] = f.cut;
    j["pieces"] = f.pieces;
    j["nodes"] = f.nodes;
    j["leaves"] = f.leaves;
    j["max_leaf_depth"] = f.maxLeafDepth;
    j["mean_leaf_depth"] = f.meanLeafDepth;
    j["root_front"] = f.rootFront;
    j["root_back"] = f.rootBack;
    j["build_ms"] = f.buildMs;
    j["peak_memory_kib"] = peakKiB;
    // Invalid UTF-8 in a file name is replaced rather than thrown.
    std::printf("%s\n", j.dump(2, ' ', false, nlohmann::json::error_handler_t::replace).c_str());
}

}  // namespace

void AddStats(CLI::App& app, int* pStatus) {
    static StatsOptions sOpt;
    sOpt.splitWeight = ShortFloat(START_SPLIT_WEIGHT);
    sOpt.balanceWeight = ShortFloat(START_BALANCE_WEIGHT);
    CLI::App* pCmd = app.add_subcommand("stats", "build the tree of a mesh and print its figures");
    pCmd->footer(
        "Figures: triangles in, left out as degenerate (no plane), stored after cutting, input "
        "triangles cut and the pieces made of them, nodes, leaves, maximum and mean leaf depth, "
        "the triangles in the root's front and back subtrees, build time and the process's peak "
        "memory.");
    pCmd->add_option("MESH", sOpt.mesh, kMeshHelp)->required();
    pCmd->add_option("--split-weight", sOpt.splitWeight,
                     "weight of the number of triangles a plane cuts")
        ->check(NumberText())
        ->type_name("FLOAT")
        ->capture_default_str();
    pCmd->add_option("--balance-weight", sOpt.balanceWeight, "weight of the larger side of a plane")
        ->check(NumberText())
        ->type_name("FLOAT")
        ->capture_default_str();
    AddCandidatesOption(pCmd);
    pCmd->add_flag("--json", sOpt.json, "print the figures as one JSON object");
    pCmd->callback([pStatus] {
        float split = 0.0f, balance = 0.0f;
        ParseFloat(sOpt.splitWeight, &split);
        ParseFloat(sOpt.balanceWeight, &balance);
        CheckWeights({split, balance});
        std::vector<Triangle> list = LoadTriangles(sOpt.mesh);
        BSPTree tree;
        Figures f = Measure(tree, list, split, balance);
        const long peakKiB = peakMemoryKiB();
        if (sOpt.json) printJson(sOpt.mesh, f, peakKiB);
        else printText(sOpt.mesh, f, peakKiB);
        *pStatus = 0;
    });
}

}  // namespace orvbsp
