// The VC runtime redistributables of the package set, run in the test
// machine the way the setup runs them.
#include <gtest/gtest.h>

#include "machine.h"

namespace {

using testbed::MachineDword;
using testbed::MachineKeyExists;
using testbed::MachineString;

constexpr char kRuntime12x86[] = "SOFTWARE\\Wow6432Node\\Microsoft\\VisualStudio\\12.0\\VC\\Runtimes\\X86";
constexpr char kRuntime12x64[] = "SOFTWARE\\Microsoft\\VisualStudio\\12.0\\VC\\Runtimes\\X64";
constexpr char kRuntime14x64[] = "SOFTWARE\\Microsoft\\VisualStudio\\14.0\\VC\\Runtimes\\x64";
constexpr char kSwitches[] = "/install /quiet /norestart";

std::string ScenarioKey(const std::string& installer) {
    return "SOFTWARE\\CorvantaTestbed\\Installers\\" + installer;
}

class VcRedistTest : public testing::Test {
protected:
    void SetUp() override { RemoveRuntimes(); }
    void TearDown() override { RemoveRuntimes(); }

    static void RemoveRuntimes() {
        for (const char* key : {kRuntime12x86, kRuntime12x64, kRuntime14x64}) testbed::DeleteMachineKey(key);
    }

    testbed::ProgramRun Run(const std::string& installer, const std::string& commandLine = kSwitches) {
        return testbed::RunProgram(testbed::InPackageSet(installer), commandLine, updateFolder.Path(), true);
    }

    testbed::KeyGuard keys{{"SOFTWARE\\CorvantaTestbed", "SOFTWARE\\CorvantaTestbed\\Installers",
                            ScenarioKey("vcredist_x32.exe"), ScenarioKey("vcredist_x64.exe"),
                            ScenarioKey("VC_redist.x64.exe"), "SOFTWARE\\Microsoft\\VisualStudio",
                            "SOFTWARE\\Microsoft\\VisualStudio\\12.0", "SOFTWARE\\Microsoft\\VisualStudio\\14.0",
                            "SOFTWARE\\Wow6432Node\\Microsoft\\VisualStudio",
                            "SOFTWARE\\Wow6432Node\\Microsoft\\VisualStudio\\12.0"}};
    testbed::InstallerLogMark log;
    testbed::TempFolder updateFolder;
};

TEST_F(VcRedistTest, EachRedistributableRegistersItsOwnRuntimeAndRecordsTheCall) {
    const std::pair<const char*, const char*> cases[] = {
        {"vcredist_x32.exe", kRuntime12x86}, {"vcredist_x64.exe", kRuntime12x64}, {"VC_redist.x64.exe", kRuntime14x64}};
    for (const auto& [installer, key] : cases) {
        RemoveRuntimes();
        testbed::ProgramRun run = Run(installer);
        ASSERT_TRUE(run.started) << installer;
        EXPECT_EQ(run.exitCode, 0u) << installer;
        EXPECT_EQ(MachineDword(key, "Installed"), 1u) << installer;
        for (const char* other : {kRuntime12x86, kRuntime12x64, kRuntime14x64})
            if (other != key) {
                EXPECT_FALSE(MachineKeyExists(other)) << installer << " wrote " << other;
            }
    }
    auto records = log.NewRecords();
    ASSERT_EQ(records.size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        ASSERT_EQ(records[i].size(), 4u);
        EXPECT_EQ(records[i][0], cases[i].first);
        EXPECT_EQ(records[i][1], kSwitches);
        EXPECT_EQ(records[i][2], updateFolder.Path());
        EXPECT_EQ(records[i][3], "0");
    }
}

TEST_F(VcRedistTest, Runtime14IsRegisteredWithItsVersion) {
    ASSERT_EQ(Run("VC_redist.x64.exe").exitCode, 0u);
    EXPECT_EQ(MachineString(kRuntime14x64, "Version"), "v14.29.30133.00");
    EXPECT_EQ(MachineDword(kRuntime14x64, "Major"), 14u);
    EXPECT_EQ(MachineDword(kRuntime14x64, "Minor"), 29u);
    EXPECT_EQ(MachineDword(kRuntime14x64, "Bld"), 30133u);
    EXPECT_EQ(MachineDword(kRuntime14x64, "Rev"), 0u);
}

TEST_F(VcRedistTest, TheProgramPathMayLeadTheSwitches) {
    std::string path = testbed::InPackageSet("vcredist_x64.exe");
    EXPECT_EQ(Run("vcredist_x64.exe", "\"" + path + "\" " + kSwitches).exitCode, 0u);
    EXPECT_EQ(MachineDword(kRuntime12x64, "Installed"), 1u);
}

TEST_F(VcRedistTest, AWrongCommandLineIsRefusedWith87AndLeavesTheScenarioAlone) {
    testbed::SetMachineString(ScenarioKey("vcredist_x64.exe"), "ExitCodes", "5");
    const char* lines[] = {"/install /quiet", "/passive /norestart", "/quiet /norestart", "/install/quiet/norestart",
                           "/install /quiet /restart"};
    for (const char* line : lines) {
        testbed::ProgramRun run = Run("vcredist_x64.exe", line);
        EXPECT_EQ(run.exitCode, 87u) << line;
        EXPECT_NE(run.err.find(std::string("expected the switches /install /quiet /norestart, got: ") + line),
                  std::string::npos)
            << run.err;
        EXPECT_FALSE(MachineKeyExists(kRuntime12x64)) << line;
    }
    EXPECT_EQ(MachineString(ScenarioKey("vcredist_x64.exe"), "ExitCodes"), "5");
    auto records = log.NewRecords();
    ASSERT_EQ(records.size(), std::size(lines));
    for (size_t i = 0; i < records.size(); ++i) {
        EXPECT_EQ(records[i][1], lines[i]);
        EXPECT_EQ(records[i][3], "87");
    }
}

TEST_F(VcRedistTest, ExitCodesComeFromTheScenarioInOrderAndOnlySuccessRegisters) {
    const std::string key = ScenarioKey("VC_redist.x64.exe");
    testbed::SetMachineString(key, "ExitCodes", "1,1603,3010,1641");
    struct Step {
        DWORD code;
        bool registered;
        const char* listAfter;
    };
    const Step steps[] = {
        {1, false, "1603,3010,1641"}, {1603, false, "3010,1641"}, {3010, true, "1641"}, {1641, true, ""}, {0, true, ""}};
    for (const Step& step : steps) {
        testbed::DeleteMachineKey(kRuntime14x64);
        EXPECT_EQ(Run("VC_redist.x64.exe").exitCode, step.code);
        EXPECT_EQ(MachineKeyExists(kRuntime14x64), step.registered) << step.code;
        EXPECT_EQ(MachineString(key, "ExitCodes"), step.listAfter) << step.code;
    }
    auto records = log.NewRecords();
    ASSERT_EQ(records.size(), std::size(steps));
    EXPECT_EQ(records[1][3], "1603");
    EXPECT_EQ(records[2][3], "3010");
}

TEST_F(VcRedistTest, AMalformedScenarioEntryIsTakenAndShownAsInvalidData) {
    testbed::SetMachineString(ScenarioKey("vcredist_x32.exe"), "ExitCodes", "oops,0");
    EXPECT_EQ(Run("vcredist_x32.exe").exitCode, static_cast<DWORD>(ERROR_INVALID_DATA));
    EXPECT_FALSE(MachineKeyExists(kRuntime12x86));
    EXPECT_EQ(Run("vcredist_x32.exe").exitCode, 0u);
    EXPECT_TRUE(MachineKeyExists(kRuntime12x86));
}

}  // namespace
