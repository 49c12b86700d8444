// ORV_Mesh.cpp - mesh loading from TokenTree files and deindexing (drawing is
// in ORV_MeshDraw.cpp, the one part that needs GL).
#include "ORV_Mesh.h"

#include <cmath>
#include <cstring>
#include <memory>

namespace ORV {

namespace {

typedef TokenTree::Token Token;

bool hasElements(const Token& section) { return !section.Child().IsNull(); }

// The text of the n-th token of a chain (for naming a bad number).
const char* siblingText(Token t, uint32_t n) {
    for (; n > 0 && !t.IsNull(); --n) t = t.Next();
    return t.IsNull() ? "" : t.mpText;
}

// Copies the three corners of triangle t from pVtx through its index triple
// into pOut, then makes the triple index pOut directly. The triple is read
// whole before it is overwritten.
template <typename T>
void expandTriangle(uint32_t* pTri, const T* pVtx, T* pOut, uint32_t t) {
    uint32_t k = 3 * t;
    for (uint32_t c = 0; c < 3; ++c) pOut[k + c] = pVtx[pTri[k + c]];
    for (uint32_t c = 0; c < 3; ++c) pTri[k + c] = k + c;
}

}  // namespace

// Allocates a zeroed array for a field; the report names the field.
#define ORV_MESH_ALLOC(field, Type, num) \
    do {                                 \
        field = new Type[num]();         \
        ORV_ASSERT_ALLOC(field);         \
    } while (0)

// Loads one optional attribute of init from its value and Face sections (vtx
// and faces, named pName and pFaceName) into mpVtx<Attr>, mVtx<Attr>Num,
// mpTri<Attr> and mTri<Attr>Num. A macro rather than a function so that every
// allocation report names its own field.
#define ORV_MESH_LOAD_OPTIONAL(Attr, Type, vtx, faces, pName, pFaceName)                     \
    do {                                                                                     \
        if (hasElements(vtx) && hasElements(faces)) {                                        \
            checkFaceNum(faces, pFaceName);                                                  \
            mVtx##Attr##Num = elementNum(vtx, pName);                                        \
            ORV_MESH_ALLOC(mpVtx##Attr, Type, mVtx##Attr##Num);                              \
            readValues(vtx, pName, mpVtx##Attr, mVtx##Attr##Num);                            \
            mTri##Attr##Num = elementNum(faces, pFaceName);                                  \
            ORV_MESH_ALLOC(mpTri##Attr, uint32_t, 3 * static_cast<size_t>(mTri##Attr##Num)); \
            readIndices(faces, pFaceName, mpTri##Attr, mTri##Attr##Num, mVtx##Attr##Num);    \
        }                                                                                    \
    } while (0)

Mesh::Mesh()
    : mpVtxPos(nullptr),
      mVtxPosNum(0),
      mpTriPos(nullptr),
      mTriPosNum(0),
      mpVtxNrm(nullptr),
      mVtxNrmNum(0),
      mpTriNrm(nullptr),
      mTriNrmNum(0),
      mpVtxClr(nullptr),
      mVtxClrNum(0),
      mpTriClr(nullptr),
      mTriClrNum(0),
      mpVtxTex(nullptr),
      mVtxTexNum(0),
      mpTriTex(nullptr),
      mTriTexNum(0) {}

Mesh::~Mesh() {
    delete[] mpVtxPos;
    delete[] mpTriPos;
    delete[] mpVtxNrm;
    delete[] mpTriNrm;
    delete[] mpVtxClr;
    delete[] mpTriClr;
    delete[] mpVtxTex;
    delete[] mpTriTex;
}

Mesh* Mesh::Load(const char* pFilename, bool deindex) {
    ORV_ASSERT_PARM(pFilename);
    return fromTree(TokenTree::Load(pFilename), deindex);
}

Mesh* Mesh::LoadText(char* pText, bool deindex) {
    return fromTree(TokenTree::Create(pText), deindex);
}

Mesh* Mesh::fromTree(TokenTree* pTokenTree, bool deindex) {
    // The tree and the mesh are held so that a report thrown by the program's
    // handler (Report::SetHandler) releases them on its way out.
    std::unique_ptr<TokenTree, void (*)(TokenTree*)> pTree(pTokenTree, TokenTree::Destroy);
    if (pTree == nullptr) return nullptr;
    Token mesh = pTree->Find("Mesh");
    if (mesh.Child().IsNull()) return nullptr;
    Token first = mesh.Child();

    std::unique_ptr<Mesh> pMesh(new Mesh);
    ORV_ASSERT_ALLOC(pMesh);
    if (!pMesh->init(pTree.get(), first)) pMesh.reset();
    pTree.reset();
    if (deindex && pMesh != nullptr) pMesh->Deindex();
    return pMesh.release();
}

bool Mesh::init(TokenTree* pTree, const TokenTree::Token& first) {
    if (pTree == nullptr || first.IsNull()) return false;
    // Sections are found anywhere in the file, not only inside the Mesh block,
    // all in one walk of the tree.
    static const char* const kSectionNames[] = {"Position",
                                                "Face_Position",
                                                "Normal",
                                                "Face_Normal",
                                                "Color",
                                                "Face_Color",
                                                "TextureCoordinate",
                                                "Face_TextureCoordinate"};
    Token found[8];
    pTree->FindEach(kSectionNames, 8, found);
    const Token& pos = found[0];
    const Token& posTri = found[1];
    if (!hasElements(pos) || !hasElements(posTri)) return false;

    // Every array is sized from a count taken here, so the size limit is
    // checked in this one place.
    auto elementNum = [](const Token& section, const char* pSection) {
        uint32_t num = section.ChildNum();
        ORV_ASSERT_MESG(num <= MAX_MESH_ELEMENT_NUM,
                        "%s has too many elements (%u, more than %u)!!", pSection, num,
                        MAX_MESH_ELEMENT_NUM);
        return num;
    };

    // Reads every element's numbers into consecutive values (Vec3 or Color);
    // missing numbers stay 0, extra ones are ignored.
    auto readValues = [](const Token& section, const char* pSection, auto* pOut, uint32_t num) {
        const uint32_t valueNum = sizeof(*pOut) / sizeof(float);
        uint32_t k = 0;
        for (Token data = section.Child(); !data.IsNull() && k < num; data = data.Next(), ++k) {
            ORV_ASSERT(data.Child().IsNull() == false);
            float v[4] = {0.0f, 0.0f, 0.0f, 0.0f};
            uint32_t got = data.Child().AsArray(v, valueNum);
            for (uint32_t c = 0; c < got; ++c) {
                float value = v[c];
                // The tree's plane maths cannot work with infinities or NaN.
                ORV_ASSERT_MESG(std::isfinite(value),
                                "%s element %u: '%s' is not a finite number!!", pSection, k,
                                siblingText(data.Child(), c));
            }
            std::memcpy(&pOut[k], v, sizeof(*pOut));
        }
    };

    // Reads every element's three indices into consecutive triples; each
    // must index the vtxNum values of its attribute.
    auto readIndices = [](const Token& section, const char* pSection, uint32_t* pOut, uint32_t num,
                          uint32_t vtxNum) {
        uint32_t k = 0;
        for (Token data = section.Child(); !data.IsNull() && k < num; data = data.Next(), ++k) {
            ORV_ASSERT(data.Child().IsNull() == false);
            int v[3] = {0, 0, 0};
            data.Child().AsArray(v, 3);
            for (uint32_t c = 0; c < 3; ++c) {
                int index = v[c];
                ORV_ASSERT_MESG((index >= 0) && (static_cast<uint32_t>(index) < vtxNum),
                                "%s element %u: index %d is out of range (%u values)!!", pSection,
                                k, index, vtxNum);
                pOut[3 * k + c] = static_cast<uint32_t>(index);
            }
        }
    };

    auto checkFaceNum = [this](const Token& tri, const char* pFaceSection) {
        ORV_ASSERT_MESG(tri.ChildNum() == mTriPosNum,
                        "%s count is inconsistent with Face_Position count!! (%d vs %d)",
                        pFaceSection, static_cast<int>(tri.ChildNum()),
                        static_cast<int>(mTriPosNum));
    };

    mVtxPosNum = elementNum(pos, "Position");
    ORV_MESH_ALLOC(mpVtxPos, Vec3, mVtxPosNum);
    readValues(pos, "Position", mpVtxPos, mVtxPosNum);
    mTriPosNum = elementNum(posTri, "Face_Position");
    ORV_MESH_ALLOC(mpTriPos, uint32_t, 3 * static_cast<size_t>(mTriPosNum));
    readIndices(posTri, "Face_Position", mpTriPos, mTriPosNum, mVtxPosNum);

    // Optional attributes: loaded only when both sections have elements.
    ORV_MESH_LOAD_OPTIONAL(Nrm, Vec3, found[2], found[3], "Normal", "Face_Normal");
    ORV_MESH_LOAD_OPTIONAL(Clr, Color, found[4], found[5], "Color", "Face_Color");
    ORV_MESH_LOAD_OPTIONAL(Tex, Vec3, found[6], found[7], "TextureCoordinate",
                           "Face_TextureCoordinate");
    return true;
}

void Mesh::Deindex() {
    if (mVtxPosNum == 0) return;
    ORV_ASSERT_MESG(mTriPosNum <= MAX_TRI_NUM, "too many triangles (%u)!!", mTriPosNum);
    uint32_t n = 3 * mTriPosNum;

    // Everything is allocated before the mesh changes.
    Vec3* pPos = new Vec3[n];
    ORV_ASSERT_ALLOC(pPos);
    Vec3* pNrm = nullptr;
    Color* pClr = nullptr;
    Vec3* pTex = nullptr;
    if (mVtxNrmNum != 0) {
        pNrm = new Vec3[n];
        ORV_ASSERT_ALLOC(pNrm);
    }
    if (mVtxClrNum != 0) {
        pClr = new Color[n];
        ORV_ASSERT_ALLOC(pClr);
    }
    if (mVtxTexNum != 0) {
        pTex = new Vec3[n];
        ORV_ASSERT_ALLOC(pTex);
    }

    for (uint32_t t = 0; t < mTriPosNum; ++t) {
        expandTriangle(mpTriPos, mpVtxPos, pPos, t);
        if (pNrm) expandTriangle(mpTriNrm, mpVtxNrm, pNrm, t);
        if (pClr) expandTriangle(mpTriClr, mpVtxClr, pClr, t);
        if (pTex) expandTriangle(mpTriTex, mpVtxTex, pTex, t);
    }

    delete[] mpVtxPos;
    mpVtxPos = pPos;
    mVtxPosNum = n;
    if (pNrm) {
        delete[] mpVtxNrm;
        mpVtxNrm = pNrm;
        mVtxNrmNum = n;
    }
    if (pClr) {
        delete[] mpVtxClr;
        mpVtxClr = pClr;
        mVtxClrNum = n;
    }
    if (pTex) {
        delete[] mpVtxTex;
        mpVtxTex = pTex;
        mVtxTexNum = n;
    }
}

}  // namespace ORV
