#include "MeshFiles.h"

#include <assimp/postprocess.h>
#include <assimp/scene.h>
#include <assimp/Importer.hpp>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <unordered_map>

#include "MeshImport.h"
#include "MeshTriangles.h"
#include "ORV_Mesh.h"

namespace orvtest {

const char* const kAssimpModelsDir = "/usr/share/assimp/models";

std::vector<Triangle> LoadMeshTriangles(const std::string& path) {
    std::unique_ptr<ORV::Mesh> pMesh(ORV::Mesh::Load(path.c_str(), true));
    return pMesh ? MeshTriangles(*pMesh) : std::vector<Triangle>();
}

std::vector<Triangle> OpenTriangles(const std::string& path) {
    std::string why;
    std::unique_ptr<ORV::Mesh> pMesh(meshimport::Open(path, &why));
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

std::string MeshText(const std::vector<Triangle>& tris) {
    // Corners are shared when their coordinates are bitwise equal.
    struct Key {
        uint32_t bits[3];
        bool operator==(const Key& o) const { return std::memcmp(bits, o.bits, 12) == 0; }
    };
    struct Hash {
        size_t operator()(const Key& k) const {
            uint64_t h = 0x9E3779B97F4A7C15ull;
            for (uint32_t b : k.bits) h = (h ^ b) * 0xBF58476D1CE4E5B9ull;
            return static_cast<size_t>(h ^ (h >> 31));
        }
    };
    std::unordered_map<Key, uint32_t, Hash> index;
    index.reserve(tris.size());
    std::vector<const ORV::Vec3*> pos;
    std::vector<uint32_t> faces;
    faces.reserve(3 * tris.size());
    for (const Triangle& tri : tris) {
        for (const ORV::Vec3& p : tri.mPos) {
            Key k;
            std::memcpy(k.bits, &p.x, 12);
            auto found = index.emplace(k, static_cast<uint32_t>(pos.size()));
            if (found.second) pos.push_back(&p);
            faces.push_back(found.first->second);
        }
    }

    std::string text = "// Written by the tests' MeshText\nMesh\n{\n";
    char line[160];
    auto open = [&](const char* pName) { text += std::string("    ") + pName + "\n    {\n"; };
    auto close = [&] { text += "    }\n"; };
    auto faceSection = [&](const char* pName, bool perFace) {
        open(pName);
        for (size_t t = 0; t < tris.size(); ++t) {
            const size_t a = perFace ? t : faces[3 * t], b = perFace ? t : faces[3 * t + 1],
                         c = perFace ? t : faces[3 * t + 2];
            std::snprintf(line, sizeof line, "        %zu { %zu %zu %zu }\n", t, a, b, c);
            text += line;
        }
        close();
    };
    open("Position");
    for (size_t i = 0; i < pos.size(); ++i) {
        std::snprintf(line, sizeof line, "        %zu { %.9g %.9g %.9g }\n", i, double(pos[i]->x),
                      double(pos[i]->y), double(pos[i]->z));
        text += line;
    }
    close();
    faceSection("Face_Position", false);
    open("Color");
    for (size_t t = 0; t < tris.size(); ++t) {
        const ORV::Color& c = tris[t].mClr[0];
        std::snprintf(line, sizeof line, "        %zu { %.9g %.9g %.9g %.9g }\n", t, double(c.x),
                      double(c.y), double(c.z), double(c.w));
        text += line;
    }
    close();
    faceSection("Face_Color", true);
    return text + "}\n";
}

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

std::string WriteInstancedGltf(const TempDir& dir, uint32_t triangles, uint32_t instances,
                               bool normals) {
    // Triangle t: (t, 0, 0), (t, 1, 0), (t, 0, 1); every normal +x.
    std::vector<float> data;
    for (uint32_t t = 0; t < triangles; ++t)
        for (float c : {float(t), 0.0f, 0.0f, float(t), 1.0f, 0.0f, float(t), 0.0f, 1.0f})
            data.push_back(c);
    const std::string bytes = std::to_string(data.size() * sizeof(float));
    if (normals) data.resize(2 * data.size(), 0.0f);
    for (size_t i = data.size() / 2; normals && i < data.size(); i += 3) data[i] = 1.0f;
    std::vector<uint8_t> bin(data.size() * sizeof(float));
    std::memcpy(bin.data(), data.data(), bin.size());
    dir.Write("scene.bin", bin);

    std::string nodes, refs;
    for (uint32_t i = 0; i < instances; ++i) {
        const std::string comma = i == 0 ? "" : ",";
        nodes += comma + "{\"mesh\":0,\"translation\":[0,0," + std::to_string(2 * i) + "]}";
        refs += comma + std::to_string(i);
    }
    const std::string count = std::to_string(3 * triangles);
    const std::string accessor = "\"componentType\":5126,\"type\":\"VEC3\",\"count\":" + count;
    std::string gltf =
        "{\"asset\":{\"version\":\"2.0\"},\"scene\":0,\"scenes\":[{\"nodes\":[" + refs +
        "]}],\"nodes\":[" + nodes +
        "],\"meshes\":[{\"primitives\":[{\"attributes\":{\"POSITION\":0" +
        (normals ? ",\"NORMAL\":1" : "") +
        "}}]}],\"buffers\":[{\"uri\":\"scene.bin\",\"byteLength\":" + std::to_string(bin.size()) +
        "}],\"bufferViews\":[{\"buffer\":0,\"byteLength\":" + bytes + "}";
    if (normals)
        gltf += ",{\"buffer\":0,\"byteOffset\":" + bytes + ",\"byteLength\":" + bytes + "}";
    gltf += "],\"accessors\":[{\"bufferView\":0," + accessor + ",\"min\":[0,0,0],\"max\":[" +
            std::to_string(triangles - 1) + ",1,1]}";
    if (normals) gltf += ",{\"bufferView\":1," + accessor + "}";
    return dir.Write("scene.gltf", gltf + "]}");
}

}  // namespace orvtest
