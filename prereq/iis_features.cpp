#include "prereq/iis_features.h"

#include <windows.h>
#include <dismapi.h>

#include "core/context.h"
#include "win/handles.h"
#include "win/text.h"

namespace {

using InitializeFn = HRESULT(WINAPI*)(DismLogLevel, PCWSTR, PCWSTR);
using OpenSessionFn = HRESULT(WINAPI*)(PCWSTR, PCWSTR, PCWSTR, DismSession*);
using EnableFeatureFn = HRESULT(WINAPI*)(DismSession, PCWSTR, PCWSTR, DismPackageIdentifier, BOOL, PCWSTR*, UINT, BOOL,
                                         HANDLE, DISM_PROGRESS_CALLBACK, PVOID);
using CloseSessionFn = HRESULT(WINAPI*)(DismSession);
using ShutdownFn = HRESULT(WINAPI*)();

// The DISM functions, from the system's own DismApi.dll only.
struct DismApi {
    win::Library library{::LoadLibraryExA("DismApi.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32)};
    InitializeFn initialize = Get<InitializeFn>("DismInitialize");
    OpenSessionFn openSession = Get<OpenSessionFn>("DismOpenSession");
    EnableFeatureFn enableFeature = Get<EnableFeatureFn>("DismEnableFeature");
    CloseSessionFn closeSession = Get<CloseSessionFn>("DismCloseSession");
    ShutdownFn shutdown = Get<ShutdownFn>("DismShutdown");

    template <typename F>
    F Get(const char* name) {
        return library ? reinterpret_cast<F>(reinterpret_cast<void*>(::GetProcAddress(library.Get(), name))) : nullptr;
    }
    bool Complete() const { return initialize && openSession && enableFeature && closeSession && shutdown; }
};

void ShowDismProgress(UINT current, UINT total, PVOID userData) {
    auto* context = static_cast<SetupContext*>(userData);
    if (context) context->SetStatus(IisProgressText(IisProgressPercent(current, total)));
}

void CALLBACK DismProgress(UINT current, UINT total, PVOID userData) {
    try {
        ShowDismProgress(current, total, userData);
    } catch (...) {
        // nothing may unwind into the DISM library
    }
}

std::string HexResult(HRESULT hr) { return "0x" + text::Hex8(static_cast<unsigned long>(hr)); }

}  // namespace

std::vector<std::string> IisFeatureNames() {
    return {
        "IIS-ApplicationDevelopment", "IIS-CommonHttpFeatures", "IIS-DefaultDocument",  "IIS-ISAPIExtensions",
        "IIS-ISAPIFilter",            "IIS-WebServerManagementTools", "IIS-ManagementConsole", "IIS-NetFxExtensibility",
        "IIS-RequestFiltering",       "IIS-Security",           "IIS-StaticContent",    "IIS-WebServer",
        "IIS-WebServerRole",          "IIS-ASPNET45",           "IIS-NetFxExtensibility45"};
}

std::string JoinedIisFeatures() {
    std::string joined;
    for (const std::string& name : IisFeatureNames()) {
        if (!joined.empty()) joined += ';';
        joined += name;
    }
    return joined;
}

int IisProgressPercent(unsigned current, unsigned total) {
    if (total == 0) return 0;
    return static_cast<int>(static_cast<double>(current) / static_cast<double>(total) * 100.0);
}

std::string IisProgressText(int percent) { return "Updating IIS Features:" + std::to_string(percent) + " perc completed"; }

int EnableIisFeatures(SetupContext& context) {
    DismApi dism;
    if (!dism.Complete()) {
        context.Fail(LOG_SERVER, "Could not configure IIS. Please do it manually", "DismApi.dll is not available");
        return 0;
    }
    std::string failure;
    DismSession session = 0;
    HRESULT hr = dism.initialize(DismLogErrorsWarningsInfo, nullptr, nullptr);
    if (FAILED(hr)) {
        failure = "DismInitialize failed with " + HexResult(hr);
    } else if (FAILED(hr = dism.openSession(DISM_ONLINE_IMAGE, nullptr, nullptr, &session))) {
        failure = "DismOpenSession failed with " + HexResult(hr);
    } else {
        const std::wstring features = win::ToWide(JoinedIisFeatures());
        // Cancel sets the event: DISM stops at its next safe point.
        hr = dism.enableFeature(session, features.c_str(), nullptr, DismPackageNone, FALSE, nullptr, 0, TRUE,
                                context.cancel.Event(), DismProgress, &context);
        if (FAILED(hr)) failure = "DismEnableFeature failed with " + HexResult(hr);
    }
    dism.closeSession(session);
    hr = dism.shutdown();
    if (FAILED(hr) && failure.empty()) failure = "DismShutdown failed with " + HexResult(hr);
    if (context.Stopping()) return 0;  // Cancel stopped DISM: no failure of its own
    if (!failure.empty()) {
        // Every failed call is reported; the features may not be enabled.
        context.Fail(LOG_SERVER, "Could not configure IIS. Please do it manually", failure);
        return 0;
    }
    context.Log(LOG_SERVER, "Configured IIS for use with TovinSoft Corvanta 10.0");
    return 1;
}
