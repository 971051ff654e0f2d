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

// A property of a binding as the conflict check compares it.
std::string ListedText(IAppHostElement* binding, const wchar_t* name) {
    return iis::Narrow8(iis::ListedStringProperty(binding, name));
}

std::string BindingText(IAppHostElementCollection* bindings, DWORD index, win::ComPtr<IAppHostElement>& binding) {
    if (FAILED(iis::ItemAt(bindings, index, binding))) return {};
    return ListedText(binding.Get(), L"bindingInformation");
}

// A port as the binding writes it: one to five digits, at most 65535.
long PortText(std::string_view text) {
    const std::optional<std::uint64_t> port = text::ParseDecimal(text, 5);
    return port && *port <= 65535 ? static_cast<long>(*port) : 0;
}

std::string_view UpToColon(std::string_view text) { return text.substr(0, text.find(':')); }

}  // namespace

long BindingPort(std::string_view binding) {
    if (binding.size() < 2) return 0;
    const std::uint64_t port = text::ParseLeadingDigits(binding.substr(2)).value;
    return port > 99999 ? 99999 + 1 : static_cast<long>(port);  // no port is that large
}

long BindingPortOf(std::string_view protocol, std::string_view information) {
    if (text::EqualsNoCase(protocol, "net.pipe")) return 0;
    if (!text::EqualsNoCase(protocol, "http") && !text::EqualsNoCase(protocol, "https") &&
        !text::EqualsNoCase(protocol, "ftp")) {
        return PortText(UpToColon(information));
    }
    // An IPv6 address carries colons of its own; its brackets end it.
    size_t colon = 0;
    if (!information.empty() && information.front() == '[') {
        const size_t close = information.find(']');
        if (close == std::string_view::npos || close + 1 >= information.size() || information[close + 1] != ':') {
            return 0;
        }
        colon = close + 1;
    } else {
        colon = information.find(':');
        if (colon == std::string_view::npos) return 0;
    }
    return PortText(UpToColon(information.substr(colon + 1)));
}

std::optional<std::string> SiteUsingPort(IisSession& session, long port, const std::string& ownSite) {
    win::ComPtr<IAppHostElement> site;
    const DWORD count = iis::CountOf(session.sites.Get());
    for (DWORD index = 0; index < count; ++index) {
        if (FAILED(iis::ItemAt(session.sites.Get(), index, site))) continue;
        const std::string name = iis::Narrow8(iis::StringProperty(site.Get(), L"name"));
        if (name == ownSite) continue;
        win::ComPtr<IAppHostElementCollection> bindings = BindingsOf(site.Get());
        const DWORD bindingCount = iis::CountOf(bindings.Get());
        for (DWORD b = 0; b < bindingCount; ++b) {
            win::ComPtr<IAppHostElement> binding;
            const std::string information = BindingText(bindings.Get(), b, binding);
            if (BindingPortOf(ListedText(binding.Get(), L"protocol"), information) == port) return name;
        }
    }
    return std::nullopt;
}

std::string RebindBlockedMessage(long port, std::string_view siteName, int rebindPort) {
    return std::to_string(port) + " is already in use on " + std::string(siteName) + " and port " +
           std::to_string(rebindPort) + " is taken too; the web site was not created";
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

std::optional<std::string> RebindConflictingSite(IisSession& session, const std::string& conflictSiteName,
                                                 int rebindPort, RunLog& log) {
    IisCalls calls(log);
    const DWORD count = iis::CountOf(session.sites.Get());
    for (DWORD index = 0; index < count; ++index) {
        if (FAILED(iis::ItemAt(session.sites.Get(), index, session.currentSite))) continue;
        if (iis::Narrow8(iis::StringProperty(session.currentSite.Get(), L"name")) != conflictSiteName) continue;
        win::ComPtr<IAppHostElementCollection> bindings = BindingsOf(session.currentSite.Get());
        if (iis::CountOf(bindings.Get()) == 0) continue;
        win::ComPtr<IAppHostElement> binding;
        if (FAILED(iis::ItemAt(bindings.Get(), 0, binding))) continue;
        // Kept whole, host name included, so that the removal can give it back.
        const std::string before = win::ToAnsi(iis::ListedStringProperty(binding.Get(), L"bindingInformation"));
        // The first binding moves, whichever of them clashed.
        if (!calls.SetListed(binding.Get(), L"bindingInformation", win::Variant::Text(BindingInformation(rebindPort)))) {
            return std::nullopt;
        }
        return before;
    }
    return std::nullopt;
}
