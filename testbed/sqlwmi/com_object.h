#pragma once
// What every COM object of the stand-in shares: a thread-safe reference count
// that also keeps the DLL loaded while the object lives, and a guard that keeps
// C++ exceptions from crossing the COM boundary.
#include <windows.h>

#include <new>

namespace sqlwmi {

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

// Hands out a new object as the asked interface; the caller's reference is the
// only one left afterwards (or none, when the interface is refused).
template <typename Object>
HRESULT Deliver(Object* object, REFIID iid, void** out) noexcept {
    const HRESULT hr = object->QueryInterface(iid, out);
    object->Release();
    return hr;
}

}  // namespace sqlwmi
