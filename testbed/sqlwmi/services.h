#pragma once
// A connected namespace of the SQL Server provider,
// root\Microsoft\SqlServer\ComputerManagementNN. It answers the property
// queries of the setup's SQL Server detection from the scenario; every other
// operation is refused the way WMI refuses what a provider does not support.
#include <windows.h>
#include <wbemcli.h>

#include <mutex>
#include <string>

#include "com_object.h"

namespace sqlwmi {

class Services final : public IWbemServices, public IClientSecurity {
public:
    Services(std::wstring namespaceKey, std::wstring computerName)
        : key_(std::move(namespaceKey)), computerName_(std::move(computerName)) {}

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override { return refs_.AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return refs_.Release(this); }

    STDMETHODIMP ExecQuery(const BSTR language, const BSTR query, LONG flags, IWbemContext* context,
                           IEnumWbemClassObject** result) override;

    STDMETHODIMP OpenNamespace(const BSTR, LONG, IWbemContext*, IWbemServices**, IWbemCallResult**) override;
    STDMETHODIMP CancelAsyncCall(IWbemObjectSink*) override;
    STDMETHODIMP QueryObjectSink(LONG, IWbemObjectSink**) override;
    STDMETHODIMP GetObject(const BSTR, LONG, IWbemContext*, IWbemClassObject**, IWbemCallResult**) override;
    STDMETHODIMP GetObjectAsync(const BSTR, LONG, IWbemContext*, IWbemObjectSink*) override;
    STDMETHODIMP PutClass(IWbemClassObject*, LONG, IWbemContext*, IWbemCallResult**) override;
    STDMETHODIMP PutClassAsync(IWbemClassObject*, LONG, IWbemContext*, IWbemObjectSink*) override;
    STDMETHODIMP DeleteClass(const BSTR, LONG, IWbemContext*, IWbemCallResult**) override;
    STDMETHODIMP DeleteClassAsync(const BSTR, LONG, IWbemContext*, IWbemObjectSink*) override;
    STDMETHODIMP CreateClassEnum(const BSTR, LONG, IWbemContext*, IEnumWbemClassObject**) override;
    STDMETHODIMP CreateClassEnumAsync(const BSTR, LONG, IWbemContext*, IWbemObjectSink*) override;
    STDMETHODIMP PutInstance(IWbemClassObject*, LONG, IWbemContext*, IWbemCallResult**) override;
    STDMETHODIMP PutInstanceAsync(IWbemClassObject*, LONG, IWbemContext*, IWbemObjectSink*) override;
    STDMETHODIMP DeleteInstance(const BSTR, LONG, IWbemContext*, IWbemCallResult**) override;
    STDMETHODIMP DeleteInstanceAsync(const BSTR, LONG, IWbemContext*, IWbemObjectSink*) override;
    STDMETHODIMP CreateInstanceEnum(const BSTR, LONG, IWbemContext*, IEnumWbemClassObject**) override;
    STDMETHODIMP CreateInstanceEnumAsync(const BSTR, LONG, IWbemContext*, IWbemObjectSink*) override;
    STDMETHODIMP ExecQueryAsync(const BSTR, const BSTR, LONG, IWbemContext*, IWbemObjectSink*) override;
    STDMETHODIMP ExecNotificationQuery(const BSTR, const BSTR, LONG, IWbemContext*,
                                       IEnumWbemClassObject**) override;
    STDMETHODIMP ExecNotificationQueryAsync(const BSTR, const BSTR, LONG, IWbemContext*,
                                            IWbemObjectSink*) override;
    STDMETHODIMP ExecMethod(const BSTR, const BSTR, LONG, IWbemContext*, IWbemClassObject*, IWbemClassObject**,
                            IWbemCallResult**) override;
    STDMETHODIMP ExecMethodAsync(const BSTR, const BSTR, LONG, IWbemContext*, IWbemClassObject*,
                                 IWbemObjectSink*) override;

    // CoSetProxyBlanket and CoQueryProxyBlanket work on the services object as
    // on WMI's own; the object is in-process, so the blanket is only kept.
    STDMETHODIMP QueryBlanket(IUnknown*, DWORD* authnService, DWORD* authzService, OLECHAR** serverPrincipal,
                              DWORD* authnLevel, DWORD* impLevel, void** authInfo, DWORD* capabilities) override;
    STDMETHODIMP SetBlanket(IUnknown*, DWORD authnService, DWORD authzService, OLECHAR* serverPrincipal,
                            DWORD authnLevel, DWORD impLevel, void* authInfo, DWORD capabilities) override;
    STDMETHODIMP CopyProxy(IUnknown* proxy, IUnknown** copy) override;

private:
    ~Services() = default;
    friend class RefCount;

    // What the record tells of an answered query.
    struct Answered {
        size_t objectCount = 0;
        unsigned long waitedMs = 0;  // a synchronous call waiting for a slow host
    };
    HRESULT Answer(const BSTR language, const BSTR query, LONG flags, IEnumWbemClassObject** result,
                   Answered& answered);

    RefCount refs_;
    const std::wstring key_;
    const std::wstring computerName_;
    std::mutex blanketLock_;  // guards the blanket below
    DWORD authnService_ = RPC_C_AUTHN_WINNT;
    DWORD authzService_ = RPC_C_AUTHZ_NONE;
    DWORD authnLevel_ = RPC_C_AUTHN_LEVEL_CONNECT;
    DWORD impLevel_ = RPC_C_IMP_LEVEL_IMPERSONATE;
    DWORD capabilities_ = EOAC_NONE;
};

}  // namespace sqlwmi
