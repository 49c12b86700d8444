#include "MeshFiles.h"

#include <assimp/postprocess.h>
#include <assimp/scene.h>
#include <assimp/Importer.hpp>

#include <cmath>
#include <memory>

#include "MeshTriangles.h"
#include "ORV_Mesh.h"

namespace orvtest {

const char* const kAssimpModelsDir = "/usr/share/assimp/models";

std::vector<Triangle> LoadMeshTriangles(const std::string& path) {
    std::unique_ptr<ORV::Mesh> pMesh(ORV::Mesh::Load(path.c_str(), true));
    return pMesh ? MeshTriangles(*pMesh) : std::vector<Triangle>();
}

std::string DemoMeshPath() { return std::string(ORV_SOURCE_DIR) + "/data/mesh/test_1.txt"; }

std::vector<Triangle> DemoTriangles() { return LoadMeshTriangles(DemoMeshPath()); }

namespace {

// The unit normal mapped from [-1, 1] to [0, 1] per channel; mid grey
// without a normal.
ORV::Color normalColour(const Triangle& tri) {
    ORV::Vec3 n = (tri.mPos[1] - tri.mPos[0]).Cross(tri.mPos[2] - tri.mPos[0]);
    float len = n.Length();
    if (!(len > 0.0f) || !std::isfinite(len)) return ORV::Color(0.5f, 0.5f, 0.5f, 1.0f);
    return ORV::Color(0.5f + 0.5f * n.x / len, 0.5f + 0.5f * n.y / len, 0.5f + 0.5f * n.z / len,
                      1.0f);
}

}  // namespace

std::vector<Triangle> ImportTriangles(const std::string& path, std::string* pError) {
    std::vector<Triangle> tris;
    Assimp::Importer importer;
    const aiScene* pScene =
        importer.ReadFile(path, aiProcess_Triangulate | aiProcess_JoinIdenticalVertices |
                                    aiProcess_SortByPType | aiProcess_PreTransformVertices);
    if (pScene == nullptr) {
        if (pError != nullptr) *pError = importer.GetErrorString();
        return tris;
    }
    for (unsigned m = 0; m < pScene->mNumMeshes; ++m) {
        const aiMesh& mesh = *pScene->mMeshes[m];
        for (unsigned f = 0; f < mesh.mNumFaces; ++f) {
            const aiFace& face = mesh.mFaces[f];
            if (face.mNumIndices != 3) continue;
            Triangle tri;
            for (int k = 0; k < 3; ++k) {
                const aiVector3D& v = mesh.mVertices[face.mIndices[k]];
                tri.mPos[k] = ORV::Vec3(v.x, v.y, v.z);
            }
            ORV::Color clr = normalColour(tri);
            for (int k = 0; k < 3; ++k) tri.mClr[k] = clr;
            tris.push_back(tri);
        }
    }
    return tris;
}

}  // namespace orvtest
