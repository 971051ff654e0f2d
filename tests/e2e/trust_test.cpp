// What the setup runs and unpacks: only what the vendor's signed package list
// names, checked again just before its use; programs only from where they
// belong; the download server only from the administrator; one setup at a time.
#include <gtest/gtest.h>

#include <thread>

#include "support/package_signing.h"
#include "support/registry.h"
#include "support/temp_folder.h"
#include "support/testbed_access.h"
#include "testbed/uidriver/dialogs.h"
#include "tests/e2e/scenario.h"

namespace {

using e2e::Choices;
using e2e::HasLine;
using e2e::Outcome;
using e2e::SetupSession;

constexpr char CLIENT_ENTRY[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\CorvantaClient";
constexpr char SERIAL_KEY[] = "SOFTWARE\\TovinSoft\\Corvanta10\\Update";
const std::vector<std::string> CLIENT_FOLDERS = {"c:\\Corvanta10App", "C:\\Program Files\\TovinSoft",
                                                 "C:\\CorvantaTestbed"};
const std::vector<std::string> SERVER_FOLDERS = {"c:\\TCorvanta10", "C:\\Program Files\\TovinSoft",
                                                 "C:\\Program Files\\CorvantaIS", "C:\\CorvantaTestbed"};
const std::vector<std::string> CLIENT_PACKAGES = {"vcredist_x64.exe", "Corvanta10AppSetup.cab"};

class Trust : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(server.Missing(), "");
        e2e::ResetMachine();
        ClearInstallerRuns();
        snapshot = e2e::SnapshotDriveC();
        for (const std::string& name : CLIENT_PACKAGES) requestsBefore[name] = server.Requests(name).size();
    }
    Outcome InstallClient(const std::string& commandLine = "") {
        SetupSession setup(commandLine);
        Choices choices;
        choices.setupType = "Client";
        setup.FillIn(choices);
        Outcome outcome = setup.PressOk();
        logPath = setup.Run().LogPath();
        return outcome;
    }
    size_t NewRequests(const std::string& name) { return server.Requests(name).size() - requestsBefore[name]; }
    void ExpectFailedRun(const Outcome& outcome, const std::string& line,
                         const std::vector<std::string>& folders = CLIENT_FOLDERS) {
        EXPECT_EQ(outcome.exitCode, 1u) << outcome.log;
        EXPECT_EQ(outcome.finalBox, "Setup completed with errors. See the setup log: " + logPath);
        EXPECT_TRUE(HasLine(outcome.log, line)) << "missing: " << line << "\n" << outcome.log;
        EXPECT_EQ(e2e::ChangesOutside(snapshot, e2e::SnapshotDriveC(), folders), std::vector<std::string>{});
    }
    // A run the list stopped: nothing asked for, run, unpacked or registered.
    void ExpectStoppedRun(const Outcome& outcome, const std::string& line) {
        ExpectFailedRun(outcome, line);
        for (const std::string& name : CLIENT_PACKAGES) EXPECT_EQ(NewRequests(name), 0u) << name;
        EXPECT_TRUE(InstallerRuns("vcredist_x64.exe").empty());
        EXPECT_FALSE(e2e::FileExists("c:\\Corvanta10App\\Corvanta10App.exe"));
        EXPECT_EQ(RegistryString(HKEY_LOCAL_MACHINE, CLIENT_ENTRY, "DisplayName", KEY_WOW64_32KEY), "<absent>");
    }

    testbed::DownloadServerState server;
    std::map<std::string, std::string> snapshot;
    std::map<std::string, size_t> requestsBefore;
    std::string logPath;
};

TEST_F(Trust, ATamperedInstallerIsNeverRun) {
    ServedFile tampered(server, "vcredist_x64.exe", PackagePath("VC_redist.x64.exe"), ListUpdate::KeepList);
    // The same program under another name: only the list tells them apart.
    ServedFile sameBytes(server, "VC_redist.x64.exe", PackagePath("VC_redist.x64.exe"), ListUpdate::KeepList);
    const Outcome outcome = InstallClient();
    ExpectFailedRun(outcome, "Client Setup:Could not download vcredist_x64.exe after 5 attempts");
    EXPECT_TRUE(HasLine(outcome.log, "Client Setup:Download of vcredist_x64.exe failed: its content does not match the "
                                     "signed package list"));
    EXPECT_EQ(NewRequests("vcredist_x64.exe"), 5u);
    EXPECT_TRUE(InstallerRuns("vcredist_x64.exe").empty()) << "a tampered installer ran";
    EXPECT_FALSE(e2e::FileExists("c:\\Corvanta10App\\Update\\vcredist_x64.exe"));
}

TEST_F(Trust, ATamperedCabinetIsNeverUnpacked) {
    ServedFile tampered(server, "Corvanta10AppSetup.cab", PackagePath("Corvanta10AppSetup32.cab"), ListUpdate::KeepList);
    const Outcome outcome = InstallClient();
    ExpectFailedRun(outcome, "Client Setup:Could not download Corvanta10AppSetup.cab after 5 attempts");
    EXPECT_TRUE(HasLine(outcome.log, "Client Setup:Download of Corvanta10AppSetup.cab failed: its content does not "
                                     "match the signed package list"));
    EXPECT_FALSE(e2e::FileExists("c:\\Corvanta10App\\Corvanta10App.exe"));
    EXPECT_FALSE(e2e::FileExists("c:\\Corvanta10App\\Update\\Corvanta10AppSetup.cab.partial"));
}

TEST_F(Trust, APackageTheListDoesNotNameIsNotAskedFor) {
    const std::string list = ServedFolderList(server, SERVED_SERIAL, {"Corvanta10AppSetup.cab"});
    ServedList published(server, list, ListSigner::BuildTestKey().Sign(list));
    const Outcome outcome = InstallClient();
    ExpectFailedRun(outcome, "Client Setup:Corvanta10AppSetup.cab is not in the signed package list; it was not downloaded");
    EXPECT_EQ(NewRequests("Corvanta10AppSetup.cab"), 0u);
    EXPECT_EQ(InstallerRuns("vcredist_x64.exe").size(), 1u) << "the listed installer is run";
}

struct ListCase {
    const char* name;
    std::string (*list)(const testbed::DownloadServerState&);
    std::string (*signature)(const std::string& list);
    const char* fault;  // on packages.manifest
    const char* line;
};

std::string Served(const testbed::DownloadServerState& server) { return ServedFolderList(server); }
std::string TestKey(const std::string& list) { return ListSigner::BuildTestKey().Sign(list); }

class ListRefusal : public Trust, public ::testing::WithParamInterface<ListCase> {};

TEST_P(ListRefusal, StopsTheRunBeforeItsFirstPackage) {
    const ListCase& c = GetParam();
    const std::string list = c.list(server);
    ServedList published(server, list, c.signature(list));
    std::vector<std::pair<std::string, std::string>> faults;
    if (c.fault) faults.push_back({"packages.manifest", c.fault});
    ServerFaults scripted(server, faults);
    RegistryCleanup cleanup(HKEY_LOCAL_MACHINE, {SERIAL_KEY});
    SetRegistryQword(HKEY_LOCAL_MACHINE, SERIAL_KEY, "PackageListSerial", 2000);
    const Outcome outcome = InstallClient();
    ExpectStoppedRun(outcome, c.line);
    EXPECT_EQ(RegistryQword(HKEY_LOCAL_MACHINE, SERIAL_KEY, "PackageListSerial"), 2000u);
}

INSTANTIATE_TEST_SUITE_P(
    Lists, ListRefusal,
    ::testing::Values(
        ListCase{"Unsigned", [](const testbed::DownloadServerState& s) { return ServedFolderList(s, 3000); },
                 [](const std::string&) { return std::string(); }, nullptr,
                 "Client Setup:The package list of localhost is not signed by TovinSoft; nothing was installed"},
        ListCase{"SignedWithAnotherKey", [](const testbed::DownloadServerState& s) { return ServedFolderList(s, 3000); },
                 [](const std::string& l) { return ListSigner::NewKey().Sign(l); }, nullptr,
                 "Client Setup:The package list of localhost is not signed by TovinSoft; nothing was installed"},
        ListCase{"OlderSerial", Served, TestKey, nullptr,
                 "Client Setup:The package list of localhost is older than one already used (serial 1000, at least "
                 "2000); nothing was installed"},
        ListCase{"CannotBeFetched", Served, TestKey, R"("500")",
                 "Client Setup:Could not get the signed package list from localhost; nothing was installed"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Trust, AMalformedLineIsNamedByItsNumber) {
    const std::string good = ServedFolderList(server, 3000);
    const size_t lines = static_cast<size_t>(std::count(good.begin(), good.end(), '\n'));
    const std::string list = good + "# the next line has no size\n" + std::string(64, 'a') + " x.cab\n";
    ServedList published(server, list, ListSigner::BuildTestKey().Sign(list));
    ExpectStoppedRun(InstallClient(), "Client Setup:The package list of localhost is not valid (line " +
                                          std::to_string(lines + 2) + "); nothing was installed");
}

TEST_F(Trust, AFileChangedBetweenItsDownloadAndItsUseIsNotRun) {
    // The information server's installer holds while the SQL Server Express
    // installer downloaded before it is replaced.
    const std::string holding = "C:\\CorvantaTestbed\\CorvantaIS.exe.holding";
    SetRegistryDword(HKEY_LOCAL_MACHINE, "SOFTWARE\\CorvantaTestbed\\Installers\\CorvantaIS.exe", "Hold", 1);
    std::thread replacer([&] {
        for (int i = 0; i < 2400 && !e2e::FileExists(holding); ++i) ::Sleep(50);
        ::CopyFileA(PackagePath("vcredist_x64.exe").c_str(), "c:\\TCorvanta10\\Update\\SQLEXPR_x64_ENU.exe", FALSE);
        WriteFileText("C:\\CorvantaTestbed\\CorvantaIS.exe.release", "");
    });
    SetupSession setup;
    Choices choices;
    choices.setupType = "Server";
    choices.port = "1465";
    choices.installSql = "Yes";
    setup.FillIn(choices);
    const Outcome outcome = setup.PressOk();
    replacer.join();
    logPath = setup.Run().LogPath();
    ExpectFailedRun(outcome, "SQL Server Install:SQLEXPR_x64_ENU.exe was changed after its download; it was not used",
                    {"c:\\TCorvanta10", "C:\\Program Files\\TovinSoft", "C:\\Program Files\\CorvantaIS",
                     "C:\\CorvantaTestbed", "C:\\sqldata", "C:\\sqlbackup"});
    EXPECT_EQ(InstallerRuns("CorvantaIS.exe").size(), 1u) << "the hold happened";
    EXPECT_TRUE(InstallerRuns("SQLEXPR_x64_ENU.exe").empty()) << "the replaced installer ran";
    EXPECT_FALSE(HasLine(outcome.log, "SQL Server Install:Installed SQL Server"));
}

TEST_F(Trust, ARedirectIsAFailedAttemptAndIsNotFollowed) {
    const size_t elsewhereBefore = server.Requests("Corvanta10AppSetup32.cab").size();
    ServerFaults faults(server, {{"Corvanta10AppSetup.cab", R"({"fault": "redirect", "to": "Corvanta10AppSetup32.cab"})"}});
    const Outcome outcome = InstallClient();
    ExpectFailedRun(outcome, "Client Setup:Could not download Corvanta10AppSetup.cab after 5 attempts");
    EXPECT_TRUE(HasLine(outcome.log, "Client Setup:Download of Corvanta10AppSetup.cab failed: the server answered with "
                                     "HTTP status 302"));
    EXPECT_EQ(NewRequests("Corvanta10AppSetup.cab"), 5u);
    EXPECT_EQ(server.Requests("Corvanta10AppSetup32.cab").size(), elsewhereBefore) << "the redirect was followed";
}

TEST_F(Trust, TheDownloadServerComesFromTheAdministratorNotTheEnvironment) {
    // The user's environment names a server that does not answer; it is not read.
    ::SetEnvironmentVariableA("CORVANTA_DOWNLOAD_SERVER", "localhost:1");
    Outcome outcome = InstallClient();
    ::SetEnvironmentVariableA("CORVANTA_DOWNLOAD_SERVER", nullptr);
    EXPECT_EQ(outcome.exitCode, 0u) << outcome.log;
    EXPECT_TRUE(HasLine(outcome.log, "Server Setup:CORVANTA_DOWNLOAD_SERVER is no longer read; set the DownloadServer "
                                     "policy or /server="));

    // /server= comes before the policy, which here names nothing that answers.
    e2e::ResetMachine();
    DownloadServerPolicy unreachable(server, "localhost:1");
    outcome = InstallClient("install /server=" + server.Server());
    EXPECT_EQ(outcome.exitCode, 0u) << outcome.log;
    EXPECT_TRUE(e2e::FileExists("c:\\Corvanta10App\\Corvanta10App.exe"));

    // An invalid /server= is passed over for the policy.
    e2e::ResetMachine();
    outcome = InstallClient("install /server=no:such:server");
    EXPECT_TRUE(HasLine(outcome.log, "Server Setup:The download server setting /server= is not valid; using localhost"));
    EXPECT_TRUE(HasLine(outcome.log, "Client Setup:Could not get the signed package list from localhost; nothing was "
                                     "installed"))
        << "the policy's server was asked\n" << outcome.log;
}

TEST_F(Trust, ASecondSetupWaitsForTheFirstAndWritesNothing) {
    SetupSession first;
    e2e::ProgramRun second(e2e::SetupProgram());
    second.Start("");
    const uidriver::MessageBoxInfo box = second.WaitForBox("Another Corvanta setup");
    EXPECT_EQ(box.text, "Another Corvanta setup is running. Wait until it has finished, then start the setup again.");
    EXPECT_EQ(box.caption, "TovinSoft Corvanta Version 10.1 App");
    uidriver::AnswerMessageBox(box, uidriver::BoxButton::Ok);
    EXPECT_EQ(second.WaitForExit(), 1618u);
    EXPECT_FALSE(second.HasLog());
    EXPECT_TRUE(first.Run().IsRunning());
    EXPECT_EQ(e2e::ChangesOutside(snapshot, e2e::SnapshotDriveC(), {"C:\\CorvantaTestbed"}), std::vector<std::string>{});
}

TEST_F(Trust, ASetupThatWasKilledLeavesNoLockBehind) {
    {
        SetupSession killed;
        killed.Run().EndAll();
    }
    SetupSession next;
    EXPECT_TRUE(next.Run().Boxes().empty());
    EXPECT_TRUE(next.Run().IsRunning());
}

}  // namespace
