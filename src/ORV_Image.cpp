// ORV_Image.cpp - images and the uncompressed true-colour TGA codec.
#include "ORV.h"

#include <strings.h>

#include <cstring>
#include <memory>

namespace ORV {

namespace {

// Files and images are held so that a report thrown by the program's handler
// (Report::SetHandler) releases them on its way out.
struct FileCloser {
    void operator()(FILE* pFile) const { fclose(pFile); }
};
using FileHolder = std::unique_ptr<FILE, FileCloser>;

const uint32_t TGA_HEADER_SIZE = 18;
// The largest pixel block: byte counts and offsets are 32-bit.
const uint64_t MAX_BYTE_NUM = 0xFFFFFFFFull;
// The header keeps the width and height in 16 bits each.
const uint32_t MAX_TGA_SIZE = 0xFFFF;

int stricmp(const char* pA, const char* pB) { return strcasecmp(pA, pB); }

// The last four characters of a name, or the whole name when it is shorter
// (which then never equals an extension of four).
const char* extensionOf(const char* pName) {
    size_t len = std::strlen(pName);
    return (len >= 4) ? pName + len - 4 : pName;
}

// Pixel bytes of an image, or MAX_BYTE_NUM + 1 when they would not fit in 32
// bits, so that a too-large size is refused instead of wrapping around. The
// pixel count of two 32-bit sizes fits in 64 bits, but times the depth it
// may not: it is compared before the multiplication.
uint64_t byteNumOf(uint32_t sizeX, uint32_t sizeY, uint32_t bpp) {
    const uint64_t pixelNum = static_cast<uint64_t>(sizeX) * sizeY;
    if (bpp != 0 && pixelNum > ((MAX_BYTE_NUM << 3) | 7) / bpp) return MAX_BYTE_NUM + 1;
    return (pixelNum * bpp) >> 3;
}

}  // namespace

Image::Image() : mpData(nullptr), mBPP(0), mSizeX(0), mSizeY(0) {}

Image::~Image() { delete[] mpData; }

Image* Image::Create(uint32_t sizeX, uint32_t sizeY, uint32_t bpp) {
    ORV_ASSERT_PARM(sizeX && sizeY && ((bpp == 24) || (bpp == 32)));
    uint64_t byteNum = byteNumOf(sizeX, sizeY, bpp);
    ORV_ASSERT_MESG(byteNum <= MAX_BYTE_NUM, "Image is too large (%u x %u, %u bits)!!", sizeX,
                    sizeY, bpp);

    Image* pImage = new Image;
    ORV_ASSERT_ALLOC(pImage);
    pImage->mBPP = bpp;
    pImage->mSizeX = sizeX;
    pImage->mSizeY = sizeY;
    pImage->mpData = new uint8_t[byteNum];
    ORV_ASSERT_ALLOC(pImage->mpData);
    std::memset(pImage->mpData, 0, byteNum);
    return pImage;
}

Image* Image::Load(const char* pName) {
    ORV_ASSERT_PARM(pName);
    std::unique_ptr<Image, void (*)(Image*)> pImage(new Image, Destroy);
    ORV_ASSERT_ALLOC(pImage);

    const char* pExt = extensionOf(pName);
    ORV_ASSERT_MESG(stricmp(pExt, ".TGA") == 0, "Can only load .TGA file!!");

    FileHolder pFile(fopen(pName, "rb"));
    ORV_ASSERT_MESG(pFile, "Cannot open '%s'\n", pName);
    long fileSize = -1;
    if (fseek(pFile.get(), 0, SEEK_END) == 0) fileSize = ftell(pFile.get());
    fseek(pFile.get(), 0, SEEK_SET);
    // A size the decoder cannot take (unknown, or past 32 bits) is a read error.
    ORV_ASSERT_MESG((fileSize >= 0) && (static_cast<uint64_t>(fileSize) <= MAX_BYTE_NUM),
                    "Error in reading '%s'\n", pName);
    ORV_ASSERT_MESG(fileSize <= static_cast<long>(MAX_IMAGE_FILE_SIZE),
                    "'%s' is too large (%ld bytes, more than %u)!!", pName, fileSize,
                    MAX_IMAGE_FILE_SIZE);

    std::unique_ptr<uint8_t[]> pFileData(new uint8_t[fileSize]);
    ORV_ASSERT_ALLOC(pFileData);
    // The count read is at most fileSize, which fits a long.
    long readSize =
        static_cast<long>(fread(pFileData.get(), 1, static_cast<size_t>(fileSize), pFile.get()));
    ORV_ASSERT_MESG(readSize == fileSize, "Error in reading '%s'\n", pName);
    pFile.reset();

    bool loaded = pImage->loadTGA(pFileData.get(), static_cast<uint32_t>(fileSize));
    pFileData.reset();
    return loaded ? pImage.release() : nullptr;
}

void Image::Destroy(Image* pImage) { delete pImage; }

bool Image::Save(const char* pName) {
    ORV_ASSERT_PARM(pName);
    const char* pExt = extensionOf(pName);
    ORV_ASSERT_MESG(stricmp(pExt, ".TGA") == 0, "Can only save to .TGA file!!");
    return saveTGA(pName);
}

bool Image::loadTGA(const uint8_t* pData, uint32_t dataSize) {
    ORV_ASSERT_PARM(pData && dataSize);
    uint64_t needSize = TGA_HEADER_SIZE;
    ORV_ASSERT_MESG(dataSize >= needSize, "TGA data is too short (%u bytes, need %llu)!!", dataSize,
                    static_cast<unsigned long long>(needSize));

    uint8_t imageType = pData[2];
    ORV_ASSERT_MESG(imageType == 2, "Only support uncompressed, true-color image");
    mBPP = pData[16];
    ORV_ASSERT_MESG((mBPP == 24) || (mBPP == 32), "Only support 24 or 32 bits image");
    mSizeX = pData[12] + 256u * pData[13];
    mSizeY = pData[14] + 256u * pData[15];

    uint64_t byteNum = byteNumOf(mSizeX, mSizeY, mBPP);
    ORV_ASSERT_MESG(byteNum <= MAX_BYTE_NUM, "Image is too large (%u x %u, %u bits)!!", mSizeX,
                    mSizeY, mBPP);
    ORV_ASSERT_MESG(byteNum <= MAX_IMAGE_BYTE_NUM, "Image is too large (%u x %u, %u bits)!!",
                    mSizeX, mSizeY, mBPP);
    const uint8_t* pPixels = pData + TGA_HEADER_SIZE + pData[0];
    needSize = TGA_HEADER_SIZE + pData[0] + byteNum;
    ORV_ASSERT_MESG(dataSize >= needSize, "TGA data is too short (%u bytes, need %llu)!!", dataSize,
                    static_cast<unsigned long long>(needSize));

    delete[] mpData;  // a second decode into the same image replaces its pixels
    mpData = new uint8_t[byteNum];
    ORV_ASSERT_ALLOC(mpData);

    uint8_t descriptor = pData[17];
    uint32_t rowBytes = (mSizeX * mBPP) >> 3;
    if (descriptor & 0x20) {
        std::memcpy(mpData, pPixels, byteNum);
    } else {
        // The file holds the bottom row first.
        for (uint32_t i = 0; i < mSizeY; ++i)
            std::memcpy(mpData + static_cast<size_t>(mSizeY - 1 - i) * rowBytes,
                        pPixels + static_cast<size_t>(i) * rowBytes, rowBytes);
    }

    if (descriptor & 0x10) {
        uint32_t pixelBytes = mBPP >> 3;
        for (uint32_t y = 0; y < mSizeY; ++y) {
            uint8_t* pRow = mpData + static_cast<size_t>(y) * rowBytes;
            for (uint32_t j = 0; j < mSizeX / 2; ++j) {
                uint8_t* pA = pRow + static_cast<size_t>(j) * pixelBytes;
                uint8_t* pB = pRow + static_cast<size_t>(mSizeX - 1 - j) * pixelBytes;
                for (uint32_t k = 0; k < pixelBytes; ++k) {
                    uint8_t t = pA[k];
                    pA[k] = pB[k];
                    pB[k] = t;
                }
            }
        }
    }
    return true;
}

bool Image::saveTGA(const char* pName) {
    // Refused before the file is opened, so an existing file stays untouched.
    ORV_ASSERT_MESG((mSizeX <= MAX_TGA_SIZE) && (mSizeY <= MAX_TGA_SIZE),
                    "Image is too large for TGA (%u x %u)!!", mSizeX, mSizeY);
    FileHolder pFile(fopen(pName, "wb"));
    ORV_ASSERT_MESG(pFile, "Cannot open '%s'\n", pName);

    uint8_t header[TGA_HEADER_SIZE] = {};
    header[2] = 2;
    header[12] = static_cast<uint8_t>(mSizeX & 0xFF);
    header[13] = static_cast<uint8_t>((mSizeX >> 8) & 0xFF);
    header[14] = static_cast<uint8_t>(mSizeY & 0xFF);
    header[15] = static_cast<uint8_t>((mSizeY >> 8) & 0xFF);
    header[16] = static_cast<uint8_t>(mBPP & 0xFF);
    header[17] = (mBPP == 32) ? 0x28 : 0x20;

    size_t written = fwrite(header, TGA_HEADER_SIZE, 1, pFile.get());
    ORV_ASSERT_MESG(written, "fail to write!!");
    written = fwrite(mpData, byteNumOf(mSizeX, mSizeY, mBPP), 1, pFile.get());
    ORV_ASSERT_MESG(written, "fail to write!!");
    // Buffered bytes reach the disk only here; a failed flush is a failed write.
    written = (fclose(pFile.release()) == 0);
    ORV_ASSERT_MESG(written, "fail to write!!");
    return true;
}

}  // namespace ORV
