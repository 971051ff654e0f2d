// Updates that never break what is installed: the new files are staged and
// swapped in, a failed or killed update leaves the installed product as it
// was, a cut-off download continues where it stopped, and the folders are the
// administrators' and never reached through a link.
#include <gtest/gtest.h>

#include "resources/resource.h"
#include "support/package_signing.h"
#include "support/registry.h"
#include "support/temp_folder.h"
#include "support/testbed_access.h"
#include "testbed/uidriver/controls.h"
#include "testbed/uidriver/dialogs.h"
#include "tests/e2e/scenario.h"

namespace {

using e2e::Choices;
using e2e::HasLine;
using e2e::Outcome;
using e2e::SetupSession;

constexpr char SETUP_COPY[] = "C:\\Program Files\\TovinSoft\\CorvantaAI\\CorvantaSetup.exe";
const std::vector<std::string> MODULES = {"TCorvanta10.dll", "TCrv10Cml.dll", "TCrv10Cmn.dll", "TCrv10Ntx.dll",
                                          "Tz10si.dll",      "Tz10ci.dll",    "Tz10math.dll",  "TCrv10lzma.dll"};

class Updates : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(server.Missing(), "");
        e2e::ResetMachine();
    }
    Outcome Install(const Choices& choices, const std::string& commandLine = "", const std::string& program = "") {
        SetupSession setup(commandLine, program);
        setup.FillIn(choices);
        return setup.PressOk();
    }
    Outcome InstallServer() {
        Choices choices;
        choices.setupType = "Server";
        return Install(choices);
    }
    Outcome InstallClient() {
        Choices choices;
        choices.setupType = "Client";
        return Install(choices);
    }
    // The maintenance dialog of the registered copy, with the boxes ticked.
    Outcome Repair(bool server, bool client) {
        SetupSession repair(std::string("/repair /type=") + (server ? "server" : "client"), SETUP_COPY);
        if (server) ::SendMessageA(repair.Control(IDC_APPLY_SERVER), BM_SETCHECK, BST_CHECKED, 0);
        if (client) ::SendMessageA(repair.Control(IDC_APPLY_CLIENT), BM_SETCHECK, BST_CHECKED, 0);
        return repair.PressOk();
    }
    // Gives every installed file of the folder a content the package set
    // does not have, so the files of this installation can be told apart.
    static void MarkInstalled(const std::string& folder, const std::vector<std::string>& names) {
        for (const std::string& name : names) {
            ASSERT_TRUE(WriteFileText(folder + "\\" + name, "installed " + name + "\r\n")) << name;
        }
    }
    static void ExpectMarked(const std::string& folder, const std::vector<std::string>& names) {
        for (const std::string& name : names) {
            EXPECT_EQ(e2e::ReadFileText(folder + "\\" + name), "installed " + name + "\r\n") << name;
        }
    }
    static void ExpectFailed(const Outcome& outcome, const std::string& line) {
        EXPECT_EQ(outcome.exitCode, 1u) << outcome.log;
        EXPECT_EQ(outcome.finalBox.rfind("Setup completed with errors. See the setup log: ", 0), 0u) << outcome.finalBox;
        EXPECT_TRUE(HasLine(outcome.log, line)) << "missing: " << line << "\n" << outcome.log;
    }

    testbed::DownloadServerState server;
};

TEST_F(Updates, AServerUpdateWithACabinetMissingLeavesTheInstalledServerUnchanged) {
    ASSERT_EQ(InstallServer().exitCode, 0u);
    MarkInstalled("c:\\TCorvanta10", MODULES);
    ASSERT_TRUE(WriteFileText("c:\\TCorvanta10\\web.config", "the site's settings"));
    ServerFaults faults(server, {{"TCorvanta10642.cab", R"("404")"}});
    const Outcome outcome = Repair(true, false);
    ExpectFailed(outcome, "Server Setup:The server update was not applied; the installed server is unchanged");
    EXPECT_TRUE(HasLine(outcome.log, "Server Setup:Could not find TCorvanta10642.cab on server. Please contact you "
                                     "administrator"));
    ExpectMarked("c:\\TCorvanta10", MODULES);
    EXPECT_EQ(e2e::ReadFileText("c:\\TCorvanta10\\web.config"), "the site's settings");
    EXPECT_FALSE(FolderExists("c:\\TCorvanta10\\Update\\staging"));
    EXPECT_FALSE(FolderExists("c:\\TCorvanta10\\Update\\backup"));
}

TEST_F(Updates, AServerUpdateKilledWhileUnpackingIsCleanedUpByTheNextRun) {
    ASSERT_EQ(InstallServer().exitCode, 0u);
    MarkInstalled("c:\\TCorvanta10", MODULES);
    {
        ServedFile large(server, "TCorvanta10641.cab", PackagePath("faults\\large-641.cab"));
        SetupSession repair("/repair /type=server", SETUP_COPY);
        ::SendMessageA(repair.Control(IDC_APPLY_SERVER), BM_SETCHECK, BST_CHECKED, 0);
        ::PostMessageA(repair.Control(IDOK), BM_CLICK, 0, 0);  // the run goes on while the test watches
        const std::string staged = "c:\\TCorvanta10\\Update\\staging\\TCrv10Bulk.dat";
        for (int i = 0; i < 6000 && !e2e::FileExists(staged) && repair.Run().Boxes().empty(); ++i) ::Sleep(5);
        ASSERT_TRUE(e2e::FileExists(staged)) << "the large cabinet was not being unpacked\n" << repair.Run().LogText();
        repair.Run().EndAll();  // as a kill or a power loss
    }
    ExpectMarked("c:\\TCorvanta10", MODULES);
    EXPECT_EQ(RegistryString(HKEY_LOCAL_MACHINE, "SOFTWARE\\TovinSoft\\Corvanta10\\Update", "PendingSwap"), "<absent>")
        << "no file had been moved";

    ::DeleteFileA(IIS_STATE_LOG);
    const Outcome next = Repair(true, false);
    EXPECT_EQ(next.exitCode, 0u) << next.log;
    // The site's pool was stopped while its files changed, and started again.
    const std::string states = e2e::ReadFileText(IIS_STATE_LOG);
    const size_t stop = states.find("TCorvanta108080\tAppPool\tStop\r\n");
    EXPECT_NE(stop, std::string::npos) << states;
    EXPECT_NE(states.find("TCorvanta108080\tAppPool\tStart\r\n", stop), std::string::npos) << states;
    for (const std::string& name : MODULES) {
        EXPECT_NE(e2e::ReadFileText("c:\\TCorvanta10\\" + name).rfind("installed ", 0), 0u) << name << " was not updated";
    }
    EXPECT_FALSE(e2e::FileExists("c:\\TCorvanta10\\Update\\staging\\TCrv10Bulk.dat"));
    EXPECT_FALSE(e2e::FileExists("c:\\TCorvanta10\\TCrv10Bulk.dat"));
}

TEST_F(Updates, AClientUpdateThatFailsLeavesTheInstalledClientUnchanged) {
    ASSERT_EQ(InstallClient().exitCode, 0u);
    const std::vector<std::string> files = {"Corvanta10App.exe", "CrvUi10.dll", "CrvNet10.dll"};
    MarkInstalled("c:\\Corvanta10App", files);
    ServerFaults faults(server, {{"Corvanta10AppSetup.cab", R"("500")"}});
    const Outcome outcome = Repair(false, true);
    ExpectFailed(outcome, "Client Setup:The client update was not applied; the installed client is unchanged");
    ExpectMarked("c:\\Corvanta10App", files);
}

TEST_F(Updates, ACutOffDownloadContinuesWhereItStopped) {
    const size_t before = server.Requests("Corvanta10AppSetup.cab").size();
    ServerFaults faults(server, {{"Corvanta10AppSetup.cab", R"({"fault": "fail-then-serve", "count": 1, "with": "truncate", "after": 200})"}});
    const Outcome outcome = InstallClient();
    EXPECT_EQ(outcome.exitCode, 0u) << outcome.log;
    const auto records = WaitForRequests(server, "Corvanta10AppSetup.cab", before + 2);
    ASSERT_EQ(records.size(), before + 2);
    const size_t size = e2e::ReadFileText(PackagePath("Corvanta10AppSetup.cab")).size();
    EXPECT_EQ(records[before].bytes, "200");
    EXPECT_EQ(records[before + 1].status, "206");
    EXPECT_EQ(records[before + 1].bytes, std::to_string(size - 200)) << "the second attempt asked for the rest only";
    EXPECT_TRUE(e2e::FileExists("c:\\Corvanta10App\\Corvanta10App.exe"));
}

TEST_F(Updates, AServerRepairWhereOnlyTheClientIsRegisteredIsRefused) {
    ASSERT_EQ(InstallClient().exitCode, 0u);
    const Outcome outcome = Repair(true, false);
    ExpectFailed(outcome, "Server Setup:No server installation is registered; the server cannot be repaired");
    EXPECT_FALSE(HasLine(outcome.log, "Server Setup:Installing Website"));
    EXPECT_FALSE(FolderExists("c:\\TCorvanta10\\Update"));
}

TEST_F(Updates, AModifyStartedFromTheCopyIsNoCopyFailure) {
    ASSERT_EQ(InstallClient().exitCode, 0u);
    Choices choices;
    choices.setupType = "Client";
    const Outcome outcome = Install(choices, "/modify /type=client", SETUP_COPY);
    EXPECT_EQ(outcome.exitCode, 0u) << outcome.log;
    EXPECT_EQ(outcome.finalBox, "Successfuly completed Setup");
    EXPECT_EQ(outcome.log.find("Copy failed"), std::string::npos) << outcome.log;
    EXPECT_TRUE(outcome.otherBoxes.empty());
}

TEST_F(Updates, AFolderOfTheSetupThatIsALinkIsRefused) {
    // The test machine plants C:\CorvantaLinks\server\Update as a link to C:\CorvantaLinks\elsewhere.
    Choices choices;
    choices.setupType = "Server";
    choices.serverDirectory = "C:\\CorvantaLinks\\server";
    const Outcome outcome = Install(choices);
    ExpectFailed(outcome, "Server Setup:C:\\CorvantaLinks\\server\\Update is a link; the setup does not follow it");
    WIN32_FIND_DATAA entry;
    std::vector<std::string> names;
    HANDLE find = ::FindFirstFileA("C:\\CorvantaLinks\\elsewhere\\*", &entry);
    do {
        if (std::string(entry.cFileName) != "." && std::string(entry.cFileName) != "..") names.push_back(entry.cFileName);
    } while (find != INVALID_HANDLE_VALUE && ::FindNextFileA(find, &entry));
    if (find != INVALID_HANDLE_VALUE) ::FindClose(find);
    EXPECT_EQ(names, std::vector<std::string>{"target.txt"}) << "nothing was written through the link";
}

TEST_F(Updates, EveryFolderTheSetupInstallsIntoIsGivenToTheAdministrators) {
    Choices choices;
    choices.setupType = "Both";
    const Outcome outcome = Install(choices);
    EXPECT_EQ(outcome.exitCode, 0u) << outcome.log;
    for (const char* line :
         {"User Interface:Permissions of C:\\Program Files\\TovinSoft\\CorvantaAI set to administrators only",
          "Client Setup:Permissions of c:\\Corvanta10App set to administrators only",
          "Client Setup:Permissions of c:\\Corvanta10App\\Update set to administrators only",
          "Client Setup:Permissions of c:\\Corvanta10App\\Update\\staging set to administrators only",
          "Server Setup:Permissions of c:\\TCorvanta10 set to administrators only",
          "Server Setup:Permissions of c:\\TCorvanta10\\Update set to administrators only",
          "Server Setup:Permissions of c:\\TCorvanta10\\cab set to administrators only",
          "Server Setup:Permissions of c:\\TCorvanta10\\Update\\staging set to administrators only"}) {
        EXPECT_TRUE(HasLine(outcome.log, line)) << line;
    }
}

}  // namespace
