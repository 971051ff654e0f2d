// Quiet runs of the real setup, as software distribution tools start it: no
// window and no box, the choices from the command line, the exit code and
// the log as the only answer.
#include <gtest/gtest.h>

#include <algorithm>

#include "support/registry.h"
#include "support/temp_folder.h"
#include "support/testbed_access.h"
#include "tests/e2e/scenario.h"

namespace {

using namespace e2e;

constexpr char UNINSTALL[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
constexpr char HEADER_START[] = "Corvanta Setup 10.1.3 started ";
constexpr char PASSWORD[] = "Qu1et$Pass";

class Quiet : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(server.Missing(), "");
        ResetMachine();
    }
    QuietOutcome Run(const std::string& tail, const std::string& logPath = "", const std::string& startFolder = "") {
        return RunQuietSetup(tail, {"", logPath, startFolder});
    }
    size_t ListRequests() const { return server.Requests("packages.manifest").size(); }
    // A refused line: exit code 1639, the header and the refusal alone in the
    // log, nothing fetched and nothing installed.
    void ExpectRefused(const std::string& tail, const std::string& refusal, const std::string& logPath = "") {
        const size_t before = ListRequests();
        const QuietOutcome outcome = Run(tail, logPath);
        EXPECT_EQ(outcome.exitCode, 1639u) << tail << "\n" << outcome.log;
        EXPECT_TRUE(outcome.windows.empty()) << outcome.windows[0];
        const std::vector<std::string> lines = LogLines(outcome.log);
        ASSERT_EQ(lines.size(), 2u) << tail << "\n" << outcome.log;
        EXPECT_EQ(lines[0].rfind(HEADER_START, 0), 0u) << lines[0];
        EXPECT_EQ(lines[1], "Invalid command line: " + refusal) << tail;
        EXPECT_EQ(WaitForRequests(server, "packages.manifest", before).size(), before) << "nothing is fetched";
        for (const char* folder : {"C:\\TCorvanta10", "C:\\Corvanta10App", "C:\\Program Files\\TovinSoft"}) {
            EXPECT_FALSE(FileExists(folder)) << folder;
        }
    }
    static std::string Entry(const char* name, const char* value) {
        return RegistryString(HKEY_LOCAL_MACHINE, std::string(UNINSTALL) + name, value, KEY_WOW64_32KEY);
    }
    static std::string PasswordFile(const std::string& content) {
        const std::string path = "C:\\CorvantaTestbed\\sa-password.txt";
        EXPECT_TRUE(WriteFileText(path, content));
        return path;
    }

    testbed::DownloadServerState server;
};

struct InstallCase {
    const char* tail;
    const char* program;        // a file the installation leaves, "" none
    const char* entry;          // the Programs and Features entry it registers
    const char* displayName;
};

class QuietInstallation : public Quiet, public ::testing::WithParamInterface<InstallCase> {};

TEST_P(QuietInstallation, InstallsWithoutAWindowAndExitsWithZero) {
    const InstallCase& c = GetParam();
    const QuietOutcome outcome = Run(c.tail);
    EXPECT_TRUE(outcome.windows.empty()) << outcome.windows[0];
    EXPECT_EQ(outcome.exitCode, 0u) << outcome.log;
    const std::vector<std::string> lines = LogLines(outcome.log);
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[0].rfind(HEADER_START, 0), 0u) << lines[0];
    EXPECT_NE(lines[0].find("; command line: "), std::string::npos);
    EXPECT_EQ(lines[1], "User Interface:Package signatures: test key of this build");
    EXPECT_TRUE(HasLine(outcome.log, "User Interface:Successfully updated Software"));
    EXPECT_TRUE(HasLine(outcome.log, "User Interface:TovinSoft Corvanta Version 10.1 App: Successfuly completed Setup"))
        << "the final box's text goes to the log";
    if (*c.program) {
        EXPECT_TRUE(FileExists(c.program)) << c.program;
    }
    EXPECT_EQ(Entry(c.entry, "DisplayName"), c.displayName);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, QuietInstallation,
    ::testing::Values(
        InstallCase{"/quiet /type=client", "c:\\Corvanta10App\\Corvanta10App.exe", "CorvantaClient", "Corvanta10App"},
        InstallCase{"/QUIET /Type=Client /BitSize=32 \"/clientdir=C:\\My Apps\\Corvanta 32\"",
                    "C:\\My Apps\\Corvanta 32\\Corvanta10App.exe", "CorvantaClient", "Corvanta10App"},
        InstallCase{"install /quiet /type=client /bitsize=ai /clientdir=\"C:\\AI Client\"", "C:\\AI Client\\CorvantaAI.exe",
                    "CorvantaClient", "CorvantaAI"},
        InstallCase{"/quiet /type=server /port=8080 /edition=summit", "c:\\TCorvanta10\\TCorvanta10.dll",
                    "CorvantaServer", "TovinSoft Corvanta10.1"},
        InstallCase{"/quiet /type=both /bitsize=ai /port=1465 /hosts=corvanta.corp",
                    "c:\\program Files\\CorvantaIS\\corvantais.cfg", "CorvantaServer", "TovinSoft Corvanta10.1"}));

TEST_F(Quiet, InstallsSqlServerWithThePasswordOfItsFileAndNeverLogsIt) {
    const std::string file = PasswordFile("\xEF\xBB\xBF" + std::string(PASSWORD) + "   \r\nnot this line\r\n");
    const QuietOutcome outcome = Run("/quiet /type=server /port=8080 /sql=yes /sapwdfile=" + file);
    EXPECT_EQ(outcome.exitCode, 0u) << outcome.log;
    const auto runs = InstallerRuns("SQLEXPR_x64_ENU.exe");
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_NE(std::find(runs[0].begin(), runs[0].end(), std::string("SAPWD=") + PASSWORD), runs[0].end())
        << "the installer gets the file's first line, trimmed";
    EXPECT_EQ(outcome.log.find(PASSWORD), std::string::npos) << "the password never reaches the log";
    EXPECT_NE(LogLines(outcome.log)[0].find("/sapwdfile=********"), std::string::npos) << LogLines(outcome.log)[0];
}

TEST_F(Quiet, RepairsTheRegisteredClientAndRefusesOneThatIsNot) {
    QuietOutcome outcome = Run("/quiet /repair /type=client");
    EXPECT_EQ(outcome.exitCode, 1u) << outcome.log;
    EXPECT_TRUE(HasLine(outcome.log, "Client Setup:No client installation is registered; the client cannot be repaired"));

    ASSERT_EQ(Run("/quiet /type=client").exitCode, 0u);
    ASSERT_TRUE(::DeleteFileA("c:\\Corvanta10App\\Corvanta10App.exe"));
    outcome = Run("/quiet /repair /type=client /port=80");
    EXPECT_TRUE(outcome.windows.empty()) << outcome.windows[0];
    EXPECT_EQ(outcome.exitCode, 0u) << outcome.log;
    EXPECT_TRUE(HasLine(outcome.log, "User Interface:Command line: /port is not used by this run; it was ignored"));
    EXPECT_TRUE(HasLine(outcome.log, "User Interface:Successfully repaired Software"));
    EXPECT_TRUE(FileExists("c:\\Corvanta10App\\Corvanta10App.exe")) << "the repair puts the program back";
}

TEST_F(Quiet, RefusesALineItCannotTakeWith1639AndDoesNothing) {
    ExpectRefused("/quiet /type=server /port=999",
                  "/port: Please select Port 80 for Http, 443 for Https or port No >1000 like  1064 for custom");
    ExpectRefused("/quiet /type=server /port=80 /sql=yes /sapwdfile=" + PasswordFile("weakpassword\r\n"),
                  "/sapwdfile: Password should consist of atleast 1 upper character, 1 lower character, 1 numeric "
                  "digit and 1 special character ");
    ExpectRefused("/quiet /type=client /colour=blue", "/colour: unknown switch");
    ExpectRefused("/quiet /type=server /port=80 /sql=yes", "/sapwdfile: required with /sql=yes");
    ExpectRefused("/quiet /type=client /type=server", "/type: given twice");
    ExpectRefused("/quiet /type=both", "/port: required with /type=both");
    ExpectRefused("/quiet /type=client /server=mirror:port", "/server: must be host or host:port");
    // The refusal of a log that cannot be written goes to the start folder.
    ExpectRefused("/quiet /type=client /log=C:\\no\\such\\folder\\s.log",
                  "/log: cannot write C:\\no\\such\\folder\\s.log");
    // A log that can be written holds the refusal of any other switch.
    ExpectRefused("/quiet /type=client /bitsize=16 /log=C:\\CorvantaTestbed\\quiet.log",
                  "/bitsize: must be 64, 32 or ai", "C:\\CorvantaTestbed\\quiet.log");
}

TEST_F(Quiet, EndsWithTheExitCodeOfTheFirstRowThatApplies) {
    {
        // Another setup is running: no box, nothing written.
        HANDLE mutex = ::CreateMutexW(nullptr, TRUE, L"Global\\TovinSoftCorvanta10Setup");
        ASSERT_NE(mutex, nullptr);
        const QuietOutcome outcome = Run("/quiet /type=client");
        ::ReleaseMutex(mutex);
        ::CloseHandle(mutex);
        EXPECT_EQ(outcome.exitCode, 1618u);
        EXPECT_TRUE(outcome.windows.empty()) << outcome.windows[0];
        EXPECT_EQ(outcome.log, "");
    }
    {
        SetInstallerExitCodes("vcredist_x64.exe", "3010");
        const QuietOutcome outcome = Run("/quiet /type=client");
        EXPECT_EQ(outcome.exitCode, 3010u) << outcome.log;
        EXPECT_TRUE(HasLine(outcome.log, "User Interface:TovinSoft Corvanta Version 10.1 App: Successfuly completed "
                                         "Setup Please restart the computer to complete the installation."));
    }
    {
        ResetMachine();
        ServerFaults faults(server, {{"Corvanta10AppSetup.cab", R"("404")"}});
        const QuietOutcome outcome = Run("/quiet /type=client");
        EXPECT_EQ(outcome.exitCode, 1u) << outcome.log;
        EXPECT_TRUE(HasLine(outcome.log, "User Interface:Setup completed with errors"));
    }
}

TEST_F(Quiet, LogsWhereTheAdministratorSaysOrBesideTheWindowsFolder) {
    const QuietOutcome named = Run("/quiet /type=client /log=\"C:\\CorvantaTestbed\\my logs.log\"",
                                   "C:\\CorvantaTestbed\\my logs.log");
    EXPECT_EQ(named.exitCode, 0u) << named.log;
    EXPECT_TRUE(HasLine(named.log, "User Interface:Successfully updated Software"));

    // Started from the Windows folder, as a service starts it.
    const std::string windowsStart = "C:\\windows\\corvanta-e2e-start";
    const std::string productLog = "C:\\ProgramData\\TovinSoft\\Corvanta10\\Logs\\" + std::string(SETUP_LOG_NAME);
    const QuietOutcome service = Run("/quiet", productLog, windowsStart);
    ::RemoveDirectoryA(windowsStart.c_str());
    EXPECT_EQ(service.exitCode, 1639u);
    EXPECT_TRUE(HasLine(service.log, "Invalid command line: /type: required")) << service.log;
    EXPECT_FALSE(FileExists(windowsStart + "\\" + SETUP_LOG_NAME));
}

TEST_F(Quiet, ADialogRunIsNotMadeARepairByAValueThatSaysRepair) {
    ::CreateDirectoryA("C:\\CorvantaTestbed\\repair", nullptr);
    SetupSession setup("/log=C:\\CorvantaTestbed\\repair\\setup.log");
    ASSERT_NE(setup.Dialog(), nullptr) << "the setup dialog opens, not the maintenance dialog";
    Choices choices;
    choices.setupType = "Client";
    setup.FillIn(choices);
    const Outcome outcome = setup.PressOk();
    EXPECT_EQ(outcome.exitCode, 0u);
    const std::string log = ReadFileText("C:\\CorvantaTestbed\\repair\\setup.log");
    EXPECT_TRUE(HasLine(log, "User Interface:Successfully updated Software")) << log;
    EXPECT_NE(LogLines(log)[0].find("; command line: "), std::string::npos);
}

}  // namespace
