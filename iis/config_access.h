#pragma once
// Small, uniform steps on the IIS configuration objects. Each returns the
// platform's status; none of them throws.
#include <string>
#include <string_view>

#include "win/app_host_admin.h"
#include "win/com.h"

namespace iis {

constexpr wchar_t APPHOST_PATH[] = L"MACHINE/WEBROOT/APPHOST";

HRESULT GetSection(IAppHostWritableAdminManager* manager, std::wstring_view name, std::wstring_view path,
                   win::ComPtr<IAppHostElement>& section);
HRESULT CollectionOf(IAppHostElement* element, win::ComPtr<IAppHostElementCollection>& collection);
HRESULT ChildElement(IAppHostElement* element, std::wstring_view name, win::ComPtr<IAppHostElement>& child);
HRESULT ItemAt(IAppHostElementCollection* collection, DWORD index, win::ComPtr<IAppHostElement>& item);
DWORD CountOf(IAppHostElementCollection* collection);
HRESULT CreateElement(IAppHostElementCollection* collection, std::wstring_view name,
                      win::ComPtr<IAppHostElement>& element);
HRESULT Append(IAppHostElementCollection* collection, IAppHostElement* element);
// The first element of the collection whose "name" is exactly this (case
// sensitive, as the setup compares names); false when there is none.
bool FindByName(IAppHostElementCollection* collection, std::wstring_view name, win::ComPtr<IAppHostElement>& found,
                DWORD* index = nullptr);
// The first element whose property has this value without letter case, as
// IIS compares the keys of paths and segments.
bool FindByKeyNoCase(IAppHostElementCollection* collection, std::wstring_view property, std::wstring_view value,
                     win::ComPtr<IAppHostElement>& found, DWORD* index = nullptr);
bool EqualsNoCase(std::wstring_view a, std::wstring_view b);
// Runs the element's method of that name (a site's or pool's Start or Stop).
HRESULT ExecuteMethod(IAppHostElement* element, std::wstring_view method);
// Sets a property of an element by its name.
HRESULT SetProperty(IAppHostElement* element, std::wstring_view name, win::Variant value);
// Sets a property taken from the element's property collection by name.
HRESULT SetListedProperty(IAppHostElement* element, std::wstring_view name, win::Variant value);
// The property's value as text; empty when it cannot be read.
std::wstring StringProperty(IAppHostElement* element, std::wstring_view name);
// The same, the property taken from the element's property collection.
std::wstring ListedStringProperty(IAppHostElement* element, std::wstring_view name);
// A text reduced to 8 bits as the conflict check compares it: the low byte of
// each unit, at most 255 units, up to the first zero.
std::string Narrow8(std::wstring_view text);

}  // namespace iis
