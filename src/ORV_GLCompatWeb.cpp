// ORV_GLCompatWeb.cpp - the few desktop GL calls the program makes that
// Emscripten's legacy GL emulation over WebGL 1 lacks or reads otherwise:
//
//   glPushAttrib, glPopAttrib, glPushClientAttrib, glPopClientAttrib
//       (absent): kept here for the state the program changes between them;
//   glTexImage2D with GL_BGR or GL_BGRA pixels (absent in WebGL): swizzled
//       to RGB(A); an alpha texture (which the emulation's texture stage
//       samples as black) becomes white with that alpha;
//   glPixelStorei of the unpack row length and skips (WebGL 2 only): their
//       default, 0, is all WebGL 1 has, so setting it does nothing;
//   gluLookAt and gluPerspective, which the emulation gets wrong: its
//       gluLookAt hands its matrix to the look-at maths in the place of the
//       eye and leaves the current matrix as it was, and its gluPerspective
//       replaces the current matrix instead of multiplying it. Here they
//       multiply it by GLU's matrices, computed as GLU computes them.
//
// The link wraps glTexImage2D, glPixelStorei, glEnable, glDisable, gluLookAt
// and gluPerspective (--wrap, web/CMakeLists.txt): the program's calls come
// here, and __real_X is the emulation's X. glEnable and glDisable are
// watched for GL_TEXTURE_2D, which the emulation enables but cannot be asked
// about.
#define GL_GLEXT_PROTOTYPES
#include <GL/gl.h>
#include <GL/glext.h>

#include <cmath>
#include <cstdint>
#include <vector>

extern "C" {
void __real_glTexImage2D(GLenum target, GLint level, GLint internalFormat, GLsizei width,
                         GLsizei height, GLint border, GLenum format, GLenum type,
                         const void* pPixels);
void __real_glPixelStorei(GLenum name, GLint value);
void __real_glEnable(GLenum cap);
void __real_glDisable(GLenum cap);
}

namespace {

bool sTexture2D = false;  // GL_TEXTURE_2D of texture unit 0, the one the program uses

// Capabilities the emulation keeps, and their state.
const GLenum kCaps[] = {GL_CULL_FACE,    GL_DEPTH_TEST,   GL_BLEND,
                        GL_SCISSOR_TEST, GL_STENCIL_TEST, GL_POLYGON_OFFSET_FILL,
                        GL_ALPHA_TEST,   GL_LIGHTING,     GL_FOG};
const size_t kCapNum = sizeof(kCaps) / sizeof(kCaps[0]);

// What one glPushAttrib saved: every group the program uses, each restored
// only when its bit was pushed.
struct Attribs {
    GLbitfield mask;
    GLboolean caps[kCapNum];
    bool texture2D;
    GLint blendSrcRgb, blendDstRgb, blendSrcAlpha, blendDstAlpha, blendEquationRgb,
        blendEquationAlpha;
    GLboolean colourMask[4];
    GLfloat clearColour[4];
    GLint depthFunc;
    GLboolean depthMask;
    GLfloat clearDepth;
    GLint cullFace, frontFace;
    GLfloat lineWidth;
    GLint viewport[4];
    GLint matrixMode;
    GLint activeTexture, texture;
};
std::vector<Attribs> sAttribs;
std::vector<GLint> sUnpackAlignment;

void setCap(GLenum cap, GLboolean on) {
    if (on) __real_glEnable(cap);
    else __real_glDisable(cap);
}

}  // namespace

extern "C" {

void __wrap_glEnable(GLenum cap) {
    if (cap == GL_TEXTURE_2D) sTexture2D = true;
    __real_glEnable(cap);
}

void __wrap_glDisable(GLenum cap) {
    if (cap == GL_TEXTURE_2D) sTexture2D = false;
    __real_glDisable(cap);
}

void glPushAttrib(GLbitfield mask) {
    Attribs a = {};
    a.mask = mask;
    for (size_t i = 0; i < kCapNum; ++i) a.caps[i] = glIsEnabled(kCaps[i]);
    a.texture2D = sTexture2D;
    glGetIntegerv(GL_BLEND_SRC_RGB, &a.blendSrcRgb);
    glGetIntegerv(GL_BLEND_DST_RGB, &a.blendDstRgb);
    glGetIntegerv(GL_BLEND_SRC_ALPHA, &a.blendSrcAlpha);
    glGetIntegerv(GL_BLEND_DST_ALPHA, &a.blendDstAlpha);
    glGetIntegerv(GL_BLEND_EQUATION_RGB, &a.blendEquationRgb);
    glGetIntegerv(GL_BLEND_EQUATION_ALPHA, &a.blendEquationAlpha);
    glGetBooleanv(GL_COLOR_WRITEMASK, a.colourMask);
    glGetFloatv(GL_COLOR_CLEAR_VALUE, a.clearColour);
    glGetIntegerv(GL_DEPTH_FUNC, &a.depthFunc);
    glGetBooleanv(GL_DEPTH_WRITEMASK, &a.depthMask);
    glGetFloatv(GL_DEPTH_CLEAR_VALUE, &a.clearDepth);
    glGetIntegerv(GL_CULL_FACE_MODE, &a.cullFace);
    glGetIntegerv(GL_FRONT_FACE, &a.frontFace);
    glGetFloatv(GL_LINE_WIDTH, &a.lineWidth);
    glGetIntegerv(GL_VIEWPORT, a.viewport);
    glGetIntegerv(GL_MATRIX_MODE, &a.matrixMode);
    glGetIntegerv(GL_ACTIVE_TEXTURE, &a.activeTexture);
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &a.texture);
    sAttribs.push_back(a);
}

void glPopAttrib() {
    if (sAttribs.empty()) return;  // GL: a stack underflow, which changes nothing
    const Attribs a = sAttribs.back();
    sAttribs.pop_back();
    if (a.mask & (GL_ENABLE_BIT | GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_POLYGON_BIT)) {
        for (size_t i = 0; i < kCapNum; ++i) setCap(kCaps[i], a.caps[i]);
    }
    if (a.mask & (GL_ENABLE_BIT | GL_TEXTURE_BIT)) {
        if (a.texture2D) __wrap_glEnable(GL_TEXTURE_2D);
        else __wrap_glDisable(GL_TEXTURE_2D);
    }
    if (a.mask & GL_COLOR_BUFFER_BIT) {
        glBlendFuncSeparate(static_cast<GLenum>(a.blendSrcRgb), static_cast<GLenum>(a.blendDstRgb),
                            static_cast<GLenum>(a.blendSrcAlpha),
                            static_cast<GLenum>(a.blendDstAlpha));
        glBlendEquationSeparate(static_cast<GLenum>(a.blendEquationRgb),
                                static_cast<GLenum>(a.blendEquationAlpha));
        glColorMask(a.colourMask[0], a.colourMask[1], a.colourMask[2], a.colourMask[3]);
        glClearColor(a.clearColour[0], a.clearColour[1], a.clearColour[2], a.clearColour[3]);
    }
    if (a.mask & GL_DEPTH_BUFFER_BIT) {
        glDepthFunc(static_cast<GLenum>(a.depthFunc));
        glDepthMask(a.depthMask);
        glClearDepth(a.clearDepth);
    }
    if (a.mask & GL_POLYGON_BIT) {
        glCullFace(static_cast<GLenum>(a.cullFace));
        glFrontFace(static_cast<GLenum>(a.frontFace));
    }
    if (a.mask & GL_LINE_BIT) glLineWidth(a.lineWidth);
    if (a.mask & GL_VIEWPORT_BIT)
        glViewport(a.viewport[0], a.viewport[1], a.viewport[2], a.viewport[3]);
    if (a.mask & GL_TRANSFORM_BIT) glMatrixMode(static_cast<GLenum>(a.matrixMode));
    if (a.mask & GL_TEXTURE_BIT) {
        glActiveTexture(static_cast<GLenum>(a.activeTexture));
        glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(a.texture));
    }
}

// Of the client state, the program changes the pixel store's alignment
// between these; the arrays it enables it disables itself.
void glPushClientAttrib(GLbitfield) {
    GLint alignment = 4;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    sUnpackAlignment.push_back(alignment);
}

void glPopClientAttrib() {
    if (sUnpackAlignment.empty()) return;
    __real_glPixelStorei(GL_UNPACK_ALIGNMENT, sUnpackAlignment.back());
    sUnpackAlignment.pop_back();
}

void __wrap_glPixelStorei(GLenum name, GLint value) {
    const bool webgl2Only = name == GL_UNPACK_ROW_LENGTH || name == GL_UNPACK_SKIP_ROWS ||
                            name == GL_UNPACK_SKIP_PIXELS;
    if (webgl2Only && value == 0) return;
    __real_glPixelStorei(name, value);
}

void __wrap_glTexImage2D(GLenum target, GLint level, GLint internalFormat, GLsizei width,
                         GLsizei height, GLint border, GLenum format, GLenum type,
                         const void* pPixels) {
    const bool bgr = (format == GL_BGR || format == GL_BGRA) && type == GL_UNSIGNED_BYTE;
    const bool alpha = format == GL_ALPHA && type == GL_UNSIGNED_BYTE;
    if ((!bgr && !alpha) || pPixels == nullptr || width <= 0 || height <= 0) {
        __real_glTexImage2D(target, level, internalFormat, width, height, border, format, type,
                            pPixels);
        return;
    }
    GLint alignment = 4;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    const size_t inSize = bgr ? (format == GL_BGRA ? 4 : 3) : 1;
    const size_t outSize = bgr ? inSize : 2;
    const size_t w = static_cast<size_t>(width), h = static_cast<size_t>(height);
    const size_t align = static_cast<size_t>(alignment);
    const size_t inRow = (w * inSize + align - 1) / align * align;
    // The result is packed tight: its rows are read with an alignment of 1.
    std::vector<uint8_t> out(w * h * outSize);
    const uint8_t* pIn = static_cast<const uint8_t*>(pPixels);
    for (size_t y = 0; y < h; ++y) {
        const uint8_t* pRow = pIn + y * inRow;
        uint8_t* pOut = &out[y * w * outSize];
        for (size_t x = 0; x < w; ++x, pRow += inSize, pOut += outSize) {
            if (bgr) {
                pOut[0] = pRow[2];
                pOut[1] = pRow[1];
                pOut[2] = pRow[0];
                if (inSize == 4) pOut[3] = pRow[3];
            } else {
                pOut[0] = 255;
                pOut[1] = pRow[0];
            }
        }
    }
    const GLenum outFormat = bgr ? (inSize == 4 ? GL_RGBA : GL_RGB) : GL_LUMINANCE_ALPHA;
    __real_glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    __real_glTexImage2D(target, level, static_cast<GLint>(outFormat), width, height, border,
                        outFormat, type, out.data());
    __real_glPixelStorei(GL_UNPACK_ALIGNMENT, alignment);
}

// The view from eye towards centre with up: the rotation whose rows are the
// side, the up and the backward directions (single precision), then the
// translation by -eye.
void __wrap_gluLookAt(GLdouble eyeX, GLdouble eyeY, GLdouble eyeZ, GLdouble centreX,
                      GLdouble centreY, GLdouble centreZ, GLdouble upX, GLdouble upY,
                      GLdouble upZ) {
    auto normalise = [](float* v) {
        const float r = static_cast<float>(std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]));
        if (r == 0.0f) return;
        for (int i = 0; i < 3; ++i) v[i] /= r;
    };
    auto cross = [](const float* a, const float* b, float* pOut) {
        pOut[0] = a[1] * b[2] - a[2] * b[1];
        pOut[1] = a[2] * b[0] - a[0] * b[2];
        pOut[2] = a[0] * b[1] - a[1] * b[0];
    };
    float forward[3] = {static_cast<float>(centreX - eyeX), static_cast<float>(centreY - eyeY),
                        static_cast<float>(centreZ - eyeZ)};
    float up[3] = {static_cast<float>(upX), static_cast<float>(upY), static_cast<float>(upZ)};
    float side[3];
    normalise(forward);
    cross(forward, up, side);
    normalise(side);
    cross(side, forward, up);
    // Column-major, as GL reads it.
    const GLfloat m[16] = {side[0], up[0], -forward[0], 0.0f, side[1], up[1], -forward[1], 0.0f,
                           side[2], up[2], -forward[2], 0.0f, 0.0f,    0.0f,  0.0f,        1.0f};
    glMultMatrixf(m);
    glTranslated(-eyeX, -eyeY, -eyeZ);
}

void __wrap_gluPerspective(GLdouble fovY, GLdouble aspect, GLdouble zNear, GLdouble zFar) {
    const double radians = fovY / 2.0 * M_PI / 180.0;
    const double depth = zFar - zNear;
    const double sine = std::sin(radians);
    if (depth == 0.0 || sine == 0.0 || aspect == 0.0) return;
    const double cotangent = std::cos(radians) / sine;
    const GLdouble m[16] = {cotangent / aspect,
                            0.0,
                            0.0,
                            0.0,
                            0.0,
                            cotangent,
                            0.0,
                            0.0,
                            0.0,
                            0.0,
                            -(zFar + zNear) / depth,
                            -1.0,
                            0.0,
                            0.0,
                            -2.0 * zNear * zFar / depth,
                            0.0};
    glMultMatrixd(m);
}

}  // extern "C"
