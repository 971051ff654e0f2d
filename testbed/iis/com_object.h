#pragma once
// The shared COM object pieces, and what only the IIS stand-in adds to them.
#include <windows.h>

#include "testbed/common/com_object.h"

namespace iisadmin {

using testbed::com::Guarded;
using testbed::com::LockModule;
using testbed::com::ModuleInUse;
using testbed::com::RefCount;
using testbed::com::UnlockModule;

// The error codes IIS's configuration system answers with.
inline constexpr HRESULT kNotFound = static_cast<HRESULT>(0x80070490);  // ERROR_NOT_FOUND
inline constexpr HRESULT kInvalidIndex = static_cast<HRESULT>(0x80070585);  // ERROR_INVALID_INDEX
inline constexpr HRESULT kAlreadyExists = static_cast<HRESULT>(0x800700B7);  // ERROR_ALREADY_EXISTS
inline constexpr HRESULT kLockViolation = static_cast<HRESULT>(0x80070021);  // ERROR_LOCK_VIOLATION
inline constexpr HRESULT kInvalidData = static_cast<HRESULT>(0x8007000D);  // ERROR_INVALID_DATA
inline constexpr HRESULT kFileNotFound = static_cast<HRESULT>(0x80070002);  // ERROR_FILE_NOT_FOUND
inline constexpr HRESULT kNotSupported = static_cast<HRESULT>(0x80070032);  // ERROR_NOT_SUPPORTED
// A commit with an entry that lacks an attribute its schema requires. IIS's
// tools name the attribute ("Missing required attribute"); the code is ours:
// the one IIS gives for configuration data it cannot accept.
inline constexpr HRESULT kMissingRequired = kInvalidData;

}  // namespace iisadmin
