// Explorer.cpp - the explorer's state and rules: steps, pace, node cursor,
// depth ramp, plane polygon, piece sources and keys.
#include "Explorer.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>

namespace explore {

// ---- PainterSteps ----

void PainterSteps::Start(size_t total) {
    *this = PainterSteps();
    mTotal = total;
}

void PainterSteps::SetTotal(size_t total) {
    mTotal = total;
    mShown = std::min(mShown, total);
    if (mShown == mTotal) mPlaying = false;
}

void PainterSteps::Step() {
    if (mShown < mTotal) ++mShown;
}

void PainterSteps::TogglePlay() {
    if (mPlaying) {
        mPlaying = false;
        return;
    }
    if (mShown == mTotal) mShown = 0;
    mPlaying = mTotal > 0;
    mPlayCarry = 0.0;
}

double PainterSteps::PlayRate() const {
    return std::max(double(mTotal) / PLAY_SECONDS, MIN_PLAY_RATE);
}

void PainterSteps::Advance(double dt, bool stepPressed, bool stepHeld) {
    if (stepPressed) {
        Step();
        mHeld = 0.0;
        mRepeats = 0;
    } else if (stepHeld) {
        mHeld += dt;
        // Counted from the time held, so the pace does not follow the frame rate.
        while (mHeld >= REPEAT_DELAY && double(mRepeats) <= (mHeld - REPEAT_DELAY) * REPEAT_RATE) {
            Step();
            ++mRepeats;
        }
    }
    if (!mPlaying) return;
    mPlayCarry += dt * PlayRate();
    const double whole = std::floor(mPlayCarry);
    mPlayCarry -= whole;
    mShown = size_t(std::min(double(mShown) + whole, double(mTotal)));
    if (mShown == mTotal) mPlaying = false;
}

// ---- NodeCursor ----

void NodeCursor::Reset(const BSPNode* pRoot) {
    mPath.clear();
    mRoute.clear();
    if (pRoot != nullptr) mPath.push_back(pRoot);
}

bool NodeCursor::Front() { return down(Node() ? Node()->mpFront : nullptr, 'F'); }

bool NodeCursor::Back() { return down(Node() ? Node()->mpBack : nullptr, 'B'); }

bool NodeCursor::down(const BSPNode* pChild, char step) {
    if (pChild == nullptr) return false;
    mPath.push_back(pChild);
    mRoute += step;
    return true;
}

bool NodeCursor::Up() {
    if (mPath.size() < 2) return false;
    mPath.pop_back();
    mRoute.pop_back();
    return true;
}

std::string NodeCursor::Route() const { return mRoute.empty() ? "root" : "root/" + mRoute; }

size_t SubtreeTriangles(const BSPNode* pNode) {
    size_t n = 0;
    // Any eye will do: every node is visited once whatever the order.
    BSPTree::WalkNodes(pNode, ORV::Vec3(0.0f),
                       [&](const BSPNode& node, uint32_t) { n += node.mTriList.size(); });
    return n;
}

// ---- DepthColour ----

ORV::Color DepthColour(uint32_t depth, uint32_t maxDepth) {
    static const float kStops[][3] = {
        {0.10f, 0.15f, 0.70f},  // dark blue
        {0.05f, 0.65f, 0.90f},  // cyan
        {0.25f, 0.80f, 0.30f},  // green
        {0.95f, 0.85f, 0.15f},  // yellow
        {0.85f, 0.15f, 0.10f},  // red
    };
    constexpr int kLast = int(sizeof(kStops) / sizeof(kStops[0])) - 1;
    const double t = maxDepth == 0 ? 0.0 : double(std::min(depth, maxDepth)) / double(maxDepth);
    const int i = std::min(int(t * kLast), kLast - 1);
    const float f = float(t * kLast - i);
    float c[3];
    for (int k = 0; k < 3; ++k) c[k] = kStops[i][k] + (kStops[i + 1][k] - kStops[i][k]) * f;
    return ORV::Color(c[0], c[1], c[2], 1.0f);
}

// ---- DepthLegend ----

DepthLegend LayOutDepthLegend(uint32_t maxDepth, int width, int height, int top, int titleHeight) {
    // A band a depth, at most 16 pixels high and 320 in all, ending a margin
    // above the window's bottom; where the depths outnumber the bar's
    // pixels, a band a pixel, the depths spread evenly over them.
    constexpr int MARGIN = 8, MAX_BAND = 16, MAX_BAR = 320;
    DepthLegend l;
    l.maxDepth = maxDepth;
    l.x1 = width - 12;
    l.x0 = l.x1 - 18;
    l.y0 = top + titleHeight;
    const uint64_t depths = uint64_t(maxDepth) + 1;
    const uint64_t room = uint64_t(std::max(1, std::min(MAX_BAR, height - MARGIN - l.y0)));
    l.bands = uint32_t(std::min(depths, room));
    const uint64_t band = std::max<uint64_t>(1, std::min<uint64_t>(MAX_BAND, room / depths));
    l.y1 = l.y0 + int(l.bands == depths ? depths * band : room);
    return l;
}

uint32_t DepthLegend::BandDepth(uint32_t band) const {
    return bands < 2 ? 0 : uint32_t(uint64_t(band) * maxDepth / (bands - 1));
}

int DepthLegend::BandTop(uint32_t band) const {
    return y0 + int(int64_t(band) * (y1 - y0) / int64_t(bands));
}

// ---- PlaneInBox ----

namespace {

// A point in double precision: a box near the ends of float range has a
// size and a diagonal that float cannot hold.
struct D3 {
    double x, y, z;
    double& operator[](int k) { return k == 0 ? x : k == 1 ? y : z; }
    double operator[](int k) const { return k == 0 ? x : k == 1 ? y : z; }
    D3 operator+(const D3& o) const { return {x + o.x, y + o.y, z + o.z}; }
    D3 operator-(const D3& o) const { return {x - o.x, y - o.y, z - o.z}; }
    D3 operator*(double s) const { return {x * s, y * s, z * s}; }
    double Dot(const D3& o) const { return x * o.x + y * o.y + z * o.z; }
    D3 Cross(const D3& o) const {
        return {y * o.z - z * o.y, z * o.x - x * o.z, x * o.y - y * o.x};
    }
    double Length() const { return std::sqrt(Dot(*this)); }
};

D3 toD3(const ORV::Vec3& v) { return {double(v.x), double(v.y), double(v.z)}; }

}  // namespace

std::vector<ORV::Vec3> PlaneInBox(const Plane& plane, const Bounds& box) {
    if (!plane.IsFinite()) return {};
    const D3 raw = toD3(plane.mNormal);
    const double length = raw.Length();
    if (!(length > 0.0)) return {};
    const D3 n = raw * (1.0 / length);
    const double d = double(plane.mD) / length;
    // Grown, but never past float range, where the corners are returned.
    const D3 grow = (toD3(box.max) - toD3(box.min)) * 0.01 + D3{1e-4, 1e-4, 1e-4};
    D3 lo = toD3(box.min) - grow, hi = toD3(box.max) + grow;
    for (int k = 0; k < 3; ++k) {
        lo[k] = std::max(lo[k], -double(FLT_MAX));
        hi[k] = std::min(hi[k], double(FLT_MAX));
    }

    // A square in the plane, about the box centre's foot, larger than the box.
    const D3 centre = (lo + hi) * 0.5;
    const D3 foot = centre - n * (n.Dot(centre) + d);
    const D3 other = std::fabs(n.x) < 0.9 ? D3{1, 0, 0} : D3{0, 1, 0};
    D3 u = n.Cross(other);
    u = u * (1.0 / u.Length());
    const D3 v = n.Cross(u);
    const double half = (hi - lo).Length() + (foot - centre).Length();
    std::vector<D3> poly = {foot - u * half - v * half, foot + u * half - v * half,
                            foot + u * half + v * half, foot - u * half + v * half};

    // Cut by each face of the box in turn, keeping the inside.
    for (int axis = 0; axis < 3; ++axis) {
        for (int side = 0; side < 2; ++side) {
            const double limit = side == 0 ? lo[axis] : hi[axis];
            auto inside = [&](const D3& p) {
                const double s = p[axis] - limit;
                return side == 0 ? s >= 0.0 : s <= 0.0;
            };
            std::vector<D3> kept;
            for (size_t i = 0; i < poly.size(); ++i) {
                const D3& a = poly[i];
                const D3& b = poly[(i + 1) % poly.size()];
                if (inside(a)) kept.push_back(a);
                if (inside(a) != inside(b)) {
                    D3 cut = a + (b - a) * ((limit - a[axis]) / (b[axis] - a[axis]));
                    cut[axis] = limit;  // on the face exactly, whatever the rounding
                    kept.push_back(cut);
                }
            }
            poly.swap(kept);
            if (poly.size() < 3) return {};
        }
    }
    // The corners lie in the box, within float range but for a rounding.
    auto toFloat = [](double c) {
        return float(std::min(std::max(c, -double(FLT_MAX)), double(FLT_MAX)));
    };
    std::vector<ORV::Vec3> corners;
    for (const D3& p : poly) corners.push_back(ORV::Vec3(toFloat(p.x), toFloat(p.y), toFloat(p.z)));
    return corners;
}

// ---- TriangleSources ----

namespace {

// FNV-1a over the bytes of n objects.
template <typename T>
uint64_t bytesKey(const T* p, size_t n) {
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(p);
    uint64_t h = 1469598103934665603ull;
    for (size_t i = 0; i < sizeof(T) * n; ++i) h = (h ^ bytes[i]) * 1099511628211ull;
    return h;
}

// A triangle stored whole has its source's corners and colours bit for bit.
uint64_t wholeKey(const Triangle& tri) {
    return bytesKey(tri.mPos, 3) ^ (bytesKey(tri.mClr, 3) * 31u);
}

bool sameColours(const Triangle& a, const Triangle& b) {
    return std::memcmp(a.mClr, b.mClr, sizeof(a.mClr)) == 0;
}

// How far piece lies from being inside source and in its plane, in units of
// the source's size: 0 when it is.
double misfit(const Triangle& piece, const Triangle& source) {
    Plane plane;
    if (!Plane::FromTriangle(source, &plane)) return 1e30;
    const ORV::Vec3 a = source.mPos[0], b = source.mPos[1], c = source.mPos[2];
    const double size = std::max({double((b - a).Length()), double((c - a).Length()), 1e-12});
    double off = 0.0;
    for (const ORV::Vec3& p : piece.mPos) off = std::max(off, std::fabs(double(plane.Distance(p))));
    // Barycentric coordinates of the piece's centroid in the source.
    const ORV::Vec3 g = (piece.mPos[0] + piece.mPos[1] + piece.mPos[2]) * (1.0f / 3.0f);
    const ORV::Vec3 n = (b - a).Cross(c - a);
    const double area2 = double(n.Dot(n));
    if (!(area2 > 0.0)) return 1e30;
    const double wa = double((b - g).Cross(c - g).Dot(n)) / area2;
    const double wb = double((c - g).Cross(a - g).Dot(n)) / area2;
    const double wc = 1.0 - wa - wb;
    const double outside = std::max(0.0, -std::min({wa, wb, wc}));
    return off / size + outside;
}

// The input triangles by the cells of a grid their bounding boxes touch, so
// that a piece is matched only against the sources near its centroid (which
// lies inside its source). A triangle touching many cells goes into one list
// searched for every piece instead.
class SourceGrid {
public:
    explicit SourceGrid(const std::vector<Triangle>& input) {
        const Bounds box = BoundsOf(input);
        mLo = box.min;
        mCells = std::max(1, std::min(64, int(std::cbrt(double(input.size())))));
        const ORV::Vec3 extent = box.max - box.min;
        for (int k = 0; k < 3; ++k)
            (&mScale.x)[k] = (&extent.x)[k] > 0.0f ? float(mCells) / (&extent.x)[k] : 0.0f;
        mGrid.resize(size_t(mCells) * mCells * mCells);
        for (size_t i = 0; i < input.size(); ++i) {
            int lo[3], hi[3];
            for (int k = 0; k < 3; ++k) {
                const float* c[3] = {&input[i].mPos[0].x, &input[i].mPos[1].x, &input[i].mPos[2].x};
                lo[k] = cell(std::min({c[0][k], c[1][k], c[2][k]}), k);
                hi[k] = cell(std::max({c[0][k], c[1][k], c[2][k]}), k);
            }
            if ((hi[0] - lo[0] + 1) * (hi[1] - lo[1] + 1) * (hi[2] - lo[2] + 1) > kMaxCells) {
                mLarge.push_back(int32_t(i));
                continue;
            }
            for (int x = lo[0]; x <= hi[0]; ++x)
                for (int y = lo[1]; y <= hi[1]; ++y)
                    for (int z = lo[2]; z <= hi[2]; ++z) at(x, y, z).push_back(int32_t(i));
        }
    }
    // Calls fn(index) for every source that may hold point p.
    template <typename Fn>
    void Near(const ORV::Vec3& p, Fn&& fn) const {
        for (int32_t i : at(cell(p.x, 0), cell(p.y, 1), cell(p.z, 2))) fn(i);
        for (int32_t i : mLarge) fn(i);
    }

private:
    static constexpr int kMaxCells = 64;
    int cell(float v, int axis) const {
        return int(GridCell(v, (&mLo.x)[axis], (&mScale.x)[axis], uint32_t(mCells - 1)));
    }
    std::vector<int32_t>& at(int x, int y, int z) {
        return mGrid[(size_t(x) * size_t(mCells) + size_t(y)) * size_t(mCells) + size_t(z)];
    }
    const std::vector<int32_t>& at(int x, int y, int z) const {
        return mGrid[(size_t(x) * size_t(mCells) + size_t(y)) * size_t(mCells) + size_t(z)];
    }
    ORV::Vec3 mLo{0.0f}, mScale{0.0f};
    int mCells = 1;
    std::vector<std::vector<int32_t>> mGrid;
    std::vector<int32_t> mLarge;
};

}  // namespace

void TriangleSources::Build(const std::vector<Triangle>& input, const BSPTree& tree) {
    mOrigins.clear();
    mPieces = 0;
    mCutSources = 0;
    std::unordered_map<uint64_t, std::vector<int32_t>> whole;
    for (size_t i = 0; i < input.size(); ++i) whole[wholeKey(input[i])].push_back(int32_t(i));
    std::unique_ptr<SourceGrid> pGrid;  // made when the first piece comes
    std::vector<bool> cut(input.size(), false);

    tree.VisitNodes([&](const BSPNode& node, uint32_t) {
        std::vector<Origin>& origins = mOrigins[&node];
        origins.resize(node.mTriList.size());
        for (size_t t = 0; t < node.mTriList.size(); ++t) {
            const Triangle& tri = node.mTriList[t];
            auto found = whole.find(wholeKey(tri));
            if (found != whole.end()) {
                for (int32_t i : found->second) {
                    const Triangle& source = input[size_t(i)];
                    if (sameColours(source, tri) &&
                        std::memcmp(source.mPos, tri.mPos, sizeof(tri.mPos)) == 0) {
                        origins[t] = Origin{i, false};
                        break;
                    }
                }
                if (origins[t].source != UNKNOWN) continue;
            }
            if (!pGrid) pGrid.reset(new SourceGrid(input));
            double best = 1e-3;  // a looser fit is taken for no source at all
            const ORV::Vec3 g = (tri.mPos[0] + tri.mPos[1] + tri.mPos[2]) * (1.0f / 3.0f);
            pGrid->Near(g, [&](int32_t i) {
                const Triangle& source = input[size_t(i)];
                if (!sameColours(source, tri)) return;
                const double m = misfit(tri, source);
                if (m < best) {
                    best = m;
                    origins[t] = Origin{i, true};
                }
            });
            if (origins[t].piece) {
                ++mPieces;
                cut[size_t(origins[t].source)] = true;
            }
        }
    });
    mCutSources = size_t(std::count(cut.begin(), cut.end(), true));
}

TriangleSources::Origin TriangleSources::Of(const BSPNode& node, size_t i) const {
    auto found = mOrigins.find(&node);
    if (found == mOrigins.end() || i >= found->second.size()) return Origin();
    return found->second[i];
}

// ---- Explorer ----

void Explorer::Attach(const BSPTree* pTree, const std::vector<Triangle>* pInput) {
    mpTree = pTree;
    mpInput = pInput;
    mBounds = pInput != nullptr ? BoundsOf(*pInput) : Bounds();
    mSources.Clear();
    const BSPNode* pRoot = mpTree != nullptr ? mpTree->Root() : nullptr;
    mCursor.Reset(pRoot);
    mPainter.SetTotal(SubtreeTriangles(pRoot));
    findSources();
}

void Explorer::findSources() {
    if (mColouring == Colouring::Pieces && mSources.Empty() && mpTree && mpInput)
        mSources.Build(*mpInput, *mpTree);
}

void Explorer::TogglePainter() {
    mPainting = !mPainting;
    if (mPainting) mPainter.Start(SubtreeTriangles(mpTree ? mpTree->Root() : nullptr));
}

void Explorer::ToggleFreeze(const ORV::Vec3& eye) {
    mFrozen = !mFrozen;
    if (mFrozen) mFrozenEye = eye;
}

void Explorer::CycleColouring() {
    switch (mColouring) {
    case Colouring::Mesh: mColouring = Colouring::Depth; break;
    case Colouring::Depth: mColouring = Colouring::Pieces; break;
    case Colouring::Pieces: mColouring = Colouring::Mesh; break;
    }
    findSources();
}

void Explorer::TogglePlane() {
    mPlane = !mPlane;
    if (mPlane) mCursor.Reset(mpTree ? mpTree->Root() : nullptr);
}

void Explorer::Update(const ORV::Input& input, double dt, const ORV::Vec3& eye) {
    if (input.KeyTriggered(KEY_PAINTER)) TogglePainter();
    if (input.KeyTriggered(KEY_FREEZE)) ToggleFreeze(eye);
    if (input.KeyTriggered(KEY_COLOURS)) CycleColouring();
    if (input.KeyTriggered(KEY_PLANE)) TogglePlane();
    if (input.KeyTriggered(KEY_TEXT)) ToggleText();
    if (input.KeyTriggered(KEY_HELP)) ToggleHelp();
    if (mPlane) {
        if (input.KeyTriggered(KEY_FRONT)) mCursor.Front();
        if (input.KeyTriggered(KEY_BACK)) mCursor.Back();
        if (input.KeyTriggered(KEY_UP)) mCursor.Up();
    }
    if (mPainting) {
        if (input.KeyTriggered(KEY_PLAY)) mPainter.TogglePlay();
        mPainter.Advance(dt, input.KeyTriggered(KEY_NEXT), input.KeyDown(KEY_NEXT));
    }
}

std::vector<std::string> Explorer::TextLines(const std::string& status) const {
    std::vector<std::string> lines = {status};
    char buf[160];
    if (mPainting) {
        std::snprintf(buf, sizeof(buf), "Painter: %zu of %zu triangles painted%s", mPainter.Shown(),
                      mPainter.Total(), mPainter.Playing() ? ", playing" : "");
        lines.push_back(buf);
    }
    if (mFrozen) {
        std::snprintf(buf, sizeof(buf), "Eye frozen at (%.2f, %.2f, %.2f)", double(mFrozenEye.x),
                      double(mFrozenEye.y), double(mFrozenEye.z));
        lines.push_back(buf);
    }
    switch (mColouring) {
    case Colouring::Mesh: break;
    case Colouring::Depth: lines.push_back("Colours: node depth"); break;
    case Colouring::Pieces:
        std::snprintf(buf, sizeof(buf), "Colours: %zu pieces (tinted) cut from %zu triangles",
                      mSources.Pieces(), mSources.CutSources());
        lines.push_back(buf);
        break;
    }
    if (mPlane && mCursor.Node() != nullptr) {
        const BSPNode& node = *mCursor.Node();
        lines.push_back("Plane of node " + mCursor.Route());
        std::snprintf(buf, sizeof(buf), "  depth %u, %zu triangles in it, front %zu, back %zu",
                      mCursor.Depth(), node.mTriList.size(), SubtreeTriangles(node.mpFront),
                      SubtreeTriangles(node.mpBack));
        lines.push_back(buf);
    }
    return lines;
}

}  // namespace explore
