// Mesh drawing under a real (offscreen) GL context: filled triangles with
// and without colours, normals and texture coordinates through client
// arrays, the client-array states afterwards, and outlines.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "ORV_Mesh.h"
#include "OffscreenGL.h"

using ORV::Mesh;

namespace {

const int kSize = 32;
const uint32_t kBlack = 0x000000FF;
const uint32_t kRed = 0xFF0000FF;
const uint32_t kGreen = 0x00FF00FF;
const uint32_t kBlue = 0x0000FFFF;

std::string fixture(const char* pName) { return std::string(ORV_TEST_DATA_DIR) + "/mesh/" + pName; }

class MeshDraw : public ::testing::Test {
protected:
    void SetUp() override {
        mGL.reset(new orvtest::OffscreenGL(kSize, kSize));
        ASSERT_TRUE(mGL->Ok()) << mGL->Error();
        glViewport(0, 0, kSize, kSize);
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
    }

    std::unique_ptr<Mesh> load(const char* pName, bool deindex = true) {
        Mesh* pMesh = Mesh::Load(fixture(pName).c_str(), deindex);
        EXPECT_NE(pMesh, nullptr) << pName;
        return std::unique_ptr<Mesh>(pMesh);
    }

    uint32_t pixel(int x, int y) const { return mGL->Pixel(x, y); }

    bool clientState(GLenum array) const { return glIsEnabled(array) == GL_TRUE; }

    const void* pointer(GLenum which) const {
        void* p = nullptr;
        glGetPointerv(which, &p);
        return p;
    }

    std::unique_ptr<orvtest::OffscreenGL> mGL;
};

}  // namespace

TEST_F(MeshDraw, ColouredMeshUsesItsCornerColours) {
    auto mesh = load("ndc_halves.txt");
    glColor3f(0, 0, 1);  // overridden by the colour array
    mesh->Draw();
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    for (int y : {2, 16, 29}) {
        EXPECT_EQ(pixel(3, y), kRed) << y;
        EXPECT_EQ(pixel(12, y), kRed) << y;
        EXPECT_EQ(pixel(19, y), kGreen) << y;
        EXPECT_EQ(pixel(28, y), kGreen) << y;
    }
}

TEST_F(MeshDraw, UncolouredMeshTakesTheCurrentColour) {
    auto mesh = load("ndc_square.txt");
    glColor3f(0, 0, 1);
    mesh->Draw();
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    for (int x : {1, 16, 30})
        for (int y : {1, 16, 30}) EXPECT_EQ(pixel(x, y), kBlue) << x << "," << y;
}

TEST_F(MeshDraw, DeindexedNormalsFollowTheirOwnTriples) {
    auto mesh = load("ndc_square.txt");
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);  // a white light along -z
    mesh->Draw();
    glDisable(GL_LIGHTING);
    // The lower-right triangle faces the light, the upper-left faces away.
    uint32_t lit = pixel(26, 5), unlit = pixel(5, 26);
    EXPECT_GT(lit >> 24, 180u) << std::hex << lit;
    EXPECT_LT(unlit >> 24, 40u) << std::hex << unlit;
}

TEST_F(MeshDraw, NormalsTooFewForTheIndexedPositionsAreLeftOut) {
    // Indexed as in the file, two normals cannot serve four position indices;
    // Draw must not read past them and leaves the current normal in force.
    auto mesh = load("ndc_square.txt", false);
    ASSERT_EQ(mesh->mVtxNrmNum, 2u);
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
    glNormal3f(0, 0, 1);
    mesh->Draw();
    glDisable(GL_LIGHTING);
    EXPECT_NE(pointer(GL_NORMAL_ARRAY_POINTER), mesh->mpVtxNrm);
    EXPECT_GT(pixel(26, 5) >> 24, 180u);
    EXPECT_GT(pixel(5, 26) >> 24, 180u);
}

TEST_F(MeshDraw, TextureCoordinatesReachTheTexture) {
    auto mesh = load("ndc_square.txt");
    const uint8_t texels[] = {255, 0, 0, 0, 255, 0};  // red, green
    GLuint tex = 0;
    glGenTextures(1, &tex);
    glBindTexture(GL_TEXTURE_2D, tex);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, 2, 1, 0, GL_RGB, GL_UNSIGNED_BYTE, texels);
    glEnable(GL_TEXTURE_2D);
    glColor3f(1, 1, 1);
    mesh->Draw();
    glDisable(GL_TEXTURE_2D);
    glDeleteTextures(1, &tex);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    EXPECT_EQ(pixel(4, 8), kRed);
    EXPECT_EQ(pixel(4, 24), kRed);
    EXPECT_EQ(pixel(27, 8), kGreen);
    EXPECT_EQ(pixel(27, 24), kGreen);
}

TEST_F(MeshDraw, ClientArrayStatesAfterDraw) {
    auto coloured = load("ndc_halves.txt");
    glEnableClientState(GL_VERTEX_ARRAY);  // the caller's: Draw disables it all the same
    coloured->Draw();
    EXPECT_FALSE(clientState(GL_VERTEX_ARRAY));
    EXPECT_FALSE(clientState(GL_COLOR_ARRAY));
    EXPECT_EQ(pointer(GL_VERTEX_ARRAY_POINTER), coloured->mpVtxPos);
    EXPECT_EQ(pointer(GL_COLOR_ARRAY_POINTER), coloured->mpVtxClr);
    GLint size = 0;
    glGetIntegerv(GL_COLOR_ARRAY_SIZE, &size);
    EXPECT_EQ(size, 4);

    auto plain = load("ndc_square.txt");
    plain->Draw();
    EXPECT_FALSE(clientState(GL_NORMAL_ARRAY));
    EXPECT_FALSE(clientState(GL_TEXTURE_COORD_ARRAY));
    EXPECT_EQ(pointer(GL_NORMAL_ARRAY_POINTER), plain->mpVtxNrm);
    EXPECT_EQ(pointer(GL_TEXTURE_COORD_ARRAY_POINTER), plain->mpVtxTex);
    glGetIntegerv(GL_TEXTURE_COORD_ARRAY_SIZE, &size);
    EXPECT_EQ(size, 3);

    // An array Draw did not enable is not Draw's to disable.
    float magenta[6 * 4];
    for (int i = 0; i < 6; ++i) {
        magenta[4 * i] = 1;
        magenta[4 * i + 1] = 0;
        magenta[4 * i + 2] = 1;
        magenta[4 * i + 3] = 1;
    }
    glColorPointer(4, GL_FLOAT, 0, magenta);
    glEnableClientState(GL_COLOR_ARRAY);
    plain->Draw();
    EXPECT_TRUE(clientState(GL_COLOR_ARRAY));
    EXPECT_FALSE(clientState(GL_VERTEX_ARRAY));
    glDisableClientState(GL_COLOR_ARRAY);
    EXPECT_EQ(pixel(16, 16), 0xFF00FFFFu);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(MeshDraw, DrawWireOutlinesEachTriangleInTheCurrentColour) {
    auto mesh = load("wire_triangle.txt");
    glColor3f(1, 1, 1);
    mesh->DrawWire();
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    const uint32_t white = 0xFFFFFFFF;
    EXPECT_EQ(pixel(16, 4), white);  // bottom edge
    EXPECT_EQ(pixel(4, 16), white);  // left edge: the loop closes back to the first corner
    bool diagonal = pixel(15, 16) == white || pixel(16, 15) == white || pixel(16, 16) == white ||
                    pixel(15, 15) == white;
    EXPECT_TRUE(diagonal);
    EXPECT_EQ(pixel(10, 10), kBlack);  // inside: not filled
    EXPECT_EQ(pixel(25, 25), kBlack);  // outside

    // Colours of the mesh are not sent: the outline takes the current colour.
    glClear(GL_COLOR_BUFFER_BIT);
    auto coloured = load("ndc_halves.txt");
    glColor3f(0, 0, 1);
    coloured->DrawWire();
    // The shared vertical edge x = 0 lies on a pixel boundary: either side may light.
    EXPECT_TRUE(pixel(15, 16) == kBlue || pixel(16, 16) == kBlue);
    EXPECT_EQ(pixel(8, 20), kBlack);
}

TEST_F(MeshDraw, ZeroTrianglesDrawNothing) {
    Mesh empty;
    glColor3f(1, 1, 1);
    empty.Draw();
    empty.DrawWire();
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    for (int x = 0; x < kSize; x += 3)
        for (int y = 0; y < kSize; y += 3) ASSERT_EQ(pixel(x, y), kBlack) << x << "," << y;
    EXPECT_FALSE(clientState(GL_VERTEX_ARRAY));
}
