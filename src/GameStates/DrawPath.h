// DrawPath.h - the two drawings of the walk behind one switch: one triangle
// at a time (BSPDraw.h) or batched into one draw call (BSPBatch.h). The demo
// chooses the path; the explorer and orvane-bsp paint through a PathPainter,
// so that every picture they make comes out of either path alike.
#ifndef BSP_DRAW_PATH_H
#define BSP_DRAW_PATH_H

#include "BSPTree.h"

#include <string>

namespace ORV {
class Mesh;
}
class TriangleBatch;

enum class DrawPath {
    Immediate,  // per triangle: two begin/end pairs and polygon-mode changes each
    Batched     // the walk written into one array and drawn in one call
};

// "immediate" or "batched".
const char* DrawPathName(DrawPath path);
// Reads either name; false, with *pPath unchanged, for anything else.
bool ParseDrawPath(const std::string& text, DrawPath* pPath);

// Paints triangles in the order they are handed over, each covering those
// before it, by the chosen path. The batched path gathers them and puts them
// on screen at Finish (or before Lines); the immediate one draws each at once.
class PathPainter {
public:
    // pBatch keeps the batched path's storage and GL objects between frames;
    // it is not used (and may be null) on the immediate path.
    PathPainter(DrawPath path, TriangleBatch* pBatch);
    DrawPath Path() const { return mPath; }

    // The tree back to front from eye as BSPTree::Draw draws it: each
    // triangle flat in corner 0's colour, outlined in black with
    // FLAG_OUTLINE; sets the tree's drawn count. Needs no Begin.
    void DrawTree(BSPTree& tree, const ORV::Vec3& eye);

    // A picture painted triangle by triangle starts with Begin (the batched
    // path reads the view and its culling from GL) and ends with Finish,
    // before anything else is drawn.
    void Begin();
    // tri filled flat in fill, then with outline its edges in black: right
    // after its own fill, under everything painted later.
    void Paint(const Triangle& tri, const ORV::Color& fill, bool outline);
    // tri's edges in colour, one pixel, culled as fills are, under everything
    // painted later.
    void Edges(const Triangle& tri, const ORV::Color& colour);
    // tri's edges as lines width pixels wide in colour, over everything
    // painted so far, whichever way tri faces.
    void Lines(const Triangle& tri, const ORV::Color& colour, float width);
    void Finish();

    // The plain mesh, as the demo shows it with the tree off: in its own
    // colours (white without), culled, in mesh order; with pWire, then every
    // triangle's edges in *pWire over it. The batched path keeps the mesh in
    // buffers of its batch from the first call for that mesh on.
    void DrawMesh(const ORV::Mesh& mesh, const ORV::Color* pWire);

private:
    DrawPath mPath;
    TriangleBatch* mpBatch;
};

#endif  // BSP_DRAW_PATH_H
