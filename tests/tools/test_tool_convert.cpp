// orvane-bsp convert on real files of Debian's assimp-testmodels: the output
// loads with ORV::Mesh::Load and holds the source's triangles, counted and
// read here straight from the source files.
#include <gtest/gtest.h>

#include <sys/resource.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>

#include "MeshFiles.h"
#include "ORV_Mesh.h"
#include "ToolRun.h"

using orvtest::AssimpModel;
using orvtest::RunTool;

namespace {

// Triangles a polygon of n corners becomes.
int fan(int n) { return n >= 3 ? n - 2 : 0; }

// Triangles of an OBJ file: one fan per "f" line.
int objTriangles(const std::string& path) {
    std::ifstream in(path);
    std::string line;
    int n = 0;
    while (std::getline(in, line)) {
        std::istringstream ss(line);
        std::string tag, ref;
        ss >> tag;
        if (tag != "f") continue;
        int corners = 0;
        while (ss >> ref) ++corners;
        n += fan(corners);
    }
    return n;
}

// Triangles of an ASCII STL file: its facets.
int stlTriangles(const std::string& path) {
    std::ifstream in(path);
    std::string word;
    int n = 0;
    while (in >> word) n += (word == "facet");
    return n;
}

// Triangles of faceNum face lines after vertexNum vertex lines, each face
// line starting with its corner count (OFF and ASCII PLY).
int faceLineTriangles(std::istream& in, int vertexNum, int faceNum) {
    std::string line;
    for (int i = 0; i < vertexNum; ++i) std::getline(in, line);
    int n = 0;
    for (int i = 0; i < faceNum; ++i) {
        int corners = 0;
        in >> corners;
        std::getline(in, line);
        n += fan(corners);
    }
    return n;
}

// Triangles of an OFF file: the header line gives the counts.
int offTriangles(const std::string& path) {
    std::ifstream in(path);
    std::string magic, rest;
    int vertexNum = 0, faceNum = 0;
    in >> magic >> vertexNum >> faceNum;
    std::getline(in, rest);
    return faceLineTriangles(in, vertexNum, faceNum);
}

// Triangles of an ASCII PLY file whose elements are vertices then faces.
int plyTriangles(const std::string& path) {
    std::ifstream in(path);
    std::string line;
    int vertexNum = 0, faceNum = 0;
    while (std::getline(in, line) && line.rfind("end_header", 0) != 0) {
        std::istringstream ss(line);
        std::string a, b;
        int count = 0;
        ss >> a >> b >> count;
        if (a == "element" && b == "vertex") vertexNum = count;
        if (a == "element" && b == "face") faceNum = count;
    }
    return faceLineTriangles(in, vertexNum, faceNum);
}

struct Converted {
    orvtest::ToolResult run;
    ORV::Mesh* pMesh = nullptr;
    ~Converted() { delete pMesh; }
};

void convert(const std::string& source, const orvtest::TempDir& dir, Converted* pOut) {
    const std::string out = dir.Path("converted.txt");
    pOut->run = RunTool({"convert", source, out});
    pOut->pMesh = ORV::Mesh::Load(out.c_str(), false);
}

struct Case {
    const char* pFile;
    int (*count)(const std::string&);
    int expected;  // from reading the file by eye, so the counters are checked too
};

TEST(ToolConvert, RealFilesLoadWithTheSourcesTriangleCount) {
    const Case cases[] = {
        {"OBJ/spider.obj", objTriangles, 1368},
        {"PLY/Wuson.ply", plyTriangles, 3732},
        {"OFF/Cube.off", offTriangles, 12},
        {"STL/Spider_ascii.stl", stlTriangles, 1368},
    };
    for (const Case& c : cases) {
        const std::string source = AssimpModel(c.pFile);
        const int expected = c.count(source);
        EXPECT_EQ(expected, c.expected) << c.pFile;
        orvtest::TempDir dir;
        Converted conv;
        convert(source, dir, &conv);
        EXPECT_EQ(conv.run.exitCode, 0) << c.pFile << ": " << conv.run.err;
        ASSERT_NE(conv.pMesh, nullptr) << c.pFile;
        EXPECT_EQ(conv.pMesh->TriPosNum(), uint32_t(expected)) << c.pFile;
        EXPECT_NE(conv.run.out.find(std::to_string(expected) + " triangles"), std::string::npos)
            << conv.run.out;
    }
}

using Corner = std::array<float, 3>;
using Tri = std::array<Corner, 3>;

// Assimp reads decimals with its own conversion, which may differ from the
// correctly rounded one in the last bit.
bool near(const Corner& a, const Corner& b) {
    for (int i = 0; i < 3; ++i)
        if (std::fabs(a[i] - b[i]) > 1e-6f * std::max(1.0f, std::fabs(a[i]))) return false;
    return true;
}

// The same triangle whichever corner comes first; the winding must stay.
bool sameTriangle(const Tri& a, const Tri& b) {
    for (int r = 0; r < 3; ++r)
        if (near(a[0], b[r]) && near(a[1], b[(r + 1) % 3]) && near(a[2], b[(r + 2) % 3]))
            return true;
    return false;
}

// spider.obj holds only triangles and no transforms: the converted mesh must
// hold its triangles one for one, corner for corner and with the same
// winding.
TEST(ToolConvert, ObjTrianglesComeThroughOneForOne) {
    const std::string source = AssimpModel("OBJ/spider.obj");
    std::ifstream in(source);
    std::vector<Corner> v;
    std::vector<Tri> expected;
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream ss(line);
        std::string tag;
        ss >> tag;
        if (tag == "v") {
            Corner c;
            std::string x, y, z;
            ss >> x >> y >> z;
            c = {std::strtof(x.c_str(), nullptr), std::strtof(y.c_str(), nullptr),
                 std::strtof(z.c_str(), nullptr)};
            v.push_back(c);
        } else if (tag == "f") {
            Tri t;
            std::string ref;
            for (int k = 0; k < 3 && ss >> ref; ++k) t[k] = v[size_t(std::atoi(ref.c_str()) - 1)];
            expected.push_back(t);
        }
    }
    orvtest::TempDir dir;
    Converted conv;
    convert(source, dir, &conv);
    ASSERT_NE(conv.pMesh, nullptr) << conv.run.err;
    std::vector<Tri> got;
    for (uint32_t t = 0; t < conv.pMesh->TriPosNum(); ++t) {
        Tri tri;
        for (int k = 0; k < 3; ++k) {
            const ORV::Vec3& p = conv.pMesh->VtxPos()[conv.pMesh->TriPos()[3 * t + k]];
            tri[k] = {p.x, p.y, p.z};
        }
        got.push_back(tri);
    }
    ASSERT_EQ(got.size(), expected.size());
    std::vector<bool> used(got.size(), false);
    size_t unmatched = 0;
    for (const Tri& e : expected) {
        size_t i = 0;
        while (i < got.size() && (used[i] || !sameTriangle(e, got[i]))) ++i;
        if (i == got.size()) ++unmatched;
        else used[i] = true;
    }
    EXPECT_EQ(unmatched, 0u);
    // The file has normals and texture coordinates for every corner.
    EXPECT_EQ(conv.pMesh->mTriNrmNum, conv.pMesh->TriPosNum());
    EXPECT_EQ(conv.pMesh->mTriTexNum, conv.pMesh->TriPosNum());
}

// Each corner takes the colour written on its vertex line.
TEST(ToolConvert, VertexColoursAreKept) {
    const std::string source = AssimpModel("OBJ/cube_with_vertexcolors.obj");
    std::ifstream in(source);
    std::map<Corner, std::array<float, 3>> colourAt;
    std::string tag;
    while (in >> tag) {
        if (tag != "v") {
            std::string rest;
            std::getline(in, rest);
            continue;
        }
        float x, y, z, r, g, b;
        in >> x >> y >> z >> r >> g >> b;
        colourAt[{x, y, z}] = {r, g, b};
    }
    ASSERT_EQ(colourAt.size(), 8u);
    orvtest::TempDir dir;
    Converted conv;
    convert(source, dir, &conv);
    ASSERT_NE(conv.pMesh, nullptr) << conv.run.err;
    EXPECT_NE(conv.run.out.find("colours from vertex colours"), std::string::npos) << conv.run.out;
    ASSERT_EQ(conv.pMesh->TriClrNum(), conv.pMesh->TriPosNum());
    EXPECT_EQ(conv.pMesh->TriPosNum(), 12u);
    for (uint32_t i = 0; i < 3 * conv.pMesh->TriPosNum(); ++i) {
        const ORV::Vec3& p = conv.pMesh->VtxPos()[conv.pMesh->TriPos()[i]];
        const ORV::Color& c = conv.pMesh->VtxClr()[conv.pMesh->TriClr()[i]];
        auto it = colourAt.find({p.x, p.y, p.z});
        ASSERT_NE(it, colourAt.end()) << i;
        EXPECT_FLOAT_EQ(c.x, it->second[0]) << i;
        EXPECT_FLOAT_EQ(c.y, it->second[1]) << i;
        EXPECT_FLOAT_EQ(c.z, it->second[2]) << i;
        EXPECT_FLOAT_EQ(c.w, 1.0f) << i;
    }
}

// Without vertex colours every face is coloured from its own normal n:
// (0.5 + 0.5 n, 1), the same at its three corners.
TEST(ToolConvert, FacesWithoutColoursTakeTheirNormalsColour) {
    orvtest::TempDir dir;
    Converted conv;
    convert(AssimpModel("OFF/Cube.off"), dir, &conv);
    ASSERT_NE(conv.pMesh, nullptr) << conv.run.err;
    EXPECT_NE(conv.run.out.find("colours from face normals"), std::string::npos) << conv.run.out;
    ORV::Mesh& m = *conv.pMesh;
    ASSERT_EQ(m.TriClrNum(), m.TriPosNum());
    for (uint32_t t = 0; t < m.TriPosNum(); ++t) {
        const ORV::Vec3 a = m.VtxPos()[m.TriPos()[3 * t]];
        const ORV::Vec3 b = m.VtxPos()[m.TriPos()[3 * t + 1]];
        const ORV::Vec3 c = m.VtxPos()[m.TriPos()[3 * t + 2]];
        ORV::Vec3 n = (b - a).Cross(c - a);
        n = n / n.Length();
        for (int k = 0; k < 3; ++k) {
            const ORV::Color& clr = m.VtxClr()[m.TriClr()[3 * t + k]];
            EXPECT_NEAR(clr.x, 0.5f + 0.5f * n.x, 1e-6) << t;
            EXPECT_NEAR(clr.y, 0.5f + 0.5f * n.y, 1e-6) << t;
            EXPECT_NEAR(clr.z, 0.5f + 0.5f * n.z, 1e-6) << t;
            EXPECT_EQ(clr.w, 1.0f);
        }
    }
}

// Files Assimp cannot read, files without triangles and outputs that cannot
// be written: status 1, a message naming the file, and nothing written.
TEST(ToolConvert, RefusalsNameTheFile) {
    orvtest::TempDir dir;
    const std::string out = dir.Path("out.txt");
    struct Bad {
        std::string in;
        std::string message;
    } bad[] = {
        {AssimpModel("invalid/malformed.obj"), ": OBJ: Invalid face index."},
        {AssimpModel("invalid/empty.ply"),
         ": File " + AssimpModel("invalid/empty.ply") + " is empty."},
#if !defined(__SANITIZE_ADDRESS__)
        // Its header promises 3.5 billion vertices; the sanitizer cannot
        // bound the heap, so only the plain build tries it.
        {AssimpModel("invalid/OutOfMemory.off"), ": std::bad_alloc"},
#endif
        {AssimpModel("OBJ/testpoints.obj"), ": holds no triangles"},
        {"/nonexistent.obj", ": No such file or directory"},
    };
    for (const Bad& b : bad) {
        auto r = RunTool({"convert", b.in, out});
        EXPECT_EQ(r.exitCode, 1) << b.in;
        EXPECT_EQ(r.signal, 0) << b.in;
        EXPECT_EQ(r.err.rfind("orvane-bsp: error: " + b.in + b.message, 0), 0u) << r.err;
        EXPECT_FALSE(orvtest::FileExists(out)) << b.in;
    }
    auto r = RunTool({"convert", AssimpModel("OFF/Cube.off"), dir.Path("no/such/folder.txt")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "orvane-bsp: error: " + dir.Path("no/such/folder.txt") +
                         ": cannot be written: its folder does not exist\n");
}

#if !defined(__SANITIZE_ADDRESS__)
// A scene within the reader's limits whose text does not fit in the heap
// ends in the tool's error, never in std::terminate. The heap is bounded
// here, far below what the tool allows itself (the tool inherits the bound;
// the sanitizer cannot run so bounded).
TEST(ToolConvert, RunningOutOfMemoryIsAnError) {
    orvtest::TempDir dir;
    const std::string scene = orvtest::WriteInstancedGltf(dir, 4096, 300, false);
    rlimit saved;
    ASSERT_EQ(getrlimit(RLIMIT_DATA, &saved), 0);
    rlimit bounded = saved;
    bounded.rlim_cur = rlim_t(256) << 20;
    ASSERT_EQ(setrlimit(RLIMIT_DATA, &bounded), 0);
    auto r = RunTool({"convert", scene, dir.Path("out.txt")});
    setrlimit(RLIMIT_DATA, &saved);
    EXPECT_EQ(r.signal, 0);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "orvane-bsp: error: out of memory\n");
    EXPECT_FALSE(orvtest::FileExists(dir.Path("out.txt")));
}
#endif

}  // namespace
