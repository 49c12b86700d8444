// demo_tree_facts MESH [KEY...] - the status-line figures the demo must show.
//
// Builds the tree over the mesh as the demo does, then once more for every
// KEY (3: split weight + 0.1, 4: balance weight + 1.0), and prints one line
// per tree: "<triangles total> <triangles drawn> <tree depth>". The mesh's
// own triangle count comes first, on a line of its own.
#include <cstdio>
#include <cstring>
#include <vector>

#include "BSPBuild.h"
#include "BSPTree.h"
#include "MeshTriangles.h"
#include "ORV_Mesh.h"

static void printFacts(const BSPTree& tree) {
    int drawn = 0;
    // Every stored triangle is drawn, whichever side the eye is on.
    tree.Walk(ORV::Vec3(0.0f, 0.0f, 10.0f), [&](const Triangle&) { ++drawn; });
    std::printf("%d %d %u\n", tree.TriNum(), drawn, tree.Depth());
}

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: demo_tree_facts MESH [3|4]...\n");
        return 2;
    }
    ORV::Mesh* pMesh = ORV::Mesh::Load(argv[1], true);
    if (pMesh == nullptr) {
        std::fprintf(stderr, "demo_tree_facts: cannot load '%s'\n", argv[1]);
        return 1;
    }
    const std::vector<Triangle> list = MeshTriangles(*pMesh);
    std::printf("%zu\n", list.size());

    // The demo's weights, raised as its keys raise them.
    BSPBuildSettings settings;
    BSPTree tree;
    tree.Build(list, settings);
    printFacts(tree);
    for (int i = 2; i < argc; ++i) {
        if (std::strcmp(argv[i], "3") == 0) settings.splitWeight += 0.1f;
        else if (std::strcmp(argv[i], "4") == 0) settings.balanceWeight += 1.0f;
        else {
            std::fprintf(stderr, "demo_tree_facts: unknown key '%s'\n", argv[i]);
            return 2;
        }
        tree.Clear();
        tree.Build(list, settings);
        printFacts(tree);
    }
    delete pMesh;
    return 0;
}
