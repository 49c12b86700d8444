// Fuzz target: mesh loading on arbitrary text, the steps of ORV::Mesh::Load
// from the text onwards (tree, the Mesh token, init, Deindex), then the
// demo's triangle list and a tree over it when the mesh is small.
//
// A mesh that loads must be safe to draw: every index inside its array, every
// number finite, and after Deindex one value per corner.
#include "BSPTree.h"
#include "FuzzSupport.h"
#include "MeshTriangles.h"
#include "ORV_Mesh.h"
#include "ORV_TokenTree.h"

#include <cmath>
#include <memory>
#include <vector>

using ORV::Mesh;
using ORV::TokenTree;

namespace {

// Small meshes also go through the demo's path into a tree.
const uint32_t kTreeTriMax = 48;

bool finite(const float* p, size_t n) {
    for (size_t i = 0; i < n; ++i)
        if (!std::isfinite(p[i])) return false;
    return true;
}

void checkAttribute(const float* pVtx, uint32_t vtxNum, size_t floatsPerValue, const uint32_t* pTri,
                    uint32_t triNum, uint32_t meshTriNum) {
    if (vtxNum == 0) {
        FUZZ_CHECK(pVtx == nullptr && pTri == nullptr && triNum == 0);
        return;
    }
    FUZZ_CHECK(pVtx != nullptr && pTri != nullptr && triNum == meshTriNum);
    FUZZ_CHECK(finite(pVtx, vtxNum * floatsPerValue));
    for (size_t i = 0; i < 3 * static_cast<size_t>(triNum); ++i) FUZZ_CHECK(pTri[i] < vtxNum);
}

void checkMesh(const Mesh& m) {
    FUZZ_CHECK(m.mVtxPosNum > 0 && m.mTriPosNum > 0);
    checkAttribute(&m.mpVtxPos->x, m.mVtxPosNum, 3, m.mpTriPos, m.mTriPosNum, m.mTriPosNum);
    checkAttribute(m.mpVtxNrm ? &m.mpVtxNrm->x : nullptr, m.mVtxNrmNum, 3, m.mpTriNrm, m.mTriNrmNum,
                   m.mTriPosNum);
    checkAttribute(m.mpVtxClr ? &m.mpVtxClr->x : nullptr, m.mVtxClrNum, 4, m.mpTriClr, m.mTriClrNum,
                   m.mTriPosNum);
    checkAttribute(m.mpVtxTex ? &m.mpVtxTex->x : nullptr, m.mVtxTexNum, 3, m.mpTriTex, m.mTriTexNum,
                   m.mTriPosNum);
}

void checkDeindexed(const Mesh& m) {
    const uint32_t n = 3 * m.mTriPosNum;
    checkMesh(m);
    FUZZ_CHECK(m.mVtxPosNum == n);
    const uint32_t* tris[] = {m.mpTriPos, m.mpTriNrm, m.mpTriClr, m.mpTriTex};
    for (const uint32_t* pTri : tris)
        if (pTri != nullptr)
            for (uint32_t i = 0; i < n; ++i) FUZZ_CHECK(pTri[i] == i);
}

// The demo's triangle list (GameStateBSP's load step) and a tree over it.
void buildTree(const Mesh& m) {
    const std::vector<Triangle> list = MeshTriangles(m);
    BSPTree tree;
    tree.Build(list);
    size_t stored = 0;
    tree.Walk(ORV::Vec3(0.0f, 0.0f, 10.0f), [&](const Triangle&) { ++stored; });
    FUZZ_CHECK(stored + tree.DegenerateNum() >= list.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t size) {
    std::vector<char> text = orvfuzz::TextOf(pData, size);

    std::unique_ptr<TokenTree, void (*)(TokenTree*)> tree(nullptr, TokenTree::Destroy);
    Mesh mesh;
    bool loaded = false;
    std::string report;
    bool finished = orvfuzz::RunReporting(
        [&] {
            tree.reset(TokenTree::Create(text.data()));
            if (!tree) return;
            TokenTree::Token first = tree->Find("Mesh").Child();
            if (first.IsNull()) return;
            loaded = mesh.init(tree.get(), first);
        },
        &report);
    if (!finished) {
        FUZZ_CHECK_REPORT(report);
        return 0;
    }
    if (!loaded) {
        // init refuses before allocating anything.
        FUZZ_CHECK(mesh.mpVtxPos == nullptr && mesh.mpTriPos == nullptr);
        return 0;
    }
    tree.reset();  // the mesh must not depend on the tree's text
    checkMesh(mesh);

    finished = orvfuzz::RunReporting([&] { mesh.Deindex(); }, &report);
    FUZZ_CHECK(finished);  // a loaded mesh always deindexes
    checkDeindexed(mesh);

    if (mesh.TriPosNum() <= kTreeTriMax) {
        finished = orvfuzz::RunReporting([&] { buildTree(mesh); }, &report);
        if (!finished && !orvfuzz::IsGrowthRefusal(report)) {
            fprintf(stderr, "%s", report.c_str());
            FUZZ_CHECK(finished || orvfuzz::IsGrowthRefusal(report));
        }
    }
    return 0;
}
