// ORV_MeshDraw.cpp - drawing a mesh with GL, apart from loading, which needs
// no GL.
#include "ORV_Mesh.h"

#include <GL/glew.h>

namespace ORV {

void Mesh::Draw() const {
    // mpTriPos indexes every array. An attribute with fewer values than
    // positions (a mesh loaded without deindexing) would be read past its
    // end, so it is left out and the caller's current value applies.
    bool nrm = (mVtxNrmNum != 0) && (mVtxNrmNum >= mVtxPosNum);
    bool clr = (mVtxClrNum != 0) && (mVtxClrNum >= mVtxPosNum);
    bool tex = (mVtxTexNum != 0) && (mVtxTexNum >= mVtxPosNum);

    glVertexPointer(3, GL_FLOAT, 0, mpVtxPos);
    glEnableClientState(GL_VERTEX_ARRAY);
    if (nrm) {
        glNormalPointer(GL_FLOAT, 0, mpVtxNrm);
        glEnableClientState(GL_NORMAL_ARRAY);
    }
    if (clr) {
        glColorPointer(4, GL_FLOAT, 0, mpVtxClr);
        glEnableClientState(GL_COLOR_ARRAY);
    }
    if (tex) {
        glTexCoordPointer(3, GL_FLOAT, 0, mpVtxTex);
        glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    }

    glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(3 * mTriPosNum), GL_UNSIGNED_INT, mpTriPos);

    glDisableClientState(GL_VERTEX_ARRAY);
    if (nrm) glDisableClientState(GL_NORMAL_ARRAY);
    if (clr) glDisableClientState(GL_COLOR_ARRAY);
    if (tex) glDisableClientState(GL_TEXTURE_COORD_ARRAY);
}

void Mesh::DrawWire() const {
    for (uint32_t t = 0; t < mTriPosNum; ++t) {
        glBegin(GL_LINE_LOOP);
        glVertex3fv(&mpVtxPos[mpTriPos[3 * t]].x);
        glVertex3fv(&mpVtxPos[mpTriPos[3 * t + 1]].x);
        glVertex3fv(&mpVtxPos[mpTriPos[3 * t + 2]].x);
        glEnd();
    }
}

}  // namespace ORV
