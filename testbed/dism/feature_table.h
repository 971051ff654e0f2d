#pragma once
// The Windows optional features the test machine knows, the features each one
// needs enabled first, and the decision what one DismEnableFeature call turns
// on. Feature names are case-sensitive, as on Windows.
#include <windows.h>

#include <set>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace dism {

// The names of a ";"-separated list, empty ones included, in order.
std::vector<std::wstring_view> SplitFeatureList(std::wstring_view list);

std::span<const std::wstring_view> KnownFeatures();
bool IsKnownFeature(std::wstring_view name);
// The features that must be enabled before `name` can be (direct parents only).
std::vector<std::wstring_view> ParentsOf(std::wstring_view name);

struct FeaturePlan {
    HRESULT result = S_OK;
    // On success: the features to record as enabled, the requested ones in the
    // caller's order, then the parents added because of EnableAll.
    std::vector<std::wstring> enable;
};

// Splits `list` on ";" and decides the call's outcome. An empty or unknown
// name fails the whole call with the unknown-feature result. Without
// `enableAll`, a feature whose parent is neither enabled nor requested fails
// the call with the parent-disabled result; with it, the parents are added.
FeaturePlan PlanFeatures(std::wstring_view list, bool enableAll, const std::set<std::wstring>& enabled);

}  // namespace dism
