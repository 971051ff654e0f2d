// The SQL Server Express stand-in run with the setup's command line in the
// test machine: switches and quoting, its output, its traces.
#include <gtest/gtest.h>

#include <algorithm>

#include "machine.h"

namespace {

using testbed::MachineKeyExists;
using testbed::MachineString;

constexpr char kInstaller[] = "SQLEXPR_x64_ENU.exe";
constexpr char kScenario[] = "SOFTWARE\\CorvantaTestbed\\Installers\\SQLEXPR_x64_ENU.exe";
constexpr char kNamespace[] = "SOFTWARE\\CorvantaTestbed\\SqlWmi\\ComputerManagement16";
const std::string kDefaultService = std::string(kNamespace) + "\\MSSQLSERVER";
const std::string kNamedService = std::string(kNamespace) + "\\MSSQL$SQL19EXPRESS";

// The longest line of a text, without its line end.
size_t LongestLine(const std::string& text) {
    size_t longest = 0, start = 0;
    while (start < text.size()) {
        size_t end = text.find("\r\n", start);
        if (end == std::string::npos) end = text.size();
        longest = std::max(longest, end - start);
        start = end + 2;
    }
    return longest;
}

std::string Field(const std::vector<std::string>& record, const std::string& name) {
    for (size_t i = 4; i < record.size(); ++i)
        if (record[i].rfind(name + "=", 0) == 0) return record[i].substr(name.size() + 1);
    return "<missing>";
}

class SqlExprTest : public testing::Test {
protected:
    void SetUp() override {
        RemoveInstances();
        testbed::SetMachineDword(kScenario, "OutputPauseMs", 0);  // the output's pace has its own test
    }
    void TearDown() override { RemoveInstances(); }
    static void RemoveInstances() {
        testbed::DeleteMachineKey(kDefaultService);
        testbed::DeleteMachineKey(kNamedService);
    }

    // The command line as the setup builds it; `password` is already quoted as needed.
    std::string SetupCommandLine(const std::string& password, const std::string& instance = "MSSQLSERVER",
                                 const char* leaveOut = nullptr) const {
        std::string line = "\"";
        line += testbed::InPackageSet(kInstaller);
        line += "\"  /QS";
        if (!leaveOut || std::string(leaveOut) != "license") line += " /IACCEPTSQLSERVERLICENSETERMS";
        line += " /SUPPRESSPRIVACYSTATEMENTNOTICE  /FEATURES=SQLEngine /SECURITYMODE=SQL";
        if (!leaveOut || std::string(leaveOut) != "password") line += " /SAPWD=" + password;
        line += "  /ACTION=install /INSTANCENAME=" + instance;
        line += " /SQLUSERDBDIR=" + folder.Path() + "\\\\sqldata\\ /SQLBACKUPDIR=" + folder.Path() + "\\\\sqlbackup\\";
        return line;
    }

    testbed::ProgramRun Run(const std::string& commandLine) {
        return testbed::RunProgram({}, commandLine, folder.Path(), true);
    }

    testbed::KeyGuard keys{{"SOFTWARE\\CorvantaTestbed", "SOFTWARE\\CorvantaTestbed\\Installers", kScenario,
                            "SOFTWARE\\CorvantaTestbed\\SqlWmi", kNamespace}};
    testbed::InstallerLogMark log;
    testbed::TempFolder folder;
};

TEST_F(SqlExprTest, InstallsTheDefaultInstanceWhereTheWmiStandInFindsIt) {
    testbed::ProgramRun run = Run(SetupCommandLine("Secr3t!"));
    ASSERT_TRUE(run.started);
    EXPECT_EQ(run.exitCode, 0u) << run.err;
    EXPECT_EQ(MachineString(kDefaultService, "instanceID"), "MSSQL16.MSSQLSERVER");
    EXPECT_EQ(MachineString(kDefaultService, "Version"), "16.0.1000.6");
    EXPECT_FALSE(MachineKeyExists(kNamedService));
    EXPECT_TRUE(testbed::FolderExists(folder / "sqldata"));
    EXPECT_TRUE(testbed::FolderExists(folder / "sqlbackup"));
    auto records = log.NewRecords();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0][0], kInstaller);
    EXPECT_EQ(records[0][1], SetupCommandLine("Secr3t!"));
    EXPECT_EQ(records[0][2], folder.Path());
    EXPECT_EQ(records[0][3], "0");
    EXPECT_EQ(Field(records[0], "SAPWD"), "Secr3t!");
    EXPECT_EQ(Field(records[0], "INSTANCENAME"), "MSSQLSERVER");
    EXPECT_EQ(Field(records[0], "SQLUSERDBDIR"), folder.Path() + "\\\\sqldata\\");
}

TEST_F(SqlExprTest, ANamedInstanceGetsItsOwnServiceName) {
    EXPECT_EQ(Run(SetupCommandLine("x", "SQL19Express")).exitCode, 0u);
    EXPECT_EQ(MachineString(kNamedService, "instanceID"), "MSSQL16.SQL19EXPRESS");
    EXPECT_EQ(MachineString(kNamedService, "Version"), "16.0.1000.6");
    EXPECT_FALSE(MachineKeyExists(kDefaultService));
}

TEST_F(SqlExprTest, AQuotedPasswordArrivesIntact) {
    const std::pair<const char*, const char*> cases[] = {
        {"\"a b\"", "a b"},
        {"\"a\"\"b\"", "a\"b"},
        {"\"p\"\"q r\"", "p\"q r"},
        {"\" lead and trail \"", " lead and trail "},
        {"Pl41n&Simple", "Pl41n&Simple"},
    };
    for (const auto& [written, expected] : cases) EXPECT_EQ(Run(SetupCommandLine(written)).exitCode, 0u) << written;
    auto records = log.NewRecords();
    ASSERT_EQ(records.size(), std::size(cases));
    for (size_t i = 0; i < records.size(); ++i) EXPECT_EQ(Field(records[i], "SAPWD"), cases[i].second);
}

TEST_F(SqlExprTest, TalksOnBothStreamsForAboutTwoSecondsWithLinesLongerThan255Bytes) {
    testbed::DeleteMachineKey(kScenario);  // the stand-in's own pace
    testbed::ProgramRun run = Run(SetupCommandLine("x"));
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_GT(LongestLine(run.out), 255u);
    EXPECT_GT(LongestLine(run.err), 255u);
    EXPECT_GT(run.out.size() + run.err.size(), 600u);
    EXPECT_GE(run.elapsedMs, 1500u);
    EXPECT_LT(run.elapsedMs, 6000u);
    EXPECT_GT(run.outChunks, 4u);
    EXPECT_LT(run.firstOutputMs + 1000, run.elapsedMs) << "the output must come while the program runs";
    EXPECT_NE(run.out.find("Setup result: 0\r\n"), std::string::npos);
}

TEST_F(SqlExprTest, RefusesWithoutTheLicenceTermsOrThePassword) {
    testbed::SetMachineString(kScenario, "ExitCodes", "0");
    const std::pair<const char*, DWORD> cases[] = {{"license", 0x84B40000}, {"password", 0x84B40001}};
    for (const auto& [leaveOut, code] : cases) {
        testbed::ProgramRun run = Run(SetupCommandLine("x", "MSSQLSERVER", leaveOut));
        EXPECT_EQ(run.exitCode, code) << leaveOut;
        EXPECT_NE(run.err.find("Error: "), std::string::npos) << leaveOut;
        EXPECT_FALSE(MachineKeyExists(kDefaultService)) << leaveOut;
        EXPECT_FALSE(testbed::FolderExists(folder / "sqldata")) << leaveOut;
    }
    EXPECT_EQ(MachineString(kScenario, "ExitCodes"), "0");
    auto records = log.NewRecords();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0][3], std::to_string(0x84B40000u));
    EXPECT_EQ(records[1][3], std::to_string(0x84B40001u));
}

TEST_F(SqlExprTest, AFailingRunFromTheScenarioRegistersNothing) {
    testbed::SetMachineString(kScenario, "ExitCodes", "0x84B40000,1603,3010");
    EXPECT_EQ(Run(SetupCommandLine("x")).exitCode, 0x84B40000u);
    EXPECT_EQ(Run(SetupCommandLine("x")).exitCode, 1603u);
    EXPECT_FALSE(MachineKeyExists(kDefaultService));
    EXPECT_FALSE(testbed::FolderExists(folder / "sqldata"));
    EXPECT_EQ(Run(SetupCommandLine("x")).exitCode, 3010u);
    EXPECT_TRUE(MachineKeyExists(kDefaultService));
}

TEST_F(SqlExprTest, AFolderThatCannotBeCreatedFailsTheInstallation) {
    std::string line = SetupCommandLine("x");
    std::string blocker = folder / "blocker";
    ASSERT_TRUE(testbed::WriteWholeFile(blocker, "x"));
    // The data folder below a file: no folder can be made there.
    line.replace(line.find("\\\\sqldata\\"), 10, "\\blocker\\sqldata\\");
    testbed::ProgramRun run = Run(line);
    EXPECT_NE(run.exitCode, 0u);
    EXPECT_EQ(run.exitCode & 0xFFFF0000u, 0x80070000u);
    EXPECT_FALSE(MachineKeyExists(kDefaultService));
}

}  // namespace
