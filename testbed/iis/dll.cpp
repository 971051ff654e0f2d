// The DLL's COM entry points: the class factory of the writable admin manager
// and self-registration under HKLM\Software\Classes\CLSID (64-bit view).
#include <windows.h>

#include <string>

#include "com_object.h"
#include "objects.h"
#include "win/handles.h"

namespace iisadmin {
namespace {

LONG g_moduleLocks = 0;  // objects alive and LockServer calls; DllCanUnloadNow reads it
HMODULE g_module = nullptr;

constexpr wchar_t kClassName[] = L"{2B72133B-3F5B-4602-8952-803546CE3344}";
constexpr wchar_t kClassKey[] = L"Software\\Classes\\CLSID\\{2B72133B-3F5B-4602-8952-803546CE3344}";

class ClassFactory final : public IClassFactory {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        return QueryOne<IClassFactory>(this, iid, IID_IClassFactory, out);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return refs_.AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return refs_.Release(this); }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
        if (out) *out = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        return NewAdminManager(iid, out);
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
        if (lock) {
            LockModule();
        } else {
            UnlockModule();
        }
        return S_OK;
    }

private:
    RefCount refs_;
};

LSTATUS SetText(HKEY key, const wchar_t* name, const std::wstring& value) {
    return ::RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                            static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

}  // namespace

}  // namespace iisadmin

namespace testbed::com {

void LockModule() noexcept { ::InterlockedIncrement(&iisadmin::g_moduleLocks); }
void UnlockModule() noexcept { ::InterlockedDecrement(&iisadmin::g_moduleLocks); }
bool ModuleInUse() noexcept { return ::InterlockedCompareExchange(&iisadmin::g_moduleLocks, 0, 0) != 0; }

}  // namespace testbed::com

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        iisadmin::g_module = instance;
        ::DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (clsid != CLSID_AppHostWritableAdminManager) return CLASS_E_CLASSNOTAVAILABLE;
    return iisadmin::Guarded([&] {
        auto* factory = new iisadmin::ClassFactory();
        const HRESULT hr = factory->QueryInterface(iid, out);
        factory->Release();
        return hr;
    });
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow() { return iisadmin::ModuleInUse() ? S_FALSE : S_OK; }

extern "C" HRESULT STDAPICALLTYPE DllRegisterServer() {
    return iisadmin::Guarded([&] {
        std::wstring path(MAX_PATH, L'\0');
        DWORD n = 0;
        while ((n = ::GetModuleFileNameW(iisadmin::g_module, path.data(), static_cast<DWORD>(path.size()))) ==
               path.size()) {
            path.resize(path.size() * 2);
        }
        if (n == 0) return HRESULT_FROM_WIN32(::GetLastError());
        path.resize(n);
        win::RegKey server;
        const std::wstring serverKey = std::wstring(iisadmin::kClassKey) + L"\\InprocServer32";
        LSTATUS status = ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, serverKey.c_str(), 0, nullptr, 0,
                                           KEY_WRITE | KEY_WOW64_64KEY, nullptr, server.Put(), nullptr);
        if (status == ERROR_SUCCESS) status = iisadmin::SetText(server.Get(), nullptr, path);
        if (status == ERROR_SUCCESS) status = iisadmin::SetText(server.Get(), L"ThreadingModel", L"Both");
        win::RegKey cls;
        if (status == ERROR_SUCCESS) {
            status = ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, iisadmin::kClassKey, 0, KEY_WRITE | KEY_WOW64_64KEY,
                                     cls.Put());
        }
        if (status == ERROR_SUCCESS) status = iisadmin::SetText(cls.Get(), nullptr, L"AppHostWritableAdminManager");
        return HRESULT_FROM_WIN32(status);
    });
}

extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer() {
    win::RegKey classes;
    LSTATUS status = ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Classes\\CLSID", 0,
                                     KEY_READ | KEY_WRITE | DELETE | KEY_WOW64_64KEY, classes.Put());
    if (status == ERROR_SUCCESS) status = ::RegDeleteTreeW(classes.Get(), iisadmin::kClassName);
    return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND ? S_OK : HRESULT_FROM_WIN32(status);
}
