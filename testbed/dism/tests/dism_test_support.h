#pragma once
// What the DismApi.dll tests share: the installed library loaded the way the
// setup loads it, the scenario keys and record file cleaned before and after
// every test, and a progress callback that remembers what it was told.
#include <windows.h>

#include <dismapi.h>

#include <map>
#include <string>
#include <vector>

#include "win/handles.h"

namespace dism_test {

// The setup's fifteen features, joined as it passes them and one by one.
inline constexpr wchar_t kSetupFeatures[] =
    L"IIS-ApplicationDevelopment;IIS-CommonHttpFeatures;IIS-DefaultDocument;IIS-ISAPIExtensions;IIS-ISAPIFilter;"
    L"IIS-WebServerManagementTools;IIS-ManagementConsole;IIS-NetFxExtensibility;IIS-RequestFiltering;IIS-Security;"
    L"IIS-StaticContent;IIS-WebServer;IIS-WebServerRole;IIS-ASPNET45;IIS-NetFxExtensibility45";

inline constexpr const wchar_t* kSetupFeatureNames[] = {
    L"IIS-ApplicationDevelopment", L"IIS-CommonHttpFeatures", L"IIS-DefaultDocument",
    L"IIS-ISAPIExtensions",        L"IIS-ISAPIFilter",        L"IIS-WebServerManagementTools",
    L"IIS-ManagementConsole",      L"IIS-NetFxExtensibility", L"IIS-RequestFiltering",
    L"IIS-Security",               L"IIS-StaticContent",      L"IIS-WebServer",
    L"IIS-WebServerRole",          L"IIS-ASPNET45",           L"IIS-NetFxExtensibility45",
};

struct DismApi {
    win::Library module;
    decltype(&DismInitialize) initialize = nullptr;
    decltype(&DismOpenSession) openSession = nullptr;
    decltype(&DismEnableFeature) enableFeature = nullptr;
    decltype(&DismCloseSession) closeSession = nullptr;
    decltype(&DismShutdown) shutdown = nullptr;
    decltype(&DismGetFeatureInfo) getFeatureInfo = nullptr;
    decltype(&DismGetLastErrorMessage) getLastErrorMessage = nullptr;
    decltype(&DismDelete) deleteStructure = nullptr;

    // LoadLibraryExW with LOAD_LIBRARY_SEARCH_SYSTEM32 and GetProcAddress by name.
    static DismApi Load();
    bool Complete() const;
    std::wstring ModulePath() const;
};

// Removes HKLM\SOFTWARE\CorvantaTestbed\Dism and C:\CorvantaTestbed\dism-calls.log.
void ResetScenario();
void SetScenarioDword(const wchar_t* name, DWORD value);
void SetScenarioText(const wchar_t* name, const wchar_t* text);
void SetFeatureValue(const wchar_t* feature, DWORD value);
// The Features subkey's values, read here rather than by the library's own
// code; a value that is not a REG_DWORD shows as 0xFFFFFFFF.
std::map<std::wstring, DWORD> FeatureValues();
std::vector<std::string> RecordLines();

struct ProgressReport {
    UINT current;
    UINT total;
    DWORD thread;
    bool operator==(const ProgressReport&) const = default;
};
// A DISM_PROGRESS_CALLBACK; UserData must be a std::vector<ProgressReport>*.
void CALLBACK CollectProgress(UINT current, UINT total, PVOID userData);
// Stands in for the setup's callback where the test passes no user data.
void CALLBACK IgnoreProgress(UINT current, UINT total, PVOID userData);

}  // namespace dism_test
