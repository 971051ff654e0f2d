// Faults of the network, the packages, the platform and the input: each has a
// truthful outcome, and nothing outside the chosen folders changes.
#include <gtest/gtest.h>

#include "resources/resource.h"
#include "support/registry.h"
#include "support/temp_folder.h"
#include "support/testbed_access.h"
#include "testbed/uidriver/controls.h"
#include "tests/e2e/scenario.h"

namespace {

using e2e::Choices;
using e2e::HasLine;
using e2e::Outcome;
using e2e::SetupSession;

const std::vector<std::string> CLIENT_FOLDERS = {"c:\\Corvanta10App", "C:\\Program Files\\TovinSoft", "C:\\CorvantaTestbed"};
const std::vector<std::string> SERVER_FOLDERS = {"c:\\Corvanta10App", "c:\\TCorvanta10", "C:\\Program Files\\TovinSoft",
                                                 "C:\\CorvantaTestbed", "C:\\sqldata", "C:\\sqlbackup"};

class Faults : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(server.Missing(), "");
        e2e::ResetMachine();
        snapshot = e2e::SnapshotDriveC();
    }
    Outcome Install(const Choices& choices) {
        SetupSession setup;
        setup.FillIn(choices);
        Outcome outcome = setup.PressOk();
        logPath = setup.Run().LogPath();
        return outcome;
    }
    Outcome InstallClient() {
        Choices choices;
        choices.setupType = "Client";
        return Install(choices);
    }
    void ExpectFailedRun(const Outcome& outcome, const std::vector<std::string>& folders, const std::string& line) {
        EXPECT_EQ(outcome.exitCode, 1u) << outcome.log;
        EXPECT_EQ(outcome.finalBox, "Setup completed with errors. See the setup log: " + logPath);
        EXPECT_TRUE(line.empty() || HasLine(outcome.log, line)) << "missing: " << line << "\n" << outcome.log;
        EXPECT_TRUE(HasLine(outcome.log, "User Interface:Setup completed with errors"));
        EXPECT_EQ(e2e::ChangesOutside(snapshot, e2e::SnapshotDriveC(), folders), std::vector<std::string>{});
    }

    testbed::DownloadServerState server;
    std::map<std::string, std::string> snapshot;
    std::string logPath;
};

struct ServerFault {
    const char* name;
    const char* file;
    const char* fault;
    DWORD exitCode;
    const char* line;  // a line the log must hold
};

class DownloadFaults : public Faults, public ::testing::WithParamInterface<ServerFault> {};

TEST_P(DownloadFaults, EndTruthfully) {
    const ServerFault& f = GetParam();
    ServerFaults faults(server, {{f.file, f.fault}});
    const Outcome outcome = InstallClient();
    if (f.exitCode == 0) {
        EXPECT_EQ(outcome.exitCode, 0u) << outcome.log;
        EXPECT_TRUE(e2e::FileExists("c:\\Corvanta10App\\Corvanta10App.exe"));
    } else {
        ExpectFailedRun(outcome, CLIENT_FOLDERS, f.line);
        EXPECT_FALSE(e2e::FileExists(std::string("c:\\Corvanta10App\\Update\\") + f.file + ".partial"));
    }
    EXPECT_TRUE(HasLine(outcome.log, f.line) || f.exitCode == 0) << outcome.log;
}

constexpr char CABINET[] = "Corvanta10AppSetup.cab";
constexpr char INSTALLER[] = "vcredist_x64.exe";

INSTANTIATE_TEST_SUITE_P(
    CabinetAndInstaller, DownloadFaults,
    ::testing::Values(
        ServerFault{"Cabinet404", CABINET, R"("404")", 1,
                    "Client Setup:Could not find Corvanta10AppSetup.cab on server. Please contact you administrator"},
        ServerFault{"Cabinet500", CABINET, R"("500")", 1, "Client Setup:Could not download Corvanta10AppSetup.cab after 5 attempts"},
        ServerFault{"CabinetTruncated", CABINET, R"("truncate")", 1, "Client Setup:Could not download Corvanta10AppSetup.cab after 5 attempts"},
        ServerFault{"CabinetDropped", CABINET, R"("drop")", 1, "Client Setup:Could not download Corvanta10AppSetup.cab after 5 attempts"},
        ServerFault{"CabinetSlow", CABINET, R"({"fault": "slow", "rate": 200000, "chunk": 8192})", 0, ""},
        ServerFault{"CabinetBody404", CABINET, R"("body404")", 1,
                    "Client Setup:Download of Corvanta10AppSetup.cab failed: its content does not match the signed "
                    "package list"},
        ServerFault{"CabinetFailThenServe", CABINET, R"({"fault": "fail-then-serve", "count": 3, "with": "500"})", 0, ""},
        ServerFault{"Installer404", INSTALLER, R"("404")", 1,
                    "Client Setup:Could not find vcredist_x64.exe on server. Please contact you administrator"},
        ServerFault{"Installer500", INSTALLER, R"("500")", 1, "Client Setup:Could not download vcredist_x64.exe after 5 attempts"},
        ServerFault{"InstallerTruncated", INSTALLER, R"({"fault": "truncate", "after": 5000})", 1,
                    "Client Setup:Could not download vcredist_x64.exe after 5 attempts"},
        ServerFault{"InstallerDropped", INSTALLER, R"("drop")", 1, "Client Setup:Could not download vcredist_x64.exe after 5 attempts"},
        ServerFault{"InstallerSlow", INSTALLER, R"({"fault": "slow", "rate": 400000, "chunk": 16384})", 0, ""},
        ServerFault{"InstallerBody404", INSTALLER, R"("body404")", 1, "Client Setup:Could not download vcredist_x64.exe after 5 attempts"},
        ServerFault{"InstallerFailThenServe", INSTALLER, R"({"fault": "fail-then-serve", "count": 2, "with": "drop"})", 0, ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Faults, AnUnreachableServer) {
    DownloadServerPolicy unreachable(server, "localhost:1");
    const Outcome outcome = InstallClient();
    // The signed package list is asked for first; nothing is fetched without it.
    ExpectFailedRun(outcome, CLIENT_FOLDERS,
                    "Client Setup:Could not get the signed package list from localhost; nothing was installed");
    EXPECT_TRUE(HasLine(outcome.log, "Client Setup:Download of packages.manifest failed: the connection to the server "
                                     "could not be made (12029)"))
        << outcome.log;
}

TEST_F(Faults, AnUntrustedServerCertificate) {
    DownloadServerPolicy untrusted(server, server.UntrustedServer().c_str());
    const Outcome outcome = InstallClient();
    ExpectFailedRun(outcome, CLIENT_FOLDERS,
                    "Client Setup:Could not get the signed package list from localhost; nothing was installed");
    EXPECT_NE(outcome.log.find("failed: "), std::string::npos) << outcome.log;
    EXPECT_TRUE(outcome.log.find("secure channel could not be set up with the server (12157)") != std::string::npos ||
                outcome.log.find("certificate was not accepted (12175)") != std::string::npos)
        << "the secure channel failure is named\n" << outcome.log;
}

TEST_F(Faults, ACorruptAndAnUnsafeCabinet) {
    ServedFile corrupt(server, "TCorvanta10641.cab", PackagePath("faults\\corrupt-data.cab"));
    ServedFile unsafe(server, CABINET, PackagePath("faults\\unsafe-names.cab"));
    Choices choices;
    choices.setupType = "Both";
    const Outcome outcome = Install(choices);
    ExpectFailedRun(outcome, SERVER_FOLDERS, "Server Setup:Corrupt cabinet");
    EXPECT_TRUE(HasLine(outcome.log, "Server Setup:Unsafe file name in cabinet Corvanta10AppSetup.cab: C:\\Windows\\evil.txt"));
    EXPECT_FALSE(e2e::FileExists("C:\\Windows\\evil.txt"));
    EXPECT_FALSE(e2e::FileExists("c:\\evil.txt"));
}

TEST_F(Faults, ALockedTargetFile) {
    ::CreateDirectoryA("c:\\Corvanta10App", nullptr);
    HANDLE locked = ::CreateFileA("c:\\Corvanta10App\\CrvUi10.dll", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    const Outcome outcome = InstallClient();
    ::CloseHandle(locked);
    // The locked file cannot be moved aside: nothing of the update is applied.
    ExpectFailedRun(outcome, CLIENT_FOLDERS, "Client Setup:The client update was not applied; the installed client is unchanged");
    EXPECT_FALSE(e2e::FileExists("c:\\Corvanta10App\\Corvanta10App.exe"));
}

TEST_F(Faults, AnInstallerFailingFiveTimesAndOneAskingForARestart) {
    SetInstallerExitCodes(INSTALLER, "1,1,1,1,1");
    Outcome outcome = InstallClient();
    ExpectFailedRun(outcome, CLIENT_FOLDERS, "Client Setup:VC_redist exited with code 1");
    EXPECT_EQ(outcome.otherBoxes, std::vector<std::string>(5, "VC_redist exited with code 1"));

    e2e::ResetMachine();
    SetInstallerExitCodes(INSTALLER, "3010");
    outcome = InstallClient();
    EXPECT_EQ(outcome.exitCode, 3010u) << "success that needs a restart";
    EXPECT_EQ(outcome.finalBox, "Successfuly completed Setup\nPlease restart the computer to complete the installation.");
    EXPECT_TRUE(HasLine(outcome.log, "Client Setup:vcredist_x64.exe completed; a restart is required"));
}

TEST_F(Faults, ABrokenWindowsInstallerPackage) {
    ServedFile broken(server, "CorvantaISSetup.msi", PackagePath("faults\\failing.msi"));
    Choices choices;
    choices.setupType = "Server";
    choices.port = "1465";
    const Outcome outcome = Install(choices);
    ExpectFailedRun(outcome, SERVER_FOLDERS, "Server Setup:CorvantaISSetup.msi exited with code 1603");
}

TEST_F(Faults, IisWithoutManagementComponentsAndWithLockedHandlers) {
    const std::string key = "Software\\Classes\\CLSID\\{2B72133B-3F5B-4602-8952-803546CE3344}\\InprocServer32";
    const std::string dll = RegistryString(HKEY_LOCAL_MACHINE, key, "");
    DeleteRegistryTree(HKEY_LOCAL_MACHINE, key);
    Choices choices;
    choices.setupType = "Server";
    Outcome outcome = Install(choices);
    SetRegistryString(HKEY_LOCAL_MACHINE, key, "", dll);
    SetRegistryString(HKEY_LOCAL_MACHINE, key, "ThreadingModel", "Both");
    ExpectFailedRun(outcome, SERVER_FOLDERS,
                    "Server Setup:You have not selected IIS management tootls and scripts in IIS Installation. Please add these features");

    e2e::ResetMachine("handlers-locked");
    outcome = Install(choices);
    ExpectFailedRun(outcome, SERVER_FOLDERS, "Server Setup:Please check whether ISAPI is installed");
}

TEST_F(Faults, DismAndSqlServerExpressFailing) {
    SetRegistryDword(HKEY_LOCAL_MACHINE, "SOFTWARE\\CorvantaTestbed\\Dism", "FailEnableFeature", 0x800F0922);
    SetInstallerExitCodes("SQLEXPR_x64_ENU.exe", "5");
    Choices choices;
    choices.setupType = "Server";
    choices.installSql = "Yes";
    const Outcome outcome = Install(choices);
    ExpectFailedRun(outcome, SERVER_FOLDERS,
                    "Server Setup:Could not configure IIS. Please do it manually;DismEnableFeature failed with 0x800F0922");
    EXPECT_TRUE(HasLine(outcome.log, "SQL Server Install:SQL Server installation failed with exit code 5"));
}

TEST_F(Faults, AStartFolderWhereNoLogCanBeWritten) {
    SetupSession setup;
    // A folder of the log's own name: the file cannot be created.
    ::CreateDirectoryA(setup.Run().LogPath().c_str(), nullptr);
    Choices choices;
    choices.setupType = "Client";
    setup.FillIn(choices);
    const Outcome outcome = setup.PressOk();
    EXPECT_EQ(outcome.exitCode, 0u);
    EXPECT_EQ(outcome.finalBox,
              "Successfuly completed Setup\nThe setup log could not be written: " + setup.Run().LogPath());
    EXPECT_TRUE(e2e::FileExists("c:\\Corvanta10App\\Corvanta10App.exe"));
}

TEST_F(Faults, VeryLongAndNonAsciiFolderNames) {
    Choices choices;
    choices.setupType = "Client";
    choices.clientDirectory = "C:\\Corvanta \xC4nderung \xE9t\xE9";  // ANSI text, as the dialog holds it
    Outcome outcome = Install(choices);
    EXPECT_EQ(outcome.exitCode, 0u) << outcome.log;
    EXPECT_TRUE(e2e::FileExists(choices.clientDirectory + "\\Corvanta10App.exe"));
    ::SetCurrentDirectoryA("C:\\");
    e2e::ResetMachine();
    ::RemoveTree(choices.clientDirectory);

    choices.clientDirectory = "C:\\" + std::string(240, 'L');
    outcome = Install(choices);
    ExpectFailedRun(outcome, {choices.clientDirectory, "C:\\Program Files\\TovinSoft", "C:\\CorvantaTestbed"}, "");
    EXPECT_NE(outcome.log.find("Client Setup:Path too long for download;C:\\LLLL"), std::string::npos) << outcome.log;
    ::SetCurrentDirectoryA("C:\\");
    ::RemoveTree(choices.clientDirectory);
}

TEST_F(Faults, CancelDuringFieldEntryChangesNothing) {
    SetupSession setup;
    setup.Enter(IDC_SETUP_TYPE, "Both");
    setup.Enter(IDC_BIT_SIZE, "AI Client");
    uidriver::Click(setup.Dialog(), setup.Control(IDCANCEL));
    uidriver::AnswerMessageBox(setup.Run().WaitForBox("Do you want to Cancel"), uidriver::BoxButton::Yes);
    EXPECT_EQ(setup.Run().WaitForExit().value_or(STILL_ACTIVE), 0u);
    // Only the checks of the fields left with Tab wrote to the log.
    EXPECT_EQ(setup.Run().LogText().find("Begin updating"), std::string::npos);
    EXPECT_EQ(e2e::ChangesOutside(snapshot, e2e::SnapshotDriveC(), {"C:\\CorvantaTestbed"}), std::vector<std::string>{});
}

}  // namespace
