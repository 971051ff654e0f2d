// The SQL Server Express installation: drives, command line, and a real run
// of the machine's fake installer.
#include "prereq/sql_install.h"

#include <gtest/gtest.h>

#include "prereq/sql_setup.h"
#include "support/dialog_fixture.h"
#include "support/registry.h"
#include "support/testbed_access.h"

namespace {

DriveSpace Fixed(const char* root, double gib) { return {root, true, gib}; }

TEST(SqlDrives, TakeTheFixedDrivesWithTheMostFreeSpace) {
    auto choose = [](std::vector<DriveSpace> drives) {
        const DriveChoice choice = ChooseSqlDrives(drives, "D:\\Srv\\");
        return choice.dataDrive + choice.backupDrive;
    };
    EXPECT_EQ(choose({Fixed("C:\\", 50), Fixed("E:\\", 250)}), "E:\\E:\\");
    EXPECT_EQ(choose({Fixed("C:\\", 80), Fixed("E:\\", 60)}), "C:\\E:\\");
    EXPECT_EQ(choose({Fixed("C:\\", 80), {"F:\\", false, 900}, Fixed("E:\\", 60)}), "C:\\E:\\") << "removable never";
    EXPECT_EQ(choose({Fixed("C:\\", 80), Fixed("E:\\", 80)}), "C:\\C:\\") << "a tie is no second drive";
    EXPECT_EQ(choose({Fixed("C:\\", 50)}), "C:\\C:\\");
    EXPECT_EQ(choose({Fixed("C:\\", 0), {"Z:\\", false, 0}}), "D:\\D:\\") << "no free space known: the server's drive";
}

TEST(SqlCommandLine, IsExactlyWhatTheInstallerExpects) {
    SqlCommandInput input{"D:\\Srv\\", "Ab1$cd", false, {"E:\\", "E:\\"}};
    EXPECT_EQ(BuildSqlCommandLine(input, false),
              "\"D:\\Srv\\Update\\SQLEXPR_x64_ENU.exe\"  /QS /IACCEPTSQLSERVERLICENSETERMS /SUPPRESSPRIVACYSTATEMENTNOTICE "
              " /FEATURES=SQLEngine /SECURITYMODE=SQL /SAPWD=Ab1$cd  /ACTION=install /INSTANCENAME=MSSQLSERVER "
              "/SQLUSERDBDIR=E:\\\\sqldata\\ /SQLBACKUPDIR=E:\\\\sqlbackup\\");
    input.defaultInstanceFound = true;
    input.password = "Pass word\"1";
    EXPECT_NE(BuildSqlCommandLine(input, false).find("/SAPWD=\"Pass word\"\"1\"  /ACTION=install /INSTANCENAME=SQL19Express"),
              std::string::npos);
    EXPECT_NE(BuildSqlCommandLine(input, true).find("/SAPWD=********  "), std::string::npos);
    EXPECT_EQ(QuoteSqlPassword("Ab1$cd"), "Ab1$cd");
    EXPECT_EQ(QuoteSqlPassword("a b\\"), "\"a b\\\\\"");
    EXPECT_EQ(QuoteSqlPassword("a\\\"b"), "\"a\\\\\"\"b\"");
    EXPECT_EQ(QuoteSqlPassword("a\\b c"), "\"a\\b c\"");
    EXPECT_EQ(BuildSqlCommandLine(input, true).find("word"), std::string::npos);
}

class SqlInstallation : public ContextTest {
protected:
    void SetUp() override {
        ClearInstallerRuns();
        ClearInstallerScenarios();
        context.serverDirectory = startFolder / "Server Dir\\";
        ::CreateDirectoryA(context.serverDirectory.c_str(), nullptr);
        ::CreateDirectoryA((context.serverDirectory + "Update").c_str(), nullptr);
        ::CopyFileA(PackagePath("SQLEXPR_x64_ENU.exe").c_str(),
                    (context.serverDirectory + "Update\\SQLEXPR_x64_ENU.exe").c_str(), FALSE);
        SetRegistryDword(HKEY_LOCAL_MACHINE, "SOFTWARE\\CorvantaTestbed\\Installers\\SQLEXPR_x64_ENU.exe",
                         "OutputPauseMs", 20);
        context.sqlPassword = "My Pa\"ss1$\\";
    }
    void TearDown() override { ClearInstallerScenarios(); }
    RegistryCleanup instances{HKEY_LOCAL_MACHINE, {"SOFTWARE\\CorvantaTestbed\\SqlWmi"}};
};

TEST_F(SqlInstallation, RunsUnattendedWithTheQuotedPasswordAndLogsItsOutputInChunks) {
    EXPECT_EQ(context.sql->InstallSqlExpress(), 1);
    const auto runs = InstallerRuns("SQLEXPR_x64_ENU.exe");
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0][2], context.serverDirectory + "Update");
    EXPECT_NE(std::find(runs[0].begin(), runs[0].end(), "SAPWD=My Pa\"ss1$\\"), runs[0].end());
    const std::string log = LogText();
    EXPECT_EQ(log.find("My Pa"), std::string::npos) << "the password never reaches the log";
    EXPECT_EQ(log.rfind("Server Setup:\"" + context.serverDirectory + "Update\\SQLEXPR_x64_ENU.exe\"  /QS ", 0), 0u);
    // Between the command line and the end, each log line is one chunk of the
    // installer's output (a chunk may hold line ends of its own).
    const size_t first = log.find("\r\n") + 2;
    const size_t last = log.find("SQL Server Install:Installed SQL Server\r\n");
    ASSERT_NE(last, std::string::npos) << log;
    const std::string prefix = "Server Setup:";
    size_t chunks = 0, bytes = 0;
    for (size_t at = first; at < last;) {
        ASSERT_EQ(log.compare(at, prefix.size(), prefix), 0);
        size_t next = log.find(prefix, at + prefix.size());
        if (next == std::string::npos || next > last) next = last;
        const size_t size = next - at - prefix.size() - 2;
        EXPECT_LE(size, 255u);
        bytes += size;
        ++chunks;
        at = next;
    }
    EXPECT_GT(chunks, 2u);
    EXPECT_GT(bytes, 600u);
    EXPECT_EQ(RegistryString(HKEY_LOCAL_MACHINE,
                             "SOFTWARE\\CorvantaTestbed\\SqlWmi\\ComputerManagement16\\MSSQLSERVER", "Version"),
              "16.0.1000.6");
    EXPECT_EQ(context.report.failedSteps, 0);
}

TEST_F(SqlInstallation, AFailingOrMissingInstallerIsAFailedStep) {
    SetInstallerExitCodes("SQLEXPR_x64_ENU.exe", "5");
    EXPECT_EQ(context.sql->InstallSqlExpress(), 1);
    EXPECT_NE(LogText().find("SQL Server Install:SQL Server installation failed with exit code 5\r\n"), std::string::npos);
    EXPECT_EQ(LogText().find("Installed SQL Server"), std::string::npos);
    ::DeleteFileA((context.serverDirectory + "Update\\SQLEXPR_x64_ENU.exe").c_str());
    EXPECT_EQ(context.sql->InstallSqlExpress(), 0);
    EXPECT_NE(LogText().find("Server Setup:CreateProcess failed;"), std::string::npos);
    EXPECT_EQ(context.report.failedSteps, 2);
}

}  // namespace
