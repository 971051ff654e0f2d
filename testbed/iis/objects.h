#pragma once
// The COM objects of the stand-in. Each is made with one reference, which the
// function hands to the out-parameter. Every object keeps the document alive.
#include "document.h"
#include "win/app_host_admin.h"

namespace iisadmin {

HRESULT NewElement(ElementData data, IAppHostElement** out);
HRESULT NewElementCollection(ElementData owner, IAppHostElementCollection** out);
HRESULT NewChildElementCollection(ElementData owner, IAppHostChildElementCollection** out);
HRESULT NewPropertyCollection(ElementData owner, IAppHostPropertyCollection** out);
HRESULT NewProperty(ElementData owner, const PropertySchema* schema, std::wstring spelling, IAppHostProperty** out);
HRESULT NewMethodCollection(ElementData owner, IAppHostMethodCollection** out);
HRESULT NewAdminManager(REFIID iid, void** out);

// The data behind an element object of this stand-in; null for anything else.
const ElementData* ElementDataOf(IAppHostElement* element);

// QueryInterface for objects with one interface besides IUnknown.
template <typename Interface>
HRESULT QueryOne(Interface* self, REFIID iid, const IID& own, void** out) noexcept {
    if (!out) return E_POINTER;
    if (iid == IID_IUnknown || iid == own) {
        *out = self;
        self->AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

// Out-parameter checks every method makes first.
template <typename T>
bool Clean(T** out) noexcept {
    if (!out) return false;
    *out = nullptr;
    return true;
}

}  // namespace iisadmin
