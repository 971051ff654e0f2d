#include "iis/port_conflict.h"

#include "iis/checked_calls.h"
#include "iis/config_access.h"
#include "iis/website.h"
#include "win/text.h"

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
    if (binding.size() < 2) return 0;
    const std::uint64_t port = text::ParseLeadingDigits(binding.substr(2)).value;
    return port > 99999 ? 99999 + 1 : static_cast<long>(port);  // no port is that large
}

std::string ConflictMessage(long port, std::string_view siteName) {
    const std::string head = std::to_string(port) + " is already in use on ";
    const std::string tail = "Do you want to continue? ";
    const size_t room = MESSAGE_LIMIT > head.size() + tail.size() ? MESSAGE_LIMIT - head.size() - tail.size() : 0;
    return head + std::string(siteName.substr(0, room)) + tail;
}

std::optional<PortConflict> CheckPortConflict(IisSession& session, const SiteSpec& spec) {
    const DWORD count = iis::CountOf(session.sites.Get());
    for (DWORD index = 0; index < count; ++index) {
        if (FAILED(iis::ItemAt(session.sites.Get(), index, session.currentSite))) continue;
        const std::string name = iis::Narrow8(iis::StringProperty(session.currentSite.Get(), L"name"));
        if (name == spec.siteName) continue;  // our own earlier site is no conflict
        win::ComPtr<IAppHostElementCollection> bindings = BindingsOf(session.currentSite.Get());
        const DWORD bindingCount = iis::CountOf(bindings.Get());
        for (DWORD b = 0; b < bindingCount; ++b) {
            win::ComPtr<IAppHostElement> binding;
            if (BindingPort(BindingText(bindings.Get(), b, binding)) != spec.port) continue;
            return PortConflict{name, ConflictMessage(spec.port, name)};
        }
    }
    return std::nullopt;
}

bool RebindConflictingSite(IisSession& session, const std::string& conflictSiteName, int rebindPort, RunLog& log) {
    IisCalls calls(log);
    const DWORD count = iis::CountOf(session.sites.Get());
    for (DWORD index = 0; index < count; ++index) {
        if (FAILED(iis::ItemAt(session.sites.Get(), index, session.currentSite))) continue;
        if (iis::Narrow8(iis::StringProperty(session.currentSite.Get(), L"name")) != conflictSiteName) continue;
        win::ComPtr<IAppHostElementCollection> bindings = BindingsOf(session.currentSite.Get());
        if (iis::CountOf(bindings.Get()) == 0) continue;
        win::ComPtr<IAppHostElement> binding;
        if (FAILED(iis::ItemAt(bindings.Get(), 0, binding))) continue;
        // The first binding moves, whichever of them clashed.
        return calls.SetListed(binding.Get(), L"bindingInformation", win::Variant::Text(BindingInformation(rebindPort)));
    }
    return false;
}
