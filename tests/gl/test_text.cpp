// Text drawn over the picture, under a real (offscreen) GL context: where the
// string and its box land, that each glyph is FreeType's own bitmap, that
// no scene state hides it or survives it, and what happens without a font.
#include <gtest/gtest.h>

#include <ft2build.h>
#include FT_FREETYPE_H

#include <unistd.h>

#include <array>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "ORV_Text.h"
#include "OffscreenGL.h"

#include <GL/glu.h>

using ORV::Text;

namespace {

const int kWidth = 320, kHeight = 120;
const int kPixelHeight = 16;

// A rectangle of pixels, x right and y down from the top-left corner,
// right and bottom exclusive; empty when right <= left.
struct Rect {
    int left = 0, top = 0, right = 0, bottom = 0;
    bool operator==(const Rect& o) const {
        return left == o.left && top == o.top && right == o.right && bottom == o.bottom;
    }
    Rect Moved(int dx, int dy) const { return {left + dx, top + dy, right + dx, bottom + dy}; }
};

std::ostream& operator<<(std::ostream& os, const Rect& r) {
    return os << "x " << r.left << ".." << r.right << ", y " << r.top << ".." << r.bottom;
}

typedef std::array<uint8_t, 3> Rgb;

class TextDraw : public ::testing::Test {
protected:
    void SetUp() override {
        mGL.reset(new orvtest::OffscreenGL(kWidth, kHeight));
        ASSERT_TRUE(mGL->Ok()) << mGL->Error();
        std::string why;
        std::string font = Text::FindFont(&why);
        ASSERT_FALSE(font.empty()) << why;
        mText.reset(Text::Create(font, kPixelHeight, &why));
        ASSERT_NE(mText, nullptr) << why;
        glViewport(0, 0, kWidth, kHeight);
    }

    void clear(const Rgb& c) {
        glClearColor(c[0] / 255.0f, c[1] / 255.0f, c[2] / 255.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
    }

    // The pixel at (x, y) from the top-left.
    Rgb at(const std::vector<uint8_t>& px, int x, int y) const {
        size_t i = 4 * (static_cast<size_t>(kHeight - 1 - y) * kWidth + static_cast<size_t>(x));
        return {px[i], px[i + 1], px[i + 2]};
    }

    // The smallest rectangle holding every pixel for which keep is true.
    template <typename Keep>
    Rect where(Keep keep) const {
        std::vector<uint8_t> px = mGL->ReadPixels();
        Rect r{kWidth, kHeight, 0, 0};
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x)
                if (keep(at(px, x, y))) {
                    r.left = std::min(r.left, x);
                    r.top = std::min(r.top, y);
                    r.right = std::max(r.right, x + 1);
                    r.bottom = std::max(r.bottom, y + 1);
                }
        return r;
    }

    std::unique_ptr<orvtest::OffscreenGL> mGL;
    std::unique_ptr<Text> mText;
};

// Everything the overlay touches, read back whole.
struct GLState {
    std::vector<float> floats;
    std::vector<int> ints;
    bool operator==(const GLState& o) const { return floats == o.floats && ints == o.ints; }
};

GLState readState() {
    GLState s;
    auto addFloats = [&](GLenum name, int n) {
        float v[16];
        glGetFloatv(name, v);
        s.floats.insert(s.floats.end(), v, v + n);
    };
    auto addInts = [&](GLenum name, int n) {
        GLint v[4];
        glGetIntegerv(name, v);
        s.ints.insert(s.ints.end(), v, v + n);
    };
    addInts(GL_ACTIVE_TEXTURE, 1);
    GLint unit = s.ints.back();
    glActiveTexture(GL_TEXTURE0);
    addFloats(GL_TEXTURE_MATRIX, 16);
    addInts(GL_TEXTURE_BINDING_2D, 1);
    s.ints.push_back(glIsEnabled(GL_TEXTURE_2D));
    GLint env = 0;
    glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &env);
    s.ints.push_back(env);
    glActiveTexture(static_cast<GLenum>(unit));
    addFloats(GL_MODELVIEW_MATRIX, 16);
    addFloats(GL_PROJECTION_MATRIX, 16);
    addFloats(GL_CURRENT_COLOR, 4);
    addInts(GL_MATRIX_MODE, 1);
    addInts(GL_POLYGON_MODE, 2);
    addInts(GL_CULL_FACE_MODE, 1);
    addInts(GL_DEPTH_FUNC, 1);
    addInts(GL_BLEND_SRC, 1);
    addInts(GL_BLEND_DST, 1);
    addInts(GL_VIEWPORT, 4);
    addInts(GL_UNPACK_ALIGNMENT, 1);
    addInts(GL_CURRENT_PROGRAM, 1);
    for (GLenum cap : {GL_DEPTH_TEST, GL_CULL_FACE, GL_BLEND, GL_LIGHTING, GL_ALPHA_TEST,
                       GL_SCISSOR_TEST, GL_FOG})
        s.ints.push_back(glIsEnabled(cap));
    return s;
}

}  // namespace

TEST_F(TextDraw, StringLandsWhereAskedOnTopOfItsBox) {
    const Rgb bg = {200, 120, 40};
    const std::vector<std::string> hello = {"Hello"};
    int w = 0, h = 0;
    mText->BlockSize(hello, &w, &h);
    auto changed = [&](const Rgb& c) { return c != bg; };
    // White text over the dark box: only glyph pixels are bright in green.
    auto bright = [](const Rgb& c) { return c[1] > 150; };

    clear(bg);
    mText->DrawBlock(hello, 30, 20);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    const Rect box = where(changed);
    EXPECT_EQ(box, (Rect{30, 20, 30 + w, 20 + h}));
    // Inside the margin the box darkens the picture without hiding it.
    const Rgb margin = at(mGL->ReadPixels(), 31, 21);
    for (int c = 0; c < 3; ++c) {
        EXPECT_LT(margin[c], bg[c] / 2 + 1) << "channel " << c;
        EXPECT_GT(margin[c], bg[c] / 4) << "channel " << c;
    }
    const Rect text = where(bright);
    EXPECT_GE(text.left, box.left + Text::BOX_MARGIN);
    EXPECT_LE(text.left, box.left + Text::BOX_MARGIN + 2);  // H's left bearing
    EXPECT_GE(text.top, box.top + Text::BOX_MARGIN);
    EXPECT_LE(text.bottom, box.bottom - Text::BOX_MARGIN);
    EXPECT_LE(text.right, box.right - Text::BOX_MARGIN);
    EXPECT_NEAR(text.right - text.left, mText->Width("Hello"), 3);
    EXPECT_GT(text.bottom - text.top, kPixelHeight / 2);

    // Asked elsewhere, the same picture moves by exactly as much.
    clear(bg);
    mText->DrawBlock(hello, 130, 60);
    EXPECT_EQ(where(changed), box.Moved(100, 40));
    EXPECT_EQ(where(bright), text.Moved(100, 40));

    // A second line stands one line below the first, in a box twice as high
    // (less one margin pair).
    clear(bg);
    mText->DrawBlock({"Hello", "Hello"}, 30, 20);
    EXPECT_EQ(where(changed), (Rect{30, 20, 30 + w, 20 + h + mText->LineHeight()}));
    const Rect both = where(bright);
    EXPECT_EQ(both.top, text.top);
    EXPECT_EQ(both.bottom, text.bottom + mText->LineHeight());
}

// On black, the box stays black and a white glyph's pixels are its coverage:
// the picture must be FreeType's bitmap of the glyph, the right way up.
TEST_F(TextDraw, GlyphIsFreeTypesBitmap) {
    FT_Library library = nullptr;
    FT_Face face = nullptr;
    std::string why;
    ASSERT_EQ(FT_Init_FreeType(&library), 0);
    ASSERT_EQ(FT_New_Face(library, Text::FindFont(&why).c_str(), 0, &face), 0);
    ASSERT_EQ(FT_Set_Pixel_Sizes(face, 0, kPixelHeight), 0);
    ASSERT_EQ(FT_Load_Char(face, 'F', FT_LOAD_RENDER), 0);
    const FT_Bitmap& bitmap = face->glyph->bitmap;

    clear({0, 0, 0});
    mText->DrawBlock({"F"}, 10, 10);
    const Rect glyph = where([](const Rgb& c) { return c[0] > 0; });
    ASSERT_EQ(glyph.right - glyph.left, static_cast<int>(bitmap.width)) << glyph;
    ASSERT_EQ(glyph.bottom - glyph.top, static_cast<int>(bitmap.rows)) << glyph;
    std::vector<uint8_t> px = mGL->ReadPixels();
    int off = 0;
    for (int row = 0; row < static_cast<int>(bitmap.rows); ++row)
        for (int col = 0; col < static_cast<int>(bitmap.width); ++col) {
            const Rgb c = at(px, glyph.left + col, glyph.top + row);
            const int want = bitmap.buffer[row * bitmap.pitch + col];
            off += std::abs(c[0] - want) > 1 || c[1] != c[0] || c[2] != c[0];
        }
    EXPECT_EQ(off, 0) << "pixels that differ from FreeType's bitmap";
    FT_Done_Face(face);
    FT_Done_FreeType(library);
}

// A scene that would hide anything drawn with its state (depth test against
// a buffer cleared to the near plane, every face culled, outlines only) and
// has moved every matrix: the box and text still show, and everything is as
// it was afterwards.
TEST_F(TextDraw, NoSceneStateHidesItOrOutlivesIt) {
    clear({0, 0, 0});
    glClearDepth(0.0);
    glClear(GL_DEPTH_BUFFER_BIT);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LESS);
    glEnable(GL_CULL_FACE);
    glCullFace(GL_FRONT_AND_BACK);
    glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);
    glEnable(GL_LIGHTING);
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    glMatrixMode(GL_TEXTURE);
    glScalef(2.0f, 3.0f, 1.0f);
    glMatrixMode(GL_MODELVIEW);
    glTranslatef(1.0f, 2.0f, -5.0f);
    glMatrixMode(GL_PROJECTION);
    gluPerspective(60.0, 4.0 / 3.0, 0.01, 100.0);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 8);
    glColor4f(0.1f, 0.2f, 0.3f, 0.4f);
    glActiveTexture(GL_TEXTURE1);
    const GLState before = readState();

    std::string why;
    std::unique_ptr<Text> made(Text::Create(Text::FindFont(&why), kPixelHeight, &why));
    ASSERT_NE(made, nullptr) << why;
    EXPECT_TRUE(readState() == before) << "Create changed the GL state";

    glClearColor(0.0f, 0.0f, 1.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    made->DrawBlock({"Hello"}, 30, 20, ORV::Color(1.0f, 1.0f, 0.0f, 1.0f));
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    EXPECT_TRUE(readState() == before) << "DrawBlock changed the GL state";

    int w = 0, h = 0;
    made->BlockSize({"Hello"}, &w, &h);
    // The whole box is filled (not outlined) and the text is in its colour.
    EXPECT_EQ(where([](const Rgb& c) { return c[2] < 255; }), (Rect{30, 20, 30 + w, 20 + h}));
    const Rect text = where([](const Rgb& c) { return c[0] > 200 && c[1] > 200; });
    EXPECT_GT(text.right - text.left, made->Width("Hello") / 2);
    glDeleteTextures(1, &texture);
}

TEST(TextFont, WithoutAFontThereIsNoTextAndOneLineSaysWhy) {
    std::string why;
    EXPECT_EQ(Text::Create("/nonexistent/orvane/font.ttf", kPixelHeight, &why), nullptr);
    EXPECT_EQ(why, "FreeType cannot read the font '/nonexistent/orvane/font.ttf'");

    auto r = orvtest::RunInChild([] {
        orvtest::OffscreenGL gl(kWidth, kHeight);
        if (!gl.Ok()) _exit(3);
        dup2(1, 2);
        setenv("ORV_FONT", "/nonexistent/orvane/font.ttf", 1);
        Text* pFirst = Text::Instance();
        Text* pSecond = Text::Instance();
        printf("%d %d\n", pFirst == nullptr, pSecond == nullptr);
        unsetenv("ORV_FONT");
        Text::Destroy();  // forgets the failure: the next call looks again
        pFirst = Text::Instance();
        printf("%d %d\n", pFirst != nullptr, Text::Instance() == pFirst);
        Text::Destroy();
    });
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out,
              "No text in the window: the font ORV_FONT names, '/nonexistent/orvane/font.ttf', "
              "cannot be read\n1 1\n1 1\n");
}
