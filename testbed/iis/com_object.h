#pragma once
// What every COM object of the IIS stand-in shares: a thread-safe reference
// count that keeps the DLL loaded while the object lives, and a guard that keeps
// C++ exceptions from crossing the COM boundary.
#include <windows.h>

#include <new>

namespace iisadmin {

// Live objects and IClassFactory::LockServer calls; DllCanUnloadNow reads it.
void LockModule() noexcept;
void UnlockModule() noexcept;
bool ModuleInUse() noexcept;

class RefCount {
public:
    RefCount() noexcept { LockModule(); }
    ~RefCount() { UnlockModule(); }
    RefCount(const RefCount&) = delete;
    RefCount& operator=(const RefCount&) = delete;

    ULONG AddRef() noexcept { return static_cast<ULONG>(::InterlockedIncrement(&count_)); }
    template <typename Owner>
    ULONG Release(Owner* owner) noexcept {
        const LONG left = ::InterlockedDecrement(&count_);
        if (left == 0) delete owner;
        return static_cast<ULONG>(left);
    }

private:
    LONG count_ = 1;
};

// Runs a method body; an allocation failure becomes E_OUTOFMEMORY and any other
// exception E_FAIL, so nothing thrown ever reaches the caller's stack.
template <typename Body>
HRESULT Guarded(Body&& body) noexcept {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_FAIL;
    }
}

// The error codes IIS's configuration system answers with.
inline constexpr HRESULT kNotFound = static_cast<HRESULT>(0x80070490);  // ERROR_NOT_FOUND
inline constexpr HRESULT kInvalidIndex = static_cast<HRESULT>(0x80070585);  // ERROR_INVALID_INDEX
inline constexpr HRESULT kAlreadyExists = static_cast<HRESULT>(0x800700B7);  // ERROR_ALREADY_EXISTS
inline constexpr HRESULT kLockViolation = static_cast<HRESULT>(0x80070021);  // ERROR_LOCK_VIOLATION
inline constexpr HRESULT kInvalidData = static_cast<HRESULT>(0x8007000D);  // ERROR_INVALID_DATA
inline constexpr HRESULT kFileNotFound = static_cast<HRESULT>(0x80070002);  // ERROR_FILE_NOT_FOUND
inline constexpr HRESULT kNotSupported = static_cast<HRESULT>(0x80070032);  // ERROR_NOT_SUPPORTED

}  // namespace iisadmin
