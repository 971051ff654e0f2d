// The fake installers' plain decisions: how they split a command line, take
// exit codes from a scenario list, read pauses and wait for a release, read
// SQL Server switches and write records.
#include <gtest/gtest.h>

#include "call_record.h"
#include "command_line.h"
#include "pauses.h"
#include "scenario.h"
#include "sql_switches.h"

namespace {

using Arguments = std::vector<std::string>;

TEST(CommandLineSplitting, FollowsTheRuntimesQuotingRules) {
    struct Case {
        const char* line;
        Arguments expected;
    };
    const Case cases[] = {
        {"prog /install /quiet /norestart", {"prog", "/install", "/quiet", "/norestart"}},
        {"/install /quiet /norestart", {"/install", "/quiet", "/norestart"}},
        {"\"C:\\Program Files\\x.exe\"  /a", {"C:\\Program Files\\x.exe", "/a"}},
        {"C:\\dir\\\"q.exe /a", {"C:\\dir\\q.exe /a"}},  // no escapes in the program name
        {"p /SAPWD=\"a b\"", {"p", "/SAPWD=a b"}},
        {"p /SAPWD=\"a\"\"b\"", {"p", "/SAPWD=a\"b"}},
        {"p /SAPWD=\"p\"\"q r\"", {"p", "/SAPWD=p\"q r"}},
        {"p a\\\\\\\"b", {"p", "a\\\"b"}},
        {"p \"a\\\\\" b", {"p", "a\\", "b"}},
        {"p /SQLUSERDBDIR=E:\\\\sqldata\\", {"p", "/SQLUSERDBDIR=E:\\\\sqldata\\"}},
        {"p \t a \t\tb  ", {"p", "a", "b"}},
        {"p \"\"", {"p", ""}},
    };
    for (const Case& c : cases) EXPECT_EQ(fake::SplitCommandLine(c.line), c.expected) << c.line;
}

TEST(ScenarioExitCodes, AreTakenOneAtATimeFromTheFront) {
    struct Case {
        const char* list;
        bool valid;
        DWORD code;
        const char* rest;
    };
    const Case cases[] = {
        {"1,1,0", true, 1, "1,0"},
        {" 3010 , 0", true, 3010, "0"},
        {"0x84B40000", true, 0x84B40000, ""},
        {"1641", true, 1641, ""},
        {"", true, 0, ""},
        {"  ", true, 0, ""},
        {"abc,0", false, 0, "0"},
        {"4294967296,1", false, 0, "1"},
        {"0x,1", false, 0, "1"},
        {"-1", false, 0, ""},
    };
    for (const Case& c : cases) {
        fake::ExitCodeTake take = fake::TakeFirstExitCode(c.list);
        EXPECT_EQ(take.valid, c.valid) << c.list;
        EXPECT_EQ(take.code, c.code) << c.list;
        EXPECT_EQ(take.rest, c.rest) << c.list;
    }
}

TEST(ScenarioPauses, AreReadFromTheRawValuesWithTheirDefaultsAndLimits) {
    using Value = std::optional<DWORD>;
    struct Case {
        Value hold, timeout, sleep;
        bool holds;
        DWORD limitMs, sleepMs;
    };
    const Case cases[] = {
        {{}, {}, {}, false, 120000, 0},
        {1, {}, {}, true, 120000, 0},
        {0, {}, {}, false, 120000, 0},
        {2, {}, {}, true, 120000, 0},
        {1, 300, {}, true, 300, 0},
        {1, 0, {}, true, 0, 0},
        {1, 120000, {}, true, 120000, 0},
        {1, 120001, {}, true, 120000, 0},
        {1, 0xFFFFFFFF, {}, true, 120000, 0},
        {{}, {}, 10000, false, 120000, 10000},
        {{}, {}, 0, false, 120000, 0},
    };
    for (const Case& c : cases) {
        fake::PauseSettings settings = fake::ReadPauseSettings(c.hold, c.timeout, c.sleep);
        std::string what = "hold " + std::to_string(c.hold.value_or(99)) + " timeout " +
                           std::to_string(c.timeout.value_or(99)) + " sleep " + std::to_string(c.sleep.value_or(99));
        EXPECT_EQ(settings.hold, c.holds) << what;
        EXPECT_EQ(settings.holdLimitMs, c.limitMs) << what;
        EXPECT_EQ(settings.sleepMs, c.sleepMs) << what;
    }
}

TEST(HoldRelease, IsLookedForEvery50MsUntilTheLimitAndOnceMoreAtIt) {
    struct Case {
        ULONGLONG releasedAtMs;  // when the release file appears (never: ~0)
        DWORD limitMs;
        fake::HoldResult result;
        int looks;            // times the release file is looked for
        ULONGLONG endedAtMs;  // on the clock when the wait ends
    };
    constexpr ULONGLONG kNever = ~0ull;
    const Case cases[] = {
        {0, 120000, fake::HoldResult::released, 1, 0},
        {1, 120000, fake::HoldResult::released, 2, 50},
        {50, 120000, fake::HoldResult::released, 2, 50},
        {120, 120000, fake::HoldResult::released, 4, 150},
        {kNever, 0, fake::HoldResult::timedOut, 1, 0},
        {kNever, 120, fake::HoldResult::timedOut, 4, 120},
        {kNever, 150, fake::HoldResult::timedOut, 4, 150},
        {120, 120, fake::HoldResult::released, 4, 120},  // the last look, at the limit
        {kNever, 120000, fake::HoldResult::timedOut, 2401, 120000},
    };
    for (const Case& c : cases) {
        ULONGLONG clock = 1000000;  // anywhere: only differences count
        const ULONGLONG start = clock;
        int looks = 0;
        fake::HoldResult result = fake::WaitForRelease(
            [&] {
                ++looks;
                return clock - start >= c.releasedAtMs;
            },
            [&] { return clock; }, [&](DWORD ms) { clock += ms; }, c.limitMs);
        std::string what = "released at " + std::to_string(c.releasedAtMs) + ", limit " + std::to_string(c.limitMs);
        EXPECT_EQ(result, c.result) << what;
        EXPECT_EQ(looks, c.looks) << what;
        EXPECT_EQ(clock - start, c.endedAtMs) << what;
    }
}

TEST(HoldRelease, CountsTimeThatPassesWhileLookingToo) {
    // A slow look (a busy machine) uses up the hold's time like the waits do.
    ULONGLONG clock = 0;
    int looks = 0;
    fake::HoldResult result = fake::WaitForRelease(
        [&] {
            ++looks;
            clock += 70;
            return false;
        },
        [&] { return clock; }, [&](DWORD ms) { clock += ms; }, 200);
    EXPECT_EQ(result, fake::HoldResult::timedOut);
    EXPECT_EQ(looks, 3);  // at 0 (ends 70), 120 (ends 190), 200 (ends 270)
}

TEST(PauseRecords, NameTheOutcomeAndTheFiles) {
    EXPECT_EQ(fake::HoldField(fake::HoldResult::released), "HOLD=released");
    EXPECT_EQ(fake::HoldField(fake::HoldResult::timedOut), "HOLD=timed-out");
    EXPECT_EQ(fake::HoldField(fake::HoldResult::failed), "HOLD=failed");
    EXPECT_EQ(fake::SleepField(10000), "SLEEPMS=10000");
    EXPECT_EQ(fake::HoldingFile("VC_redist.x64.exe"), "C:\\CorvantaTestbed\\VC_redist.x64.exe.holding");
    EXPECT_EQ(fake::ReleaseFile("CorvantaIS.exe"), "C:\\CorvantaTestbed\\CorvantaIS.exe.release");
}

Arguments SetupSwitches(const std::string& password, const std::string& instance = "MSSQLSERVER") {
    return {"/QS", "/IACCEPTSQLSERVERLICENSETERMS", "/SUPPRESSPRIVACYSTATEMENTNOTICE", "/FEATURES=SQLEngine",
            "/SECURITYMODE=SQL", "/SAPWD=" + password, "/ACTION=install", "/INSTANCENAME=" + instance,
            "/SQLUSERDBDIR=E:\\\\sqldata\\", "/SQLBACKUPDIR=E:\\\\sqlbackup\\"};
}

TEST(SqlSwitches, AcceptTheSetupsCommandLineAndKeepEveryValue) {
    fake::SqlRequest request;
    fake::SqlRefusal refusal = fake::ParseSqlSwitches(SetupSwitches("a\"b c"), request);
    EXPECT_EQ(refusal.code, 0u) << refusal.message;
    EXPECT_EQ(request.saPassword, "a\"b c");
    EXPECT_EQ(request.instanceName, "MSSQLSERVER");
    EXPECT_EQ(request.userDbDir, "E:\\\\sqldata\\");
    EXPECT_EQ(request.backupDir, "E:\\\\sqlbackup\\");
    EXPECT_EQ(request.parsed.front(), "QS");
    EXPECT_EQ(request.parsed[5], "SAPWD=a\"b c");
}

TEST(SqlSwitches, AreReadWithoutRegardToLetterCase) {
    fake::SqlRequest request;
    Arguments arguments = {"/qs", "/iacceptsqlserverlicenseterms", "/features=sqlengine", "/sapwd=x",
                           "/action=Install", "/instancename=sql19express"};
    EXPECT_EQ(fake::ParseSqlSwitches(arguments, request).code, 0u);
    EXPECT_EQ(request.instanceName, "sql19express");
}

TEST(SqlSwitches, RefuseWhatTheRealSetupRefuses) {
    struct Case {
        const char* leaveOut;  // a switch of the setup's line to drop
        const char* add;       // an argument to add
        DWORD code;
    };
    const Case cases[] = {
        {"/IACCEPTSQLSERVERLICENSETERMS", nullptr, fake::kSqlLicenseTermsMissing},
        {"/SAPWD=", nullptr, fake::kSqlPasswordMissing},
        {"/QS", nullptr, fake::kSqlInvalidParameter},
        {"/ACTION=", nullptr, fake::kSqlInvalidParameter},
        {"/FEATURES=", nullptr, fake::kSqlInvalidParameter},
        {"/INSTANCENAME=", nullptr, fake::kSqlInvalidParameter},
        {nullptr, "/UNKNOWNSWITCH=1", fake::kSqlInvalidParameter},
        {nullptr, "/QS", fake::kSqlInvalidParameter},  // twice
        {nullptr, "/Q=1", fake::kSqlInvalidParameter},
        {nullptr, "install", fake::kSqlInvalidParameter},
    };
    for (const Case& c : cases) {
        Arguments arguments;
        for (const std::string& a : SetupSwitches("secret"))
            if (!c.leaveOut || a.rfind(c.leaveOut, 0) != 0) arguments.push_back(a);
        if (c.add) arguments.push_back(c.add);
        fake::SqlRequest request;
        fake::SqlRefusal refusal = fake::ParseSqlSwitches(arguments, request);
        EXPECT_EQ(refusal.code, c.code) << (c.leaveOut ? c.leaveOut : c.add);
        EXPECT_FALSE(refusal.message.empty());
    }
}

TEST(SqlSwitches, RefuseBadValues) {
    const std::pair<const char*, const char*> cases[] = {
        {"/SAPWD=", ""},           {"/ACTION=", "uninstall"},     {"/FEATURES=", "SQLEngine,AS"},
        {"/SECURITYMODE=", "WIN"}, {"/INSTANCENAME=", "1st"},     {"/INSTANCENAME=", "ABCDEFGHIJKLMNOPQ"},
        {"/INSTANCENAME=", "a-b"},
    };
    for (const auto& [prefix, value] : cases) {
        Arguments arguments;
        for (const std::string& a : SetupSwitches("secret"))
            arguments.push_back(a.rfind(prefix, 0) == 0 ? std::string(prefix) + value : a);
        fake::SqlRequest request;
        EXPECT_NE(fake::ParseSqlSwitches(arguments, request).code, 0u) << prefix << value;
    }
}

TEST(SqlInstanceNames, GiveTheServiceNameAndInstanceIdInCapitals) {
    EXPECT_EQ(fake::SqlServiceName("MSSQLSERVER"), "MSSQLSERVER");
    EXPECT_EQ(fake::SqlServiceName("mssqlserver"), "MSSQLSERVER");
    EXPECT_EQ(fake::SqlServiceName("SQL19Express"), "MSSQL$SQL19EXPRESS");
    EXPECT_EQ(fake::SqlInstanceId("SQL19Express"), "MSSQL16.SQL19EXPRESS");
    EXPECT_EQ(fake::SqlInstanceId("MSSQLSERVER"), "MSSQL16.MSSQLSERVER");
}

TEST(CallRecords, AreOneTabSeparatedLineWhateverTheFieldsHold) {
    fake::CallRecord record{"SQLEXPR_x64_ENU.exe", "x /SAPWD=\"a\tb\"", "C:\\up\r\ndate", 0x84B40000,
                            {"SAPWD=a\tb", "QS"}};
    EXPECT_EQ(fake::FormatRecord(record),
              "SQLEXPR_x64_ENU.exe\tx /SAPWD=\"a\\x09b\"\tC:\\up\\x0D\\x0Adate\t2226388992\tSAPWD=a\\x09b\tQS\r\n");
}

}  // namespace
