// Mesh loading from TokenTree files and deindexing (no GL needed).
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "ORV_Mesh.h"
#include "ReportText.h"
#include "SourceLine.h"
#include "TempDir.h"

using ORV::Mesh;
using orvtest::ReportText;
using orvtest::RunInChild;

namespace {

const char* kSource = "framework/ORV_Mesh.cpp";

// A report from Mesh code; the needle finds the macro's line, mesg empty for
// the kinds without a message.
std::string report(const std::string& kindExpr, const std::string& needle, int nth,
                   const std::string& func, const std::string& mesg) {
    std::string text = kindExpr +
                       "\nLine: " + std::to_string(orvtest::LineOf(kSource, needle, nth)) +
                       "\nFunc: " + func + "\nFile: " + kSource + "\n";
    return mesg.empty() ? text : text + "Mesg: " + mesg + "\n";
}

std::string initMesg(const std::string& expr, const std::string& mesg) {
    return report("ORV_ASSERT_MESG: " + expr, "ORV_ASSERT_MESG(" + expr, 1, "ORV::Mesh::init",
                  mesg);
}

// "Name { 0 { ... } 1 { ... } }", one element per entry.
std::string section(const std::string& name, const std::vector<std::string>& elements) {
    std::string s = name + " {\n";
    for (size_t i = 0; i < elements.size(); ++i)
        s += "  " + std::to_string(i) + " { " + elements[i] + " }\n";
    return s + "}\n";
}

// The square of quad_all_sections.txt, positions and triangles only.
std::string quadSections() {
    return section("Position", {"0 0 0", "1 0 0", "1 1 0", "0 1 0"}) +
           section("Face_Position", {"0 1 2", "0 2 3"});
}

std::string meshFile(const std::string& body) { return "Mesh {\n" + body + "}\n"; }

// A temporary folder whose every Write makes a new mesh file.
class TempDir : public orvtest::TempDir {
public:
    std::string Write(const std::string& text) {
        return orvtest::TempDir::Write("m" + std::to_string(mCount++) + ".txt", text);
    }

private:
    int mCount = 0;
};

// The report of loading a mesh text.
std::string loadReport(const std::string& text) {
    TempDir dir;
    const std::string path = dir.Write(text);
    return ReportText([&] { Mesh::Load(path.c_str(), false); });
}

std::string fixture(const char* pName) { return std::string(ORV_TEST_DATA_DIR) + "/mesh/" + pName; }

std::vector<float> floats(const float* p, size_t n) { return std::vector<float>(p, p + n); }
std::vector<uint32_t> indices(const uint32_t* p, size_t n) {
    return std::vector<uint32_t>(p, p + n);
}

}  // namespace

// ---------------------------------------------------------------------------
// Loading
// ---------------------------------------------------------------------------

TEST(MeshLoad, PositionsAndTrianglesOnly) {
    TempDir dir;
    Mesh* pMesh = Mesh::Load(dir.Write(meshFile(quadSections())).c_str(), false);
    ASSERT_NE(pMesh, nullptr);
    EXPECT_EQ(pMesh->mVtxPosNum, 4u);
    EXPECT_EQ(floats(&pMesh->mpVtxPos[0].x, 12),
              (std::vector<float>{0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0}));
    EXPECT_EQ(pMesh->mTriPosNum, 2u);
    EXPECT_EQ(indices(pMesh->mpTriPos, 6), (std::vector<uint32_t>{0, 1, 2, 0, 2, 3}));
    EXPECT_EQ(pMesh->mpVtxNrm, nullptr);
    EXPECT_EQ(pMesh->mpTriNrm, nullptr);
    EXPECT_EQ(pMesh->mVtxNrmNum + pMesh->mTriNrmNum, 0u);
    EXPECT_EQ(pMesh->mpVtxClr, nullptr);
    EXPECT_EQ(pMesh->mpTriClr, nullptr);
    EXPECT_EQ(pMesh->mVtxClrNum + pMesh->mTriClrNum, 0u);
    EXPECT_EQ(pMesh->mpVtxTex, nullptr);
    EXPECT_EQ(pMesh->mpTriTex, nullptr);
    EXPECT_EQ(pMesh->mVtxTexNum + pMesh->mTriTexNum, 0u);
    // The accessors the demo reads.
    EXPECT_EQ(pMesh->TriPosNum(), 2u);
    EXPECT_EQ(pMesh->VtxPos(), pMesh->mpVtxPos);
    EXPECT_EQ(pMesh->TriPos(), pMesh->mpTriPos);
    EXPECT_EQ(pMesh->VtxClr(), nullptr);
    EXPECT_EQ(pMesh->TriClr(), nullptr);
    EXPECT_EQ(pMesh->TriClrNum(), 0u);
    delete pMesh;
}

TEST(MeshLoad, EveryOptionalSectionAsIndexedInTheFile) {
    Mesh* pMesh = Mesh::Load(fixture("quad_all_sections.txt").c_str(), false);
    ASSERT_NE(pMesh, nullptr);
    EXPECT_EQ(pMesh->mVtxNrmNum, 2u);
    EXPECT_EQ(floats(&pMesh->mpVtxNrm[0].x, 6), (std::vector<float>{0, 0, 1, 0, 0, -1}));
    EXPECT_EQ(pMesh->mTriNrmNum, 2u);
    EXPECT_EQ(indices(pMesh->mpTriNrm, 6), (std::vector<uint32_t>{1, 1, 0, 0, 1, 0}));
    EXPECT_EQ(pMesh->mVtxClrNum, 3u);
    EXPECT_EQ(floats(&pMesh->mpVtxClr[0].x, 12),
              (std::vector<float>{1, 0, 0, 1, 0, 1, 0, 0.5f, 0, 0, 1, 0.25f}));
    EXPECT_EQ(pMesh->mTriClrNum, 2u);
    EXPECT_EQ(pMesh->TriClrNum(), 2u);
    EXPECT_EQ(indices(pMesh->mpTriClr, 6), (std::vector<uint32_t>{2, 1, 0, 0, 0, 2}));
    EXPECT_EQ(pMesh->mVtxTexNum, 4u);
    EXPECT_EQ(pMesh->mpVtxTex[3].z, 1.0f);
    EXPECT_EQ(pMesh->mTriTexNum, 2u);
    EXPECT_EQ(indices(pMesh->mpTriTex, 6), (std::vector<uint32_t>{3, 2, 1, 0, 1, 3}));
    delete pMesh;
}

TEST(MeshLoad, OptionalPairNeedsBothSectionsWithElements) {
    struct Pair {
        const char* pName;
        const char* pFace;
        const char* pValue;
    };
    const Pair pairs[] = {{"Normal", "Face_Normal", "0 0 1"},
                          {"Color", "Face_Color", "1 1 1 1"},
                          {"TextureCoordinate", "Face_TextureCoordinate", "0 0 0"}};
    std::vector<std::string> texts;
    for (const Pair& p : pairs) {
        std::string values = section(p.pName, {p.pValue});
        std::string faces = section(p.pFace, {"0 0 0", "0 0 0"});
        texts.push_back(meshFile(quadSections() + values));                      // no Face section
        texts.push_back(meshFile(quadSections() + faces));                       // no value section
        texts.push_back(meshFile(quadSections() + p.pName + " { }\n" + faces));  // empty values
        texts.push_back(meshFile(quadSections() + values + p.pFace + " { }\n"));  // empty faces
        texts.push_back(meshFile(quadSections() + values + faces));               // both
    }
    auto r = RunInChild([texts] {
        TempDir dir;
        for (const std::string& text : texts) {
            Mesh* pMesh = Mesh::Load(dir.Write(text).c_str(), false);
            printf("%u%u%u%u%u%u ", pMesh->mVtxNrmNum, pMesh->mTriNrmNum, pMesh->mVtxClrNum,
                   pMesh->mTriClrNum, pMesh->mVtxTexNum, pMesh->mTriTexNum);
            bool nullArrays = !pMesh->mpVtxNrm && !pMesh->mpTriNrm && !pMesh->mpVtxClr &&
                              !pMesh->mpTriClr && !pMesh->mpVtxTex && !pMesh->mpTriTex;
            printf("%s\n", nullArrays ? "absent" : "present");
            delete pMesh;
        }
    });
    EXPECT_EQ(r.exitCode, 0);
    std::string absent = "000000 absent\n";
    EXPECT_EQ(r.out, absent + absent + absent + absent + "120000 present\n" + absent + absent +
                         absent + absent + "001200 present\n" + absent + absent + absent + absent +
                         "000012 present\n");
}

TEST(MeshLoad, FaceCountMismatchNamesTheSectionAndBothCounts) {
    const char* names[][3] = {{"Normal", "Face_Normal", "0 0 1"},
                              {"Color", "Face_Color", "1 0 0 1"},
                              {"TextureCoordinate", "Face_TextureCoordinate", "0 0 0"}};
    for (auto& n : names) {
        auto r = loadReport(meshFile(quadSections() + section(n[0], {n[2]}) +
                                     section(n[1], {"0 0 0", "0 0 0", "0 0 0"})));
        EXPECT_EQ(r, initMesg("tri.ChildNum() == mTriPosNum",
                              std::string(n[1]) +
                                  " count is inconsistent with Face_Position count!! (3 vs 2)"));
    }
}

TEST(MeshLoad, ShortAndLongNumberLists) {
    TempDir dir;
    std::string text = meshFile(
        section("Position", {"1 2", "1 2 3 4", "5 6 7"}) + section("Face_Position", {"0 1"}) +
        section("Color", {"0.5 0.25 1"}) + section("Face_Color", {"0 0 0"}));
    Mesh* pMesh = Mesh::Load(dir.Write(text).c_str(), false);
    ASSERT_NE(pMesh, nullptr);
    EXPECT_EQ(floats(&pMesh->mpVtxPos[0].x, 9), (std::vector<float>{1, 2, 0, 1, 2, 3, 5, 6, 7}));
    EXPECT_EQ(indices(pMesh->mpTriPos, 3), (std::vector<uint32_t>{0, 1, 0}));
    EXPECT_EQ(floats(&pMesh->mpVtxClr[0].x, 4), (std::vector<float>{0.5f, 0.25f, 1, 0}));
    delete pMesh;
}

TEST(MeshLoad, ElementWithoutABlockOfNumbers) {
    std::string expected =
        report("ORV_ASSERT: data.Child().IsNull() == false",
               "ORV_ASSERT(data.Child().IsNull() == false)", 1, "ORV::Mesh::init", "");
    auto r = loadReport(meshFile("Position { 0 { 0 0 0 } label 1 { 1 0 0 } 2 { 0 1 0 } }\n" +
                                 section("Face_Position", {"0 1 2"})));
    EXPECT_EQ(r, expected);
    r = loadReport(meshFile(section("Position", {"0 0 0", "", "0 1 0"}) +
                            section("Face_Position", {"0 1 2"})));
    EXPECT_EQ(r, expected);
    // The same check guards index sections.
    r = loadReport(meshFile(section("Position", {"0 0 0"}) + "Face_Position { 0 }\n"));
    EXPECT_EQ(r, report("ORV_ASSERT: data.Child().IsNull() == false",
                        "ORV_ASSERT(data.Child().IsNull() == false)", 2, "ORV::Mesh::init", ""));
}

TEST(MeshLoad, SectionNamesIgnoreCaseAndMayStandOutsideTheMeshBlock) {
    TempDir dir;
    Mesh* pMesh = Mesh::Load(dir.Write("mesh { POSITION { 0 { 0 0 0 } 1 { 1 0 0 } 2 { 0 1 0 } } "
                                       "face_position { 0 { 0 1 2 } } }")
                                 .c_str(),
                             false);
    ASSERT_NE(pMesh, nullptr);
    EXPECT_EQ(pMesh->mVtxPosNum, 3u);
    delete pMesh;

    // Only a placeholder in the Mesh block; the sections follow it.
    pMesh = Mesh::Load(dir.Write("Mesh { placeholder }\n" + quadSections()).c_str(), false);
    ASSERT_NE(pMesh, nullptr);
    EXPECT_EQ(pMesh->mTriPosNum, 2u);
    delete pMesh;
}

TEST(MeshLoad, NothingUsableGivesNull) {
    TempDir dir;
    EXPECT_EQ(Mesh::Load("/nonexistent/orvane/mesh.txt", true), nullptr);
    EXPECT_EQ(Mesh::Load(dir.Write("Mesh Position Face_Position").c_str(), true), nullptr);
    EXPECT_EQ(Mesh::Load(dir.Write("Model { " + quadSections() + "}").c_str(), true), nullptr);
    EXPECT_EQ(Mesh::Load(dir.Write("Mesh { }\n" + quadSections()).c_str(), true), nullptr);
    EXPECT_EQ(Mesh::Load(dir.Write(meshFile(section("Face_Position", {"0 0 0"}))).c_str(), true),
              nullptr);
    EXPECT_EQ(
        Mesh::Load(
            dir.Write(meshFile(section("Position", {"0 0 0"}) + "Face_Position { }\n")).c_str(),
            true),
        nullptr);
    EXPECT_EQ(ReportText([] { Mesh::Load(nullptr, true); }),
              report("ORV_ASSERT_PARM: pFilename", "ORV_ASSERT_PARM(pFilename", 1,
                     "ORV::Mesh::Load", ""));
}

TEST(MeshLoad, IndicesOutsideTheirArrayAreRefused) {
    const std::string expr = "(index >= 0) && (static_cast<uint32_t>(index) < vtxNum)";
    auto r = loadReport(meshFile(section("Position", {"0 0 0", "1 0 0", "1 1 0", "0 1 0"}) +
                                 section("Face_Position", {"0 1 2", "0 3 4"})));
    EXPECT_EQ(r, initMesg(expr, "Face_Position element 1: index 4 is out of range (4 values)!!"));
    r = loadReport(meshFile(section("Position", {"0 0 0"}) + section("Face_Position", {"0 -1 0"})));
    EXPECT_EQ(r, initMesg(expr, "Face_Position element 0: index -1 is out of range (1 values)!!"));
    // An index too large for int does not wrap around to a valid one.
    r = loadReport(
        meshFile(section("Position", {"0 0 0"}) + section("Face_Position", {"4294967296 0 0"})));
    EXPECT_EQ(
        r,
        initMesg(expr, "Face_Position element 0: index 2147483647 is out of range (1 values)!!"));
    // Each optional attribute is checked against its own value count.
    const char* pairs[][3] = {{"Normal", "Face_Normal", "0 0 1"},
                              {"Color", "Face_Color", "1 0 0 1"},
                              {"TextureCoordinate", "Face_TextureCoordinate", "0 0 0"}};
    for (auto& p : pairs) {
        r = loadReport(meshFile(quadSections() + section(p[0], {p[2], p[2]}) +
                                section(p[1], {"0 1 1", "1 2 0"})));
        EXPECT_EQ(r, initMesg(expr, std::string(p[1]) +
                                        " element 1: index 2 is out of range (2 values)!!"));
    }
}

TEST(MeshLoad, NonFiniteNumbersAreRefused) {
    const std::string expr = "std::isfinite(value)";
    auto r = loadReport(meshFile(section("Position", {"0 0 0", "1 0 0", "0 1e39 0"}) +
                                 section("Face_Position", {"0 1 2"})));
    EXPECT_EQ(r, initMesg(expr, "Position element 2: '1e39' is not a finite number!!"));
    r = loadReport(meshFile(quadSections() + section("Normal", {"0 0 1", "nan 0 0"}) +
                            section("Face_Normal", {"0 0 0", "0 0 1"})));
    EXPECT_EQ(r, initMesg(expr, "Normal element 1: 'nan' is not a finite number!!"));
    r = loadReport(meshFile(quadSections() + section("Color", {"1 0 0 INF"}) +
                            section("Face_Color", {"0 0 0", "0 0 0"})));
    EXPECT_EQ(r, initMesg(expr, "Color element 0: 'INF' is not a finite number!!"));
    r = loadReport(meshFile(quadSections() + section("TextureCoordinate", {"0 -infinity 0"}) +
                            section("Face_TextureCoordinate", {"0 0 0", "0 0 0"})));
    EXPECT_EQ(r,
              initMesg(expr, "TextureCoordinate element 0: '-infinity' is not a finite number!!"));
}

// A text in memory is read as the same text in a file is: the same arrays,
// the same null results, the same reports.
TEST(MeshLoad, TextInMemoryReadsAsItsFileDoes) {
    std::ifstream in(fixture("quad_all_sections.txt"), std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_FALSE(text.empty());
    Mesh* pFile = Mesh::Load(fixture("quad_all_sections.txt").c_str(), true);
    std::string copy = text;
    Mesh* pText = Mesh::LoadText(&copy[0], true);
    ASSERT_NE(pFile, nullptr);
    ASSERT_NE(pText, nullptr);
    const uint32_t n = pFile->mVtxPosNum;
    ASSERT_EQ(pText->mVtxPosNum, n);
    EXPECT_EQ(floats(&pText->mpVtxPos[0].x, 3 * n), floats(&pFile->mpVtxPos[0].x, 3 * n));
    EXPECT_EQ(floats(&pText->mpVtxNrm[0].x, 3 * n), floats(&pFile->mpVtxNrm[0].x, 3 * n));
    EXPECT_EQ(floats(&pText->mpVtxClr[0].x, 4 * n), floats(&pFile->mpVtxClr[0].x, 4 * n));
    EXPECT_EQ(floats(&pText->mpVtxTex[0].x, 3 * n), floats(&pFile->mpVtxTex[0].x, 3 * n));
    EXPECT_EQ(indices(pText->mpTriPos, n), indices(pFile->mpTriPos, n));
    delete pFile;
    delete pText;

    EXPECT_EQ(Mesh::LoadText(nullptr, true), nullptr);
    std::string noMesh = "Model { " + quadSections() + "}";
    EXPECT_EQ(Mesh::LoadText(&noMesh[0], true), nullptr);

    const std::string bad = meshFile(quadSections() + section("Color", {"1 0 0 1"}) +
                                     section("Face_Color", {"0 0 0", "0 0 0", "0 0 0"}));
    std::string copyOfBad = bad;
    EXPECT_EQ(ReportText([&] { Mesh::LoadText(&copyOfBad[0], false); }), loadReport(bad));
}

// ---------------------------------------------------------------------------
// Deindexing
// ---------------------------------------------------------------------------

TEST(MeshDeindex, SharedEdgeBecomesSixCorners) {
    TempDir dir;
    Mesh* pMesh = Mesh::Load(dir.Write(meshFile(quadSections())).c_str(), true);
    ASSERT_NE(pMesh, nullptr);
    EXPECT_EQ(pMesh->mVtxPosNum, 6u);
    EXPECT_EQ(pMesh->mTriPosNum, 2u);
    EXPECT_EQ(indices(pMesh->mpTriPos, 6), (std::vector<uint32_t>{0, 1, 2, 3, 4, 5}));
    // Corners 0 1 2 and 0 2 3 of the square.
    EXPECT_EQ(floats(&pMesh->mpVtxPos[0].x, 18),
              (std::vector<float>{0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 0, 0, 1, 1, 0, 0, 1, 0}));
    EXPECT_EQ(pMesh->mpVtxClr, nullptr);
    EXPECT_EQ(pMesh->mVtxClrNum, 0u);
    EXPECT_EQ(pMesh->mpVtxNrm, nullptr);
    EXPECT_EQ(pMesh->mpVtxTex, nullptr);
    delete pMesh;
}

TEST(MeshDeindex, EachAttributeFollowsItsOwnTriples) {
    Mesh* pMesh = Mesh::Load(fixture("quad_all_sections.txt").c_str(), true);
    ASSERT_NE(pMesh, nullptr);
    const std::vector<uint32_t> identity{0, 1, 2, 3, 4, 5};
    EXPECT_EQ(pMesh->mVtxNrmNum, 6u);
    EXPECT_EQ(pMesh->mVtxClrNum, 6u);
    EXPECT_EQ(pMesh->mVtxTexNum, 6u);
    EXPECT_EQ(pMesh->mTriNrmNum + pMesh->mTriClrNum + pMesh->mTriTexNum, 6u);
    EXPECT_EQ(indices(pMesh->mpTriNrm, 6), identity);
    EXPECT_EQ(indices(pMesh->mpTriClr, 6), identity);
    EXPECT_EQ(indices(pMesh->mpTriTex, 6), identity);
    // Normals 1 1 0 / 0 1 0.
    EXPECT_EQ(floats(&pMesh->mpVtxNrm[0].x, 18),
              (std::vector<float>{0, 0, -1, 0, 0, -1, 0, 0, 1, 0, 0, 1, 0, 0, -1, 0, 0, 1}));
    // Colours 2 1 0 / 0 0 2: blue, green, red / red, red, blue.
    std::vector<float> clr = floats(&pMesh->mpVtxClr[0].x, 24);
    EXPECT_EQ(clr, (std::vector<float>{0, 0, 1, 0.25f, 0, 1, 0, 0.5f, 1, 0, 0, 1,
                                       1, 0, 0, 1,     1, 0, 0, 1,    0, 0, 1, 0.25f}));
    // Texture coordinates 3 2 1 / 0 1 3.
    EXPECT_EQ(floats(&pMesh->mpVtxTex[0].x, 18),
              (std::vector<float>{0, 1, 1, 1, 1, 0, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 1, 1}));
    delete pMesh;
}

TEST(MeshDeindex, SecondDeindexChangesNothingButAddresses) {
    Mesh* pMesh = Mesh::Load(fixture("quad_all_sections.txt").c_str(), true);
    ASSERT_NE(pMesh, nullptr);
    std::vector<float> pos = floats(&pMesh->mpVtxPos[0].x, 18);
    std::vector<float> clr = floats(&pMesh->mpVtxClr[0].x, 24);
    pMesh->Deindex();
    EXPECT_EQ(pMesh->mVtxPosNum, 6u);
    EXPECT_EQ(floats(&pMesh->mpVtxPos[0].x, 18), pos);
    EXPECT_EQ(floats(&pMesh->mpVtxClr[0].x, 24), clr);
    EXPECT_EQ(indices(pMesh->mpTriPos, 6), (std::vector<uint32_t>{0, 1, 2, 3, 4, 5}));
    delete pMesh;
}

TEST(MeshDeindex, MeshWithoutPositionsIsLeftAlone) {
    Mesh mesh;
    mesh.mTriPosNum = 3;  // no positions: nothing may be read or allocated
    mesh.Deindex();
    EXPECT_EQ(mesh.mpVtxPos, nullptr);
    EXPECT_EQ(mesh.mVtxPosNum, 0u);
    EXPECT_EQ(mesh.mpTriPos, nullptr);
    EXPECT_EQ(mesh.mTriPosNum, 3u);
}

TEST(MeshDeindex, CornerCountThatWouldOverflowIsRefused) {
    Mesh mesh;
    mesh.mVtxPosNum = 1;
    mesh.mTriPosNum = Mesh::MAX_TRI_NUM + 1;
    EXPECT_EQ(ReportText([&] { mesh.Deindex(); }),
              report("ORV_ASSERT_MESG: mTriPosNum <= MAX_TRI_NUM",
                     "ORV_ASSERT_MESG(mTriPosNum <= MAX_TRI_NUM", 1, "ORV::Mesh::Deindex",
                     "too many triangles (715827883)!!"));
}
