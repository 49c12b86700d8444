// The demo's game state driven hook by hook under an offscreen GL context,
// with the keys set in the Input snapshot by hand. Each case runs in a child
// process (the state lives in file statics) started in the repository, where
// the demo finds its data; the child reports what it saw as "@name value"
// lines and the status line text, and the parent checks them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "BSPBuild.h"
#include "BSPTree.h"
#include "ChildProcess.h"
#include "DemoStart.h"
#include "DemoView.h"
#include "GameState.h"
#include "MeshFiles.h"
#include "ORV_Camera.h"
#include "OffscreenGL.h"

namespace {

constexpr int kWidth = 800, kHeight = 600;

// Opens the context and the singletons as the entry point would, then loads
// and initialises the demo.
bool startDemo(orvtest::OffscreenGL& gl) { return gl.Ok() && orvtest::StartDemo(kWidth, kHeight); }

// One frame's update with the given key going down in it.
void updateWithKey(uint8_t key) {
    ORV::Input* pInput = ORV::Input::Instance();
    pInput->mpKeyStatePrev[key] = 0;
    pInput->mpKeyStateCurr[key] = 0x80;
    gpGameStateUpdate();
    pInput->mpKeyStatePrev[key] = 0x80;
    pInput->mpKeyStateCurr[key] = 0;
}

void report(const char* pName, const std::string& value) {
    printf("\n@%s %s\n", pName, value.c_str());
    fflush(stdout);
}

std::vector<uint8_t> drawFrame(const orvtest::OffscreenGL& gl) {
    gpGameStateDraw();
    return gl.ReadPixels();
}

// The "@name value" lines of a child's output.
std::string reported(const std::string& out, const std::string& name) {
    std::istringstream in(out);
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("@" + name + " ", 0) == 0) return line.substr(name.size() + 2);
    return "(not reported)";
}

// The status lines written in place: the text between the backspaces,
// without the blanks that erase the previous one.
std::vector<std::string> statusLines(const std::string& out) {
    std::vector<std::string> lines;
    std::string cur;
    for (char c : out + '\b') {
        if (c == '\b' || c == '\n') {
            if (!cur.empty() && cur.find_first_not_of(' ') != std::string::npos && cur[0] != '@')
                lines.push_back(cur);
            cur.clear();
        } else {
            cur += c;
        }
    }
    return lines;
}

std::string usingLine(const BSPTree& tree, int drawn) {
    return "Using BSP tree, " + std::to_string(tree.TriNum()) + " triangles total, " +
           std::to_string(drawn) + " triangles drawn, tree depth: " + std::to_string(tree.Depth());
}

int storedNum(const BSPTree& tree) {
    int n = 0;
    tree.Walk(ORV::Vec3(0, 0, 10), [&](const Triangle&) { ++n; });
    return n;
}

}  // namespace

TEST(DemoState, StatusLineKeysAndRebuilds) {
    auto r = orvtest::RunInChild([] {
        orvtest::OffscreenGL gl(kWidth, kHeight);
        if (!startDemo(gl)) _exit(3);
        gpGameStateUpdate();  // first frame: nothing drawn yet
        drawFrame(gl);
        gpGameStateUpdate();
        updateWithKey(49);  // 1: the plain mesh
        drawFrame(gl);
        gpGameStateUpdate();
        updateWithKey(49);  // 1 again: the tree
        gpGameStateUpdate();
        updateWithKey(51);  // 3: split weight up, rebuilt
        report("split", std::to_string(BSPTree::sSplitWeight));
        drawFrame(gl);
        gpGameStateUpdate();
        updateWithKey(52);  // 4: balance weight up, rebuilt
        report("balance", std::to_string(BSPTree::sBalanceWeight));
        drawFrame(gl);
        gpGameStateUpdate();
        gpGameStateUpdate();  // without a press nothing is rebuilt again
        gpGameStateFree();
        gpGameStateUnload();
    });
    ASSERT_EQ(r.exitCode, 0) << r.out;

    // Each rewrite erases the previous line first, and no line feed is written.
    const std::string erase =
        std::string(156, '\b') + std::string(78, ' ') + std::string(156, '\b');
    ASSERT_EQ(r.out.compare(0, erase.size(), erase), 0);

    std::vector<Triangle> list = orvtest::DemoTriangles();
    ASSERT_FALSE(list.empty());
    // The demo's weights after its keys 3 and 4.
    BSPBuildSettings settings;
    BSPTree start, split, balance;
    start.Build(list, settings);
    settings.splitWeight += 0.1f;
    split.Build(list, settings);
    settings.balanceWeight += 1.0f;
    balance.Build(list, settings);
    const std::string plain = "Not using BSP tree, " + std::to_string(list.size()) + " triangles";
    const int startDrawn = storedNum(start), splitDrawn = storedNum(split);
    // A rebuild shows the new tree's figures beside the count of the last draw.
    std::vector<std::string> expected = {
        usingLine(start, 0),
        usingLine(start, startDrawn),
        plain,
        plain,
        usingLine(start, startDrawn),
        usingLine(start, startDrawn),
        usingLine(split, startDrawn),
        usingLine(split, splitDrawn),
        usingLine(balance, splitDrawn),
        usingLine(balance, storedNum(balance)),
        usingLine(balance, storedNum(balance)),
    };
    EXPECT_EQ(statusLines(r.out), expected);
    EXPECT_NE(storedNum(split), storedNum(start));
    EXPECT_NE(storedNum(balance), storedNum(split));
    EXPECT_EQ(reported(r.out, "split"), std::to_string(1.1f + 0.1f));
    EXPECT_EQ(reported(r.out, "balance"), std::to_string(2.0f));
    // The only line feeds are those around the two reports.
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 4);
}

TEST(DemoState, LoadSetsTheTextureAndTheFixedState) {
    auto r = orvtest::RunInChild([] {
        orvtest::OffscreenGL gl(kWidth, kHeight);
        if (!startDemo(gl)) _exit(3);
        GLint tex = 0, w = 0, h = 0, format = 0, wrap = 0, filter = 0;
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &tex);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &w);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &h);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT, &format);
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, &wrap);
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &filter);
        report("texture", std::to_string(tex != 0) + " " + std::to_string(w) + "x" +
                              std::to_string(h) + " " + std::to_string(format) + " " +
                              std::to_string(wrap) + " " + std::to_string(filter));
        // The top-left texel is the generator's green mark, stored top row first.
        std::vector<uint8_t> texels(size_t(w) * size_t(h) * 4);
        glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
        report("texel0", std::to_string(texels[0]) + " " + std::to_string(texels[1]) + " " +
                             std::to_string(texels[2]) + " " + std::to_string(texels[3]));
        GLfloat clear[4];
        glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
        report("state", std::to_string(glIsEnabled(GL_CULL_FACE)) + " " +
                            std::to_string(glIsEnabled(GL_DEPTH_TEST)) + " " +
                            std::to_string(clear[0]) + " " + std::to_string(clear[3]));
        report("error", std::to_string(glGetError()));
    });
    ASSERT_EQ(r.exitCode, 0) << r.out;
    EXPECT_EQ(reported(r.out, "texture"), "1 128x128 " + std::to_string(GL_RGBA) + " " +
                                              std::to_string(GL_REPEAT) + " " +
                                              std::to_string(GL_LINEAR));
    EXPECT_EQ(reported(r.out, "texel0"), "40 200 40 255");
    EXPECT_EQ(reported(r.out, "state"),
              "1 0 " + std::to_string(0.25f) + " " + std::to_string(1.0f));
    EXPECT_EQ(reported(r.out, "error"), "0");
}

// The frame is the tree's own drawing from the camera's start pose, and the
// GL state the draw found is the state it leaves.
TEST(DemoState, DrawShowsTheTreeAndRestoresTheState) {
    auto r = orvtest::RunInChild([] {
        orvtest::OffscreenGL gl(kWidth, kHeight);
        if (!startDemo(gl)) _exit(3);
        gpGameStateUpdate();
        glViewport(1, 2, 30, 40);
        std::vector<uint8_t> frame = drawFrame(gl);
        GLint viewport[4], polygon[2];
        glGetIntegerv(GL_VIEWPORT, viewport);
        glGetIntegerv(GL_POLYGON_MODE, polygon);
        report("after", std::to_string(viewport[0]) + " " + std::to_string(viewport[2]) + " " +
                            std::to_string(polygon[0] == GL_FILL) + " " +
                            std::to_string(glIsEnabled(GL_DEPTH_TEST)));

        BSPTree tree;
        tree.Build(orvtest::DemoTriangles());
        ORV::Camera camera(0.01f, 10000.0f);
        camera.Reset();
        camera.SetDistance(10.0f);
        camera.Update(false);
        DemoView::SetProjection(kWidth, kHeight);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        camera.Apply();
        tree.SetFlags(BSPTree::FLAG_OUTLINE);
        tree.Draw(camera.Eye());
        report("same", std::to_string(frame == gl.ReadPixels()));
    });
    ASSERT_EQ(r.exitCode, 0) << r.out;
    EXPECT_EQ(reported(r.out, "after"), "1 30 1 0");
    EXPECT_EQ(reported(r.out, "same"), "1");
}

// Without the tree the outlines pulse with the frame counter; key 2 takes
// them away, and the picture no longer depends on the counter.
TEST(DemoState, PlainMeshOutlinesPulseAndKey2RemovesThem) {
    auto r = orvtest::RunInChild([] {
        orvtest::OffscreenGL gl(kWidth, kHeight);
        if (!startDemo(gl)) _exit(3);
        ORV::System* pSystem = ORV::System::Instance();
        updateWithKey(49);
        auto at = [&](uint32_t counter) {
            pSystem->mFrameCounter = counter;
            return drawFrame(gl);
        };
        std::vector<uint8_t> dark = at(0), bright = at(32), darkAgain = at(64), wrapped = at(128);
        std::vector<uint8_t> mid = at(16 + 128);
        updateWithKey(50);
        std::vector<uint8_t> bare0 = at(0), bare32 = at(32);
        updateWithKey(50);
        std::vector<uint8_t> back = at(32);
        report("pulse", std::to_string(dark != bright) + " " + std::to_string(dark == wrapped) +
                            " " + std::to_string(bright != darkAgain));
        report("bare", std::to_string(bare0 == bare32) + " " + std::to_string(bare0 != bright) +
                           " " + std::to_string(back == bright));
        // The start view's centre column crosses the scene: count lit outline pixels.
        size_t brighter = 0;
        for (size_t i = 0; i < bright.size(); i += 4)
            if (bright[i] > dark[i] + 100 && bright[i + 1] > dark[i + 1] + 100) ++brighter;
        report("outline_pixels", std::to_string(brighter > 1000));
        // Where the outlines are white at 32, their grey at 16 (mod 128).
        size_t histogram[256] = {};
        for (size_t i = 0; i < bright.size(); i += 4)
            if (bright[i] == 255 && bright[i + 1] == 255 && bright[i + 2] == 255)
                ++histogram[mid[i]];
        report("grey16", std::to_string(std::max_element(histogram, histogram + 256) - histogram));
    });
    ASSERT_EQ(r.exitCode, 0) << r.out;
    EXPECT_EQ(reported(r.out, "pulse"), "1 1 1");
    EXPECT_EQ(reported(r.out, "bare"), "1 1 1");
    EXPECT_EQ(reported(r.out, "outline_pixels"), "1");
    float g16 = std::fabs(std::sin(static_cast<float>(16 / 127.0 * ORV::TWO_PI)));
    EXPECT_NEAR(std::stoi(reported(r.out, "grey16")), g16 * 255.0f, 1.0f);
}

// The walk is drawn per triangle for the demo's own mesh and batched for a
// named one, unless --draw says otherwise; R switches between the two. The
// child reports a checksum of each frame (R pressed before every frame but
// the first) and the share of pixels that agree with the first frame.
static std::vector<std::string> framesWith(std::vector<std::string> args, int presses) {
    auto r = orvtest::RunInChild([&] {
        args.insert(args.begin(), "orvane");
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(&a[0]);
        if (gameStateCommandLine(int(argv.size()), argv.data()) != -1) _exit(4);
        orvtest::OffscreenGL gl(kWidth, kHeight);
        if (!startDemo(gl)) _exit(3);
        std::vector<uint8_t> first;
        for (int i = 0; i <= presses; ++i) {
            if (i > 0) updateWithKey(82);  // R
            gpGameStateUpdate();
            const std::vector<uint8_t> frame = drawFrame(gl);
            if (i == 0) first = frame;
            uint64_t sum = 1469598103934665603ull;
            size_t same = 0;
            for (size_t p = 0; p < frame.size(); ++p) sum = (sum ^ frame[p]) * 1099511628211ull;
            for (size_t p = 0; p < frame.size(); p += 4)
                same += std::equal(&frame[p], &frame[p] + 3, &first[p]);
            report(("frame" + std::to_string(i)).c_str(),
                   std::to_string(sum) + " " + std::to_string(same * 4 >= frame.size() * 0.995));
        }
    });
    EXPECT_EQ(r.exitCode, 0) << r.out;
    // Every status line after the first frame reads the same on both paths.
    const std::vector<std::string> lines = statusLines(r.out);
    EXPECT_EQ(std::count(lines.begin() + 1, lines.end(), lines.back()), long(lines.size()) - 1);
    std::vector<std::string> frames;
    for (int i = 0; i <= presses; ++i)
        frames.push_back(reported(r.out, "frame" + std::to_string(i)));
    return frames;
}

TEST(DemoState, DrawPathFollowsTheCommandLineAndKeyR) {
    const std::string wuson = std::string(orvtest::kAssimpModelsDir) + "/OBJ/WusonOBJ.obj";
    const std::vector<std::string> own = framesWith({}, 2);
    const std::vector<std::string> named = framesWith({wuson}, 1);
    // Each switch changes the outlines' pixels, a few in a thousand, and
    // switching back gives the first picture again.
    EXPECT_NE(own[1], own[0]);
    EXPECT_EQ(own[1].back(), '1');
    EXPECT_EQ(own[2], own[0]);
    EXPECT_NE(named[1], named[0]);
    EXPECT_EQ(named[1].back(), '1');
    // What R switched to is what --draw starts with.
    EXPECT_EQ(framesWith({"--draw", "batched"}, 0)[0], own[1]);
    EXPECT_EQ(framesWith({"--draw=immediate", wuson}, 0)[0], named[1]);
}
