#include "site_state.h"

#include <vector>

namespace iisadmin {
namespace {

void Record(const std::wstring& site, std::wstring event) { AppendStateRecord({site, L"", std::move(event)}); }

std::vector<Binding> BindingsOf(const Node& site) {
    std::vector<Binding> found;
    Node::Ptr bindings = site.Child(L"bindings");
    if (!bindings) return found;
    for (const auto& binding : bindings->Children(L"binding")) {
        const std::wstring* protocol = binding->Attribute(L"protocol");
        const std::wstring* information = binding->Attribute(L"bindingInformation");
        if (!protocol || !information) continue;
        if (auto parsed = ParseBinding(*protocol, *information)) found.push_back(*parsed);
    }
    return found;
}

bool StartsWithServer(const Node& site) {
    const std::wstring* autoStart = site.Attribute(L"serverAutoStart");
    return !autoStart || !EqualsNoCase(*autoStart, L"false");
}

}  // namespace

std::optional<Binding> ParseBinding(std::wstring_view protocol, std::wstring_view information) {
    const size_t last = information.rfind(L':');
    if (last == std::wstring_view::npos || last == 0) return std::nullopt;
    const size_t middle = information.rfind(L':', last - 1);
    if (middle == std::wstring_view::npos) return std::nullopt;
    Binding binding;
    binding.protocol = std::wstring(protocol);
    binding.address = std::wstring(information.substr(0, middle));
    binding.port = std::wstring(information.substr(middle + 1, last - middle - 1));
    binding.host = std::wstring(information.substr(last + 1));
    if (binding.address.empty()) binding.address = L"*";
    return binding;
}

bool BindingsClash(const Binding& a, const Binding& b) {
    const bool sameAddress = a.address == L"*" || b.address == L"*" || EqualsNoCase(a.address, b.address);
    return EqualsNoCase(a.protocol, b.protocol) && a.port == b.port && EqualsNoCase(a.host, b.host) && sameAddress;
}

std::map<std::wstring, bool> RecordedStates(std::string_view log) { return iisadmin::RecordedStates(log, L""); }

HRESULT RunSiteMethod(std::wstring_view siteName, std::wstring_view method) {
    Node::Ptr sites;
    if (HRESULT hr = ReadCommittedSection(L"system.applicationHost/sites", sites); FAILED(hr)) return hr;
    if (!sites || siteName.empty()) return kSiteUnknown;

    Node::Ptr site;
    for (const auto& candidate : sites->Children(L"site")) {
        const std::wstring* name = candidate->Attribute(L"name");
        if (name && EqualsNoCase(*name, siteName)) site = candidate;
    }
    if (!site) return kSiteUnknown;
    const std::wstring name = *site->Attribute(L"name");

    if (method == L"Start") {
        const std::map<std::wstring, bool> recorded = CurrentRecordedStates(L"");
        const std::vector<Binding> own = BindingsOf(*site);
        for (const auto& other : sites->Children(L"site")) {
            const std::wstring* otherName = other->Attribute(L"name");
            if (other == site || !otherName) continue;
            auto state = recorded.find(FoldedName(*otherName));
            const bool started = state != recorded.end() ? state->second : StartsWithServer(*other);
            if (!started) continue;
            for (const auto& theirs : BindingsOf(*other)) {
                for (const auto& ours : own) {
                    if (!BindingsClash(ours, theirs)) continue;
                    Record(name, L"Start failed 0x80070020");
                    return kBindingInUse;
                }
            }
        }
    }
    Record(name, std::wstring(method));
    return S_OK;
}

}  // namespace iisadmin
