// The DLL's COM entry points: the class object of the WMI locator class and
// the unload check. Registered in the test machine in place of Wine's locator.
#include <windows.h>
#include <wbemcli.h>

#include "com_object.h"
#include "locator.h"

namespace sqlwmi {
namespace {

LONG moduleLocks = 0;  // live objects plus LockServer(TRUE) calls

class LocatorFactory final : public IClassFactory {
public:
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IClassFactory) {
            *out = static_cast<IClassFactory*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return refs_.AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return refs_.Release(this); }

    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        return Guarded([&] { return Deliver(new Locator(), iid, out); });
    }
    STDMETHODIMP LockServer(BOOL lock) override {
        if (lock) LockModule();
        else UnlockModule();
        return S_OK;
    }

private:
    ~LocatorFactory() = default;
    friend class testbed::com::RefCount;
    RefCount refs_;
};

}  // namespace

}  // namespace sqlwmi

namespace testbed::com {

void LockModule() noexcept { ::InterlockedIncrement(&sqlwmi::moduleLocks); }
void UnlockModule() noexcept { ::InterlockedDecrement(&sqlwmi::moduleLocks); }
bool ModuleInUse() noexcept { return ::InterlockedCompareExchange(&sqlwmi::moduleLocks, 0, 0) != 0; }

}  // namespace testbed::com

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID iid, LPVOID* out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (clsid != CLSID_WbemLocator) return CLASS_E_CLASSNOTAVAILABLE;
    return sqlwmi::Guarded([&] { return sqlwmi::Deliver(new sqlwmi::LocatorFactory(), iid, out); });
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow() {
    return sqlwmi::ModuleInUse() ? S_FALSE : S_OK;
}
