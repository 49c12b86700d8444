// Scene.cpp - the demo's drawing in a chosen painter's order, and the
// oracle's pixel comparison.
#include "render/Scene.h"

#include "BSPBatch.h"
#include "BSPDraw.h"
#include "DemoView.h"
#include "PaintOrder.h"

#include <GL/glew.h>
#include <GL/glu.h>

#include <cmath>

namespace orvbsp {

namespace {

size_t draw(BSPTree& tree, const std::vector<Triangle>& list, Order order, const ORV::Vec3& eye,
            bool outline, DrawPath path) {
    // Made and freed in this context: a batch's GL objects belong to one.
    TriangleBatch batch;
    PathPainter painter(path, &batch);
    switch (order) {
    case Order::Tree: {
        const uint32_t flags = tree.Flags();
        if (outline) tree.SetFlags(BSPTree::FLAG_OUTLINE);
        else tree.ClearFlags(BSPTree::FLAG_OUTLINE);
        painter.DrawTree(tree, eye);
        tree.ClearFlags(~0u);
        tree.SetFlags(flags);
        return size_t(tree.DrawNum());
    }
    case Order::Reversed: {
        size_t drawn = 0;
        painter.Begin();
        tree.Walk(
            eye,
            [&](const Triangle& tri) {
                painter.Paint(tri, tri.mClr[0], outline);
                ++drawn;
            },
            WalkOrder::FrontToBack);
        painter.Finish();
        return drawn;
    }
    case Order::Sorted:
    case Order::File: {
        DistanceSort sort;
        painter.Begin();
        WalkPaintOrder(
            order == Order::File ? PaintOrder::File : PaintOrder::Sorted, tree, list, eye, sort,
            [&](const PaintStep& step) { painter.Paint(*step.pTri, step.pTri->mClr[0], outline); });
        painter.Finish();
        return list.size();
    }
    case Order::DepthBuffer:
        glEnable(GL_DEPTH_TEST);
        glDepthFunc(GL_LEQUAL);
        // Fills sit a little deeper so that each outline wins over its own
        // fill; the outlines are lines, so this order is always drawn per
        // triangle.
        if (outline) {
            glEnable(GL_POLYGON_OFFSET_FILL);
            glPolygonOffset(1.0f, 1.0f);
        } else {
            glDepthFunc(GL_LESS);
        }
        for (const Triangle& tri : list) DrawTriangle(tri, outline);
        glDisable(GL_POLYGON_OFFSET_FILL);
        glDisable(GL_DEPTH_TEST);
        return list.size();
    }
    return 0;
}

bool isBackground(const std::vector<uint8_t>& px, size_t i) {
    return pixels::IsBackground(&px[4 * i]);
}

}  // namespace

bool ParseOrder(const std::string& text, Order* pOrder) {
    for (Order order :
         {Order::Tree, Order::Reversed, Order::Sorted, Order::File, Order::DepthBuffer}) {
        if (text == OrderName(order)) {
            *pOrder = order;
            return true;
        }
    }
    return false;
}

const char* OrderName(Order order) {
    switch (order) {
    case Order::Tree: return "tree";
    case Order::Reversed: return "reversed";
    case Order::Sorted: return "sorted";
    case Order::File: return "file";
    case Order::DepthBuffer: return "depth-buffer";
    }
    return "?";
}

ORV::Vec3 UpFor(const ORV::Vec3& eye, const ORV::Vec3& target) {
    ORV::Vec3 dir = target - eye;
    float len = dir.Length();
    if (len > 0.0f && std::fabs(dir.y / len) > 0.999f) return ORV::Vec3(0.0f, 0.0f, -1.0f);
    return ORV::Vec3(0.0f, 1.0f, 0.0f);
}

void BeginFrame(int width, int height) {
    DemoView::SetProjection(static_cast<float>(width), static_cast<float>(height));
    DemoView::SetFixedState();
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glShadeModel(GL_SMOOTH);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
}

void ApplyLookAt(const LookAt& view) {
    gluLookAt(view.eye.x, view.eye.y, view.eye.z, view.target.x, view.target.y, view.target.z,
              view.up.x, view.up.y, view.up.z);
}

size_t DrawDemo(BSPTree& tree, const std::vector<Triangle>& list, Order order, const ORV::Vec3& eye,
                DrawPath path) {
    return draw(tree, list, order, eye, true, path);
}

size_t DrawFills(BSPTree& tree, const std::vector<Triangle>& list, Order order,
                 const ORV::Vec3& eye) {
    glShadeModel(GL_FLAT);
    const size_t drawn = draw(tree, list, order, eye, false, DrawPath::Immediate);
    glShadeModel(GL_SMOOTH);
    return drawn;
}

double Agreement(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b, int tolerance,
                 bool foregroundOnly) {
    if (a.size() != b.size()) return 0.0;
    size_t same = 0, n = 0;
    for (size_t i = 0; i < a.size() / 4; ++i) {
        if (foregroundOnly && isBackground(a, i) && isBackground(b, i)) continue;
        ++n;
        same += !pixels::Differ(&a[4 * i], &b[4 * i], tolerance);
    }
    return n ? double(same) / double(n) : 0.0;
}

double Covered(const std::vector<uint8_t>& pixels) {
    size_t n = pixels.size() / 4, hit = 0;
    for (size_t i = 0; i < n; ++i) hit += !isBackground(pixels, i);
    return n ? double(hit) / double(n) : 0.0;
}

}  // namespace orvbsp
