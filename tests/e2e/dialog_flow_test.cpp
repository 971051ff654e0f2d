// The real setup dialog filled in by keyboard and mouse.
#include <gtest/gtest.h>

#include "resources/resource.h"
#include "testbed/uidriver/controls.h"
#include "testbed/uidriver/keys.h"
#include "testbed/uidriver/messaging.h"
#include "tests/e2e/scenario.h"

namespace {

using namespace e2e;
using uidriver::Key;

TEST(DialogFlow, SetupTypeThenTabShowsTheServerFieldsAndMovesOn) {
    ResetMachine();
    SetupSession setup;
    HWND dialog = setup.Dialog();
    EXPECT_FALSE(uidriver::IsShown(setup.Control(IDC_PORT)));
    EXPECT_TRUE(uidriver::PressKey(dialog, setup.Control(IDC_SETUP_TYPE), Key::Tab));
    EXPECT_TRUE(uidriver::IsShown(setup.Control(IDC_PORT)));
    // The SQL Server detection runs off the dialog's thread; the fields wait for it.
    EXPECT_TRUE(uidriver::WaitUntil(10000, [&] { return uidriver::IsEnabled(setup.Control(IDC_PORT)); }));
    uidriver::Settle(dialog);
    EXPECT_EQ(uidriver::FocusedControlId(dialog), IDC_BIT_SIZE) << "the focus is back where the Tab put it";
    EXPECT_NE(uidriver::ControlText(setup.Control(IDC_STATUS_LINE)).find("User Interface:Checking whether SQL Server installed"), std::string::npos)
        << uidriver::ControlText(setup.Control(IDC_STATUS_LINE));

    uidriver::SetControlText(setup.Control(IDC_PORT), "999");
    uidriver::PressKey(dialog, setup.Control(IDC_PORT), Key::Tab);
    const auto box = setup.Run().WaitForBox("Please select Port");
    EXPECT_EQ(box.caption, "TovinSoft Corvanta Version 10.1 App");
    uidriver::AnswerMessageBox(box, uidriver::BoxButton::Ok);
    EXPECT_EQ(uidriver::FocusedControlId(dialog), IDC_PORT);

    // Enter never presses OK; Escape never reaches Cancel.
    uidriver::SetControlText(setup.Control(IDC_PORT), "8080");
    uidriver::PressKey(dialog, setup.Control(IDC_PORT), Key::Enter);
    uidriver::PressKey(dialog, setup.Control(IDC_HOSTS), Key::Escape);
    EXPECT_TRUE(setup.Run().Boxes().empty());
    EXPECT_FALSE(setup.Run().HasLog() && setup.Run().LogText().find("Establishing") != std::string::npos);
}

TEST(DialogFlow, OkWithABlankClientDirectoryRefusesWithTheFocusThere) {
    ResetMachine();
    SetupSession setup;
    Choices choices;
    choices.setupType = "Client";
    setup.FillIn(choices);
    uidriver::SetControlText(setup.Control(IDC_CLIENT_DIRECTORY), "");
    const Outcome outcome = setup.PressOk();
    EXPECT_EQ(outcome.finalBox, "Please enter Client Directory");
    EXPECT_TRUE(setup.Run().IsRunning());
    EXPECT_EQ(uidriver::FocusedControlId(setup.Dialog()), IDC_CLIENT_DIRECTORY);
}

TEST(DialogFlow, F4OpensTheFolderPickerAndAltF4TheCancelQuestion) {
    ResetMachine();
    SetupSession setup;
    HWND dialog = setup.Dialog();
    uidriver::PressKey(dialog, setup.Control(IDC_CLIENT_DIRECTORY), Key::F4);
    HWND picker = setup.Run().WaitForDialog("Select Corvanta installation folder");
    HWND name = ::FindWindowExA(picker, nullptr, "Edit", nullptr);
    ASSERT_TRUE(name);
    ::SendMessageA(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("C:\\users"));
    ::PostMessageA(picker, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(uidriver::WaitUntil(10000, [&] { return !::IsWindow(picker); }));
    ASSERT_TRUE(uidriver::WaitUntil(5000, [&] {
        return _stricmp(uidriver::ControlText(setup.Control(IDC_CLIENT_DIRECTORY)).c_str(), "C:\\users") == 0;
    })) << uidriver::ControlText(setup.Control(IDC_CLIENT_DIRECTORY));
    EXPECT_NE(uidriver::FocusedControlId(dialog), IDC_CLIENT_DIRECTORY) << "the focus moved on";
    uidriver::PressKey(dialog, setup.Control(IDC_CLIENT_DIRECTORY), Key::AltF4);
    const auto question = setup.Run().WaitForBox("Do you want to Cancel");
    uidriver::AnswerMessageBox(question, uidriver::BoxButton::Yes);
    EXPECT_EQ(setup.Run().WaitForExit().value_or(STILL_ACTIVE), 0u);
    EXPECT_FALSE(setup.Run().HasLog());
}

}  // namespace
