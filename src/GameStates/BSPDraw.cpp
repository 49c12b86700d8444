// BSPDraw.cpp - the tree's drawing: the walk's triangles painted one by one.
#include "BSPDraw.h"

#include "BSPTree.h"

#include <GL/glew.h>

void DrawTriangle(const Triangle& tri, bool outline) {
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glBegin(GL_TRIANGLES);
    glColor4f(tri.mClr[0].x, tri.mClr[0].y, tri.mClr[0].z, 1.0f);
    for (int k = 0; k < 3; ++k) glVertex3f(tri.mPos[k].x, tri.mPos[k].y, tri.mPos[k].z);
    glEnd();
    // The mode switch stays even without the outline, so the GL state after
    // a draw does not depend on it.
    glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);
    if (!outline) return;
    glBegin(GL_TRIANGLES);
    glColor4f(0.0f, 0.0f, 0.0f, 1.0f);
    for (int k = 0; k < 3; ++k) glVertex3f(tri.mPos[k].x, tri.mPos[k].y, tri.mPos[k].z);
    glEnd();
}

void DrawTriangleEdges(const Triangle& tri, const ORV::Color& colour, float width, bool cull) {
    const GLboolean culling = glIsEnabled(GL_CULL_FACE);
    if (!cull) glDisable(GL_CULL_FACE);
    glLineWidth(width);
    glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);
    glBegin(GL_TRIANGLES);
    glColor4f(colour.x, colour.y, colour.z, 1.0f);
    for (const ORV::Vec3& p : tri.mPos) glVertex3f(p.x, p.y, p.z);
    glEnd();
    glLineWidth(1.0f);
    if (culling && !cull) glEnable(GL_CULL_FACE);
}

void BSPTree::Draw(const ORV::Vec3& eye) {
    mDrawNum = 0;
    DrawNode(mpRoot, eye);
}

void BSPTree::DrawNode(const BSPNode* pNode, const ORV::Vec3& eye) {
    const bool outline = (mFlags & FLAG_OUTLINE) != 0;
    WalkNode(pNode, eye, [&](const Triangle& tri) {
        DrawTriangle(tri, outline);
        ++mDrawNum;
    });
}
