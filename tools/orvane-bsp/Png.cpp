// Png.cpp - PNG files through libpng's simplified interface.
#include "Png.h"

#include "Tool.h"

#include <png.h>

#include <cstring>

namespace orvbsp {

void WritePng(const std::string& path, const std::vector<uint8_t>& rgba, int width, int height) {
    std::vector<uint8_t> rgb(size_t(width) * size_t(height) * 3);
    for (size_t i = 0; i < rgb.size() / 3; ++i) std::memcpy(&rgb[3 * i], &rgba[4 * i], 3);
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = png_uint_32(width);
    image.height = png_uint_32(height);
    image.format = PNG_FORMAT_RGB;
    // A negative stride tells libpng that the rows run bottom to top.
    const png_int_32 stride = -png_int_32(width * 3);
    if (!png_image_write_to_file(&image, path.c_str(), 0, rgb.data(), stride, nullptr))
        Fail(path, std::string("cannot be written: ") + image.message);
}

bool ReadPng(const std::string& path, std::vector<uint8_t>* pRgba, int* pWidth, int* pHeight,
             std::string* pError) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) {
        *pError = image.message;
        return false;
    }
    image.format = PNG_FORMAT_RGBA;
    pRgba->assign(PNG_IMAGE_SIZE(image), 0);
    const png_int_32 stride = -png_int_32(PNG_IMAGE_ROW_STRIDE(image));
    if (!png_image_finish_read(&image, nullptr, pRgba->data(), stride, nullptr)) {
        *pError = image.message;
        png_image_free(&image);
        return false;
    }
    *pWidth = int(image.width);
    *pHeight = int(image.height);
    return true;
}

}  // namespace orvbsp
