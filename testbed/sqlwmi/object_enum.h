#pragma once
// The result of a query: an IEnumWbemClassObject over objects that are all
// there when the query returns, so Next never has to wait for more.
#include <windows.h>
#include <wbemcli.h>

#include <mutex>
#include <vector>

#include "com_object.h"
#include "win/com.h"

namespace sqlwmi {

class ObjectEnum final : public IEnumWbemClassObject {
public:
    // A forward-only enumerator (WBEM_FLAG_FORWARD_ONLY) lets go of each
    // object once handed out and refuses Reset and Clone, as WMI's does.
    ObjectEnum(std::vector<win::ComPtr<IWbemClassObject>> objects, bool forwardOnly, size_t position = 0)
        : objects_(std::move(objects)), forwardOnly_(forwardOnly), position_(position) {}

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

    RefCount refs_;
    std::mutex lock_;  // guards objects_ and position_
    std::vector<win::ComPtr<IWbemClassObject>> objects_;
    const bool forwardOnly_;
    size_t position_;
};

}  // namespace sqlwmi
