#include "iis/config_access.h"

#include <cwctype>

namespace iis {

namespace {

win::Variant NameVariant(std::wstring_view name) { return win::Variant::Text(name); }

}  // namespace

HRESULT GetSection(IAppHostWritableAdminManager* manager, std::wstring_view name, std::wstring_view path,
                   win::ComPtr<IAppHostElement>& section) {
    if (!manager) return E_POINTER;
    win::Bstr sectionName(name), configPath(path);
    if (!sectionName || !configPath) return E_OUTOFMEMORY;
    return manager->GetAdminSection(sectionName.Get(), configPath.Get(), section.Put());
}

HRESULT CollectionOf(IAppHostElement* element, win::ComPtr<IAppHostElementCollection>& collection) {
    if (!element) return E_POINTER;
    return element->get_Collection(collection.Put());
}

HRESULT ChildElement(IAppHostElement* element, std::wstring_view name, win::ComPtr<IAppHostElement>& child) {
    if (!element) return E_POINTER;
    win::ComPtr<IAppHostChildElementCollection> children;
    HRESULT hr = element->get_ChildElements(children.Put());
    if (FAILED(hr) || !children) return FAILED(hr) ? hr : E_POINTER;
    return children->get_Item(NameVariant(name).Get(), child.Put());
}

HRESULT ItemAt(IAppHostElementCollection* collection, DWORD index, win::ComPtr<IAppHostElement>& item) {
    if (!collection) return E_POINTER;
    return collection->get_Item(win::Variant::Int32(static_cast<long>(index)).Get(), item.Put());
}

DWORD CountOf(IAppHostElementCollection* collection) {
    DWORD count = 0;
    if (collection && FAILED(collection->get_Count(&count))) count = 0;
    return count;
}

HRESULT CreateElement(IAppHostElementCollection* collection, std::wstring_view name,
                      win::ComPtr<IAppHostElement>& element) {
    if (!collection) return E_POINTER;
    win::Bstr elementName(name);
    return collection->CreateNewElement(elementName.Get(), element.Put());
}

HRESULT Append(IAppHostElementCollection* collection, IAppHostElement* element) {
    if (!collection || !element) return E_POINTER;
    return collection->AddElement(element, -1);
}

bool FindByName(IAppHostElementCollection* collection, std::wstring_view name, win::ComPtr<IAppHostElement>& found,
                DWORD* index) {
    const DWORD count = CountOf(collection);
    for (DWORD i = 0; i < count; ++i) {
        win::ComPtr<IAppHostElement> item;
        if (FAILED(ItemAt(collection, i, item))) continue;
        if (StringProperty(item.Get(), L"name") != name) continue;
        found = item;
        if (index) *index = i;
        return true;
    }
    return false;
}

bool EqualsNoCase(std::wstring_view a, std::wstring_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (::towlower(a[i]) != ::towlower(b[i])) return false;
    }
    return true;
}

bool FindByKeyNoCase(IAppHostElementCollection* collection, std::wstring_view property, std::wstring_view value,
                     win::ComPtr<IAppHostElement>& found, DWORD* index) {
    const DWORD count = CountOf(collection);
    for (DWORD i = 0; i < count; ++i) {
        win::ComPtr<IAppHostElement> item;
        if (FAILED(ItemAt(collection, i, item))) continue;
        if (!EqualsNoCase(StringProperty(item.Get(), property), value)) continue;
        found = item;
        if (index) *index = i;
        return true;
    }
    return false;
}

HRESULT ExecuteMethod(IAppHostElement* element, std::wstring_view method) {
    if (!element) return E_POINTER;
    win::ComPtr<IAppHostMethodCollection> methods;
    win::ComPtr<IAppHostMethod> found;
    win::ComPtr<IAppHostMethodInstance> instance;
    HRESULT hr = element->get_Methods(methods.Put());
    if (FAILED(hr) || !methods) return FAILED(hr) ? hr : E_POINTER;
    hr = methods->get_Item(win::Variant::Text(method).Get(), found.Put());
    if (FAILED(hr) || !found) return FAILED(hr) ? hr : E_POINTER;
    hr = found->CreateInstance(instance.Put());
    if (FAILED(hr) || !instance) return FAILED(hr) ? hr : E_POINTER;
    return instance->Execute();
}

HRESULT SetProperty(IAppHostElement* element, std::wstring_view name, win::Variant value) {
    if (!element) return E_POINTER;
    win::Bstr propertyName(name);
    win::ComPtr<IAppHostProperty> property;
    HRESULT hr = element->GetPropertyByName(propertyName.Get(), property.Put());
    if (FAILED(hr) || !property) return FAILED(hr) ? hr : E_POINTER;
    return property->put_Value(value.Get());
}

HRESULT SetListedProperty(IAppHostElement* element, std::wstring_view name, win::Variant value) {
    if (!element) return E_POINTER;
    win::ComPtr<IAppHostPropertyCollection> properties;
    HRESULT hr = element->get_Properties(properties.Put());
    if (FAILED(hr) || !properties) return FAILED(hr) ? hr : E_POINTER;
    win::ComPtr<IAppHostProperty> property;
    hr = properties->get_Item(NameVariant(name).Get(), property.Put());
    if (FAILED(hr) || !property) return FAILED(hr) ? hr : E_POINTER;
    return property->put_Value(value.Get());
}

std::wstring StringProperty(IAppHostElement* element, std::wstring_view name) {
    if (!element) return {};
    win::Bstr propertyName(name);
    win::ComPtr<IAppHostProperty> property;
    if (FAILED(element->GetPropertyByName(propertyName.Get(), property.Put())) || !property) return {};
    win::Bstr value;
    if (FAILED(property->get_StringValue(value.Put()))) return {};
    return std::wstring(value.View());
}

std::wstring ListedStringProperty(IAppHostElement* element, std::wstring_view name) {
    win::ComPtr<IAppHostPropertyCollection> properties;
    if (!element || FAILED(element->get_Properties(properties.Put())) || !properties) return {};
    win::ComPtr<IAppHostProperty> property;
    if (FAILED(properties->get_Item(NameVariant(name).Get(), property.Put())) || !property) return {};
    win::Bstr value;
    if (FAILED(property->get_StringValue(value.Put()))) return {};
    return std::wstring(value.View());
}

std::string Narrow8(std::wstring_view text) {
    std::string narrow;
    for (size_t i = 0; i < text.size() && i < 255 && text[i] != 0; ++i) {
        narrow += static_cast<char>(text[i] & 0xFF);
    }
    return narrow;
}


}  // namespace iis
