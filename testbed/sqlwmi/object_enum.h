#pragma once
// The result of a query: an IEnumWbemClassObject over objects that are all
// there when the query returns. A scenario can make the provider host slow,
// so that Next and Skip time out a few times before the objects arrive.
#include <windows.h>
#include <wbemcli.h>

#include <mutex>
#include <string>
#include <vector>

#include "com_object.h"
#include "provider_rules.h"
#include "win/com.h"

namespace sqlwmi {

// The provider host's side of one result: how the record names it and how far
// the host is from sending the objects.
struct Delivery {
    std::wstring recordName;  // "ComputerManagement15 Version of MSSQLSERVER"
    Slowness slowness;
    unsigned long pendingTimeouts = 0;
    unsigned long timedOut = 0;     // calls that timed out so far
    unsigned long waitedOutMs = 0;  // waited by WBEM_INFINITE calls in place of time-outs
    bool arrivalToRecord = false;   // a call was held up; the first one to get through is recorded
};

class ObjectEnum final : public IEnumWbemClassObject {
public:
    // A forward-only enumerator (WBEM_FLAG_FORWARD_ONLY) lets go of each
    // object once handed out and refuses Reset and Clone, as WMI's does.
    ObjectEnum(std::vector<win::ComPtr<IWbemClassObject>> objects, bool forwardOnly, Delivery delivery,
               size_t position = 0)
        : objects_(std::move(objects)), forwardOnly_(forwardOnly), position_(position),
          delivery_(std::move(delivery)) {}

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override { return refs_.AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return refs_.Release(this); }

    STDMETHODIMP Reset() override;
    STDMETHODIMP Next(LONG timeout, ULONG count, IWbemClassObject** objects, ULONG* returned) override;
    STDMETHODIMP NextAsync(ULONG count, IWbemObjectSink* sink) override;
    STDMETHODIMP Clone(IEnumWbemClassObject** copy) override;
    STDMETHODIMP Skip(LONG timeout, ULONG count) override;

private:
    ~ObjectEnum() = default;
    friend class RefCount;

    bool WaitForProvider(LONG timeout, const wchar_t* call) noexcept;
    void RecordTimeout(const wchar_t* call, unsigned long waitedMs, unsigned long ordinal) noexcept;
    void RecordArrival(const wchar_t* call, HRESULT hr, ULONG count) noexcept;  // with lock_ held

    RefCount refs_;
    std::mutex lock_;  // guards objects_, position_ and delivery_
    std::vector<win::ComPtr<IWbemClassObject>> objects_;
    const bool forwardOnly_;
    size_t position_;
    Delivery delivery_;
};

}  // namespace sqlwmi
