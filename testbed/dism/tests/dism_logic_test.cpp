// The stand-in's decisions as plain data: the feature tree, how a call's list
// is read, the progress sequences a scenario can write.
#include <gtest/gtest.h>

#include <set>

#include "call_record.h"
#include "dism_results.h"
#include "feature_table.h"
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

TEST(CallRecord, KeepsEachCallOnOneLine) {
    EXPECT_EQ(dism::OpenSessionRecord(L"C:\\a\r\nb", nullptr, L"D:", E_INVALIDARG, 5),
              L"DismOpenSession image=C:\\a??b windir=(null) drive=D: -> 0x80070057");
}

}  // namespace
