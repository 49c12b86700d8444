// dot.cpp - orvane-bsp dot: the tree as a Graphviz graph.
#include "Tool.h"

#include <CLI/CLI.hpp>

#include <cstdio>
#include <string>
#include <unordered_map>

namespace orvbsp {

namespace {

struct DotOptions {
    std::string mesh;
    std::string out;
};

std::string format(const char* pFormat, double a, double b, double c, double d) {
    char buf[160];
    std::snprintf(buf, sizeof buf, pFormat, a, b, c, d);
    return buf;
}

// Nodes are numbered in the tree's visiting order: a node, its front
// subtree, then its back subtree.
std::string treeToDot(const BSPTree& tree) {
    std::unordered_map<const BSPNode*, uint32_t> ids;
    tree.VisitNodes([&](const BSPNode& node, uint32_t) {
        uint32_t id = static_cast<uint32_t>(ids.size());
        ids.emplace(&node, id);
    });
    auto name = [&](const BSPNode* pNode) { return "n" + std::to_string(ids.at(pNode)); };
    std::string text = "digraph bsp {\n    node [shape=box, fontname=\"monospace\"];\n";
    tree.VisitNodes([&](const BSPNode& node, uint32_t depth) {
        const Plane& p = node.mPlane;
        text += "    " + name(&node) + " [label=\"" +
                format("plane: %.6g %.6g %.6g %.6g", p.mNormal.x, p.mNormal.y, p.mNormal.z, p.mD) +
                "\\ntriangles: " + std::to_string(node.mTriList.size()) +
                "\\ndepth: " + std::to_string(depth) + "\"];\n";
        if (node.mpFront)
            text += "    " + name(&node) + " -> " + name(node.mpFront) + " [label=\"front\"];\n";
        if (node.mpBack)
            text += "    " + name(&node) + " -> " + name(node.mpBack) + " [label=\"back\"];\n";
    });
    return text + "}\n";
}

}  // namespace

void AddDot(CLI::App& app, int* pStatus) {
    static DotOptions sOpt;
    CLI::App* pCmd = app.add_subcommand("dot", "write the tree of a mesh as Graphviz text");
    pCmd->footer(
        "Each node shows its plane (a b c d of ax + by + cz + d = 0), its triangle count and its "
        "depth; edges are labelled front and back.");
    pCmd->add_option("MESH", sOpt.mesh, kMeshHelp)->required();
    pCmd->add_option("OUT", sOpt.out, "Graphviz file to write")->required();
    AddCandidatesOption(pCmd);
    pCmd->callback([pStatus] {
        CheckWritable(sOpt.out);
        std::vector<Triangle> list = LoadTriangles(sOpt.mesh);
        BSPTree tree;
        BuildTree(tree, list);
        WriteFile(sOpt.out, treeToDot(tree));
        *pStatus = 0;
    });
}

}  // namespace orvbsp
