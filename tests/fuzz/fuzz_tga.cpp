// Fuzz target: ORV::Image::loadTGA on arbitrary bytes.
//
// Either a report, or an image whose every pixel is the file's pixel that the
// descriptor's row order and mirroring put there, computed here pixel by
// pixel as a second opinion on the decoder's block copies and swaps.
#include "FuzzSupport.h"

#include <vector>

using ORV::Image;

namespace {

void checkImage(const Image& img, const uint8_t* pData, size_t size) {
    const uint32_t w = img.SizeX(), h = img.SizeY(), bpp = img.BPP();
    FUZZ_CHECK(size >= 18);
    FUZZ_CHECK(w == pData[12] + 256u * pData[13] && h == pData[14] + 256u * pData[15]);
    FUZZ_CHECK(bpp == pData[16] && (bpp == 24 || bpp == 32));
    const size_t pixelBytes = bpp / 8;
    const size_t start = 18 + static_cast<size_t>(pData[0]);
    FUZZ_CHECK(start + static_cast<size_t>(w) * h * pixelBytes <= size);
    if (w == 0 || h == 0) return;
    FUZZ_CHECK(img.Data() != nullptr);

    const bool topFirst = (pData[17] & 0x20) != 0;
    const bool mirrored = (pData[17] & 0x10) != 0;
    for (uint32_t y = 0; y < h; ++y) {
        for (uint32_t x = 0; x < w; ++x) {
            size_t fileRow = topFirst ? y : h - 1 - y;
            size_t fileCol = mirrored ? w - 1 - x : x;
            const uint8_t* pWant = pData + start + (fileRow * w + fileCol) * pixelBytes;
            const uint8_t* pGot = img.Data() + (static_cast<size_t>(y) * w + x) * pixelBytes;
            FUZZ_CHECK(memcmp(pWant, pGot, pixelBytes) == 0);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t size) {
    // An exact copy, so that any read past the file's last byte shows.
    std::vector<uint8_t> bytes(pData, pData + size);
    Image* pImage = Image::Create(1, 1, 24);
    std::string report;
    bool loaded = orvfuzz::RunReporting(
        [&] { pImage->loadTGA(size ? bytes.data() : nullptr, static_cast<uint32_t>(size)); },
        &report);
    if (loaded) checkImage(*pImage, bytes.data(), size);
    else FUZZ_CHECK_REPORT(report);
    Image::Destroy(pImage);
    return 0;
}
