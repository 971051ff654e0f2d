#include "locator.h"

#include <string>

#include "provider_rules.h"
#include "record.h"
#include "scenario.h"
#include "services.h"
#include "win/handles.h"

namespace sqlwmi {
namespace {

std::wstring ComputerName() {
    DWORD size = 0;
    ::GetComputerNameExW(ComputerNameNetBIOS, nullptr, &size);
    std::wstring name(size, L'\0');
    if (size == 0 || !::GetComputerNameExW(ComputerNameNetBIOS, name.data(), &size)) return {};
    name.resize(size);
    return name;
}

std::wstring SystemFile(const wchar_t* name) {
    const UINT size = ::GetSystemDirectoryW(nullptr, 0);
    std::wstring path(size, L'\0');
    const UINT length = ::GetSystemDirectoryW(path.data(), size);
    path.resize(length < size ? length : 0);
    return path + L"\\" + name;
}

bool HasText(const BSTR text) noexcept {
    return text && ::SysStringLen(text) > 0;
}

}  // namespace

STDMETHODIMP Locator::QueryInterface(REFIID iid, void** out) {
    if (!out) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IWbemLocator) {
        *out = static_cast<IWbemLocator*>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP Locator::ConnectServer(const BSTR resource, const BSTR user, const BSTR password, const BSTR locale,
                                    LONG securityFlags, const BSTR authority, IWbemContext* context,
                                    IWbemServices** services) {
    return Guarded([&]() -> HRESULT {
        const std::wstring path = resource ? std::wstring(resource, ::SysStringLen(resource)) : std::wstring();
        const std::wstring computerName = ComputerName();
        const auto key = resource ? SqlNamespaceKey(path, computerName) : std::nullopt;
        if (!key) {
            win::ComPtr<IWbemLocator> wine;
            HRESULT hr = WineLocator(wine);
            if (SUCCEEDED(hr))
                hr = wine->ConnectServer(resource, user, password, locale, securityFlags, authority, context,
                                         services);
            AppendRecord(L"connect " + path + L" -> " + HexResult(hr) + L" forwarded to Wine");
            return hr;
        }

        HRESULT hr = WBEM_S_NO_ERROR;
        std::wstring outcome = L"served";
        if (!services) {
            hr = WBEM_E_INVALID_PARAMETER;
            outcome = L"invalid parameter";
        } else if (HasText(user) || HasText(password)) {
            // Windows refuses credentials on a connection to the own computer.
            hr = WBEM_E_LOCAL_CREDENTIALS;
            outcome = L"credentials on a local connection";
        } else if (!NamespaceExists(*key)) {
            hr = WBEM_E_INVALID_NAMESPACE;
            outcome = L"no such namespace";
        }
        if (services) *services = nullptr;
        if (SUCCEEDED(hr)) *services = new Services(*key, computerName);
        AppendRecord(L"connect " + path + L" -> " + HexResult(hr) + L" " + outcome);
        return hr;
    });
}

// Wine's locator is reached through its own DLL rather than through COM, where
// the class now names this stand-in. The DLL stays loaded for the life of the
// process: the namespaces it hands out live on after this locator is gone.
HRESULT Locator::WineLocator(win::ComPtr<IWbemLocator>& out) {
    std::lock_guard guard(lock_);
    if (!wine_) {
        // Where Windows and Wine keep it: system32\wbem, not system32 itself.
        const std::wstring path = SystemFile(L"wbem\\wbemprox.dll");
        win::Library library(::LoadLibraryW(path.c_str()));
        HMODULE pinned = nullptr;
        if (!library || !::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_PIN, path.c_str(), &pinned))
            return HRESULT_FROM_WIN32(::GetLastError());
        const FARPROC entry = ::GetProcAddress(library.Get(), "DllGetClassObject");
        if (!entry) return HRESULT_FROM_WIN32(::GetLastError());
        const auto getClassObject = reinterpret_cast<LPFNGETCLASSOBJECT>(reinterpret_cast<void*>(entry));
        win::ComPtr<IClassFactory> factory;
        HRESULT hr = getClassObject(CLSID_WbemLocator, IID_IClassFactory, factory.PutVoid());
        if (FAILED(hr)) return hr;
        hr = factory->CreateInstance(nullptr, IID_IWbemLocator, wine_.PutVoid());
        if (FAILED(hr)) return hr;
    }
    out = wine_;
    return S_OK;
}

}  // namespace sqlwmi
