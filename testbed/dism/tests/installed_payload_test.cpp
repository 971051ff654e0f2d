// The installed DismApi.dll on a machine that lacks feature payloads, and the
// calls the setup makes around such a failure: the feature query, the last
// error's text and the freeing of what the library handed out.
#include <gtest/gtest.h>

#include <algorithm>

#include "dism_results.h"
#include "dism_test_support.h"
#include "error_text.h"

namespace {

using namespace dism_test;

constexpr int kCallFailed = -1;
constexpr wchar_t kNoMessage[] = L"<none>";

class MissingPayload : public ::testing::Test {
protected:
    void SetUp() override {
        ResetScenario();
        api_ = DismApi::Load();
        ASSERT_TRUE(api_.Complete()) << "DismApi.dll missing from system32 or incomplete; run machine.sh start";
        ASSERT_EQ(api_.initialize(DismLogErrorsWarningsInfo, nullptr, nullptr), S_OK);
        ASSERT_EQ(api_.openSession(DISM_ONLINE_IMAGE, nullptr, nullptr, &session_), S_OK);
    }
    void TearDown() override {
        api_.closeSession(session_);
        api_.shutdown();
        api_ = DismApi();
        ResetScenario();
    }

    HRESULT Enable(PCWSTR features, BOOL enableAll = TRUE) {
        return api_.enableFeature(session_, features, nullptr, DismPackageNone, FALSE, nullptr, 0, enableAll,
                                  nullptr, CollectProgress, &progress_);
    }

    // The reported state, the structure freed again; kCallFailed when the query fails.
    int StateOf(PCWSTR feature) {
        DismFeatureInfo* info = nullptr;
        if (FAILED(api_.getFeatureInfo(session_, feature, nullptr, DismPackageNone, &info))) return kCallFailed;
        const int state = info->FeatureState;
        EXPECT_EQ(api_.deleteStructure(info), S_OK);
        return state;
    }

    // This thread's last error text, freed again.
    std::wstring LastErrorText() {
        DismString* message = nullptr;
        HRESULT hr = api_.getLastErrorMessage(&message);
        if (hr == S_FALSE && !message) return kNoMessage;
        EXPECT_EQ(hr, S_OK);
        if (!message || !message->Value) return L"<broken>";
        std::wstring text = message->Value;
        EXPECT_EQ(api_.deleteStructure(message), S_OK);
        return text;
    }

    DismApi api_;
    DismSession session_ = 0;
    std::vector<ProgressReport> progress_;
};

size_t CountStartingWith(const std::vector<std::string>& lines, const std::string& start) {
    return static_cast<size_t>(std::count_if(lines.begin(), lines.end(),
                                             [&](const std::string& line) { return line.rfind(start, 0) == 0; }));
}

TEST_F(MissingPayload, TheSetupFallsBackToOneCallPerFeatureAndGetsAllButNetFxExtensibility) {
    SetScenarioDword(L"SourceFailure", static_cast<DWORD>(dism::kSourceMissing));
    for (const wchar_t* name : kSetupFeatureNames) {
        DismFeatureInfo* info = nullptr;
        ASSERT_EQ(api_.getFeatureInfo(session_, name, nullptr, DismPackageNone, &info), S_OK) << name;
        EXPECT_STREQ(info->FeatureName, name);
        EXPECT_EQ(info->FeatureState, std::wstring(name) == L"IIS-NetFxExtensibility" ? DismStateRemoved
                                                                                      : DismStateStaged);
        EXPECT_NE(info->DisplayName, nullptr);
        EXPECT_NE(info->Description, nullptr);
        EXPECT_EQ(info->RestartRequired, DismRestartNo);
        EXPECT_EQ(info->CustomPropertyCount, 0u);
        EXPECT_EQ(api_.deleteStructure(info), S_OK);
    }

    EXPECT_EQ(Enable(kSetupFeatures), dism::kSourceMissing);
    EXPECT_TRUE(FeatureValues().empty()) << "a failed call enables nothing";
    EXPECT_TRUE(progress_.empty());
    EXPECT_EQ(LastErrorText(), dism::ErrorText(dism::kSourceMissing));

    for (const wchar_t* name : kSetupFeatureNames) {
        const bool lacksPayload = std::wstring(name) == L"IIS-NetFxExtensibility";
        EXPECT_EQ(Enable(name), lacksPayload ? dism::kSourceMissing : S_OK) << name;
    }
    std::map<std::wstring, DWORD> features = FeatureValues();
    for (const wchar_t* name : kSetupFeatureNames) {
        const bool lacksPayload = std::wstring(name) == L"IIS-NetFxExtensibility";
        EXPECT_EQ(features.count(name), lacksPayload ? 0u : 1u) << name;
        EXPECT_EQ(StateOf(name), lacksPayload ? DismStateRemoved : DismStateInstalled) << name;
    }
    EXPECT_EQ(features.count(L"NetFx3"), 0u);
    EXPECT_EQ(features.count(L"WAS-NetFxEnvironment"), 0u) << "only IIS-NetFxExtensibility brings it";

    const std::string id = std::to_string(session_);
    std::vector<std::string> lines = RecordLines();
    ASSERT_GE(lines.size(), 5u);
    EXPECT_EQ(lines[2], "DismGetFeatureInfo session=" + id +
                            " feature=IIS-ApplicationDevelopment identifier=(null) package=0 featureInfo=set"
                            " -> 0x00000000 state=2");
    EXPECT_EQ(lines[3], "DismDelete structure=DismFeatureInfo -> 0x00000000");
    const std::string list(std::begin(kSetupFeatures), std::end(kSetupFeatures) - 1);
    auto joined = std::find_if(lines.begin(), lines.end(), [&](const std::string& line) {
        return line.find("feature=" + list + " ") != std::string::npos;
    });
    ASSERT_NE(joined, lines.end());
    EXPECT_NE(joined->find("enableAll=1 cancel=(null) progress=set userData=set -> 0x800F081F"), std::string::npos);
    ASSERT_LT(joined + 2, lines.end());
    EXPECT_EQ(joined[1], "DismGetLastErrorMessage errorMessage=set -> 0x00000000 for=0x800F081F");
    EXPECT_EQ(joined[2], "DismDelete structure=DismString -> 0x00000000");
    EXPECT_EQ(CountStartingWith(lines, "DismGetFeatureInfo "), 30u);
    EXPECT_EQ(CountStartingWith(lines, "DismDelete structure=DismFeatureInfo -> 0x00000000"), 30u);
    EXPECT_EQ(CountStartingWith(lines, "DismEnableFeature "), 16u);
}

class EachSourceFailure : public MissingPayload, public ::testing::WithParamInterface<HRESULT> {};

TEST_P(EachSourceFailure, FailsOnlyTheCallsThatNeedAMissingPayloadWithItsCodeAndText) {
    const HRESULT code = GetParam();
    SetScenarioDword(L"SourceFailure", static_cast<DWORD>(code));
    EXPECT_EQ(Enable(L"IIS-WebServerRole;NetFx3"), code);
    EXPECT_TRUE(FeatureValues().empty());
    EXPECT_TRUE(progress_.empty());
    EXPECT_EQ(LastErrorText(), dism::ErrorText(code));
    EXPECT_EQ(StateOf(L"NetFx3"), DismStateRemoved);

    EXPECT_EQ(Enable(L"IIS-WebServerRole"), S_OK);
    EXPECT_EQ(FeatureValues(), (std::map<std::wstring, DWORD>{{L"IIS-WebServerRole", 1}}));
    EXPECT_EQ(progress_.size(), 3u);
}

INSTANTIATE_TEST_SUITE_P(SourceCodes, EachSourceFailure,
                         ::testing::Values(dism::kSourceMissing, dism::kDownloadFailure, dism::kGroupPolicyDisallowed,
                                           dism::kWsusUpdateMissing));

TEST_F(MissingPayload, TheScenarioNamesThePayloadsThatAreMissing) {
    SetScenarioDword(L"SourceFailure", static_cast<DWORD>(dism::kDownloadFailure));
    SetScenarioText(L"SourceMissing", L"IIS-WebServerRole");
    EXPECT_EQ(Enable(L"IIS-ASP"), dism::kDownloadFailure);  // through its parents
    EXPECT_EQ(Enable(L"NetFx3"), S_OK);
    EXPECT_EQ(StateOf(L"IIS-WebServerRole"), DismStateRemoved);

    SetFeatureValue(L"IIS-WebServerRole", 1);  // enabled before: no payload needed
    EXPECT_EQ(Enable(L"IIS-ASP"), S_OK);
    EXPECT_EQ(StateOf(L"IIS-WebServerRole"), DismStateInstalled);

    SetScenarioText(L"SourceMissing", L"");
    SetScenarioDword(L"RestartRequired", 1);
    EXPECT_EQ(Enable(L"IIS-FTPSvc"), dism::kRestartRequired);

    SetScenarioText(L"SourceMissing", L"IIS-CGI");
    SetScenarioDword(L"SourceFailure", 0);  // without it every payload is there
    EXPECT_EQ(StateOf(L"IIS-CGI"), DismStateStaged);
    SetScenarioDword(L"SourceFailure", 1);  // a success code cannot stand for a failed source
    EXPECT_EQ(Enable(L"IIS-WebServerRole"), dism::kBadScenario);
    EXPECT_EQ(StateOf(L"IIS-CGI"), kCallFailed);
}

TEST_F(MissingPayload, GetFeatureInfoRefusesWhatTheOtherCallsRefuse) {
    DismFeatureInfo stale{};
    DismFeatureInfo* info = nullptr;
    auto query = [&](DismSession session, PCWSTR name, PCWSTR identifier = nullptr,
                     DismPackageIdentifier package = DismPackageNone) {
        info = &stale;  // left from an earlier call; must be cleared
        HRESULT hr = api_.getFeatureInfo(session, name, identifier, package, &info);
        EXPECT_EQ(info, nullptr) << "a failed query hands out nothing";
        return hr;
    };
    EXPECT_EQ(query(0, L"NetFx3"), dism::kInvalidSession);
    EXPECT_EQ(query(session_, nullptr), E_INVALIDARG);
    EXPECT_EQ(query(session_, L"NetFx3", L"Some-Package"), E_INVALIDARG);
    EXPECT_EQ(query(session_, L"NetFx3", nullptr, static_cast<DismPackageIdentifier>(3)), E_INVALIDARG);
    EXPECT_EQ(query(session_, L"NetFx3", L"Some-Package", DismPackageName), dism::kUnknownFeature);
    for (PCWSTR name : {L"", L"netfx3", L"NetFx3;IIS-WebServerRole", L"IIS-NoSuchFeature"}) {
        EXPECT_EQ(query(session_, name), dism::kUnknownFeature) << name;
    }
    EXPECT_EQ(api_.getFeatureInfo(session_, L"NetFx3", nullptr, DismPackageNone, nullptr), E_INVALIDARG);
    SetScenarioDword(L"FailGetFeatureInfo", static_cast<DWORD>(E_ACCESSDENIED));
    EXPECT_EQ(query(session_, L"NetFx3"), E_ACCESSDENIED);
    SetScenarioDword(L"FailGetFeatureInfo", 0);

    ASSERT_EQ(api_.closeSession(session_), S_OK);
    ASSERT_EQ(api_.shutdown(), S_OK);
    EXPECT_EQ(query(session_, L"NetFx3"), dism::kNotInitialized);

}

TEST_F(MissingPayload, DismDeleteFreesOnlyWhatTheLibraryHandedOutAndOnlyOnce) {
    DismFeatureInfo* info = nullptr;
    ASSERT_EQ(api_.getFeatureInfo(session_, L"NetFx3", nullptr, DismPackageNone, &info), S_OK);
    int foreign = 0;
    EXPECT_EQ(api_.deleteStructure(info), S_OK);
    EXPECT_EQ(api_.deleteStructure(info), E_INVALIDARG);
    EXPECT_EQ(api_.deleteStructure(&foreign), E_INVALIDARG);
    EXPECT_EQ(api_.deleteStructure(nullptr), S_OK);

    std::vector<std::string> lines = RecordLines();
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(std::vector<std::string>(lines.end() - 4, lines.end()),
              (std::vector<std::string>{"DismDelete structure=DismFeatureInfo -> 0x00000000",
                                        "DismDelete structure=unknown -> 0x80070057",
                                        "DismDelete structure=unknown -> 0x80070057",
                                        "DismDelete structure=(null) -> 0x00000000"}));
}

struct ThreadProbe {
    decltype(&DismGetLastErrorMessage) get = nullptr;
    HRESULT result = E_FAIL;
    DismString* message = nullptr;
};

DWORD WINAPI ProbeLastError(LPVOID parameter) {
    auto* probe = static_cast<ThreadProbe*>(parameter);
    probe->result = probe->get(&probe->message);
    return 0;
}

TEST_F(MissingPayload, TheLastErrorTextBelongsToTheThreadAndTheLastFailedCall) {
    DismString stale{};
    DismString* message = &stale;
    EXPECT_EQ(api_.getLastErrorMessage(&message), S_FALSE) << "initialising and opening did not fail";
    EXPECT_EQ(message, nullptr);
    EXPECT_EQ(api_.getLastErrorMessage(nullptr), E_INVALIDARG);

    EXPECT_EQ(Enable(L"IIS-NoSuchFeature"), dism::kUnknownFeature);
    ThreadProbe probe{api_.getLastErrorMessage};
    win::KernelHandle thread(::CreateThread(nullptr, 0, ProbeLastError, &probe, 0, nullptr));
    ASSERT_TRUE(thread);
    ASSERT_EQ(::WaitForSingleObject(thread.Get(), 10000), WAIT_OBJECT_0);
    EXPECT_EQ(probe.result, S_FALSE) << "another thread's failure is not this one's";
    EXPECT_EQ(probe.message, nullptr);

    EXPECT_EQ(Enable(L"IIS-WebServerRole"), S_OK);
    EXPECT_EQ(LastErrorText(), dism::ErrorText(dism::kUnknownFeature)) << "a success leaves the text";
    EXPECT_EQ(api_.closeSession(0), dism::kInvalidSession);
    EXPECT_EQ(LastErrorText(), dism::ErrorText(dism::kInvalidSession));
    SetScenarioDword(L"FailShutdown", static_cast<DWORD>(E_ACCESSDENIED));
    EXPECT_EQ(api_.shutdown(), E_ACCESSDENIED);
    EXPECT_EQ(LastErrorText(), dism::ErrorText(dism::kInvalidSession)) << "DismShutdown leaves no text";

    std::vector<std::string> lines = RecordLines();
    EXPECT_EQ(CountStartingWith(lines, "DismGetLastErrorMessage errorMessage=set -> 0x00000001"), 2u);
    EXPECT_EQ(CountStartingWith(lines, "DismGetLastErrorMessage errorMessage=(null) -> 0x80070057"), 1u);
    EXPECT_EQ(CountStartingWith(lines, "DismGetLastErrorMessage errorMessage=set -> 0x00000000 for=0xC0040004"), 2u);
}

}  // namespace
