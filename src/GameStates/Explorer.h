// Explorer.h - the demo's ways of seeing the tree at work: the painter's
// order step by step, a frozen eye, colourings of what the tree made, the
// splitting plane of a chosen node, text in the window, other painting
// orders beside the tree's, the pixels an order gets wrong, and the tree as
// a diagram. The state and its rules are plain data and need no window
// (Explorer.cpp); the drawing is ExplorerDraw.cpp, with the wrong pixels and
// the diagram in ExplorerViews.cpp. With every mode off the demo draws as it
// always has and the explorer draws nothing.
#ifndef BSP_EXPLORER_H
#define BSP_EXPLORER_H

#include "BSPTree.h"
#include "MeshBounds.h"
#include "PaintOrder.h"
#include "TreeDiagram.h"
#include "WrongPixels.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

namespace ORV {
class Input;
}
class PathPainter;

namespace explore {

// The keys, as Windows virtual-key codes; none of them is the demo's.
constexpr uint8_t KEY_PAINTER = 80;  // P: the painter step by step on / off
constexpr uint8_t KEY_NEXT = 78;     // N: paint the next triangle (held: repeats)
constexpr uint8_t KEY_PLAY = 32;     // Space: play / stop the order
constexpr uint8_t KEY_FREEZE = 73;   // I: freeze the eye the walk uses / follow the camera
constexpr uint8_t KEY_COLOURS = 77;  // M: mesh colours / node depth / cut pieces
constexpr uint8_t KEY_PLANE = 76;    // L: the chosen node's splitting plane on / off
constexpr uint8_t KEY_FRONT = 70;    // F: to the chosen node's front child
constexpr uint8_t KEY_BACK = 66;     // B: to its back child
constexpr uint8_t KEY_UP = 85;       // U: back up to its parent
constexpr uint8_t KEY_TEXT = 84;     // T: the status line in the window on / off
constexpr uint8_t KEY_HELP = 72;     // H: every key on screen on / off
constexpr uint8_t KEY_ORDER = 79;    // O: paint in the tree's order / sorted / file order
constexpr uint8_t KEY_WRONG = 88;    // X: the pixels the order gets wrong on / off
constexpr uint8_t KEY_DIAGRAM = 71;  // G: the tree as a diagram on / off

// The first Shown() triangles of an order of Total(), advanced one at a
// time, repeatedly while the step key is held, or played at PlayRate().
class PainterSteps {
public:
    static constexpr double PLAY_SECONDS = 10.0;  // the whole order, played
    static constexpr double MIN_PLAY_RATE = 4.0;  // triangles per second, at least
    static constexpr double REPEAT_DELAY = 0.5;   // seconds held before repeating
    static constexpr double REPEAT_RATE = 15.0;   // steps per second while held

    // Nothing shown, not playing.
    void Start(size_t total);
    // A new order's length; what is shown is kept up to it.
    void SetTotal(size_t total);
    void Step();
    // Starts or stops playing; at the end of the order, starts from nothing.
    void TogglePlay();
    // One frame of dt seconds: a step when the step key went down, repeated
    // steps at REPEAT_RATE once it has been held for REPEAT_DELAY, and the
    // steps playing has made due; playing stops at the end.
    void Advance(double dt, bool stepPressed, bool stepHeld);

    size_t Shown() const { return mShown; }
    size_t Total() const { return mTotal; }
    bool Playing() const { return mPlaying; }
    // The whole order in PLAY_SECONDS, never slower than MIN_PLAY_RATE.
    double PlayRate() const;

private:
    size_t mShown = 0;
    size_t mTotal = 0;
    bool mPlaying = false;
    double mPlayCarry = 0.0;  // a fraction of a step played, not shown yet
    double mHeld = 0.0;       // seconds the step key has been held
    size_t mRepeats = 0;      // steps made by holding it
};

// A node of the tree reached from the root through front and back children.
class NodeCursor {
public:
    void Reset(const BSPNode* pRoot);
    // Each moves when the node it goes to exists, and says whether it did.
    bool Front();
    bool Back();
    bool Up();
    const BSPNode* Node() const { return mPath.empty() ? nullptr : mPath.back(); }
    // The nodes from the root down to Node().
    const std::vector<const BSPNode*>& Path() const { return mPath; }
    uint32_t Depth() const { return mPath.empty() ? 0 : uint32_t(mPath.size() - 1); }
    // "root", or the children taken from it: "root/FB" is the root's front
    // child's back child.
    std::string Route() const;

private:
    bool down(const BSPNode* pChild, char step);

    std::vector<const BSPNode*> mPath;  // from the root
    std::string mRoute;                 // 'F' or 'B' per step below the root
};

// Triangles stored in the subtree at pNode (null: 0).
size_t SubtreeTriangles(const BSPNode* pNode);

// The colour of depth on a ramp from dark blue (0) over cyan, green and
// yellow to red (maxDepth); opaque. Distinct depths up to 64 get colours that
// differ in at least one 8-bit channel.
ORV::Color DepthColour(uint32_t depth, uint32_t maxDepth);

// Where the depth legend goes: a bar at the right edge of a width x height
// window, below its title, whose top is at top and which is titleHeight
// high; depth 0 at the bar's top, maxDepth at its bottom.
struct DepthLegend {
    int x0 = 0, x1 = 0;  // the bar's left and right edges
    int y0 = 0, y1 = 0;  // its top and bottom
    uint32_t bands = 1;  // colour bands, top down
    uint32_t maxDepth = 0;
    // The depth a band shows (0 for the first, maxDepth for the last), and
    // where the band starts (BandTop(bands) is y1).
    uint32_t BandDepth(uint32_t band) const;
    int BandTop(uint32_t band) const;
};
DepthLegend LayOutDepthLegend(uint32_t maxDepth, int width, int height, int top, int titleHeight);

// The polygon where plane cuts the box (grown by a hundredth of its size on
// every side, so that a plane lying in a face of it still shows): its
// corners in order around the plane, or none when the plane misses the box.
std::vector<ORV::Vec3> PlaneInBox(const Plane& plane, const Bounds& box);

// Where each stored triangle of a tree came from: the index of the input
// triangle it is, or that it is a piece of. The tree does not record this
// (the cut gives pieces no tag), so it is recovered from what a cut keeps: a
// piece has its source's three corner colours and lies in its source's
// plane, inside it.
class TriangleSources {
public:
    static constexpr int32_t UNKNOWN = -1;
    struct Origin {
        int32_t source = UNKNOWN;  // index into the input list
        bool piece = false;        // cut out of the source, not the whole of it
    };
    void Build(const std::vector<Triangle>& input, const BSPTree& tree);
    void Clear() { mOrigins.clear(); }
    bool Empty() const { return mOrigins.empty(); }
    // Of the triangle at index i of node's list.
    Origin Of(const BSPNode& node, size_t i) const;
    size_t Pieces() const { return mPieces; }
    size_t CutSources() const { return mCutSources; }  // inputs stored as pieces

private:
    std::unordered_map<const BSPNode*, std::vector<Origin>> mOrigins;
    size_t mPieces = 0;
    size_t mCutSources = 0;
};

enum class Colouring { Mesh, Depth, Pieces };

// The explorer's state: which modes are on and what they show. Keys change
// it through Update; the tests and the reference pictures change it through
// the same calls the keys make.
class Explorer {
public:
    // The tree the demo draws, its input and the input's bounds; called after
    // every build (the chosen node goes back to the root).
    void Attach(const BSPTree* pTree, const std::vector<Triangle>* pInput);

    // One frame's keys (ORV::Input::KeyTriggered, KeyDown) and dt seconds;
    // eye is the camera's eye, where the walk's eye freezes.
    void Update(const ORV::Input& input, double dt, const ORV::Vec3& eye);

    void TogglePainter();
    void ToggleFreeze(const ORV::Vec3& eye);
    void CycleColouring();
    void TogglePlane();
    void ToggleText() { mText = !mText; }
    void ToggleHelp() { mHelp = !mHelp; }
    // The next painting order; painting steps start again from nothing.
    void CycleOrder();
    void ToggleWrongPixels() { mWrong = !mWrong; }
    void ToggleDiagram() { mDiagram = !mDiagram; }
    PainterSteps& Painter() { return mPainter; }
    NodeCursor& Cursor() { return mCursor; }

    // True when the scene is drawn otherwise than by the tree's own Draw.
    bool ChangesScene() const {
        return mPainting || mFrozen || mColouring != Colouring::Mesh || mPlane ||
               mOrder != PaintOrder::Tree || mWrong;
    }
    // True when text goes into the window: its own key, or any mode on.
    bool ShowsText() const { return mText || mHelp || mDiagram || ChangesScene(); }

    bool Painting() const { return mPainting; }
    bool Frozen() const { return mFrozen; }
    const ORV::Vec3& FrozenEye() const { return mFrozenEye; }
    Colouring Colours() const { return mColouring; }
    bool ShowsPlane() const { return mPlane; }
    bool ShowsHelp() const { return mHelp; }
    const Bounds& MeshBox() const { return mBounds; }
    PaintOrder Order() const { return mOrder; }
    bool ShowsWrongPixels() const { return mWrong; }
    bool ShowsDiagram() const { return mDiagram; }
    // The number of triangles the order paints: the tree's stored ones, or
    // the input's whole ones.
    size_t OrderLength() const;
    // The eye the order is for: the frozen one, or the camera's.
    ORV::Vec3 OrderEye(const ORV::Vec3& cameraEye) const {
        return mFrozen ? mFrozenEye : cameraEye;
    }
    // The wrong pixels of the last frame drawn with them shown.
    const pixels::Count& WrongPixels() const { return mWrongCount; }
    // The diagram's layout for the cursor in a panel of the given metrics
    // (kept until the cursor, the tree or the metrics change).
    const DiagramLayout& Diagram(const DiagramMetrics& metrics) const;

    // The lines of the text block: the status line, then one or two per mode.
    std::vector<std::string> TextLines(const std::string& status) const;

    // Draws the scene for the camera at cameraEye (ExplorerDraw.cpp): the
    // walk's triangles (the first Shown() ones while painting) in the
    // colouring, the triangle painted last outlined, the frozen eye's marker
    // and the plane; sets the tree's drawn count as its Draw would. The
    // triangles go through painter's path; the first form paints them one
    // by one (DrawPath::Immediate).
    void DrawScene(BSPTree& tree, const ORV::Vec3& cameraEye) const;
    void DrawScene(BSPTree& tree, const ORV::Vec3& cameraEye, PathPainter& painter) const;
    // Draws the text, the depth legend, the key list and the diagram (its
    // nodes coloured by the side of their planes cameraEye, or the frozen
    // eye, is on) over the picture of width x height pixels; the status line
    // is given.
    void DrawOverlay(const std::string& status, const ORV::Vec3& cameraEye, int width,
                     int height) const;

private:
    // The sources of the stored triangles, when pieces are shown and they
    // have not been found for this tree yet.
    void findSources();
    // Whether a colouring or the plane, which belong to the tree, are drawn.
    bool treeViews() const { return mOrder == PaintOrder::Tree; }
    // The fill of a triangle of the order in the colouring; for a piece in
    // the pieces colouring, *ppSource is the triangle it was cut from
    // (outlined instead of the piece), otherwise null.
    ORV::Color fillOf(const PaintStep& step, uint32_t maxDepth, const Triangle** ppSource) const;
    // ExplorerViews.cpp: the wrong-pixel picture of mFills in place of the
    // scene (its two pictures painted by painter's path), and the diagram's
    // panel.
    void drawWrongPixels(PathPainter& painter) const;
    void drawDiagram(const ORV::Vec3& eye, int width, int height) const;

    const BSPTree* mpTree = nullptr;
    const std::vector<Triangle>* mpInput = nullptr;
    Bounds mBounds;
    PainterSteps mPainter;
    NodeCursor mCursor;
    TriangleSources mSources;
    bool mPainting = false;
    bool mFrozen = false;
    ORV::Vec3 mFrozenEye{0.0f};
    Colouring mColouring = Colouring::Mesh;
    bool mPlane = false;
    bool mText = false;
    bool mHelp = false;
    PaintOrder mOrder = PaintOrder::Tree;
    bool mWrong = false;
    bool mDiagram = false;
    uint32_t mTreeVersion = 0;  // grows with every Attach

    // What drawing a frame needs and keeps between frames (no allocation
    // per frame once sized): the sort, the fills and pixels of the wrong
    // pixels' two pictures, the diagram's layout, and what the last frame
    // painted.
    struct Fill {
        const Triangle* pTri;
        ORV::Color colour;
    };
    mutable DistanceSort mSort;
    mutable std::vector<Fill> mFills;
    mutable std::vector<uint8_t> mTruth, mPainted, mMarked;
    mutable unsigned mMarkTexture = 0;
    mutable int mMarkSize[2] = {0, 0};
    mutable pixels::Count mWrongCount;
    mutable DiagramLayout mLayout;
    mutable DiagramMetrics mLayoutMetrics;
    mutable const BSPNode* mpLayoutCursor = nullptr;
    mutable uint32_t mLayoutVersion = ~0u;
    mutable const BSPNode* mpPaintedNode = nullptr;  // holds the triangle painted last
};

}  // namespace explore

#endif  // BSP_EXPLORER_H
