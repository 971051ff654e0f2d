#pragma once
// The shared COM object pieces, and what only the WMI stand-in adds to them.
#include <windows.h>

#include "testbed/common/com_object.h"

namespace sqlwmi {

using testbed::com::Guarded;
using testbed::com::LockModule;
using testbed::com::ModuleInUse;
using testbed::com::RefCount;
using testbed::com::UnlockModule;

// Hands out a new object as the asked interface; the caller's reference is the
// only one left afterwards (or none, when the interface is refused).
template <typename Object>
HRESULT Deliver(Object* object, REFIID iid, void** out) noexcept {
    const HRESULT hr = object->QueryInterface(iid, out);
    object->Release();
    return hr;
}

}  // namespace sqlwmi
