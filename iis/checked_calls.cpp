#include "iis/checked_calls.h"

#include "core/context.h"
#include "iis/config_access.h"
#include "win/text.h"

bool IisCalls::Check(HRESULT hr, std::string_view what) {
    if (SUCCEEDED(hr)) return true;
    log_.Fail(LOG_SERVER, "IIS refused to " + std::string(what), "0x" + text::Hex8(static_cast<unsigned long>(hr)));
    return false;
}

bool IisCalls::Set(IAppHostElement* element, std::wstring_view name, win::Variant value) {
    return Check(iis::SetProperty(element, name, std::move(value)), "set " + win::ToAnsi(name));
}

bool IisCalls::SetListed(IAppHostElement* element, std::wstring_view name, win::Variant value) {
    return Check(iis::SetListedProperty(element, name, std::move(value)), "set " + win::ToAnsi(name));
}

bool IisCalls::Create(IAppHostElementCollection* collection, std::wstring_view name,
                      win::ComPtr<IAppHostElement>& element) {
    return Check(iis::CreateElement(collection, name, element), "create a " + win::ToAnsi(name) + " element");
}

bool IisCalls::Append(IAppHostElementCollection* collection, IAppHostElement* element) {
    return Check(iis::Append(collection, element), "add an element to its collection");
}

bool IisCalls::Child(IAppHostElement* element, std::wstring_view name, win::ComPtr<IAppHostElement>& child) {
    return Check(iis::ChildElement(element, name, child), "open the " + win::ToAnsi(name) + " element");
}

bool IisCalls::Collection(IAppHostElement* element, win::ComPtr<IAppHostElementCollection>& collection) {
    return Check(iis::CollectionOf(element, collection), "open a collection");
}
