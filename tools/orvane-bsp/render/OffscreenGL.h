// OffscreenGL.h - a real OpenGL context without any X server: EGL on Mesa's
// surfaceless platform (llvmpipe), rendering into a pbuffer or, where the
// driver offers none, a framebuffer object of the requested size. Used by
// orvane-bsp's render and check commands and by the GL tests.
#ifndef ORVBSP_OFFSCREEN_GL_H
#define ORVBSP_OFFSCREEN_GL_H

#include <GL/glew.h>

#include <cstdint>
#include <string>
#include <vector>

namespace orvbsp {

class OffscreenGL {
public:
    // Creates the context and makes it current; Ok() tells whether it worked
    // and Error() why not.
    OffscreenGL(int width, int height);
    ~OffscreenGL();
    OffscreenGL(const OffscreenGL&) = delete;
    OffscreenGL& operator=(const OffscreenGL&) = delete;

    bool Ok() const { return mOk; }
    const std::string& Error() const { return mError; }
    int Width() const { return mWidth; }
    int Height() const { return mHeight; }

    // The colour buffer as RGBA bytes, bottom row first (glReadPixels order).
    std::vector<uint8_t> ReadPixels() const;
    // One pixel, x from the left and y from the bottom, as 0xRRGGBBAA.
    uint32_t Pixel(int x, int y) const;

private:
    bool mOk = false;
    std::string mError;
    int mWidth;
    int mHeight;
    void* mDisplay = nullptr;
    void* mContext = nullptr;
    void* mSurface = nullptr;
    unsigned mFbo = 0, mColorRb = 0, mDepthRb = 0;
};

}  // namespace orvbsp

#endif
