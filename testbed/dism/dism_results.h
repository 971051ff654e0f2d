#pragma once
// The results DismApi.dll hands back, as signed HRESULTs. The platform header
// spells its codes as unsigned literals, which do not compare with HRESULT
// cleanly; these are the same values.
#include <windows.h>

namespace dism {

constexpr HRESULT kNotInitialized = static_cast<HRESULT>(0xC0040001);     // DISMAPI_E_DISMAPI_NOT_INITIALIZED
constexpr HRESULT kOpenSessionHandles = static_cast<HRESULT>(0xC0040003); // DISMAPI_E_OPEN_SESSION_HANDLES
constexpr HRESULT kInvalidSession = static_cast<HRESULT>(0xC0040004);     // DISMAPI_E_INVALID_DISM_SESSION
constexpr HRESULT kParentFeatureDisabled = static_cast<HRESULT>(0xC004000D);  // DISMAPI_E_PARENT_FEATURE_DISABLED
constexpr HRESULT kUnknownFeature = static_cast<HRESULT>(0x800F080C);     // DISMAPI_E_UNKNOWN_FEATURE, CBS_E_UNKNOWN_UPDATE
// DISMAPI_E_DISMAPI_ALREADY_INITIALIZED is documented by name only; the
// platform header gives it no value, so the Win32 "already initialized" error
// stands for it. Callers can only rely on it being a failure.
constexpr HRESULT kAlreadyInitialized = HRESULT_FROM_WIN32(ERROR_ALREADY_INITIALIZED);
// An offline image that is not there.
constexpr HRESULT kImageNotFound = HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
// The enabling worked and needs a restart: a success code, ERROR_SUCCESS_REBOOT_REQUIRED as is.
constexpr HRESULT kRestartRequired = static_cast<HRESULT>(ERROR_SUCCESS_REBOOT_REQUIRED);
// A scenario value (the progress sequence, the source failure) cannot be read.
constexpr HRESULT kBadScenario = HRESULT_FROM_WIN32(ERROR_INVALID_DATA);
constexpr HRESULT kBadProgressScenario = kBadScenario;

// The servicing stack's answers when a feature's payload is not on the
// machine and cannot be fetched.
constexpr HRESULT kSourceMissing = static_cast<HRESULT>(0x800F081F);          // CBS_E_SOURCE_MISSING
constexpr HRESULT kDownloadFailure = static_cast<HRESULT>(0x800F0906);        // CBS_E_DOWNLOAD_FAILURE
constexpr HRESULT kGroupPolicyDisallowed = static_cast<HRESULT>(0x800F0907);  // CBS_E_GROUPPOLICY_DISALLOWED
constexpr HRESULT kWsusUpdateMissing = static_cast<HRESULT>(0x800F0954);      // CBS_E_INVALID_WINDOWS_UPDATE_COUNT_WSUS

}  // namespace dism
