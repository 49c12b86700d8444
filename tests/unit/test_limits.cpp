// The input limits: each input just past its limit is refused with its report
// before memory is spent on it, and an input at the limit is accepted.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "BSPBuild.h"
#include "BSPRules.h"
#include "BSPTree.h"
#include "ChildProcess.h"
#include "ORV.h"
#include "ORV_Mesh.h"
#include "ORV_TokenTree.h"
#include "ReportText.h"
#include "SourceLine.h"
#include "TempDir.h"

using ORV::Image;
using ORV::Mesh;
using ORV::TokenTree;
using orvtest::ReportText;
using orvtest::RunInChild;

namespace {

// An ORV_ASSERT_MESG report of the check whose expression is expr.
std::string mesgReport(const std::string& source, const std::string& expr, const std::string& func,
                       const std::string& mesg) {
    return "ORV_ASSERT_MESG: " + expr +
           "\nLine: " + std::to_string(orvtest::LineOf(source, "ORV_ASSERT_MESG(" + expr)) +
           "\nFunc: " + func + "\nFile: " + source + "\nMesg: " + mesg + "\n";
}

// A temporary folder that also holds large files taking no disk space.
class TempDir : public orvtest::TempDir {
public:
    // A file of size bytes that takes no disk space: zeros except for head.
    std::string Sparse(const std::string& name, long long size,
                       const std::string& head = "") const {
        int fd = open(Path(name).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        EXPECT_GE(fd, 0);
        EXPECT_EQ(write(fd, head.data(), head.size()), static_cast<ssize_t>(head.size()));
        EXPECT_EQ(ftruncate(fd, size), 0);
        close(fd);
        return Path(name);
    }
};

// After a report the process exits; this prints its peak resident size (in
// MB) behind the report, so a test can see that nothing large was allocated.
void printPeakAtExit() {
    atexit([] {
        rusage usage;
        getrusage(RUSAGE_SELF, &usage);
        printf("peak %ld MB\n", usage.ru_maxrss / 1024);
        fflush(stdout);
    });
}

long peakOf(const std::string& out) {
    size_t at = out.rfind("peak ");
    return at == std::string::npos ? -1 : atol(out.c_str() + at + 5);
}

std::string tgaHeader(uint16_t width, uint16_t height, uint8_t bpp) {
    std::string h(18, '\0');
    h[2] = 2;
    h[12] = static_cast<char>(width & 0xFF);
    h[13] = static_cast<char>(width >> 8);
    h[14] = static_cast<char>(height & 0xFF);
    h[15] = static_cast<char>(height >> 8);
    h[16] = static_cast<char>(bpp);
    h[17] = 0x20;
    return h;
}

// A section of count elements written as "e { v }", or as bare labels.
std::string section(const std::string& name, uint32_t count, const std::string& value) {
    std::string s = name + " {\n";
    s.reserve(s.size() + count * (value.size() + 8));
    for (uint32_t i = 0; i < count; ++i) s += value.empty() ? "e\n" : "e { " + value + " }\n";
    return s + "}\n";
}

const std::string kTokenTree = "framework/ORV_TokenTree.cpp";
const std::string kMesh = "framework/ORV_Mesh.cpp";
const std::string kImage = "src/ORV_Image.cpp";
const std::string kTree = "src/GameStates/BSPBuild.cpp";

// Three families of k large triangles in the planes x, y and z = i - k/2 +
// 1/2: every triangle crosses all those of the other two families, so the
// tree holds about k^3 pieces.
std::vector<Triangle> crossedSlabs(int k) {
    std::vector<Triangle> list;
    const float big = static_cast<float>(k);
    for (int i = 0; i < k; ++i) {
        const float c = static_cast<float>(i) - 0.5f * static_cast<float>(k) + 0.5f;
        list.push_back(
            Triangle(ORV::Vec3(c, -big, -big), ORV::Vec3(c, big, -big), ORV::Vec3(c, 0, big)));
        list.push_back(
            Triangle(ORV::Vec3(-big, c, -big), ORV::Vec3(0, c, big), ORV::Vec3(big, c, -big)));
        list.push_back(
            Triangle(ORV::Vec3(-big, -big, c), ORV::Vec3(big, -big, c), ORV::Vec3(0, big, c)));
    }
    return list;
}

}  // namespace

TEST(Limits, StatedValues) {
    // docs/bad-input.md states these figures; a change must change both.
    EXPECT_EQ(ORV::MAX_FILE_SIZE, 2048u * 1024 * 1024);
    EXPECT_EQ(ORV::MAX_IMAGE_BYTE_NUM, 64u * 1024 * 1024);
    EXPECT_EQ(ORV::MAX_IMAGE_FILE_SIZE, 18u + 255u + 4096u * 4096u * 4u + 26u);
    EXPECT_EQ(ORV::MAX_TOKEN_NUM, 256u * 1024 * 1024);
    EXPECT_EQ(ORV::MAX_MESH_ELEMENT_NUM, 16u * 1024 * 1024);
    EXPECT_EQ(MAX_BUILD_GROWTH, 256u);
    EXPECT_EQ(BUILD_GROWTH_SLACK, 4096u);
    EXPECT_EQ(MAX_BUILD_TRI_NUM, 32u * 1024 * 1024);
}

TEST(LimitFileSize, MeshFilePastTheLimitIsRefusedBeforeItIsRead) {
    TempDir dir;
    const long long limit = ORV::MAX_FILE_SIZE;
    std::string big = dir.Sparse("big.txt", limit + 1);
    EXPECT_EQ(ReportText([&] { Mesh::Load(big.c_str(), true); }),
              mesgReport(kTokenTree, "static_cast<uint64_t>(fileLen) <= MAX_FILE_SIZE",
                         "ORV::TokenTree::Load",
                         "'" + big + "' is too large (2147483649 bytes, more than 2147483648)!!"));

    // A file of 16 GB costs nothing before the refusal.
    std::string huge = dir.Sparse("huge.txt", 16384ll << 20, "Mesh { a }");
    auto r = RunInChild([&] {
        printPeakAtExit();
        TokenTree::Load(huge.c_str());
    });
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.out.find("is too large (17179869184 bytes, more than 2147483648)!!"),
              std::string::npos)
        << r.out;
    EXPECT_GE(peakOf(r.out), 0);
    EXPECT_LT(peakOf(r.out), 512);

    // At the limit the file is read: 2 GB of NUL bytes hold no text.
    std::string edge = dir.Sparse("edge.txt", limit);
    r = RunInChild([&] { printf("%s", Mesh::Load(edge.c_str(), true) ? "mesh" : "null"); }, 240);
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, "null");
}

TEST(LimitFileSize, ImageFilePastTheLimitIsRefusedBeforeItIsRead) {
    TempDir dir;
    // The largest image the pixel limit allows, after the longest image ID
    // and followed by a TGA 2.0 footer: exactly the file limit.
    std::string head = tgaHeader(4096, 4096, 32);
    head[0] = static_cast<char>(255);
    const long long limit = ORV::MAX_IMAGE_FILE_SIZE;
    std::string big = dir.Sparse("big.tga", limit + 1, head);
    EXPECT_EQ(
        ReportText([&] { Image::Load(big.c_str()); }),
        mesgReport(kImage, "fileSize <= static_cast<long>(MAX_IMAGE_FILE_SIZE)", "ORV::Image::Load",
                   "'" + big + "' is too large (" + std::to_string(limit + 1) +
                       " bytes, more than " + std::to_string(limit) + ")!!"));

    // At the limit the file is read and decoded.
    std::string edge = dir.Sparse("edge.tga", limit, head);
    auto r = RunInChild([&] {
        Image* pImage = Image::Load(edge.c_str());
        printf("%u x %u", pImage->SizeX(), pImage->SizeY());
    });
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, "4096 x 4096");
}

TEST(LimitImage, PixelBlocksPastTheLimitAreRefusedBeforeAllocation) {
    const std::string expr = "byteNum <= MAX_IMAGE_BYTE_NUM";
    // Decodes a bare header: the pixel data need not be there.
    auto decode = [](uint16_t width, uint16_t height, uint8_t bpp) {
        std::string header = tgaHeader(width, height, bpp);
        std::unique_ptr<Image, void (*)(Image*)> pImage(Image::Create(1, 1, 24), Image::Destroy);
        return ReportText([&] {
            pImage->loadTGA(reinterpret_cast<const uint8_t*>(header.data()),
                            static_cast<uint32_t>(header.size()));
        });
    };
    // One row more than 4096 x 4096 at 32 bits.
    EXPECT_EQ(decode(4096, 4097, 32), mesgReport(kImage, expr, "ORV::Image::loadTGA",
                                                 "Image is too large (4096 x 4097, 32 bits)!!"));
    EXPECT_EQ(decode(8192, 8192, 24), mesgReport(kImage, expr, "ORV::Image::loadTGA",
                                                 "Image is too large (8192 x 8192, 24 bits)!!"));

    // Exactly at the limit the size passes; this header's data is missing.
    const std::string r = decode(4096, 4096, 32);
    EXPECT_NE(r.find("Mesg: TGA data is too short (18 bytes, need 67108882)!!"), std::string::npos)
        << r;
}

TEST(LimitTokens, TextsWithMoreTokensAreRefusedWhileCounting) {
    const uint32_t limit = ORV::MAX_TOKEN_NUM;
    // "x { " and "}" around limit - 2 single-letter tokens: exactly the limit;
    // with extra, one token more on the third line. Made in the child, so
    // that its peak holds the text once.
    auto create = [&](const std::string& extra) {
        std::string text = "x {";
        text.reserve(2 * static_cast<size_t>(limit) + 16);
        for (uint32_t i = 0; i < limit - 3; ++i) text += " a";
        text += extra + " }";
        return TokenTree::Create(&text[0]);
    };
    auto r = RunInChild(
        [&] {
            TokenTree* pTree = create("");
            printf("%u", pTree ? pTree->mTokenNum : 0u);
        },
        240);
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, std::to_string(limit));

    // Refused before the token array is made.
    r = RunInChild(
        [&] {
            printPeakAtExit();
            create("\n\nb");
        },
        240);
    EXPECT_EQ(r.exitCode, 1);
    std::string expected =
        mesgReport(kTokenTree, "tokenNum < MAX_TOKEN_NUM", "ORV::TokenTree::Create",
                   "3: too many tokens (more than 268435456)");
    EXPECT_EQ(r.out.substr(0, expected.size()), expected);
    // The 512 MB text, but not the 2 GB token array.
    EXPECT_LT(peakOf(r.out), 1024);
}

TEST(LimitMesh, SectionsWithMoreElementsAreRefusedBeforeTheirArrays) {
    const uint32_t limit = ORV::MAX_MESH_ELEMENT_NUM;
    const std::string one = section("Face_Position", 1, "0 0 0");
    const std::string expr = "num <= MAX_MESH_ELEMENT_NUM";
    auto refused = [&](const std::string& text) {
        std::string mesh = "Mesh { m }\n" + text;
        return ReportText([&] { Mesh::LoadText(&mesh[0], true); });
    };
    const std::string tooMany = " has too many elements (16777217, more than 16777216)!!";
    EXPECT_EQ(refused(section("Position", limit + 1, "") + one),
              mesgReport(kMesh, expr, "ORV::Mesh::init", "Position" + tooMany));
    EXPECT_EQ(refused(section("Position", 1, "0 0 0") + section("Face_Position", limit + 1, "")),
              mesgReport(kMesh, expr, "ORV::Mesh::init", "Face_Position" + tooMany));
    EXPECT_EQ(refused(section("Position", 1, "0 0 0") + one + section("Color", limit + 1, "") +
                      section("Face_Color", 1, "0 0 0")),
              mesgReport(kMesh, expr, "ORV::Mesh::init", "Color" + tooMany));

    // At the limit the mesh loads.
    auto r = RunInChild(
        [&] {
            std::string mesh = "Mesh { m }\n" + section("Position", limit, "1 2 3") + one;
            Mesh* pMesh = Mesh::LoadText(&mesh[0], false);
            printf("%u %u", pMesh->mVtxPosNum, pMesh->mTriPosNum);
        },
        240);
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, std::to_string(limit) + " 1");
}

TEST(LimitTree, ABuildThatWouldGrowPastItsMultipleIsRefused) {
    // 48 triangles may grow to 256 x 48 + 4096 = 16384; these would reach
    // about 16^3 x 2.
    auto r = RunInChild([] {
        BSPTree tree;
        tree.Build(crossedSlabs(16));
        printf("not refused: %u deep\n", tree.Depth());
    });
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, mesgReport(kTree, "held <= heldMax", "BSPTree::BuildNode",
                                "Cutting would grow the tree past 16384 triangles (48 given)!!"));

    // A cap (the tree fuzz target's) refuses the same build far earlier.
    r = RunInChild([] {
        BSPBuildSettings capped;
        capped.growthCap = 1000;
        BSPTree tree;
        tree.Build(crossedSlabs(12), capped);
    });
    EXPECT_EQ(r.out, mesgReport(kTree, "held <= heldMax", "BSPTree::BuildNode",
                                "Cutting would grow the tree past 1000 triangles (36 given)!!"));

    // 36 triangles growing more than 200-fold stay within their 13312.
    BSPTree tree;
    tree.Build(crossedSlabs(12));
    size_t stored = 0;
    tree.Walk(ORV::Vec3(0.0f), [&](const Triangle&) { ++stored; });
    EXPECT_GT(stored, 36u * 100);
    EXPECT_LE(stored, 36u * MAX_BUILD_GROWTH + BUILD_GROWTH_SLACK);
}
