#pragma once
// Features whose payload is not on the machine, as on a Windows Server
// installed without its media and cut off from Windows Update: a call that
// would turn one of them on fails as a whole with the servicing stack's
// source error, and the feature reads as removed.
#include <windows.h>

#include <dismapi.h>

#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace dism {

// .NET 3.5 is the payload a stock Windows Server leaves out; the IIS feature
// that needs it is listed too, so presetting NetFx3 alone does not hide it.
inline constexpr std::wstring_view kDefaultSourceMissing = L"IIS-NetFxExtensibility;NetFx3";

struct SourceScenario {
    HRESULT failure = S_OK;  // S_OK: every payload can be had
    std::set<std::wstring> missing;
};

// The names of a ";"-separated list; empty entries name nothing.
std::set<std::wstring> FeatureNameSet(std::wstring_view list);

// S_OK, or the scenario's failure when `toEnable` holds a feature without
// payload that is not enabled yet (an enabled one needs no payload).
HRESULT CheckPayloads(const SourceScenario& source, const std::vector<std::wstring>& toEnable,
                      const std::set<std::wstring>& enabled);

// What DismGetFeatureInfo reports for a known feature.
DismPackageFeatureState FeatureState(const SourceScenario& source, std::wstring_view name,
                                     const std::set<std::wstring>& enabled);

// The SourceFailure and SourceMissing values; none when SourceFailure holds
// something other than a failure code.
std::optional<SourceScenario> ReadSourceScenario();

}  // namespace dism
