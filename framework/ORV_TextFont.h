// ORV_TextFont.h - the platform's half of the text overlay: which font, and
// its glyphs as coverage bitmaps. FreeType reads a font file on the desktop
// (ORV_TextFontDesktop.cpp); the page's canvas draws the page's font on the
// web (ORV_TextFontWeb.cpp). ORV_Text.cpp packs the glyphs into its texture.
#ifndef ORV_TEXT_FONT_H
#define ORV_TEXT_FONT_H

#include <cstdint>
#include <string>
#include <vector>

namespace ORV {
namespace TextFont {

// One glyph: its coverage (0 to 255), width x height bytes, rows top first;
// from the pen to the bitmap's left edge, and up from the baseline to its
// top; the pen's movement. All in pixels.
struct Glyph {
    int width = 0, height = 0;
    int left = 0, top = 0;
    int advance = 0;
    std::vector<uint8_t> coverage;
};

struct Glyphs {
    int lineHeight = 0;        // from one line's top to the next one's
    int ascender = 0;          // from a line's top down to its baseline
    std::vector<Glyph> glyph;  // one per character from first to last
};

// The font to use (see Text::FindFont); empty, with *pWhy, when none.
std::string Find(std::string* pWhy);

// The glyphs of the characters first to last of font at pixelHeight. False,
// with *pWhy naming the font, when it cannot be read or drawn.
bool Rasterise(const std::string& font, int pixelHeight, char first, char last, Glyphs* pOut,
               std::string* pWhy);

}  // namespace TextFont
}  // namespace ORV

#endif  // ORV_TEXT_FONT_H
