// ORV_Mesh.h - triangle meshes: loading from TokenTree files, deindexing and
// drawing with client vertex arrays.
#ifndef ORV_MESH_H
#define ORV_MESH_H

#include "ORV.h"
#include "ORV_TokenTree.h"

#include <cstdint>

namespace ORV {

// Positions, and optionally normals, colours and texture coordinates, each
// with its own value array and its own index triples (one per triangle). An
// absent attribute has null arrays and zero counts.
class Mesh {
public:
    // The most triangles a mesh may have: 3 x count corners must fit the
    // signed count that glDrawElements takes.
    static const uint32_t MAX_TRI_NUM = 0x7FFFFFFFu / 3;

    // Reads a mesh file (a TokenTree text with a Mesh block and the sections
    // Position and Face_Position, optionally Normal/Face_Normal,
    // Color/Face_Color, TextureCoordinate/Face_TextureCoordinate). Null when
    // the file is missing or holds no usable mesh; halts on malformed data.
    // With deindex the mesh is expanded to one value per corner. The caller
    // deletes the mesh.
    static Mesh* Load(const char* pFilename, bool deindex);
    // The same from a mesh text in memory, writable and NUL-terminated: it is
    // cut in place and stays the caller's. Null for a null text or one that
    // holds no usable mesh; halts on malformed data, with Load's reports.
    static Mesh* LoadText(char* pText, bool deindex);

    Mesh();
    ~Mesh();
    Mesh(const Mesh&) = delete;
    Mesh& operator=(const Mesh&) = delete;

private:
    // Load's and LoadText's common part: the mesh of a tree (null when it
    // holds none), which it destroys.
    static Mesh* fromTree(TokenTree* pTree, bool deindex);

public:
    // Fills a fresh mesh from a tree; false when Position or Face_Position
    // is missing or empty. Indices outside their arrays and non-finite
    // numbers halt before anything reads through them.
    bool init(TokenTree* pTree, const TokenTree::Token& first);

    // Expands every attribute to one value per triangle corner, so that
    // mpTriPos serves as the one index array; the index arrays become
    // 0, 1, ..., 3 x mTriPosNum - 1.
    void Deindex();
    // Draws the filled triangles with client arrays (current GL context
    // needed); absent attributes leave the caller's current ones in force.
    void Draw() const;
    // Draws each triangle's outline as a line loop, positions only.
    void DrawWire() const;

    uint32_t TriPosNum() const { return mTriPosNum; }
    Vec3* VtxPos() const { return mpVtxPos; }
    uint32_t* TriPos() const { return mpTriPos; }
    Color* VtxClr() const { return mpVtxClr; }
    uint32_t* TriClr() const { return mpTriClr; }
    uint32_t TriClrNum() const { return mTriClrNum; }

    Vec3* mpVtxPos;
    uint32_t mVtxPosNum;
    uint32_t* mpTriPos;  // 3 x mTriPosNum indices into mpVtxPos
    uint32_t mTriPosNum;
    Vec3* mpVtxNrm;
    uint32_t mVtxNrmNum;
    uint32_t* mpTriNrm;
    uint32_t mTriNrmNum;
    Color* mpVtxClr;
    uint32_t mVtxClrNum;
    uint32_t* mpTriClr;
    uint32_t mTriClrNum;
    Vec3* mpVtxTex;
    uint32_t mVtxTexNum;
    uint32_t* mpTriTex;
    uint32_t mTriTexNum;
};

}  // namespace ORV

#endif
