#include "call_record.h"

#include "win/handles.h"

namespace fake {

std::string EscapeField(std::string_view field) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(field.size());
    for (char c : field) {
        unsigned char u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F) {
            out += "\\x";
            out += kHex[u >> 4];
            out += kHex[u & 0xF];
        } else {
            out += c;
        }
    }
    return out;
}

std::string FormatRecord(const CallRecord& record) {
    std::string line = EscapeField(record.installer);
    line += '\t';
    line += EscapeField(record.commandLine);
    line += '\t';
    line += EscapeField(record.currentDirectory);
    line += '\t';
    line += std::to_string(record.exitCode);
    for (const std::string& extra : record.extras) {
        line += '\t';
        line += EscapeField(extra);
    }
    line += "\r\n";
    return line;
}

bool AppendRecord(const CallRecord& record) {
    ::CreateDirectoryA(kTestbedFolder, nullptr);  // usually there already
    win::FileHandle log(::CreateFileA(kInstallersLog, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                      nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!log) return false;
    std::string line = FormatRecord(record);
    DWORD written = 0;
    return ::WriteFile(log.Get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr) &&
           written == line.size();
}

std::string OwnFileName() {
    std::string path(MAX_PATH, '\0');
    for (;;) {
        DWORD n = ::GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) return {};
        if (n < path.size()) {
            path.resize(n);
            break;
        }
        path.resize(path.size() * 2);
    }
    size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string CurrentDirectory() {
    DWORD size = ::GetCurrentDirectoryA(0, nullptr);
    if (size == 0) return {};
    std::string path(size, '\0');
    DWORD n = ::GetCurrentDirectoryA(size, path.data());
    path.resize(n < size ? n : 0);
    return path;
}

void WriteStream(DWORD which, std::string_view text) {
    HANDLE stream = ::GetStdHandle(which);  // not owned: the process's own handle
    if (stream == nullptr || stream == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    ::WriteFile(stream, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

}  // namespace fake
