// Enabling the IIS features through the machine's DISM stand-in.
#include "prereq/iis_features.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "setup/server_setup.h"
#include "support/dialog_fixture.h"
#include "support/recording_observer.h"
#include "support/registry.h"
#include "support/testbed_access.h"

namespace {

constexpr char DISM_SCENARIO[] = "SOFTWARE\\CorvantaTestbed\\Dism";
constexpr char DISM_FEATURES[] = "SOFTWARE\\CorvantaTestbed\\Dism\\Features";
constexpr char DISM_RECORD[] = "C:\\CorvantaTestbed\\dism-calls.log";
constexpr unsigned long SOURCE_MISSING = 0x800F081F;

class IisFeatures : public ContextTest {
protected:
    void SetUp() override {
        // Features an interrupted run left on would spare calls a test counts.
        DeleteRegistryTree(HKEY_LOCAL_MACHINE, DISM_SCENARIO);
        ::DeleteFileA(DISM_RECORD);
    }
    RegistryCleanup scenario{HKEY_LOCAL_MACHINE, {DISM_SCENARIO}};
};

bool StartsWith(const std::string& text, const std::string& start) { return text.rfind(start, 0) == 0; }
bool EndsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// The feature list of a recorded DismEnableFeature or DismGetFeatureInfo call.
std::string RecordedFeature(const std::string& call) {
    const size_t start = call.find(" feature=");
    const size_t end = call.find(" identifier=");
    if (start == std::string::npos || end == std::string::npos || end < start) return {};
    return call.substr(start + 9, end - start - 9);
}

std::vector<std::string> RecordedEnableCalls() {
    std::vector<std::string> calls;
    for (const std::string& call : DismCalls()) {
        if (StartsWith(call, "DismEnableFeature ")) calls.push_back(call);
    }
    return calls;
}

bool StandInHasEnabled(const std::string& feature) {
    DWORD value = 0;
    DWORD size = sizeof value;
    return ::RegGetValueA(HKEY_LOCAL_MACHINE, DISM_FEATURES, feature.c_str(), RRF_RT_REG_DWORD | RRF_SUBKEY_WOW6464KEY,
                          nullptr, &value, &size) == ERROR_SUCCESS &&
           value == 1;
}

size_t Occurrences(const std::string& text, const std::string& part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size())) ++count;
    return count;
}

// Confirms Cancel as soon as DISM reports progress, as a user pressing it
// during the first call that gets anywhere.
class CancelAtProgress final : public RunObserver {
public:
    explicit CancelAtProgress(SetupContext& context) : context_(context) {}
    void Status(const std::string&) override { context_.cancel.Request(); }
    void LogLine(const std::string&) override {}
    void Progress(int) override {}
    int Ask(const std::string&, const std::string&, UINT) override { return IDOK; }

private:
    SetupContext& context_;
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

TEST_F(IisFeatures, WithoutTheNet35FilesEachOtherFeatureIsEnabledByACallOfItsOwn) {
    SetRegistryDword(HKEY_LOCAL_MACHINE, DISM_SCENARIO, "SourceFailure", SOURCE_MISSING);
    EXPECT_EQ(context.server->EnableIisFeatures(), 0);
    EXPECT_EQ(context.report.failedSteps, 1);
    EXPECT_FALSE(context.report.restartRequired);
    const std::string log = LogText();
    EXPECT_NE(log.find("Server Setup:Could not enable IIS-NetFxExtensibility: The source files could not be found. Use "
                       "the \"Source\" option to specify the location of the files that are required to restore the "
                       "feature. For more information on specifying a source location, see "
                       "https://go.microsoft.com/fwlink/?LinkId=243077. Its files are not on this machine: give "
                       "Windows a source (installation media) and run the repair.\r\n"),
              std::string::npos)
        << log;
    EXPECT_EQ(log.find("Could not configure IIS"), std::string::npos) << log;
    EXPECT_EQ(log.find("Configured IIS"), std::string::npos) << log;
    for (const std::string& feature : IisFeatureNames()) {
        EXPECT_EQ(StandInHasEnabled(feature), feature != "IIS-NetFxExtensibility") << feature;
    }

    const auto calls = DismCalls();
    ASSERT_GE(calls.size(), 6u);
    EXPECT_EQ(RecordedFeature(calls[2]), JoinedIisFeatures());
    EXPECT_TRUE(EndsWith(calls[2], "-> 0x800F081F")) << calls[2];
    EXPECT_TRUE(StartsWith(calls[calls.size() - 2], "DismCloseSession session=")) << calls[calls.size() - 2];
    EXPECT_TRUE(EndsWith(calls[calls.size() - 2], "-> 0x00000000")) << calls[calls.size() - 2];
    EXPECT_EQ(calls.back(), "DismShutdown -> 0x00000000");
    // Between them, each feature is asked for (and the answer given back),
    // then enabled alone unless an earlier call brought it as a parent.
    std::vector<std::string> asked, enabled;
    for (size_t i = 3; i + 2 < calls.size(); ++i) {
        const std::string& call = calls[i];
        const std::string feature = RecordedFeature(call);
        if (StartsWith(call, "DismGetFeatureInfo ")) {
            asked.push_back(feature);
            EXPECT_EQ(calls[++i], "DismDelete structure=DismFeatureInfo -> 0x00000000") << feature;
        } else if (StartsWith(call, "DismEnableFeature ")) {
            enabled.push_back(feature);
            EXPECT_NE(call.find(" enableAll=1 cancel=set progress=set userData=set -> "), std::string::npos) << call;
            if (feature != "IIS-NetFxExtensibility") {
                EXPECT_TRUE(EndsWith(call, "-> 0x00000000")) << call;
                continue;
            }
            EXPECT_TRUE(EndsWith(call, "-> 0x800F081F")) << call;
            EXPECT_EQ(calls[++i], "DismGetLastErrorMessage errorMessage=set -> 0x00000000 for=0x800F081F");
            EXPECT_EQ(calls[++i], "DismDelete structure=DismString -> 0x00000000");
        } else {
            ADD_FAILURE() << "unexpected call " << call;
        }
    }
    EXPECT_EQ(asked, IisFeatureNames());
    ASSERT_FALSE(enabled.empty());
    EXPECT_EQ(enabled.front(), "IIS-ApplicationDevelopment");
    EXPECT_NE(std::find(enabled.begin(), enabled.end(), "IIS-NetFxExtensibility"), enabled.end());
    EXPECT_NE(std::find(enabled.begin(), enabled.end(), "IIS-ASPNET45"), enabled.end());
    EXPECT_EQ(std::find(enabled.begin(), enabled.end(), "IIS-WebServer"), enabled.end())
        << "IIS-ApplicationDevelopment's call brought it";
}

TEST_F(IisFeatures, ARestartAnswerIsASuccessThatAsksForOneRestart) {
    SetRegistryDword(HKEY_LOCAL_MACHINE, DISM_SCENARIO, "RestartRequired", 1);
    EXPECT_EQ(context.server->EnableIisFeatures(), 1);
    EXPECT_TRUE(context.report.restartRequired);
    EXPECT_EQ(context.report.failedSteps, 0);
    EXPECT_EQ(Occurrences(LogText(), "Server Setup:The IIS features need a restart to complete\r\n"), 1u);
    EXPECT_NE(LogText().find("Server Setup:Configured IIS for use with TovinSoft Corvanta 10.0\r\n"), std::string::npos);

    // The calls of one feature each answer so too: still one line for the run.
    context.report.restartRequired = false;
    DeleteRegistryTree(HKEY_LOCAL_MACHINE, DISM_FEATURES);
    ::DeleteFileA(DISM_RECORD);
    SetRegistryDword(HKEY_LOCAL_MACHINE, DISM_SCENARIO, "SourceFailure", SOURCE_MISSING);
    EXPECT_EQ(context.server->EnableIisFeatures(), 0);
    EXPECT_TRUE(context.report.restartRequired);
    EXPECT_EQ(context.report.failedSteps, 1) << "only IIS-NetFxExtensibility";
    size_t restartAnswers = 0;
    for (const std::string& call : RecordedEnableCalls()) restartAnswers += EndsWith(call, "-> 0x00000BC2");
    EXPECT_GT(restartAnswers, 1u);
    EXPECT_EQ(Occurrences(LogText(), "Server Setup:The IIS features need a restart to complete\r\n"), 2u);
}

TEST_F(IisFeatures, CancelStopsBetweenTheCallsOfOneFeatureEach) {
    SetRegistryDword(HKEY_LOCAL_MACHINE, DISM_SCENARIO, "SourceFailure", SOURCE_MISSING);
    CancelAtProgress observer(context);
    context.observer = &observer;
    EXPECT_EQ(context.server->EnableIisFeatures(), 0);
    EXPECT_TRUE(context.report.cancelled);
    EXPECT_EQ(context.report.failedSteps, 0);
    const auto enables = RecordedEnableCalls();
    ASSERT_EQ(enables.size(), 2u) << "the joined call fails before any progress; the first own call reports it";
    EXPECT_EQ(RecordedFeature(enables[1]), "IIS-ApplicationDevelopment");
    const auto calls = DismCalls();
    ASSERT_GE(calls.size(), 2u);
    EXPECT_TRUE(StartsWith(calls[calls.size() - 2], "DismCloseSession session=")) << calls[calls.size() - 2];
    EXPECT_TRUE(EndsWith(calls[calls.size() - 2], "-> 0x00000000")) << calls[calls.size() - 2];
    EXPECT_EQ(calls.back(), "DismShutdown -> 0x00000000");
}

TEST(IisFeatureText, JoinsTheListAndTellsTheProgress) {
    EXPECT_EQ(JoinedIisFeatures().size(), 301u);
    EXPECT_EQ(IisProgressPercent(42, 100), 42);
    EXPECT_EQ(IisProgressPercent(1, 3), 33);
    EXPECT_EQ(IisProgressPercent(5, 0), 0);
    EXPECT_EQ(IisProgressText(42), "Updating IIS Features:42 perc completed");
}

}  // namespace
