// ORV_TextFontWeb.cpp - the overlay's font on the web: the font family the
// page has loaded (web/main.js: DejaVu Sans Mono, as on the desktop), its
// glyphs drawn by the browser on a 2D canvas and read back as coverage.
#include "ORV_TextFont.h"

#include <emscripten.h>

#include <cstdlib>

namespace ORV {
namespace TextFont {

namespace {

// The family the page loaded for the overlay, as a new C string (free it),
// or null when it has none.
EM_JS(char*, orvPageFont, (), {
    var family = Module["textFont"];
    return family ? stringToNewUTF8(family) : 0;
});

// Draws the characters first to last of family at px pixels, each alone
// on a cell x cell canvas with its baseline px pixels above the bottom
// edge and its pen px pixels from the left. For glyph i, metrics[2 + 5i ..]
// receive its bitmap's width, height, left (from the pen) and top (up from
// the baseline) and its advance, and its coverage goes, width x height
// bytes, rows top first, to pixels + i * cell * cell; metrics[0] and [1]
// receive the line height and the ascender. All in whole pixels, the
// measures rounded up as FreeType's are.
EM_JS(void, orvDrawGlyphs,
      (const char* family, int px, int first, int last, int cell, int* metrics, uint8_t* pixels), {
          var canvas = document.createElement("canvas");
          canvas.width = cell;
          canvas.height = cell;
          var ctx = canvas.getContext("2d", {willReadFrequently : true});
          ctx.font = px + 'px "' + UTF8ToString(family) + '"';
          ctx.textBaseline = "alphabetic";
          ctx.fillStyle = "#fff";
          var line = ctx.measureText("M");
          var ascent = Math.ceil(line.fontBoundingBoxAscent);
          HEAP32[metrics >> 2] = ascent + Math.ceil(line.fontBoundingBoxDescent);
          HEAP32[(metrics >> 2) + 1] = ascent;
          var baseline = cell - px;
          for (var c = first; c <= last; ++c) {
              var i = c - first;
              ctx.clearRect(0, 0, cell, cell);
              var ch = String.fromCharCode(c);
              ctx.fillText(ch, px, baseline);
              var data = ctx.getImageData(0, 0, cell, cell).data;
              var x0 = cell, y0 = cell, x1 = -1, y1 = -1;
              for (var y = 0; y < cell; ++y)
                  for (var x = 0; x < cell; ++x)
                      if (data[(y * cell + x) * 4 + 3]) {
                          x0 = Math.min(x0, x);
                          x1 = Math.max(x1, x);
                          y0 = Math.min(y0, y);
                          y1 = Math.max(y1, y);
                      }
              var m = (metrics >> 2) + 2 + 5 * i;
              var w = x1 < x0 ? 0 : x1 - x0 + 1, h = y1 < y0 ? 0 : y1 - y0 + 1;
              HEAP32[m] = w;
              HEAP32[m + 1] = h;
              HEAP32[m + 2] = w ? x0 - px : 0;
              HEAP32[m + 3] = h ? baseline - y0 : 0;
              HEAP32[m + 4] = Math.ceil(ctx.measureText(ch).width);
              var out = pixels + i * cell * cell;
              for (var y = 0; y < h; ++y)
                  for (var x = 0; x < w; ++x)
                      HEAPU8[out + y * w + x] = data[((y0 + y) * cell + x0 + x) * 4 + 3];
          }
      });

}  // namespace

std::string Find(std::string* pWhy) {
    char* pFamily = orvPageFont();
    if (pFamily == nullptr) {
        *pWhy = "the page has not loaded its font";
        return "";
    }
    std::string family = pFamily;
    std::free(pFamily);
    return family;
}

bool Rasterise(const std::string& font, int pixelHeight, char first, char last, Glyphs* pOut,
               std::string* pWhy) {
    if (pixelHeight < 1 || pixelHeight > 256 || last < first) {
        *pWhy = "cannot draw the font '" + font + "' at " + std::to_string(pixelHeight) + " pixels";
        return false;
    }
    // A glyph drawn at its pen, px from the cell's left and bottom edges,
    // stays within a cell four times its height.
    const int cell = 4 * pixelHeight;
    const size_t glyphNum = static_cast<size_t>(last - first + 1);
    std::vector<int> metrics(2 + 5 * glyphNum);
    std::vector<uint8_t> pixels(glyphNum * static_cast<size_t>(cell * cell));
    orvDrawGlyphs(font.c_str(), pixelHeight, first, last, cell, metrics.data(), pixels.data());
    pOut->lineHeight = metrics[0];
    pOut->ascender = metrics[1];
    pOut->glyph.assign(glyphNum, Glyph());
    for (size_t i = 0; i < glyphNum; ++i) {
        const int* pM = &metrics[2 + 5 * i];
        Glyph& g = pOut->glyph[i];
        g.width = pM[0];
        g.height = pM[1];
        g.left = pM[2];
        g.top = pM[3];
        g.advance = pM[4];
        const uint8_t* pCell = &pixels[i * static_cast<size_t>(cell * cell)];
        g.coverage.assign(pCell, pCell + static_cast<size_t>(g.width * g.height));
    }
    return true;
}

}  // namespace TextFont
}  // namespace ORV
