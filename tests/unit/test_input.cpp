// The Input snapshot without a window: the key edges over frames, the key-code
// table from GLFW's names to virtual-key codes, and the mouse without a System.
#include <gtest/gtest.h>

#define GLFW_INCLUDE_NONE
#include <GLFW/glfw3.h>

#include <set>
#include <vector>

#include "ORV.h"
#include "ORV_Platform.h"

namespace {

using ORV::Platform::KeyMapping;

// A keyboard the test plays: the GLFW keys and mouse buttons held down now.
std::set<int> sHeldKeys;
std::set<int> sHeldButtons;

bool heldProbe(const KeyMapping& key) {
    return key.mouseButton ? sHeldButtons.count(key.glfwCode) != 0
                           : sHeldKeys.count(key.glfwCode) != 0;
}

class InputTest : public ::testing::Test {
protected:
    void SetUp() override {
        sHeldKeys.clear();
        sHeldButtons.clear();
        ORV::Platform::SetKeyProbe(heldProbe);
        mpInput = ORV::Input::Instance();
    }
    void TearDown() override {
        ORV::Platform::SetKeyProbe(nullptr);
        ORV::Input::Destroy();
        ORV::System::Destroy();
    }
    // The codes whose byte is down after one update with only `glfwKey` held.
    std::vector<int> codesFor(int glfwKey, bool button = false) {
        sHeldKeys.clear();
        sHeldButtons.clear();
        (button ? sHeldButtons : sHeldKeys).insert(glfwKey);
        mpInput->Update();
        std::vector<int> codes;
        for (int code = 0; code < 256; ++code) {
            if (mpInput->mpKeyStateCurr[code] != 0) codes.push_back(code);
        }
        return codes;
    }
    ORV::Input* mpInput = nullptr;
};

TEST_F(InputTest, StartsWithAllKeysUpAndNoMovement) {
    for (int code = 0; code < 256; ++code) {
        ASSERT_EQ(mpInput->mpKeyStateCurr[code], 0);
        ASSERT_EQ(mpInput->mpKeyStatePrev[code], 0);
    }
    EXPECT_EQ(mpInput->MouseDX(), 0);
    EXPECT_EQ(mpInput->MouseDY(), 0);
    EXPECT_EQ(ORV::Input::Instance(), mpInput);
}

TEST_F(InputTest, HeldKeyTriggersOnExactlyOneFrame) {
    mpInput->Update();
    EXPECT_FALSE(mpInput->KeyDown('C'));
    sHeldKeys.insert(GLFW_KEY_C);
    std::vector<bool> triggered;
    for (int frame = 0; frame < 5; ++frame) {
        mpInput->Update();
        EXPECT_TRUE(mpInput->KeyDown('C'));
        triggered.push_back(mpInput->KeyTriggered('C'));
    }
    EXPECT_EQ(triggered, (std::vector<bool>{true, false, false, false, false}));

    sHeldKeys.clear();
    mpInput->Update();
    EXPECT_FALSE(mpInput->KeyDown('C'));
    EXPECT_FALSE(mpInput->KeyTriggered('C')) << "there is no release edge";
    sHeldKeys.insert(GLFW_KEY_C);
    mpInput->Update();
    EXPECT_TRUE(mpInput->KeyTriggered('C')) << "pressed again, triggered again";
}

TEST_F(InputTest, KeyDownFromTheStartTriggersOnTheFirstFrame) {
    sHeldKeys.insert(GLFW_KEY_ESCAPE);
    mpInput->Update();
    EXPECT_TRUE(mpInput->KeyTriggered(27));
    mpInput->Update();
    EXPECT_FALSE(mpInput->KeyTriggered(27));
    EXPECT_TRUE(mpInput->KeyDown(27));
}

TEST_F(InputTest, EveryCodeTheProgramUsesComesFromItsKey) {
    struct Expect {
        int glfw;
        int code;
    };
    const Expect keys[] = {
        {GLFW_KEY_ESCAPE, 27}, {GLFW_KEY_LEFT, 37}, {GLFW_KEY_UP, 38}, {GLFW_KEY_RIGHT, 39},
        {GLFW_KEY_DOWN, 40},   {GLFW_KEY_1, 49},    {GLFW_KEY_2, 50},  {GLFW_KEY_3, 51},
        {GLFW_KEY_4, 52},      {GLFW_KEY_A, 65},    {GLFW_KEY_C, 67},  {GLFW_KEY_D, 68},
        {GLFW_KEY_E, 69},      {GLFW_KEY_Q, 81},    {GLFW_KEY_S, 83},  {GLFW_KEY_W, 87},
    };
    for (const Expect& k : keys) {
        EXPECT_EQ(codesFor(k.glfw), std::vector<int>{k.code}) << "GLFW key " << k.glfw;
    }
    EXPECT_EQ(codesFor(GLFW_MOUSE_BUTTON_LEFT, true), std::vector<int>{1});
    EXPECT_EQ(codesFor(GLFW_MOUSE_BUTTON_RIGHT, true), std::vector<int>{2});
    EXPECT_TRUE(mpInput->KeyDown(2)) << "mouse buttons answer KeyDown like keys";
}

TEST_F(InputTest, TableCoversTheOtherCommonKeys) {
    EXPECT_EQ(codesFor(GLFW_MOUSE_BUTTON_MIDDLE, true), std::vector<int>{4});
    EXPECT_EQ(codesFor(GLFW_KEY_ENTER), std::vector<int>{13});
    EXPECT_EQ(codesFor(GLFW_KEY_KP_ENTER), std::vector<int>{13});
    EXPECT_EQ(codesFor(GLFW_KEY_SPACE), std::vector<int>{32});
    EXPECT_EQ(codesFor(GLFW_KEY_0), std::vector<int>{48});
    EXPECT_EQ(codesFor(GLFW_KEY_Z), std::vector<int>{90});
    EXPECT_EQ(codesFor(GLFW_KEY_KP_0), std::vector<int>{96});
    EXPECT_EQ(codesFor(GLFW_KEY_KP_DIVIDE), std::vector<int>{111});
    EXPECT_EQ(codesFor(GLFW_KEY_F1), std::vector<int>{112});
    EXPECT_EQ(codesFor(GLFW_KEY_F12), std::vector<int>{123});
    // Each side sets its own code and the generic one.
    EXPECT_EQ(codesFor(GLFW_KEY_LEFT_SHIFT), (std::vector<int>{16, 160}));
    EXPECT_EQ(codesFor(GLFW_KEY_RIGHT_SHIFT), (std::vector<int>{16, 161}));
    EXPECT_EQ(codesFor(GLFW_KEY_RIGHT_CONTROL), (std::vector<int>{17, 163}));
    EXPECT_EQ(codesFor(GLFW_KEY_LEFT_ALT), (std::vector<int>{18, 164}));
    // Keys without a code are never down.
    EXPECT_EQ(codesFor(GLFW_KEY_KP_EQUAL), std::vector<int>{});
    EXPECT_EQ(codesFor(GLFW_KEY_F25), std::vector<int>{});
}

TEST_F(InputTest, GenericCodeStaysDownWhileEitherSideIsHeld) {
    sHeldKeys = {GLFW_KEY_LEFT_SHIFT, GLFW_KEY_RIGHT_SHIFT};
    mpInput->Update();
    sHeldKeys = {GLFW_KEY_RIGHT_SHIFT};
    mpInput->Update();
    EXPECT_TRUE(mpInput->KeyDown(16));
    EXPECT_FALSE(mpInput->KeyTriggered(16));
    EXPECT_FALSE(mpInput->KeyDown(160));
    EXPECT_TRUE(mpInput->KeyDown(161));
}

TEST_F(InputTest, WithoutASystemTheMouseReadsZero) {
    mpInput->mMouseX = 120;
    mpInput->mMouseY = -7;
    mpInput->mMouseDX = 3;
    mpInput->mMouseDY = 4;
    mpInput->Update();
    EXPECT_EQ(mpInput->mMouseX, 0);
    EXPECT_EQ(mpInput->mMouseY, 0);
    EXPECT_EQ(mpInput->MouseDX(), 0);
    EXPECT_EQ(mpInput->MouseDY(), 0);
    // A System without a window has no cursor either.
    ORV::System::Instance();
    mpInput->mMouseX = 5;
    mpInput->Update();
    EXPECT_EQ(mpInput->MouseDX(), 0);
    EXPECT_EQ(mpInput->mMouseX, 0);
}

TEST_F(InputTest, DestroyedInputComesBackFresh) {
    sHeldKeys.insert(GLFW_KEY_W);
    mpInput->Update();
    ASSERT_TRUE(mpInput->KeyDown('W'));
    ORV::Input::Destroy();
    ORV::Input::Destroy();  // absent: nothing happens
    mpInput = ORV::Input::Instance();
    EXPECT_FALSE(mpInput->KeyDown('W'));
    mpInput->Update();
    EXPECT_TRUE(mpInput->KeyTriggered('W'));
}

TEST(KeyProbe, DefaultProbeWithoutAWindowReportsNothingDown) {
    ORV::Platform::SetKeyProbe(nullptr);
    ORV::Input* pInput = ORV::Input::Instance();
    pInput->mpKeyStateCurr[27] = 0x80;
    pInput->Update();
    EXPECT_FALSE(pInput->KeyDown(27));
    EXPECT_TRUE(pInput->mpKeyStatePrev[27] & 0x80) << "the last snapshot moved to the previous";
    ORV::Input::Destroy();
}

}  // namespace
