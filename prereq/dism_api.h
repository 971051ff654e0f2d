#pragma once
// The DISM functions of the system's own DismApi.dll, found by name, and the
// two questions the IIS features ask of it besides enabling them.
#include <windows.h>
#include <dismapi.h>

#include <string>

#include "win/handles.h"

using DismInitializeFn = HRESULT(WINAPI*)(DismLogLevel, PCWSTR, PCWSTR);
using DismOpenSessionFn = HRESULT(WINAPI*)(PCWSTR, PCWSTR, PCWSTR, DismSession*);
using DismEnableFeatureFn = HRESULT(WINAPI*)(DismSession, PCWSTR, PCWSTR, DismPackageIdentifier, BOOL, PCWSTR*, UINT,
                                             BOOL, HANDLE, DISM_PROGRESS_CALLBACK, PVOID);
using DismGetFeatureInfoFn = HRESULT(WINAPI*)(DismSession, PCWSTR, PCWSTR, DismPackageIdentifier, DismFeatureInfo**);
using DismGetLastErrorMessageFn = HRESULT(WINAPI*)(DismString**);
using DismDeleteFn = HRESULT(WINAPI*)(VOID*);
using DismCloseSessionFn = HRESULT(WINAPI*)(DismSession);
using DismShutdownFn = HRESULT(WINAPI*)();

struct DismApi {
    DismApi();

    win::Library library;
    DismInitializeFn initialize = nullptr;
    DismOpenSessionFn openSession = nullptr;
    DismEnableFeatureFn enableFeature = nullptr;
    DismCloseSessionFn closeSession = nullptr;
    DismShutdownFn shutdown = nullptr;
    // Optional: without them every feature is tried and a failure has no
    // text of DISM's own. A structure DISM hands out is only asked for when
    // DismDelete is there to free it.
    DismGetFeatureInfoFn getFeatureInfo = nullptr;
    DismGetLastErrorMessageFn getLastErrorMessage = nullptr;
    DismDeleteFn deleteStructure = nullptr;

    // The functions enabling the features cannot do without.
    bool Complete() const { return initialize && openSession && enableFeature && closeSession && shutdown; }
};

// True when DISM says the feature is installed; false when it is not, or
// when DISM cannot say (the feature is then tried like any other).
bool DismFeatureInstalled(const DismApi& dism, DismSession session, const std::wstring& feature);
// DISM's text for the last failed call of this thread, on one line; empty
// when DISM has none. Asked right after the failure, before any other call.
std::string DismLastErrorText(const DismApi& dism);
