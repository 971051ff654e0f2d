// Installations of the real setup in the test machine, from the dialog to
// what they leave in folders, registry, IIS, DISM and the server's records.
#include <gtest/gtest.h>

#include <shlobj.h>

#include "resources/resource.h"
#include "support/registry.h"
#include "support/temp_folder.h"
#include "support/testbed_access.h"
#include "testbed/uidriver/controls.h"
#include "tests/e2e/scenario.h"

namespace {

using namespace e2e;

constexpr char UNINSTALL[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
const std::vector<std::string> PACKAGES = {
    "vcredist_x32.exe",    "vcredist_x64.exe",    "VC_redist.x64.exe",  "Corvanta10AppSetup32.cab",
    "Corvanta10AppSetup.cab", "CorvantaAIAppSetup.cab", "TCorvanta10641.cab", "TCorvanta10642.cab",
    "TCorvanta10643.cab",  "TCorvanta10644.cab",  "TCorvanta10645.cab", "Corvanta10App.cab",
    "Corvanta10App32.cab", "CorvantaAiApp.cab",   "TCrvx.cab",          "SQLEXPR_x64_ENU.exe",
    "CorvantaISSetup.msi", "sqlncli.msi"};

class Installation : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(server.Missing(), "");
        ResetMachine();
        for (const std::string& name : PACKAGES) before[name] = server.Requests(name).size();
    }
    // The packages requested during the run, each with its statuses.
    std::map<std::string, std::vector<std::string>> Requested() {
        std::map<std::string, std::vector<std::string>> requested;
        for (const std::string& name : PACKAGES) {
            const auto records = server.Requests(name);  // the run has ended: its lines are written
            for (size_t i = before[name]; i < records.size(); ++i) requested[name].push_back(records[i].status);
        }
        return requested;
    }
    static std::string Entry(const char* name, const char* value) {
        return RegistryString(HKEY_LOCAL_MACHINE, std::string(UNINSTALL) + name, value, KEY_WOW64_32KEY);
    }
    static std::string Iis() { return e2e::ReadFileText(IIS_CONFIG); }

    testbed::DownloadServerState server;
    std::map<std::string, size_t> before;
};

struct ClientCase {
    const char* bitSize;
    const char* folder;
    const char* program;
    const char* installer;
    bool runtimePresent;
};

class ClientInstallation : public Installation, public ::testing::WithParamInterface<ClientCase> {};

TEST_P(ClientInstallation, LeavesTheClientItsRegistrationAndNothingElse) {
    const ClientCase& c = GetParam();
    if (c.runtimePresent) {
        SetRegistryDword(HKEY_LOCAL_MACHINE, "SOFTWARE\\Wow6432Node\\Microsoft\\VisualStudio\\12.0\\VC\\Runtimes\\X86",
                         "Installed", 1);
    }
    const auto snapshot = SnapshotDriveC();
    SetupSession setup;
    Choices choices;
    choices.setupType = "Client";
    choices.bitSize = c.bitSize;
    setup.FillIn(choices);
    EXPECT_EQ(uidriver::ControlText(setup.Control(IDC_CLIENT_DIRECTORY)), std::string(c.folder));
    const Outcome outcome = setup.PressOk();
    EXPECT_EQ(outcome.exitCode, 0u) << outcome.log;
    EXPECT_EQ(outcome.finalBox, "Successfuly completed Setup");
    EXPECT_TRUE(outcome.otherBoxes.empty());

    const std::string folder = std::string(c.folder) + "\\";
    EXPECT_TRUE(e2e::FileExists(folder + c.program));
    EXPECT_EQ(RegistryString(HKEY_CURRENT_USER, "Software\\TovinSoft\\Corvanta10\\Client", "InstallPath"), folder);
    EXPECT_EQ(Entry("CorvantaClient", "ModifyPath"),
              "\"C:\\Program Files\\TovinSoft\\CorvantaAI\\CorvantaSetup.exe\" /modify /type=client");
    EXPECT_TRUE(e2e::FileExists("C:\\Program Files\\TovinSoft\\CorvantaAI\\CorvantaSetup.exe"));
    char desktop[MAX_PATH] = {};
    ::SHGetFolderPathA(nullptr, CSIDL_DESKTOPDIRECTORY, nullptr, 0, desktop);
    const std::string shortcut = std::string(desktop) + (c.bitSize == std::string("AI Client")
                                                             ? "\\TovinSoft CorvantaAI.lnk"
                                                             : "\\TovinSoft Corvanta v10.1.lnk");
    EXPECT_EQ(e2e::FileExists(shortcut), c.bitSize != std::string("32 Bit")) << shortcut;
    std::map<std::string, std::vector<std::string>> expected;
    if (!c.runtimePresent) expected[c.installer] = {"200"};
    expected[c.bitSize == std::string("32 Bit") ? "Corvanta10AppSetup32.cab"
             : c.bitSize == std::string("AI Client") ? "CorvantaAIAppSetup.cab"
                                                     : "Corvanta10AppSetup.cab"] = {"200"};
    EXPECT_EQ(Requested(), expected);
    EXPECT_EQ(InstallerRuns(c.installer).size(), c.runtimePresent ? 0u : 1u);

    const auto lines = LogLines(outcome.log);
    size_t at = 0;
    for (const std::string expectedLine :
         {"User Interface:Begin updating Software", "Client Setup:Beging Updating Client Setup",
          "Client Setup:Updated Client Software", "User Interface:Successfully updated Software"}) {
        while (at < lines.size() && lines[at] != expectedLine) ++at;
        EXPECT_LT(at, lines.size()) << "missing or out of order: " << expectedLine << "\n" << outcome.log;
    }
    EXPECT_EQ(ChangesOutside(snapshot, SnapshotDriveC(),
                             {c.folder, "C:\\Program Files\\TovinSoft", "C:\\CorvantaTestbed"}),
              std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(
    BitSizes, ClientInstallation,
    ::testing::Values(ClientCase{"64 Bit", "c:\\Corvanta10App", "Corvanta10App.exe", "vcredist_x64.exe", false},
                      ClientCase{"32 Bit", "c:\\Corvanta10App32", "Corvanta10App.exe", "vcredist_x32.exe", true},
                      ClientCase{"AI Client", "c:\\CorvantaAIApp", "CorvantaAI.exe", "VC_redist.x64.exe", false}));

TEST_F(Installation, ACabinetFailingTwiceIsFetchedAgainAndTheRunSucceeds) {
    ServerFaults faults(server, {{"Corvanta10AppSetup.cab", R"({"fault": "fail-then-serve", "count": 2, "with": "drop"})"}});
    SetupSession setup;
    Choices choices;
    choices.setupType = "Client";
    setup.FillIn(choices);
    const Outcome outcome = setup.PressOk();
    EXPECT_EQ(outcome.exitCode, 0u);
    WaitForRequests(server, "Corvanta10AppSetup.cab", before["Corvanta10AppSetup.cab"] + 3);
    EXPECT_EQ(Requested()["Corvanta10AppSetup.cab"], (std::vector<std::string>{"dropped", "dropped", "200"}));
    EXPECT_TRUE(e2e::FileExists("c:\\Corvanta10App\\Corvanta10App.exe"));
}

TEST_F(Installation, AMissingCabinetEndsWithErrorsAndExitCodeOne) {
    ServedFile missing(server, "Corvanta10AppSetup.cab", "");
    SetupSession setup;
    Choices choices;
    choices.setupType = "Client";
    setup.FillIn(choices);
    const Outcome outcome = setup.PressOk();
    EXPECT_EQ(outcome.exitCode, 1u);
    EXPECT_EQ(outcome.finalBox, "Setup completed with errors. See the setup log: " + setup.Run().LogPath());
    EXPECT_TRUE(HasLine(outcome.log, "Client Setup:Could not find Corvanta10AppSetup.cab on server. Please contact you administrator"));
    EXPECT_TRUE(HasLine(outcome.log, "User Interface:Setup completed with errors"));
}

TEST_F(Installation, BothWithSqlServerOnPort80MovesTheDefaultWebSite) {
    SetupSession setup;
    Choices choices;
    choices.port = "80";
    choices.installSql = "Yes";
    setup.FillIn(choices);
    const Outcome outcome = setup.PressOk();
    EXPECT_EQ(outcome.exitCode, 0u) << outcome.log;
    const std::string& log = outcome.log;
    EXPECT_LT(LineAt(log, "Client Setup:Updated Client Software"), LineAt(log, "Server Setup:Updating Server Setup Begin"));
    EXPECT_LT(LineAt(log, "Server Setup:Updated Server Software"), LineAt(log, "SQL Server Install:Installed SQL Server"));
    EXPECT_EQ(log.find("Ab1$cd"), std::string::npos);
    EXPECT_NE(log.find("/SAPWD=********  /ACTION=install /INSTANCENAME=MSSQLSERVER"), std::string::npos);
    EXPECT_TRUE(HasLine(log, "Server Setup:80 is already in use on Default Web SiteDo you want to continue? "));
    EXPECT_TRUE(HasLine(log, "Server Setup:Configured IIS for use with TovinSoft Corvanta 10.0"));
    for (const char* file : {"TCorvanta10.dll", "TCrv10lzma.dll", "CorvantaSeed.bak", "Update\\SQLEXPR_x64_ENU.exe"}) {
        EXPECT_TRUE(e2e::FileExists(std::string("c:\\TCorvanta10\\") + file)) << file;
    }
    const std::string iis = Iis();
    EXPECT_NE(iis.find(R"(<site name="Default Web Site" id="1")"), std::string::npos);
    EXPECT_NE(iis.find(R"(bindingInformation="*:8080:")"), std::string::npos);
    EXPECT_NE(iis.find(R"(<site name="TCorvanta10" id="2" serverAutoStart="true">)"), std::string::npos);
    EXPECT_NE(iis.find(R"(bindingInformation="*:80:")"), std::string::npos);
    EXPECT_NE(iis.find(R"(<add name="TCorvanta10" autoStart="true" managedPipelineMode="Classic")"), std::string::npos);
    EXPECT_NE(iis.find(R"(path="c:\TCorvanta10\TCorvanta10.dll" allowed="true")"), std::string::npos);
    // The site's own settings are in its web.config, as IIS keeps them.
    const std::string site = IisSiteWebConfig("TCorvanta10");
    EXPECT_NE(site.find(R"(<add name="TovinSoft CorvantaApp v10.1" path="*.dll" verb="GET,POST" modules="IsapiModule")"),
              std::string::npos)
        << site;
    EXPECT_NE(site.find(R"(<add value="TCorvanta10.dll" />)"), std::string::npos);
    EXPECT_NE(site.find(R"(maxAllowedContentLength="524288000")"), std::string::npos);
    EXPECT_EQ(iis.find(R"(<location path="TCorvanta10")"), std::string::npos);
    for (const char* feature : {"IIS-WebServerRole", "IIS-ISAPIExtensions", "IIS-NetFxExtensibility45"}) {
        EXPECT_EQ(RegistryString(HKEY_LOCAL_MACHINE, "SOFTWARE\\CorvantaTestbed\\Dism\\Features", feature), "<absent>");
        HKEY key = nullptr;
        DWORD value = 0, size = sizeof value;
        ASSERT_EQ(::RegGetValueA(HKEY_LOCAL_MACHINE, "SOFTWARE\\CorvantaTestbed\\Dism\\Features", feature,
                                 RRF_RT_REG_DWORD, nullptr, &value, &size),
                  ERROR_SUCCESS) << feature;
        EXPECT_EQ(value, 1u);
        (void)key;
    }
    EXPECT_EQ(RegistryString(HKEY_LOCAL_MACHINE, "SOFTWARE\\TovinSoft\\Corvanta10\\Server", "InstallPath"), "c:\\TCorvanta10\\");
    EXPECT_EQ(Entry("CorvantaServer", "UninstallString"),
              "\"C:\\Program Files\\TovinSoft\\CorvantaAI\\CorvantaSetup.exe\" /uninstall /type=server");
}

TEST_F(Installation, InformationServerPortInstallsItThroughMsiexec) {
    ::CreateDirectoryA("C:\\Corvanta Server", nullptr);
    SetupSession setup;
    Choices choices;
    choices.setupType = "Server";
    choices.serverDirectory = "C:\\Corvanta Server";
    choices.port = "1465";
    setup.FillIn(choices);
    const Outcome outcome = setup.PressOk();
    EXPECT_EQ(outcome.exitCode, 0u) << outcome.log;
    EXPECT_TRUE(e2e::FileExists("C:\\Program Files\\CorvantaIS\\CorvantaIS.exe"));
    EXPECT_EQ(e2e::ReadFileText("C:\\Program Files\\CorvantaIS\\corvantais.cfg"),
              "DOC_ROOT=C:\\Corvanta Server\\\r\nPORT=1465\r\nENABLE_ISAPI=yes\r\n");
    EXPECT_EQ(Iis().find("TCorvanta10"), std::string::npos);
    ::SetCurrentDirectoryA("C:\\");
    ::RemoveTree("C:\\Corvanta Server");
}

TEST_F(Installation, ASecondInstallationOverTheFirstRunsAsARepairAndMaintenanceWorksFromItsEntries) {
    Choices choices;
    choices.setupType = "Server";
    {
        SetupSession first;
        first.FillIn(choices);
        EXPECT_EQ(first.PressOk().exitCode, 0u);
    }
    ::DeleteFileA("c:\\TCorvanta10\\CorvantaSeed.bak");
    {
        SetupSession second;
        second.FillIn(choices);
        const Outcome outcome = second.PressOk();
        EXPECT_EQ(outcome.exitCode, 0u);
        EXPECT_FALSE(e2e::FileExists("c:\\TCorvanta10\\CorvantaSeed.bak")) << "first-installation data is not unpacked again";
    }
    // The commands Programs and Features runs.
    const std::string program = "C:\\Program Files\\TovinSoft\\CorvantaAI\\CorvantaSetup.exe";
    auto tail = [&](const char* value) { return Entry("CorvantaServer", value).substr(program.size() + 3); };
    {
        SetupSession modify(tail("ModifyPath"), program);  // opens the setup dialog
        uidriver::Click(modify.Dialog(), modify.Control(IDCANCEL));
        uidriver::AnswerMessageBox(modify.Run().WaitForBox("Do you want to Cancel"), uidriver::BoxButton::Yes);
        EXPECT_EQ(modify.Run().WaitForExit().value_or(STILL_ACTIVE), 0u);
    }
    ::DeleteFileA("c:\\TCorvanta10\\TCorvanta10.dll");
    {
        SetupSession repair(tail("RepairPath"), program);
        ::SendMessageA(repair.Control(IDC_APPLY_SERVER), BM_SETCHECK, BST_CHECKED, 0);
        const Outcome outcome = repair.PressOk();
        EXPECT_EQ(outcome.finalBox, "Successfuly completed Setup for Repair");
        EXPECT_EQ(outcome.exitCode, 0u) << outcome.log;
        EXPECT_TRUE(e2e::FileExists("c:\\TCorvanta10\\TCorvanta10.dll")) << "the repair puts the module back";
    }
    {
        SetupSession uninstall(tail("UninstallString"), program);
        const Outcome outcome = uninstall.PressOk();
        EXPECT_EQ(outcome.finalBox, "Successfuly completed Setup for Uninstall");
        EXPECT_EQ(outcome.exitCode, 0u);
    }
}

TEST_F(Installation, SqlServerGetsAQuotedPasswordAndAServerDirectoryWithBlanks) {
    SetupSession setup;
    Choices choices;
    choices.setupType = "Server";
    choices.serverDirectory = "c:\\Program Files\\TovinSoft\\Corvanta10\\";
    choices.installSql = "Yes";
    choices.password = choices.passwordRepeat = "My Pa\"ss1$";
    setup.FillIn(choices);
    const Outcome outcome = setup.PressOk();
    EXPECT_EQ(outcome.exitCode, 0u) << outcome.log;
    const auto runs = InstallerRuns("SQLEXPR_x64_ENU.exe");
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0][2], "c:\\Program Files\\TovinSoft\\Corvanta10\\Update");
    EXPECT_NE(std::find(runs[0].begin(), runs[0].end(), "SAPWD=My Pa\"ss1$"), runs[0].end());
    EXPECT_EQ(outcome.log.find("My Pa"), std::string::npos);
}

}  // namespace
