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

struct DismApi {
    win::Library module;
    decltype(&DismInitialize) initialize = nullptr;
    decltype(&DismOpenSession) openSession = nullptr;
    decltype(&DismEnableFeature) enableFeature = nullptr;
    decltype(&DismCloseSession) closeSession = nullptr;
    decltype(&DismShutdown) shutdown = nullptr;

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
