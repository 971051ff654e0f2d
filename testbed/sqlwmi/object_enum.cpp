#include "object_enum.h"

namespace sqlwmi {
namespace {

// Milliseconds to wait, or WBEM_INFINITE; every other negative value is refused.
bool ValidTimeout(LONG timeout) noexcept {
    return timeout >= 0 || timeout == static_cast<LONG>(WBEM_INFINITE);
}

}  // namespace

STDMETHODIMP ObjectEnum::QueryInterface(REFIID iid, void** out) {
    if (!out) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IEnumWbemClassObject) {
        *out = static_cast<IEnumWbemClassObject*>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP ObjectEnum::Reset() {
    if (forwardOnly_) return WBEM_E_INVALID_OPERATION;
    std::lock_guard guard(lock_);
    position_ = 0;
    return WBEM_S_NO_ERROR;
}

STDMETHODIMP ObjectEnum::Next(LONG timeout, ULONG count, IWbemClassObject** objects, ULONG* returned) {
    if (!objects || !returned) return WBEM_E_INVALID_PARAMETER;
    *returned = 0;
    if (!ValidTimeout(timeout)) return WBEM_E_INVALID_PARAMETER;
    std::lock_guard guard(lock_);
    while (*returned < count && position_ < objects_.size()) {
        win::ComPtr<IWbemClassObject>& object = objects_[position_++];
        object->AddRef();
        objects[(*returned)++] = object.Get();
        if (forwardOnly_) object.Reset();
    }
    // Fewer than asked means the enumeration is complete.
    return *returned == count ? WBEM_S_NO_ERROR : WBEM_S_FALSE;
}

STDMETHODIMP ObjectEnum::NextAsync(ULONG, IWbemObjectSink*) {
    return WBEM_E_NOT_SUPPORTED;
}

STDMETHODIMP ObjectEnum::Clone(IEnumWbemClassObject** copy) {
    if (!copy) return WBEM_E_INVALID_PARAMETER;
    *copy = nullptr;
    if (forwardOnly_) return WBEM_E_INVALID_OPERATION;
    return Guarded([&]() -> HRESULT {
        std::lock_guard guard(lock_);
        *copy = new ObjectEnum(objects_, false, position_);
        return WBEM_S_NO_ERROR;
    });
}

STDMETHODIMP ObjectEnum::Skip(LONG timeout, ULONG count) {
    if (!ValidTimeout(timeout)) return WBEM_E_INVALID_PARAMETER;
    std::lock_guard guard(lock_);
    ULONG skipped = 0;
    while (skipped < count && position_ < objects_.size()) {
        if (forwardOnly_) objects_[position_].Reset();
        ++position_;
        ++skipped;
    }
    return skipped == count ? WBEM_S_NO_ERROR : WBEM_S_FALSE;
}

}  // namespace sqlwmi
