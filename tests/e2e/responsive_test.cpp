// The dialog stays alive while the run works on its own thread, and Cancel
// during a run stops it with the product as it was.
#include <gtest/gtest.h>

#include <regex>

#include "resources/resource.h"
#include "support/registry.h"
#include "support/temp_folder.h"
#include "support/testbed_access.h"
#include "testbed/uidriver/controls.h"
#include "testbed/uidriver/dialogs.h"
#include "testbed/uidriver/messaging.h"
#include "testbed/uidriver/probe.h"
#include "tests/e2e/scenario.h"

namespace {

using e2e::Choices;
using e2e::HasLine;
using e2e::Outcome;
using e2e::SetupSession;

constexpr double ANSWER_LIMIT_MS = 100;
constexpr char SETUP_COPY[] = "C:\\Program Files\\TovinSoft\\CorvantaAI\\CorvantaSetup.exe";
constexpr char INSTALLERS_KEY[] = "SOFTWARE\\CorvantaTestbed\\Installers\\";
const std::vector<std::string> MODULES = {"TCorvanta10.dll", "TCrv10Cml.dll", "TCrv10Cmn.dll", "TCrv10Ntx.dll"};

class Responsive : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(server.Missing(), "");
        e2e::ResetMachine();
    }
    static Choices ClientChoices() {
        Choices choices;
        choices.setupType = "Client";
        return choices;
    }
    // Starts the run and gives the test the dialog while it goes on.
    static void StartRun(SetupSession& setup) {
        ASSERT_TRUE(setup.Run().Boxes().empty()) << setup.Run().Boxes()[0].text;
        ::PostMessageA(setup.Control(IDOK), BM_CLICK, 0, 0);
    }
    static bool WaitForStatus(SetupSession& setup, const std::string& start, DWORD timeoutMs = 30000) {
        return uidriver::WaitUntil(timeoutMs, [&] {
            return uidriver::StoredText(setup.Control(IDC_STATUS_LINE)).rfind(start, 0) == 0;
        });
    }
    // Cancel as a user presses it, with the question answered.
    static void PressCancel(SetupSession& setup, uidriver::BoxButton answer) {
        uidriver::Click(setup.Dialog(), setup.Control(IDCANCEL));
        const auto box = setup.Run().WaitForBox("Do you want to Cancel");
        EXPECT_EQ(box.caption, "TovinSoft Corvanta v 10.1");
        uidriver::AnswerMessageBox(box, answer);
    }
    static void ExpectCancelled(const Outcome& outcome) {
        EXPECT_EQ(outcome.exitCode, 1602u) << outcome.log;
        EXPECT_EQ(outcome.finalBox, "Setup was cancelled");
        EXPECT_TRUE(HasLine(outcome.log, "User Interface:Setup was cancelled")) << outcome.log;
        EXPECT_FALSE(HasLine(outcome.log, "User Interface:Setup completed with errors"));
    }
    static void MarkInstalled(const std::string& folder, const std::vector<std::string>& names) {
        for (const std::string& name : names) ASSERT_TRUE(WriteFileText(folder + "\\" + name, "installed " + name));
    }
    static void ExpectMarked(const std::string& folder, const std::vector<std::string>& names) {
        for (const std::string& name : names) {
            EXPECT_EQ(e2e::ReadFileText(folder + "\\" + name), "installed " + name) << name;
        }
    }

    testbed::DownloadServerState server;
};

TEST_F(Responsive, TheDialogAnswersDuringASlowDownloadAndALongInstallerAndCancelAnsweredNoGoesOn) {
    // The runtime comes slowly (about three seconds), then its installer
    // holds until the test lets it go on.
    ServerFaults faults(server, {{"vcredist_x64.exe", R"({"fault": "slow", "rate": 262144, "chunk": 8192})"}});
    SetRegistryDword(HKEY_LOCAL_MACHINE, std::string(INSTALLERS_KEY) + "vcredist_x64.exe", "Hold", 1);
    SetupSession setup;
    setup.FillIn(ClientChoices());
    uidriver::ResponseProbe probe(setup.Dialog(), setup.Control(IDC_STATUS_LINE));
    StartRun(setup);

    ASSERT_TRUE(WaitForStatus(setup, "Downloading vcredist_x64.exe: ")) << setup.Run().LogText();
    PressCancel(setup, uidriver::BoxButton::No);
    const std::string holding = "C:\\CorvantaTestbed\\vcredist_x64.exe.holding";
    ASSERT_TRUE(uidriver::WaitUntil(30000, [&] { return e2e::FileExists(holding); })) << setup.Run().LogText();
    const size_t heldFrom = probe.Samples().size();
    ::Sleep(1500);  // the installer runs
    const size_t heldTo = probe.Samples().size();
    ASSERT_TRUE(WriteFileText("C:\\CorvantaTestbed\\vcredist_x64.exe.release", ""));
    const Outcome outcome = setup.FollowRun();
    const std::vector<uidriver::ProbeSample> samples = probe.Stop();

    EXPECT_EQ(outcome.exitCode, 0u) << outcome.log;
    EXPECT_EQ(outcome.finalBox, "Successfuly completed Setup");
    EXPECT_FALSE(HasLine(outcome.log, "User Interface:Setup was cancelled"));
    const uidriver::ProbeSummary download = uidriver::Summarize(samples, "Downloading vcredist_x64.exe: ");
    EXPECT_GE(download.count, 10u);
    EXPECT_LE(download.longestMs, ANSWER_LIMIT_MS);
    ASSERT_LE(heldTo, samples.size());
    const std::vector<uidriver::ProbeSample> held(samples.begin() + static_cast<std::ptrdiff_t>(heldFrom),
                                                  samples.begin() + static_cast<std::ptrdiff_t>(heldTo));
    EXPECT_GE(held.size(), 10u);
    EXPECT_LE(uidriver::Summarize(held).longestMs, ANSWER_LIMIT_MS);
    // The bytes so far in the status line, never in the log.
    const std::regex bytes(R"(Downloading vcredist_x64\.exe: \d+\.\d of 0\.7 MB)");
    size_t shown = 0;
    for (const auto& sample : samples) shown += std::regex_match(sample.status, bytes) ? 1 : 0;
    EXPECT_GE(shown, 3u);
    EXPECT_EQ(outcome.log.find("Downloading vcredist_x64.exe: "), std::string::npos);
}

TEST_F(Responsive, CancelDuringADownloadKeepsWhatWasFinishedAndLeavesTheServerUninstalled) {
    ServerFaults faults(server, {{"TCorvanta10642.cab", R"({"fault": "slow", "rate": 16, "chunk": 8})"}});
    SetupSession setup;
    Choices choices;
    choices.setupType = "Both";
    setup.FillIn(choices);
    StartRun(setup);
    ASSERT_TRUE(WaitForStatus(setup, "Downloading TCorvanta10642.cab: ")) << setup.Run().LogText();
    const ULONGLONG pressed = ::GetTickCount64();
    PressCancel(setup, uidriver::BoxButton::Yes);
    ASSERT_TRUE(setup.Run().WaitForBox("Setup was cancelled", 10000).window);
    EXPECT_LT(::GetTickCount64() - pressed, 4000u) << "the run stops within two seconds of Yes";
    const Outcome outcome = setup.FollowRun();

    ExpectCancelled(outcome);
    EXPECT_TRUE(HasLine(outcome.log, "Server Setup:Download of TCorvanta10642.cab was stopped by Cancel"));
    EXPECT_TRUE(HasLine(outcome.log, "Server Setup:Cancel: the server update was stopped; the installed server is "
                                     "unchanged"));
    EXPECT_TRUE(HasLine(outcome.log, std::string("User Interface:Kept after Cancel: the copy of the setup in ") +
                                         SETUP_COPY));
    EXPECT_TRUE(HasLine(outcome.log, "User Interface:Kept after Cancel: the client in c:\\Corvanta10App\\, installed "
                                     "and registered"))
        << outcome.log;
    EXPECT_TRUE(e2e::FileExists("c:\\Corvanta10App\\Corvanta10App.exe"));
    EXPECT_EQ(RegistryString(HKEY_LOCAL_MACHINE,
                             "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\CorvantaServer", "DisplayName",
                             KEY_WOW64_32KEY),
              "<absent>");
    // Nothing of the server but what it downloaded, and no half-written file.
    EXPECT_FALSE(e2e::FileExists("c:\\TCorvanta10\\TCorvanta10.dll"));
    EXPECT_FALSE(e2e::FileExists("c:\\TCorvanta10\\Update\\TCorvanta10642.cab"));
    EXPECT_FALSE(e2e::FileExists("c:\\TCorvanta10\\Update\\TCorvanta10642.cab.partial"));
    EXPECT_FALSE(FolderExists("c:\\TCorvanta10\\Update\\staging"));
    EXPECT_FALSE(HasLine(outcome.log, "Server Setup:Installing Website"));
}

TEST_F(Responsive, CancelDuringTheServerSwapPutsTheInstalledServerBack) {
    {
        SetupSession install;
        Choices choices;
        choices.setupType = "Server";
        install.FillIn(choices);
        ASSERT_EQ(install.PressOk().exitCode, 0u);
    }
    MarkInstalled("c:\\TCorvanta10", MODULES);
    ASSERT_TRUE(WriteFileText("c:\\TCorvanta10\\web.config", "the site's settings"));
    ::DeleteFileA(IIS_STATE_LOG);
    // Stopping the site's pool takes a while: the swap is under way meanwhile.
    SetRegistryDword(HKEY_LOCAL_MACHINE, "SOFTWARE\\CorvantaTestbed\\Iis", "PoolStopMs", 3000);
    SetupSession repair("/repair /type=server", SETUP_COPY);
    ::SendMessageA(repair.Control(IDC_APPLY_SERVER), BM_SETCHECK, BST_CHECKED, 0);
    StartRun(repair);
    const std::string journal = "c:\\TCorvanta10\\Update\\swap.journal";
    ASSERT_TRUE(uidriver::WaitUntil(60000, [&] { return e2e::FileExists(journal) || !repair.Run().Boxes().empty(); }));
    ASSERT_TRUE(e2e::FileExists(journal)) << repair.Run().LogText();
    PressCancel(repair, uidriver::BoxButton::Yes);
    const Outcome outcome = repair.FollowRun();

    ExpectCancelled(outcome);
    EXPECT_TRUE(HasLine(outcome.log, "Server Setup:Cancel: the server update was undone; the installed server is "
                                     "unchanged"))
        << outcome.log;
    ExpectMarked("c:\\TCorvanta10", MODULES);
    EXPECT_EQ(e2e::ReadFileText("c:\\TCorvanta10\\web.config"), "the site's settings");
    EXPECT_FALSE(e2e::FileExists(journal));
    EXPECT_FALSE(FolderExists("c:\\TCorvanta10\\Update\\staging"));
    EXPECT_EQ(RegistryString(HKEY_LOCAL_MACHINE, "SOFTWARE\\TovinSoft\\Corvanta10\\Update", "PendingSwap"), "<absent>");
    // The pool was stopped for the swap and runs again.
    const std::string states = e2e::ReadFileText(IIS_STATE_LOG);
    const size_t stop = states.find("TCorvanta108080\tAppPool\tStop\r\n");
    EXPECT_NE(stop, std::string::npos) << states;
    EXPECT_NE(states.find("TCorvanta108080\tAppPool\tStart\r\n", stop), std::string::npos) << states;
    EXPECT_FALSE(HasLine(outcome.log, "Server Setup:Installing Website"));
}

}  // namespace
