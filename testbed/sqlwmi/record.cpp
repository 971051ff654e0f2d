#include "record.h"

#include <cwchar>
#include <string>

#include "win/handles.h"

namespace sqlwmi {
namespace {

constexpr wchar_t kFolder[] = L"C:\\CorvantaTestbed";
constexpr wchar_t kFile[] = L"C:\\CorvantaTestbed\\sqlwmi.log";

std::string ToUtf8(std::wstring_view text) {
    if (text.empty()) return {};
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                           nullptr, nullptr);
    std::string out(static_cast<size_t>(size > 0 ? size : 0), '\0');
    if (size > 0)
        ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size, nullptr,
                              nullptr);
    return out;
}

}  // namespace

std::wstring HexResult(HRESULT hr) {
    wchar_t text[16] = {};
    std::swprintf(text, 16, L"0x%08lX", static_cast<unsigned long>(hr));
    return text;
}

std::wstring Counted(size_t count, std::wstring_view noun) {
    return std::to_wstring(count) + L" " + std::wstring(noun) + (count == 1 ? L"" : L"s");
}

void AppendRecord(std::wstring_view line) noexcept {
    try {
        std::string bytes = ToUtf8(line);
        // One record, one line, whatever a query text holds.
        for (char& c : bytes)
            if (c == '\r' || c == '\n') c = ' ';
        bytes += "\r\n";
        ::CreateDirectoryW(kFolder, nullptr);
        // FILE_APPEND_DATA alone: each write lands at the end, also when
        // several processes record at once.
        win::FileHandle file(::CreateFileW(kFile, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                           OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) return;
        DWORD written = 0;
        ::WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    } catch (...) {
    }
}

}  // namespace sqlwmi
