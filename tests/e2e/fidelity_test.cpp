// The setup on machines that behave as real Windows Servers do: no source for
// NetFx3, DISM asking for a restart, a SQL Server found through escaped WQL
// and through a slow provider, port 8080 taken, IIS management missing for
// the information server, and the downloads folder hidden from the web.
#include <gtest/gtest.h>

#include <tuple>

#include "resources/resource.h"
#include "support/registry.h"
#include "support/temp_folder.h"
#include "support/testbed_access.h"
#include "tests/e2e/scenario.h"

namespace {

using namespace e2e;

constexpr char DISM_SCENARIO[] = "SOFTWARE\\CorvantaTestbed\\Dism";
constexpr char WMI_SCENARIO[] = "SOFTWARE\\CorvantaTestbed\\SqlWmi\\ComputerManagement15";
constexpr char FINAL_BOX[] = "User Interface:TovinSoft Corvanta Version 10.1 App: ";
constexpr char IIS_CLASS[] = "Software\\Classes\\CLSID\\{2B72133B-3F5B-4602-8952-803546CE3344}\\InprocServer32";

class Fidelity : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(server.Missing(), "");
        ResetMachine();
    }
    std::pair<DWORD, std::string> Quiet(const std::string& tail) {
        const QuietOutcome outcome = RunQuietSetup("/quiet " + tail);
        EXPECT_TRUE(outcome.windows.empty()) << outcome.windows[0];
        return {outcome.exitCode, outcome.log};
    }
    // A SQL Server the WMI stand-in reports in its ComputerManagement15 namespace.
    static void ReportSqlServer(const std::string& service, const std::string& version) {
        const std::string key = std::string(WMI_SCENARIO) + "\\" + service;
        SetRegistryString(HKEY_LOCAL_MACHINE, key, "instanceID", "MSSQL15.INSTANCE");
        SetRegistryString(HKEY_LOCAL_MACHINE, key, "Version", version);
    }

    testbed::DownloadServerState server;
};

TEST_F(Fidelity, NetFx3WithoutItsSourceLeavesOneFeatureOffAndStillSetsUpTheSite) {
    SetRegistryDword(HKEY_LOCAL_MACHINE, DISM_SCENARIO, "SourceFailure", 0x800F081F);
    SetupSession setup;
    Choices choices;
    choices.setupType = "Server";
    setup.FillIn(choices);
    const Outcome outcome = setup.PressOk();
    EXPECT_EQ(outcome.exitCode, 1u) << outcome.log;
    EXPECT_EQ(outcome.finalBox.rfind("Setup completed with errors. See the setup log: ", 0), 0u) << outcome.finalBox;
    const size_t line = outcome.log.find("Server Setup:Could not enable IIS-NetFxExtensibility: ");
    ASSERT_NE(line, std::string::npos) << outcome.log;
    EXPECT_NE(outcome.log.find(". Its files are not on this machine: give Windows a source (installation media) and run "
                               "the repair.\r\n",
                               line),
              std::string::npos);
    EXPECT_EQ(outcome.log.find("Could not enable IIS-StaticContent"), std::string::npos) << "the others are enabled";
    EXPECT_EQ(RegistryString(HKEY_LOCAL_MACHINE, std::string(DISM_SCENARIO) + "\\Features", "IIS-NetFxExtensibility"),
              "<absent>");
    EXPECT_TRUE(HasLine(outcome.log, "Server Setup:Successfully Created Website:TCorvanta108080  with application "
                                     "pool:TCorvanta108080"));
}

TEST_F(Fidelity, DismAskingForARestartEndsWith3010AndTheNote) {
    SetRegistryDword(HKEY_LOCAL_MACHINE, DISM_SCENARIO, "RestartRequired", 1);
    const auto [code, log] = Quiet("/type=server /port=8080");
    EXPECT_EQ(code, 3010u) << log;
    EXPECT_TRUE(HasLine(log, "Server Setup:The IIS features need a restart to complete"));
    EXPECT_TRUE(HasLine(log, std::string(FINAL_BOX) +
                                 "Successfuly completed Setup Please restart the computer to complete the installation."));
}

TEST_F(Fidelity, ASqlServerIsFoundThroughEscapedWqlAndThroughASlowProvider) {
    // A service name with a quote is found only when its literal is escaped as WQL escapes it.
    ReportSqlServer("MSSQL$O'Brien", "15.0.4153.1");
    ASSERT_TRUE(WriteFileText("C:\\CorvantaTestbed\\sa.txt", "Ab1$cdef"));
    auto [code, log] = Quiet("/type=server /port=8080 /sql=yes /sapwdfile=C:\\CorvantaTestbed\\sa.txt");
    EXPECT_EQ(code, 0u) << log;
    EXPECT_TRUE(HasLine(log, "SQL Server Install:A SQL Server is installed already; SQL Server Express is not installed"))
        << log;
    EXPECT_TRUE(InstallerRuns("SQLEXPR_x64_ENU.exe").empty());

    // The provider host answers its first calls with a time-out and no object.
    ResetMachine();
    ReportSqlServer("MSSQLSERVER", "15.0.2000.5");
    SetRegistryDword(HKEY_LOCAL_MACHINE, WMI_SCENARIO, "TimeoutsBeforeFirstObject", 2);
    SetRegistryDword(HKEY_LOCAL_MACHINE, WMI_SCENARIO, "TimeoutWaitMs", 50);
    ASSERT_TRUE(WriteFileText("C:\\CorvantaTestbed\\sa.txt", "Ab1$cdef"));
    std::tie(code, log) = Quiet("/type=server /port=8080 /sql=yes /sapwdfile=C:\\CorvantaTestbed\\sa.txt");
    EXPECT_EQ(code, 0u) << log;
    EXPECT_TRUE(HasLine(log, "SQL Server Install:A SQL Server is installed already; SQL Server Express is not installed"))
        << "a slow provider must not hide it";
    EXPECT_TRUE(InstallerRuns("SQLEXPR_x64_ENU.exe").empty());
}

TEST_F(Fidelity, APortConflictWithPort8080TakenMovesNothingAndMakesNoSite) {
    IisScenario taken("port-8080-taken");
    const std::string before = ReadFileText(IIS_CONFIG);
    const auto [code, log] = Quiet("/type=server /port=80");
    EXPECT_EQ(code, 1u) << log;
    EXPECT_TRUE(HasLine(log, "Server Setup:80 is already in use on Default Web Site and port 8080 is taken too; the web "
                             "site was not created"))
        << log;
    EXPECT_NE(log.find(std::string(FINAL_BOX) + "Setup completed with errors. See the setup log: "), std::string::npos);
    EXPECT_EQ(ReadFileText(IIS_CONFIG), before) << "nothing moved, nothing made";
}

TEST_F(Fidelity, TheInformationServerNeedsNoIisManagement) {
    const std::string dll = RegistryString(HKEY_LOCAL_MACHINE, IIS_CLASS, "");
    DeleteRegistryTree(HKEY_LOCAL_MACHINE, IIS_CLASS);
    const auto [code, log] = Quiet("/type=server /port=1465");
    SetRegistryString(HKEY_LOCAL_MACHINE, IIS_CLASS, "", dll);
    SetRegistryString(HKEY_LOCAL_MACHINE, IIS_CLASS, "ThreadingModel", "Both");
    EXPECT_EQ(code, 0u) << log;
    EXPECT_TRUE(HasLine(log, "Server Setup:You have not selected IIS management tootls and scripts in IIS Installation. "
                             "Please add these features"));
    EXPECT_TRUE(FileExists("c:\\program Files\\CorvantaIS\\corvantais.cfg"));
    EXPECT_TRUE(HasLine(log, std::string(FINAL_BOX) + "Successfuly completed Setup"));
}

TEST_F(Fidelity, TheDownloadedInstallersAreNotServedByTheSite) {
    const auto [code, log] = Quiet("/type=server /port=8080");
    ASSERT_EQ(code, 0u) << log;
    const std::string site = IisSiteWebConfig("TCorvanta108080");
    EXPECT_NE(site.find(R"(<add segment="Update" />)"), std::string::npos) << site;
    EXPECT_EQ(site.find(R"(segment="cab")"), std::string::npos) << "the client cabinets stay served";
}

}  // namespace
