// The keyboard's rows, its key codes and input scripts.
#include "inputs/input_script.h"
#include "inputs/keyboard.h"

#include <GLFW/glfw3.h>
#include <gtest/gtest.h>

#include <sstream>

namespace {

// Held, pressed and toggled of one key, as 0 or 1.
std::string rows(const Keyboard &keyboard, int code) {
    std::string shown;
    for (int row = 0; row < kKeyRows; ++row)
        shown += keyboard.texels[static_cast<std::size_t>(row * kKeyCodes + code)] ? '1' : '0';
    return shown;
}

TEST(Keyboard, BrowserCodes) {
    const int cases[][2] = {{GLFW_KEY_A, 65},
                            {GLFW_KEY_Z, 90},
                            {GLFW_KEY_0, 48},
                            {GLFW_KEY_9, 57},
                            {GLFW_KEY_SPACE, 32},
                            {GLFW_KEY_KP_ENTER, 13},
                            {GLFW_KEY_ESCAPE, 27},
                            {GLFW_KEY_TAB, 9},
                            {GLFW_KEY_BACKSPACE, 8},
                            {GLFW_KEY_RIGHT_SHIFT, 16},
                            {GLFW_KEY_LEFT_CONTROL, 17},
                            {GLFW_KEY_RIGHT_ALT, 18},
                            {GLFW_KEY_LEFT, 37},
                            {GLFW_KEY_DOWN, 40},
                            {GLFW_KEY_PAGE_DOWN, 34},
                            {GLFW_KEY_HOME, 36},
                            {GLFW_KEY_DELETE, 46},
                            {GLFW_KEY_KP_0, 96},
                            {GLFW_KEY_KP_9, 105},
                            {GLFW_KEY_F1, 112},
                            {GLFW_KEY_F12, 123},
                            {GLFW_KEY_SEMICOLON, 186},
                            {GLFW_KEY_SLASH, 191},
                            {GLFW_KEY_GRAVE_ACCENT, 192},
                            {GLFW_KEY_LEFT_BRACKET, 219},
                            {GLFW_KEY_APOSTROPHE, 222},
                            {GLFW_KEY_F13, 0},
                            {GLFW_KEY_KP_ADD, 0},
                            {GLFW_KEY_MENU, 0}};
    for (const auto &[key, code] : cases)
        EXPECT_EQ(browserKeyCode(key), code) << key;
    EXPECT_FALSE(isKeyCode(124));
    EXPECT_FALSE(isKeyCode(0));
    EXPECT_TRUE(isKeyCode(222));
}

TEST(Keyboard, RowsFollowPressesAndFrames) {
    Keyboard k;
    keyDown(k, 65);
    EXPECT_EQ(rows(k, 65), "111");
    EXPECT_TRUE(k.changed);
    keyDown(k, 65); // held already: no second press
    frameRendered(k);
    EXPECT_EQ(rows(k, 65), "101");
    k.changed = false;
    frameRendered(k); // nothing shown as pressed: nothing to send again
    EXPECT_FALSE(k.changed);
    keyUp(k, 65);
    EXPECT_EQ(rows(k, 65), "001");
    keyDown(k, 65); // a tap between two frames: pressed, not held, toggled back
    keyUp(k, 65);
    EXPECT_EQ(rows(k, 65), "010");
    frameRendered(k);
    EXPECT_EQ(rows(k, 65), "000");
    EXPECT_EQ(rows(k, 66), "000");
}

std::string parsed(const std::string &text, InputScript &script) {
    std::istringstream in(text);
    return parseInputScript(in, "keys.txt", script);
}

TEST(InputScript, BadLinesNameFileLineAndProblem) {
    const std::string key = "expected FRAME key down|up CODE";
    const std::string mouse = "expected FRAME mouse X Y [down|up] [left|right]";
    const char *cases[][2] = {
        {"x key down 65", "1: 'x' is not a frame number"},
        {"-1 key down 65", "1: '-1' is not a frame number"},
        {"# fine\n\n3 key press 65", "3: "},
        {"3 key down", "1: "},
        {"3 key down 65 66", "1: "},
        {"3 key down 124", "1: '124' is not a key code"},
        {"3 key up A", "1: 'A' is not a key code"},
        {"3 mouse 10", "1: "},
        {"3 mouse 10 ten", "1: 'ten' is not a number of pixels"},
        {"3 mouse 1 2 left down", "1: "},
        {"3 mouse 1 2 down left up", "1: "},
        {"3 pointer 1 2", "1: expected key or mouse after the frame"},
        {"3", "1: expected key or mouse after the frame"},
    };
    for (const auto &[text, problem] : cases) {
        InputScript script;
        std::string expected = std::string("keys.txt:") + problem;
        if (expected.back() == ' ')
            expected += std::string(text).find("mouse") != std::string::npos ? mouse : key;
        EXPECT_EQ(parsed(text, script), expected) << text;
    }
}

TEST(InputScript, PlaysEventsBeforeTheirFrame) {
    InputScript script;
    ASSERT_EQ(parsed("5 key down 32 # jump\n2 mouse 10.5 20 down\n2 mouse 30 40\n"
                     "  5 mouse 30 40 up\n5 key up 32\n7 mouse 1 2 down right\n",
                     script),
              "");
    Keyboard k;
    ScriptPlayer player;
    playScript(script, player, 1, k);
    EXPECT_EQ(player.mouse[0], 0.0);
    playScript(script, player, 2, k);
    EXPECT_EQ((std::vector<double>(player.mouse, player.mouse + 4)),
              (std::vector<double>{30, 40, 1, 0}));
    EXPECT_TRUE(player.leftPressed);
    playScript(script, player, 3, k);
    EXPECT_FALSE(player.leftPressed);
    playScript(script, player, 6, k); // frames without a pass of their own come together
    EXPECT_EQ(rows(k, 32), "011");
    EXPECT_EQ(player.mouse[2], 0.0);
    playScript(script, player, 7, k);
    EXPECT_EQ((std::vector<double>(player.mouse, player.mouse + 4)),
              (std::vector<double>{1, 2, 0, 1}));
}

} // namespace
