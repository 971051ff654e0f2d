// Key presses: the messages a keyboard makes, where they go, and what the
// dialog's thread sees while it handles them.
#include <gtest/gtest.h>

#include <algorithm>

#include "testbed/uidriver/controls.h"
#include "testbed/uidriver/driver_error.h"
#include "testbed/uidriver/keys.h"
#include "testbed/uidriver/tests/driver_fixture.h"

namespace {

using uidriver::Key;
using uidriver::KeyMessage;

bool Logged(const std::vector<std::string>& log, const std::string& line) {
    return std::find(log.begin(), log.end(), line) != log.end();
}

std::string Joined(const std::vector<std::string>& log) {
    std::string text;
    for (const std::string& line : log) text += line + "\n";
    return text;
}

TEST(KeyStrokes, CarryTheScanCodeAndTheStateBitsOfARealKeyboard) {
    struct Case {
        Key key;
        std::vector<KeyMessage> strokes;
    };
    const Case cases[] = {
        {Key::Tab, {{WM_KEYDOWN, VK_TAB, 0x000F0001}, {WM_KEYUP, VK_TAB, static_cast<LPARAM>(0xC00F0001u)}}},
        {Key::Enter, {{WM_KEYDOWN, VK_RETURN, 0x001C0001}, {WM_KEYUP, VK_RETURN, static_cast<LPARAM>(0xC01C0001u)}}},
        {Key::Escape, {{WM_KEYDOWN, VK_ESCAPE, 0x00010001}, {WM_KEYUP, VK_ESCAPE, static_cast<LPARAM>(0xC0010001u)}}},
        {Key::F4, {{WM_KEYDOWN, VK_F4, 0x003E0001}, {WM_KEYUP, VK_F4, static_cast<LPARAM>(0xC03E0001u)}}},
        {Key::ShiftTab,
         {{WM_KEYDOWN, VK_SHIFT, 0x002A0001},
          {WM_KEYDOWN, VK_TAB, 0x000F0001},
          {WM_KEYUP, VK_TAB, static_cast<LPARAM>(0xC00F0001u)},
          {WM_KEYUP, VK_SHIFT, static_cast<LPARAM>(0xC02A0001u)}}},
        {Key::AltF4,
         {{WM_SYSKEYDOWN, VK_MENU, 0x20380001},
          {WM_SYSKEYDOWN, VK_F4, 0x203E0001},
          {WM_SYSKEYUP, VK_F4, static_cast<LPARAM>(0xE03E0001u)},
          {WM_KEYUP, VK_MENU, static_cast<LPARAM>(0xC0380001u)}}},
    };
    for (const Case& c : cases) EXPECT_EQ(uidriver::KeyStrokes(c.key), c.strokes) << uidriver::KeyName(c.key);
}

TEST(KeyStrokes, KeyNamesAreTheOnesTheCommandLineAccepts) {
    for (Key key : {Key::Tab, Key::ShiftTab, Key::Enter, Key::Escape, Key::F4, Key::AltF4}) {
        EXPECT_EQ(uidriver::ParseKey(uidriver::KeyName(key)), key);
    }
    for (const char* wrong : {"", "Tab", "shift+tab", "f5", "alt"}) EXPECT_FALSE(uidriver::ParseKey(wrong)) << wrong;
}

using KeyPressTest = TargetTest;

TEST_F(KeyPressTest, TabGoesToTheNamedFieldWhichMovesTheFocusOn) {
    ClearKeyLog();
    EXPECT_TRUE(uidriver::PressKey(dialog, Item(IDC_FIRST_FIELD), Key::Tab));
    const std::vector<std::string> log = KeyLog();
    EXPECT_TRUE(Logged(log, "101 down 09 000F0001 S0 A0")) << Joined(log);
    EXPECT_TRUE(Logged(log, "101 up 09 C00F0001 S0 A0")) << Joined(log);
    // Read at once: the press returned only after the field had moved the focus.
    EXPECT_EQ(uidriver::FocusedControlId(dialog), IDC_CHOICE);
    EXPECT_EQ(Answer(), "answer: none");
}

TEST_F(KeyPressTest, ShiftTabHoldsShiftWhileTheFieldHandlesTab) {
    ClearKeyLog();
    uidriver::PressKey(dialog, Item(IDC_SECOND_FIELD), Key::ShiftTab);
    const std::vector<std::string> log = KeyLog();
    EXPECT_TRUE(Logged(log, "103 down 10 002A0001 S1 A0")) << Joined(log);
    EXPECT_TRUE(Logged(log, "103 down 09 000F0001 S1 A0")) << Joined(log);
    EXPECT_EQ(uidriver::FocusedControlId(dialog), IDC_CHOICE);

    // Shift is let go with the press: the next Tab moves forward again.
    ClearKeyLog();
    uidriver::PressKey(dialog, nullptr, Key::Tab);
    EXPECT_TRUE(Logged(KeyLog(), "102 down 09 000F0001 S0 A0")) << Joined(KeyLog());
    EXPECT_EQ(uidriver::FocusedControlId(dialog), IDC_SECOND_FIELD);
}

TEST_F(KeyPressTest, KeysInAComboBoxReachItsEditPart) {
    ClearKeyLog();
    uidriver::PressKey(dialog, Item(IDC_CHOICE), Key::F4);
    uidriver::PressKey(dialog, Item(IDC_CHOICE), Key::Enter);
    const std::vector<std::string> log = KeyLog();
    EXPECT_TRUE(Logged(log, "102 down 73 003E0001 S0 A0")) << Joined(log);
    EXPECT_TRUE(Logged(log, "102 down 0D 001C0001 S0 A0")) << Joined(log);
    EXPECT_EQ(uidriver::FocusedControlId(dialog), IDC_SECOND_FIELD);
}

TEST_F(KeyPressTest, WithoutAControlTheKeyGoesWhereTheFocusIs) {
    uidriver::FocusControl(dialog, Item(IDC_SECOND_FIELD));
    ClearKeyLog();
    uidriver::PressKey(dialog, nullptr, Key::Escape);
    EXPECT_TRUE(Logged(KeyLog(), "103 down 1B 00010001 S0 A0")) << Joined(KeyLog());
}

TEST_F(KeyPressTest, AltF4IsASystemKeyWithAltHeldAndClosesTheDialog) {
    ClearKeyLog();
    uidriver::PressKey(dialog, Item(IDC_FIRST_FIELD), Key::AltF4);
    const std::vector<std::string> log = KeyLog();
    EXPECT_TRUE(Logged(log, "101 sysdown 12 20380001 S0 A1")) << Joined(log);
    EXPECT_TRUE(Logged(log, "101 sysdown 73 203E0001 S0 A1")) << Joined(log);
    EXPECT_TRUE(Logged(log, "101 sysup 73 E03E0001 S0 A1")) << Joined(log);
    EXPECT_EQ(Answer(), "answer: close");
}

TEST_F(KeyPressTest, AFieldAUserCannotReachIsRefused) {
    EXPECT_THROW(uidriver::PressKey(dialog, Item(IDC_HIDDEN_FIELD), Key::Tab), uidriver::DriverError);
    EXPECT_THROW(uidriver::PressKey(dialog, Item(IDC_DISABLED_FIELD), Key::Tab), uidriver::DriverError);
    EXPECT_TRUE(KeyLog().empty());
}

}  // namespace
