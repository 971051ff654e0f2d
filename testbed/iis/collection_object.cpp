// IAppHostElementCollection: a live view of one collection in the tree.
#include <mutex>

#include "com_object.h"
#include "element_access.h"
#include "objects.h"

namespace iisadmin {
namespace {

using Lock = std::lock_guard<std::recursive_mutex>;

class ElementCollection final : public IAppHostElementCollection {
public:
    explicit ElementCollection(ElementData owner) : owner_(std::move(owner)) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        return QueryOne<IAppHostElementCollection>(this, iid, IID_IAppHostElementCollection, out);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return refs_.AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return refs_.Release(this); }

    HRESULT STDMETHODCALLTYPE get_Count(DWORD* count) override {
        if (!count) return E_POINTER;
        return Guarded([&] {
            Lock lock(owner_.document->Mutex());
            *count = static_cast<DWORD>(Entries(owner_).size());
            return S_OK;
        });
    }
    HRESULT STDMETHODCALLTYPE get_Item(VARIANT index, IAppHostElement** out) override {
        if (!Clean(out)) return E_POINTER;
        return Guarded([&] {
            Lock lock(owner_.document->Mutex());
            std::optional<long long> n = IntegerOf(index);
            if (!n) return E_INVALIDARG;
            const std::vector<Entry> entries = Entries(owner_);
            if (*n < 0 || static_cast<size_t>(*n) >= entries.size()) return kInvalidIndex;
            return NewElement(EntryData(owner_, entries[static_cast<size_t>(*n)]), out);
        });
    }
    HRESULT STDMETHODCALLTYPE AddElement(IAppHostElement* element, INT position) override {
        return Guarded([&] {
            Lock lock(owner_.document->Mutex());
            const ElementData* entry = ElementDataOf(element);
            if (!entry) return E_INVALIDARG;
            return AddEntry(owner_, *entry, position);
        });
    }
    HRESULT STDMETHODCALLTYPE DeleteElement(VARIANT index) override {
        return Guarded([&] {
            Lock lock(owner_.document->Mutex());
            std::optional<long long> n = IntegerOf(index);
            if (!n) return E_INVALIDARG;
            if (*n < 0) return kInvalidIndex;
            return DeleteEntry(owner_, static_cast<size_t>(*n));
        });
    }
    HRESULT STDMETHODCALLTYPE Clear() override {
        return Guarded([&] {
            Lock lock(owner_.document->Mutex());
            return ClearEntries(owner_);
        });
    }
    HRESULT STDMETHODCALLTYPE CreateNewElement(BSTR name, IAppHostElement** out) override {
        if (!Clean(out)) return E_POINTER;
        return Guarded([&] {
            Lock lock(owner_.document->Mutex());
            ElementData entry;
            HRESULT hr = NewEntry(owner_, name ? std::wstring_view(name) : std::wstring_view(), entry);
            return FAILED(hr) ? hr : NewElement(std::move(entry), out);
        });
    }
    HRESULT STDMETHODCALLTYPE get_Schema(IAppHostCollectionSchema** out) override {
        if (out) *out = nullptr;
        return E_NOTIMPL;
    }

private:
    RefCount refs_;
    ElementData owner_;
};

}  // namespace

HRESULT NewElementCollection(ElementData owner, IAppHostElementCollection** out) {
    *out = new ElementCollection(std::move(owner));
    return S_OK;
}

}  // namespace iisadmin
