#pragma once
// The test machine's DISM scenario: settings tests write under
// HKLM\SOFTWARE\CorvantaTestbed\Dism (64-bit view) and the features enabled
// so far, one REG_DWORD per name under its "Features" subkey.
#include <windows.h>

#include <optional>
#include <set>
#include <string>
#include <vector>

namespace dism {

inline constexpr wchar_t kScenarioKey[] = L"SOFTWARE\\CorvantaTestbed\\Dism";
inline constexpr wchar_t kFeaturesKey[] = L"SOFTWARE\\CorvantaTestbed\\Dism\\Features";

// A failure switch: the REG_DWORD value `name`, when present and not 0.
std::optional<HRESULT> FailureSwitch(const wchar_t* name);
// The REG_SZ value `name`, when present.
std::optional<std::wstring> ScenarioText(const wchar_t* name);
bool ScenarioFlag(const wchar_t* name);

// Features whose value is a REG_DWORD 1.
std::set<std::wstring> EnabledFeatures();
// Writes 1 for every name; the Win32 error as an HRESULT when a write fails.
HRESULT RecordEnabled(const std::vector<std::wstring>& names);

}  // namespace dism
