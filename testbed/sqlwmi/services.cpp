#include "services.h"

#include <vector>

#include "object_enum.h"
#include "property_object.h"
#include "provider_rules.h"
#include "record.h"
#include "scenario.h"

namespace sqlwmi {
namespace {

constexpr LONG kQueryFlags = WBEM_FLAG_RETURN_IMMEDIATELY | WBEM_FLAG_FORWARD_ONLY | WBEM_FLAG_ENSURE_LOCATABLE |
                             WBEM_FLAG_DIRECT_READ | WBEM_FLAG_USE_AMENDED_QUALIFIERS;

std::wstring View(const BSTR text) {
    return text ? std::wstring(text, ::SysStringLen(text)) : std::wstring(L"(null)");
}

std::wstring Outcome(HRESULT hr, size_t objectCount, unsigned long waitedMs) {
    if (hr == WBEM_S_NO_ERROR) {
        std::wstring text = Counted(objectCount, L"object");
        if (waitedMs > 0) text += L" after waiting " + std::to_wstring(waitedMs) + L" ms for the provider";
        return text;
    }
    if (hr == static_cast<HRESULT>(WBEM_E_INVALID_QUERY)) return L"not answered";
    if (hr == static_cast<HRESULT>(WBEM_E_INVALID_QUERY_TYPE)) return L"unsupported language";
    if (hr == static_cast<HRESULT>(WBEM_E_INVALID_NAMESPACE)) return L"namespace gone";
    if (hr == static_cast<HRESULT>(WBEM_E_INVALID_PARAMETER)) return L"invalid parameter";
    return L"failed";
}

// How the record names a result: "Version of MSSQL$INST1", "instanceID of every service".
std::wstring Selection(const PropertyQuery& query) {
    return query.propertyName + L" of " + (query.serviceName ? *query.serviceName : std::wstring(L"every service"));
}

}  // namespace

STDMETHODIMP Services::QueryInterface(REFIID iid, void** out) {
    if (!out) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IWbemServices) {
        *out = static_cast<IWbemServices*>(this);
    } else if (iid == IID_IClientSecurity) {
        *out = static_cast<IClientSecurity*>(this);
    } else {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

STDMETHODIMP Services::ExecQuery(const BSTR language, const BSTR query, LONG flags, IWbemContext*,
                                 IEnumWbemClassObject** result) {
    return Guarded([&] {
        Answered answered;
        const HRESULT hr = Answer(language, query, flags, result, answered);
        AppendRecord(L"query " + key_ + L" " + View(language) + L" " + View(query) + L" -> " + HexResult(hr) +
                     L" " + Outcome(hr, answered.objectCount, answered.waitedMs));
        return hr;
    });
}

HRESULT Services::Answer(const BSTR language, const BSTR query, LONG flags, IEnumWbemClassObject** result,
                         Answered& answered) {
    if (!result) return WBEM_E_INVALID_PARAMETER;
    *result = nullptr;
    if (!language || !query || (flags & ~kQueryFlags)) return WBEM_E_INVALID_PARAMETER;
    if (!SameText(std::wstring_view(language, ::SysStringLen(language)), L"WQL")) return WBEM_E_INVALID_QUERY_TYPE;
    const auto parsed = ParsePropertyQuery(std::wstring_view(query, ::SysStringLen(query)));
    if (!parsed) return WBEM_E_INVALID_QUERY;
    // The provider's data is read now, not when the namespace was connected.
    if (!NamespaceExists(key_)) return WBEM_E_INVALID_NAMESPACE;

    std::vector<win::ComPtr<IWbemClassObject>> objects;
    for (const PropertyRow& row : SelectRows(ReadServices(key_), *parsed)) {
        win::ComPtr<IWbemClassObject> object(new PropertyObject(InstanceProperties(row, key_, computerName_)));
        objects.push_back(std::move(object));
    }
    answered.objectCount = objects.size();

    // A semisynchronous call gets its enumerator at once and meets a slow host
    // in Next; a synchronous one returns only when the host has sent everything.
    const Slowness slowness = ReadSlowness(key_);
    Delivery delivery{key_ + L" " + Selection(*parsed), slowness};
    if (flags & WBEM_FLAG_RETURN_IMMEDIATELY) {
        delivery.pendingTimeouts = slowness.timeoutsBeforeFirstObject;
    } else {
        answered.waitedMs = PlanStall(std::nullopt, slowness.timeoutsBeforeFirstObject, slowness).waitMs;
        ::Sleep(answered.waitedMs);
    }
    *result = new ObjectEnum(std::move(objects), (flags & WBEM_FLAG_FORWARD_ONLY) != 0, std::move(delivery));
    return WBEM_S_NO_ERROR;
}

STDMETHODIMP Services::QueryBlanket(IUnknown*, DWORD* authnService, DWORD* authzService, OLECHAR** serverPrincipal,
                                    DWORD* authnLevel, DWORD* impLevel, void** authInfo, DWORD* capabilities) {
    std::lock_guard guard(blanketLock_);
    if (authnService) *authnService = authnService_;
    if (authzService) *authzService = authzService_;
    if (serverPrincipal) *serverPrincipal = nullptr;
    if (authnLevel) *authnLevel = authnLevel_;
    if (impLevel) *impLevel = impLevel_;
    if (authInfo) *authInfo = nullptr;
    if (capabilities) *capabilities = capabilities_;
    return S_OK;
}

STDMETHODIMP Services::SetBlanket(IUnknown*, DWORD authnService, DWORD authzService, OLECHAR*, DWORD authnLevel,
                                  DWORD impLevel, void*, DWORD capabilities) {
    std::lock_guard guard(blanketLock_);
    if (authnService != RPC_C_AUTHN_DEFAULT) authnService_ = authnService;
    if (authzService != RPC_C_AUTHZ_DEFAULT) authzService_ = authzService;
    if (authnLevel != RPC_C_AUTHN_LEVEL_DEFAULT) authnLevel_ = authnLevel;
    if (impLevel != RPC_C_IMP_LEVEL_DEFAULT) impLevel_ = impLevel;
    if (capabilities != EOAC_DEFAULT) capabilities_ = capabilities;
    return S_OK;
}

STDMETHODIMP Services::CopyProxy(IUnknown* proxy, IUnknown** copy) {
    if (!proxy || !copy) return E_INVALIDARG;
    // There is no proxy to copy: the one object is the copy.
    proxy->AddRef();
    *copy = proxy;
    return S_OK;
}

// What the provider does not offer fails as WMI fails for an unsupported
// operation, with every out-pointer cleared.
namespace {
template <typename... Out>
HRESULT NotSupported(Out*... out) noexcept {
    ((out ? void(*out = nullptr) : void()), ...);
    return WBEM_E_NOT_SUPPORTED;
}
}  // namespace

STDMETHODIMP Services::OpenNamespace(const BSTR, LONG, IWbemContext*, IWbemServices** s, IWbemCallResult** r) {
    return NotSupported(s, r);
}
STDMETHODIMP Services::CancelAsyncCall(IWbemObjectSink*) { return NotSupported(); }
STDMETHODIMP Services::QueryObjectSink(LONG, IWbemObjectSink** sink) { return NotSupported(sink); }
STDMETHODIMP Services::GetObject(const BSTR, LONG, IWbemContext*, IWbemClassObject** o, IWbemCallResult** r) {
    return NotSupported(o, r);
}
STDMETHODIMP Services::GetObjectAsync(const BSTR, LONG, IWbemContext*, IWbemObjectSink*) { return NotSupported(); }
STDMETHODIMP Services::PutClass(IWbemClassObject*, LONG, IWbemContext*, IWbemCallResult** r) {
    return NotSupported(r);
}
STDMETHODIMP Services::PutClassAsync(IWbemClassObject*, LONG, IWbemContext*, IWbemObjectSink*) {
    return NotSupported();
}
STDMETHODIMP Services::DeleteClass(const BSTR, LONG, IWbemContext*, IWbemCallResult** r) { return NotSupported(r); }
STDMETHODIMP Services::DeleteClassAsync(const BSTR, LONG, IWbemContext*, IWbemObjectSink*) {
    return NotSupported();
}
STDMETHODIMP Services::CreateClassEnum(const BSTR, LONG, IWbemContext*, IEnumWbemClassObject** e) {
    return NotSupported(e);
}
STDMETHODIMP Services::CreateClassEnumAsync(const BSTR, LONG, IWbemContext*, IWbemObjectSink*) {
    return NotSupported();
}
STDMETHODIMP Services::PutInstance(IWbemClassObject*, LONG, IWbemContext*, IWbemCallResult** r) {
    return NotSupported(r);
}
STDMETHODIMP Services::PutInstanceAsync(IWbemClassObject*, LONG, IWbemContext*, IWbemObjectSink*) {
    return NotSupported();
}
STDMETHODIMP Services::DeleteInstance(const BSTR, LONG, IWbemContext*, IWbemCallResult** r) {
    return NotSupported(r);
}
STDMETHODIMP Services::DeleteInstanceAsync(const BSTR, LONG, IWbemContext*, IWbemObjectSink*) {
    return NotSupported();
}
STDMETHODIMP Services::CreateInstanceEnum(const BSTR, LONG, IWbemContext*, IEnumWbemClassObject** e) {
    return NotSupported(e);
}
STDMETHODIMP Services::CreateInstanceEnumAsync(const BSTR, LONG, IWbemContext*, IWbemObjectSink*) {
    return NotSupported();
}
STDMETHODIMP Services::ExecQueryAsync(const BSTR, const BSTR, LONG, IWbemContext*, IWbemObjectSink*) {
    return NotSupported();
}
STDMETHODIMP Services::ExecNotificationQuery(const BSTR, const BSTR, LONG, IWbemContext*,
                                             IEnumWbemClassObject** e) {
    return NotSupported(e);
}
STDMETHODIMP Services::ExecNotificationQueryAsync(const BSTR, const BSTR, LONG, IWbemContext*, IWbemObjectSink*) {
    return NotSupported();
}
STDMETHODIMP Services::ExecMethod(const BSTR, const BSTR, LONG, IWbemContext*, IWbemClassObject*,
                                  IWbemClassObject** o, IWbemCallResult** r) {
    return NotSupported(o, r);
}
STDMETHODIMP Services::ExecMethodAsync(const BSTR, const BSTR, LONG, IWbemContext*, IWbemClassObject*,
                                       IWbemObjectSink*) {
    return NotSupported();
}

}  // namespace sqlwmi
