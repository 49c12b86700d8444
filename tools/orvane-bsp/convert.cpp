// convert.cpp - orvane-bsp convert: any mesh that Assimp reads into Orvane's
// mesh text format, triangulated, with colours, normals and texture
// coordinates where the source has them.
#include "Tool.h"

#include <CLI/CLI.hpp>
#include <assimp/Importer.hpp>
#include <assimp/postprocess.h>
#include <assimp/scene.h>

#include <sys/resource.h>
#include <sys/stat.h>

#include <cmath>
#include <cstdio>
#include <string>

namespace orvbsp {

namespace {

struct ConvertOptions {
    std::string in;
    std::string out;
};

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
    size_t vertexColoured = 0;  // triangles coloured from vertex colours
    size_t skippedFaces = 0;    // points and lines
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

void gather(const aiScene& scene, const std::string& path, Gathered* pOut) {
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
            if (!finite(mesh.mVertices[v]))
                Fail(path, "vertex " + std::to_string(g.pos.size()) + " is not a finite point");
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
    return text + "}\n";
}

// A file whose header promises billions of elements makes Assimp allocate
// them before it finds the data missing. Bound this process's heap by the
// file's size, so such a file fails to allocate instead of taking the
// machine's memory. (AddressSanitizer reserves its shadow memory as data,
// so sanitized builds go without the bound.)
void boundMemory(const std::string& path) {
#if !defined(__SANITIZE_ADDRESS__)
    struct stat st;
    if (stat(path.c_str(), &st) != 0) return;
    const rlim_t limit = (rlim_t(1) << 30) + 64 * rlim_t(st.st_size);
    struct rlimit current;
    if (getrlimit(RLIMIT_DATA, &current) != 0) return;
    if (current.rlim_cur != RLIM_INFINITY && current.rlim_cur <= limit) return;
    struct rlimit bounded = current;
    bounded.rlim_cur = limit;
    setrlimit(RLIMIT_DATA, &bounded);
#else
    (void)path;
#endif
}

void convert(const ConvertOptions& opt) {
    CheckReadable(opt.in);
    CheckWritable(opt.out);
    boundMemory(opt.in);
    Assimp::Importer importer;
    // Points and lines come out as meshes of their own, which are skipped.
    const aiScene* pScene = importer.ReadFile(
        opt.in, aiProcess_Triangulate | aiProcess_JoinIdenticalVertices | aiProcess_SortByPType |
                    aiProcess_PreTransformVertices | aiProcess_ValidateDataStructure);
    if (pScene == nullptr) Fail(opt.in, importer.GetErrorString());
    Gathered g;
    gather(*pScene, opt.in, &g);
    const size_t triNum = g.tri.size() / 3;
    if (triNum == 0) Fail(opt.in, "holds no triangles");
    if (triNum > 0x7FFFFFFFu / 3) Fail(opt.in, "holds too many triangles");
    // The comment line holds the source's name: keep it on one line.
    std::string source = opt.in;
    for (char& c : source)
        if (c == '\n' || c == '\r') c = ' ';
    WriteFile(opt.out, meshText(g, source));

    std::printf("%s: %zu triangles, %zu positions; colours from %s; %s; %s\n", opt.out.c_str(),
                triNum, g.pos.size(),
                g.vertexColoured == triNum ? "vertex colours"
                : g.vertexColoured == 0    ? "face normals"
                                           : "vertex colours and face normals",
                g.allNormals && !g.nrm.empty() ? "normals" : "no normals",
                g.allTexCoords && !g.tex.empty() ? "texture coordinates" : "no texture coordinates");
    if (g.skippedFaces != 0)
        std::printf("%s: %zu points and lines left out\n", opt.in.c_str(), g.skippedFaces);
}

}  // namespace

void AddConvert(CLI::App& app, int* pStatus) {
    static ConvertOptions sOpt;
    CLI::App* pCmd = app.add_subcommand(
        "convert", "convert a mesh of any format Assimp reads into Orvane's mesh text format");
    pCmd->footer(
        "Reads OBJ, PLY, OFF, STL, glTF and every other format Assimp reads; polygons are "
        "triangulated, points and lines left out. Colours come from the file's vertex colours "
        "where it has them; other faces get one colour each from their unit normal n: "
        "(0.5 + 0.5 n, 1). Normals and texture coordinates are kept where every part of the "
        "file has them.");
    pCmd->add_option("IN", sOpt.in, "mesh file in any format Assimp reads")->required();
    pCmd->add_option("OUT", sOpt.out, "mesh text file to write")->required();
    pCmd->callback([pStatus] {
        convert(sOpt);
        *pStatus = 0;
    });
}

}  // namespace orvbsp
