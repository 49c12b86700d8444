// DrawPath.cpp - the painter that sends triangles down the chosen path.
#include "DrawPath.h"

#include "BSPBatch.h"
#include "BSPDraw.h"
#include "ORV_Mesh.h"

#include <GL/glew.h>

const char* DrawPathName(DrawPath path) {
    return path == DrawPath::Batched ? "batched" : "immediate";
}

bool ParseDrawPath(const std::string& text, DrawPath* pPath) {
    for (DrawPath path : {DrawPath::Immediate, DrawPath::Batched}) {
        if (text == DrawPathName(path)) {
            *pPath = path;
            return true;
        }
    }
    return false;
}

PathPainter::PathPainter(DrawPath path, TriangleBatch* pBatch) : mPath(path), mpBatch(pBatch) {
    ORV_ASSERT(path == DrawPath::Immediate || pBatch != nullptr);
}

void PathPainter::DrawTree(BSPTree& tree, const ORV::Vec3& eye) {
    if (mPath == DrawPath::Immediate) tree.Draw(eye);
    else DrawTreeBatched(tree, eye, *mpBatch);
}

void PathPainter::Begin() {
    if (mPath == DrawPath::Batched) mpBatch->Begin(CullView::FromGL());
}

void PathPainter::Paint(const Triangle& tri, const ORV::Color& fill, bool outline) {
    if (mPath == DrawPath::Batched) {
        mpBatch->Add(tri, fill,
                     outline ? TriangleBatch::Look::Outlined : TriangleBatch::Look::Filled);
        return;
    }
    Triangle copy = tri;
    copy.mClr[0] = fill;
    DrawTriangle(copy, outline);
}

void PathPainter::Edges(const Triangle& tri, const ORV::Color& colour) {
    if (mPath == DrawPath::Batched) mpBatch->Add(tri, colour, TriangleBatch::Look::Edges);
    else DrawTriangleEdges(tri, colour, 1.0f, true);
}

void PathPainter::Lines(const Triangle& tri, const ORV::Color& colour, float width) {
    if (mPath == DrawPath::Immediate) {
        DrawTriangleEdges(tri, colour, width, false);
        return;
    }
    // What was painted so far goes first, so that the lines lie over it.
    mpBatch->Draw();
    mpBatch->AddEdges(tri, colour);
    mpBatch->Draw(width);
}

void PathPainter::Finish() {
    if (mPath == DrawPath::Batched) mpBatch->Draw();
}

void PathPainter::DrawMesh(const ORV::Mesh& mesh, const ORV::Color* pWire) {
    if (mPath == DrawPath::Immediate) {
        glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
        mesh.Draw();
        if (pWire != nullptr) {
            glColor4f(pWire->x, pWire->y, pWire->z, 1.0f);
            mesh.DrawWire();
        }
        return;
    }
    if (mpBatch->KeptKey() != &mesh) {
        // As Mesh::Draw reads the mesh: mpTriPos indexes every attribute, and
        // colours count only when there is one for every position.
        const bool coloured = mesh.mVtxClrNum != 0 && mesh.mVtxClrNum >= mesh.mVtxPosNum;
        mpBatch->Begin();
        for (uint32_t t = 0; t < mesh.TriPosNum(); ++t) {
            const uint32_t* pIndex = mesh.TriPos() + 3 * t;
            Triangle tri(mesh.VtxPos()[pIndex[0]], mesh.VtxPos()[pIndex[1]],
                         mesh.VtxPos()[pIndex[2]]);
            if (coloured)
                for (int k = 0; k < 3; ++k) tri.mClr[k] = mesh.VtxClr()[pIndex[k]];
            mpBatch->Add(tri.mPos, tri.mClr, TriangleBatch::Look::Filled);
        }
        mpBatch->Keep(&mesh, true);
    }
    mpBatch->DrawKept(pWire);
}
