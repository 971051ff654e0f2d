#include "tests/wmi_client.h"

namespace sqlwmi::test {

std::wstring VersionQuery(const std::wstring& service) {
    return L"select * from SqlServiceAdvancedProperty where SQLServiceType = 1 and PropertyName = 'Version' and "
           L"ServiceName = '" + service + L"'";
}

std::wstring SqlPath(int number) {
    return L"\\\\.\\root\\Microsoft\\SqlServer\\ComputerManagement" + std::to_wstring(number);
}

win::ComPtr<IWbemLocator> CreateLocator() {
    win::ComPtr<IWbemLocator> locator;
    const HRESULT hr =
        ::CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER, IID_IWbemLocator, locator.PutVoid());
    EXPECT_EQ(hr, S_OK);
    return locator;
}

HRESULT Connect(const std::wstring& path, win::ComPtr<IWbemServices>& services) {
    const win::ComPtr<IWbemLocator> locator = CreateLocator();
    if (!locator) return E_FAIL;
    const win::Bstr resource(path);
    return locator->ConnectServer(resource.Get(), nullptr, nullptr, nullptr, 0, nullptr, nullptr, services.Put());
}

HRESULT Query(IWbemServices* services, const std::wstring& text, win::ComPtr<IEnumWbemClassObject>& result,
              LONG flags, const wchar_t* language) {
    const win::Bstr lang(language);
    const win::Bstr query(text);
    return services->ExecQuery(lang.Get(), query.Get(), flags, nullptr, result.Put());
}

std::vector<win::ComPtr<IWbemClassObject>> ReadAll(IEnumWbemClassObject* objects) {
    std::vector<win::ComPtr<IWbemClassObject>> all;
    for (;;) {
        win::ComPtr<IWbemClassObject> object;
        ULONG returned = 0;
        const HRESULT hr = objects->Next(10000, 1, object.Put(), &returned);
        if (FAILED(hr) || returned == 0) break;
        all.push_back(std::move(object));
    }
    return all;
}

std::wstring TextOf(IWbemClassObject* object, const wchar_t* name) {
    win::Variant value;
    const HRESULT hr = object->Get(name, 0, value.Put(), nullptr, nullptr);
    if (FAILED(hr)) return L"<hr " + std::to_wstring(static_cast<unsigned long>(hr)) + L">";
    if (value.Get().vt != VT_BSTR) return L"<vt " + std::to_wstring(value.Get().vt) + L">";
    return std::wstring(value.Get().bstrVal, ::SysStringLen(value.Get().bstrVal));
}

}  // namespace sqlwmi::test
