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
// The scenario's progress sequence cannot be read.
constexpr HRESULT kBadProgressScenario = HRESULT_FROM_WIN32(ERROR_INVALID_DATA);

}  // namespace dism
