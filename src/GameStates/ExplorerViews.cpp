// ExplorerViews.cpp - two views beside the painter's picture: the pixels an
// order gets wrong, and the tree drawn as a diagram in a panel.
//
// The wrong pixels come from two pictures of the same fills, painted by the
// demo's chosen drawing of the walk (DrawPath.h) and read back as colours
// (the depth buffer itself is never read), so each drawing is measured by
// what it paints itself.
#include "Explorer.h"

#include "DrawPath.h"
#include "ORV_Text.h"

#include <GL/glew.h>

#include <algorithm>
#include <cstdio>

namespace explore {

namespace {

const ORV::Color kEyeInFront(0.30f, 0.80f, 0.35f, 1.0f);  // the walk takes the back first
const ORV::Color kEyeBehind(0.95f, 0.55f, 0.15f, 1.0f);   // the walk takes the front first
const ORV::Color kCursor(1.0f, 0.9f, 0.0f, 1.0f);         // L/F/B/U's node
const ORV::Color kPainting(1.0f, 1.0f, 1.0f, 1.0f);       // holds the triangle painted last
const ORV::Color kEdge(0.75f, 0.75f, 0.75f, 1.0f);
const ORV::Color kCount(0.85f, 0.85f, 0.85f, 1.0f);

constexpr int DIAGRAM_TEXT_PIXELS = 11;  // the diagram's own, smaller text
constexpr int PANEL_WIDTH = 430, PANEL_HEIGHT = 250, PANEL_MARGIN = 8;

// Pixel coordinates over the viewport, y down, for the rest of a scope; the
// matrices and the enables are back as they were at its end.
class PixelSpace {
public:
    PixelSpace() {
        glGetIntegerv(GL_VIEWPORT, mViewport);
        glPushAttrib(GL_ENABLE_BIT | GL_COLOR_BUFFER_BIT | GL_POLYGON_BIT | GL_LINE_BIT |
                     GL_SCISSOR_BIT | GL_TEXTURE_BIT | GL_CURRENT_BIT);
        glMatrixMode(GL_PROJECTION);
        glPushMatrix();
        glLoadIdentity();
        glOrtho(0.0, mViewport[2], mViewport[3], 0.0, -1.0, 1.0);
        glMatrixMode(GL_MODELVIEW);
        glPushMatrix();
        glLoadIdentity();
        glDisable(GL_DEPTH_TEST);
        glDisable(GL_CULL_FACE);
        glDisable(GL_BLEND);
        glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    }
    ~PixelSpace() {
        glMatrixMode(GL_PROJECTION);
        glPopMatrix();
        glMatrixMode(GL_MODELVIEW);
        glPopMatrix();
        glPopAttrib();
    }
    PixelSpace(const PixelSpace&) = delete;
    PixelSpace& operator=(const PixelSpace&) = delete;
    int Width() const { return mViewport[2]; }
    int Height() const { return mViewport[3]; }

private:
    GLint mViewport[4];
};

void colour(const ORV::Color& c, float alpha = 1.0f) { glColor4f(c.x, c.y, c.z, alpha); }

void rect(float x0, float y0, float x1, float y1, bool filled) {
    glBegin(filled ? GL_QUADS : GL_LINE_LOOP);
    glVertex2f(x0, y0);
    glVertex2f(x0, y1);
    glVertex2f(x1, y1);
    glVertex2f(x1, y0);
    glEnd();
}

// The diagram's text: the window's font, smaller; null without a font. Made
// in the first context that draws it and kept, as the window's own text is,
// until the process ends.
const ORV::Text* diagramText() {
    static ORV::Text* spText = nullptr;
    static bool sTried = false;
    if (!sTried) {
        sTried = true;
        std::string why;
        const std::string font = ORV::Text::FindFont(&why);
        if (!font.empty()) spText = ORV::Text::Create(font, DIAGRAM_TEXT_PIXELS, &why);
    }
    return spText != nullptr ? spText : ORV::Text::Instance();
}

}  // namespace

// ---- Wrong pixels ----

void Explorer::drawWrongPixels(PathPainter& painter) const {
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    const GLsizei w = viewport[2], h = viewport[3];
    mTruth.resize(size_t(w) * size_t(h) * 4);
    mPainted.resize(mTruth.size());

    // The same fills twice: once with the depth buffer deciding, once in
    // the order with the depth test off, as the demo paints. The polygon
    // mode the per-triangle path leaves in lines is put back here: Mesa's
    // glPopAttrib restores only the groups changed since their push, and a
    // nested push that leaves a group out forgets the change, so the frame's
    // own restore kept the lines, and the batched path, which needs filled
    // polygons, then drew only edges.
    glPushAttrib(GL_ENABLE_BIT | GL_DEPTH_BUFFER_BIT | GL_COLOR_BUFFER_BIT | GL_POLYGON_BIT);
    glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glDisable(GL_BLEND);
    for (int pass = 0; pass < 2; ++pass) {
        const bool depth = pass == 0;
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        if (depth) {
            glEnable(GL_DEPTH_TEST);
            glDepthFunc(GL_LESS);
            glDepthMask(GL_TRUE);
        } else {
            glDisable(GL_DEPTH_TEST);
        }
        painter.Begin();
        for (const Fill& f : mFills) painter.Paint(*f.pTri, f.colour, false);
        painter.Finish();
        glReadPixels(viewport[0], viewport[1], w, h, GL_RGBA, GL_UNSIGNED_BYTE,
                     (depth ? mTruth : mPainted).data());
    }
    glPopClientAttrib();
    glPopAttrib();
    mWrongCount = pixels::Mark(mPainted, mTruth, &mMarked);

    // The marked picture in place of the scene: one texel per pixel.
    PixelSpace space;
    glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    if (mMarkTexture == 0 || !glIsTexture(mMarkTexture)) {
        glGenTextures(1, &mMarkTexture);
        mMarkSize[0] = mMarkSize[1] = 0;
    }
    glBindTexture(GL_TEXTURE_2D, mMarkTexture);
    if (mMarkSize[0] != w || mMarkSize[1] != h) {
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, w, h, 0, GL_RGBA, GL_UNSIGNED_BYTE, mMarked.data());
        mMarkSize[0] = w;
        mMarkSize[1] = h;
    } else {
        glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, w, h, GL_RGBA, GL_UNSIGNED_BYTE, mMarked.data());
    }
    glPopClientAttrib();
    glEnable(GL_TEXTURE_2D);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    // Rows were read bottom first, and pixel space runs y down.
    glBegin(GL_QUADS);
    glTexCoord2f(0.0f, 1.0f);
    glVertex2i(0, 0);
    glTexCoord2f(0.0f, 0.0f);
    glVertex2i(0, h);
    glTexCoord2f(1.0f, 0.0f);
    glVertex2i(w, h);
    glTexCoord2f(1.0f, 1.0f);
    glVertex2i(w, 0);
    glEnd();
}

// ---- The diagram ----

void Explorer::drawDiagram(const ORV::Vec3& eye, int width, int height) const {
    const ORV::Text* pText = diagramText();
    if (pText == nullptr || mpTree == nullptr || mCursor.Node() == nullptr) return;
    const int line = pText->LineHeight();

    DiagramMetrics m;
    m.width = float(std::min(PANEL_WIDTH, width - 2 * PANEL_MARGIN));
    m.height = float(std::min(PANEL_HEIGHT, height / 2));
    m.top = float(2 * line + ORV::Text::BOX_MARGIN);
    m.charWidth = float(pText->Width("0"));
    m.labelMargin = float(ORV::Text::BOX_MARGIN);
    m.textHeight = float(line + 2 * ORV::Text::BOX_MARGIN);
    m.nodeSize = 10.0f;
    m.rowHeight = m.textHeight + 8.0f;
    const DiagramLayout& layout = Diagram(m);
    const int x0 = PANEL_MARGIN, y0 = height - PANEL_MARGIN - int(m.height);
    const int painted = mPainting && mpPaintedNode ? DiagramBoxOf(layout, mpPaintedNode) : -1;

    char caption[160];
    std::snprintf(caption, sizeof(caption), "Tree: node %s, depth %u of %u",
                  mCursor.Route().c_str(), mCursor.Depth(), mpTree->Depth());
    std::string first = caption;
    if (layout.nodesAbove > 0) {
        std::snprintf(caption, sizeof(caption), "; %zu nodes above and beside", layout.nodesAbove);
        first += caption;
    }
    const std::string legendFront = "  eye in front: back first",
                      legendBehind = "  eye behind: front first";
    {
        PixelSpace space;
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        glColor4f(0.0f, 0.0f, 0.0f, 0.8f);
        rect(float(x0), float(y0), float(x0) + m.width, float(y0) + m.height, true);
        glDisable(GL_BLEND);
    }
    pText->DrawBlock({first, legendFront + "   " + legendBehind}, x0, y0);

    PixelSpace space;
    glEnable(GL_SCISSOR_TEST);
    glScissor(x0, space.Height() - y0 - int(m.height), int(m.width), int(m.height));
    glLineWidth(1.0f);
    // The legend's two squares, before each of its texts.
    const float legendY = float(y0 + ORV::Text::BOX_MARGIN + line) + float(line) * 0.5f;
    const float frontX = float(x0 + ORV::Text::BOX_MARGIN) + 2.0f;
    const float behindX = frontX + float(pText->Width(legendFront + "   "));
    colour(kEyeInFront);
    rect(frontX, legendY - 4.0f, frontX + 8.0f, legendY + 4.0f, true);
    colour(kEyeBehind);
    rect(behindX, legendY - 4.0f, behindX + 8.0f, legendY + 4.0f, true);

    auto at = [&](const DiagramBox& b, float* pX, float* pY) {
        *pX = float(x0) + b.x;
        *pY = float(y0) + b.y;
    };
    colour(kEdge);
    glBegin(GL_LINES);
    for (const DiagramBox& b : layout.boxes) {
        if (b.parent < 0) continue;
        float x, y, px, py;
        at(b, &x, &y);
        at(layout.boxes[size_t(b.parent)], &px, &py);
        glVertex2f(px, py);
        glVertex2f(x, y);
    }
    glEnd();
    std::vector<std::pair<std::string, std::pair<int, int>>> counts;
    for (size_t i = 0; i < layout.boxes.size(); ++i) {
        const DiagramBox& b = layout.boxes[i];
        float x, y;
        at(b, &x, &y);
        const float hw = b.w * 0.5f, hh = b.h * 0.5f;
        if (b.kind == DiagramBox::HIDDEN) {
            if (x - hw >= float(x0) && x + hw <= float(x0) + m.width)
                counts.push_back({std::to_string(b.hiddenNodes), {int(x - hw), int(y - hh)}});
        } else {
            colour(b.pNode->mPlane.Distance(eye) > 0.0f ? kEyeInFront : kEyeBehind);
            rect(x - hw, y - hh, x + hw, y + hh, true);
        }
        const bool cursor = int(i) == layout.cursor, paint = int(i) == painted;
        for (int ring = 0; ring < 2; ++ring) {
            if (!(ring == 0 ? cursor : paint)) continue;
            const float grow = ring == 0 ? 3.0f : 5.5f;
            glLineWidth(2.0f);
            colour(ring == 0 ? kCursor : kPainting);
            rect(x - hw - grow, y - hh - grow, x + hw + grow, y + hh + grow, false);
            glLineWidth(1.0f);
        }
    }
    glDisable(GL_SCISSOR_TEST);
    for (const auto& c : counts)
        pText->DrawBlock({c.first}, c.second.first, c.second.second, kCount);
}

}  // namespace explore
