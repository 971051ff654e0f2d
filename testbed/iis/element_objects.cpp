// IAppHostElement, its child element collection, its property collection and
// the property object.
#include <mutex>

#include "com_object.h"
#include "element_access.h"
#include "objects.h"
#include "win/com.h"

namespace iisadmin {
namespace {

// Lets AddElement recognise elements made by this stand-in.
constexpr IID kElementIdentity = {0x6f1d2c1e, 0x6a47, 0x4f8e, {0x9d, 0x55, 0x3c, 0x1b, 0x7e, 0x0a, 0x9b, 0x21}};

using Lock = std::lock_guard<std::recursive_mutex>;

HRESULT ReturnText(std::wstring_view text, BSTR* out) {
    if (!out) return E_POINTER;
    *out = ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return *out ? S_OK : E_OUTOFMEMORY;
}

class Element final : public IAppHostElement {
public:
    explicit Element(ElementData data) : data_(std::move(data)) {}
    const ElementData& Data() const { return data_; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (out && iid == kElementIdentity) {
            *out = this;
            AddRef();
            return S_OK;
        }
        return QueryOne<IAppHostElement>(this, iid, IID_IAppHostElement, out);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return refs_.AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return refs_.Release(this); }

    HRESULT STDMETHODCALLTYPE get_Name(BSTR* name) override {
        return Guarded([&] { return ReturnText(data_.schema->name, name); });
    }
    HRESULT STDMETHODCALLTYPE get_Collection(IAppHostElementCollection** out) override {
        if (!Clean(out)) return E_POINTER;
        return Guarded([&] {
            if (!data_.schema->collection) return kNotSupported;
            return NewElementCollection(data_, out);
        });
    }
    HRESULT STDMETHODCALLTYPE get_Properties(IAppHostPropertyCollection** out) override {
        if (!Clean(out)) return E_POINTER;
        return Guarded([&] { return NewPropertyCollection(data_, out); });
    }
    HRESULT STDMETHODCALLTYPE get_ChildElements(IAppHostChildElementCollection** out) override {
        if (!Clean(out)) return E_POINTER;
        return Guarded([&] { return NewChildElementCollection(data_, out); });
    }
    HRESULT STDMETHODCALLTYPE GetMetadata(BSTR, VARIANT* value) override {
        if (value) ::VariantInit(value);
        return kNotSupported;
    }
    HRESULT STDMETHODCALLTYPE SetMetadata(BSTR, VARIANT) override { return kNotSupported; }
    HRESULT STDMETHODCALLTYPE get_Schema(IAppHostElementSchema** out) override {
        if (out) *out = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetElementByName(BSTR name, IAppHostElement** out) override {
        if (!Clean(out)) return E_POINTER;
        if (!name) return E_INVALIDARG;
        return Guarded([&] {
            Lock lock(data_.document->Mutex());
            ElementData child;
            HRESULT hr = ChildElement(data_, name, child);
            return FAILED(hr) ? hr : NewElement(std::move(child), out);
        });
    }
    HRESULT STDMETHODCALLTYPE GetPropertyByName(BSTR name, IAppHostProperty** out) override {
        if (!Clean(out)) return E_POINTER;
        if (!name) return E_INVALIDARG;
        return Guarded([&] {
            Lock lock(data_.document->Mutex());
            const PropertySchema* schema = nullptr;
            std::wstring spelling;
            HRESULT hr = FindProperty(data_, name, schema, spelling);
            return FAILED(hr) ? hr : NewProperty(data_, schema, std::move(spelling), out);
        });
    }
    HRESULT STDMETHODCALLTYPE Clear() override {
        return Guarded([&] {
            Lock lock(data_.document->Mutex());
            return ClearElement(data_);
        });
    }
    HRESULT STDMETHODCALLTYPE get_Methods(IAppHostMethodCollection** out) override {
        if (!Clean(out)) return E_POINTER;
        return Guarded([&] { return NewMethodCollection(data_, out); });
    }

private:
    RefCount refs_;
    ElementData data_;
};

class ChildElements final : public IAppHostChildElementCollection {
public:
    explicit ChildElements(ElementData owner) : owner_(std::move(owner)) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        return QueryOne<IAppHostChildElementCollection>(this, iid, IID_IAppHostChildElementCollection, out);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return refs_.AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return refs_.Release(this); }

    HRESULT STDMETHODCALLTYPE get_Count(DWORD* count) override {
        if (!count) return E_POINTER;
        *count = static_cast<DWORD>(owner_.schema->children.size());
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_Item(VARIANT index, IAppHostElement** out) override {
        if (!Clean(out)) return E_POINTER;
        return Guarded([&] {
            Lock lock(owner_.document->Mutex());
            std::wstring name;
            if (auto n = IntegerOf(index)) {
                if (*n < 0 || static_cast<size_t>(*n) >= owner_.schema->children.size()) return kInvalidIndex;
                name = owner_.schema->children[static_cast<size_t>(*n)]->name;
            } else if (auto text = NameOf(index)) {
                name = *text;
            } else {
                return E_INVALIDARG;
            }
            ElementData child;
            HRESULT hr = ChildElement(owner_, name, child);
            return FAILED(hr) ? hr : NewElement(std::move(child), out);
        });
    }

private:
    RefCount refs_;
    ElementData owner_;
};

class Property final : public IAppHostProperty {
public:
    Property(ElementData owner, const PropertySchema* schema, std::wstring spelling)
        : owner_(std::move(owner)), schema_(schema), spelling_(std::move(spelling)) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        return QueryOne<IAppHostProperty>(this, iid, IID_IAppHostProperty, out);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return refs_.AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return refs_.Release(this); }

    HRESULT STDMETHODCALLTYPE get_Name(BSTR* name) override {
        return Guarded([&] { return ReturnText(spelling_, name); });
    }
    HRESULT STDMETHODCALLTYPE get_Value(VARIANT* value) override {
        if (!value) return E_POINTER;
        ::VariantInit(value);
        return Guarded([&] {
            Lock lock(owner_.document->Mutex());
            std::optional<TypedValue> typed;
            HRESULT hr = ReadProperty(owner_, schema_, spelling_, typed);
            if (FAILED(hr) || !typed) return hr;  // unset without a default: VT_EMPTY
            return ToVariant(schema_, *typed, value);
        });
    }
    HRESULT STDMETHODCALLTYPE put_Value(VARIANT value) override {
        return Guarded([&] {
            Lock lock(owner_.document->Mutex());
            return WriteProperty(owner_, schema_, spelling_, value);
        });
    }
    HRESULT STDMETHODCALLTYPE Clear() override {
        return Guarded([&] {
            Lock lock(owner_.document->Mutex());
            return ResetProperty(owner_, spelling_);
        });
    }
    HRESULT STDMETHODCALLTYPE get_StringValue(BSTR* text) override {
        if (!text) return E_POINTER;
        *text = nullptr;
        return Guarded([&] {
            Lock lock(owner_.document->Mutex());
            std::optional<TypedValue> typed;
            HRESULT hr = ReadProperty(owner_, schema_, spelling_, typed);
            if (FAILED(hr)) return hr;
            return ReturnText(typed ? FormatValue(schema_, *typed) : std::wstring(), text);
        });
    }
    HRESULT STDMETHODCALLTYPE get_Exception(IAppHostPropertyException** out) override {
        if (out) *out = nullptr;
        return S_OK;  // no exception: the value is valid
    }
    HRESULT STDMETHODCALLTYPE GetMetadata(BSTR, VARIANT* value) override {
        if (value) ::VariantInit(value);
        return kNotSupported;
    }
    HRESULT STDMETHODCALLTYPE SetMetadata(BSTR, VARIANT) override { return kNotSupported; }
    HRESULT STDMETHODCALLTYPE get_Schema(IAppHostPropertySchema** out) override {
        if (out) *out = nullptr;
        return E_NOTIMPL;
    }

private:
    RefCount refs_;
    ElementData owner_;
    const PropertySchema* schema_;
    std::wstring spelling_;
};

class Properties final : public IAppHostPropertyCollection {
public:
    explicit Properties(ElementData owner) : owner_(std::move(owner)) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        return QueryOne<IAppHostPropertyCollection>(this, iid, IID_IAppHostPropertyCollection, out);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return refs_.AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return refs_.Release(this); }

    HRESULT STDMETHODCALLTYPE get_Count(DWORD* count) override {
        if (!count) return E_POINTER;
        return Guarded([&] {
            Lock lock(owner_.document->Mutex());
            *count = static_cast<DWORD>(PropertyNames(owner_).size());
            return S_OK;
        });
    }
    HRESULT STDMETHODCALLTYPE get_Item(VARIANT index, IAppHostProperty** out) override {
        if (!Clean(out)) return E_POINTER;
        return Guarded([&] {
            Lock lock(owner_.document->Mutex());
            std::wstring name;
            if (auto n = IntegerOf(index)) {
                const std::vector<std::wstring> names = PropertyNames(owner_);
                if (*n < 0 || static_cast<size_t>(*n) >= names.size()) return kInvalidIndex;
                name = names[static_cast<size_t>(*n)];
            } else if (auto text = NameOf(index)) {
                name = *text;
            } else {
                return E_INVALIDARG;
            }
            const PropertySchema* schema = nullptr;
            std::wstring spelling;
            HRESULT hr = FindProperty(owner_, name, schema, spelling);
            return FAILED(hr) ? hr : NewProperty(owner_, schema, std::move(spelling), out);
        });
    }

private:
    RefCount refs_;
    ElementData owner_;
};

}  // namespace

HRESULT NewElement(ElementData data, IAppHostElement** out) {
    *out = new Element(std::move(data));
    return S_OK;
}

HRESULT NewChildElementCollection(ElementData owner, IAppHostChildElementCollection** out) {
    *out = new ChildElements(std::move(owner));
    return S_OK;
}

HRESULT NewPropertyCollection(ElementData owner, IAppHostPropertyCollection** out) {
    *out = new Properties(std::move(owner));
    return S_OK;
}

HRESULT NewProperty(ElementData owner, const PropertySchema* schema, std::wstring spelling, IAppHostProperty** out) {
    *out = new Property(std::move(owner), schema, std::move(spelling));
    return S_OK;
}

const ElementData* ElementDataOf(IAppHostElement* element) {
    if (!element) return nullptr;
    void* ours = nullptr;
    if (FAILED(element->QueryInterface(kElementIdentity, &ours)) || !ours) return nullptr;
    auto* object = static_cast<Element*>(static_cast<IAppHostElement*>(ours));
    object->Release();  // the caller's own reference keeps it alive
    return &object->Data();
}

}  // namespace iisadmin
