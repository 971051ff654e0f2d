// The server update with its installers, against the machine's server and stand-ins.
#include <gtest/gtest.h>

#include "setup/installer_runner.h"
#include "setup/server_setup.h"
#include "support/dialog_fixture.h"
#include "support/registry.h"
#include "support/testbed_access.h"
#include "ui/ok_sequence.h"

namespace {

std::vector<std::string> Names(const std::vector<ServerPackage>& packages) {
    std::vector<std::string> names;
    for (const ServerPackage& package : packages) names.push_back(package.fileName);
    return names;
}

TEST(ServerPackages, FollowEditionBitSizeAndChoices) {
    const std::vector<std::string> base = {"TCorvanta10641.cab", "TCorvanta10642.cab", "TCorvanta10643.cab",
                                           "Corvanta10App.cab",  "Corvanta10App32.cab", "CorvantaAiApp.cab",
                                           "TCrvx.cab"};
    EXPECT_EQ(Names(PlanServerPackages({SETUP_SERVER | SETUP_BITS_64, true})), base) << "64 Bit never fetches the runtime";
    const auto summit = Names(PlanServerPackages({SETUP_SERVER | SETUP_BITS_32 | SETUP_EDITION_SUMMIT, true}));
    ASSERT_EQ(summit.size(), 10u);
    EXPECT_EQ(summit[0], "vcredist_x64.exe");
    EXPECT_EQ(summit[4], "TCorvanta10644.cab");
    EXPECT_EQ(summit[5], "TCorvanta10645.cab");
    EXPECT_EQ(Names(PlanServerPackages({SETUP_SERVER | SETUP_AI_CLIENT, false})), base);
    EXPECT_EQ(Names(PlanLaterServerPackages(SETUP_INSTALL_SQL | SETUP_INFO_SERVER_PORT | SETUP_INSTALL_NATIVE_CLIENT)),
              (std::vector<std::string>{"SQLEXPR_x64_ENU.exe", "CorvantaISSetup.msi", "sqlncli.msi"}));
    EXPECT_TRUE(PlanLaterServerPackages(SETUP_SERVER).empty());
    EXPECT_EQ(PlanServerCabinets(SETUP_EDITION_SUMMIT, false).size(), 5u);
    EXPECT_EQ(PlanServerCabinets(0, true).back(), "TCrvx.cab");
}

TEST(InstallerCommands, QuoteThePackageAndRunExecutablesWithTheSwitchesAlone) {
    // msiexec comes from the system folder, named both as the program and as
    // the quoted first word of its command line.
    const InstallerCommand msi =
        PlanInstallerCommand("C:\\Srv Dir\\Update\\", "CorvantaISSetup.msi", "C:\\windows\\system32");
    EXPECT_EQ(msi.application, "C:\\windows\\system32\\msiexec.exe");
    EXPECT_EQ(msi.commandLine, "\"C:\\windows\\system32\\msiexec.exe\" /i \"C:\\Srv Dir\\Update\\CorvantaISSetup.msi\" "
                               "/quiet /norestart");
    EXPECT_EQ(msi.loggedText, "msiexec.exe /i C:\\Srv Dir\\Update\\CorvantaISSetup.msi");
    const InstallerCommand exe = PlanInstallerCommand("C:\\Srv\\Update", "vcredist_x64.exe", "C:\\windows\\system32");
    EXPECT_EQ(exe.application, "C:\\Srv\\Update\\vcredist_x64.exe");
    EXPECT_EQ(exe.commandLine, "/install /quiet /norestart");
}

class ServerUpdate : public ContextTest {
protected:
    void SetUp() override {
        ASSERT_EQ(server.Missing(), "") << "run through testbed/run-tests.sh";
        ClearInstallerRuns();
        ClearInstallerScenarios();
        OpenInternetSession(context);
        context.serverDirectory = startFolder / "Server Dir";
        context.port = 8080;
        context.progress = {100, 0, 3, 3, 3, 10, 5, 15, 15, 10};
    }
    void TearDown() override { ClearInstallerScenarios(); }
    std::string Log() { return LogText(); }
    testbed::DownloadServerState server;
    IisScenario iis{"empty"};
};

TEST_F(ServerUpdate, InstallsThenRepairsOverTheFirstInstallation) {
    ::CreateDirectoryA(context.serverDirectory.c_str(), nullptr);
    WriteFileText(startFolder / "Server Dir\\old-version.dll", "from an earlier version");
    WriteFileText(startFolder / "Server Dir\\notes.txt", "kept");
    context.modeFlags = MODE_INSTALL;
    context.setupFlags = SETUP_SERVER | SETUP_BITS_64;
    EXPECT_EQ(context.server->UpdateServer(), 1);
    EXPECT_EQ(context.modeFlags, MODE_INSTALL);
    for (const char* name : {"TCorvanta10.dll", "TCrv10lzma.dll", "Tz10ci.dll", "CorvantaSeed.bak", "notes.txt"}) {
        EXPECT_TRUE(FileExists(startFolder / ("Server Dir\\" + std::string(name)))) << name;
    }
    EXPECT_FALSE(FileExists(startFolder / "Server Dir\\old-version.dll"));
    EXPECT_FALSE(FileExists(startFolder / "Server Dir\\Update\\TCorvanta10.dll")) << "libraries leave the Update folder";
    EXPECT_TRUE(FileExists(startFolder / "Server Dir\\cab\\CorvantaAiApp.cab"));
    EXPECT_EQ(RegistryString(HKEY_LOCAL_MACHINE, "Software\\TovinSoft\\Corvanta10\\Update", "DownloadStatus"), "0");
    EXPECT_EQ(context.progress.done, 10 + 5 + 10);
    EXPECT_NE(Log().find("Server Setup:Successfully Created Website:TCorvanta108080"), std::string::npos);
    EXPECT_NE(Log().find("Server Setup:Updated Server Software\r\n"), std::string::npos);
    EXPECT_EQ(context.report.failedSteps, 0) << Log();

    // Over an existing installation the update runs as a repair: the
    // first-installation data is not unpacked again.
    ::DeleteFileA((startFolder / "Server Dir\\CorvantaSeed.bak").c_str());
    EXPECT_EQ(context.server->UpdateServer(), 1);
    EXPECT_FALSE(FileExists(startFolder / "Server Dir\\CorvantaSeed.bak"));
    EXPECT_TRUE(FileExists(startFolder / "Server Dir\\TCorvanta10.dll"));
    EXPECT_EQ(context.modeFlags, MODE_INSTALL);
}

TEST_F(ServerUpdate, RunsItsInstallersThroughMsiexecAndDirectly) {
    RegistryCleanup nativeClient{HKEY_LOCAL_MACHINE, {"SOFTWARE\\Microsoft\\SQLNCLI11"}};
    SetInstallerExitCodes("vcredist_x64.exe", "1,0");
    context.setupFlags = SETUP_SERVER | SETUP_BITS_32 | SETUP_INSTALL_NATIVE_CLIENT;
    RegistryCleanup runtime{HKEY_LOCAL_MACHINE,
                            {"SOFTWARE\\Microsoft\\VisualStudio\\12.0\\VC\\Runtimes\\X64",
                             "SOFTWARE\\Wow6432Node\\Microsoft\\VisualStudio\\12.0\\VC\\Runtimes\\X86"}};
    EXPECT_EQ(context.server->UpdateServer(), 1);
    const auto runs = InstallerRuns("vcredist_x64.exe");
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[1][1], "/install /quiet /norestart");
    EXPECT_EQ(runs[1][2], startFolder / "Server Dir\\Update");
    EXPECT_NE(Log().find("Server Setup:" + (startFolder / "Server Dir\\Update\\vcredist_x64.exe") + "\r\n"),
              std::string::npos);
    EXPECT_NE(Log().find("Server Setup:vcredist_x64.exe exited with code 1\r\n"), std::string::npos);
    EXPECT_EQ(RegistryString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\SQLNCLI11", "InstalledVersion"), "11.4.7462.6");
    EXPECT_EQ(context.report.failedSteps, 0) << Log();
}

TEST_F(ServerUpdate, ABrokenPackageFailsFiveTimesAndTheUpdateGoesOn) {
    ServedFile broken(server, "CorvantaISSetup.msi", PackagePath("faults\\failing.msi"));
    context.setupFlags = SETUP_SERVER | SETUP_BITS_64 | SETUP_INFO_SERVER_PORT;
    context.port = 1465;
    EXPECT_EQ(context.server->UpdateServer(), 1);
    EXPECT_EQ(WaitForRequests(server, "CorvantaISSetup.msi", 5).size() % 5, 0u);
    EXPECT_NE(Log().find("Server Setup:msiexec.exe /i " + (startFolder / "Server Dir\\Update\\CorvantaISSetup.msi") + "\r\n"),
              std::string::npos);
    EXPECT_NE(Log().find("Server Setup:CorvantaISSetup.msi exited with code 1603\r\n"), std::string::npos);
    EXPECT_NE(Log().find("Server Setup:Could not download CorvantaISSetup.msi after 5 attempts\r\n"), std::string::npos);
    EXPECT_NE(Log().find("Server Setup:Updated Server Software\r\n"), std::string::npos);
    EXPECT_GE(context.report.failedSteps, 1);
}

TEST_F(ServerUpdate, AFetchThatCannotOpenStopsTheUpdate) {
    context.internetSession.Reset();
    context.modeFlags = MODE_INSTALL;
    context.setupFlags = SETUP_SERVER | SETUP_BITS_64;
    EXPECT_EQ(context.server->UpdateServer(), 0);
    EXPECT_EQ(context.modeFlags, MODE_INSTALL);
    EXPECT_EQ(Log().find("Extracting"), std::string::npos);
    EXPECT_EQ(Log().find("Installing Website"), std::string::npos);
}

}  // namespace
