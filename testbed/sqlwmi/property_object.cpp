#include "property_object.h"

#include <string_view>

namespace sqlwmi {
namespace {

constexpr wchar_t kClassName[] = L"SqlServiceAdvancedProperty";
constexpr LONG kDatabaseEngine = 1;  // SqlServiceType of the SQL Server service
constexpr LONG kTextValue = 0;       // PropertyValueType of a text property

// Property selection flags of GetNames and BeginEnumeration.
constexpr LONG kOriginMask = 0x70;
constexpr LONG kSelectionFlags = WBEM_FLAG_KEYS_ONLY | WBEM_FLAG_REFS_ONLY | kOriginMask;

PropertyValue Text(std::wstring name, std::wstring text, bool system = false, bool key = false) {
    return {std::move(name), CIM_STRING, PropertyValue::Kind::Text, std::move(text), 0, system, key};
}
PropertyValue Number(std::wstring name, CIMTYPE type, LONG number, bool system = false, bool key = false) {
    return {std::move(name), type, PropertyValue::Kind::Number, {}, number, system, key};
}
PropertyValue Null(std::wstring name, CIMTYPE type, bool system = false) {
    return {std::move(name), type, PropertyValue::Kind::Null, {}, 0, system, false};
}
PropertyValue Boolean(std::wstring name, bool value) {
    return {std::move(name), CIM_BOOLEAN, PropertyValue::Kind::Boolean, {}, value ? 1 : 0, false, false};
}

// A string inside an object path or MOF text: backslash and quote escaped.
std::wstring Quoted(std::wstring_view text) {
    std::wstring out = L"\"";
    for (wchar_t c : text) {
        if (c == L'\\' || c == L'"') out += L'\\';
        out += c;
    }
    return out + L"\"";
}

bool ValidSelection(LONG flags) noexcept {
    if (flags & ~kSelectionFlags) return false;
    const LONG origin = flags & kOriginMask;
    return origin == 0 || origin == WBEM_FLAG_LOCAL_ONLY || origin == WBEM_FLAG_PROPAGATED_ONLY ||
           origin == WBEM_FLAG_SYSTEM_ONLY || origin == WBEM_FLAG_NONSYSTEM_ONLY;
}

// The class has no superclass and no reference properties: its own
// properties are local, none are propagated.
bool Selected(const PropertyValue& p, LONG flags) noexcept {
    if ((flags & WBEM_FLAG_KEYS_ONLY) && !p.key) return false;
    if (flags & WBEM_FLAG_REFS_ONLY) return false;
    switch (flags & kOriginMask) {
        case WBEM_FLAG_SYSTEM_ONLY: return p.system;
        case WBEM_FLAG_NONSYSTEM_ONLY:
        case WBEM_FLAG_LOCAL_ONLY: return !p.system;
        case WBEM_FLAG_PROPAGATED_ONLY: return false;
        default: return true;
    }
}

LONG Flavor(const PropertyValue& p) noexcept {
    if (p.system) return WBEM_FLAVOR_ORIGIN_SYSTEM;
    // A value the provider supplied is the instance's own; a null one is the class default.
    return p.kind == PropertyValue::Kind::Null ? WBEM_FLAVOR_ORIGIN_PROPAGATED : WBEM_FLAVOR_ORIGIN_LOCAL;
}

// Fills the caller's VARIANT (initialised by the caller, not cleared here:
// WMI overwrites it, and the caller clears what it receives).
HRESULT FillVariant(const PropertyValue& p, VARIANT* out) noexcept {
    switch (p.kind) {
        case PropertyValue::Kind::Null: out->vt = VT_NULL; return S_OK;
        case PropertyValue::Kind::Number: out->vt = VT_I4; out->lVal = p.number; return S_OK;
        case PropertyValue::Kind::Boolean:
            out->vt = VT_BOOL;
            out->boolVal = p.number ? VARIANT_TRUE : VARIANT_FALSE;
            return S_OK;
        case PropertyValue::Kind::Text: {
            BSTR text = ::SysAllocStringLen(p.text.data(), static_cast<UINT>(p.text.size()));
            if (!text) return WBEM_E_OUT_OF_MEMORY;
            out->vt = VT_BSTR;
            out->bstrVal = text;
            return S_OK;
        }
    }
    return WBEM_E_FAILED;
}

HRESULT Report(const PropertyValue& p, VARIANT* value, CIMTYPE* type, LONG* flavor) noexcept {
    if (value) {
        const HRESULT hr = FillVariant(p, value);
        if (FAILED(hr)) return hr;
    }
    if (type) *type = p.type;
    if (flavor) *flavor = Flavor(p);
    return WBEM_S_NO_ERROR;
}

}  // namespace

std::vector<PropertyValue> InstanceProperties(const PropertyRow& row, const std::wstring& namespaceKey,
                                              const std::wstring& computerName) {
    const std::wstring relPath = std::wstring(kClassName) + L".PropertyIndex=" + std::to_wstring(row.index) +
                                 L",PropertyName=" + Quoted(row.propertyName) + L",ServiceName=" +
                                 Quoted(row.serviceName) + L",SqlServiceType=" + std::to_wstring(kDatabaseEngine);
    const std::wstring space = NamespaceName(namespaceKey);
    constexpr bool kSystem = true;
    constexpr bool kKey = true;
    return {
        Number(L"__GENUS", CIM_SINT32, WBEM_GENUS_INSTANCE, kSystem),
        Text(L"__CLASS", kClassName, kSystem),
        Null(L"__SUPERCLASS", CIM_STRING, kSystem),
        Text(L"__DYNASTY", kClassName, kSystem),
        Text(L"__RELPATH", relPath, kSystem),
        Number(L"__PROPERTY_COUNT", CIM_SINT32, 8, kSystem),
        Text(L"__SERVER", computerName, kSystem),
        Text(L"__NAMESPACE", space, kSystem),
        Text(L"__PATH", L"\\\\" + computerName + L"\\" + space + L":" + relPath, kSystem),
        Boolean(L"IsReadOnly", true),
        Number(L"PropertyIndex", CIM_UINT32, static_cast<LONG>(row.index), !kSystem, kKey),
        Text(L"PropertyName", row.propertyName, !kSystem, kKey),
        Null(L"PropertyNumValue", CIM_UINT32),
        Text(L"PropertyStrValue", row.value),
        Number(L"PropertyValueType", CIM_UINT32, kTextValue),
        Text(L"ServiceName", row.serviceName, !kSystem, kKey),
        Number(L"SqlServiceType", CIM_UINT32, kDatabaseEngine, !kSystem, kKey),
    };
}

const PropertyValue* PropertyObject::Find(LPCWSTR name) const noexcept {
    for (const PropertyValue& p : properties_)
        if (SameText(p.name, name)) return &p;
    return nullptr;
}

STDMETHODIMP PropertyObject::QueryInterface(REFIID iid, void** out) {
    if (!out) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IWbemClassObject) {
        *out = static_cast<IWbemClassObject*>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP PropertyObject::Get(LPCWSTR name, LONG flags, VARIANT* value, CIMTYPE* type, LONG* flavor) {
    if (!name || flags != 0) return WBEM_E_INVALID_PARAMETER;
    const PropertyValue* p = Find(name);
    if (!p) return WBEM_E_NOT_FOUND;
    return Report(*p, value, type, flavor);
}

STDMETHODIMP PropertyObject::GetNames(LPCWSTR qualifierName, LONG flags, VARIANT*, SAFEARRAY** names) {
    if (!names) return WBEM_E_INVALID_PARAMETER;
    *names = nullptr;
    // Selection by qualifier is not offered; the condition bits need a qualifier.
    if (qualifierName) return WBEM_E_NOT_SUPPORTED;
    if (!ValidSelection(flags)) return WBEM_E_INVALID_PARAMETER;
    LONG count = 0;
    for (const PropertyValue& p : properties_) count += Selected(p, flags) ? 1 : 0;
    SAFEARRAY* array = ::SafeArrayCreateVector(VT_BSTR, 0, static_cast<ULONG>(count));
    if (!array) return WBEM_E_OUT_OF_MEMORY;
    LONG index = 0;
    for (const PropertyValue& p : properties_) {
        if (!Selected(p, flags)) continue;
        BSTR name = ::SysAllocStringLen(p.name.data(), static_cast<UINT>(p.name.size()));
        const HRESULT hr = name ? ::SafeArrayPutElement(array, &index, name) : E_OUTOFMEMORY;
        ::SysFreeString(name);  // SafeArrayPutElement stored its own copy
        if (FAILED(hr)) {
            ::SafeArrayDestroy(array);
            return WBEM_E_OUT_OF_MEMORY;
        }
        ++index;
    }
    *names = array;
    return WBEM_S_NO_ERROR;
}

STDMETHODIMP PropertyObject::BeginEnumeration(LONG flags) {
    if (!ValidSelection(flags)) return WBEM_E_INVALID_PARAMETER;
    std::lock_guard lock(enumeration_);
    enumerating_ = true;
    enumerationFlags_ = flags;
    nextProperty_ = 0;
    return WBEM_S_NO_ERROR;
}

STDMETHODIMP PropertyObject::Next(LONG flags, BSTR* name, VARIANT* value, CIMTYPE* type, LONG* flavor) {
    if (flags != 0) return WBEM_E_INVALID_PARAMETER;
    std::lock_guard lock(enumeration_);
    if (!enumerating_) return WBEM_E_UNEXPECTED;
    while (nextProperty_ < properties_.size() && !Selected(properties_[nextProperty_], enumerationFlags_))
        ++nextProperty_;
    if (nextProperty_ == properties_.size()) return WBEM_S_NO_MORE_DATA;
    const PropertyValue& p = properties_[nextProperty_];
    BSTR text = nullptr;
    if (name) {
        text = ::SysAllocStringLen(p.name.data(), static_cast<UINT>(p.name.size()));
        if (!text) return WBEM_E_OUT_OF_MEMORY;
    }
    const HRESULT hr = Report(p, value, type, flavor);
    if (FAILED(hr)) {
        ::SysFreeString(text);
        return hr;
    }
    if (name) *name = text;
    ++nextProperty_;
    return WBEM_S_NO_ERROR;
}

STDMETHODIMP PropertyObject::EndEnumeration() {
    std::lock_guard lock(enumeration_);
    enumerating_ = false;
    return WBEM_S_NO_ERROR;
}

STDMETHODIMP PropertyObject::Clone(IWbemClassObject** copy) {
    if (!copy) return WBEM_E_INVALID_PARAMETER;
    *copy = nullptr;
    return Guarded([&] {
        *copy = new PropertyObject(properties_);
        return WBEM_S_NO_ERROR;
    });
}

STDMETHODIMP PropertyObject::GetObjectText(LONG flags, BSTR* text) {
    if (!text || (flags & ~WBEM_FLAG_NO_FLAVORS)) return WBEM_E_INVALID_PARAMETER;
    *text = nullptr;
    return Guarded([&] {
        std::wstring mof = L"\ninstance of " + std::wstring(kClassName) + L"\n{\n";
        for (const PropertyValue& p : properties_) {
            if (p.system || p.kind == PropertyValue::Kind::Null) continue;
            mof += L"\t" + p.name + L" = ";
            if (p.kind == PropertyValue::Kind::Text) mof += Quoted(p.text);
            else if (p.kind == PropertyValue::Kind::Boolean) mof += p.number ? L"TRUE" : L"FALSE";
            else mof += std::to_wstring(p.number);
            mof += L";\n";
        }
        mof += L"};\n";
        *text = ::SysAllocStringLen(mof.data(), static_cast<UINT>(mof.size()));
        return *text ? WBEM_S_NO_ERROR : WBEM_E_OUT_OF_MEMORY;
    });
}

STDMETHODIMP PropertyObject::GetPropertyOrigin(LPCWSTR name, BSTR* className) {
    if (!name || !className) return WBEM_E_INVALID_PARAMETER;
    *className = nullptr;
    const PropertyValue* p = Find(name);
    if (!p || p->system) return WBEM_E_NOT_FOUND;
    *className = ::SysAllocString(kClassName);
    return *className ? WBEM_S_NO_ERROR : WBEM_E_OUT_OF_MEMORY;
}

STDMETHODIMP PropertyObject::InheritsFrom(LPCWSTR ancestor) {
    if (!ancestor) return WBEM_E_INVALID_PARAMETER;
    return WBEM_S_FALSE;  // the class has no superclass
}

// The provider's instances are read-only views; what WMI would offer beyond
// reading them is not part of this stand-in.
STDMETHODIMP PropertyObject::GetQualifierSet(IWbemQualifierSet** set) {
    if (set) *set = nullptr;
    return WBEM_E_NOT_SUPPORTED;
}
STDMETHODIMP PropertyObject::Put(LPCWSTR, LONG, VARIANT*, CIMTYPE) { return WBEM_E_NOT_SUPPORTED; }
STDMETHODIMP PropertyObject::Delete(LPCWSTR) { return WBEM_E_NOT_SUPPORTED; }
STDMETHODIMP PropertyObject::GetPropertyQualifierSet(LPCWSTR, IWbemQualifierSet** set) {
    if (set) *set = nullptr;
    return WBEM_E_NOT_SUPPORTED;
}
STDMETHODIMP PropertyObject::SpawnDerivedClass(LONG, IWbemClassObject** newClass) {
    if (newClass) *newClass = nullptr;
    return WBEM_E_NOT_SUPPORTED;
}
STDMETHODIMP PropertyObject::SpawnInstance(LONG, IWbemClassObject** newInstance) {
    if (newInstance) *newInstance = nullptr;
    return WBEM_E_NOT_SUPPORTED;
}
STDMETHODIMP PropertyObject::CompareTo(LONG, IWbemClassObject*) { return WBEM_E_NOT_SUPPORTED; }
STDMETHODIMP PropertyObject::GetMethod(LPCWSTR, LONG, IWbemClassObject**, IWbemClassObject**) {
    return WBEM_E_NOT_SUPPORTED;
}
STDMETHODIMP PropertyObject::PutMethod(LPCWSTR, LONG, IWbemClassObject*, IWbemClassObject*) {
    return WBEM_E_NOT_SUPPORTED;
}
STDMETHODIMP PropertyObject::DeleteMethod(LPCWSTR) { return WBEM_E_NOT_SUPPORTED; }
STDMETHODIMP PropertyObject::BeginMethodEnumeration(LONG) { return WBEM_E_NOT_SUPPORTED; }
STDMETHODIMP PropertyObject::NextMethod(LONG, BSTR*, IWbemClassObject**, IWbemClassObject**) {
    return WBEM_E_NOT_SUPPORTED;
}
STDMETHODIMP PropertyObject::EndMethodEnumeration() { return WBEM_E_NOT_SUPPORTED; }
STDMETHODIMP PropertyObject::GetMethodQualifierSet(LPCWSTR, IWbemQualifierSet** set) {
    if (set) *set = nullptr;
    return WBEM_E_NOT_SUPPORTED;
}
STDMETHODIMP PropertyObject::GetMethodOrigin(LPCWSTR, BSTR*) { return WBEM_E_NOT_SUPPORTED; }

}  // namespace sqlwmi
