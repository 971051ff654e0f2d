#include "app/context.h"
#include "iis/config_access.h"
#include "iis/website.h"
#include "setup/server_setup.h"

namespace {

constexpr size_t MESSAGE_LIMIT = 255;

// The collection of a site's bindings.
win::ComPtr<IAppHostElementCollection> BindingsOf(IAppHostElement* site) {
    win::ComPtr<IAppHostElement> bindingsElement;
    win::ComPtr<IAppHostElementCollection> bindings;
    if (SUCCEEDED(iis::ChildElement(site, L"bindings", bindingsElement))) iis::CollectionOf(bindingsElement.Get(), bindings);
    return bindings;
}

std::string BindingText(IAppHostElementCollection* bindings, DWORD index, win::ComPtr<IAppHostElement>& binding) {
    if (FAILED(iis::ItemAt(bindings, index, binding))) return {};
    win::ComPtr<IAppHostPropertyCollection> properties;
    if (FAILED(binding->get_Properties(properties.Put())) || !properties) return {};
    win::ComPtr<IAppHostProperty> property;
    if (FAILED(properties->get_Item(win::Variant::Text(L"bindingInformation").Get(), property.Put())) || !property) {
        return {};
    }
    win::Bstr value;
    if (FAILED(property->get_StringValue(value.Put()))) return {};
    return iis::Narrow8(value.View());
}

}  // namespace

long BindingPort(std::string_view binding) {
    long port = 0;
    for (size_t i = 2; i < binding.size() && binding[i] >= '0' && binding[i] <= '9'; ++i) {
        port = port * 10 + (binding[i] - '0');
        if (port > 99999) break;
    }
    return port;
}

std::string ConflictMessage(long port, std::string_view siteName) {
    const std::string head = std::to_string(port) + " is already in use on ";
    const std::string tail = "Do you want to continue? ";
    const size_t room = MESSAGE_LIMIT > head.size() + tail.size() ? MESSAGE_LIMIT - head.size() - tail.size() : 0;
    return head + std::string(siteName.substr(0, room)) + tail;
}

bool ServerSetup::CheckPortConflict(std::string& message) {
    const DWORD count = iis::CountOf(iis.sites.Get());
    for (DWORD index = 0; index < count; ++index) {
        if (FAILED(iis::ItemAt(iis.sites.Get(), index, iis.currentSite))) continue;
        const std::string name = iis::Narrow8(iis::StringProperty(iis.currentSite.Get(), L"name"));
        if (name == siteName) continue;  // our own earlier site is no conflict
        win::ComPtr<IAppHostElementCollection> bindings = BindingsOf(iis.currentSite.Get());
        const DWORD bindingCount = iis::CountOf(bindings.Get());
        for (DWORD b = 0; b < bindingCount; ++b) {
            win::ComPtr<IAppHostElement> binding;
            if (BindingPort(BindingText(bindings.Get(), b, binding)) != portCopy) continue;
            message = ConflictMessage(portCopy, name);
            conflictFound = true;
            conflictSiteName = name;
            return true;
        }
    }
    return false;
}

bool ServerSetup::RebindConflictingSite() {
    const DWORD count = iis::CountOf(iis.sites.Get());
    for (DWORD index = 0; index < count; ++index) {
        if (FAILED(iis::ItemAt(iis.sites.Get(), index, iis.currentSite))) continue;
        if (iis::Narrow8(iis::StringProperty(iis.currentSite.Get(), L"name")) != conflictSiteName) continue;
        win::ComPtr<IAppHostElementCollection> bindings = BindingsOf(iis.currentSite.Get());
        if (iis::CountOf(bindings.Get()) == 0) continue;
        win::ComPtr<IAppHostElement> binding;
        if (FAILED(iis::ItemAt(bindings.Get(), 0, binding))) continue;
        // The first binding moves, whichever of them clashed.
        iis::SetListedProperty(binding.Get(), L"bindingInformation", win::Variant::Text(BindingInformation(rebindPort)));
        return true;
    }
    return false;
}
