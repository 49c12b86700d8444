// BSPBatch.h - the tree's batched drawing: the walk's triangles written in
// the painter's order into one vertex array, kept between frames, and drawn
// with one glDrawArrays. BSPDraw.h is the other drawing of the same walk, one
// triangle at a time; the demo chooses between them (DrawPath.h).
//
// A single draw call paints its triangles in the order they come, so with
// the depth test off the painter's order decides what covers what exactly as
// it does per triangle. The black outline is painted by the fill's own
// fragment shader: a pixel of a triangle whose centre lies within half a
// pixel of an edge, measured across that edge's rasterised line, is black.
// So each outline is painted together with its own fill and under every
// later triangle, in the same single call. The fills are the per-triangle
// path's pixel for pixel; the outlines differ where half of a line falls
// outside every triangle (silhouettes, triangles too thin to hold a pixel
// centre), a few pixels in a thousand.
//
// Only what WebGL 1 offers is used: buffer objects, a shader pair that
// compiles as desktop GLSL 1.10 / 1.20 and as GLSL ES 1.00 (where its
// fragment shader enables OES_standard_derivatives), generic vertex
// attributes and glDrawArrays; no immediate mode, polygon modes, buffer
// mapping or client-side arrays.
#ifndef BSP_BATCH_H
#define BSP_BATCH_H

#include "BSPTree.h"

#include <cstddef>
#include <cstdint>
#include <vector>

// Which faces the view shows, for leaving out on the CPU the triangles GL's
// culling would drop. A triangle with corners a, b, c and n = (b - a) x (c - a)
// shows its front to the centre of projection C (a homogeneous point: the eye
// with w 1, or for a parallel projection the direction to the viewer with
// w 0) when n . (C.xyz - a C.w) > 0.
struct CullView {
    bool cull = false;       // false: every triangle is kept
    ORV::Vec4 centre{0.0f};  // C, scaled so that front faces give a positive test
    // True when GL would surely drop tri: it faces away from the centre by
    // more than rounding could decide (edge-on ones are left to GL).
    bool Drops(const Triangle& tri) const;
    // The view of the current GL state: culling on and its face (GL_BACK
    // with GL_CCW fronts, or either flipped), the projection and model-view
    // matrices; no culling for GL_FRONT_AND_BACK. Needs a current context.
    static CullView FromGL();
};

class TriangleBatch {
public:
    // What a triangle shows.
    enum class Look : uint8_t {
        Outlined = 0,  // filled in its colour, its edges in black
        Filled = 1,    // filled in its colour
        Edges = 2      // only its edges, in its colour
    };
    // One corner as the shader reads it: the position, the colour (red,
    // green, blue) and code = corner (0, 1, 2) + 4 x look.
    struct Vertex {
        float pos[3];
        float rgb[3];
        float code;
    };

    TriangleBatch() = default;
    // Frees the GL objects made; their context must be current if any were.
    ~TriangleBatch();
    TriangleBatch(const TriangleBatch&) = delete;
    TriangleBatch& operator=(const TriangleBatch&) = delete;

    // Starts a batch: empties it (keeping its storage) and leaves out, from
    // now on, the triangles view drops.
    void Begin(const CullView& view = CullView());
    // Appends tri filled flat in colour (its alpha unused) with look, unless
    // the view drops it. The second form colours each corner (smooth).
    void Add(const Triangle& tri, const ORV::Color& colour, Look look);
    void Add(const ORV::Vec3 (&pos)[3], const ORV::Color (&colours)[3], Look look);
    // Appends tri's three edges as lines in colour, never dropped.
    void AddEdges(const Triangle& tri, const ORV::Color& colour);
    // Appends the walk of tree from eye, back to front, each triangle in its
    // corner 0's colour with look; returns how many the walk visited
    // (dropped ones included), and stops adding after limit of them.
    size_t AddWalk(const BSPTree& tree, const ORV::Vec3& eye, Look look, size_t limit = ~size_t(0));

    // Draws, in the current GL state and view (polygon mode GL_FILL, which
    // WebGL always has), the triangles added since Begin in one call, then
    // the lines in a second one, lineWidth wide; then empties both. The
    // first call compiles the shader and makes the buffers, and ends the
    // process with a report if the shader does not compile.
    void Draw(float lineWidth = 1.0f);

    // Uploads the triangles added since Begin into a buffer of its own, to be
    // drawn again by DrawKept without any walk or upload (the plain mesh, the
    // benchmark's floor), with key to tell what they were made from; with
    // edges, also the three edges of each of them as lines. Empties the
    // batch and replaces what was kept before.
    void Keep(const void* pKey, bool edges);
    const void* KeptKey() const { return mpKeptKey; }
    // Draws the kept triangles, then with pLineColour the kept lines in that
    // colour, lineWidth wide.
    void DrawKept(const ORV::Color* pLineColour, float lineWidth = 1.0f);
    // Releases the kept buffers.
    void DropKept();

    size_t TriangleNum() const { return mTriVtxNum / 3; }
    size_t LineNum() const { return mLineVtxNum / 2; }
    const Vertex* TriangleVertices() const { return mTriVtx.data(); }
    const Vertex* LineVertices() const { return mLineVtx.data(); }
    // Vertices the storage holds without growing.
    size_t Capacity() const { return mTriVtx.size(); }

private:
    void ensureProgram();
    // Room for more vertices after used ones; where the next one goes.
    Vertex* grow(std::vector<Vertex>& store, size_t used, size_t more);
    static void put(Vertex* pOut, const Triangle& tri, const ORV::Color& colour, Look look);
    static void upload(unsigned& buffer, size_t& size, const std::vector<Vertex>& store,
                       size_t num);

    CullView mView;
    // The arrays grow (doubling) when a batch outgrows them and are never
    // shrunk, so frames after the largest one allocate nothing.
    std::vector<Vertex> mTriVtx;
    std::vector<Vertex> mLineVtx;
    size_t mTriVtxNum = 0;
    size_t mLineVtxNum = 0;
    BSPTree::WalkStack mWalkStack;

    // GL names (0: not made yet) and the sizes the stream buffers hold.
    unsigned mProgram = 0;
    int mMvpLocation = -1;
    unsigned mTriBuffer = 0;
    unsigned mLineBuffer = 0;
    size_t mTriBufferSize = 0;  // bytes
    size_t mLineBufferSize = 0;
    unsigned mKeptTriBuffer = 0;
    unsigned mKeptLineBuffer = 0;
    size_t mKeptTriNum = 0;   // vertices
    size_t mKeptLineNum = 0;  // vertices
    const void* mpKeptKey = nullptr;
};

// Draws tree back to front from eye as BSPTree::Draw does (each triangle
// flat in corner 0's colour, outlined in black with FLAG_OUTLINE, the drawn
// count set) through batch, in one draw call.
void DrawTreeBatched(BSPTree& tree, const ORV::Vec3& eye, TriangleBatch& batch);

#endif  // BSP_BATCH_H
