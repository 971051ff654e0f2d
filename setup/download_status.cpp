#include "setup/download_status.h"

#include <windows.h>

#include <algorithm>

#include "win/handles.h"
#include "win/text.h"

std::string ComposeDownloadStatus(unsigned counter, unsigned bits, const std::optional<std::string>& previous) {
    unsigned earlier = 0;
    if (previous) {
        const size_t semicolon = previous->rfind(';');
        if (semicolon != std::string::npos) {
            earlier = static_cast<unsigned>(text::ParseLong(std::string_view(*previous).substr(semicolon + 1)));
        }
    }
    return std::to_string(counter) + ";" + std::to_string(bits | earlier);
}

std::optional<std::string> DownloadStatusStore::Read() const {
    win::RegKey key;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, DOWNLOAD_STATUS_KEY, 0, KEY_READ, key.Put()) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    DWORD type = 0, size = 0;
    if (::RegQueryValueExA(key.Get(), DOWNLOAD_STATUS_VALUE, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        type != REG_SZ) {
        return std::nullopt;
    }
    std::string value(size, '\0');
    if (::RegQueryValueExA(key.Get(), DOWNLOAD_STATUS_VALUE, nullptr, &type, reinterpret_cast<BYTE*>(value.data()),
                           &size) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    value.resize(std::min<size_t>(size, value.size()));
    while (!value.empty() && value.back() == '\0') value.pop_back();
    return value;
}

bool DownloadStatusStore::Store(const std::optional<std::string>& status) const {
    win::RegKey key;
    if (::RegCreateKeyExA(HKEY_LOCAL_MACHINE, DOWNLOAD_STATUS_KEY, 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr,
                          key.Put(), nullptr) != ERROR_SUCCESS) {
        return false;
    }
    if (!status) return ::RegDeleteValueA(key.Get(), DOWNLOAD_STATUS_VALUE) == ERROR_SUCCESS;
    return ::RegSetValueExA(key.Get(), DOWNLOAD_STATUS_VALUE, 0, REG_SZ, reinterpret_cast<const BYTE*>(status->c_str()),
                            static_cast<DWORD>(status->size() + 1)) == ERROR_SUCCESS;
}
