// Opening a mesh file by its kind: Orvane's mesh text as ORV::Mesh::Load
// reads it, any other format Assimp reads converted in memory. The
// conversion's triangles are checked against Assimp's own reading of the
// file (tests/support/MeshFiles), without the text in between.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <string>

#include "ChildProcess.h"
#include "MeshFiles.h"
#include "MeshImport.h"
#include "MeshTriangles.h"
#include "ORV_Mesh.h"
#include "Shapes.h"
#include "TempDir.h"

using orvtest::TempDir;

namespace {

std::vector<Triangle> openTriangles(const std::string& path, std::string* pWhy) {
    std::unique_ptr<ORV::Mesh> pMesh(meshimport::Open(path, pWhy));
    return pMesh ? MeshTriangles(*pMesh) : std::vector<Triangle>();
}

}  // namespace

TEST(MeshImport, TheExtensionDecidesWhoReadsTheFile) {
    EXPECT_TRUE(meshimport::IsForeign("models/wuson.obj"));
    EXPECT_TRUE(meshimport::IsForeign("SPIDER.STL"));
    EXPECT_TRUE(meshimport::IsForeign("a.b/scene.gltf"));
    EXPECT_FALSE(meshimport::IsForeign("data/mesh/test_1.txt"));
    EXPECT_FALSE(meshimport::IsForeign("MESH.TXT"));
    EXPECT_FALSE(meshimport::IsForeign("mesh"));
    EXPECT_FALSE(meshimport::IsForeign("models.obj/mesh"));
    EXPECT_FALSE(meshimport::IsForeign("mesh.unknownformat"));
    EXPECT_FALSE(meshimport::IsForeign("mesh."));
}

TEST(MeshImport, ForeignFileBecomesItsOwnTrianglesInMemory) {
    const std::string path = std::string(orvtest::kAssimpModelsDir) + "/OBJ/WusonOBJ.obj";
    std::string error, why;
    std::vector<Triangle> expected = orvtest::ImportTriangles(path, &error);
    ASSERT_FALSE(expected.empty()) << error;
    std::vector<Triangle> got = openTriangles(path, &why);
    EXPECT_EQ(why, "");
    ASSERT_EQ(got.size(), expected.size());
    for (size_t i = 0; i < got.size(); ++i) {
        for (int k = 0; k < 3; ++k) {
            // Nine digits in the text bring every float back exactly.
            const ORV::Vec3 &a = got[i].mPos[k], &b = expected[i].mPos[k];
            ASSERT_TRUE(a.x == b.x && a.y == b.y && a.z == b.z)
                << "triangle " << i << " corner " << k;
            EXPECT_NEAR(got[i].mClr[k].x, expected[i].mClr[k].x, 1e-5) << "triangle " << i;
            EXPECT_NEAR(got[i].mClr[k].z, expected[i].mClr[k].z, 1e-5) << "triangle " << i;
        }
    }

    // Orvane's own text under a name Assimp does not claim is read as text.
    TempDir dir;
    std::string text =
        "Mesh { Position { 0 { 0 0 0 } 1 { 2 0 0 } 2 { 0 3 0 } }\n"
        "Face_Position { 0 { 0 1 2 } } }\n";
    got = openTriangles(dir.Write("triangle.mesh-text", text), &why);
    ASSERT_EQ(got.size(), 1u) << why;
    EXPECT_EQ(got[0].mPos[2].y, 3.0f);
}

TEST(MeshImport, AFileThatCannotBeReadSaysWhy) {
    TempDir dir;
    std::string why;
    EXPECT_EQ(meshimport::Open(dir.Path("missing.obj"), &why), nullptr);
    EXPECT_EQ(why, "No such file or directory");
    EXPECT_EQ(meshimport::Open(dir.Path(""), &why), nullptr);
    EXPECT_EQ(why, "is a folder, not a file");
    EXPECT_EQ(meshimport::Open(dir.Write("empty.txt", "Mesh { }"), &why), nullptr);
    EXPECT_EQ(why, "holds no mesh (a Mesh block with Position and Face_Position sections)");
    // Lines only: Assimp reads them, but there is no triangle to show.
    EXPECT_EQ(meshimport::Open(dir.Write("lines.obj", "v 0 0 0\nv 1 0 0\nl 1 2\n"), &why), nullptr);
    EXPECT_EQ(why, "holds no triangles");
    EXPECT_EQ(meshimport::Open(dir.Write("noise.ply", "not a ply file\n"), &why), nullptr);
    EXPECT_FALSE(why.empty());

    // Malformed text ends in the reader's report, then a line names the file.
    const std::string broken = dir.Write("broken.txt", "Mesh\n{\n  Position {0 }\n}\n");
    auto r = orvtest::RunInChild([broken] {
        dup2(1, 2);
        std::string ignored;
        meshimport::Open(broken, &ignored);
    });
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.out.find("Mesg: 3: missing space after '{'\n"), std::string::npos) << r.out;
    const std::string naming = "The report above is about the mesh file '" + broken + "'.\n";
    EXPECT_EQ(r.out.substr(r.out.size() - std::min(r.out.size(), naming.size())), naming);
}

// A scene whose instances multiply a small mesh past what the mesh reader
// takes is refused before it is expanded, in the reader's words and figures;
// one within them converts whole.
TEST(MeshImport, AScenePastTheReadersLimitsIsRefusedBeforeItsText) {
    struct Case {
        uint32_t triangles, instances;
        bool normals;
        const char* pWhy;
    } cases[] = {
        // 1366 x 12288 corners.
        {4096, 1366, false, "Position has too many elements (16785408, more than 16777216)"},
        // 15974400 positions and normals, 5324800 triangles: "Mesh { }", each
        // section's name and braces, an element's label and braces around its
        // numbers: 3 + 6 x 3 + 2 x 6 x 15974400 + 3 x 6 x 5324800 + 7 x 5324800.
        {4096, 1300, true, "too many tokens (324812821, more than 268435456)"},
        {64, 3, true, ""},
    };
    for (const Case& c : cases) {
        TempDir dir;
        const std::string path =
            orvtest::WriteInstancedGltf(dir, c.triangles, c.instances, c.normals);
        std::string text, why;
        meshimport::Summary summary;
        const bool converted = meshimport::ToText(path, &text, &summary, &why);
        EXPECT_EQ(why, c.pWhy);
        EXPECT_EQ(converted, why.empty());
        EXPECT_EQ(summary.triNum, converted ? 192u : 0u);
        EXPECT_EQ(summary.posNum, converted ? 576u : 0u);
    }
}

TEST(MeshImport, TheBenchmarksMeshTextReadsBackBitForBit) {
    // Nine significant digits give back every float: the load benchmark's
    // text stands for the triangles it was made from.
    std::vector<Triangle> tris = orvtest::Torus(12, 7);
    tris.front().mPos[0] = ORV::Vec3(1e-45f, -0.0f, 3.4028235e38f);
    tris.back().mClr[0] = ORV::Color(0.1f, 0.2f, 1.0f / 3.0f, 0.5f);
    TempDir dir;
    std::string why;
    const std::vector<Triangle> back =
        openTriangles(dir.Write("torus.txt", orvtest::MeshText(tris)), &why);
    ASSERT_EQ(back.size(), tris.size()) << why;
    for (size_t t = 0; t < tris.size(); ++t) {
        for (int k = 0; k < 3; ++k) {
            ASSERT_EQ(std::memcmp(&back[t].mPos[k], &tris[t].mPos[k], sizeof(ORV::Vec3)), 0)
                << "triangle " << t << " corner " << k;
            // One colour per face: the first corner's.
            ASSERT_EQ(std::memcmp(&back[t].mClr[k], &tris[t].mClr[0], sizeof(ORV::Color)), 0)
                << "triangle " << t << " corner " << k;
        }
    }
}
