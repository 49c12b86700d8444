// ORV.h - the framework header.
//
// Failure reports, vectors and colours, constants, scalar templates, and the
// declarations of the platform singletons (System, Input), the clock, the 4x4
// matrix and the image. Everything a game state needs is reached from here
// but GL: this header includes no GL header (the math and the tree compile
// without one), so a file that draws includes <GL/glew.h> itself.
#ifndef ORV_H
#define ORV_H

#include <cassert>
#include <cmath>
#include <cstdint>
#include <cstdio>

// ---------------------------------------------------------------------------
// Failure reports
//
// A failed check prints a fixed header (kind, expression, line, function,
// file), an optional "Mesg: " line, waits for a key when a person is there to
// press one, and ends the process with status 1. Nothing is returned to the
// caller: the process ends inside the macro, unless the program's report
// handler (SetHandler, below) throws past it.
// ---------------------------------------------------------------------------
namespace ORV {
namespace Report {

// The qualified function name ("ORV::Image::Load", "main", "X::operator<")
// taken from the compiler's pretty function text, without return type and
// parameter list; an anonymous namespace keeps the compiler's spelling
// ("{anonymous}" in GCC, "(anonymous namespace)" in clang).
// The result points at a static buffer that the next call overwrites.
const char* FuncName(const char* pPretty);

// What a program may do with a report once its text is out. The handler
// receives nothing: when it is called, the whole report has been printed on
// standard output and standard output flushed. It may end the report its own
// way:
// - by throwing: the exception leaves through the code that made the report,
//   back to the program's catch. The loaders (Image::Load, TokenTree::Load,
//   Mesh::Load and LoadText) and the tree's build release what they hold on
//   the way, so nothing leaks: an image or a mesh half read is freed, a tree
//   half built is left without nodes. A report made in a destructor or a
//   noexcept function cannot be thrown through and ends in std::terminate.
// - by ending the process itself (exit, _exit).
// A handler that returns normally gets the default ending all the same: the
// key wait when a person can press a key, then exit(1).
// The handler is called on the thread that made the report; the tree's
// worker threads make none (a side built beside another gives up instead,
// and the build reports on the thread that called it). One handler serves the
// whole process: set it before starting threads that may report.
using Handler = void (*)();

// Installs the handler every report calls after printing and returns the
// previous one (null when none was set); null restores the default ending
// alone. The exchange is atomic.
Handler SetHandler(Handler handler);

// The tail every report shares: flush, the handler if one is set, then the
// default ending: key wait (only with a terminal on both standard input and
// standard output, and in its foreground process group), exit(1).
[[noreturn]] void End();

}  // namespace Report
}  // namespace ORV

#define ORV_FUNC_ ORV::Report::FuncName(__PRETTY_FUNCTION__)

#define ORV_HALT(...)                                                                       \
    do {                                                                                    \
        printf("ORV_HALT:\nLine: %d\nFunc: %s\nFile: %s\n", __LINE__, ORV_FUNC_, __FILE__); \
        __VA_OPT__(printf("Mesg: " __VA_ARGS__);)                                           \
        printf("\n");                                                                       \
        ORV::Report::End();                                                                 \
    } while (0)

#define ORV_ASSERT(cond)                                                                         \
    do {                                                                                         \
        if (!(cond)) {                                                                           \
            printf("ORV_ASSERT: %s\nLine: %d\nFunc: %s\nFile: %s\n", #cond, __LINE__, ORV_FUNC_, \
                   __FILE__);                                                                    \
            ORV::Report::End();                                                                  \
        }                                                                                        \
    } while (0)

#define ORV_ASSERT_MESG(cond, ...)                                                         \
    do {                                                                                   \
        if (!(cond)) {                                                                     \
            printf("ORV_ASSERT_MESG: %s\nLine: %d\nFunc: %s\nFile: %s\n", #cond, __LINE__, \
                   ORV_FUNC_, __FILE__);                                                   \
            printf("Mesg: " __VA_ARGS__);                                                  \
            printf("\n");                                                                  \
            ORV::Report::End();                                                            \
        }                                                                                  \
    } while (0)

#define ORV_ASSERT_PARM(cond)                                                              \
    do {                                                                                   \
        if (!(cond)) {                                                                     \
            printf("ORV_ASSERT_PARM: %s\nLine: %d\nFunc: %s\nFile: %s\n", #cond, __LINE__, \
                   ORV_FUNC_, __FILE__);                                                   \
            ORV::Report::End();                                                            \
        }                                                                                  \
    } while (0)

#define ORV_ASSERT_ALLOC(ptr)                                                              \
    do {                                                                                   \
        if ((ptr) == nullptr) {                                                            \
            printf("ORV_ASSERT_ALLOC: %s\nLine: %d\nFunc: %s\nFile: %s\n", #ptr, __LINE__, \
                   ORV_FUNC_, __FILE__);                                                   \
            ORV::Report::End();                                                            \
        }                                                                                  \
    } while (0)

// Reads the GL error once; a pending error ends the process with its code.
// The GL half lives in ORV_GLError.cpp, so this header needs no GL headers.
#define ORV_GL_ERROR(...)                                                          \
    do {                                                                           \
        if (ORV::Report::GLErrorHeader(__LINE__, __PRETTY_FUNCTION__, __FILE__)) { \
            printf("Mesg: " __VA_ARGS__);                                          \
            printf("\n");                                                          \
            ORV::Report::End();                                                    \
        }                                                                          \
    } while (0)

// The five platform checks that use the standard assertion stay active in
// every build, release included.
#define ORV_STD_ASSERT(cond) \
    ((cond) ? (void)0 : ORV::Report::StdAssertFail(#cond, __FILE__, __LINE__, ORV_FUNC_))

namespace ORV {
namespace Report {
// Reads the GL error once (glGetError). With none pending, prints nothing and
// returns false; otherwise prints ORV_GL_ERROR's header (line, the function
// named from its pretty text, file) and the Code line, and returns true.
// Needs a current GL context.
bool GLErrorHeader(int line, const char* pPrettyFunc, const char* pFile);

// The standard assertion's failure path (message on standard error, abort),
// kept out of reach of NDEBUG.
[[noreturn]] void StdAssertFail(const char* pExpr, const char* pFile, int line, const char* pFunc);
}  // namespace Report

// ---------------------------------------------------------------------------
// Constants. The doubles are the defining values; the floats their twins.
// ---------------------------------------------------------------------------
constexpr double PI = 3.141592653589793;
constexpr double TWO_PI = PI * 2.0;
constexpr double HALF_PI = PI * 0.5;
constexpr double EPSILON = 0.001;                 // general tolerance
constexpr double EPSILON_SQ = EPSILON * EPSILON;  // squared distance tolerance
constexpr float PI_F = static_cast<float>(PI);
constexpr float TWO_PI_F = static_cast<float>(TWO_PI);
constexpr float HALF_PI_F = static_cast<float>(HALF_PI);
constexpr float EPSILON_F = static_cast<float>(EPSILON);
constexpr float EPSILON_SQ_F = static_cast<float>(EPSILON_SQ);

// ---------------------------------------------------------------------------
// Input limits: the largest inputs the program accepts. Each is refused with
// a report before memory is spent on it, so that a hostile or broken file
// ends in a message instead of exhausting memory (docs/bad-input.md).
// ---------------------------------------------------------------------------
// Bytes of a mesh text, which is read whole. The limits of mesh texts are
// sized for meshes of 4M triangles: one as orvane-bsp convert writes it
// (shared positions, one colour per face) is 0.68 GB and 88M tokens, and
// with normals and texture coordinates too about 1.25 GB and 160M tokens;
// 2 GiB leaves room for longer numbers and labels.
constexpr uint32_t MAX_FILE_SIZE = 2u << 30;
// Pixel bytes of a loaded image (4096 x 4096 at 32 bits).
constexpr uint32_t MAX_IMAGE_BYTE_NUM = 64u << 20;
// Bytes of a TGA file, which is read whole: enough for the largest image the
// pixel limit lets through with everything a TGA file may carry around its
// pixels, the 18-byte header, the longest image ID (255 bytes) and the 26-byte
// TGA 2.0 footer (67109163 bytes in all).
constexpr uint32_t MAX_IMAGE_FILE_SIZE = 18u + 255u + MAX_IMAGE_BYTE_NUM + 26u;
// Tokens of one TokenTree text: room for the 160M of a 4M-triangle mesh with
// every section. Each costs a pointer of 8 bytes (2 GiB in all, beside the
// text); a 2 GiB text of one-byte tokens could otherwise ask for 8 GiB.
constexpr uint32_t MAX_TOKEN_NUM = 256u << 20;
// Elements of one mesh section: triangles, and values of each attribute.
// 4M triangles whose corners share nothing (a soup, or a colour per corner)
// have 12M values; a section at the limit costs at most 256 MB (colours).
// The tree's search counts a list's triangles in int32_t, in sums of up to 8
// times the list: 8 x 16M = 2^27 < 2^31 (asserted in BSPGroups.h).
constexpr uint32_t MAX_MESH_ELEMENT_NUM = 16u << 20;

// ---------------------------------------------------------------------------
// Scalar templates. Min returns the second argument on a tie and Max the
// first; with NaN in x, Clamp yields hi whenever lo < hi.
// ---------------------------------------------------------------------------
template <typename T>
inline T Min(T a, T b) {
    return (a < b) ? a : b;
}
template <typename T>
inline T Max(T a, T b) {
    return (a < b) ? b : a;
}
template <typename T>
inline T Clamp(T x, T lo, T hi) {
    return Max(lo, Min(x, hi));
}

// ---------------------------------------------------------------------------
// Vec3: three packed floats (arrays of them go to GL as raw float arrays).
// ---------------------------------------------------------------------------
struct Vec3 {
    float x, y, z;

    Vec3() = default;
    explicit Vec3(float s) : x(s), y(s), z(s) {}
    Vec3(float x_, float y_, float z_) : x(x_), y(y_), z(z_) {}

    Vec3 operator+(const Vec3& b) const { return Vec3(x + b.x, y + b.y, z + b.z); }
    Vec3 operator-(const Vec3& b) const { return Vec3(x - b.x, y - b.y, z - b.z); }
    Vec3 operator-() const { return Vec3(-x, -y, -z); }
    Vec3 operator*(float s) const { return Vec3(x * s, y * s, z * s); }
    // Three divisions, not a multiplication by 1/s: the results differ.
    Vec3 operator/(float s) const { return Vec3(x / s, y / s, z / s); }

    float Dot(const Vec3& b) const { return x * b.x + y * b.y + z * b.z; }
    float LengthSq() const { return Dot(*this); }
    float Length() const { return static_cast<float>(std::sqrt(static_cast<double>(LengthSq()))); }
    Vec3 Cross(const Vec3& b) const {
        return Vec3(y * b.z - z * b.y, z * b.x - x * b.z, x * b.y - y * b.x);
    }
    // No guard against a zero length: callers test IsZero first.
    Vec3& NormalizeThis() {
        float l = Length();
        x /= l;
        y /= l;
        z /= l;
        return *this;
    }
    // Per component, strict, against the double EPSILON; NaN is never zero.
    bool IsZero() const {
        return std::fabs(static_cast<double>(x)) < EPSILON &&
               std::fabs(static_cast<double>(y)) < EPSILON &&
               std::fabs(static_cast<double>(z)) < EPSILON;
    }
    // Two points closer than about EPSILON count as one.
    bool IsEqual(const Vec3& b) const {
        Vec3 d = *this - b;
        float s = d.LengthSq();
        return static_cast<double>(s) < EPSILON_SQ;
    }
};

inline Vec3 operator*(float s, const Vec3& a) { return a * s; }

// ---------------------------------------------------------------------------
// Vec4 / Color: four packed floats; as a colour x,y,z,w are r,g,b,a.
// ---------------------------------------------------------------------------
struct Vec4 {
    float x, y, z, w;

    Vec4() = default;
    explicit Vec4(float s) : x(s), y(s), z(s), w(s) {}
    Vec4(float x_, float y_, float z_, float w_) : x(x_), y(y_), z(z_), w(w_) {}
    // The fourth component is 0, also when the result is used as a colour.
    explicit Vec4(const Vec3& v) : x(v.x), y(v.y), z(v.z), w(0.0f) {}
};

typedef Vec4 Color;

static_assert(sizeof(Vec3) == 3 * sizeof(float), "Vec3 must be three packed floats");
static_assert(sizeof(Vec4) == 4 * sizeof(float), "Vec4 must be four packed floats");

// ---------------------------------------------------------------------------
// Mtx44: row-major 4x4 float matrix; vectors are columns multiplied on the
// right (M * v). GL takes the transpose of these 16 floats.
// ---------------------------------------------------------------------------
class Mtx44 {
public:
    float m[16];

    Mtx44() = default;
    // clang-format off
    Mtx44(float m00, float m01, float m02, float m03,
          float m10, float m11, float m12, float m13,
          float m20, float m21, float m22, float m23,
          float m30, float m31, float m32, float m33);
    // clang-format on
    explicit Mtx44(const float* pData);

    float& operator()(int r, int c) { return m[4 * r + c]; }
    float operator()(int r, int c) const { return m[4 * r + c]; }

    static Mtx44 Zero();
    static Mtx44 Identity();
    static Mtx44 Scale(float x, float y, float z);
    static Mtx44 Translate(float x, float y, float z);
    // Rotation by angle (radians, counter-clockwise seen from the axis tip)
    // about a unit axis; the axis is not normalised here.
    static Mtx44 Rotate(float x, float y, float z, float angle);
    // View matrix: eye to the origin, looking along -z. Halts when eye and at
    // coincide or up is parallel to the view.
    static Mtx44 LookAt(const Vec3& eye, const Vec3& at, const Vec3& up);
    static Mtx44 LookAt(float eyeX, float eyeY, float eyeZ, float atX, float atY, float atZ,
                        float upX, float upY, float upZ);

    Mtx44 operator+(const Mtx44& b) const;
    Mtx44 operator-(const Mtx44& b) const;
    Mtx44 operator*(float s) const;
    Mtx44 operator*(const Mtx44& b) const;
    Mtx44 Transpose() const;
    Mtx44 Inverse() const;  // not implemented: halts

    Mtx44& operator*=(float s);
    Mtx44& operator*=(const Mtx44& b);  // this = this * b (b applied first)
    Mtx44& ZeroThis();
    Mtx44& IdentityThis();
    Mtx44& TransposeThis();
    Mtx44& ScaleThis(float x, float y, float z);                // Scale * this
    Mtx44& RotateThis(float x, float y, float z, float angle);  // Rotate * this
    Mtx44& TranslateThis(float x, float y, float z);            // Translate * this
    Mtx44& InverseThis();                                       // not implemented: halts

    Vec3 TransformPoint(const Vec3& p) const;  // linear part + translation
    Vec3 TransformDir(const Vec3& d) const;    // linear part only
    Vec4 Transform(const Vec4& v) const;       // all four rows

    // Four lines of "%8f " values, one per row, on standard output.
    void Print() const;
};

Mtx44 operator*(float s, const Mtx44& a);

// ---------------------------------------------------------------------------
// Clock and frame queries (seconds, double precision).
// ---------------------------------------------------------------------------

// Writes the current monotonic clock reading in seconds; only differences
// between readings mean anything.
void ReadTimer(double* pTime);
// Tick count to seconds: whole seconds N / F plus (N mod F) / F, so that
// large counts keep their sub-tick precision. A frequency below 1 gives 0.
double TicksToSeconds(int64_t ticks, int64_t frequency);

// Frames shown since the rate was last set (wraps at 2^32); halts before the
// System exists.
uint32_t FrameCounter();
// The target frame rate (not measured); halts before the System exists.
uint32_t FrameRate();
// Seconds from the start of the last frame to the end of its pacing wait,
// never below 1 / FrameRate(); halts before the System exists.
double FrameTime();

}  // namespace ORV

struct GLFWwindow;  // only the platform files see inside it

namespace ORV {

// ---------------------------------------------------------------------------
// System: the window, its GL context, the console and the frame pacing.
// One per process, created by Instance and destroyed by Destroy.
// ---------------------------------------------------------------------------
class System {
public:
    static System* Instance();  // created on first use
    static void Destroy();      // closes the window; no-op when absent

    // Opens the window with a client area of width x height pixels, centred
    // on the primary screen, with a current GL context. hInstance is kept but
    // unused on this platform; pTitle may be null ("NONAME"). False when no
    // window or context could be made (no display, no GL).
    bool InitWindow(void* hInstance, const char* pTitle, uint32_t width, uint32_t height);
    // Binds the process's console (the terminal's title when standard output
    // is one); false when it is already bound.
    bool InitConsole(const char* pTitle);

    // False once the window has been asked to close.
    bool IsRunning() const { return mRunning; }
    // The size requested in InitWindow; resizing the window does not change it.
    uint32_t Width() const { return mWidth; }
    uint32_t Height() const { return mHeight; }

    // Makes the context current and records the frame's start time.
    void BeginFrame();
    // glFinish, the pacing wait, buffer swap, frame count, event poll (never
    // waits for events).
    void EndFrame();
    // Target frames per second; 0 counts as 1. Resets the frame counter.
    void SetFrameRate(uint32_t rate);

    // The platform window; null before InitWindow.
    GLFWwindow* Window() const { return mpWindow; }

    // Whether GL's immediate mode and polygon modes (glBegin, glPolygonMode)
    // are there to draw with: true on the desktop; false on the web, whose
    // WebGL has neither (its emulation of immediate mode is partial).
    static bool HasImmediateMode();

private:
    System();
    ~System();
    System(const System&) = delete;
    // InitWindow's first steps on every platform: the size and instance
    // kept, the title copied ("NONAME" for null), a previous window closed,
    // not running.
    void keepTitle(void* hInstance, const char* pTitle, uint32_t width, uint32_t height);
    System& operator=(const System&) = delete;

public:
    void* mhInstance;
    char* mpWinTitle;      // owned copy of the title
    char* mpClassName;     // the same storage as mpWinTitle, freed through this
    GLFWwindow* mpWindow;  // the window and its GL context
    uint32_t mWidth;
    uint32_t mHeight;
    bool mRunning;  // true from window creation until a close request
    bool mActive;   // the window has the input focus

    uint32_t mTargetRate;     // at least 1
    double mTargetFrameTime;  // 1 / mTargetRate
    uint32_t mFrameCounter;
    uint32_t mFrameRate;  // always mTargetRate
    double mFrameTime;
    double mFrameStart;
    double mFrameNow;
};

// ---------------------------------------------------------------------------
// Input: keyboard and mouse snapshot, indexed by Windows virtual-key code
// (1 and 2 are the left and right mouse buttons, 27 Escape, 37 to 40 the
// arrows, '0'-'9' and 'A'-'Z' the digits and letters). A byte with bit 7 set
// means down. One per process, created by Instance and destroyed by Destroy.
// ---------------------------------------------------------------------------
class Input {
public:
    static Input* Instance();  // created on first use
    static void Destroy();     // no-op when absent

    // Previous <- current, then a fresh keyboard and cursor snapshot. The
    // keys are as of the last event poll (the end of the previous frame).
    void Update();
    // The key is down in this frame's snapshot.
    bool KeyDown(uint8_t key) const { return (mpKeyStateCurr[key] & 0x80) != 0; }
    // The key went down since the previous snapshot.
    bool KeyTriggered(uint8_t key) const {
        return (mpKeyStateCurr[key] & 0x80) != 0 && (mpKeyStatePrev[key] & 0x80) == 0;
    }
    // Cursor movement in window pixels since the previous snapshot (y grows
    // downward); 0 without a window.
    int32_t MouseDX() const { return mMouseDX; }
    int32_t MouseDY() const { return mMouseDY; }

private:
    Input();
    ~Input();
    Input(const Input&) = delete;
    Input& operator=(const Input&) = delete;

public:
    uint8_t* mpKeyStateCurr;  // 256 bytes, owned
    uint8_t* mpKeyStatePrev;  // 256 bytes, owned
    int32_t mMouseX;          // client coordinates at the last update
    int32_t mMouseY;
    int32_t mMouseDX;
    int32_t mMouseDY;
};

// ---------------------------------------------------------------------------
// Image: 24- or 32-bit pixels, rows top first, bytes B,G,R(,A).
// ---------------------------------------------------------------------------
class Image {
public:
    // New zeroed image, owned by the caller; halts on bad sizes and on pixel
    // blocks whose byte count does not fit in 32 bits.
    static Image* Create(uint32_t sizeX, uint32_t sizeY, uint32_t bpp);
    // New image read from a .TGA file (any letter case), owned by the caller;
    // halts on any failure.
    static Image* Load(const char* pName);
    // Releases an image; accepts null.
    static void Destroy(Image* pImage);

    // Writes a .TGA file, top row first; halts on failure and on images wider
    // or taller than the format's 65535 pixels.
    bool Save(const char* pName);

    uint32_t SizeX() const { return mSizeX; }
    uint32_t SizeY() const { return mSizeY; }
    uint32_t BPP() const { return mBPP; }
    uint8_t* Data() const { return mpData; }

    // Decodes a whole TGA file held in memory; never reads past dataSize.
    bool loadTGA(const uint8_t* pData, uint32_t dataSize);
    bool saveTGA(const char* pName);

private:
    Image();
    ~Image();
    Image(const Image&) = delete;
    Image& operator=(const Image&) = delete;

public:
    uint8_t* mpData;
    uint32_t mBPP;
    uint32_t mSizeX;
    uint32_t mSizeY;
};

}  // namespace ORV

#endif  // ORV_H
