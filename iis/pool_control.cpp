#include "iis/pool_control.h"

#include "iis/config_access.h"
#include "win/text.h"

HRESULT ControlAppPool(const std::string& poolName, bool start) {
    win::ComPtr<IAppHostWritableAdminManager> manager;
    HRESULT hr = ::CoCreateInstance(CLSID_AppHostWritableAdminManager, nullptr, CLSCTX_INPROC_SERVER,
                                    IID_IAppHostWritableAdminManager, manager.PutVoid());
    if (hr == REGDB_E_CLASSNOTREG) return S_FALSE;
    if (FAILED(hr)) return hr;
    win::ComPtr<IAppHostElement> section;
    win::ComPtr<IAppHostElementCollection> pools;
    if (FAILED(hr = iis::GetSection(manager.Get(), L"system.applicationHost/applicationPools", iis::APPHOST_PATH,
                                    section)) ||
        FAILED(hr = iis::CollectionOf(section.Get(), pools))) {
        return hr;
    }
    win::ComPtr<IAppHostElement> pool;
    if (!iis::FindByName(pools.Get(), win::ToWide(poolName), pool)) return S_FALSE;
    win::ComPtr<IAppHostMethodCollection> methods;
    win::ComPtr<IAppHostMethod> method;
    win::ComPtr<IAppHostMethodInstance> instance;
    if (FAILED(hr = pool->get_Methods(methods.Put())) || !methods) return FAILED(hr) ? hr : E_POINTER;
    if (FAILED(hr = methods->get_Item(win::Variant::Text(start ? L"Start" : L"Stop").Get(), method.Put())) || !method) {
        return FAILED(hr) ? hr : E_POINTER;
    }
    if (FAILED(hr = method->CreateInstance(instance.Put())) || !instance) return FAILED(hr) ? hr : E_POINTER;
    return instance->Execute();
}

bool IsPoolAlreadyInState(HRESULT hr) {
    return hr == HRESULT_FROM_WIN32(ERROR_SERVICE_ALREADY_RUNNING) || hr == HRESULT_FROM_WIN32(ERROR_SERVICE_NOT_ACTIVE);
}
