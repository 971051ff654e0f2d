#include "payload.h"

#include "feature_table.h"
#include "scenario.h"

namespace dism {

std::set<std::wstring> FeatureNameSet(std::wstring_view list) {
    std::set<std::wstring> names;
    for (std::wstring_view name : SplitFeatureList(list)) {
        if (!name.empty()) names.emplace(name);
    }
    return names;
}

HRESULT CheckPayloads(const SourceScenario& source, const std::vector<std::wstring>& toEnable,
                      const std::set<std::wstring>& enabled) {
    if (source.failure == S_OK) return S_OK;
    for (const std::wstring& name : toEnable) {
        if (source.missing.count(name) && !enabled.count(name)) return source.failure;
    }
    return S_OK;
}

DismPackageFeatureState FeatureState(const SourceScenario& source, std::wstring_view name,
                                     const std::set<std::wstring>& enabled) {
    const std::wstring key(name);
    if (enabled.count(key)) return DismStateInstalled;
    // The documented state of a feature whose metadata is on the machine but not its files.
    if (source.failure != S_OK && source.missing.count(key)) return DismStateRemoved;
    return DismStateStaged;
}

std::optional<SourceScenario> ReadSourceScenario() {
    SourceScenario source;
    std::optional<HRESULT> failure = FailureSwitch(L"SourceFailure");
    if (!failure) return source;
    // A success code here would make a call that enabled nothing look done.
    if (SUCCEEDED(*failure)) return std::nullopt;
    source.failure = *failure;
    source.missing = FeatureNameSet(ScenarioText(L"SourceMissing").value_or(std::wstring(kDefaultSourceMissing)));
    return source;
}

}  // namespace dism
