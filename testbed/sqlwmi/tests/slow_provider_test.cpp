// A slow provider host: Next and Skip time out before the first object, each
// result on its own, and the record shows every time-out.
#include <chrono>

#include <gtest/gtest.h>

#include "tests/wmi_client.h"

namespace sqlwmi::test {
namespace {

constexpr wchar_t kNamespace[] = L"ComputerManagement15";
constexpr HRESULT kTimedOut = WBEM_S_TIMEDOUT;

long long MillisecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
}

class SlowProviderTest : public ScenarioTest {
protected:
    void SetUp() override {
        ScenarioTest::SetUp();
        AddServices();
    }
    static void AddServices() {
        AddService(kNamespace, L"MSSQLSERVER", L"MSSQL15.MSSQLSERVER", L"15.0.2000.5");
        AddService(kNamespace, L"MSSQL$INST1", L"MSSQL15.INST1", L"15.0.4123.1");
    }
    void MakeSlow(DWORD timeouts, const DWORD* waitMs) {
        SetNamespaceNumber(kNamespace, L"TimeoutsBeforeFirstObject", timeouts);
        if (waitMs) SetNamespaceNumber(kNamespace, L"TimeoutWaitMs", *waitMs);
    }
    win::ComPtr<IEnumWbemClassObject> Start(const std::wstring& text, LONG flags = kSetupQueryFlags) {
        win::ComPtr<IWbemServices> services;
        EXPECT_EQ(Connect(SqlPath(15), services), S_OK);
        win::ComPtr<IEnumWbemClassObject> result;
        if (services) {
            EXPECT_EQ(Query(services.Get(), text, result, flags), S_OK);
        }
        return result;
    }
};

struct NextStep {
    HRESULT hr;
    ULONG returned;
    long long atLeastMs;
};

TEST_F(SlowProviderTest, NextTimesOutWithoutAnObjectAndThenDeliversEverything) {
    const DWORD wait = 50;
    MakeSlow(2, &wait);
    const size_t start = RecordSize();
    const auto result = Start(kInstanceIdQuery);
    ASSERT_TRUE(result);

    const NextStep steps[] = {
        {kTimedOut, 0, 40},
        {kTimedOut, 0, 40},
        {S_OK, 1, 0},
        {S_OK, 1, 0},
        {static_cast<HRESULT>(WBEM_S_FALSE), 0, 0},
    };
    for (size_t i = 0; i < std::size(steps); ++i) {
        win::ComPtr<IWbemClassObject> object;
        ULONG returned = 99;
        const auto before = std::chrono::steady_clock::now();
        EXPECT_EQ(result->Next(10000, 1, object.Put(), &returned), steps[i].hr) << "call " << i;
        const long long took = MillisecondsSince(before);
        EXPECT_EQ(returned, steps[i].returned) << "call " << i;
        EXPECT_GE(took, steps[i].atLeastMs) << "call " << i;
        EXPECT_LT(took, 5000) << "call " << i;
        EXPECT_EQ(static_cast<bool>(object), steps[i].returned == 1) << "call " << i;
    }

    const std::string record = RecordFrom(start);
    const char* const lines[] = {
        "next ComputerManagement15 instanceID of every service -> 0x00040004 timed out after 50 ms (1 of 2)\r\n",
        "next ComputerManagement15 instanceID of every service -> 0x00040004 timed out after 50 ms (2 of 2)\r\n",
        "next ComputerManagement15 instanceID of every service -> 0x00000000 1 object after 2 time-outs\r\n",
    };
    size_t at = 0;
    for (const char* line : lines) {
        const size_t found = record.find(line, at);
        EXPECT_NE(found, std::string::npos) << line << "in\n" << record;
        if (found != std::string::npos) at = found + 1;
    }
    EXPECT_EQ(record.find("next ", at), std::string::npos) << "only held-up calls are recorded:\n" << record;
}

// The setup's Version query is as slow as the instance query, and each new
// result waits for the host again.
TEST_F(SlowProviderTest, EveryResultWaitsForTheHostOnItsOwn) {
    const DWORD wait = 10;
    MakeSlow(1, &wait);
    for (int run = 0; run < 2; ++run) {
        const auto versions = Start(VersionQuery(L"MSSQL$INST1"));
        ASSERT_TRUE(versions);
        win::ComPtr<IWbemClassObject> object;
        ULONG returned = 0;
        EXPECT_EQ(versions->Next(10000, 1, object.Put(), &returned), kTimedOut) << run;
        EXPECT_EQ(returned, 0u);
        const auto objects = ReadAll(versions.Get());
        ASSERT_EQ(objects.size(), 1u) << run;
        EXPECT_EQ(TextOf(objects[0].Get(), L"PropertyStrValue"), L"15.0.4123.1");
    }
}

struct WaitCase {
    const DWORD* configuredMs;  // nullptr: TimeoutWaitMs not set
    LONG callerTimeoutMs;
    long long atLeastMs;
    long long underMs;
};

TEST_F(SlowProviderTest, ATimedOutCallWaitsTheShorterOfItsTimeOutAndTheConfiguredWait) {
    const DWORD shortWait = 50;
    const DWORD longWait = 60000;
    const WaitCase cases[] = {
        {&shortWait, 10000, 40, 5000},
        {&longWait, 100, 90, 5000},
        {&longWait, 0, 0, 5000},  // WBEM_NO_WAIT
        {nullptr, 300, 290, 5000},
    };
    for (const WaitCase& c : cases) {
        ClearScenario();
        AddServices();
        MakeSlow(1, c.configuredMs);
        const auto result = Start(kInstanceIdQuery);
        ASSERT_TRUE(result);
        win::ComPtr<IWbemClassObject> object;
        ULONG returned = 0;
        const auto before = std::chrono::steady_clock::now();
        EXPECT_EQ(result->Next(c.callerTimeoutMs, 1, object.Put(), &returned), kTimedOut) << c.callerTimeoutMs;
        const long long took = MillisecondsSince(before);
        EXPECT_GE(took, c.atLeastMs) << c.callerTimeoutMs;
        EXPECT_LT(took, c.underMs) << c.callerTimeoutMs;
        EXPECT_EQ(result->Next(0, 1, object.Put(), &returned), S_OK) << "one time-out only";
    }
}

TEST_F(SlowProviderTest, AnInfiniteWaitSitsOutTheTimeOutsAndGetsTheObject) {
    const DWORD wait = 50;
    MakeSlow(2, &wait);
    const size_t start = RecordSize();
    const auto result = Start(kInstanceIdQuery);
    ASSERT_TRUE(result);
    win::ComPtr<IWbemClassObject> object;
    ULONG returned = 0;
    const auto before = std::chrono::steady_clock::now();
    EXPECT_EQ(result->Next(WBEM_INFINITE, 1, object.Put(), &returned), S_OK);
    EXPECT_GE(MillisecondsSince(before), 90);
    EXPECT_EQ(returned, 1u);
    EXPECT_NE(RecordFrom(start).find("next ComputerManagement15 instanceID of every service -> 0x00000000 1 object "
                                     "after waiting 100 ms\r\n"),
              std::string::npos)
        << RecordFrom(start);
}

TEST_F(SlowProviderTest, ASynchronousQueryWaitsInExecQueryAndItsNextNeverTimesOut) {
    const DWORD wait = 50;
    MakeSlow(2, &wait);
    const size_t start = RecordSize();
    const auto before = std::chrono::steady_clock::now();
    const auto result = Start(kInstanceIdQuery, WBEM_FLAG_FORWARD_ONLY);
    ASSERT_TRUE(result);
    EXPECT_GE(MillisecondsSince(before), 90);
    win::ComPtr<IWbemClassObject> object;
    ULONG returned = 0;
    EXPECT_EQ(result->Next(0, 1, object.Put(), &returned), S_OK);
    EXPECT_EQ(returned, 1u);
    EXPECT_NE(RecordFrom(start).find("-> 0x00000000 2 objects after waiting 100 ms for the provider\r\n"),
              std::string::npos)
        << RecordFrom(start);
}

TEST_F(SlowProviderTest, SkipTimesOutLikeNext) {
    const DWORD wait = 10;
    MakeSlow(1, &wait);
    const auto result = Start(kInstanceIdQuery);
    ASSERT_TRUE(result);
    EXPECT_EQ(result->Skip(10000, 1), kTimedOut);
    EXPECT_EQ(result->Skip(10000, 1), S_OK);
    EXPECT_EQ(ReadAll(result.Get()).size(), 1u);
}

}  // namespace
}  // namespace sqlwmi::test
