// The client update against the machine's download server and fake installers.
#include <gtest/gtest.h>

#include "setup/client_setup.h"
#include "support/dialog_fixture.h"
#include "support/registry.h"
#include "support/testbed_access.h"
#include "ui/ok_sequence.h"

namespace {

constexpr char RUNTIME_14[] = "SOFTWARE\\Microsoft\\VisualStudio\\14.0\\VC\\Runtimes\\x64";
constexpr char RUNTIME_12_X64[] = "SOFTWARE\\Microsoft\\VisualStudio\\12.0\\VC\\Runtimes\\X64";
constexpr char RUNTIME_12_X86[] = "SOFTWARE\\Wow6432Node\\Microsoft\\VisualStudio\\12.0\\VC\\Runtimes\\X86";

class ClientUpdate : public ContextTest {
protected:
    void SetUp() override {
        ASSERT_EQ(server.Missing(), "") << "run through testbed/run-tests.sh";
        ClearInstallerRuns();
        ClearInstallerScenarios();
        OpenInternetSession(context);
        context.clientDirectory = startFolder / "Client App";
    }
    void TearDown() override { ClearInstallerScenarios(); }

    testbed::DownloadServerState server;
    RegistryCleanup runtimes{HKEY_LOCAL_MACHINE, {RUNTIME_14, RUNTIME_12_X64, RUNTIME_12_X86}};
};

TEST_F(ClientUpdate, With32BitRuntimePresentFetchesOnlyTheCabinet) {
    // Earlier tests of this process may have fetched files already.
    const size_t before = server.Requests("Corvanta10AppSetup32.cab").size();
    SetRegistryDword(HKEY_LOCAL_MACHINE, RUNTIME_12_X86, "Installed", 1);
    context.setupFlags = SETUP_CLIENT | SETUP_BITS_32;
    EXPECT_EQ(context.client->UpdateClient(), 1);
    EXPECT_EQ(context.clientDirectory, startFolder / "Client App\\");
    EXPECT_EQ(WaitForRequests(server, "Corvanta10AppSetup32.cab", before + 1).size(), before + 1);
    EXPECT_TRUE(InstallerRuns("vcredist_x32.exe").empty());
    EXPECT_TRUE(FileExists(startFolder / "Client App\\Corvanta10App.exe"));
    EXPECT_TRUE(FileExists(startFolder / "Client App\\Update\\Corvanta10AppSetup32.cab"));
    const std::string log = LogText();
    EXPECT_NE(log.find("Client Setup:Beging Updating Client Setup\r\n"), std::string::npos);
    EXPECT_NE(log.find("Client Setup:Getting Corvanta10AppSetup32.cab from server\r\n"), std::string::npos);
    EXPECT_NE(log.find("Client Setup:Updated Client Software\r\n"), std::string::npos);
}

TEST_F(ClientUpdate, AiClientInstallsAMissingRuntimeUntilItSucceeds) {
    SetInstallerExitCodes("VC_redist.x64.exe", "1,3010");
    context.setupFlags = SETUP_CLIENT | SETUP_AI_CLIENT;
    EXPECT_EQ(context.client->UpdateClient(), 1);
    const auto runs = InstallerRuns("VC_redist.x64.exe");
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[0][1], "/install /quiet /norestart");
    EXPECT_EQ(runs[0][2], startFolder / "Client App\\Update");
    ASSERT_EQ(host.boxes.size(), 1u);
    EXPECT_EQ(host.boxes[0].text, "VC_redist exited with code 1");
    EXPECT_EQ(host.boxes[0].caption, "Installer");
    EXPECT_EQ(host.boxes[0].type, static_cast<UINT>(MB_OK | MB_ICONWARNING));
    EXPECT_TRUE(context.report.restartRequired);
    EXPECT_NE(LogText().find("Client Setup:VC_redist.x64.exe completed; a restart is required\r\n"), std::string::npos);
    EXPECT_TRUE(FileExists(startFolder / "Client App\\CorvantaAI.exe"));
    EXPECT_EQ(context.report.failedSteps, 0);
}

TEST_F(ClientUpdate, AnUpdateFolderThatCannotBeMadeFetchesNothing) {
    ASSERT_TRUE(WriteFileText(startFolder / "blocked", "a file where the client folder should go"));
    context.clientDirectory = startFolder / "blocked";
    context.setupFlags = SETUP_CLIENT | SETUP_BITS_64;
    context.progress.total = 14;
    EXPECT_EQ(context.client->UpdateClient(), 1);
    EXPECT_NE(LogText().find("Client Setup:Could not create update directory. Udpate cannot proceed\r\n"),
              std::string::npos);
    EXPECT_EQ(LogText().find("Getting"), std::string::npos);
    EXPECT_EQ(context.progress.done, 0);
    EXPECT_EQ(context.report.failedSteps, 1);
}

TEST(ClientPackages, FollowTheFirstBitSizeBit) {
    EXPECT_STREQ(ClientPackagesFor(SETUP_BITS_32 | SETUP_BITS_64)->cabinet, "Corvanta10AppSetup32.cab");
    EXPECT_STREQ(ClientPackagesFor(SETUP_BITS_64)->installer, "vcredist_x64.exe");
    EXPECT_EQ(ClientPackagesFor(SETUP_AI_CLIENT)->runtimeSelector, 0x1000u);
    EXPECT_EQ(ClientPackagesFor(SETUP_CLIENT), nullptr);
}

}  // namespace
