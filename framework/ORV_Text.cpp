// ORV_Text.cpp - the glyph atlas and the overlay's drawing; the glyphs come
// from the platform (ORV_TextFont.h).
#include "ORV_Text.h"

#include "ORV_TextFont.h"

#include <memory>

namespace ORV {

namespace {

const int kAtlasWidth = 256;
const float kBoxAlpha = 0.6f;

int nextPowerOfTwo(int n) {
    int p = 1;
    while (p < n) p *= 2;
    return p;
}

Text* spText = nullptr;
bool sTextTried = false;

}  // namespace

Text* Text::Instance() {
    if (sTextTried) return spText;
    sTextTried = true;
    std::string why;
    std::string font = FindFont(&why);
    if (!font.empty()) spText = Create(font, DEFAULT_PIXEL_HEIGHT, &why);
    if (spText == nullptr) fprintf(stderr, "No text in the window: %s\n", why.c_str());
    return spText;
}

void Text::Destroy() {
    delete spText;
    spText = nullptr;
    sTextTried = false;
}

std::string Text::FindFont(std::string* pWhy) { return TextFont::Find(pWhy); }

Text* Text::Create(const std::string& fontFile, int pixelHeight, std::string* pWhy) {
    TextFont::Glyphs font;
    if (!TextFont::Rasterise(fontFile, pixelHeight, FIRST_CHAR, LAST_CHAR, &font, pWhy))
        return nullptr;
    std::unique_ptr<Text> pText(new Text);
    pText->mLineHeight = font.lineHeight;
    pText->mAscender = font.ascender;

    // Glyphs side by side in rows as high as the tallest, one texel apart so
    // that no quad picks up its neighbour's edge.
    std::vector<uint8_t> atlas;
    int penX = 1, rowY = 1, rowHeight = 0;
    for (char c = FIRST_CHAR; c <= LAST_CHAR; ++c) {
        const TextFont::Glyph& bitmap = font.glyph[static_cast<size_t>(c - FIRST_CHAR)];
        Glyph& g = pText->mGlyph[c - FIRST_CHAR];
        g.width = bitmap.width;
        g.height = bitmap.height;
        g.left = bitmap.left;
        g.top = bitmap.top;
        g.advance = bitmap.advance;
        if (penX + g.width + 1 > kAtlasWidth) {
            penX = 1;
            rowY += rowHeight + 1;
            rowHeight = 0;
        }
        g.atlasX = penX;
        g.atlasY = rowY;
        penX += g.width + 1;
        rowHeight = Max(rowHeight, g.height);
        atlas.resize(static_cast<size_t>(kAtlasWidth) * static_cast<size_t>(rowY + rowHeight + 1));
        for (int row = 0; row < g.height; ++row)
            for (int col = 0; col < g.width; ++col)
                atlas[static_cast<size_t>((g.atlasY + row) * kAtlasWidth + g.atlasX + col)] =
                    bitmap.coverage[static_cast<size_t>(row * g.width + col)];
    }
    pText->mAtlasWidth = kAtlasWidth;
    pText->mAtlasHeight = nextPowerOfTwo(static_cast<int>(atlas.size() / kAtlasWidth));
    atlas.resize(static_cast<size_t>(kAtlasWidth * pText->mAtlasHeight));

    // Texel rows go top first, as the glyph bitmaps do: texture coordinate t
    // grows downwards here, like the overlay's y.
    glPushAttrib(GL_TEXTURE_BIT);
    glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
    glGenTextures(1, &pText->mTexture);
    glBindTexture(GL_TEXTURE_2D, pText->mTexture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
    glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_ALPHA8, pText->mAtlasWidth, pText->mAtlasHeight, 0, GL_ALPHA,
                 GL_UNSIGNED_BYTE, atlas.data());
    glPopClientAttrib();
    glPopAttrib();
    return pText.release();
}

Text::~Text() {
    if (mTexture != 0) glDeleteTextures(1, &mTexture);
}

const Text::Glyph& Text::glyph(char c) const {
    if (c < FIRST_CHAR || c > LAST_CHAR) c = '?';
    return mGlyph[c - FIRST_CHAR];
}

int Text::Width(const std::string& line) const {
    int w = 0;
    for (char c : line) w += glyph(c).advance;
    return w;
}

void Text::BlockSize(const std::vector<std::string>& lines, int* pWidth, int* pHeight) const {
    int w = 0;
    for (const std::string& line : lines) w = Max(w, Width(line));
    *pWidth = w + 2 * BOX_MARGIN;
    *pHeight = static_cast<int>(lines.size()) * mLineHeight + 2 * BOX_MARGIN;
}

void Text::drawLine(const std::string& line, int x, int baseline) const {
    const float su = 1.0f / static_cast<float>(mAtlasWidth);
    const float sv = 1.0f / static_cast<float>(mAtlasHeight);
    int pen = x;
    for (char c : line) {
        const Glyph& g = glyph(c);
        const float x0 = static_cast<float>(pen + g.left),
                    y0 = static_cast<float>(baseline - g.top);
        const float x1 = x0 + static_cast<float>(g.width), y1 = y0 + static_cast<float>(g.height);
        const float u0 = static_cast<float>(g.atlasX) * su, v0 = static_cast<float>(g.atlasY) * sv;
        const float u1 = static_cast<float>(g.atlasX + g.width) * su;
        const float v1 = static_cast<float>(g.atlasY + g.height) * sv;
        glTexCoord2f(u0, v0);
        glVertex2f(x0, y0);
        glTexCoord2f(u0, v1);
        glVertex2f(x0, y1);
        glTexCoord2f(u1, v1);
        glVertex2f(x1, y1);
        glTexCoord2f(u1, v0);
        glVertex2f(x1, y0);
        pen += g.advance;
    }
}

void Text::DrawBlock(const std::vector<std::string>& lines, int x, int y,
                     const Color& colour) const {
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    GLint program = 0;
    glGetIntegerv(GL_CURRENT_PROGRAM, &program);

    // Every attribute group, so whatever the scene left set is back after.
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glUseProgram(0);
    // Unit 0's texture and texture matrix; the unit selector is restored
    // with the attributes.
    glActiveTexture(GL_TEXTURE0);
    glMatrixMode(GL_TEXTURE);
    glPushMatrix();
    glLoadIdentity();
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    // One unit per pixel, y down: integer corners fall on pixel edges, so
    // each glyph texel covers exactly one pixel.
    glOrtho(0.0, viewport[2], viewport[3], 0.0, -1.0, 1.0);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();

    // Nothing of the scene's state may hide or tint the overlay.
    static const GLenum kOff[] = {
        GL_DEPTH_TEST,    GL_CULL_FACE,       GL_LIGHTING,         GL_FOG,
        GL_ALPHA_TEST,    GL_STENCIL_TEST,    GL_SCISSOR_TEST,     GL_COLOR_LOGIC_OP,
        GL_TEXTURE_1D,    GL_TEXTURE_3D,      GL_TEXTURE_CUBE_MAP, GL_TEXTURE_GEN_S,
        GL_TEXTURE_GEN_T, GL_POLYGON_STIPPLE, GL_COLOR_SUM,
    };
    for (GLenum cap : kOff) glDisable(cap);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glEnable(GL_BLEND);
    glBlendEquation(GL_FUNC_ADD);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);

    int w = 0, h = 0;
    BlockSize(lines, &w, &h);
    glDisable(GL_TEXTURE_2D);
    glColor4f(0.0f, 0.0f, 0.0f, kBoxAlpha);
    glBegin(GL_QUADS);
    glVertex2i(x, y);
    glVertex2i(x, y + h);
    glVertex2i(x + w, y + h);
    glVertex2i(x + w, y);
    glEnd();

    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, mTexture);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glColor4f(colour.x, colour.y, colour.z, colour.w);
    glBegin(GL_QUADS);
    for (size_t i = 0; i < lines.size(); ++i)
        drawLine(lines[i], x + BOX_MARGIN,
                 y + BOX_MARGIN + static_cast<int>(i) * mLineHeight + mAscender);
    glEnd();

    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_TEXTURE);
    glPopMatrix();
    glPopAttrib();
    glUseProgram(static_cast<GLuint>(program));
}

}  // namespace ORV
