#include "win/known_folders.h"

#include "win/text.h"

namespace win {

std::string KnownFolder(REFKNOWNFOLDERID id) {
    PWSTR path = nullptr;
    const HRESULT hr = ::SHGetKnownFolderPath(id, KF_FLAG_DEFAULT, nullptr, &path);
    std::string folder = SUCCEEDED(hr) && path ? ToAnsi(path) : std::string();
    ::CoTaskMemFree(path);
    return folder;
}

}  // namespace win
