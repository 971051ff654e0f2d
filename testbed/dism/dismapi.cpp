// DismApi.dll of the test machine: the DISM API functions the setup calls to
// query and enable the IIS features, with the real library's call-order rules
// and results, the features it enables kept in the machine's registry, the
// progress it reports and the payloads it lacks taken from the scenario, the
// last failure's text kept per thread, and every call recorded.
#include <windows.h>

#include <dismapi.h>

#include <mutex>
#include <new>
#include <set>

#include "call_record.h"
#include "dism_results.h"
#include "error_text.h"
#include "feature_table.h"
#include "handouts.h"
#include "last_error.h"
#include "payload.h"
#include "progress_sequence.h"
#include "scenario.h"

namespace dism {
namespace {

bool IsOnlineImage(PCWSTR image) {
    return ::CompareStringOrdinal(image, -1, DISM_ONLINE_IMAGE, -1, TRUE) == CSTR_EQUAL;
}

// The library's state is per process, as the real one's is: initialised or
// not, and the sessions handed out.
class DismLibrary {
public:
    HRESULT Initialize(DismLogLevel level) {
        std::lock_guard<std::mutex> hold(lock_);
        if (initialized_) return kAlreadyInitialized;
        // Newer headers add a fourth level, DismLogErrorsWarningsInfoDebug (3).
        const int value = static_cast<int>(level);
        if (value < 0 || value > 3) return E_INVALIDARG;
        initialized_ = true;
        return S_OK;
    }

    HRESULT OpenSession(PCWSTR image, PCWSTR windowsDirectory, PCWSTR systemDrive, DismSession* session) {
        std::lock_guard<std::mutex> hold(lock_);
        if (!initialized_) return kNotInitialized;
        if (!image || !session) return E_INVALIDARG;
        // The test machine has no offline images; only the running system opens.
        if (!IsOnlineImage(image)) return kImageNotFound;
        // A Windows folder or system drive makes no sense for the running system.
        if (windowsDirectory || systemDrive) return E_INVALIDARG;
        *session = nextSession_++;
        sessions_.insert(*session);
        return S_OK;
    }

    HRESULT CheckSession(DismSession session) {
        std::lock_guard<std::mutex> hold(lock_);
        if (!initialized_) return kNotInitialized;
        return sessions_.count(session) ? S_OK : kInvalidSession;
    }

    HRESULT CloseSession(DismSession session) {
        std::lock_guard<std::mutex> hold(lock_);
        if (!initialized_) return kNotInitialized;
        return sessions_.erase(session) ? S_OK : kInvalidSession;
    }

    HRESULT Shutdown() {
        std::lock_guard<std::mutex> hold(lock_);
        if (!initialized_) return kNotInitialized;
        if (!sessions_.empty()) return kOpenSessionHandles;
        initialized_ = false;
        return S_OK;
    }

private:
    std::mutex lock_;
    bool initialized_ = false;
    std::set<DismSession> sessions_;
    DismSession nextSession_ = 1;  // never 0, never handed out twice in a process
};

DismLibrary library;
Handouts handouts;
LastErrors lastErrors;

// Every call but DismShutdown, DismDelete and DismGetLastErrorMessage leaves
// its failure for DismGetLastErrorMessage, as the real library does.
HRESULT Remember(HRESULT hr) {
    if (FAILED(hr)) lastErrors.Set(::GetCurrentThreadId(), hr);
    return hr;
}

HRESULT CheckFeatureArguments(PCWSTR featureName, PCWSTR identifier, DismPackageIdentifier packageIdentifier) {
    if (!featureName) return E_INVALIDARG;
    if (packageIdentifier < DismPackageNone || packageIdentifier > DismPackagePath) return E_INVALIDARG;
    if (identifier && packageIdentifier == DismPackageNone) return E_INVALIDARG;
    return S_OK;
}

HRESULT CheckEnableArguments(PCWSTR featureName, PCWSTR identifier, DismPackageIdentifier packageIdentifier,
                             PCWSTR* sourcePaths, UINT sourcePathCount) {
    HRESULT hr = CheckFeatureArguments(featureName, identifier, packageIdentifier);
    if (FAILED(hr)) return hr;
    if (sourcePathCount > 0 && !sourcePaths) return E_INVALIDARG;
    // The test machine holds no packages, so no feature is found in a named one.
    if (identifier) return kUnknownFeature;
    return S_OK;
}

HRESULT EnableFeatures(DismSession session, PCWSTR featureName, PCWSTR identifier,
                       DismPackageIdentifier packageIdentifier, PCWSTR* sourcePaths, UINT sourcePathCount,
                       BOOL enableAll, DISM_PROGRESS_CALLBACK progress, PVOID userData) {
    HRESULT hr = library.CheckSession(session);
    if (FAILED(hr)) return hr;
    hr = CheckEnableArguments(featureName, identifier, packageIdentifier, sourcePaths, sourcePathCount);
    if (FAILED(hr)) return hr;
    std::optional<std::vector<ProgressStep>> steps =
        ParseProgressSequence(ScenarioText(L"Progress").value_or(std::wstring(kDefaultProgress)));
    if (!steps) return kBadProgressScenario;
    const std::set<std::wstring> enabled = EnabledFeatures();
    FeaturePlan plan = PlanFeatures(featureName, enableAll != FALSE, enabled);
    if (FAILED(plan.result)) return plan.result;
    std::optional<SourceScenario> source = ReadSourceScenario();
    if (!source) return kBadScenario;
    // Checked before anything is reported or written: the call fails whole.
    hr = CheckPayloads(*source, plan.enable, enabled);
    if (FAILED(hr)) return hr;
    // The real call is synchronous and reports on the caller's thread.
    if (progress) {
        for (const ProgressStep& step : *steps) progress(step.current, step.total, userData);
    }
    hr = RecordEnabled(plan.enable);
    if (FAILED(hr)) return hr;
    return ScenarioFlag(L"RestartRequired") ? kRestartRequired : S_OK;
}

struct FeatureInfoResult {
    HRESULT result = S_OK;
    DismPackageFeatureState state = DismStateNotPresent;
};

FeatureInfoResult GetFeatureInfo(DismSession session, PCWSTR featureName, PCWSTR identifier,
                                 DismPackageIdentifier packageIdentifier, DismFeatureInfo** featureInfo) {
    HRESULT hr = library.CheckSession(session);
    if (FAILED(hr)) return {hr};
    if (!featureInfo) return {E_INVALIDARG};
    hr = CheckFeatureArguments(featureName, identifier, packageIdentifier);
    if (FAILED(hr)) return {hr};
    if (identifier || !IsKnownFeature(featureName)) return {kUnknownFeature};
    std::optional<SourceScenario> source = ReadSourceScenario();
    if (!source) return {kBadScenario};
    const DismPackageFeatureState state = FeatureState(*source, featureName, EnabledFeatures());
    const std::wstring name(featureName);
    *featureInfo =
        handouts.AddFeatureInfo(name, state, name, L"The optional feature " + name + L" of the test machine.");
    return {S_OK, state};
}

HRESULT GetLastErrorMessage(DismString** errorMessage, std::optional<HRESULT>* failure) {
    if (!errorMessage) return E_INVALIDARG;
    *errorMessage = nullptr;
    *failure = lastErrors.Get(::GetCurrentThreadId());
    if (!*failure) return S_FALSE;
    *errorMessage = handouts.AddString(ErrorText(**failure));
    return S_OK;
}

// No exception may leave the library: the caller is C code.
template <typename Call>
HRESULT Guarded(Call call) noexcept {
    try {
        return call();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

}  // namespace
}  // namespace dism

using namespace dism;

extern "C" HRESULT WINAPI DismInitialize(DismLogLevel LogLevel, PCWSTR LogFilePath, PCWSTR ScratchDirectory) {
    return Guarded([&] {
        HRESULT hr = FailureSwitch(L"FailInitialize").value_or(S_OK);
        if (hr == S_OK) hr = library.Initialize(LogLevel);
        AppendRecord(InitializeRecord(LogLevel, LogFilePath, ScratchDirectory, hr));
        return Remember(hr);
    });
}

extern "C" HRESULT WINAPI DismOpenSession(PCWSTR ImagePath, PCWSTR WindowsDirectory, PCWSTR SystemDrive,
                                          DismSession* Session) {
    return Guarded([&] {
        HRESULT hr = FailureSwitch(L"FailOpenSession").value_or(S_OK);
        if (hr == S_OK) hr = library.OpenSession(ImagePath, WindowsDirectory, SystemDrive, Session);
        AppendRecord(OpenSessionRecord(ImagePath, WindowsDirectory, SystemDrive, hr, Session ? *Session : 0));
        return Remember(hr);
    });
}

extern "C" HRESULT WINAPI DismEnableFeature(DismSession Session, PCWSTR FeatureName, PCWSTR Identifier,
                                            DismPackageIdentifier PackageIdentifier, WINBOOL LimitAccess,
                                            PCWSTR* SourcePaths, UINT SourcePathCount, WINBOOL EnableAll,
                                            HANDLE CancelEvent, DISM_PROGRESS_CALLBACK Progress, PVOID UserData) {
    return Guarded([&] {
        HRESULT hr = FailureSwitch(L"FailEnableFeature").value_or(S_OK);
        if (hr == S_OK) {
            hr = EnableFeatures(Session, FeatureName, Identifier, PackageIdentifier, SourcePaths, SourcePathCount,
                                EnableAll, Progress, UserData);
        }
        EnableFeatureCall call{Session,     FeatureName,     Identifier, static_cast<int>(PackageIdentifier),
                               LimitAccess, SourcePathCount, EnableAll,  CancelEvent,
                               Progress != nullptr,          UserData};
        AppendRecord(EnableFeatureRecord(call, hr));
        return Remember(hr);
    });
}

extern "C" HRESULT WINAPI DismCloseSession(DismSession Session) {
    return Guarded([&] {
        HRESULT hr = FailureSwitch(L"FailCloseSession").value_or(S_OK);
        if (hr == S_OK) hr = library.CloseSession(Session);
        AppendRecord(CloseSessionRecord(Session, hr));
        return Remember(hr);
    });
}

extern "C" HRESULT WINAPI DismShutdown(void) {
    return Guarded([&] {
        HRESULT hr = FailureSwitch(L"FailShutdown").value_or(S_OK);
        if (hr == S_OK) hr = library.Shutdown();
        AppendRecord(ShutdownRecord(hr));
        return hr;
    });
}

extern "C" HRESULT WINAPI DismGetFeatureInfo(DismSession Session, PCWSTR FeatureName, PCWSTR Identifier,
                                             DismPackageIdentifier PackageIdentifier, DismFeatureInfo** FeatureInfo) {
    return Guarded([&] {
        // A caller that frees whatever it got must not free a stale pointer.
        if (FeatureInfo) *FeatureInfo = nullptr;
        FeatureInfoResult r{FailureSwitch(L"FailGetFeatureInfo").value_or(S_OK)};
        if (r.result == S_OK) r = GetFeatureInfo(Session, FeatureName, Identifier, PackageIdentifier, FeatureInfo);
        AppendRecord(GetFeatureInfoRecord(Session, FeatureName, Identifier, static_cast<int>(PackageIdentifier),
                                          FeatureInfo != nullptr, r.result, static_cast<int>(r.state)));
        return Remember(r.result);
    });
}

extern "C" HRESULT WINAPI DismGetLastErrorMessage(DismString** ErrorMessage) {
    return Guarded([&] {
        std::optional<HRESULT> failure;
        HRESULT hr = GetLastErrorMessage(ErrorMessage, &failure);
        AppendRecord(GetLastErrorMessageRecord(ErrorMessage != nullptr, hr, SUCCEEDED(hr) ? failure : std::nullopt));
        return hr;
    });
}

extern "C" HRESULT WINAPI DismDelete(VOID* DismStructure) {
    return Guarded([&] {
        // Freeing nothing succeeds, as the platform's own sample relies on.
        std::wstring_view type = DismStructure ? handouts.Delete(DismStructure) : std::wstring_view();
        HRESULT hr = (!DismStructure || !type.empty()) ? S_OK : E_INVALIDARG;
        AppendRecord(DeleteRecord(DismStructure, type, hr));
        return hr;
    });
}

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    if (reason == DLL_THREAD_DETACH) lastErrors.Forget(::GetCurrentThreadId());
    return TRUE;
}
