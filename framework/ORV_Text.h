// ORV_Text.h - lines of text drawn over the picture, in window pixels.
//
// The printable ASCII glyphs of a font are rasterised once (by FreeType from
// a font file on the desktop, by the page's canvas on the web) into one
// alpha texture; a string is drawn as one textured quad per glyph,
// in its own orthographic projection over the current viewport, after a
// translucent dark box that keeps it readable over any picture. Drawing
// needs OpenGL 2.0's fixed-function pipeline only, turns the depth test off
// and leaves every GL state as it found it: call it last in a frame, after
// the scene, so nothing drawn later covers it.
#ifndef ORV_TEXT_H
#define ORV_TEXT_H

#include "ORV.h"

#include <GL/glew.h>

#include <string>
#include <vector>

namespace ORV {

class Text {
public:
    static const int DEFAULT_PIXEL_HEIGHT = 16;  // the font's size in pixels
    static const int BOX_MARGIN = 4;             // pixels between the box's edge and the text

    // The shared text, made at the first call (a current GL context needed)
    // from FindFont's font at DEFAULT_PIXEL_HEIGHT. Null when there is no
    // usable font: the first call then says why on standard error, once;
    // later calls return null without a word, and the caller goes on
    // without text.
    static Text* Instance();
    // Releases the shared text (its texture: the GL context must still
    // exist); no-op when absent.
    static void Destroy();

    // The font file: the one named by the environment variable ORV_FONT when
    // it is set, otherwise the first existing file among a few standard
    // places of DejaVu Sans Mono (Debian's fonts-dejavu-core). Empty, with
    // *pWhy, when there is none. On the web: the font family the page has
    // loaded (DejaVu Sans Mono, served with the page).
    static std::string FindFont(std::string* pWhy);

    // Rasterises the font file's glyphs at pixelHeight into a new texture (a
    // current GL context needed; the bound texture and pixel-store state are
    // kept). Null, with *pWhy naming the file, when it cannot be read.
    // The caller deletes the result while the context exists.
    static Text* Create(const std::string& fontFile, int pixelHeight, std::string* pWhy);
    ~Text();
    Text(const Text&) = delete;
    Text& operator=(const Text&) = delete;

    // Pixels from one line's top to the next one's.
    int LineHeight() const { return mLineHeight; }
    // Pixels the pen moves over line (characters outside printable ASCII
    // count as '?').
    int Width(const std::string& line) const;
    // The size of the box DrawBlock draws behind lines.
    void BlockSize(const std::vector<std::string>& lines, int* pWidth, int* pHeight) const;

    // Draws the box and, inside it, the lines one under the other in colour.
    // (x, y) is the box's top-left corner in pixels of the current viewport,
    // x to the right and y down from its top-left corner.
    void DrawBlock(const std::vector<std::string>& lines, int x, int y,
                   const Color& colour = Color(1.0f, 1.0f, 1.0f, 1.0f)) const;

private:
    // Where a glyph lies in the texture and how it sits on the pen.
    struct Glyph {
        int atlasX, atlasY;  // top-left texel
        int width, height;   // bitmap size
        int left,
            top;      // from the pen to the bitmap's left edge, and up from the baseline to its top
        int advance;  // pen movement
    };
    static const char FIRST_CHAR = ' ';
    static const char LAST_CHAR = '~';

    Text() = default;
    const Glyph& glyph(char c) const;
    void drawLine(const std::string& line, int x, int baseline) const;

    GLuint mTexture = 0;
    int mAtlasWidth = 0;
    int mAtlasHeight = 0;
    int mLineHeight = 0;
    int mAscender = 0;  // baseline below a line's top
    Glyph mGlyph[LAST_CHAR - FIRST_CHAR + 1] = {};
};

}  // namespace ORV

#endif  // ORV_TEXT_H
