// SQL Server detection against the machine's SQL Server WMI provider stand-in.
#include <gtest/gtest.h>
#include <wbemidl.h>

#include "prereq/sql_detection.h"
#include "prereq/sql_setup.h"
#include "resources/resource.h"
#include "support/dialog_fixture.h"
#include "support/registry.h"
#include "ui/field_checks.h"
#include "ui/sql_check.h"
#include "win/text.h"

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
    // Each result of the namespace times out that often before its objects come.
    void SlowHost(int namespaceNumber, DWORD timeouts) {
        const std::string key = std::string(SCENARIO) + "\\ComputerManagement" + std::to_string(namespaceNumber);
        SetRegistryDword(HKEY_LOCAL_MACHINE, key, "TimeoutsBeforeFirstObject", timeouts);
        SetRegistryDword(HKEY_LOCAL_MACHINE, key, "TimeoutWaitMs", 20);
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

TEST_F(SqlDetection, ASlowProviderStillShowsTheInstalledServer) {
    AddInstance(15, "MSSQLSERVER", "15.0.2000.5");
    SlowHost(15, NEXT_RETRIES);
    EXPECT_EQ(context.sql->DetectSqlServer(), 1);
    EXPECT_EQ(context.sql->sqlInstanceCount, 1);
    EXPECT_EQ(context.sql->sqlVersionBits, 0x10u) << "the Version query waited for its object too";
}

TEST_F(SqlDetection, AProviderSlowerThanTheRetriesEndsTheScan) {
    AddInstance(15, "MSSQLSERVER", "15.0.2000.5");
    SlowHost(15, NEXT_RETRIES + 1);
    EXPECT_EQ(context.sql->DetectSqlServer(), 0);
    EXPECT_EQ(context.sql->sqlInstanceCount, 0);
    EXPECT_NE(LogText().find("User Interface:No SQL Editions found\r\n"), std::string::npos);
}

TEST_F(SqlDetection, AServiceNameWithAQuoteIsAskedForItsVersion) {
    AddInstance(15, "MSSQL$O'Brien", "15.0.4153.1");
    EXPECT_EQ(context.sql->DetectSqlServer(), 1);
    EXPECT_EQ(context.sql->defaultInstanceFound, 0);
    EXPECT_EQ(context.sql->sqlVersionBits, 0x10u) << "the provider read the escaped name";
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
}

// Inside a single-quoted WQL literal the backslash escapes the next character.
TEST(SqlDetectionText, EscapesTheQuoteAndTheBackslashOfAName) {
    const struct {
        const wchar_t* name;
        const wchar_t* literal;
    } cases[] = {
        {L"", L""},
        {L"MSSQLSERVER", L"MSSQLSERVER"},
        {L"MSSQL$O'Brien", L"MSSQL$O\\'Brien"},
        {L"MSSQL$A\\B", L"MSSQL$A\\\\B"},
        {L"MSSQL$A'B\\C", L"MSSQL$A\\'B\\\\C"},
        {L"\\'", L"\\\\\\'"},  // each escaped on its own
        {L"O\"Brien", L"O\"Brien"},  // the other quote stands raw in a single-quoted literal
    };
    for (const auto& c : cases) EXPECT_EQ(EscapeWql(c.name), c.literal) << win::ToAnsi(c.name);
}

TEST(SqlDetectionText, AsksASlowProviderAgainAFewTimes) {
    const struct {
        unsigned long hr;
        unsigned long returned;
        int timeouts;
        NextStep step;
    } cases[] = {
        {S_OK, 1, 0, NextStep::TakeObject},
        {S_OK, 1, NEXT_RETRIES, NextStep::TakeObject},  // after its time-outs the objects count
        {WBEM_S_FALSE, 0, 0, NextStep::End},
        {S_OK, 0, 0, NextStep::End},
        {WBEM_S_TIMEDOUT, 0, 0, NextStep::AskAgain},
        {WBEM_S_TIMEDOUT, 0, NEXT_RETRIES - 1, NextStep::AskAgain},
        {WBEM_S_TIMEDOUT, 0, NEXT_RETRIES, NextStep::End},
        {WBEM_E_FAILED, 0, 0, NextStep::End},
        {WBEM_E_INVALID_PARAMETER, 1, 0, NextStep::End},  // a failure never hands out an object
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DecideNext(static_cast<HRESULT>(c.hr), c.returned, c.timeouts), c.step)
            << std::hex << c.hr << std::dec << " " << c.returned << " " << c.timeouts;
    }
}

}  // namespace
