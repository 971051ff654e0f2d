// The methods of an element: a site's Start and Stop, an application pool's
// Start, Stop and Recycle.
#include <mutex>

#include "com_object.h"
#include "element_access.h"
#include "objects.h"
#include "pool_state.h"
#include "site_state.h"

namespace iisadmin {
namespace {

using Lock = std::lock_guard<std::recursive_mutex>;

class MethodInstance final : public IAppHostMethodInstance {
public:
    MethodInstance(ElementData owner, std::wstring method) : owner_(std::move(owner)), method_(std::move(method)) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        return QueryOne<IAppHostMethodInstance>(this, iid, IID_IAppHostMethodInstance, out);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return refs_.AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return refs_.Release(this); }

    // None of these methods takes input or gives output.
    HRESULT STDMETHODCALLTYPE get_Input(IAppHostElement** out) override { return Clean(out) ? S_OK : E_POINTER; }
    HRESULT STDMETHODCALLTYPE get_Output(IAppHostElement** out) override { return Clean(out) ? S_OK : E_POINTER; }
    HRESULT STDMETHODCALLTYPE Execute() override {
        return Guarded([&] {
            std::wstring name;
            {
                Lock lock(owner_.document->Mutex());
                std::optional<TypedValue> value;
                if (HRESULT hr = ReadProperty(owner_, owner_.schema->Property(L"name"), L"name", value); FAILED(hr)) {
                    return hr;
                }
                if (value) name = value->text;
            }
            switch (owner_.schema->run) {
                case RunKind::Site: return RunSiteMethod(name, method_);
                case RunKind::ApplicationPool: return RunPoolMethod(name, method_);
                case RunKind::None: break;
            }
            return E_NOTIMPL;
        });
    }
    HRESULT STDMETHODCALLTYPE GetMetadata(BSTR, VARIANT* value) override {
        if (value) ::VariantInit(value);
        return kNotSupported;
    }
    HRESULT STDMETHODCALLTYPE SetMetadata(BSTR, VARIANT) override { return kNotSupported; }

private:
    RefCount refs_;
    ElementData owner_;
    std::wstring method_;
};

class Method final : public IAppHostMethod {
public:
    Method(ElementData owner, std::wstring name) : owner_(std::move(owner)), name_(std::move(name)) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        return QueryOne<IAppHostMethod>(this, iid, IID_IAppHostMethod, out);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return refs_.AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return refs_.Release(this); }

    HRESULT STDMETHODCALLTYPE get_Name(BSTR* name) override {
        if (!name) return E_POINTER;
        *name = ::SysAllocStringLen(name_.data(), static_cast<UINT>(name_.size()));
        return *name ? S_OK : E_OUTOFMEMORY;
    }
    HRESULT STDMETHODCALLTYPE get_Schema(IAppHostMethodSchema** out) override {
        if (out) *out = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE CreateInstance(IAppHostMethodInstance** out) override {
        if (!Clean(out)) return E_POINTER;
        return Guarded([&] {
            *out = new MethodInstance(owner_, name_);
            return S_OK;
        });
    }

private:
    RefCount refs_;
    ElementData owner_;
    std::wstring name_;
};

class Methods final : public IAppHostMethodCollection {
public:
    explicit Methods(ElementData owner) : owner_(std::move(owner)) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        return QueryOne<IAppHostMethodCollection>(this, iid, IID_IAppHostMethodCollection, out);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return refs_.AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return refs_.Release(this); }

    HRESULT STDMETHODCALLTYPE get_Count(DWORD* count) override {
        if (!count) return E_POINTER;
        *count = static_cast<DWORD>(owner_.schema->methods.size());
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_Item(VARIANT index, IAppHostMethod** out) override {
        if (!Clean(out)) return E_POINTER;
        return Guarded([&] {
            const auto& methods = owner_.schema->methods;
            const std::wstring* found = nullptr;
            if (auto n = IntegerOf(index)) {
                if (*n >= 0 && static_cast<size_t>(*n) < methods.size()) found = &methods[static_cast<size_t>(*n)];
            } else if (auto name = NameOf(index)) {
                // Exact names, as IIS's schema spells them: "start" is no method.
                for (const auto& method : methods) {
                    if (method == *name) found = &method;
                }
            } else {
                return E_INVALIDARG;
            }
            if (!found) return kInvalidIndex;
            *out = new Method(owner_, *found);
            return S_OK;
        });
    }

private:
    RefCount refs_;
    ElementData owner_;
};

}  // namespace

HRESULT NewMethodCollection(ElementData owner, IAppHostMethodCollection** out) {
    *out = new Methods(std::move(owner));
    return S_OK;
}

}  // namespace iisadmin
