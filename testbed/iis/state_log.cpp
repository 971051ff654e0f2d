#include "state_log.h"

#include "config_paths.h"
#include "config_xml.h"
#include "document.h"
#include "win/handles.h"

namespace iisadmin {
namespace {

std::wstring Wide(std::string_view utf8) {
    if (utf8.empty()) return {};
    const int n = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n > 0 ? n : 0), L'\0');
    if (n > 0) ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
    return out;
}

}  // namespace

std::wstring FoldedName(std::wstring_view name) {
    std::wstring folded(name);
    if (!folded.empty()) ::CharUpperBuffW(folded.data(), static_cast<DWORD>(folded.size()));
    return folded;
}

std::wstring StateLine(const StateRecord& record) {
    std::wstring line = record.name + L"\t";
    if (!record.kind.empty()) line += record.kind + L"\t";
    return line + record.event;
}

std::vector<StateRecord> ParseStateLog(std::string_view log) {
    std::vector<StateRecord> records;
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
        StateRecord record;
        record.name = std::wstring(line.substr(0, tab));
        std::wstring_view rest = line.substr(tab + 1);
        if (const size_t second = rest.find(L'\t'); second != std::wstring_view::npos) {
            record.kind = std::wstring(rest.substr(0, second));
            rest.remove_prefix(second + 1);
        }
        record.event = std::wstring(rest);
        records.push_back(std::move(record));
    }
    return records;
}

std::map<std::wstring, bool> RecordedStates(std::string_view log, std::wstring_view kind) {
    std::map<std::wstring, bool> states;
    for (const auto& record : ParseStateLog(log)) {
        if (record.kind != kind) continue;
        if (record.event == L"Start" || record.event == L"Stop") states[FoldedName(record.name)] = record.event == L"Start";
    }
    return states;
}

std::map<std::wstring, bool> CurrentRecordedStates(std::wstring_view kind) {
    return RecordedStates(ReadWholeFile(kStateLog, nullptr).value_or(""), kind);
}

void AppendStateRecord(const StateRecord& record) {
    ::CreateDirectoryW(kStateFolder, nullptr);
    win::FileHandle file(::CreateFileW(kStateLog, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                       nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return;
    const std::string bytes = Utf8(StateLine(record)) + "\r\n";
    DWORD written = 0;
    ::WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

HRESULT ReadCommittedSection(std::wstring_view section, Node::Ptr& found) {
    found.reset();
    HRESULT error = S_OK;
    std::optional<std::string> bytes = ReadWholeFile(ConfigurationFilePath(), &error);
    if (!bytes) return error;
    ParsedFile parsed = ParseConfiguration(*bytes);
    if (FAILED(parsed.result)) return parsed.result;
    Node::Ptr configuration = parsed.file->Child(L"configuration");
    if (configuration) found = FindServerSection(*configuration, section);
    return S_OK;
}

}  // namespace iisadmin
