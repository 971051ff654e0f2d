// Enabling the IIS features through the machine's DISM stand-in.
#include "prereq/iis_features.h"

#include <gtest/gtest.h>

#include "setup/server_setup.h"
#include "support/dialog_fixture.h"
#include "support/recording_observer.h"
#include "support/registry.h"
#include "support/testbed_access.h"

namespace {

constexpr char DISM_SCENARIO[] = "SOFTWARE\\CorvantaTestbed\\Dism";

class IisFeatures : public ContextTest {
protected:
    void SetUp() override { ::DeleteFileA("C:\\CorvantaTestbed\\dism-calls.log"); }
    RegistryCleanup scenario{HKEY_LOCAL_MACHINE, {DISM_SCENARIO}};
};

TEST_F(IisFeatures, EnablesTheFifteenFeaturesInOneCallAndShowsTheProgress) {
    RecordingObserver observer;
    context.observer = &observer;
    EXPECT_EQ(context.server->EnableIisFeatures(), 1);
    const auto calls = DismCalls();
    ASSERT_EQ(calls.size(), 5u);
    EXPECT_EQ(calls[0].rfind("DismInitialize level=2 log=(null) scratch=(null) -> 0x00000000", 0), 0u);
    EXPECT_EQ(calls[1].rfind("DismOpenSession image=DISM_{53BFAE52-B167-4E2F-A258-0A37B57FF845} windir=(null) drive=(null)", 0), 0u);
    EXPECT_NE(calls[2].find("feature=" + JoinedIisFeatures() + " identifier=(null) package=0 limitAccess=0 sources=0 enableAll=1"),
              std::string::npos);
    EXPECT_EQ(calls[3].rfind("DismCloseSession session=", 0), 0u);
    EXPECT_EQ(calls[4], "DismShutdown -> 0x00000000");
    ASSERT_FALSE(observer.statuses.empty());
    EXPECT_EQ(observer.statuses.back(), "Updating IIS Features:100 perc completed");
    EXPECT_NE(LogText().find("Server Setup:Configured IIS for use with TovinSoft Corvanta 10.0\r\n"), std::string::npos);
    EXPECT_EQ(RegistryString(HKEY_LOCAL_MACHINE, std::string(DISM_SCENARIO) + "\\Features", "IIS-ISAPIExtensions"),
              "<absent>") << "a DWORD, not a string";
}

TEST_F(IisFeatures, AnyFailedCallIsReportedAndTheSessionStillClosed) {
    SetRegistryDword(HKEY_LOCAL_MACHINE, DISM_SCENARIO, "FailEnableFeature", 0x800F080C);
    EXPECT_EQ(context.server->EnableIisFeatures(), 0);
    EXPECT_EQ(DismCalls().size(), 5u);
    EXPECT_NE(LogText().find("Server Setup:Could not configure IIS. Please do it manually;DismEnableFeature failed with 0x800F080C\r\n"),
              std::string::npos);
    EXPECT_EQ(context.report.failedSteps, 1);

    SetRegistryDword(HKEY_LOCAL_MACHINE, DISM_SCENARIO, "FailEnableFeature", 0);
    SetRegistryDword(HKEY_LOCAL_MACHINE, DISM_SCENARIO, "FailInitialize", 0x80004005);
    ::DeleteFileA("C:\\CorvantaTestbed\\dism-calls.log");
    EXPECT_EQ(context.server->EnableIisFeatures(), 0);
    const auto calls = DismCalls();
    ASSERT_EQ(calls.size(), 3u) << "no session is opened; close and shutdown still run";
    EXPECT_EQ(calls[1].rfind("DismCloseSession session=0", 0), 0u);
}

TEST(IisFeatureText, JoinsTheListAndTellsTheProgress) {
    EXPECT_EQ(JoinedIisFeatures().size(), 301u);
    EXPECT_EQ(IisProgressPercent(42, 100), 42);
    EXPECT_EQ(IisProgressPercent(1, 3), 33);
    EXPECT_EQ(IisProgressPercent(5, 0), 0);
    EXPECT_EQ(IisProgressText(42), "Updating IIS Features:42 perc completed");
}

}  // namespace
