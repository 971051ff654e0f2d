#include "prereq/dism_api.h"

#include "prereq/dism_results.h"
#include "win/text.h"

namespace {

template <typename F>
F Find(const win::Library& library, const char* name) {
    return library ? reinterpret_cast<F>(reinterpret_cast<void*>(::GetProcAddress(library.Get(), name))) : nullptr;
}

// A structure DISM handed out, given back with DismDelete whatever way the
// caller leaves.
template <typename T>
class DismHandout {
public:
    explicit DismHandout(DismDeleteFn deleteStructure) : delete_(deleteStructure) {}
    ~DismHandout() {
        if (value_) delete_(value_);
    }
    DismHandout(const DismHandout&) = delete;
    DismHandout& operator=(const DismHandout&) = delete;

    T** Put() { return &value_; }
    const T* Get() const { return value_; }

private:
    DismDeleteFn delete_;
    T* value_ = nullptr;
};

}  // namespace

// From the system folder only: a DismApi.dll beside the setup is never loaded.
DismApi::DismApi()
    : library(::LoadLibraryExA("DismApi.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32)),
      initialize(Find<DismInitializeFn>(library, "DismInitialize")),
      openSession(Find<DismOpenSessionFn>(library, "DismOpenSession")),
      enableFeature(Find<DismEnableFeatureFn>(library, "DismEnableFeature")),
      closeSession(Find<DismCloseSessionFn>(library, "DismCloseSession")),
      shutdown(Find<DismShutdownFn>(library, "DismShutdown")),
      getFeatureInfo(Find<DismGetFeatureInfoFn>(library, "DismGetFeatureInfo")),
      getLastErrorMessage(Find<DismGetLastErrorMessageFn>(library, "DismGetLastErrorMessage")),
      deleteStructure(Find<DismDeleteFn>(library, "DismDelete")) {}

bool DismFeatureInstalled(const DismApi& dism, DismSession session, const std::wstring& feature) {
    if (!dism.getFeatureInfo || !dism.deleteStructure) return false;
    DismHandout<DismFeatureInfo> info(dism.deleteStructure);
    if (FAILED(dism.getFeatureInfo(session, feature.c_str(), nullptr, DismPackageNone, info.Put())) || !info.Get()) {
        return false;
    }
    return info.Get()->FeatureState == DismStateInstalled;
}

std::string DismLastErrorText(const DismApi& dism) {
    if (!dism.getLastErrorMessage || !dism.deleteStructure) return {};
    DismHandout<DismString> message(dism.deleteStructure);
    // S_FALSE: no failure on this thread, and no string.
    if (dism.getLastErrorMessage(message.Put()) != S_OK || !message.Get() || !message.Get()->Value) return {};
    return OneLineText(win::ToAnsi(message.Get()->Value));
}
