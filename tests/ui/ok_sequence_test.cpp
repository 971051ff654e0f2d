// The OK command on the real setup dialog: flags, refusals, the session.
#include <gtest/gtest.h>

#include "prereq/sql_setup.h"
#include "resources/resource.h"
#include "support/dialog_fixture.h"
#include "ui/field_checks.h"
#include "ui/ok_sequence.h"

namespace {

class OkSequence : public ContextTest {
protected:
    void SetUp() override {
        OpenDialog(IDD_SETUP, MODE_MODIFY);
        ::ShowWindow(context.dialog, SW_SHOW);
        // Nothing listens there: a run that gets as far as a download fails at once.
        context.commandLineServer = "localhost:1";
        SetControlText(IDC_SETUP_TYPE, "Both");
        SetControlText(IDC_BIT_SIZE, "64 Bit");
        SetControlText(IDC_CLIENT_DIRECTORY, startFolder / "client");
        SetControlText(IDC_SERVER_DIRECTORY, startFolder / "server");
        SetControlText(IDC_EDITION, "Starter");
        SetControlText(IDC_PORT, "8080");
        SetControlText(IDC_INSTALL_SQL, "No");
        SetControlText(IDC_PASSWORD, "Ab1$cd");
        SetControlText(IDC_PASSWORD_REPEAT, "Ab1$cd");
    }

    // The refusal shown and the control that then has the focus.
    void ExpectRefusal(const std::string& message, int focusId) {
        EXPECT_EQ(OnOk(context), 0);
        ASSERT_FALSE(host.boxes.empty());
        EXPECT_EQ(host.boxes.back().text, message);
        HWND focus = ::GetFocus();
        EXPECT_TRUE(focus == Control(focusId) || ::GetParent(focus) == Control(focusId)) << "focus on " << focusId;
        EXPECT_FALSE(host.exitCode.has_value());
    }
    int CountInLog(const std::string& text) {
        const std::string log = LogText();
        int count = 0;
        for (size_t at = log.find(text); at != std::string::npos; at = log.find(text, at + 1)) ++count;
        return count;
    }
};

TEST_F(OkSequence, RefusesABlankClientDirectoryAndRestoresTheGroups) {
    SetControlText(IDC_SETUP_TYPE, "Client");
    SetControlText(IDC_CLIENT_DIRECTORY, "   ");
    ExpectRefusal("Please enter Client Directory", IDC_CLIENT_DIRECTORY);
    EXPECT_EQ(context.setupFlags, SETUP_CLIENT | SETUP_BITS_64);
    EXPECT_FALSE(Visible(IDC_SERVER_DIRECTORY));
    // The SQL fields come back whenever no SQL Server was found, even client-only.
    EXPECT_TRUE(Visible(IDC_PASSWORD));
}

TEST_F(OkSequence, OpensTheSessionOnceAndAgainOnlyAfterAFailedOpen) {
    SetControlText(IDC_CLIENT_DIRECTORY, "");
    ExpectRefusal("Please enter Client Directory", IDC_CLIENT_DIRECTORY);
    ExpectRefusal("Please enter Client Directory", IDC_CLIENT_DIRECTORY);
    EXPECT_TRUE(context.internetSession.Valid());
    EXPECT_EQ(CountInLog("Server Setup:Establishing Session\r\n"), 1);
    EXPECT_EQ(CountInLog("Server Setup:Established Session without Proxy:\r\n"), 1);
}

TEST_F(OkSequence, ServerSideChecksPortAndPasswordsLikeTheFields) {
    SetControlText(IDC_PORT, "");
    ExpectRefusal("Please enter Server Port", IDC_PORT);
    SetControlText(IDC_PORT, "999");
    ExpectRefusal(PORT_RANGE_MESSAGE, IDC_PORT);
    SetControlText(IDC_PORT, "8080");
    SetControlText(IDC_INSTALL_SQL, "Yes");
    SetControlText(IDC_PASSWORD, "Abc1!xyz");
    SetControlText(IDC_PASSWORD_REPEAT, "Abc1!xyz");
    ExpectRefusal(
        "Password should consist of atleast 1 upper character, 1 lower character, 1 numeric digit and 1 special "
        "character ",
        IDC_PASSWORD);
    SetControlText(IDC_INSTALL_SQL, "No");  // without an installation the rules do not apply
    SetControlText(IDC_PASSWORD_REPEAT, "Abc1!xyZ");
    ExpectRefusal("Passwords dont mach", IDC_PASSWORD_REPEAT);
}

TEST_F(OkSequence, ComputesTheServerFlagsFromTheFields) {
    SetControlText(IDC_SETUP_TYPE, "Server");
    SetControlText(IDC_EDITION, "Summit");
    SetControlText(IDC_PORT, "1465abc");
    SetControlText(IDC_INSTALL_SQL, "Yes");
    SetControlText(IDC_PASSWORD_REPEAT, "Ab1$cd ");  // stored as typed: no longer equal
    ExpectRefusal("Passwords dont mach", IDC_PASSWORD_REPEAT);
    EXPECT_EQ(context.setupFlags,
              SETUP_SERVER | SETUP_BITS_64 | SETUP_EDITION_SUMMIT | SETUP_INFO_SERVER_PORT | SETUP_INSTALL_SQL);
    EXPECT_EQ(context.port, 1465);
    EXPECT_EQ(context.sqlPasswordRepeat, "Ab1$cd ");

}

TEST_F(OkSequence, AFoundSqlServerInstallsNothingButItsMissingNativeClient) {
    context.sql->sqlInstanceCount = 1;
    context.sql->sqlSetupFlags = SQL_NATIVE_CLIENT_MISSING;
    SetControlText(IDC_SETUP_TYPE, "Server");
    SetControlText(IDC_INSTALL_SQL, "Yes");
    // The hidden password fields cannot hold the dialog: the run starts.
    SetControlText(IDC_PASSWORD_REPEAT, "something else");
    EXPECT_EQ(OnOk(context), 1);
    ASSERT_TRUE(WaitForEnd()) << "the run did not end";
    EXPECT_EQ(context.setupFlags, SETUP_SERVER | SETUP_BITS_64 | SETUP_INSTALL_NATIVE_CLIENT);
    const std::string log = LogText();
    // Nothing listens on the server: the run ends before its first package.
    EXPECT_NE(log.find("Server Setup:Could not get the signed package list from localhost; nothing was installed\r\n"),
              std::string::npos);
    EXPECT_EQ(log.find("SQLEXPR"), std::string::npos);
}

TEST_F(OkSequence, RefusesAnOverlongFieldNamingItsLimit) {
    SetControlText(IDC_SERVER_DIRECTORY, "C:\\" + std::string(300, 'x'));
    ExpectRefusal("The field Server Directory takes at most 255 characters. Please enter a shorter text.",
                  IDC_SERVER_DIRECTORY);
}

TEST_F(OkSequence, ClientOnlyReadsNothingOfTheServerSide) {
    SetControlText(IDC_SETUP_TYPE, "Client");
    SetControlText(IDC_PORT, "");
    SetControlText(IDC_PASSWORD, "x");
    EXPECT_EQ(OnOk(context), 1);
    ASSERT_TRUE(WaitForEnd()) << "the run did not end";
    EXPECT_EQ(context.port, 0);
    EXPECT_EQ(context.sqlPassword, "");
    ASSERT_TRUE(host.exitCode.has_value());
    EXPECT_EQ(*host.exitCode, 1u) << "the downloads could not reach any server";
    EXPECT_NE(LogText().find("Client Setup:Beging Updating Client Setup\r\n"), std::string::npos);
    EXPECT_EQ(host.boxes.back().text.rfind("Setup completed with errors. See the setup log: ", 0), 0u);
}

TEST_F(OkSequence, AnUnknownSetupTypeRunsNothingAndEndsSuccessfully) {
    SetControlText(IDC_SETUP_TYPE, "Everything");
    EXPECT_EQ(OnOk(context), 1);
    ASSERT_TRUE(WaitForEnd()) << "the run did not end";
    EXPECT_EQ(context.setupFlags, SETUP_BITS_64);
    ASSERT_TRUE(host.exitCode.has_value());
    EXPECT_EQ(*host.exitCode, 0u);
    EXPECT_EQ(host.boxes.back().text, "Successfuly completed Setup");
    const std::string log = LogText();
    EXPECT_NE(log.find("User Interface:Begin updating Software\r\n"), std::string::npos);
    EXPECT_NE(log.find("User Interface:Successfully updated Software\r\n"), std::string::npos);
    EXPECT_EQ(log.find("Client Setup:"), std::string::npos);
}

}  // namespace
