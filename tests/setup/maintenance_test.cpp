// The maintenance dialog's OK: uninstall and repair.
#include "setup/maintenance.h"

#include <gtest/gtest.h>

#include "resources/resource.h"
#include "setup/registration.h"
#include "support/dialog_fixture.h"
#include "support/registry.h"
#include "support/testbed_access.h"
#include "ui/ok_sequence.h"

namespace {

class Maintenance : public ContextTest {
protected:
    void Open(ModeFlags mode, bool server, bool client) {
        OpenDialog(IDD_MAINTENANCE, mode);
        ::CheckDlgButton(context.dialog, IDC_APPLY_SERVER, server ? BST_CHECKED : BST_UNCHECKED);
        ::CheckDlgButton(context.dialog, IDC_APPLY_CLIENT, client ? BST_CHECKED : BST_UNCHECKED);
    }
    RegistryCleanup server{HKEY_LOCAL_MACHINE, {SERVER_KEY}};
    RegistryCleanup client{HKEY_CURRENT_USER, {CLIENT_KEY}};
};

TEST_F(Maintenance, UninstallOfProductsNotInstalledReadsTheFoldersBackAndFailsWithoutTouchingThem) {
    RegistryCleanup entries{HKEY_LOCAL_MACHINE,
                            {std::string(UNINSTALL_KEY_FORMAT) + "CorvantaClient",
                             std::string(UNINSTALL_KEY_FORMAT) + "CorvantaServer"},
                            KEY_WOW64_32KEY};
    RegistryCleanup records{HKEY_LOCAL_MACHINE, {"SOFTWARE\\TovinSoft\\Corvanta10\\Client"}};
    SetRegistryString(HKEY_LOCAL_MACHINE, SERVER_KEY, "InstallPath", "C:\\TCorvanta10\\");
    SetRegistryString(HKEY_CURRENT_USER, CLIENT_KEY, "InstallPath", "C:\\Corvanta10App\\");
    Open(MODE_REPAIR, true, true);
    ::CheckRadioButton(context.dialog, IDC_UNINSTALL, IDC_REPAIR, IDC_UNINSTALL);  // the user changed the action
    EXPECT_EQ(OnOk(context), 1);
    ASSERT_TRUE(WaitForEnd()) << "the run did not end";
    EXPECT_EQ(context.modeFlags, MODE_UNINSTALL);
    EXPECT_EQ(context.setupFlags, SETUP_SERVER | SETUP_CLIENT);
    EXPECT_EQ(LogText(), "Server Setup:Establishing Session\r\nServer Setup:Established Session without Proxy:\r\n"
                         "Server Setup:Server Directory;C:\\TCorvanta10\\\r\nClient Setup:Client Directory;C:\\Corvanta10App\\\r\n"
                         "Server Setup:No server installation is registered; nothing to uninstall\r\n"
                         "Client Setup:No client installation is registered; nothing to uninstall\r\n"
                         "User Interface:Setup completed with errors\r\n");
    ASSERT_TRUE(host.exitCode.has_value());
    EXPECT_EQ(*host.exitCode, 1u);
    EXPECT_EQ(RegistryString(HKEY_LOCAL_MACHINE, SERVER_KEY, "InstallPath"), "C:\\TCorvanta10\\");
}

TEST_F(Maintenance, RepairOfNothingTickedStillEndsWithItsMessage) {
    Open(MODE_REPAIR, false, false);
    EXPECT_EQ(OnOk(context), 1);
    ASSERT_TRUE(WaitForEnd()) << "the run did not end";
    EXPECT_EQ(host.boxes.back().text, "Successfuly completed Setup for Repair");
    EXPECT_EQ(LogText().find("Directory"), std::string::npos);
    EXPECT_NE(LogText().find("User Interface:Successfully repaired Software\r\n"), std::string::npos);
    EXPECT_EQ(*host.exitCode, 0u);
}

TEST_F(Maintenance, RepairRunsTheClientUpdateAgainForItsBitSize) {
    testbed::DownloadServerState downloads;
    ASSERT_EQ(downloads.Missing(), "");
    RegistryCleanup runtime{HKEY_LOCAL_MACHINE, {"SOFTWARE\\Microsoft\\VisualStudio\\12.0\\VC\\Runtimes\\X64"}};
    SetRegistryDword(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\VisualStudio\\12.0\\VC\\Runtimes\\X64", "Installed", 1);
    SetRegistryString(HKEY_CURRENT_USER, CLIENT_KEY, "InstallPath", startFolder / "App\\");
    SetRegistryString(HKEY_CURRENT_USER, CLIENT_KEY, "BitSize", "64 Bit");
    Open(MODE_REPAIR, false, true);
    EXPECT_EQ(OnOk(context), 1);
    ASSERT_TRUE(WaitForEnd()) << "the run did not end";
    EXPECT_TRUE(FileExists(startFolder / "App\\Corvanta10App.exe"));
    EXPECT_EQ(*host.exitCode, 0u) << LogText();
}

TEST_F(Maintenance, RepairOfAnUnregisteredProductIsAFailure) {
    Open(MODE_REPAIR, true, false);
    EXPECT_EQ(OnOk(context), 1);
    ASSERT_TRUE(WaitForEnd()) << "the run did not end";
    EXPECT_NE(LogText().find("Server Setup:No server installation is registered; the server cannot be repaired\r\n"),
              std::string::npos);
    EXPECT_EQ(*host.exitCode, 1u);
    EXPECT_EQ(host.boxes.back().text.rfind("Setup completed with errors. See the setup log: ", 0), 0u);
}

}  // namespace
