// The stand-in's decisions as plain data: the feature tree, how a call's list
// is read, the progress sequences a scenario can write, which calls a missing
// payload fails and the texts handed out for failures.
#include <gtest/gtest.h>

#include <set>

#include "call_record.h"
#include "dism_results.h"
#include "error_text.h"
#include "feature_table.h"
#include "payload.h"
#include "progress_sequence.h"

namespace {

using dism::PlanFeatures;
using dism::ProgressStep;

TEST(FeatureTable, EveryParentIsAKnownFeatureAndNoFeatureIsItsOwnAncestor) {
    for (std::wstring_view feature : dism::KnownFeatures()) {
        std::vector<std::wstring_view> ancestors = dism::ParentsOf(feature);
        std::set<std::wstring_view> seen;
        while (!ancestors.empty()) {
            std::wstring_view parent = ancestors.back();
            ancestors.pop_back();
            ASSERT_TRUE(dism::IsKnownFeature(parent)) << "parent of a known feature is unknown";
            ASSERT_NE(parent, feature) << "a feature depends on itself";
            if (seen.insert(parent).second) {
                for (std::wstring_view next : dism::ParentsOf(parent)) ancestors.push_back(next);
            }
        }
    }
}

TEST(FeaturePlanning, AnEmptyOrUnknownNameAnywhereFailsTheList) {
    const wchar_t* lists[] = {L"IIS-WebServerRole;;IIS-WebServer", L";IIS-WebServerRole", L"IIS-WebServerRole ",
                              L"IIS-WEBSERVERROLE"};
    for (const wchar_t* list : lists) {
        dism::FeaturePlan plan = PlanFeatures(list, true, {});
        EXPECT_EQ(plan.result, dism::kUnknownFeature) << list;
        EXPECT_TRUE(plan.enable.empty()) << list;
    }
}

TEST(FeaturePlanning, WithoutEnableAllEveryParentMustBeEnabledOrRequested) {
    EXPECT_EQ(PlanFeatures(L"IIS-WebServer;IIS-WebServerRole", false, {}).result, S_OK);
    EXPECT_EQ(PlanFeatures(L"IIS-ASP", false, {L"IIS-ApplicationDevelopment"}).result,
              dism::kParentFeatureDisabled);
    EXPECT_EQ(PlanFeatures(L"IIS-ASP", false, {L"IIS-ApplicationDevelopment", L"IIS-ISAPIExtensions"}).enable,
              (std::vector<std::wstring>{L"IIS-ASP"}));
}

TEST(ProgressSequence, ReadsDecimalPairsSeparatedByCommas) {
    struct Case {
        const wchar_t* text;
        std::vector<ProgressStep> steps;
    } cases[] = {
        {dism::kDefaultProgress.data(), {{0, 100}, {42, 100}, {100, 100}}},
        {L"", {}},
        {L"4294967295/4294967295", {{4294967295u, 4294967295u}}},
        {L"007/010", {{7, 10}}},
    };
    for (const Case& c : cases) {
        std::optional<std::vector<ProgressStep>> steps = dism::ParseProgressSequence(c.text);
        ASSERT_TRUE(steps.has_value()) << c.text;
        EXPECT_EQ(*steps, c.steps) << c.text;
    }
}

TEST(ProgressSequence, RefusesAnythingElse) {
    const wchar_t* texts[] = {L"42",   L"42/",   L"/100", L"1/2,", L",1/2",         L"1/2;3/4", L"-1/2",
                              L"1/2/3", L" 1/2", L"1 /2", L"1/+2", L"4294967296/1", L"99999999999999999999/1"};
    for (const wchar_t* text : texts) EXPECT_FALSE(dism::ParseProgressSequence(text).has_value()) << text;
}

TEST(PayloadCheck, FailsACallThatWouldTurnOnAFeatureWithoutPayloadItselfOrThroughItsParents) {
    const std::set<std::wstring> netFx3 = dism::FeatureNameSet(dism::kDefaultSourceMissing);
    struct Case {
        const wchar_t* list;
        bool enableAll;
        std::set<std::wstring> enabled;
        std::set<std::wstring> missing;
        HRESULT result;
    } cases[] = {
        {L"IIS-NetFxExtensibility", true, {}, netFx3, dism::kSourceMissing},
        {L"IIS-ASPNET", true, {}, netFx3, dism::kSourceMissing},  // through IIS-NetFxExtensibility
        {L"IIS-ASPNET45;IIS-ManagementConsole", true, {}, netFx3, S_OK},
        {L"IIS-ASP", true, {}, {L"IIS-WebServerRole"}, dism::kSourceMissing},
        {L"IIS-ASP", true, {L"IIS-WebServerRole"}, {L"IIS-WebServerRole"}, S_OK},  // enabled needs no payload
        {L"IIS-NetFxExtensibility", true, {L"NetFx3"}, netFx3, dism::kSourceMissing},
        {L"IIS-NetFxExtensibility", true, {L"NetFx3", L"IIS-NetFxExtensibility"}, netFx3, S_OK},
        {L"IIS-NetFxExtensibility", false, {L"IIS-ApplicationDevelopment", L"WAS-NetFxEnvironment"},
         {L"NetFx3"}, dism::kParentFeatureDisabled},  // a missing parent is not turned on without EnableAll
        {L"NetFx3", true, {}, {L"netfx3"}, S_OK},  // names are case-sensitive
        {L"NetFx3", true, {}, {}, S_OK},
        {L"IIS-FTPSvc", true, {}, dism::FeatureNameSet(L";IIS-FTPServer;"), dism::kSourceMissing},
    };
    for (const Case& c : cases) {
        dism::FeaturePlan plan = PlanFeatures(c.list, c.enableAll, c.enabled);
        HRESULT result = plan.result;
        if (SUCCEEDED(result)) result = dism::CheckPayloads({dism::kSourceMissing, c.missing}, plan.enable, c.enabled);
        EXPECT_EQ(result, c.result) << c.list;
    }
    EXPECT_EQ(dism::CheckPayloads({S_OK, netFx3}, {L"NetFx3"}, {}), S_OK) << "no source failure set";
}

TEST(ErrorText, GivesEachSourceFailureItsOwnText) {
    struct Case {
        HRESULT code;
        const wchar_t* start;
    } cases[] = {
        {dism::kSourceMissing, L"The source files could not be found. Use the \"Source\" option"},
        {dism::kDownloadFailure, L"The source files could not be downloaded."},
        {dism::kGroupPolicyDisallowed, L"Because of network policy settings, Windows couldn't connect"},
        {dism::kWsusUpdateMissing, L"DISM failed. No operation was performed."},
        {dism::kUnknownFeature, L"A Windows feature name was not recognized."},
        {dism::kParentFeatureDisabled, L"One or several parent features are disabled"},
    };
    for (const Case& c : cases) EXPECT_EQ(dism::ErrorText(c.code).rfind(c.start, 0), 0u) << std::hex << c.code;
}

TEST(ErrorText, FallsBackToTheSystemTextAndThenToTheCode) {
    const std::wstring denied = dism::ErrorText(E_ACCESSDENIED);
    EXPECT_FALSE(denied.empty());
    EXPECT_NE(denied.back(), L'\n');
    EXPECT_EQ(denied.find(L"0x80070005"), std::wstring::npos) << "the system knows this one";
    EXPECT_EQ(dism::ErrorText(static_cast<HRESULT>(0xA0F1F00D)), L"The operation failed with error 0xA0F1F00D.");
}

TEST(CallRecord, KeepsEachCallOnOneLine) {
    EXPECT_EQ(dism::OpenSessionRecord(L"C:\\a\r\nb", nullptr, L"D:", E_INVALIDARG, 5),
              L"DismOpenSession image=C:\\a??b windir=(null) drive=D: -> 0x80070057");
}

}  // namespace
