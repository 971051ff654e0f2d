#include "setup/download_status.h"

#include <windows.h>

#include "win/handles.h"
#include "win/registry.h"
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
    return win::ReadRegistryString(HKEY_LOCAL_MACHINE, DOWNLOAD_STATUS_KEY, DOWNLOAD_STATUS_VALUE);
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
