#include "iis/web_config_file.h"

#include <windows.h>

#include "win/handles.h"
#include "win/text.h"

namespace {

constexpr LONGLONG WEB_CONFIG_LIMIT = 1024 * 1024;
constexpr std::string_view UTF8_BOM = "\xEF\xBB\xBF";

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool IsNameEnd(char c) { return IsSpace(c) || c == '/' || c == '>'; }

size_t SkipSpace(std::string_view text, size_t at) {
    while (at < text.size() && IsSpace(text[at])) ++at;
    return at;
}

}  // namespace

std::string SiteWebConfigPath(std::string_view physicalPath) { return text::JoinPath(physicalPath, "web.config"); }

bool IsExistingFile(const std::string& path) {
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::optional<std::string> ReadSmallFile(const std::string& path) {
    win::FileHandle file(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size{};
    if (!file || !::GetFileSizeEx(file.Get(), &size) || size.QuadPart > WEB_CONFIG_LIMIT) return std::nullopt;
    std::string bytes(static_cast<size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    if (!bytes.empty() && (!::ReadFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) ||
                           read != bytes.size())) {
        return std::nullopt;
    }
    return bytes;
}

bool WebConfigHoldsSettings(std::string_view text) {
    size_t at = text.substr(0, UTF8_BOM.size()) == UTF8_BOM ? UTF8_BOM.size() : 0;
    while ((at = SkipSpace(text, at)) < text.size()) {
        const std::string_view rest = text.substr(at);
        if (rest.front() != '<') return true;
        if (rest.substr(0, 4) == "<!--") {
            const size_t end = rest.find("-->", 4);
            if (end == std::string_view::npos) return true;
            at += end + 3;
            continue;
        }
        if (rest.substr(0, 2) == "<?") {
            // Only the XML declaration; another processing instruction may mean something.
            const size_t end = rest.find("?>");
            const bool declaration = rest.substr(0, 5) == "<?xml" && rest.size() > 5 && IsSpace(rest[5]);
            if (end == std::string_view::npos || !declaration) return true;
            at += end + 2;
            continue;
        }
        if (rest.substr(0, 2) == "<!") return true;
        if (rest.substr(0, 2) == "</") {
            const size_t end = rest.find('>');
            if (end == std::string_view::npos) return true;
            at += end + 1;
            continue;
        }
        size_t nameEnd = 1;
        while (nameEnd < rest.size() && !IsNameEnd(rest[nameEnd])) ++nameEnd;
        const std::string_view name = rest.substr(1, nameEnd - 1);
        if (name.empty() || name == "clear") return true;
        const size_t after = SkipSpace(rest, nameEnd);
        if (rest.substr(after, 2) == "/>") {
            at += after + 2;
        } else if (rest.substr(after, 1) == ">") {
            at += after + 1;
        } else {
            return true;  // an attribute, or the tag never ends
        }
    }
    return false;
}
