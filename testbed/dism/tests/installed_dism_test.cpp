// DismApi.dll as installed in the test machine's system32, called the way the
// setup calls it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cwctype>

#include "dism_results.h"
#include "dism_test_support.h"

namespace {

using namespace dism_test;

constexpr HRESULT kSwitchedFailure = E_ACCESSDENIED;

// A fresh library per test: unloading it ends the process-wide DISM state.
class InstalledDism : public ::testing::Test {
protected:
    void SetUp() override {
        ResetScenario();
        api_ = DismApi::Load();
        ASSERT_TRUE(api_.Complete()) << "DismApi.dll missing from system32 or incomplete; run machine.sh start";
    }
    void TearDown() override {
        api_ = DismApi();
        ResetScenario();
    }

    HRESULT Enable(DismSession session, PCWSTR features, BOOL enableAll = TRUE) {
        return api_.enableFeature(session, features, nullptr, DismPackageNone, FALSE, nullptr, 0, enableAll,
                                  nullptr, CollectProgress, &progress_);
    }

    DismApi api_;
    std::vector<ProgressReport> progress_;
};

// What the setup does: initialise, open, enable (only when both worked),
// close and shut down in any case.
struct SequenceResults {
    HRESULT initialize = S_OK;
    HRESULT open = S_OK;
    HRESULT enable = S_OK;
    HRESULT close = S_OK;
    HRESULT shutdown = S_OK;
    DismSession session = 0;
    bool enableCalled = false;
};

SequenceResults RunSetupSequence(const DismApi& api, std::vector<ProgressReport>* progress) {
    SequenceResults r;
    r.initialize = api.initialize(DismLogErrorsWarningsInfo, nullptr, nullptr);
    if (SUCCEEDED(r.initialize)) {
        r.open = api.openSession(DISM_ONLINE_IMAGE, nullptr, nullptr, &r.session);
        if (SUCCEEDED(r.open)) {
            r.enableCalled = true;
            r.enable = api.enableFeature(r.session, kSetupFeatures, nullptr, DismPackageNone, FALSE, nullptr, 0,
                                         TRUE, nullptr, CollectProgress, progress);
        }
    }
    r.close = api.closeSession(r.session);
    r.shutdown = api.shutdown();
    return r;
}

TEST_F(InstalledDism, IsTheSystem32LibraryAndExportsOnlyTheEightFunctionsByName) {
    std::wstring path = api_.ModulePath();
    std::transform(path.begin(), path.end(), path.begin(), [](wchar_t c) { return static_cast<wchar_t>(std::towlower(c)); });
    EXPECT_EQ(path, L"c:\\windows\\system32\\dismapi.dll");
    EXPECT_EQ(::GetProcAddress(api_.module.Get(), "DismGetFeatures"), nullptr);
}

TEST_F(InstalledDism, TheSetupSequenceEnablesTheFifteenFeaturesWithProgressOnTheCallersThread) {
    SequenceResults r = RunSetupSequence(api_, &progress_);
    EXPECT_EQ(r.initialize, S_OK);
    EXPECT_EQ(r.open, S_OK);
    EXPECT_NE(r.session, 0u);
    EXPECT_EQ(r.enable, S_OK);
    EXPECT_EQ(r.close, S_OK);
    EXPECT_EQ(r.shutdown, S_OK);

    const DWORD me = ::GetCurrentThreadId();
    EXPECT_EQ(progress_, (std::vector<ProgressReport>{{0, 100, me}, {42, 100, me}, {100, 100, me}}));

    std::map<std::wstring, DWORD> features = FeatureValues();
    for (const wchar_t* name : kSetupFeatureNames) EXPECT_EQ(features[name], 1u) << "feature " << name;
    // EnableAll brings the .NET and activation-service parents along.
    EXPECT_EQ(features[L"NetFx4Extended-ASPNET45"], 1u);
    EXPECT_EQ(features[L"NetFx4-AdvSrvs"], 1u);
    EXPECT_EQ(features[L"WAS-WindowsActivationService"], 1u);
    EXPECT_EQ(features.count(L"IIS-ASP"), 0u);
}

TEST_F(InstalledDism, RecordsEveryCallWithItsArgumentsAndResult) {
    DismSession session = 0;
    ASSERT_EQ(api_.initialize(DismLogErrorsWarningsInfo, nullptr, nullptr), S_OK);
    ASSERT_EQ(api_.openSession(DISM_ONLINE_IMAGE, nullptr, nullptr, &session), S_OK);
    ASSERT_EQ(api_.enableFeature(session, kSetupFeatures, nullptr, DismPackageNone, FALSE, nullptr, 0, TRUE,
                                 nullptr, IgnoreProgress, nullptr),
              S_OK);
    ASSERT_EQ(api_.closeSession(session), S_OK);
    ASSERT_EQ(api_.closeSession(session), dism::kInvalidSession);
    ASSERT_EQ(api_.initialize(DismLogErrors, L"C:\\logs\\dism.log", L"C:\\scratch"), dism::kAlreadyInitialized);
    ASSERT_EQ(api_.shutdown(), S_OK);

    const std::string id = std::to_string(session);
    const std::string list(std::begin(kSetupFeatures), std::end(kSetupFeatures) - 1);
    EXPECT_EQ(RecordLines(),
              (std::vector<std::string>{
                  "DismInitialize level=2 log=(null) scratch=(null) -> 0x00000000",
                  "DismOpenSession image=DISM_{53BFAE52-B167-4E2F-A258-0A37B57FF845} windir=(null) drive=(null)"
                  " -> 0x00000000 session=" + id,
                  "DismEnableFeature session=" + id + " feature=" + list +
                      " identifier=(null) package=0 limitAccess=0 sources=0 enableAll=1 cancel=(null) progress=set"
                      " userData=(null) -> 0x00000000",
                  "DismCloseSession session=" + id + " -> 0x00000000",
                  "DismCloseSession session=" + id + " -> 0xC0040004",
                  "DismInitialize level=0 log=C:\\logs\\dism.log scratch=C:\\scratch -> 0x800704DF",
                  "DismShutdown -> 0x00000000",
              }));
}

// Each failure switch: the switched call returns its value and does nothing,
// and the setup's sequence runs on into what the real library would answer.
struct SwitchCase {
    const wchar_t* name;
    HRESULT initialize, open, enable, close, shutdown;
    bool enableCalled;
    bool featuresEnabled;
    const char* failingRecord;
};

void PrintTo(const SwitchCase& c, std::ostream* os) {
    std::wstring name = c.name;
    *os << std::string(name.begin(), name.end());
}

class FailureSwitch : public InstalledDism, public ::testing::WithParamInterface<SwitchCase> {};

TEST_P(FailureSwitch, FailsThatCallWithItsValueAndWithoutEffect) {
    const SwitchCase& c = GetParam();
    SetScenarioDword(c.name, static_cast<DWORD>(kSwitchedFailure));
    SequenceResults r = RunSetupSequence(api_, &progress_);
    EXPECT_EQ(r.initialize, c.initialize);
    EXPECT_EQ(r.open, c.open);
    EXPECT_EQ(r.enableCalled, c.enableCalled);
    if (c.enableCalled) {
        EXPECT_EQ(r.enable, c.enable);
    }
    EXPECT_EQ(r.close, c.close);
    EXPECT_EQ(r.shutdown, c.shutdown);
    EXPECT_EQ(FeatureValues().empty(), !c.featuresEnabled);
    EXPECT_EQ(progress_.size(), c.featuresEnabled ? 3u : 0u);

    std::vector<std::string> lines = RecordLines();
    auto failing = std::find_if(lines.begin(), lines.end(), [&](const std::string& line) {
        return line.rfind(c.failingRecord, 0) == 0 && line.find("-> 0x80070005") != std::string::npos;
    });
    EXPECT_NE(failing, lines.end()) << "no failing record for " << c.failingRecord;
}

INSTANTIATE_TEST_SUITE_P(
    EachCall, FailureSwitch,
    ::testing::Values(
        SwitchCase{L"FailInitialize", kSwitchedFailure, S_OK, S_OK, dism::kNotInitialized, dism::kNotInitialized,
                   false, false, "DismInitialize "},
        SwitchCase{L"FailOpenSession", S_OK, kSwitchedFailure, S_OK, dism::kInvalidSession, S_OK, false, false,
                   "DismOpenSession "},
        SwitchCase{L"FailEnableFeature", S_OK, S_OK, kSwitchedFailure, S_OK, S_OK, true, false,
                   "DismEnableFeature "},
        // The session stays open, so the shutdown that follows is refused.
        SwitchCase{L"FailCloseSession", S_OK, S_OK, S_OK, kSwitchedFailure, dism::kOpenSessionHandles, true, true,
                   "DismCloseSession "},
        SwitchCase{L"FailShutdown", S_OK, S_OK, S_OK, S_OK, kSwitchedFailure, true, true, "DismShutdown "}),
    [](const ::testing::TestParamInfo<SwitchCase>& info) {
        std::wstring name = info.param.name;
        return std::string(name.begin(), name.end());
    });

TEST_F(InstalledDism, AFailedShutdownLeavesTheLibraryInitialised) {
    SetScenarioDword(L"FailShutdown", static_cast<DWORD>(kSwitchedFailure));
    ASSERT_EQ(api_.initialize(DismLogErrorsWarningsInfo, nullptr, nullptr), S_OK);
    EXPECT_EQ(api_.shutdown(), kSwitchedFailure);
    EXPECT_EQ(api_.initialize(DismLogErrorsWarningsInfo, nullptr, nullptr), dism::kAlreadyInitialized);
    SetScenarioDword(L"FailShutdown", 0);  // 0 switches it off
    EXPECT_EQ(api_.shutdown(), S_OK);
}

TEST_F(InstalledDism, RefusesEveryCallBeforeInitialiseAndAfterShutdown) {
    for (int round = 0; round < 2; ++round) {
        DismSession session = 77;
        EXPECT_EQ(api_.openSession(DISM_ONLINE_IMAGE, nullptr, nullptr, &session), dism::kNotInitialized);
        EXPECT_EQ(session, 77u);
        EXPECT_EQ(Enable(1, L"IIS-WebServerRole"), dism::kNotInitialized);
        EXPECT_EQ(api_.closeSession(0), dism::kNotInitialized);
        EXPECT_EQ(api_.shutdown(), dism::kNotInitialized);
        if (round == 0) {
            ASSERT_EQ(api_.initialize(DismLogErrorsWarningsInfo, nullptr, nullptr), S_OK);
            ASSERT_EQ(api_.shutdown(), S_OK);
        }
    }
    EXPECT_TRUE(FeatureValues().empty());
}

TEST_F(InstalledDism, InitialisesOncePerShutdown) {
    EXPECT_EQ(api_.initialize(DismLogErrorsWarningsInfo, nullptr, nullptr), S_OK);
    EXPECT_EQ(api_.initialize(DismLogErrorsWarningsInfo, nullptr, nullptr), dism::kAlreadyInitialized);
    EXPECT_EQ(api_.shutdown(), S_OK);
    EXPECT_EQ(api_.initialize(DismLogErrorsWarningsInfo, nullptr, nullptr), S_OK);
    EXPECT_EQ(api_.shutdown(), S_OK);
}

TEST_F(InstalledDism, HandsOutDistinctNonZeroSessionsAndKnowsOnlyThoseStillOpen) {
    ASSERT_EQ(api_.initialize(DismLogErrorsWarningsInfo, nullptr, nullptr), S_OK);
    DismSession first = 0, second = 0;
    ASSERT_EQ(api_.openSession(DISM_ONLINE_IMAGE, nullptr, nullptr, &first), S_OK);
    ASSERT_EQ(api_.openSession(L"dism_{53bfae52-b167-4e2f-a258-0a37b57ff845}", nullptr, nullptr, &second), S_OK);
    EXPECT_NE(first, 0u);
    EXPECT_NE(second, 0u);
    EXPECT_NE(first, second);

    EXPECT_EQ(Enable(0, L"IIS-WebServerRole"), dism::kInvalidSession);
    EXPECT_EQ(Enable(first + second + 1, L"IIS-WebServerRole"), dism::kInvalidSession);
    EXPECT_EQ(api_.closeSession(0), dism::kInvalidSession);
    EXPECT_EQ(api_.closeSession(first), S_OK);
    EXPECT_EQ(Enable(first, L"IIS-WebServerRole"), dism::kInvalidSession);
    EXPECT_EQ(api_.closeSession(first), dism::kInvalidSession);

    EXPECT_EQ(api_.shutdown(), dism::kOpenSessionHandles);
    EXPECT_EQ(Enable(second, L"IIS-WebServerRole"), S_OK);
    EXPECT_EQ(api_.closeSession(second), S_OK);
    EXPECT_EQ(api_.shutdown(), S_OK);
}

TEST_F(InstalledDism, OpensOnlyTheRunningSystemWithoutFolderOrDrive) {
    ASSERT_EQ(api_.initialize(DismLogErrorsWarningsInfo, nullptr, nullptr), S_OK);
    DismSession session = 0;
    EXPECT_EQ(api_.openSession(L"C:\\Mount", nullptr, nullptr, &session), dism::kImageNotFound);
    EXPECT_EQ(api_.openSession(L"", nullptr, nullptr, &session), dism::kImageNotFound);
    EXPECT_EQ(api_.openSession(nullptr, nullptr, nullptr, &session), E_INVALIDARG);
    EXPECT_EQ(api_.openSession(DISM_ONLINE_IMAGE, L"Windows", nullptr, &session), E_INVALIDARG);
    EXPECT_EQ(api_.openSession(DISM_ONLINE_IMAGE, nullptr, L"C:", &session), E_INVALIDARG);
    EXPECT_EQ(api_.openSession(DISM_ONLINE_IMAGE, nullptr, nullptr, nullptr), E_INVALIDARG);
    EXPECT_EQ(session, 0u);
    EXPECT_EQ(api_.shutdown(), S_OK);  // none of them left a session open

    std::vector<std::string> lines = RecordLines();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[1], "DismOpenSession image=C:\\Mount windir=(null) drive=(null) -> 0x80070003");
}

class OpenSession : public InstalledDism {
protected:
    void SetUp() override {
        InstalledDism::SetUp();
        ASSERT_EQ(api_.initialize(DismLogErrorsWarningsInfo, nullptr, nullptr), S_OK);
        ASSERT_EQ(api_.openSession(DISM_ONLINE_IMAGE, nullptr, nullptr, &session_), S_OK);
    }
    void TearDown() override {
        api_.closeSession(session_);
        api_.shutdown();
        InstalledDism::TearDown();
    }
    DismSession session_ = 0;
};

TEST_F(OpenSession, AnUnknownNameFailsTheWholeListWithoutEnablingOrReporting) {
    const wchar_t* lists[] = {
        L"IIS-WebServerRole;IIS-NoSuchFeature;IIS-WebServer",
        L"IIS-WebServerRole;iis-webserver",  // names are case-sensitive
        L"IIS-WebServerRole;",
        L"IIS-WebServerRole; IIS-WebServer",
        L"",
    };
    for (const wchar_t* list : lists) {
        EXPECT_EQ(Enable(session_, list), dism::kUnknownFeature) << "list " << list;
    }
    EXPECT_TRUE(FeatureValues().empty());
    EXPECT_TRUE(progress_.empty());
}

TEST_F(OpenSession, WithoutEnableAllAFeatureNeedsItsParentsEnabledOrRequested) {
    EXPECT_EQ(Enable(session_, L"IIS-HttpErrors", FALSE), dism::kParentFeatureDisabled);
    EXPECT_TRUE(FeatureValues().empty());

    SetFeatureValue(L"IIS-CommonHttpFeatures", 0);  // present but not enabled
    EXPECT_EQ(Enable(session_, L"IIS-HttpErrors", FALSE), dism::kParentFeatureDisabled);

    EXPECT_EQ(Enable(session_, L"IIS-WebServerRole;IIS-WebServer;IIS-CommonHttpFeatures", FALSE), S_OK);
    EXPECT_EQ(Enable(session_, L"IIS-HttpErrors", FALSE), S_OK);
    EXPECT_EQ(FeatureValues(), (std::map<std::wstring, DWORD>{{L"IIS-WebServerRole", 1},
                                                                {L"IIS-WebServer", 1},
                                                                {L"IIS-CommonHttpFeatures", 1},
                                                                {L"IIS-HttpErrors", 1}}));
}

TEST_F(OpenSession, WithEnableAllTheParentsAreEnabledToo) {
    EXPECT_EQ(Enable(session_, L"IIS-ASP"), S_OK);
    EXPECT_EQ(FeatureValues(), (std::map<std::wstring, DWORD>{{L"IIS-ASP", 1},
                                                                {L"IIS-ApplicationDevelopment", 1},
                                                                {L"IIS-ISAPIExtensions", 1},
                                                                {L"IIS-WebServer", 1},
                                                                {L"IIS-WebServerRole", 1}}));
}

TEST_F(OpenSession, AlreadyEnabledFeaturesEnableAgain) {
    ASSERT_EQ(Enable(session_, kSetupFeatures), S_OK);
    const std::map<std::wstring, DWORD> first = FeatureValues();
    EXPECT_EQ(Enable(session_, kSetupFeatures), S_OK);
    EXPECT_EQ(FeatureValues(), first);
    EXPECT_EQ(progress_.size(), 6u);
}

TEST_F(OpenSession, ReportsTheScenariosProgressSequence) {
    SetScenarioText(L"Progress", L"0/0");
    EXPECT_EQ(Enable(session_, L"IIS-WebServerRole"), S_OK);
    SetScenarioText(L"Progress", L"");
    EXPECT_EQ(Enable(session_, L"IIS-WebServerRole"), S_OK);
    SetScenarioText(L"Progress", L"7/9,4294967295/4294967295");
    EXPECT_EQ(Enable(session_, L"IIS-WebServerRole"), S_OK);
    const DWORD me = ::GetCurrentThreadId();
    EXPECT_EQ(progress_,
              (std::vector<ProgressReport>{{0, 0, me}, {7, 9, me}, {4294967295u, 4294967295u, me}}));

    EXPECT_EQ(api_.enableFeature(session_, L"IIS-WebServerRole", nullptr, DismPackageNone, FALSE, nullptr, 0, TRUE,
                                 nullptr, nullptr, nullptr),
              S_OK);  // no callback, no report
}

TEST_F(OpenSession, AnUnreadableProgressScenarioFailsTheCall) {
    SetScenarioText(L"Progress", L"0/100,half");
    EXPECT_EQ(Enable(session_, L"IIS-WebServerRole"), dism::kBadProgressScenario);
    EXPECT_TRUE(FeatureValues().empty());
    EXPECT_TRUE(progress_.empty());
}

TEST_F(OpenSession, ReportsARequiredRestartAsASuccessCode) {
    SetScenarioDword(L"RestartRequired", 1);
    HRESULT hr = Enable(session_, L"IIS-WebServerRole");
    EXPECT_EQ(hr, static_cast<HRESULT>(3010));
    EXPECT_TRUE(SUCCEEDED(hr));
    EXPECT_EQ(FeatureValues()[L"IIS-WebServerRole"], 1u);
}

TEST_F(OpenSession, RefusesArgumentsThatNameNoFeatureOrAPackageItDoesNotHave) {
    PCWSTR sources[] = {L"D:\\sources\\sxs"};
    EXPECT_EQ(api_.enableFeature(session_, nullptr, nullptr, DismPackageNone, FALSE, nullptr, 0, TRUE, nullptr,
                                 nullptr, nullptr),
              E_INVALIDARG);
    EXPECT_EQ(api_.enableFeature(session_, L"IIS-WebServerRole", L"Some-Package", DismPackageNone, FALSE, nullptr,
                                 0, TRUE, nullptr, nullptr, nullptr),
              E_INVALIDARG);
    EXPECT_EQ(api_.enableFeature(session_, L"IIS-WebServerRole", L"Some-Package", DismPackageName, FALSE, nullptr,
                                 0, TRUE, nullptr, nullptr, nullptr),
              dism::kUnknownFeature);
    EXPECT_EQ(api_.enableFeature(session_, L"IIS-WebServerRole", nullptr, DismPackageNone, FALSE, nullptr, 1, TRUE,
                                 nullptr, nullptr, nullptr),
              E_INVALIDARG);
    EXPECT_EQ(api_.enableFeature(session_, L"IIS-WebServerRole", nullptr, DismPackageNone, TRUE, sources, 1, TRUE,
                                 nullptr, nullptr, nullptr),
              S_OK);
    EXPECT_EQ(FeatureValues().size(), 1u);
}

}  // namespace
