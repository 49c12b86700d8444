// gen_demo_data - writes the demo's mesh and texture.
//
//   gen_demo_data [DATA_DIR]     (default: data)
//
// writes DATA_DIR/mesh/test_1.txt and DATA_DIR/textures/Test1.tga. The scene
// is made of closed solids that no order of whole objects can paint right:
// three slabs in cyclic overlap, a block pierced by a triangular prism, and two
// linked rings. Only the BSP tree's cuts draw it correctly without a depth
// buffer. Colours carry a baked light, since the demo draws without lighting.
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "ORV.h"

using ORV::Color;
using ORV::Vec3;

namespace {

// A right-handed frame: local (a, b, c) is o + a*x + b*y + c*z.
struct Frame {
    Vec3 o, x, y, z;
    Vec3 At(float a, float b, float c) const { return o + x * a + y * b + z * c; }
};

Vec3 unit(Vec3 v) { return v.NormalizeThis(); }

// A frame whose z axis is the given direction and whose x axis is the given
// hint made perpendicular to it.
Frame frameAlong(const Vec3& o, const Vec3& axis, const Vec3& xHint) {
    Vec3 z = unit(axis);
    Vec3 x = unit(xHint - z * xHint.Dot(z));
    return Frame{o, x, z.Cross(x), z};
}

const Vec3 kLight = unit(Vec3(0.3f, 0.6f, 0.75f));

// The baked light: a third ambient, the rest by the cosine to the light.
Color lit(const Color& base, const Vec3& n) {
    float k = 0.35f + 0.65f * ORV::Max(0.0f, n.Dot(kLight));
    return Color(base.x * k, base.y * k, base.z * k, 1.0f);
}

float quantize(float v, float step) { return std::round(v / step) * step; }

// One corner of a triangle: every attribute separately.
struct Corner {
    Vec3 pos, nrm, tex;
    Color clr;
};

// Collects triangles with separately indexed attributes; equal values share
// one entry, so the file exercises real index triples.
class MeshWriter {
public:
    using Tri = std::array<uint32_t, 3>;

    void Add(const Corner& a, const Corner& b, const Corner& c) {
        Tri p, n, t, k;
        const Corner* corners[3] = {&a, &b, &c};
        for (int i = 0; i < 3; ++i) {
            p[i] = index(mPos, mPosIndex, corners[i]->pos, 1e-5f);
            n[i] = index(mNrm, mNrmIndex, corners[i]->nrm, 1e-4f);
            t[i] = index(mTex, mTexIndex, corners[i]->tex, 1e-4f);
            k[i] = clrIndex(corners[i]->clr);
        }
        mFacePos.push_back(p);
        mFaceNrm.push_back(n);
        mFaceTex.push_back(t);
        mFaceClr.push_back(k);
    }

    size_t TriNum() const { return mFacePos.size(); }
    const std::vector<Vec3>& Positions() const { return mPos; }
    const std::vector<Tri>& FacePositions() const { return mFacePos; }

    bool Write(const char* pPath) const {
        FILE* pFile = std::fopen(pPath, "w");
        if (!pFile) return false;
        std::fprintf(pFile,
                     "// The BSP demo's scene, written by tools/gen_demo_data: three slabs in\n"
                     "// cyclic overlap, a block pierced by a prism, two linked rings.\n"
                     "// %zu positions, %zu triangles.\n\nMesh\n{\n",
                     mPos.size(), mFacePos.size());
        writeVectors(pFile, "Position", mPos);
        writeFaces(pFile, "Face_Position", mFacePos);
        writeVectors(pFile, "Normal", mNrm);
        writeFaces(pFile, "Face_Normal", mFaceNrm);
        std::fprintf(pFile, "    Color\n    {\n");
        for (size_t i = 0; i < mClr.size(); ++i)
            std::fprintf(pFile, "        %zu { %s %s %s %s }\n", i, num(mClr[i].x).c_str(),
                         num(mClr[i].y).c_str(), num(mClr[i].z).c_str(), num(mClr[i].w).c_str());
        std::fprintf(pFile, "    }\n");
        writeFaces(pFile, "Face_Color", mFaceClr);
        writeVectors(pFile, "TextureCoordinate", mTex);
        writeFaces(pFile, "Face_TextureCoordinate", mFaceTex);
        std::fprintf(pFile, "}\n");
        return std::fclose(pFile) == 0;
    }

private:
    using Key = std::tuple<long, long, long, long>;

    // Values are rounded to the step before they are shared and written, so
    // the file holds exactly what the checks below saw.
    static uint32_t index(std::vector<Vec3>& values, std::map<Key, uint32_t>& ids, Vec3 v,
                          float step) {
        v = Vec3(quantize(v.x, step), quantize(v.y, step), quantize(v.z, step));
        Key key(std::lround(v.x / step), std::lround(v.y / step), std::lround(v.z / step), 0);
        auto it = ids.find(key);
        if (it != ids.end()) return it->second;
        uint32_t id = static_cast<uint32_t>(values.size());
        values.push_back(v);
        ids.emplace(key, id);
        return id;
    }

    uint32_t clrIndex(Color c) {
        const float step = 1e-3f;
        c = Color(quantize(c.x, step), quantize(c.y, step), quantize(c.z, step),
                  quantize(c.w, step));
        Key key(std::lround(c.x / step), std::lround(c.y / step), std::lround(c.z / step),
                std::lround(c.w / step));
        auto it = mClrIndex.find(key);
        if (it != mClrIndex.end()) return it->second;
        uint32_t id = static_cast<uint32_t>(mClr.size());
        mClr.push_back(c);
        mClrIndex.emplace(key, id);
        return id;
    }

    // Shortest text that reads back as the same rounded value.
    static std::string num(float v) {
        char buf[32];
        std::snprintf(buf, sizeof buf, "%.5f", static_cast<double>(v));
        std::string s(buf);
        while (!s.empty() && s.back() == '0') s.pop_back();
        if (!s.empty() && s.back() == '.') s.pop_back();
        if (s == "-0") s = "0";
        return s;
    }

    static void writeVectors(FILE* pFile, const char* pName, const std::vector<Vec3>& values) {
        std::fprintf(pFile, "    %s\n    {\n", pName);
        for (size_t i = 0; i < values.size(); ++i)
            std::fprintf(pFile, "        %zu { %s %s %s }\n", i, num(values[i].x).c_str(),
                         num(values[i].y).c_str(), num(values[i].z).c_str());
        std::fprintf(pFile, "    }\n");
    }

    static void writeFaces(FILE* pFile, const char* pName, const std::vector<Tri>& faces) {
        std::fprintf(pFile, "    %s\n    {\n", pName);
        for (size_t i = 0; i < faces.size(); ++i)
            std::fprintf(pFile, "        %zu { %u %u %u }\n", i, faces[i][0], faces[i][1],
                         faces[i][2]);
        std::fprintf(pFile, "    }\n");
    }

    std::vector<Vec3> mPos, mNrm, mTex;
    std::vector<Color> mClr;
    std::map<Key, uint32_t> mPosIndex, mNrmIndex, mTexIndex, mClrIndex;
    std::vector<Tri> mFacePos, mFaceNrm, mFaceClr, mFaceTex;
};

// A solid as it is generated: its triangles, and for the orientation check the
// point of its core nearest to any point (the centre of a convex solid, the
// nearest point of a ring's centre circle).
struct Solid {
    const char* pName;
    std::vector<std::array<Corner, 3>> tris;
    Vec3 (*pCore)(const Solid&, const Vec3&);
    Frame frame;
    float radius;  // ring: centre-circle radius
};

Vec3 convexCore(const Solid& s, const Vec3&) { return s.frame.o; }

Vec3 ringCore(const Solid& s, const Vec3& p) {
    Vec3 d = p - s.frame.o;
    Vec3 inPlane = unit(s.frame.x * d.Dot(s.frame.x) + s.frame.y * d.Dot(s.frame.y));
    return s.frame.o + inPlane * s.radius;
}

// Adds the quad a, b, c, d (counter-clockwise seen from outside) as two
// triangles sharing the diagonal a-c.
void addQuad(Solid& s, const Corner& a, const Corner& b, const Corner& c, const Corner& d) {
    s.tris.push_back({a, b, c});
    s.tris.push_back({a, c, d});
}

// A convex polygon (counter-clockwise in the frame's x-y plane) swept along
// the frame's z from -length/2 to +length/2, each side cut into segs pieces
// along the sweep. Flat faces, one colour each.
Solid extrusion(const char* pName, const Frame& f, const std::vector<std::array<float, 2>>& poly,
                float length, int segs, const Color& base) {
    Solid s{pName, {}, convexCore, f, 0.0f};
    const size_t n = poly.size();
    auto corner = [&](float a, float b, float c, const Vec3& nrm, float u, float v) {
        return Corner{f.At(a, b, c), nrm, Vec3(u, v, 0.0f), lit(base, nrm)};
    };
    for (int cap = 0; cap < 2; ++cap) {
        float c = cap ? length * 0.5f : -length * 0.5f;
        Vec3 nrm = cap ? f.z : -f.z;
        std::vector<Corner> ring;
        for (size_t k = 0; k < n; ++k) {
            size_t i = cap ? k : n - 1 - k;  // the bottom cap runs the other way round
            ring.push_back(corner(poly[i][0], poly[i][1], c, nrm, poly[i][0], poly[i][1]));
        }
        for (size_t k = 1; k + 1 < n; ++k) s.tris.push_back({ring[0], ring[k], ring[k + 1]});
    }
    for (size_t k = 0; k < n; ++k) {
        const auto& p = poly[k];
        const auto& q = poly[(k + 1) % n];
        // The outward normal of a side of a counter-clockwise polygon.
        Vec3 nrm = unit(f.x * (q[1] - p[1]) - f.y * (q[0] - p[0]));
        for (int j = 0; j < segs; ++j) {
            float c0 = -length * 0.5f + length * float(j) / float(segs);
            float c1 = -length * 0.5f + length * float(j + 1) / float(segs);
            float v0 = float(j) / float(segs), v1 = float(j + 1) / float(segs);
            float u0 = float(k) / float(n), u1 = float(k + 1) / float(n);
            addQuad(s, corner(p[0], p[1], c0, nrm, u0, v0), corner(q[0], q[1], c0, nrm, u1, v0),
                    corner(q[0], q[1], c1, nrm, u1, v1), corner(p[0], p[1], c1, nrm, u0, v1));
        }
    }
    return s;
}

std::vector<std::array<float, 2>> rectangle(float w, float h) {
    return {{-w / 2, -h / 2}, {w / 2, -h / 2}, {w / 2, h / 2}, {-w / 2, h / 2}};
}

// A ring around the frame's z axis: centre circle of radius bigR in the x-y
// plane, tube radius r. Smooth normals, so the colour varies by corner.
Solid ring(const char* pName, const Frame& f, float bigR, float r, int nAround, int nTube,
           const Color& base) {
    Solid s{pName, {}, ringCore, f, bigR};
    auto corner = [&](int i, int j) {
        float th = float(ORV::TWO_PI) * float(i % nAround) / float(nAround);
        float ph = float(ORV::TWO_PI) * float(j % nTube) / float(nTube);
        Vec3 out = f.x * std::cos(th) + f.y * std::sin(th);
        Vec3 nrm = out * std::cos(ph) + f.z * std::sin(ph);
        Vec3 pos = f.o + out * bigR + nrm * r;
        return Corner{pos, nrm,
                      Vec3(4.0f * float(i) / float(nAround), float(j) / float(nTube), 0.0f),
                      lit(base, nrm)};
    };
    for (int i = 0; i < nAround; ++i)
        for (int j = 0; j < nTube; ++j)
            addQuad(s, corner(i, j), corner(i + 1, j), corner(i + 1, j + 1), corner(i, j + 1));
    return s;
}

// Three tilted slabs on the sides of a triangle around the centre: each one
// passes over the next at one corner and under the previous at the other.
std::vector<Solid> cyclicSlabs(const Vec3& centre) {
    const float inradius = 0.85f, length = 4.8f, rise = 0.55f;
    const Color colours[3] = {Color(0.95f, 0.35f, 0.3f, 1), Color(0.35f, 0.85f, 0.4f, 1),
                              Color(0.35f, 0.5f, 0.95f, 1)};
    const char* names[3] = {"red slab", "green slab", "blue slab"};
    std::vector<Solid> slabs;
    for (int i = 0; i < 3; ++i) {
        float beta = float(ORV::TWO_PI) * float(i) / 3.0f - float(ORV::HALF_PI);
        Vec3 out(std::cos(beta), std::sin(beta), 0.0f);
        Vec3 along(-out.y, out.x, 0.0f);  // counter-clockwise round the centre
        Frame f =
            frameAlong(centre + out * inradius, along * (length * 0.5f) + Vec3(0, 0, rise), out);
        slabs.push_back(extrusion(names[i], f, rectangle(0.65f, 0.2f), length, 6, colours[i]));
    }
    return slabs;
}

struct Box {
    Vec3 lo, hi;
};

Box bounds(const std::vector<Solid>& group) {
    Box b{Vec3(1e30f), Vec3(-1e30f)};
    for (const Solid& s : group)
        for (const auto& t : s.tris)
            for (const Corner& c : t) {
                b.lo = Vec3(ORV::Min(b.lo.x, c.pos.x), ORV::Min(b.lo.y, c.pos.y),
                            ORV::Min(b.lo.z, c.pos.z));
                b.hi = Vec3(ORV::Max(b.hi.x, c.pos.x), ORV::Max(b.hi.y, c.pos.y),
                            ORV::Max(b.hi.z, c.pos.z));
            }
    return b;
}

bool overlap(const Box& a, const Box& b) {
    return a.lo.x <= b.hi.x && b.lo.x <= a.hi.x && a.lo.y <= b.hi.y && b.lo.y <= a.hi.y &&
           a.lo.z <= b.hi.z && b.lo.z <= a.hi.z;
}

// Every triangle must face out of its solid: the tree's culling and the
// painter's order both depend on the winding.
bool facesOut(const Solid& s) {
    for (const auto& t : s.tris) {
        Vec3 n = (t[1].pos - t[0].pos).Cross(t[2].pos - t[0].pos);
        Vec3 mid = (t[0].pos + t[1].pos + t[2].pos) / 3.0f;
        if (n.Dot(mid - s.pCore(s, mid)) <= 0.0f) {
            std::fprintf(stderr, "gen_demo_data: a triangle of the %s faces inward\n", s.pName);
            return false;
        }
    }
    return true;
}

// Closed and consistently wound: every directed edge once, and its reverse once.
bool closed(const MeshWriter& mesh) {
    std::map<std::pair<uint32_t, uint32_t>, int> edges;
    for (const auto& t : mesh.FacePositions())
        for (int k = 0; k < 3; ++k) ++edges[{t[k], t[(k + 1) % 3]}];
    for (const auto& e : edges) {
        auto back = edges.find({e.first.second, e.first.first});
        if (e.second != 1 || back == edges.end() || back->second != 1) {
            std::fprintf(stderr,
                         "gen_demo_data: edge %u-%u is not shared by exactly two triangles\n",
                         e.first.first, e.first.second);
            return false;
        }
    }
    return true;
}

bool writeMesh(const std::string& path) {
    std::vector<std::vector<Solid>> groups;
    groups.push_back(cyclicSlabs(Vec3(-2.4f, 1.5f, 0.0f)));

    // A block turned off the axes, and a prism through it on a slant.
    Frame block =
        frameAlong(Vec3(2.5f, 1.3f, 0.0f), Vec3(0.3f, 0.45f, 1.0f), Vec3(1.0f, 0.2f, 0.0f));
    Frame prism =
        frameAlong(Vec3(2.45f, 1.35f, 0.1f), Vec3(1.0f, -0.35f, 0.55f), Vec3(0.0f, 1.0f, 0.3f));
    std::vector<std::array<float, 2>> tri;
    for (int k = 0; k < 3; ++k) {
        float a = float(ORV::TWO_PI) * float(k) / 3.0f + 0.3f;
        tri.push_back({0.5f * std::cos(a), 0.5f * std::sin(a)});
    }
    groups.push_back(
        {extrusion("block", block, rectangle(1.6f, 1.6f), 1.6f, 2, Color(0.95f, 0.8f, 0.3f, 1)),
         extrusion("prism", prism, tri, 3.4f, 3, Color(0.8f, 0.4f, 0.9f, 1))});

    // Two rings through each other's holes: their centre circles are bigR apart
    // at the closest, so the tubes keep bigR - 2r apart.
    const float bigR = 1.25f, r = 0.32f;
    Frame ringA = frameAlong(Vec3(-0.6f, -2.6f, 0.0f), Vec3(0.0f, -0.8f, 0.6f), Vec3(1, 0, 0));
    // B stands in A's x-z plane, centred on A's centre circle.
    Frame ringB{ringA.o + ringA.x * bigR, ringA.x, ringA.z, ringA.x.Cross(ringA.z)};
    groups.push_back({ring("cyan ring", ringA, bigR, r, 20, 8, Color(0.3f, 0.85f, 0.9f, 1)),
                      ring("orange ring", ringB, bigR, r, 20, 8, Color(0.95f, 0.55f, 0.2f, 1))});

    // The groups keep apart, so that no two surfaces of different groups
    // touch: the depth-buffer comparison relies on it.
    std::vector<Box> boxes;
    for (const auto& g : groups) boxes.push_back(bounds(g));
    for (size_t i = 0; i < boxes.size(); ++i)
        for (size_t j = i + 1; j < boxes.size(); ++j)
            if (overlap(boxes[i], boxes[j])) {
                std::fprintf(stderr, "gen_demo_data: groups %zu and %zu overlap\n", i, j);
                return false;
            }

    MeshWriter mesh;
    for (const auto& g : groups)
        for (const Solid& s : g) {
            if (!facesOut(s)) return false;
            for (const auto& t : s.tris) mesh.Add(t[0], t[1], t[2]);
        }
    if (!closed(mesh)) return false;
    if (!mesh.Write(path.c_str())) {
        std::fprintf(stderr, "gen_demo_data: cannot write '%s'\n", path.c_str());
        return false;
    }
    std::printf("%s: %zu triangles, %zu positions\n", path.c_str(), mesh.TriNum(),
                mesh.Positions().size());
    return true;
}

// A 32-bit checker with a different corner square, so flips would show.
bool writeTexture(const std::string& path) {
    const uint32_t size = 128, square = 16;
    ORV::Image* pImage = ORV::Image::Create(size, size, 32);
    uint8_t* p = pImage->Data();
    for (uint32_t y = 0; y < size; ++y)
        for (uint32_t x = 0; x < size; ++x, p += 4) {
            bool dark = ((x / square) + (y / square)) % 2 == 1;
            bool mark = x < square && y < square;   // top left
            p[0] = mark ? 40 : (dark ? 140 : 60);   // blue
            p[1] = mark ? 200 : (dark ? 70 : 160);  // green
            p[2] = mark ? 40 : (dark ? 40 : 240);   // red
            p[3] = 255;
        }
    bool ok = pImage->Save(path.c_str());
    ORV::Image::Destroy(pImage);
    if (ok) std::printf("%s: %ux%u, 32 bits\n", path.c_str(), size, size);
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 2) {
        std::fprintf(stderr, "usage: gen_demo_data [DATA_DIR]\n");
        return 2;
    }
    std::string dir = argc == 2 ? argv[1] : "data";
    bool ok = writeMesh(dir + "/mesh/test_1.txt");
    ok = writeTexture(dir + "/textures/Test1.tga") && ok;
    return ok ? 0 : 1;
}
