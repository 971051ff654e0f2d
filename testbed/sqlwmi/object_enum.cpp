#include "object_enum.h"

#include <optional>

#include "record.h"

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
    if (WaitForProvider(timeout, L"next")) return WBEM_S_TIMEDOUT;
    std::lock_guard guard(lock_);
    while (*returned < count && position_ < objects_.size()) {
        win::ComPtr<IWbemClassObject>& object = objects_[position_++];
        object->AddRef();
        objects[(*returned)++] = object.Get();
        if (forwardOnly_) object.Reset();
    }
    // Fewer than asked means the enumeration is complete.
    const HRESULT hr = *returned == count ? WBEM_S_NO_ERROR : WBEM_S_FALSE;
    RecordArrival(L"next", hr, *returned);
    return hr;
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
        *copy = new ObjectEnum(objects_, false, delivery_, position_);
        return WBEM_S_NO_ERROR;
    });
}

STDMETHODIMP ObjectEnum::Skip(LONG timeout, ULONG count) {
    if (!ValidTimeout(timeout)) return WBEM_E_INVALID_PARAMETER;
    if (WaitForProvider(timeout, L"skip")) return WBEM_S_TIMEDOUT;
    std::lock_guard guard(lock_);
    ULONG skipped = 0;
    while (skipped < count && position_ < objects_.size()) {
        if (forwardOnly_) objects_[position_].Reset();
        ++position_;
        ++skipped;
    }
    const HRESULT hr = skipped == count ? WBEM_S_NO_ERROR : WBEM_S_FALSE;
    RecordArrival(L"skip", hr, skipped);
    return hr;
}

// A slow host has not sent anything yet: a timed call waits and gives up,
// as WMI's enumerator does when no object comes within the caller's time-out.
bool ObjectEnum::WaitForProvider(LONG timeout, const wchar_t* call) noexcept {
    std::optional<unsigned long> callerMs;
    if (timeout != static_cast<LONG>(WBEM_INFINITE)) callerMs = static_cast<unsigned long>(timeout);
    Stall stall;
    unsigned long ordinal = 0;
    {
        std::lock_guard guard(lock_);
        stall = PlanStall(callerMs, delivery_.pendingTimeouts, delivery_.slowness);
        if (stall.timeoutsUsed == 0) return false;
        delivery_.pendingTimeouts -= stall.timeoutsUsed;
        delivery_.arrivalToRecord = true;
        if (stall.timedOut)
            ordinal = ++delivery_.timedOut;
        else
            delivery_.waitedOutMs += stall.waitMs;
    }
    // Waiting without the lock keeps Reset, Clone and a second caller from
    // queueing behind a call that is only pretending to wait for a host.
    ::Sleep(stall.waitMs);
    if (stall.timedOut) RecordTimeout(call, stall.waitMs, ordinal);
    return stall.timedOut;
}

void ObjectEnum::RecordTimeout(const wchar_t* call, unsigned long waitedMs, unsigned long ordinal) noexcept {
    try {
        AppendRecord(std::wstring(call) + L" " + delivery_.recordName + L" -> " + HexResult(WBEM_S_TIMEDOUT) +
                     L" timed out after " + std::to_wstring(waitedMs) + L" ms (" + std::to_wstring(ordinal) +
                     L" of " + std::to_wstring(delivery_.slowness.timeoutsBeforeFirstObject) + L")");
    } catch (...) {
    }
}

// Tells the tests that the caller came back after its time-outs and got through.
void ObjectEnum::RecordArrival(const wchar_t* call, HRESULT hr, ULONG count) noexcept {
    if (!delivery_.arrivalToRecord) return;
    delivery_.arrivalToRecord = false;
    try {
        const unsigned long timedOut = delivery_.timedOut;
        const unsigned long waitedMs = delivery_.waitedOutMs;
        std::wstring after = L" after ";
        if (timedOut > 0) after += Counted(timedOut, L"time-out");
        if (timedOut > 0 && waitedMs > 0) after += L" and ";
        if (waitedMs > 0 || timedOut == 0) after += L"waiting " + std::to_wstring(waitedMs) + L" ms";
        AppendRecord(std::wstring(call) + L" " + delivery_.recordName + L" -> " + HexResult(hr) + L" " +
                     Counted(count, L"object") + after);
    } catch (...) {
    }
}

}  // namespace sqlwmi
