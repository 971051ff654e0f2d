// The package set's Windows Installer packages run by the test machine's own
// msiexec, with the command line the setup uses; each test uninstalls again.
// The information server's package runs its installed program once, so the
// program's scenario acts inside the installation.
#include <gtest/gtest.h>

#include "machine.h"

namespace {

constexpr char kServerFolder[] = "C:\\Program Files\\CorvantaIS";
constexpr char kServerKey[] = "SOFTWARE\\TovinSoft\\CorvantaIS";
constexpr char kNativeClientKey[] = "SOFTWARE\\Microsoft\\SQLNCLI11";
constexpr char kServerScenario[] = "SOFTWARE\\CorvantaTestbed\\Installers\\CorvantaIS.exe";
constexpr char kServerHolding[] = "C:\\CorvantaTestbed\\CorvantaIS.exe.holding";
constexpr char kServerRelease[] = "C:\\CorvantaTestbed\\CorvantaIS.exe.release";
const std::string kServerProgram = std::string(kServerFolder) + "\\CorvantaIS.exe";

std::string MsiexecLine(const std::string& action, const std::string& package) {
    return "msiexec.exe " + action + " \"" + testbed::InPackageSet(package) + "\" /quiet /norestart";
}

DWORD Msiexec(const std::string& action, const std::string& package) {
    testbed::TempFolder folder;
    testbed::ProgramRun run = testbed::RunProgram({}, MsiexecLine(action, package), folder.Path());
    return run.started ? run.exitCode : 0xFFFFFFFFu;
}

bool HasField(const std::vector<std::string>& record, const std::string& field) {
    for (size_t i = 4; i < record.size(); ++i)
        if (record[i] == field) return true;
    return false;
}

class MsiTest : public testing::Test {
protected:
    void SetUp() override { ClearServerScenario(); }
    void TearDown() override { ClearServerScenario(); }
    static void ClearServerScenario() {
        testbed::DeleteMachineKey(kServerScenario);
        ::DeleteFileA(kServerHolding);
        ::DeleteFileA(kServerRelease);
    }

    testbed::KeyGuard keys{{"SOFTWARE\\TovinSoft", kServerKey, kNativeClientKey, "SOFTWARE\\CorvantaTestbed",
                            "SOFTWARE\\CorvantaTestbed\\Installers"}};
    testbed::InstallerLogMark log;
};

TEST_F(MsiTest, TheInformationServerPackageInstallsItsProgramAndKeyAndUninstalls) {
    ASSERT_EQ(Msiexec("/i", "CorvantaISSetup.msi"), 0u);
    EXPECT_TRUE(testbed::FileExists(std::string(kServerFolder) + "\\CorvantaIS.exe"));
    EXPECT_EQ(testbed::MachineString(kServerKey, "InstallPath"), std::string(kServerFolder) + "\\");
    EXPECT_EQ(testbed::MachineString(kServerKey, "Version"), "10.1.0.0");

    auto records = log.NewRecords();
    ASSERT_EQ(records.size(), 1u) << "the installed program runs once";
    EXPECT_EQ(records[0][0], "CorvantaIS.exe");
    EXPECT_EQ(records[0][1], "\"" + kServerProgram + "\" /setup");
    EXPECT_EQ(records[0][3], "0");

    ASSERT_EQ(Msiexec("/x", "CorvantaISSetup.msi"), 0u);
    EXPECT_FALSE(testbed::FileExists(std::string(kServerFolder) + "\\CorvantaIS.exe"));
    EXPECT_FALSE(testbed::MachineString(kServerKey, "InstallPath"));
    EXPECT_EQ(log.NewRecords().size(), 1u) << "nothing runs on uninstallation";
}

TEST_F(MsiTest, AHeldInformationServerInstallationWaitsWithItsProgramInPlace) {
    testbed::SetMachineDword(kServerScenario, "Hold", 1);
    {
        testbed::TempFolder folder;
        testbed::BackgroundRun install({}, MsiexecLine("/i", "CorvantaISSetup.msi"), folder.Path());
        struct Release {
            ~Release() {
                if (testbed::FileExists(kServerHolding)) testbed::WriteWholeFile(kServerRelease, "");
            }
        } releaseOnExit;
        ASSERT_TRUE(testbed::WaitForFile(kServerHolding, 60000));
        EXPECT_TRUE(testbed::FileExists(kServerProgram));
        EXPECT_FALSE(testbed::MachineString(kServerKey, "InstallPath")) << "written after the program ran";
        ::Sleep(300);
        EXPECT_FALSE(install.Finished());
        ASSERT_TRUE(testbed::WriteWholeFile(kServerRelease, ""));
        testbed::ProgramRun run = install.Wait();
        EXPECT_EQ(run.exitCode, 0u);
    }
    EXPECT_EQ(testbed::MachineString(kServerKey, "Version"), "10.1.0.0");
    EXPECT_FALSE(testbed::FileExists(kServerHolding));
    auto records = log.NewRecords();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_TRUE(HasField(records[0], "HOLD=released"));
    ASSERT_EQ(Msiexec("/x", "CorvantaISSetup.msi"), 0u);
}

TEST_F(MsiTest, AFailingInformationServerProgramFailsTheInstallationAndLeavesNothing) {
    for (const char* code : {"1603", "3010"}) {  // msiexec takes any code but 0 as the program's failure
        SCOPED_TRACE(code);
        testbed::SetMachineString(kServerScenario, "ExitCodes", code);
        DWORD result = Msiexec("/i", "CorvantaISSetup.msi");
        // Windows ends a failed installation with 1603; Wine's msiexec says 1627.
        EXPECT_TRUE(result == ERROR_INSTALL_FAILURE || result == ERROR_FUNCTION_FAILED) << result;
        EXPECT_FALSE(testbed::FileExists(kServerProgram)) << "rolled back";
        EXPECT_FALSE(testbed::MachineKeyExists(kServerKey));
        auto records = log.NewRecords();
        ASSERT_FALSE(records.empty());
        EXPECT_EQ(records.back()[3], code);
    }
    // Nothing is registered either: the package installs afresh, running its program again.
    ASSERT_EQ(Msiexec("/i", "CorvantaISSetup.msi"), 0u);
    EXPECT_EQ(log.NewRecords().size(), 3u);
    ASSERT_EQ(Msiexec("/x", "CorvantaISSetup.msi"), 0u);
}

TEST_F(MsiTest, TheNativeClientPackageWritesItsKeyInThe64BitView) {
    ASSERT_EQ(Msiexec("/i", "sqlncli.msi"), 0u);
    EXPECT_EQ(testbed::MachineString(kNativeClientKey, "InstalledVersion"), "11.4.7462.6");
    ASSERT_EQ(Msiexec("/x", "sqlncli.msi"), 0u);
    EXPECT_FALSE(testbed::MachineKeyExists(kNativeClientKey));
}

TEST_F(MsiTest, TheFailingPackageEndsWithInstallFailureAndChangesNothing) {
    EXPECT_EQ(Msiexec("/i", "faults\\failing.msi"), static_cast<DWORD>(ERROR_INSTALL_FAILURE));
    EXPECT_FALSE(testbed::MachineKeyExists("SOFTWARE\\CorvantaTestbed\\FailingPackage"));
}

TEST_F(MsiTest, AFileThatIsNoPackageIsRefused) {
    // Windows answers "package invalid"; Wine's msiexec answers "function failed".
    DWORD code = Msiexec("/i", "faults\\not-a-package.msi");
    EXPECT_TRUE(code == ERROR_INSTALL_PACKAGE_INVALID || code == ERROR_FUNCTION_FAILED) << code;
}

}  // namespace
