// MeshImportDesktop.cpp - Assimp's scene as Orvane's mesh text: the formats
// the desktop program reads besides its own.
#include "MeshImport.h"

#include "ORV_Mesh.h"

#include <assimp/postprocess.h>
#include <assimp/scene.h>
#include <assimp/Importer.hpp>

#include <strings.h>
#include <cmath>
#include <cstdio>
#include <utility>
#include <vector>

namespace meshimport {

namespace {

// The whole scene as one indexed mesh. Colours are indexed separately from
// positions: vertex colours where a part of the scene has them, otherwise
// one colour per face.
struct Gathered {
    std::vector<aiVector3D> pos;
    std::vector<uint32_t> tri;  // position triples
    std::vector<aiColor4D> clr;
    std::vector<uint32_t> triClr;
    std::vector<aiVector3D> nrm;  // one per position, when every part has them
    std::vector<aiVector3D> tex;  // likewise
    bool allNormals = true;
    bool allTexCoords = true;
    size_t vertexColoured = 0;
    size_t skippedFaces = 0;
};

// The colour rule for faces without vertex colours: the unit face normal
// mapped from [-1, 1] to [0, 1] per channel, so faces that look different
// ways differ in colour. A face without a normal is mid grey.
aiColor4D normalColour(const aiVector3D& a, const aiVector3D& b, const aiVector3D& c) {
    aiVector3D n = (b - a) ^ (c - a);
    const float len = n.Length();
    if (!(len > 0.0f) || !std::isfinite(len)) return aiColor4D(0.5f, 0.5f, 0.5f, 1.0f);
    n /= len;
    return aiColor4D(0.5f + 0.5f * n.x, 0.5f + 0.5f * n.y, 0.5f + 0.5f * n.z, 1.0f);
}

bool finite(const aiVector3D& v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

bool gather(const aiScene& scene, Gathered* pOut, std::string* pWhy) {
    Gathered& g = *pOut;
    for (unsigned m = 0; m < scene.mNumMeshes; ++m) {
        const aiMesh& mesh = *scene.mMeshes[m];
        if (!(mesh.mPrimitiveTypes & aiPrimitiveType_TRIANGLE)) {
            g.skippedFaces += mesh.mNumFaces;
            continue;
        }
        const uint32_t base = static_cast<uint32_t>(g.pos.size());
        const uint32_t clrBase = static_cast<uint32_t>(g.clr.size());
        const bool vertexColours = mesh.HasVertexColors(0);
        for (unsigned v = 0; v < mesh.mNumVertices; ++v) {
            if (!finite(mesh.mVertices[v])) {
                *pWhy = "vertex " + std::to_string(g.pos.size()) + " is not a finite point";
                return false;
            }
            g.pos.push_back(mesh.mVertices[v]);
            if (vertexColours) g.clr.push_back(mesh.mColors[0][v]);
        }
        if (!mesh.HasNormals()) g.allNormals = false;
        if (!mesh.HasTextureCoords(0)) g.allTexCoords = false;
        for (unsigned v = 0; g.allNormals && v < mesh.mNumVertices; ++v)
            g.nrm.push_back(finite(mesh.mNormals[v]) ? mesh.mNormals[v] : aiVector3D(0.0f));
        for (unsigned v = 0; g.allTexCoords && v < mesh.mNumVertices; ++v)
            g.tex.push_back(finite(mesh.mTextureCoords[0][v]) ? mesh.mTextureCoords[0][v]
                                                              : aiVector3D(0.0f));
        for (unsigned f = 0; f < mesh.mNumFaces; ++f) {
            const aiFace& face = mesh.mFaces[f];
            if (face.mNumIndices != 3) {
                ++g.skippedFaces;
                continue;
            }
            for (int k = 0; k < 3; ++k) g.tri.push_back(base + face.mIndices[k]);
            if (vertexColours) {
                for (int k = 0; k < 3; ++k) g.triClr.push_back(clrBase + face.mIndices[k]);
                ++g.vertexColoured;
            } else {
                const uint32_t id = static_cast<uint32_t>(g.clr.size());
                g.clr.push_back(normalColour(mesh.mVertices[face.mIndices[0]],
                                             mesh.mVertices[face.mIndices[1]],
                                             mesh.mVertices[face.mIndices[2]]));
                for (int k = 0; k < 3; ++k) g.triClr.push_back(id);
            }
        }
    }
    return true;
}

// total + uses x n, at most UINT64_MAX.
uint64_t addTimes(uint64_t total, uint64_t uses, uint64_t n) {
    if (n != 0 && uses > (UINT64_MAX - total) / n) return UINT64_MAX;
    return total + uses * n;
}

// The sizes of the text a scene makes. sizeOf counts them over its nodes
// before its instances are expanded, each mesh as often as nodes place it,
// by gather's rules; expanding can still add a few positions (a part's
// points and lines merged into its triangles), so the gathered sizes are
// checked again.
struct TextSize {
    uint64_t pos = 0, tri = 0, clr = 0;
    bool normals = true, texCoords = true;
};

TextSize sizeOf(const aiScene& scene) {
    std::vector<uint64_t> uses(scene.mNumMeshes, 0);
    std::vector<const aiNode*> stack;
    if (scene.mRootNode != nullptr) stack.push_back(scene.mRootNode);
    while (!stack.empty()) {
        const aiNode& node = *stack.back();
        stack.pop_back();
        for (unsigned i = 0; i < node.mNumMeshes; ++i)
            if (node.mMeshes[i] < scene.mNumMeshes) ++uses[node.mMeshes[i]];
        for (unsigned i = 0; i < node.mNumChildren; ++i) stack.push_back(node.mChildren[i]);
    }
    TextSize s;
    for (unsigned m = 0; m < scene.mNumMeshes; ++m) {
        const aiMesh& mesh = *scene.mMeshes[m];
        if (uses[m] == 0 || !(mesh.mPrimitiveTypes & aiPrimitiveType_TRIANGLE)) continue;
        uint64_t triNum = 0;
        for (unsigned f = 0; f < mesh.mNumFaces; ++f) triNum += mesh.mFaces[f].mNumIndices == 3;
        s.pos = addTimes(s.pos, uses[m], mesh.mNumVertices);
        s.tri = addTimes(s.tri, uses[m], triNum);
        s.clr = addTimes(s.clr, uses[m], mesh.HasVertexColors(0) ? mesh.mNumVertices : triNum);
        s.normals = s.normals && mesh.HasNormals();
        s.texCoords = s.texCoords && mesh.HasTextureCoords(0);
    }
    return s;
}

// Why the mesh reader would refuse a text of these sizes, in its words and
// with its limits; empty when it takes it.
std::string beyondReader(const TextSize& s) {
    const std::pair<const char*, uint64_t> sections[] = {
        {"Position", s.pos}, {"Face_Position", s.tri}, {"Color", s.clr}};
    for (const auto& section : sections) {
        if (section.second > ORV::MAX_MESH_ELEMENT_NUM)
            return std::string(section.first) + " has too many elements (" +
                   std::to_string(section.second) + ", more than " +
                   std::to_string(ORV::MAX_MESH_ELEMENT_NUM) + ")";
    }
    // "Mesh { }"; a section's name and braces; an element's label and the
    // braces around its numbers (meshText below).
    auto tokens = [](uint64_t num, uint64_t numbers) { return 3 + num * (3 + numbers); };
    const uint64_t faces = tokens(s.tri, 3);
    uint64_t total = 3 + tokens(s.pos, 3) + faces + tokens(s.clr, 4) + faces;
    if (s.normals) total += tokens(s.pos, 3) + faces;
    if (s.texCoords) total += tokens(s.pos, 3) + faces;
    if (total > ORV::MAX_TOKEN_NUM)
        return "too many tokens (" + std::to_string(total) + ", more than " +
               std::to_string(ORV::MAX_TOKEN_NUM) + ")";
    return "";
}

// Numbers round-trip exactly: nine significant digits recover every float.
void appendNumbers(std::string& text, const float* pValue, int num) {
    char buf[24];
    for (int i = 0; i < num; ++i) {
        float v = std::isfinite(pValue[i]) ? pValue[i] : 0.0f;
        std::snprintf(buf, sizeof buf, " %.9g", double(v));
        text += buf;
    }
}

const float* floats(const aiVector3D& v) { return &v.x; }
const float* floats(const aiColor4D& c) { return &c.r; }

template <typename T>
void appendValues(std::string& text, const char* pName, const std::vector<T>& values, int num) {
    text += std::string("    ") + pName + "\n    {\n";
    for (size_t i = 0; i < values.size(); ++i) {
        text += "        " + std::to_string(i) + " {";
        appendNumbers(text, floats(values[i]), num);
        text += " }\n";
    }
    text += "    }\n";
}

void appendFaces(std::string& text, const char* pName, const std::vector<uint32_t>& triples) {
    text += std::string("    ") + pName + "\n    {\n";
    for (size_t i = 0; i < triples.size() / 3; ++i) {
        text += "        " + std::to_string(i) + " { " + std::to_string(triples[3 * i]) + " " +
                std::to_string(triples[3 * i + 1]) + " " + std::to_string(triples[3 * i + 2]) +
                " }\n";
    }
    text += "    }\n";
}

std::string meshText(const Gathered& g, const std::string& source) {
    std::string text = "// Converted by orvane-bsp from " + source + "\nMesh\n{\n";
    appendValues(text, "Position", g.pos, 3);
    appendFaces(text, "Face_Position", g.tri);
    if (g.allNormals && !g.nrm.empty()) {
        appendValues(text, "Normal", g.nrm, 3);
        appendFaces(text, "Face_Normal", g.tri);
    }
    appendValues(text, "Color", g.clr, 4);
    appendFaces(text, "Face_Color", g.triClr);
    if (g.allTexCoords && !g.tex.empty()) {
        appendValues(text, "TextureCoordinate", g.tex, 3);
        appendFaces(text, "Face_TextureCoordinate", g.tri);
    }
    text += "}\n";
    return text;
}

}  // namespace

bool ToText(const std::string& path, std::string* pText, Summary* pSummary, std::string* pWhy) {
    Assimp::Importer importer;
    // Points and lines come out as meshes of their own, which are skipped.
    const aiScene* pScene =
        importer.ReadFile(path, aiProcess_Triangulate | aiProcess_JoinIdenticalVertices |
                                    aiProcess_SortByPType | aiProcess_ValidateDataStructure);
    // A small file may place a mesh many times over: what the mesh reader
    // would refuse is refused before the instances are expanded.
    if (pScene != nullptr) {
        *pWhy = beyondReader(sizeOf(*pScene));
        if (!pWhy->empty()) return false;
        pScene = importer.ApplyPostProcessing(aiProcess_PreTransformVertices);
    }
    if (pScene == nullptr) {
        *pWhy = importer.GetErrorString();
        return false;
    }
    Gathered g;
    if (!gather(*pScene, &g, pWhy)) return false;
    const size_t triNum = g.tri.size() / 3;
    if (triNum == 0) {
        *pWhy = "holds no triangles";
        return false;
    }
    *pWhy =
        beyondReader(TextSize{g.pos.size(), triNum, g.clr.size(), g.allNormals, g.allTexCoords});
    if (!pWhy->empty()) return false;
    // The comment line holds the source's name: keep it on one line.
    std::string source = path;
    for (char& c : source)
        if (c == '\n' || c == '\r') c = ' ';
    *pText = meshText(g, source);
    if (pText->size() > ORV::MAX_FILE_SIZE) {
        *pWhy = "makes a text too large (" + std::to_string(pText->size()) + " bytes, more than " +
                std::to_string(ORV::MAX_FILE_SIZE) + ")";
        pText->clear();
        return false;
    }
    pSummary->triNum = triNum;
    pSummary->posNum = g.pos.size();
    pSummary->vertexColoured = g.vertexColoured;
    pSummary->skippedFaces = g.skippedFaces;
    pSummary->normals = g.allNormals && !g.nrm.empty();
    pSummary->texCoords = g.allTexCoords && !g.tex.empty();
    return true;
}

bool IsForeign(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    const size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return false;
    const std::string ext = path.substr(dot);
    if (ext.size() < 2 || strcasecmp(ext.c_str(), ".txt") == 0) return false;
    return Assimp::Importer().IsExtensionSupported(ext);
}

}  // namespace meshimport
