// BSPBatch.cpp - the batched drawing: the walk written into a vertex array,
// the shader that paints fills and outlines in one pass, and the buffers.
#include "BSPBatch.h"

#include <GL/glew.h>

#include <algorithm>
#include <cstddef>
#include <cstring>

namespace {

// Attribute locations, bound before linking.
constexpr GLuint ATTR_POS = 0;
constexpr GLuint ATTR_COLOUR = 1;

// A triangle facing away by less than this sine of the angle between its
// normal and the direction to the eye is left to GL's own culling: float
// rounding of the normal (or of GL's window-space area) could decide either
// way there.
constexpr double EDGE_ON_SINE = 1e-3;

// GLSL without a #version line: desktop GL reads it as GLSL 1.10, WebGL as
// GLSL ES 1.00; the ES-only lines are behind GL_ES.
const char* const kVertexShader = R"(
attribute vec3 aPos;
attribute vec4 aColour;  // red, green, blue; corner + 4 x look
uniform mat4 uMvp;
varying vec3 vColour;
varying vec3 vBary;  // 1 at the vertex's own corner, 0 at the two others
varying float vLook;
void main() {
    gl_Position = uMvp * vec4(aPos, 1.0);
    vColour = aColour.rgb;
    float look = floor(aColour.a * 0.25);
    vBary = vec3(equal(vec3(aColour.a - 4.0 * look), vec3(0.0, 1.0, 2.0)));
    vLook = look;
}
)";

const char* const kFragmentShader = R"(
#ifdef GL_ES
#extension GL_OES_standard_derivatives : enable
#ifdef GL_FRAGMENT_PRECISION_HIGH
precision highp float;
#else
precision mediump float;
#endif
#endif
varying vec3 vColour;
varying vec3 vBary;
varying float vLook;
void main() {
    // A line one pixel wide covers, along its minor axis, the pixels whose
    // centre lies within half a pixel of it. A barycentric coordinate falls
    // to 0 at its edge and changes by its larger screen derivative per pixel
    // along that axis, so the pixel is on the edge's line where it is below
    // half of that.
    vec3 perPixel = max(abs(dFdx(vBary)), abs(dFdy(vBary)));
    bool edge = any(lessThan(vBary, 0.5 * perPixel));
    if (vLook > 1.5) {
        if (!edge) discard;
        gl_FragColor = vec4(vColour, 1.0);
    } else if (vLook < 0.5 && edge) {
        gl_FragColor = vec4(0.0, 0.0, 0.0, 1.0);
    } else {
        gl_FragColor = vec4(vColour, 1.0);
    }
}
)";

// The current projection times model-view, column-major, multiplied in the
// order GL's own fixed-function transform uses, so that positions come out
// bit for bit as they do for glVertex.
void currentMvp(float out[16]) {
    float p[16], mv[16];
    glGetFloatv(GL_PROJECTION_MATRIX, p);
    glGetFloatv(GL_MODELVIEW_MATRIX, mv);
    for (int c = 0; c < 4; ++c)
        for (int r = 0; r < 4; ++r) {
            float s = 0.0f;
            for (int k = 0; k < 4; ++k) s += p[k * 4 + r] * mv[c * 4 + k];
            out[c * 4 + r] = s;
        }
}

// The 3 x 3 determinant of columns a, b, c of three rows.
double det3(const double r0[4], const double r1[4], const double r2[4], int a, int b, int c) {
    return r0[a] * (r1[b] * r2[c] - r1[c] * r2[b]) - r0[b] * (r1[a] * r2[c] - r1[c] * r2[a]) +
           r0[c] * (r1[a] * r2[b] - r1[b] * r2[a]);
}

GLuint compile(GLenum type, const char* pSource) {
    const GLuint shader = glCreateShader(type);
    glShaderSource(shader, 1, &pSource, nullptr);
    glCompileShader(shader);
    GLint ok = GL_FALSE;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    char log[1024] = "";
    if (!ok) glGetShaderInfoLog(shader, sizeof log, nullptr, log);
    ORV_ASSERT_MESG(ok, "The batched drawing's %s shader does not compile: %s",
                    type == GL_VERTEX_SHADER ? "vertex" : "fragment", log);
    return shader;
}

// The program, made once per context; its uniform's location beside it.
struct Program {
    GLuint name = 0;
    GLint mvp = -1;
};

Program makeProgram() {
    Program p;
    const GLuint vs = compile(GL_VERTEX_SHADER, kVertexShader);
    const GLuint fs = compile(GL_FRAGMENT_SHADER, kFragmentShader);
    p.name = glCreateProgram();
    glAttachShader(p.name, vs);
    glAttachShader(p.name, fs);
    glBindAttribLocation(p.name, ATTR_POS, "aPos");
    glBindAttribLocation(p.name, ATTR_COLOUR, "aColour");
    glLinkProgram(p.name);
    GLint ok = GL_FALSE;
    glGetProgramiv(p.name, GL_LINK_STATUS, &ok);
    char log[1024] = "";
    if (!ok) glGetProgramInfoLog(p.name, sizeof log, nullptr, log);
    ORV_ASSERT_MESG(ok, "The batched drawing's shaders do not link: %s", log);
    // Flagged for deletion with the program.
    glDeleteShader(vs);
    glDeleteShader(fs);
    p.mvp = glGetUniformLocation(p.name, "uMvp");
    return p;
}

// Binds the program with the current view and enables the attributes; the
// caller points them at its buffer.
void useProgram(GLuint program, GLint mvpLocation) {
    float mvp[16];
    currentMvp(mvp);
    glUseProgram(program);
    glUniformMatrix4fv(mvpLocation, 1, GL_FALSE, mvp);
    glEnableVertexAttribArray(ATTR_POS);
}

void pointAtVertices(GLuint buffer) {
    using Vertex = TriangleBatch::Vertex;
    glBindBuffer(GL_ARRAY_BUFFER, buffer);
    glVertexAttribPointer(ATTR_POS, 3, GL_FLOAT, GL_FALSE, sizeof(Vertex),
                          reinterpret_cast<const void*>(offsetof(Vertex, pos)));
    glVertexAttribPointer(ATTR_COLOUR, 4, GL_FLOAT, GL_FALSE, sizeof(Vertex),
                          reinterpret_cast<const void*>(offsetof(Vertex, rgb)));
}

void endProgram() {
    glDisableVertexAttribArray(ATTR_POS);
    glDisableVertexAttribArray(ATTR_COLOUR);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glUseProgram(0);
}

float code(int corner, TriangleBatch::Look look) { return float(corner + 4 * int(look)); }

}  // namespace

// ---- CullView ----

bool CullView::Drops(const Triangle& tri) const {
    if (!cull) return false;
    const ORV::Vec3& a = tri.mPos[0];
    const ORV::Vec3 n = (tri.mPos[1] - a).Cross(tri.mPos[2] - a);
    const ORV::Vec3 v = ORV::Vec3(centre.x, centre.y, centre.z) - a * centre.w;
    const float t = n.Dot(v);
    if (!(t < 0.0f)) return false;  // in front, edge-on, or not a number: kept
    const double n2 = double(n.Dot(n)), v2 = double(v.Dot(v));
    return double(t) * double(t) > EDGE_ON_SINE * EDGE_ON_SINE * n2 * v2;
}

CullView CullView::FromGL() {
    CullView view;
    GLint mode = GL_BACK, front = GL_CCW;
    glGetIntegerv(GL_CULL_FACE_MODE, &mode);
    glGetIntegerv(GL_FRONT_FACE, &front);
    view.cull = glIsEnabled(GL_CULL_FACE) && mode != GL_FRONT_AND_BACK;
    if (!view.cull) return view;
    float m[16];
    currentMvp(m);
    // Rows x, y and w of the transform; the centre of projection is the
    // point all three send to 0: their generalised cross product. Its sign
    // makes the test agree with window-space winding whatever the matrices
    // (a mirroring view flips both the centre's sign and the winding).
    double rx[4], ry[4], rw[4];
    for (int j = 0; j < 4; ++j) {
        rx[j] = m[4 * j];
        ry[j] = m[4 * j + 1];
        rw[j] = m[4 * j + 3];
    }
    double c[4] = {det3(rx, ry, rw, 1, 2, 3), -det3(rx, ry, rw, 0, 2, 3), det3(rx, ry, rw, 0, 1, 3),
                   -det3(rx, ry, rw, 0, 1, 2)};
    // GL_FRONT culling or clockwise fronts turn the test around; both at once
    // leave it as it is.
    const double flip = ((mode == GL_FRONT) != (front == GL_CW)) ? -1.0 : 1.0;
    view.centre =
        ORV::Vec4(float(flip * c[0]), float(flip * c[1]), float(flip * c[2]), float(flip * c[3]));
    return view;
}

// ---- TriangleBatch ----

TriangleBatch::~TriangleBatch() {
    DropKept();
    const GLuint buffers[2] = {mTriBuffer, mLineBuffer};
    if (mTriBuffer != 0 || mLineBuffer != 0) glDeleteBuffers(2, buffers);
    if (mProgram != 0) glDeleteProgram(mProgram);
}

void TriangleBatch::Begin(const CullView& view) {
    mView = view;
    mTriVtxNum = 0;
    mLineVtxNum = 0;
}

TriangleBatch::Vertex* TriangleBatch::grow(std::vector<Vertex>& store, size_t used, size_t more) {
    if (used + more > store.size()) store.resize(std::max(2 * store.size(), used + more + 3072));
    return store.data() + used;
}

void TriangleBatch::Add(const Triangle& tri, const ORV::Color& colour, Look look) {
    if (mView.Drops(tri)) return;
    put(grow(mTriVtx, mTriVtxNum, 3), tri, colour, look);
    mTriVtxNum += 3;
}

void TriangleBatch::put(Vertex* pOut, const Triangle& tri, const ORV::Color& colour, Look look) {
    for (int k = 0; k < 3; ++k) {
        pOut[k] = Vertex{{tri.mPos[k].x, tri.mPos[k].y, tri.mPos[k].z},
                         {colour.x, colour.y, colour.z},
                         code(k, look)};
    }
}

void TriangleBatch::Add(const ORV::Vec3 (&pos)[3], const ORV::Color (&colours)[3], Look look) {
    Triangle tri(pos[0], pos[1], pos[2]);
    if (mView.Drops(tri)) return;
    Vertex* pOut = grow(mTriVtx, mTriVtxNum, 3);
    for (int k = 0; k < 3; ++k) {
        pOut[k] = Vertex{{pos[k].x, pos[k].y, pos[k].z},
                         {colours[k].x, colours[k].y, colours[k].z},
                         code(k, look)};
    }
    mTriVtxNum += 3;
}

void TriangleBatch::AddEdges(const Triangle& tri, const ORV::Color& colour) {
    Vertex* pOut = grow(mLineVtx, mLineVtxNum, 6);
    for (int k = 0; k < 3; ++k) {
        for (int end = 0; end < 2; ++end) {
            const ORV::Vec3& p = tri.mPos[(k + end) % 3];
            *pOut++ =
                Vertex{{p.x, p.y, p.z}, {colour.x, colour.y, colour.z}, code(0, Look::Filled)};
        }
    }
    mLineVtxNum += 6;
}

size_t TriangleBatch::AddWalk(const BSPTree& tree, const ORV::Vec3& eye, Look look, size_t limit) {
    size_t n = 0;
    BSPTree::WalkNodes(
        tree.Root(), eye,
        [&](const BSPNode& node, uint32_t) {
            // Room for the node's whole list at once; its triangles written
            // straight into the array.
            const size_t take = n >= limit ? 0 : std::min(node.mTriList.size(), limit - n);
            n += node.mTriList.size();
            Vertex* pOut = grow(mTriVtx, mTriVtxNum, 3 * take);
            for (size_t i = 0; i < take; ++i) {
                const Triangle& tri = node.mTriList[i];
                if (mView.Drops(tri)) continue;
                put(pOut, tri, tri.mClr[0], look);
                pOut += 3;
            }
            mTriVtxNum = size_t(pOut - mTriVtx.data());
        },
        WalkOrder::BackToFront, mWalkStack);
    return n;
}

void TriangleBatch::ensureProgram() {
    if (mProgram != 0) return;
    const Program p = makeProgram();
    mProgram = p.name;
    mMvpLocation = p.mvp;
}

void TriangleBatch::upload(unsigned& buffer, size_t& size, const std::vector<Vertex>& store,
                           size_t num) {
    if (buffer == 0) glGenBuffers(1, &buffer);
    glBindBuffer(GL_ARRAY_BUFFER, buffer);
    // The buffer's storage follows the array's: made anew only when the array
    // has grown, written in place otherwise.
    const size_t bytes = store.size() * sizeof(Vertex);
    if (size < bytes) {
        glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(bytes), nullptr, GL_STREAM_DRAW);
        size = bytes;
    }
    glBufferSubData(GL_ARRAY_BUFFER, 0, GLsizeiptr(num * sizeof(Vertex)), store.data());
}

void TriangleBatch::Draw(float lineWidth) {
    if (mTriVtxNum == 0 && mLineVtxNum == 0) return;
    ensureProgram();
    useProgram(mProgram, mMvpLocation);
    glEnableVertexAttribArray(ATTR_COLOUR);
    if (mTriVtxNum != 0) {
        upload(mTriBuffer, mTriBufferSize, mTriVtx, mTriVtxNum);
        pointAtVertices(mTriBuffer);
        glDrawArrays(GL_TRIANGLES, 0, GLsizei(mTriVtxNum));
    }
    if (mLineVtxNum != 0) {
        upload(mLineBuffer, mLineBufferSize, mLineVtx, mLineVtxNum);
        pointAtVertices(mLineBuffer);
        glLineWidth(lineWidth);
        glDrawArrays(GL_LINES, 0, GLsizei(mLineVtxNum));
        glLineWidth(1.0f);
    }
    endProgram();
    mTriVtxNum = 0;
    mLineVtxNum = 0;
}

void TriangleBatch::Keep(const void* pKey, bool edges) {
    DropKept();
    glGenBuffers(1, &mKeptTriBuffer);
    glBindBuffer(GL_ARRAY_BUFFER, mKeptTriBuffer);
    glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(mTriVtxNum * sizeof(Vertex)), mTriVtx.data(),
                 GL_STATIC_DRAW);
    mKeptTriNum = mTriVtxNum;
    if (edges) {
        // Lines take one colour at each draw: their positions alone are kept,
        // each triangle's edges in loop order.
        std::vector<float> pos;
        pos.reserve(6 * mTriVtxNum);
        for (size_t t = 0; t < mTriVtxNum; t += 3) {
            for (size_t k = 0; k < 3; ++k) {
                const float* pFrom = mTriVtx[t + k].pos;
                const float* pTo = mTriVtx[t + (k + 1) % 3].pos;
                pos.insert(pos.end(), pFrom, pFrom + 3);
                pos.insert(pos.end(), pTo, pTo + 3);
            }
        }
        glGenBuffers(1, &mKeptLineBuffer);
        glBindBuffer(GL_ARRAY_BUFFER, mKeptLineBuffer);
        glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(pos.size() * sizeof(float)), pos.data(),
                     GL_STATIC_DRAW);
        mKeptLineNum = pos.size() / 3;
    }
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    mpKeptKey = pKey;
    mTriVtxNum = 0;
    mLineVtxNum = 0;
}

void TriangleBatch::DrawKept(const ORV::Color* pLineColour, float lineWidth) {
    if (mKeptTriBuffer == 0) return;
    ensureProgram();
    useProgram(mProgram, mMvpLocation);
    if (mKeptTriNum != 0) {
        glEnableVertexAttribArray(ATTR_COLOUR);
        pointAtVertices(mKeptTriBuffer);
        glDrawArrays(GL_TRIANGLES, 0, GLsizei(mKeptTriNum));
        glDisableVertexAttribArray(ATTR_COLOUR);
    }
    if (mKeptLineNum != 0 && pLineColour != nullptr) {
        glBindBuffer(GL_ARRAY_BUFFER, mKeptLineBuffer);
        glVertexAttribPointer(ATTR_POS, 3, GL_FLOAT, GL_FALSE, 0, nullptr);
        glVertexAttrib4f(ATTR_COLOUR, pLineColour->x, pLineColour->y, pLineColour->z,
                         code(0, Look::Filled));
        glLineWidth(lineWidth);
        glDrawArrays(GL_LINES, 0, GLsizei(mKeptLineNum));
        glLineWidth(1.0f);
    }
    endProgram();
}

void TriangleBatch::DropKept() {
    const GLuint buffers[2] = {mKeptTriBuffer, mKeptLineBuffer};
    if (mKeptTriBuffer != 0 || mKeptLineBuffer != 0) glDeleteBuffers(2, buffers);
    mKeptTriBuffer = mKeptLineBuffer = 0;
    mKeptTriNum = mKeptLineNum = 0;
    mpKeptKey = nullptr;
}

void DrawTreeBatched(BSPTree& tree, const ORV::Vec3& eye, TriangleBatch& batch) {
    const bool outline = (tree.Flags() & BSPTree::FLAG_OUTLINE) != 0;
    batch.Begin(CullView::FromGL());
    tree.mDrawNum = int32_t(batch.AddWalk(
        tree, eye, outline ? TriangleBatch::Look::Outlined : TriangleBatch::Look::Filled));
    batch.Draw();
}
