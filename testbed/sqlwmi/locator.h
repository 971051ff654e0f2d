#pragma once
// The WMI locator of the test machine. Namespaces of the SQL Server provider
// are answered from the scenario; every other namespace goes to Wine's own
// locator, so the rest of WMI in the machine keeps working.
#include <windows.h>
#include <wbemcli.h>

#include <mutex>

#include "com_object.h"
#include "win/com.h"

namespace sqlwmi {

class Locator final : public IWbemLocator {
public:
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override { return refs_.AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return refs_.Release(this); }

    STDMETHODIMP ConnectServer(const BSTR resource, const BSTR user, const BSTR password, const BSTR locale,
                               LONG securityFlags, const BSTR authority, IWbemContext* context,
                               IWbemServices** services) override;

private:
    ~Locator() = default;
    friend class RefCount;

    HRESULT WineLocator(win::ComPtr<IWbemLocator>& out);

    RefCount refs_;
    std::mutex lock_;  // guards wine_
    win::ComPtr<IWbemLocator> wine_;
};

}  // namespace sqlwmi
