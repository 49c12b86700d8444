// MeshTriangles.cpp - the triangle records of a loaded mesh.
#include "MeshTriangles.h"

#include "ORV_Mesh.h"

std::vector<Triangle> MeshTriangles(const ORV::Mesh& mesh) {
    std::vector<Triangle> list;
    list.reserve(mesh.TriPosNum());
    const ORV::Vec3* pPos = mesh.VtxPos();
    const uint32_t* pTriPos = mesh.TriPos();
    const ORV::Color* pClr = mesh.VtxClr();
    const uint32_t* pTriClr = mesh.TriClr();
    for (uint32_t i = 0; i < mesh.TriPosNum(); ++i) {
        Triangle tri;
        for (uint32_t k = 0; k < 3; ++k) {
            tri.mPos[k] = pPos[pTriPos[3 * i + k]];
            if (mesh.TriClrNum() != 0) tri.mClr[k] = pClr[pTriClr[3 * i + k]];
            else tri.mClr[k] = ORV::Color(tri.mPos[k]);
        }
        list.push_back(tri);
    }
    return list;
}
