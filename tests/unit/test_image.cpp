// Images and the TGA codec: ImageMagick as the outside oracle for decoding,
// hand-made files for each header case, and the exact refusal reports.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "ORV.h"
#include "ReportText.h"
#include "SourceLine.h"
#include "TempDir.h"

using ORV::Image;
using orvtest::ReportText;
using orvtest::TempDir;
typedef std::vector<uint8_t> Bytes;
typedef std::unique_ptr<Image, void (*)(Image*)> ImageHolder;

namespace {

const char* kSource = "src/ORV_Image.cpp";

int lineOf(const std::string& needle, int nth = 1) { return orvtest::LineOf(kSource, needle, nth); }

// The whole report of a macro found by needle; kinds without a message pass
// an empty mesg.
std::string report(const std::string& kindExpr, const std::string& needle, int nth,
                   const std::string& func, const std::string& mesg = "") {
    std::string text = kindExpr + "\nLine: " + std::to_string(lineOf(needle, nth)) +
                       "\nFunc: " + func + "\nFile: " + kSource + "\n";
    return mesg.empty() ? text : text + "Mesg: " + mesg + "\n";
}

std::string tooShort(int nth, const std::string& mesg) {
    return report("ORV_ASSERT_MESG: dataSize >= needSize", "ORV_ASSERT_MESG(dataSize >= needSize",
                  nth, "ORV::Image::loadTGA", mesg);
}

Bytes readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Standard output of a shell command, as bytes.
Bytes commandOutput(const std::string& cmd) {
    Bytes out;
    FILE* p = popen(cmd.c_str(), "r");
    if (p == nullptr) return out;
    int c;
    while ((c = fgetc(p)) != EOF) out.push_back(static_cast<uint8_t>(c));
    pclose(p);
    return out;
}

// A TGA file: header fields as given, the ID bytes, then the pixel bytes.
Bytes tga(uint8_t type, uint16_t width, uint16_t height, uint8_t depth, uint8_t descriptor,
          const Bytes& pixels, const Bytes& id = {}) {
    Bytes b(18, 0);
    b[0] = static_cast<uint8_t>(id.size());
    b[2] = type;
    b[12] = width & 0xFF;
    b[13] = width >> 8;
    b[14] = height & 0xFF;
    b[15] = height >> 8;
    b[16] = depth;
    b[17] = descriptor;
    b.insert(b.end(), id.begin(), id.end());
    b.insert(b.end(), pixels.begin(), pixels.end());
    return b;
}

Bytes pixelsOf(const Image* pImage) {
    const uint8_t* p = pImage->Data();
    return Bytes(p, p + pImage->SizeX() * pImage->SizeY() * pImage->BPP() / 8);
}

Bytes loadBytes(const std::string& path) {
    Image* pImage = Image::Load(path.c_str());
    Bytes out = pixelsOf(pImage);
    Image::Destroy(pImage);
    return out;
}

// The report of loading a file of these bytes by that name.
std::string loadReport(const std::string& name, const Bytes& bytes) {
    TempDir dir;
    const std::string path = dir.Write(name, bytes);
    return ReportText([&] { Image::Load(path.c_str()); });
}

// The report of saving image to pName.
std::string saveReport(const ImageHolder& image, const char* pName) {
    return ReportText([&] { image->Save(pName); });
}

ImageHolder created(uint32_t sizeX, uint32_t sizeY) {
    return ImageHolder(Image::Create(sizeX, sizeY, 24), Image::Destroy);
}

}  // namespace

// ---------------------------------------------------------------------------
// Decoding against ImageMagick
// ---------------------------------------------------------------------------

// An odd-width picture whose every pixel has its own value in every channel,
// so that flips, mirrors and channel swaps all show.
TEST(ImageOracle, LoadGivesTheBytesImageMagickReadsBack) {
    ASSERT_EQ(std::system("command -v convert >/dev/null 2>&1"), 0) << "ImageMagick is needed";
    const int w = 5, h = 3;
    TempDir dir;
    Bytes rgba, bgra, rgb, bgr;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            uint8_t r = 10 + 40 * x + y, g = 100 + 50 * y + x, b = 7 + 13 * x + 29 * y,
                    a = 255 - 11 * x - 60 * y;
            rgba.insert(rgba.end(), {r, g, b, a});
            bgra.insert(bgra.end(), {b, g, r, a});
            rgb.insert(rgb.end(), {r, g, b});
            bgr.insert(bgr.end(), {b, g, r});
        }
    }
    dir.Write("src.rgba", rgba);
    dir.Write("src.rgb", rgb);

    struct Case {
        const char* pOrient;
        uint8_t descriptor;  // bits 4 and 5 that ImageMagick writes for it
        const char* pComment;
    };
    const Case cases[] = {{"TopLeft", 0x20, nullptr},
                          {"BottomLeft", 0x00, nullptr},
                          {"TopRight", 0x30, "orvane"},
                          {"BottomRight", 0x10, "a longer image ID"}};
    int n = 0;
    for (int bits : {24, 32}) {
        for (const Case& c : cases) {
            std::string name = dir.Path("t" + std::to_string(n++) + ".tga");
            std::string cmd =
                "convert -size 5x3 -depth 8 " +
                (bits == 32 ? "rgba:" + dir.Path("src.rgba") : "rgb:" + dir.Path("src.rgb")) +
                " -orient " + c.pOrient +
                (c.pComment ? " -set comment '" + std::string(c.pComment) + "'" : "") + " '" +
                name + "'";
            ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
            Bytes file = readFile(name);
            ASSERT_GE(file.size(), 18u);
            ASSERT_EQ(file[16], bits) << name;
            ASSERT_EQ(file[17] & 0x30, c.descriptor) << c.pOrient;
            ASSERT_EQ(static_cast<size_t>(file[0]),
                      c.pComment ? std::string(c.pComment).size() : 0u);

            Bytes oracle = commandOutput("convert '" + name + "' -auto-orient " +
                                         (bits == 32 ? "bgra:-" : "bgr:-"));
            Image* pImage = Image::Load(name.c_str());
            EXPECT_EQ(pImage->SizeX(), 5u);
            EXPECT_EQ(pImage->SizeY(), 3u);
            EXPECT_EQ(pImage->BPP(), static_cast<uint32_t>(bits));
            EXPECT_EQ(pixelsOf(pImage), oracle) << c.pOrient << " at " << bits << " bits";
            if (c.descriptor == 0x20) {
                EXPECT_EQ(pixelsOf(pImage), bits == 32 ? bgra : bgr);
            }
            Image::Destroy(pImage);
        }
    }
}

TEST(ImageOracle, ImageMagickReadsWhatSaveWrote) {
    TempDir dir;
    Image* pImage = Image::Create(7, 3, 32);
    for (uint32_t i = 0; i < 7 * 3 * 4; ++i) pImage->Data()[i] = static_cast<uint8_t>(i * 37 + 11);
    std::string name = dir.Path("saved.tga");
    EXPECT_TRUE(pImage->Save(name.c_str()));
    EXPECT_EQ(commandOutput("convert '" + name + "' -auto-orient bgra:-"), pixelsOf(pImage));
    Image::Destroy(pImage);
}

// ---------------------------------------------------------------------------
// Header cases
// ---------------------------------------------------------------------------

TEST(ImageTGA, RowOrder) {
    TempDir dir;
    const Bytes rows = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};  // two rows of two 24-bit pixels
    EXPECT_EQ(loadBytes(dir.Write("a.tga", tga(2, 2, 2, 24, 0x00, rows))),
              (Bytes{7, 8, 9, 10, 11, 12, 1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(loadBytes(dir.Write("b.tga", tga(2, 2, 2, 24, 0x20, rows))), rows);
}

TEST(ImageTGA, RightToLeftRowsAreMirrored) {
    TempDir dir;
    const Bytes px = {1,  2,  3,  4,  5,  6,  7,  8,  9,
                      11, 12, 13, 14, 15, 16, 17, 18, 19};  // 3 x 2, 24 bits
    EXPECT_EQ(loadBytes(dir.Write("a.tga", tga(2, 3, 2, 24, 0x30, px))),
              (Bytes{7, 8, 9, 4, 5, 6, 1, 2, 3, 17, 18, 19, 14, 15, 16, 11, 12, 13}));
    EXPECT_EQ(loadBytes(dir.Write("b.tga", tga(2, 3, 2, 24, 0x10, px))),
              (Bytes{17, 18, 19, 14, 15, 16, 11, 12, 13, 7, 8, 9, 4, 5, 6, 1, 2, 3}));
    // At 32 bits the alpha byte travels with its pixel.
    const Bytes px32 = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};  // 3 x 1
    EXPECT_EQ(loadBytes(dir.Write("c.tga", tga(2, 3, 1, 32, 0x38, px32))),
              (Bytes{9, 10, 11, 12, 5, 6, 7, 8, 1, 2, 3, 4}));
}

TEST(ImageTGA, ImageIdColourMapFieldsAndTrailingBytesAreSkipped) {
    TempDir dir;
    Bytes file = tga(2, 1, 1, 24, 0x20, {7, 8, 9}, {'a', 'b', 'c', 'd', 'e'});
    file[1] = 1;  // a colour-map type: its fields are not looked at
    file[5] = 16;
    file.insert(file.end(), {0xEE, 0xEE, 0xEE, 0xEE});
    EXPECT_EQ(file.size(), 23u + 3u + 4u);
    EXPECT_EQ(loadBytes(dir.Write("id.tga", file)), (Bytes{7, 8, 9}));
}

TEST(ImageTGA, ZeroWidthLoadsWithoutPixelsAndCannotBeSaved) {
    TempDir dir;
    Image* pImage = Image::Load(dir.Write("w0.tga", tga(2, 0, 2, 24, 0x20, {})).c_str());
    ASSERT_NE(pImage, nullptr);
    EXPECT_EQ(pImage->SizeX(), 0u);
    EXPECT_EQ(pImage->SizeY(), 2u);
    Image::Destroy(pImage);
    ImageHolder image(Image::Load(dir.Write("w0.tga", tga(2, 0, 2, 24, 0x20, {})).c_str()),
                      Image::Destroy);
    EXPECT_EQ(saveReport(image, dir.Path("out.tga").c_str()),
              report("ORV_ASSERT_MESG: written", "ORV_ASSERT_MESG(written", 2,
                     "ORV::Image::saveTGA", "fail to write!!"));
}

// ---------------------------------------------------------------------------
// Create, Save and round trips
// ---------------------------------------------------------------------------

TEST(ImageSave, HeaderOfTheTwoByOneExample) {
    TempDir dir;
    Image* pImage = Image::Create(2, 1, 32);
    EXPECT_EQ(pixelsOf(pImage), Bytes(8, 0));
    EXPECT_TRUE(pImage->Save(dir.Path("ex.tga").c_str()));
    Bytes file = readFile(dir.Path("ex.tga"));
    EXPECT_EQ(file, (Bytes{0, 0, 2, 0,    0,    0, 0, 0, 0, 0, 0, 0, 2,
                           0, 1, 0, 0x20, 0x28, 0, 0, 0, 0, 0, 0, 0, 0}));
    Image::Destroy(pImage);

    pImage = Image::Create(256, 1, 24);
    EXPECT_TRUE(pImage->Save(dir.Path("wide.TGA").c_str()));
    file = readFile(dir.Path("wide.TGA"));
    ASSERT_EQ(file.size(), 18u + 768u);
    EXPECT_EQ(Bytes(file.begin() + 12, file.begin() + 18),
              (Bytes{0x00, 0x01, 0x01, 0x00, 0x18, 0x20}));
    Image::Destroy(pImage);
    Image::Destroy(nullptr);
}

TEST(ImageSave, SaveThenLoadReproducesTheImage) {
    TempDir dir;
    for (uint32_t bpp : {24u, 32u}) {
        Image* pImage = Image::Create(7, 5, bpp);
        Bytes px(7 * 5 * bpp / 8);
        for (size_t i = 0; i < px.size(); ++i) px[i] = static_cast<uint8_t>(i * 29 + bpp);
        std::copy(px.begin(), px.end(), pImage->Data());
        std::string name = dir.Path("rt" + std::to_string(bpp) + ".Tga");
        EXPECT_TRUE(pImage->Save(name.c_str()));
        EXPECT_EQ(readFile(name).size(), 18u + px.size());
        Image::Destroy(pImage);

        pImage = Image::Load(name.c_str());
        EXPECT_EQ(pImage->SizeX(), 7u);
        EXPECT_EQ(pImage->SizeY(), 5u);
        EXPECT_EQ(pImage->BPP(), bpp);
        EXPECT_EQ(pixelsOf(pImage), px);
        Image::Destroy(pImage);
    }
}

// ---------------------------------------------------------------------------
// Refusals
// ---------------------------------------------------------------------------

TEST(ImageRefusals, CreateParameters) {
    const std::string parm =
        report("ORV_ASSERT_PARM: sizeX && sizeY && ((bpp == 24) || (bpp == 32))",
               "ORV_ASSERT_PARM(sizeX && sizeY", 1, "ORV::Image::Create");
    EXPECT_EQ(ReportText([] { Image::Create(0, 5, 24); }), parm);
    EXPECT_EQ(ReportText([] { Image::Create(5, 0, 32); }), parm);
    EXPECT_EQ(ReportText([] { Image::Create(4, 4, 16); }), parm);
    // Byte counts past 32 bits are refused, not wrapped (2^32 bytes here).
    EXPECT_EQ(ReportText([] { Image::Create(65536, 16384, 32); }),
              report("ORV_ASSERT_MESG: byteNum <= MAX_BYTE_NUM", "byteNum <= MAX_BYTE_NUM", 1,
                     "ORV::Image::Create", "Image is too large (65536 x 16384, 32 bits)!!"));
    // Sizes whose 64-bit product wraps to 0 bytes (2^64) are refused the same way.
    EXPECT_EQ(
        ReportText([] { Image::Create(1u << 30, 1u << 29, 32); }),
        report("ORV_ASSERT_MESG: byteNum <= MAX_BYTE_NUM", "byteNum <= MAX_BYTE_NUM", 1,
               "ORV::Image::Create", "Image is too large (1073741824 x 536870912, 32 bits)!!"));
}

TEST(ImageRefusals, FileNames) {
    const std::string ext =
        report("ORV_ASSERT_MESG: stricmp(pExt, \".TGA\") == 0", "Can only load .TGA file!!", 1,
               "ORV::Image::Load", "Can only load .TGA file!!");
    EXPECT_EQ(ReportText([] { Image::Load("picture.tg"); }), ext);
    EXPECT_EQ(ReportText([] { Image::Load("picture.tga "); }), ext);
    EXPECT_EQ(ReportText([] { Image::Load("tga"); }), ext);
    EXPECT_EQ(ReportText([] { Image::Load("/nonexistent/picture.png"); }), ext);
    // The demo's own name passes the extension check and fails only to open.
    EXPECT_EQ(ReportText([] { Image::Load("data\\textures\\Test1.tga"); }),
              report("ORV_ASSERT_MESG: pFile", "ORV_ASSERT_MESG(pFile,", 1, "ORV::Image::Load",
                     "Cannot open 'data\\textures\\Test1.tga'\n"));
    EXPECT_EQ(ReportText([] { Image::Load(nullptr); }),
              report("ORV_ASSERT_PARM: pName", "ORV_ASSERT_PARM(pName)", 1, "ORV::Image::Load"));
}

TEST(ImageRefusals, UnreadableFiles) {
    EXPECT_EQ(loadReport("empty.TGA", {}),
              report("ORV_ASSERT_PARM: pData && dataSize", "ORV_ASSERT_PARM(pData && dataSize", 1,
                     "ORV::Image::loadTGA"));
    // A directory opens but has no size to read.
    TempDir d;
    const std::string name = d.Path("dir.tga");
    ASSERT_EQ(mkdir(name.c_str(), 0700), 0);
    EXPECT_EQ(
        ReportText([&] { Image::Load(name.c_str()); }),
        report(
            "ORV_ASSERT_MESG: (fileSize >= 0) && (static_cast<uint64_t>(fileSize) <= MAX_BYTE_NUM)",
            "ORV_ASSERT_MESG((fileSize >= 0)", 1, "ORV::Image::Load",
            "Error in reading '" + name + "'\n"));
    // A kernel attribute file states 4096 bytes and reads back far fewer.
    const char* pShort = "/sys/devices/system/cpu/online";
    if (access(pShort, R_OK) != 0) GTEST_SKIP() << pShort << " is needed for a short read";
    const std::string link = d.Path("short.tga");
    ASSERT_EQ(symlink(pShort, link.c_str()), 0);
    EXPECT_EQ(ReportText([&] { Image::Load(link.c_str()); }),
              report("ORV_ASSERT_MESG: readSize == fileSize", "ORV_ASSERT_MESG(readSize", 1,
                     "ORV::Image::Load", "Error in reading '" + link + "'\n"));
}

TEST(ImageRefusals, UnsupportedTypesAndDepths) {
    const std::string type =
        report("ORV_ASSERT_MESG: imageType == 2", "ORV_ASSERT_MESG(imageType == 2", 1,
               "ORV::Image::loadTGA", "Only support uncompressed, true-color image");
    const std::string depth =
        report("ORV_ASSERT_MESG: (mBPP == 24) || (mBPP == 32)", "ORV_ASSERT_MESG((mBPP == 24)", 1,
               "ORV::Image::loadTGA", "Only support 24 or 32 bits image");
    EXPECT_EQ(loadReport("rle.tga", tga(10, 1, 1, 24, 0x20, {1, 2, 3})), type);
    EXPECT_EQ(loadReport("grey.tga", tga(3, 1, 1, 8, 0x20, {1})), type);
    EXPECT_EQ(loadReport("d16.tga", tga(2, 1, 1, 16, 0x20, {1, 2})), depth);
    EXPECT_EQ(loadReport("d8.tga", tga(2, 1, 1, 8, 0x20, {1})), depth);
}

TEST(ImageRefusals, FilesShorterThanTheirHeaderDeclares) {
    EXPECT_EQ(loadReport("h.tga", Bytes(10, 2)),
              tooShort(1, "TGA data is too short (10 bytes, need 18)!!"));
    EXPECT_EQ(loadReport("p.tga", tga(2, 2, 2, 24, 0x20, Bytes(11, 1))),
              tooShort(2, "TGA data is too short (29 bytes, need 30)!!"));
    // The image ID counts towards the size needed.
    EXPECT_EQ(loadReport("id.tga", tga(2, 2, 2, 24, 0x00, Bytes(11, 1), Bytes(5, 'x'))),
              tooShort(2, "TGA data is too short (34 bytes, need 35)!!"));
    // The largest header the format allows at 32 bits declares more than 32 bits of bytes.
    EXPECT_EQ(loadReport("big.tga", tga(2, 65535, 65535, 32, 0x20, {1})),
              report("ORV_ASSERT_MESG: byteNum <= MAX_BYTE_NUM", "byteNum <= MAX_BYTE_NUM", 2,
                     "ORV::Image::loadTGA", "Image is too large (65535 x 65535, 32 bits)!!"));
}

TEST(ImageRefusals, SaveFailures) {
    EXPECT_EQ(saveReport(created(1, 1), nullptr),
              report("ORV_ASSERT_PARM: pName", "ORV_ASSERT_PARM(pName)", 2, "ORV::Image::Save"));
    EXPECT_EQ(
        saveReport(created(1, 1), "x.png"),
        report("ORV_ASSERT_MESG: stricmp(pExt, \".TGA\") == 0", "Can only save to .TGA file!!", 1,
               "ORV::Image::Save", "Can only save to .TGA file!!"));
    EXPECT_EQ(saveReport(created(1, 1), "/nonexistent/dir/x.tga"),
              report("ORV_ASSERT_MESG: pFile", "ORV_ASSERT_MESG(pFile,", 2, "ORV::Image::saveTGA",
                     "Cannot open '/nonexistent/dir/x.tga'\n"));

    // Wider than the header can hold: refused before the file is touched.
    TempDir dir;
    const std::string wide = dir.Path("wide.tga");
    EXPECT_EQ(saveReport(created(70000, 1), wide.c_str()),
              report("ORV_ASSERT_MESG: (mSizeX <= MAX_TGA_SIZE) && (mSizeY <= MAX_TGA_SIZE)",
                     "ORV_ASSERT_MESG((mSizeX <= MAX_TGA_SIZE)", 1, "ORV::Image::saveTGA",
                     "Image is too large for TGA (70000 x 1)!!"));
    EXPECT_NE(access(wide.c_str(), F_OK), 0);

    // A disk that fills up: the buffered bytes fail only when the file is closed.
    const std::string full = dir.Path("full.tga");
    ASSERT_EQ(symlink("/dev/full", full.c_str()), 0);
    EXPECT_EQ(saveReport(created(2, 2), full.c_str()),
              report("ORV_ASSERT_MESG: written", "ORV_ASSERT_MESG(written", 3,
                     "ORV::Image::saveTGA", "fail to write!!"));
}
