#include "site_state.h"

#include <vector>

#include "com_object.h"
#include "config_paths.h"
#include "config_xml.h"
#include "document.h"
#include "win/handles.h"

namespace iisadmin {
namespace {

std::wstring Folded(std::wstring_view text) {
    std::wstring folded(text);
    if (!folded.empty()) ::CharUpperBuffW(folded.data(), static_cast<DWORD>(folded.size()));
    return folded;
}

std::wstring Wide(std::string_view utf8) {
    if (utf8.empty()) return {};
    const int n = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n > 0 ? n : 0), L'\0');
    if (n > 0) ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
    return out;
}

void Record(std::wstring_view line) {
    ::CreateDirectoryW(kStateFolder, nullptr);
    win::FileHandle file(::CreateFileW(kStateLog, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                       nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return;
    const std::string bytes = Utf8(line) + "\r\n";
    DWORD written = 0;
    ::WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

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

std::map<std::wstring, bool> RecordedStates(std::string_view log) {
    std::map<std::wstring, bool> states;
    const std::wstring text = Wide(log);
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find(L'\n', start);
        if (end == std::wstring::npos) end = text.size();
        std::wstring_view line(text.data() + start, end - start);
        if (!line.empty() && line.back() == L'\r') line.remove_suffix(1);
        start = end + 1;
        const size_t tab = line.find(L'\t');
        if (tab == std::wstring_view::npos) continue;
        const std::wstring_view method = line.substr(tab + 1);
        if (method == L"Start" || method == L"Stop") states[Folded(line.substr(0, tab))] = method == L"Start";
    }
    return states;
}

HRESULT RunSiteMethod(std::wstring_view siteName, std::wstring_view method) {
    HRESULT error = S_OK;
    std::optional<std::string> bytes = ReadWholeFile(ConfigurationFilePath(), &error);
    if (!bytes) return error;
    ParsedFile parsed = ParseConfiguration(*bytes);
    if (FAILED(parsed.result)) return parsed.result;
    Node::Ptr configuration = parsed.file->Child(L"configuration");
    Node::Ptr sites = configuration ? FindServerSection(*configuration, L"system.applicationHost/sites") : nullptr;
    if (!sites || siteName.empty()) return kSiteUnknown;

    Node::Ptr site;
    for (const auto& candidate : sites->Children(L"site")) {
        const std::wstring* name = candidate->Attribute(L"name");
        if (name && EqualsNoCase(*name, siteName)) site = candidate;
    }
    if (!site) return kSiteUnknown;
    const std::wstring name = *site->Attribute(L"name");

    if (method == L"Start") {
        std::map<std::wstring, bool> recorded = RecordedStates(ReadWholeFile(kStateLog, nullptr).value_or(""));
        const std::vector<Binding> own = BindingsOf(*site);
        for (const auto& other : sites->Children(L"site")) {
            const std::wstring* otherName = other->Attribute(L"name");
            if (other == site || !otherName) continue;
            auto state = recorded.find(Folded(*otherName));
            const bool started = state != recorded.end() ? state->second : StartsWithServer(*other);
            if (!started) continue;
            for (const auto& theirs : BindingsOf(*other)) {
                for (const auto& ours : own) {
                    if (!BindingsClash(ours, theirs)) continue;
                    Record(name + L"\tStart failed 0x80070020");
                    return kBindingInUse;
                }
            }
        }
    }
    Record(name + L"\t" + std::wstring(method));
    return S_OK;
}

}  // namespace iisadmin
