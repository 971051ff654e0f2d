#include "config_file.h"

#include "com_object.h"
#include "config_xml.h"
#include "win/handles.h"

namespace iisadmin {
namespace {

HRESULT Parse(const std::string& bytes, ConfigFile& file) {
    ParsedFile parsed = ParseConfiguration(bytes);
    if (FAILED(parsed.result)) return parsed.result;
    file.root = parsed.file;
    file.declaration = parsed.declaration;
    file.configuration = parsed.file->Child(L"configuration");
    return file.configuration ? S_OK : kInvalidData;
}

std::wstring FolderOf(const std::wstring& path) {
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

}  // namespace

std::optional<std::string> ReadWholeFile(const std::wstring& path, HRESULT* error) {
    win::FileHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                       nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size{};
    if (!file || !::GetFileSizeEx(file.Get(), &size) || size.QuadPart > 64 * 1024 * 1024) {
        if (error) *error = HRESULT_FROM_WIN32(file ? ERROR_FILE_TOO_LARGE : ::GetLastError());
        return std::nullopt;
    }
    std::string bytes(static_cast<size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    if (!bytes.empty() &&
        (!::ReadFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) ||
         read != bytes.size())) {
        if (error) *error = HRESULT_FROM_WIN32(ERROR_READ_FAULT);
        return std::nullopt;
    }
    return bytes;
}

HRESULT LoadConfigFile(const std::wstring& path, ConfigFile& file) {
    file = ConfigFile{path, nullptr, nullptr, true, false};
    HRESULT error = S_OK;
    std::optional<std::string> bytes = ReadWholeFile(path, &error);
    if (!bytes) {
        // A missing inetsrv\config folder means no file as much as a missing file.
        return error == HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND) ? kFileNotFound : error;
    }
    return Parse(*bytes, file);
}

HRESULT LoadWebConfig(const std::wstring& path, ConfigFile& file) {
    file = ConfigFile{path, nullptr, nullptr, true, false};
    HRESULT error = S_OK;
    std::optional<std::string> bytes = path.empty() ? std::nullopt : ReadWholeFile(path, &error);
    if (bytes) return Parse(*bytes, file);
    if (!path.empty() && error != HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) &&
        error != HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND)) {
        return error;
    }
    file.root = Node::Element(L"");
    file.configuration = Node::Element(L"configuration");
    file.root->Insert(file.configuration);
    return S_OK;
}

bool FolderExists(const ConfigFile& file) {
    const std::wstring folder = FolderOf(file.path);
    if (folder.empty()) return false;
    const DWORD attributes = ::GetFileAttributesW(folder.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

HRESULT WriteConfigFile(const ConfigFile& file) {
    if (file.path.empty()) return kPathNotFound;
    const std::string bytes = SerializeConfiguration(*file.root, file.declaration);
    const std::wstring temporary = file.path + L".tmp" + std::to_wstring(::GetCurrentProcessId());
    {
        win::FileHandle out(::CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                          FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!out) return HRESULT_FROM_WIN32(::GetLastError());
        DWORD written = 0;
        const BOOL ok = ::WriteFile(out.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
        if (!ok || written != bytes.size() || !::FlushFileBuffers(out.Get())) {
            const DWORD error = ok ? ERROR_WRITE_FAULT : ::GetLastError();
            out.Reset();
            ::DeleteFileW(temporary.c_str());
            return HRESULT_FROM_WIN32(error);
        }
    }
    if (!::MoveFileExW(temporary.c_str(), file.path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        const DWORD error = ::GetLastError();
        ::DeleteFileW(temporary.c_str());
        return HRESULT_FROM_WIN32(error);
    }
    return S_OK;
}

}  // namespace iisadmin
