#include "render/OffscreenGL.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>

namespace orvbsp {

OffscreenGL::OffscreenGL(int width, int height) : mWidth(width), mHeight(height) {
    auto getPlatformDisplay = reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(
        eglGetProcAddress("eglGetPlatformDisplayEXT"));
    if (!getPlatformDisplay) {
        mError = "eglGetPlatformDisplayEXT is missing";
        return;
    }
    EGLDisplay dpy =
        getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    if (dpy == EGL_NO_DISPLAY || !eglInitialize(dpy, nullptr, nullptr)) {
        mError = "no surfaceless EGL display";
        return;
    }
    mDisplay = dpy;
    if (!eglBindAPI(EGL_OPENGL_API)) {
        mError = "EGL cannot bind desktop OpenGL";
        return;
    }
    const EGLint cfgAttribs[] = {EGL_SURFACE_TYPE,
                                 EGL_PBUFFER_BIT,
                                 EGL_RED_SIZE,
                                 8,
                                 EGL_GREEN_SIZE,
                                 8,
                                 EGL_BLUE_SIZE,
                                 8,
                                 EGL_ALPHA_SIZE,
                                 8,
                                 EGL_DEPTH_SIZE,
                                 24,
                                 EGL_STENCIL_SIZE,
                                 8,
                                 EGL_RENDERABLE_TYPE,
                                 EGL_OPENGL_BIT,
                                 EGL_NONE};
    EGLConfig cfg = nullptr;
    EGLint num = 0;
    bool pbuffer = eglChooseConfig(dpy, cfgAttribs, &cfg, 1, &num) && num > 0;
    if (!pbuffer) {
        const EGLint anyAttribs[] = {EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT, EGL_NONE};
        if (!eglChooseConfig(dpy, anyAttribs, &cfg, 1, &num)) num = 0;
    }
    EGLContext ctx =
        eglCreateContext(dpy, num > 0 ? cfg : EGL_NO_CONFIG_KHR, EGL_NO_CONTEXT, nullptr);
    if (ctx == EGL_NO_CONTEXT) {
        mError = "eglCreateContext failed";
        return;
    }
    mContext = ctx;
    EGLSurface surf = EGL_NO_SURFACE;
    if (pbuffer) {
        const EGLint pbAttribs[] = {EGL_WIDTH, width, EGL_HEIGHT, height, EGL_NONE};
        surf = eglCreatePbufferSurface(dpy, cfg, pbAttribs);
        if (surf != EGL_NO_SURFACE) mSurface = surf;
    }
    if (!eglMakeCurrent(dpy, surf, surf, ctx)) {
        mError = "eglMakeCurrent failed";
        return;
    }
    // Without a GLX display glewInit reports 4 although the entry points load.
    glewExperimental = GL_TRUE;
    GLenum glewResult = glewInit();
    if (glewResult != GLEW_OK && glewResult != 4) {
        mError = "glewInit failed";
        return;
    }
    glGetError();
    if (surf == EGL_NO_SURFACE) {
        glGenFramebuffersEXT(1, &mFbo);
        glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, mFbo);
        glGenRenderbuffersEXT(1, &mColorRb);
        glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, mColorRb);
        glRenderbufferStorageEXT(GL_RENDERBUFFER_EXT, GL_RGBA8, width, height);
        glFramebufferRenderbufferEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT,
                                     GL_RENDERBUFFER_EXT, mColorRb);
        glGenRenderbuffersEXT(1, &mDepthRb);
        glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, mDepthRb);
        glRenderbufferStorageEXT(GL_RENDERBUFFER_EXT, GL_DEPTH24_STENCIL8_EXT, width, height);
        glFramebufferRenderbufferEXT(GL_FRAMEBUFFER_EXT, GL_DEPTH_ATTACHMENT_EXT,
                                     GL_RENDERBUFFER_EXT, mDepthRb);
        glFramebufferRenderbufferEXT(GL_FRAMEBUFFER_EXT, GL_STENCIL_ATTACHMENT_EXT,
                                     GL_RENDERBUFFER_EXT, mDepthRb);
        if (glCheckFramebufferStatusEXT(GL_FRAMEBUFFER_EXT) != GL_FRAMEBUFFER_COMPLETE_EXT) {
            mError = "framebuffer object incomplete";
            return;
        }
        glDrawBuffer(GL_COLOR_ATTACHMENT0_EXT);
        glReadBuffer(GL_COLOR_ATTACHMENT0_EXT);
    }
    glViewport(0, 0, width, height);
    glGetError();
    mOk = true;
}

OffscreenGL::~OffscreenGL() {
    EGLDisplay dpy = static_cast<EGLDisplay>(mDisplay);
    if (!dpy) return;
    if (mFbo) {
        glDeleteFramebuffersEXT(1, &mFbo);
        glDeleteRenderbuffersEXT(1, &mColorRb);
        glDeleteRenderbuffersEXT(1, &mDepthRb);
    }
    eglMakeCurrent(dpy, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    if (mSurface) eglDestroySurface(dpy, static_cast<EGLSurface>(mSurface));
    if (mContext) eglDestroyContext(dpy, static_cast<EGLContext>(mContext));
    eglTerminate(dpy);
}

std::vector<uint8_t> OffscreenGL::ReadPixels() const {
    std::vector<uint8_t> px(static_cast<size_t>(mWidth) * mHeight * 4);
    glFinish();
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, mWidth, mHeight, GL_RGBA, GL_UNSIGNED_BYTE, px.data());
    return px;
}

uint32_t OffscreenGL::Pixel(int x, int y) const {
    uint8_t p[4] = {0, 0, 0, 0};
    glFinish();
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p);
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}

}  // namespace orvbsp
