// ORV_TextFontDesktop.cpp - the overlay's font on the desktop: a font file
// found on the machine, its glyphs rasterised by FreeType.
#include "ORV_TextFont.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <unistd.h>

#include <cstdlib>

namespace ORV {
namespace TextFont {

namespace {

// Where Debian, Fedora and Arch put DejaVu Sans Mono.
const char* const kFontPlaces[] = {
    "/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf",
    "/usr/share/fonts/dejavu-sans-mono-fonts/DejaVuSansMono.ttf",
    "/usr/share/fonts/dejavu/DejaVuSansMono.ttf",
    "/usr/share/fonts/TTF/DejaVuSansMono.ttf",
};

// FreeType's 26.6 fixed point to whole pixels, rounded up.
int pixelsUp(FT_Pos v) { return static_cast<int>((v + 63) >> 6); }

// FreeType's library and face, released on every path out of Rasterise.
struct FontFace {
    FT_Library library = nullptr;
    FT_Face face = nullptr;
    ~FontFace() {
        if (face) FT_Done_Face(face);
        if (library) FT_Done_FreeType(library);
    }
};

}  // namespace

std::string Find(std::string* pWhy) {
    const char* pChosen = getenv("ORV_FONT");
    if (pChosen != nullptr) {
        if (access(pChosen, R_OK) == 0) return pChosen;
        *pWhy = std::string("the font ORV_FONT names, '") + pChosen + "', cannot be read";
        return "";
    }
    for (const char* pPlace : kFontPlaces)
        if (access(pPlace, R_OK) == 0) return pPlace;
    *pWhy = std::string("no font found (looked for ") + kFontPlaces[0] +
            " and in other usual places; install fonts-dejavu-core, or name a font file in "
            "ORV_FONT)";
    return "";
}

bool Rasterise(const std::string& fontFile, int pixelHeight, char first, char last, Glyphs* pOut,
               std::string* pWhy) {
    FontFace font;
    if (FT_Init_FreeType(&font.library) != 0) {
        *pWhy = "FreeType cannot start";
        return false;
    }
    if (FT_New_Face(font.library, fontFile.c_str(), 0, &font.face) != 0 ||
        FT_Set_Pixel_Sizes(font.face, 0, static_cast<FT_UInt>(pixelHeight)) != 0) {
        *pWhy = "FreeType cannot read the font '" + fontFile + "'";
        return false;
    }
    pOut->lineHeight = pixelsUp(font.face->size->metrics.height);
    pOut->ascender = pixelsUp(font.face->size->metrics.ascender);
    pOut->glyph.clear();
    for (char c = first; c <= last; ++c) {
        if (FT_Load_Char(font.face, static_cast<FT_ULong>(c), FT_LOAD_RENDER) != 0) {
            *pWhy =
                "FreeType cannot draw '" + std::string(1, c) + "' of the font '" + fontFile + "'";
            return false;
        }
        const FT_GlyphSlot slot = font.face->glyph;
        const FT_Bitmap& bitmap = slot->bitmap;
        Glyph g;
        g.width = static_cast<int>(bitmap.width);
        g.height = static_cast<int>(bitmap.rows);
        g.left = slot->bitmap_left;
        g.top = slot->bitmap_top;
        g.advance = pixelsUp(slot->advance.x);
        g.coverage.resize(static_cast<size_t>(g.width) * static_cast<size_t>(g.height));
        for (int row = 0; row < g.height; ++row)
            for (int col = 0; col < g.width; ++col)
                g.coverage[static_cast<size_t>(row * g.width + col)] =
                    bitmap.buffer[row * bitmap.pitch + col];
        pOut->glyph.push_back(std::move(g));
    }
    return true;
}

}  // namespace TextFont
}  // namespace ORV
