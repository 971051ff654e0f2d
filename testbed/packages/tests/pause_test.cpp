// The pauses a scenario puts into every fake installer's run, in the test
// machine: a hold that waits for the test before the work, once, and a
// sleep before the end.
#include <gtest/gtest.h>

#include "machine.h"

namespace {

using testbed::MachineDword;
using testbed::MachineString;

constexpr char kTestbed[] = "C:\\CorvantaTestbed";
constexpr char kSqlService[] = "SOFTWARE\\CorvantaTestbed\\SqlWmi\\ComputerManagement16\\MSSQLSERVER";

std::string ScenarioKey(const std::string& installer) {
    return "SOFTWARE\\CorvantaTestbed\\Installers\\" + installer;
}
std::string Holding(const std::string& installer) { return std::string(kTestbed) + "\\" + installer + ".holding"; }
std::string Release(const std::string& installer) { return std::string(kTestbed) + "\\" + installer + ".release"; }

// "<program>" <arguments>, built up piece by piece (GCC 12 warns wrongly about "\"" + string).
std::string Quoted(const std::string& program, const std::string& arguments) {
    std::string line = "\"";
    line += program;
    line += "\" ";
    line += arguments;
    return line;
}

struct Program {
    const char* name;
    bool inPackageSet;  // else only in the build folder
    const char* arguments;
};

// Each with the command line its caller gives it; the SQL one gets its folders below.
const Program kPrograms[] = {
    {"vcredist_x32.exe", true, "/install /quiet /norestart"},
    {"vcredist_x64.exe", true, "/install /quiet /norestart"},
    {"VC_redist.x64.exe", true, "/install /quiet /norestart"},
    {"SQLEXPR_x64_ENU.exe", true,
     "/QS /IACCEPTSQLSERVERLICENSETERMS /FEATURES=SQLEngine /SAPWD=x /ACTION=install /INSTANCENAME=MSSQLSERVER"},
    {"CorvantaIS.exe", false, "/setup"},
};

bool HasField(const std::vector<std::string>& record, const std::string& field) {
    for (size_t i = 4; i < record.size(); ++i)
        if (record[i] == field) return true;
    return false;
}

// Lets a held program go when a test ends early, so it does not wait out its two minutes.
class ReleaseOnExit {
public:
    explicit ReleaseOnExit(std::string installer) : installer_(std::move(installer)) {}
    ~ReleaseOnExit() {
        if (testbed::FileExists(Holding(installer_))) testbed::WriteWholeFile(Release(installer_), "");
    }
    ReleaseOnExit(const ReleaseOnExit&) = delete;
    ReleaseOnExit& operator=(const ReleaseOnExit&) = delete;

private:
    std::string installer_;
};

class PauseTest : public testing::Test {
protected:
    void SetUp() override { Clean(); }
    void TearDown() override { Clean(); }
    void Clean() {
        for (const Program& program : kPrograms) {
            testbed::DeleteMachineKey(ScenarioKey(program.name));
            ::DeleteFileA(Holding(program.name).c_str());
            ::DeleteFileA(Release(program.name).c_str());
        }
        for (const char* key : {"SOFTWARE\\Microsoft\\VisualStudio\\12.0\\VC\\Runtimes\\X64",
                                "SOFTWARE\\Microsoft\\VisualStudio\\14.0\\VC\\Runtimes\\x64",
                                "SOFTWARE\\Wow6432Node\\Microsoft\\VisualStudio\\12.0\\VC\\Runtimes\\X86", kSqlService})
            testbed::DeleteMachineKey(key);
    }

    static std::string Path(const Program& program) {
        return program.inPackageSet ? testbed::InPackageSet(program.name) : testbed::FakeProgram(program.name);
    }
    std::string CommandLine(const Program& program) const {
        std::string line = Quoted(Path(program), program.arguments);
        if (std::string(program.name) == "SQLEXPR_x64_ENU.exe")
            line += " /SQLUSERDBDIR=" + folder.Path() + "\\data /SQLBACKUPDIR=" + folder.Path() + "\\backup";
        return line;
    }
    testbed::ProgramRun Run(const Program& program) {
        return testbed::RunProgram(Path(program), CommandLine(program), folder.Path(), true);
    }
    void Prepare(const Program& program) {
        if (std::string(program.name) == "SQLEXPR_x64_ENU.exe")
            testbed::SetMachineDword(ScenarioKey(program.name), "OutputPauseMs", 0);
    }

    testbed::KeyGuard keys{{"SOFTWARE\\CorvantaTestbed", "SOFTWARE\\CorvantaTestbed\\Installers",
                            "SOFTWARE\\CorvantaTestbed\\SqlWmi", "SOFTWARE\\CorvantaTestbed\\SqlWmi\\ComputerManagement16",
                            "SOFTWARE\\Microsoft\\VisualStudio", "SOFTWARE\\Microsoft\\VisualStudio\\12.0",
                            "SOFTWARE\\Microsoft\\VisualStudio\\14.0", "SOFTWARE\\Wow6432Node\\Microsoft\\VisualStudio",
                            "SOFTWARE\\Wow6432Node\\Microsoft\\VisualStudio\\12.0"}};
    testbed::InstallerLogMark log;
    testbed::TempFolder folder;
};

TEST_F(PauseTest, EveryInstallerHoldsBeforeItsWorkUntilReleasedAndOnlyOnce) {
    for (const Program& program : kPrograms) {
        SCOPED_TRACE(program.name);
        const std::string key = ScenarioKey(program.name);
        Prepare(program);
        testbed::SetMachineDword(key, "Hold", 1);
        testbed::SetMachineString(key, "ExitCodes", "3010");
        size_t recordsBefore = log.NewRecords().size();
        {
            testbed::BackgroundRun held(Path(program), CommandLine(program), folder.Path(), true);
            ReleaseOnExit release(program.name);
            ASSERT_TRUE(testbed::WaitForFile(Holding(program.name), 20000));
            EXPECT_FALSE(MachineDword(key, "Hold")) << "the hold is taken once";
            ::Sleep(300);  // a program that did not hold would end now
            EXPECT_FALSE(held.Finished());
            EXPECT_EQ(MachineString(key, "ExitCodes"), "3010") << "the work must wait for the release";
            EXPECT_EQ(log.NewRecords().size(), recordsBefore);

            ASSERT_TRUE(testbed::WriteWholeFile(Release(program.name), ""));
            testbed::ProgramRun run = held.Wait();
            EXPECT_EQ(run.exitCode, 3010u) << run.err;
            EXPECT_EQ(run.err.find("did not appear"), std::string::npos) << run.err;
        }
        EXPECT_FALSE(testbed::FileExists(Holding(program.name)));
        EXPECT_FALSE(testbed::FileExists(Release(program.name)));
        EXPECT_EQ(MachineString(key, "ExitCodes"), "");

        // The rerun goes straight through.
        testbed::ProgramRun again = Run(program);
        EXPECT_EQ(again.exitCode, 0u) << again.err;
        EXPECT_FALSE(testbed::FileExists(Holding(program.name)));

        auto records = log.NewRecords();
        ASSERT_EQ(records.size(), recordsBefore + 2);
        const auto& heldRecord = records[recordsBefore];
        EXPECT_EQ(heldRecord[0], program.name);
        EXPECT_EQ(heldRecord[3], "3010");
        EXPECT_TRUE(HasField(heldRecord, "HOLD=released"));
        EXPECT_FALSE(HasField(records.back(), "HOLD=released"));
        EXPECT_EQ(records.back()[3], "0");
    }
}

TEST_F(PauseTest, AHoldNobodyReleasesEndsAtItsTimeoutAndTheRunGoesOn) {
    const Program& program = kPrograms[1];  // vcredist_x64.exe
    const std::string key = ScenarioKey(program.name);
    // A release file left from before must not end the hold at once.
    for (bool staleRelease : {false, true}) {
        SCOPED_TRACE(staleRelease ? "stale release file" : "no release file");
        testbed::SetMachineDword(key, "Hold", 1);
        testbed::SetMachineDword(key, "HoldTimeoutMs", 400);
        if (staleRelease) {
            ASSERT_TRUE(testbed::WriteWholeFile(Release(program.name), ""));
        }
        testbed::ProgramRun run = Run(program);
        EXPECT_EQ(run.exitCode, 0u);
        EXPECT_GE(run.elapsedMs, 400u);
        EXPECT_LT(run.elapsedMs, 10000u);
        EXPECT_NE(run.err.find(Release(program.name) + " did not appear within 400 ms; going on"), std::string::npos)
            << run.err;
        EXPECT_FALSE(testbed::FileExists(Holding(program.name)));
        EXPECT_FALSE(testbed::FileExists(Release(program.name)));
        EXPECT_EQ(MachineDword("SOFTWARE\\Microsoft\\VisualStudio\\12.0\\VC\\Runtimes\\X64", "Installed"), 1u);
        auto records = log.NewRecords();
        ASSERT_FALSE(records.empty());
        EXPECT_TRUE(HasField(records.back(), "HOLD=timed-out"));
    }
}

TEST_F(PauseTest, SleepMsSlowsEveryInstallerBeforeItEndsAndIsRecorded) {
    for (const Program& program : kPrograms) {
        SCOPED_TRACE(program.name);
        Prepare(program);
        testbed::SetMachineDword(ScenarioKey(program.name), "SleepMs", 700);
        testbed::ProgramRun run = Run(program);
        EXPECT_EQ(run.exitCode, 0u) << run.err;
        EXPECT_GE(run.elapsedMs, 700u);
        auto records = log.NewRecords();
        ASSERT_FALSE(records.empty());
        EXPECT_EQ(records.back()[0], program.name);
        EXPECT_TRUE(HasField(records.back(), "SLEEPMS=700"));
        EXPECT_FALSE(testbed::FileExists(Holding(program.name))) << "a sleep is no hold";
    }
}

TEST_F(PauseTest, ARefusedCommandLineNeitherHoldsNorSleeps) {
    struct Case {
        const char* name;
        bool inPackageSet;
        const char* arguments;
    };
    const Case cases[] = {
        {"vcredist_x64.exe", true, "/install /quiet"},
        {"SQLEXPR_x64_ENU.exe", true, "/QS /FEATURES=SQLEngine"},
        {"CorvantaIS.exe", false, ""},  // started by hand: only tells what it is
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string key = ScenarioKey(c.name);
        testbed::SetMachineDword(key, "Hold", 1);
        testbed::SetMachineDword(key, "SleepMs", 5000);
        Program program{c.name, c.inPackageSet, c.arguments};
        testbed::ProgramRun run =
            testbed::RunProgram(Path(program), Quoted(Path(program), c.arguments), folder.Path(), true);
        ASSERT_TRUE(run.started);
        EXPECT_LT(run.elapsedMs, 4000u);
        EXPECT_EQ(MachineDword(key, "Hold"), 1u);
        EXPECT_FALSE(testbed::FileExists(Holding(c.name)));
    }
    auto records = log.NewRecords();
    ASSERT_EQ(records.size(), 2u) << "the information server's program records only runs with /setup";
    for (const auto& record : records) {
        EXPECT_FALSE(HasField(record, "SLEEPMS=5000")) << record[0];
    }
}

TEST_F(PauseTest, TheInformationServerProgramTakesItsExitCodesOnlyWithSetup) {
    const Program& program = kPrograms[4];
    const std::string key = ScenarioKey(program.name);
    testbed::SetMachineString(key, "ExitCodes", "1603,oops,0");
    testbed::ProgramRun byHand =
        testbed::RunProgram(Path(program), Quoted(Path(program), ""), folder.Path(), true);
    EXPECT_EQ(byHand.exitCode, 0u);
    EXPECT_NE(byHand.out.find("CorvantaIS 10.1 information server"), std::string::npos);
    EXPECT_EQ(MachineString(key, "ExitCodes"), "1603,oops,0");

    const DWORD expected[] = {1603, ERROR_INVALID_DATA, 0, 0};
    for (DWORD code : expected) EXPECT_EQ(Run(program).exitCode, code);
    auto records = log.NewRecords();
    ASSERT_EQ(records.size(), std::size(expected));
    EXPECT_EQ(records[0][1], CommandLine(program));
    EXPECT_EQ(records[0][2], folder.Path());
    EXPECT_EQ(records[0][3], "1603");
    EXPECT_EQ(records[1][3], std::to_string(ERROR_INVALID_DATA));
}

}  // namespace
