// SQL Server detection against the machine's SQL Server WMI provider stand-in.
#include <gtest/gtest.h>

#include "prereq/sql_detection.h"
#include "prereq/sql_setup.h"
#include "resources/resource.h"
#include "support/dialog_fixture.h"
#include "support/registry.h"
#include "ui/field_checks.h"
#include "ui/sql_check.h"

namespace {

constexpr char SCENARIO[] = "SOFTWARE\\CorvantaTestbed\\SqlWmi";
constexpr char NATIVE_CLIENT[] = "SOFTWARE\\Microsoft\\SQLNCLI11";

class SqlDetection : public ContextTest {
protected:
    RegistryCleanup cleanup{HKEY_LOCAL_MACHINE, {SCENARIO, NATIVE_CLIENT}};

    void AddInstance(int namespaceNumber, const std::string& service, const char* version) {
        const std::string key = std::string(SCENARIO) + "\\ComputerManagement" + std::to_string(namespaceNumber) +
                                "\\" + service;
        SetRegistryString(HKEY_LOCAL_MACHINE, key, "instanceID", "MSSQL.x");
        if (version) SetRegistryString(HKEY_LOCAL_MACHINE, key, "Version", version);
    }
};

TEST_F(SqlDetection, NoProviderMeansNoSqlServer) {
    EXPECT_EQ(context.sql->DetectSqlServer(), 0);
    EXPECT_EQ(context.sql->sqlInstanceCount, 0);
    EXPECT_EQ(LogText(), "User Interface:Checking whether SQL Server installed\r\n");
}

TEST_F(SqlDetection, ADefaultInstanceOf15IsSuitableAndCountsOnEveryRun) {
    AddInstance(15, "MSSQLSERVER", "15.0.2000.5");
    EXPECT_EQ(context.sql->DetectSqlServer(), 1);
    EXPECT_EQ(context.sql->defaultInstanceFound, 1);
    EXPECT_EQ(context.sql->sqlInstanceCount, 1);
    EXPECT_EQ(context.sql->sqlVersionBits, 0x10u);
    EXPECT_EQ(context.sql->DetectSqlServer(), 1);
    EXPECT_EQ(context.sql->sqlInstanceCount, 2);
    EXPECT_NE(LogText().find("User Interface:Checking SQL Editions\r\nUser Interface:Checked SQL Editions\r\n"),
              std::string::npos);
}

TEST_F(SqlDetection, ANamed14NeedsTheNativeClientToBeSuitable) {
    AddInstance(14, "MSSQL$INST1", "14.0.1000.169");
    EXPECT_EQ(context.sql->DetectSqlServer(), 0);
    EXPECT_EQ(context.sql->defaultInstanceFound, 0);
    EXPECT_EQ(context.sql->sqlInstanceCount, 1);
    EXPECT_EQ(context.sql->sqlVersionBits, 0x8u);
    EXPECT_EQ(context.sql->sqlSetupFlags, SQL_NATIVE_CLIENT_MISSING);
    CreateRegistryKey(HKEY_LOCAL_MACHINE, NATIVE_CLIENT);
    EXPECT_EQ(context.sql->DetectSqlServer(), 1);
    EXPECT_EQ(context.sql->sqlVersionBits, 0x28u);
}

TEST_F(SqlDetection, OnlyVersion11AndVersionlessInstancesAreNotCounted) {
    AddInstance(11, "MSSQLSERVER", "11.0.2100.60");
    AddInstance(11, "MSSQL$NOVERSION", nullptr);
    AddInstance(15, "MSSQL$NEWER", "15.0.2000.5");  // the lowest namespace present is the one asked
    EXPECT_EQ(context.sql->DetectSqlServer(), 0);
    EXPECT_EQ(context.sql->sqlVersionBits, 0x1u);
    EXPECT_EQ(context.sql->sqlInstanceCount, 0);
    EXPECT_NE(LogText().find("User Interface:No SQL Editions found\r\n"), std::string::npos);
}

TEST_F(SqlDetection, ASuitableServerHidesTheSqlFieldsOfTheServerSide) {
    AddInstance(16, "MSSQLSERVER", "16.0.1000.6");
    OpenDialog(IDD_SETUP, MODE_INSTALL);
    CheckSetupType(context, "Both");
    // The detection starts once the check is done; the fields wait for it.
    MSG start;
    ASSERT_TRUE(::PeekMessageA(&start, context.dialog, WM_SQL_CHECK, WM_SQL_CHECK, PM_REMOVE));
    ::DispatchMessageA(&start);
    for (int id : {IDC_PORT, IDC_SETUP_TYPE, IDOK, IDC_SEARCH, IDC_DARK_MODE}) {
        EXPECT_FALSE(::IsWindowEnabled(Control(id))) << id;
    }
    EXPECT_TRUE(::IsWindowEnabled(Control(IDCANCEL)));
    WaitForDialogChecks();
    EXPECT_EQ(ControlText(IDC_STATUS_LINE).rfind("User Interface:", 0), 0u) << ControlText(IDC_STATUS_LINE);
    EXPECT_TRUE(Shown(IDC_PORT));
    EXPECT_TRUE(::IsWindowEnabled(Control(IDOK)));
    for (int id : {IDC_INSTALL_SQL_LABEL, IDC_INSTALL_SQL, IDC_PASSWORD, IDC_PASSWORD_REPEAT}) EXPECT_FALSE(Visible(id));
}

TEST(SqlDetectionText, ReadsInstanceNamesAndMajorVersions) {
    EXPECT_EQ(InstanceNameOf(L"MSSQL$INST1"), L"INST1");
    EXPECT_EQ(InstanceNameOf(L"MSSQLSERVER"), L"MSSQLSERVER");
    EXPECT_EQ(InstanceNameOf(L""), L"");
    EXPECT_EQ(MajorVersionOf(L"  15.0.2000.5"), 15);
    EXPECT_EQ(MajorVersionOf(L"v15"), 0);
    EXPECT_EQ(VersionBit(11), 0x1u);
    EXPECT_EQ(VersionBit(16), 0x20u);
    EXPECT_EQ(VersionBit(17), 0u);
    EXPECT_EQ(EscapeWql(L"MSSQL$A'B\\C"), L"MSSQL$A\\'B\\\\C");
}

}  // namespace
