// The checks behind Tab/Enter and the OK command, on the real setup dialog.
#include <gtest/gtest.h>

#include "prereq/sql_setup.h"
#include "resources/resource.h"
#include "support/dialog_fixture.h"
#include "ui/field_checks.h"
#include "ui/ok_sequence.h"
#include "ui/setup_dialog.h"

namespace {

struct CheckCase {
    int id;
    const char* text;
    int expected;
    const char* message;  // the box shown, or nullptr for none
};

class FieldChecks : public ContextTest, public ::testing::WithParamInterface<CheckCase> {};

TEST_P(FieldChecks, AcceptOrRefuseWithTheirMessage) {
    OpenDialog(IDD_SETUP, MODE_MODIFY);
    const CheckCase& c = GetParam();
    context.sqlPassword = "Ab1$cd";
    EXPECT_EQ(CheckField(context, c.id, c.text), c.expected) << c.text;
    if (c.message) {
        ASSERT_EQ(host.boxes.size(), 1u);
        EXPECT_EQ(host.boxes[0].text, c.message);
        EXPECT_EQ(host.boxes[0].caption, "TovinSoft Corvanta Version 10.1 App");
    } else {
        EXPECT_TRUE(host.boxes.empty()) << host.boxes[0].text;
    }
}

const char PASSWORD_CLASSES[] =
    "Password should consist of atleast 1 upper character, 1 lower character, 1 numeric digit and 1 special character ";

INSTANTIATE_TEST_SUITE_P(
    Fields, FieldChecks,
    ::testing::Values(
        CheckCase{IDC_PORT, "999", 0, PORT_RANGE_MESSAGE}, CheckCase{IDC_PORT, "1000", 1, nullptr},
        CheckCase{IDC_PORT, "80", 1, nullptr}, CheckCase{IDC_PORT, "443", 1, nullptr},
        CheckCase{IDC_PORT, "1465abc", 1, nullptr}, CheckCase{IDC_PORT, "12", 0, PORT_RANGE_MESSAGE},
        CheckCase{IDC_PORT, "abc", 0, PORT_RANGE_MESSAGE}, CheckCase{IDC_PORT, "   ", 0, PORT_BLANK_MESSAGE},
        CheckCase{IDC_PORT, "99999999999999", 0, PORT_RANGE_MESSAGE}, CheckCase{IDC_PORT, "65535", 1, nullptr},
        CheckCase{IDC_PORT, "65536", 0, PORT_RANGE_MESSAGE},
        CheckCase{IDC_PASSWORD, "", 0, "Please enter your password for SQL Server"},
        CheckCase{IDC_PASSWORD, "Ab1$", 0, "Password should be at least 6 characters "},
        CheckCase{IDC_PASSWORD, "Ab1$    ", 0, "Password should be at least 6 characters "},
        CheckCase{IDC_PASSWORD, "Ab1$cd", 1, nullptr}, CheckCase{IDC_PASSWORD, "Ab1$cd   ", 1, nullptr},
        CheckCase{IDC_PASSWORD, "Abc1!xyz", 0, PASSWORD_CLASSES}, CheckCase{IDC_PASSWORD, "abc1$xyz", 0, PASSWORD_CLASSES},
        CheckCase{IDC_PASSWORD, "ABC1#XYZ", 0, PASSWORD_CLASSES}, CheckCase{IDC_PASSWORD, "Abc@xyz", 0, PASSWORD_CLASSES},
        CheckCase{IDC_PASSWORD, " b1*Xyz", 1, nullptr},
        CheckCase{IDC_PASSWORD_REPEAT, "Ab1$cd  ", 1, nullptr},
        CheckCase{IDC_PASSWORD_REPEAT, "Ab1$ce", 0, "Second Password should match First Password"},
        CheckCase{IDC_CLIENT_DIRECTORY, "  ", 0, "Please select directory in which your Client Programs will be setup"},
        CheckCase{IDC_SERVER_DIRECTORY, "", 0, "Please select directory in which your Server Programs will be setup"},
        CheckCase{IDC_INSTALL_SQL, " ", 0, "Please select whether you want to install SQL Server"},
        CheckCase{IDC_EDITION, "", 0, "Please select the Edition of the Server"},
        CheckCase{IDC_SETUP_TYPE, "", 0, "Please select Client or Server Setup or Both"},
        CheckCase{IDC_HOSTS, "", 1, nullptr}, CheckCase{IDC_SEARCH, "", 1, nullptr},
        CheckCase{IDC_EDITION, "Enterprise", 0,
                  "The field Edition takes at most 7 characters. Please enter a shorter text."}));

class FieldBehaviour : public ContextTest {};

TEST_F(FieldBehaviour, BitSizeFillsTheClientDirectoryProposalsAndSetsItsBit) {
    OpenDialog(IDD_SETUP, MODE_INSTALL);
    SetControlText(IDC_CLIENT_DIRECTORY, "typed by the user");
    EXPECT_EQ(CheckBitSize(context, "AI Client"), 1);
    EXPECT_EQ(context.setupFlags, SETUP_AI_CLIENT);
    EXPECT_EQ(ControlText(IDC_CLIENT_DIRECTORY), "c:\\CorvantaAIApp");
    EXPECT_EQ(::SendMessageA(Control(IDC_CLIENT_DIRECTORY), CB_GETCOUNT, 0, 0), 3);
    EXPECT_EQ(CheckBitSize(context, "32 bit"), 1);  // case matters: nothing changes
    EXPECT_EQ(ControlText(IDC_CLIENT_DIRECTORY), "c:\\CorvantaAIApp");
    CheckBitSize(context, "32 Bit");
    EXPECT_EQ(ControlText(IDC_CLIENT_DIRECTORY), "c:\\Corvanta10App32");
    EXPECT_EQ(context.setupFlags, SETUP_AI_CLIENT | SETUP_BITS_32);
}

TEST_F(FieldBehaviour, PasswordIsStoredTrimmedOnTabButAsTypedByOk) {
    OpenDialog(IDD_SETUP, MODE_MODIFY);
    CheckPassword(context, "Ab1$cd  ");
    EXPECT_EQ(context.sqlPassword, "Ab1$cd");
    EXPECT_EQ(CheckPasswordRepeat(context, "Ab1$cd"), 1);
}

TEST_F(FieldBehaviour, SetupTypeShowsTheGroupsOfItsSide) {
    OpenDialog(IDD_SETUP, MODE_INSTALL);
    EXPECT_FALSE(Visible(IDC_PORT));
    EXPECT_TRUE(Visible(IDC_CLIENT_DIRECTORY));
    CheckSetupType(context, "Server");
    WaitForDialogChecks();
    EXPECT_FALSE(Visible(IDC_CLIENT_DIRECTORY));
    EXPECT_TRUE(Visible(IDC_PORT) && ::IsWindowEnabled(Control(IDC_PORT)));
    EXPECT_TRUE(Visible(IDC_PASSWORD)) << "no SQL Server in this machine";
    CheckSetupType(context, "Client");
    EXPECT_TRUE(Visible(IDC_CLIENT_DIRECTORY));
    EXPECT_FALSE(Visible(IDC_PORT) || ::IsWindowEnabled(Control(IDC_PORT)));
    EXPECT_FALSE(Visible(IDC_INSTALL_SQL));
    CheckSetupType(context, "both");  // any other text hides the server side
    WaitForDialogChecks();
    EXPECT_FALSE(Visible(IDC_SERVER_DIRECTORY));
}

}  // namespace
