// The package set's Windows Installer packages run by the test machine's own
// msiexec, with the command line the setup uses; each test uninstalls again.
#include <gtest/gtest.h>

#include "machine.h"

namespace {

constexpr char kServerFolder[] = "C:\\Program Files\\CorvantaIS";
constexpr char kServerKey[] = "SOFTWARE\\TovinSoft\\CorvantaIS";
constexpr char kNativeClientKey[] = "SOFTWARE\\Microsoft\\SQLNCLI11";

DWORD Msiexec(const std::string& action, const std::string& package) {
    testbed::TempFolder folder;
    std::string line = "msiexec.exe " + action + " \"" + testbed::InPackageSet(package) + "\" /quiet /norestart";
    testbed::ProgramRun run = testbed::RunProgram({}, line, folder.Path());
    return run.started ? run.exitCode : 0xFFFFFFFFu;
}

class MsiTest : public testing::Test {
protected:
    testbed::KeyGuard keys{{"SOFTWARE\\TovinSoft", kServerKey, kNativeClientKey}};
};

TEST_F(MsiTest, TheInformationServerPackageInstallsItsProgramAndKeyAndUninstalls) {
    ASSERT_EQ(Msiexec("/i", "CorvantaISSetup.msi"), 0u);
    EXPECT_TRUE(testbed::FileExists(std::string(kServerFolder) + "\\CorvantaIS.exe"));
    EXPECT_EQ(testbed::MachineString(kServerKey, "InstallPath"), std::string(kServerFolder) + "\\");
    EXPECT_EQ(testbed::MachineString(kServerKey, "Version"), "10.1.0.0");

    ASSERT_EQ(Msiexec("/x", "CorvantaISSetup.msi"), 0u);
    EXPECT_FALSE(testbed::FileExists(std::string(kServerFolder) + "\\CorvantaIS.exe"));
    EXPECT_FALSE(testbed::MachineString(kServerKey, "InstallPath"));
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
