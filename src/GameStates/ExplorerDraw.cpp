// ExplorerDraw.cpp - the explorer's drawing: the walk painted in a mode, the
// highlight, the frozen eye's marker, the plane quad, and the overlay. The
// triangles go through the demo's chosen drawing of the walk (DrawPath.h).
#include "Explorer.h"

#include "DemoCommandLine.h"
#include "DrawPath.h"
#include "ORV_Text.h"

#include <GL/glew.h>

#include <algorithm>
#include <cstdio>

namespace explore {

namespace {

const ORV::Color kHighlight(1.0f, 0.9f, 0.0f, 1.0f);   // the triangle painted last
const ORV::Color kMarker(1.0f, 0.2f, 0.9f, 1.0f);      // the frozen eye
const ORV::Color kPlane(0.3f, 0.9f, 1.0f, 0.35f);      // the node's plane, translucent
const ORV::Color kSourceEdge(1.0f, 1.0f, 1.0f, 1.0f);  // a piece's source triangle
const ORV::Color kPieceTint(1.0f, 0.45f, 0.1f, 1.0f);
const ORV::Color kWholeGrey(0.55f, 0.55f, 0.55f, 1.0f);

ORV::Color mix(const ORV::Color& a, const ORV::Color& b, float t) {
    return ORV::Color(a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t, a.z + (b.z - a.z) * t, 1.0f);
}

// An octahedron about centre, faces wound outwards, outlined in black.
void drawMarker(PathPainter& painter, const ORV::Vec3& centre, float r) {
    const ORV::Vec3 axes[6] = {ORV::Vec3(r, 0, 0),  ORV::Vec3(0, r, 0),  ORV::Vec3(0, 0, r),
                               ORV::Vec3(-r, 0, 0), ORV::Vec3(0, -r, 0), ORV::Vec3(0, 0, -r)};
    for (int f = 0; f < 8; ++f) {
        // One axis of each pair per face; an odd number of negative axes
        // reverses the winding.
        const ORV::Vec3 a = axes[(f & 1) ? 3 : 0], b = axes[(f & 2) ? 4 : 1],
                        c = axes[(f & 4) ? 5 : 2];
        const bool flip = (((f & 1) + ((f >> 1) & 1) + ((f >> 2) & 1)) & 1) != 0;
        Triangle tri(centre + a, centre + (flip ? c : b), centre + (flip ? b : c));
        painter.Paint(tri, kMarker, true);
    }
}

void drawPlane(PathPainter& painter, const BSPNode& node, const Bounds& box) {
    const std::vector<ORV::Vec3> poly = PlaneInBox(node.mPlane, box);
    if (poly.empty()) return;
    glPushAttrib(GL_ENABLE_BIT | GL_COLOR_BUFFER_BIT | GL_POLYGON_BIT | GL_LINE_BIT);
    glDisable(GL_CULL_FACE);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glColor4f(kPlane.x, kPlane.y, kPlane.z, kPlane.w);
    // A fan from the first corner is the convex polygon GL_POLYGON draws,
    // and WebGL has fans but no polygons.
    glBegin(GL_TRIANGLE_FAN);
    for (const ORV::Vec3& p : poly) glVertex3f(p.x, p.y, p.z);
    glEnd();
    glDisable(GL_BLEND);
    glLineWidth(2.0f);
    glColor4f(kPlane.x, kPlane.y, kPlane.z, 1.0f);
    glBegin(GL_LINE_LOOP);
    for (const ORV::Vec3& p : poly) glVertex3f(p.x, p.y, p.z);
    glEnd();
    glPopAttrib();
    // The triangles lying in the plane.
    for (const Triangle& tri : node.mTriList) painter.Lines(tri, kPlane, 2.0f);
}

// The ramp's colours from the root (top) down, with the depths at both ends,
// at the right edge from top down.
void drawLegend(const ORV::Text& text, uint32_t maxDepth, int width, int height, int top) {
    const DepthLegend l = LayOutDepthLegend(maxDepth, width, height, top,
                                            text.LineHeight() + 2 * ORV::Text::BOX_MARGIN);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    glOrtho(0.0, viewport[2], viewport[3], 0.0, -1.0, 1.0);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glPushAttrib(GL_ENABLE_BIT | GL_POLYGON_BIT);
    glDisable(GL_CULL_FACE);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    // A colour with every corner: WebGL's emulation of immediate mode reads
    // the vertices as records of the same fields.
    glBegin(GL_QUADS);
    for (uint32_t b = 0; b < l.bands; ++b) {
        const ORV::Color c = DepthColour(l.BandDepth(b), maxDepth);
        const int corners[4][2] = {{l.x0, l.BandTop(b)},
                                   {l.x0, l.BandTop(b + 1)},
                                   {l.x1, l.BandTop(b + 1)},
                                   {l.x1, l.BandTop(b)}};
        for (const auto& corner : corners) {
            glColor4f(c.x, c.y, c.z, 1.0f);
            glVertex2i(corner[0], corner[1]);
        }
    }
    glEnd();
    glPopAttrib();
    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);

    int w = 0, h = 0;
    text.BlockSize({"depth"}, &w, &h);
    text.DrawBlock({"depth"}, l.x1 - w, top);
    const std::string root = "0", bottom = std::to_string(maxDepth);
    text.BlockSize({root}, &w, &h);
    text.DrawBlock({root}, l.x0 - 4 - w, l.y0);
    text.BlockSize({bottom}, &w, &h);
    text.DrawBlock({bottom}, l.x0 - 4 - w, l.y1 - h);
}

}  // namespace

ORV::Color Explorer::fillOf(const PaintStep& step, uint32_t maxDepth,
                            const Triangle** ppSource) const {
    *ppSource = nullptr;
    const Triangle& tri = *step.pTri;
    // The other orders' whole triangles are in no node: mesh colours only.
    if (step.pNode == nullptr) return tri.mClr[0];
    switch (mColouring) {
    case Colouring::Mesh: break;
    case Colouring::Depth: return DepthColour(step.depth, maxDepth);
    case Colouring::Pieces: {
        const TriangleSources::Origin origin = mSources.Of(*step.pNode, step.indexInNode);
        if (!origin.piece) return mix(tri.mClr[0], kWholeGrey, 0.6f);
        *ppSource = &(*mpInput)[size_t(origin.source)];
        return mix(tri.mClr[0], kPieceTint, 0.65f);
    }
    }
    return tri.mClr[0];
}

void Explorer::DrawScene(BSPTree& tree, const ORV::Vec3& cameraEye) const {
    PathPainter painter(DrawPath::Immediate, nullptr);
    DrawScene(tree, cameraEye, painter);
}

void Explorer::DrawScene(BSPTree& tree, const ORV::Vec3& cameraEye, PathPainter& painter) const {
    const ORV::Vec3 eye = OrderEye(cameraEye);
    const bool outline = (tree.Flags() & BSPTree::FLAG_OUTLINE) != 0;
    const size_t limit = mPainting ? mPainter.Shown() : ~size_t(0);
    const uint32_t maxDepth = tree.Depth();
    size_t n = 0;
    const Triangle* pLast = nullptr;
    mpPaintedNode = nullptr;
    mFills.clear();
    painter.Begin();
    WalkPaintOrder(mOrder, tree, *mpInput, eye, mSort, [&](const PaintStep& step) {
        if (n++ >= limit) return;
        pLast = step.pTri;
        mpPaintedNode = step.pNode;
        const Triangle* pSource = nullptr;
        const ORV::Color fill = fillOf(step, maxDepth, &pSource);
        // The wrong pixels paint the fills alone, twice, after the walk.
        if (mWrong) {
            mFills.push_back(Fill{step.pTri, fill});
            return;
        }
        painter.Paint(*step.pTri, fill, outline && pSource == nullptr);
        if (pSource != nullptr) painter.Edges(*pSource, kSourceEdge);
    });
    if (mWrong) {
        drawWrongPixels(painter);
        painter.Begin();  // what follows lies over the marked picture
    }
    // The count of the tree's whole order, as its own Draw would give: the
    // status line reads the same whatever the explorer shows.
    tree.mDrawNum = int32_t(mOrder == PaintOrder::Tree ? n : SubtreeTriangles(tree.Root()));
    if (mPainting && pLast != nullptr) painter.Lines(*pLast, kHighlight, 3.0f);
    // The frozen eye is the nearest point of its own order, so the marker
    // comes last in it, over every triangle.
    if (mFrozen) drawMarker(painter, mFrozenEye, 0.06f * mBounds.radius);
    if (mPlane && treeViews() && mCursor.Node() != nullptr) {
        painter.Finish();  // the plane is drawn over what is painted
        drawPlane(painter, *mCursor.Node(), mBounds);
    }
    painter.Finish();
}

void Explorer::DrawOverlay(const std::string& status, const ORV::Vec3& cameraEye, int width,
                           int height) const {
    const ORV::Text* pText = ORV::Text::Instance();
    if (pText == nullptr) return;
    const std::vector<std::string> lines = TextLines(status);
    pText->DrawBlock(lines, 8, 8);
    int w = 0, h = 0;
    pText->BlockSize(lines, &w, &h);
    const int below = 8 + h + 8;
    if (mColouring == Colouring::Depth && treeViews() && mpTree != nullptr)
        drawLegend(*pText, mpTree->Depth(), width, height, below);
    if (mDiagram) drawDiagram(OrderEye(cameraEye), width, height);
    // The keys under the text, moved up as far as needed to fit.
    if (mHelp) {
        const std::vector<std::string> keys = DemoKeyLines();
        pText->BlockSize(keys, &w, &h);
        pText->DrawBlock(keys, 8, std::max(0, std::min(below, height - h)));
    }
}

}  // namespace explore
