// Png.h - pictures in and out of PNG files (libpng).
#ifndef ORVBSP_PNG_H
#define ORVBSP_PNG_H

#include <cstdint>
#include <string>
#include <vector>

namespace orvbsp {

// Writes width x height RGBA pixels, given bottom row first (glReadPixels
// order), to path as an 8-bit RGB PNG, top row first. Throws Error naming
// path when it cannot be written.
void WritePng(const std::string& path, const std::vector<uint8_t>& rgba, int width, int height);
// Reads a PNG as RGBA, bottom row first; false (with the reason in *pError)
// when it cannot be read.
bool ReadPng(const std::string& path, std::vector<uint8_t>* pRgba, int* pWidth, int* pHeight,
             std::string* pError);

}  // namespace orvbsp

#endif
