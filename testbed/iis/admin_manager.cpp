// IAppHostWritableAdminManager over applicationHost.config.
#include <mutex>

#include "com_object.h"
#include "config_paths.h"
#include "objects.h"

namespace iisadmin {
namespace {

using Lock = std::lock_guard<std::recursive_mutex>;

class AdminManager final : public IAppHostWritableAdminManager {
public:
    explicit AdminManager(std::shared_ptr<Document> document)
        : document_(std::move(document)), commitPath_(kServerPath) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IAppHostAdminManager || iid == IID_IAppHostWritableAdminManager) {
            *out = static_cast<IAppHostWritableAdminManager*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return refs_.AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return refs_.Release(this); }

    HRESULT STDMETHODCALLTYPE GetAdminSection(BSTR section, BSTR path, IAppHostElement** out) override {
        if (!Clean(out)) return E_POINTER;
        if (!section) return E_INVALIDARG;
        return Guarded([&] {
            Lock lock(document_->Mutex());
            ElementData data;
            HRESULT hr = document_->OpenSection(section, path ? path : L"", commitPath_, data);
            return FAILED(hr) ? hr : NewElement(std::move(data), out);
        });
    }
    HRESULT STDMETHODCALLTYPE GetMetadata(BSTR, VARIANT* value) override {
        if (value) ::VariantInit(value);
        return kNotSupported;
    }
    HRESULT STDMETHODCALLTYPE SetMetadata(BSTR, VARIANT) override { return kNotSupported; }
    HRESULT STDMETHODCALLTYPE get_ConfigManager(IAppHostConfigManager** out) override {
        if (out) *out = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE CommitChanges() override {
        return Guarded([&] {
            Lock lock(document_->Mutex());
            return document_->Commit();
        });
    }
    HRESULT STDMETHODCALLTYPE get_CommitPath(BSTR* path) override {
        if (!path) return E_POINTER;
        return Guarded([&] {
            Lock lock(document_->Mutex());
            *path = ::SysAllocStringLen(commitPath_.data(), static_cast<UINT>(commitPath_.size()));
            return *path ? S_OK : E_OUTOFMEMORY;
        });
    }
    HRESULT STDMETHODCALLTYPE put_CommitPath(BSTR path) override {
        return Guarded([&] {
            Lock lock(document_->Mutex());
            std::wstring location;
            if (!path || !LocationOfPath(path, location)) return E_INVALIDARG;
            commitPath_ = path;
            return S_OK;
        });
    }

private:
    RefCount refs_;
    std::shared_ptr<Document> document_;
    std::wstring commitPath_;
};

}  // namespace

HRESULT NewAdminManager(REFIID iid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    return Guarded([&] {
        auto* manager = new AdminManager(Document::Load(ConfigurationFilePath(), ReadSettings()));
        const HRESULT hr = manager->QueryInterface(iid, out);
        manager->Release();
        return hr;
    });
}

}  // namespace iisadmin
