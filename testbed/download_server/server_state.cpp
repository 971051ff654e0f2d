#include "server_state.h"

#include <algorithm>
#include <sstream>

#include "win/handles.h"
#include "win/text.h"

namespace testbed {
namespace {

std::string Environment(const char* name, std::string& missing) {
    DWORD size = ::GetEnvironmentVariableA(name, nullptr, 0);
    std::string value;
    if (size > 1) {
        value.resize(size);
        size = ::GetEnvironmentVariableA(name, value.data(), size);
        value.resize(size);
    }
    if (value.empty()) missing += std::string(missing.empty() ? "" : ", ") + name;
    return value;
}

std::string JsonString(const std::string& s) {
    std::string out = "\"";
    for (char c : s) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out + "\"";
}

std::vector<std::string> SplitTabs(const std::string& line) {
    std::vector<std::string> fields;
    std::string field;
    std::istringstream in(line);
    while (std::getline(in, field, '\t')) fields.push_back(field);
    return fields;
}

}  // namespace

DownloadServerState::DownloadServerState()
    : server_(Environment("CORVANTA_TESTBED_SERVER", missing_)),
      untrustedServer_(Environment("CORVANTA_TESTBED_UNTRUSTED_SERVER", missing_)),
      downloads_(Environment("CORVANTA_TESTBED_DOWNLOADS", missing_)),
      state_(Environment("CORVANTA_TESTBED_SERVER_STATE", missing_)) {}

std::string DownloadServerState::DownloadPath(const std::string& name) const {
    return text::JoinPath(downloads_, name);
}

bool DownloadServerState::SetFaults(const std::vector<std::pair<std::string, std::string>>& entries) const {
    std::string json = "{";
    for (const auto& [name, value] : entries) {
        if (json.size() > 1) json += ",\n ";
        json += JsonString(name) + ": " + value;
    }
    json += "}\n";
    const std::string path = text::JoinPath(state_, "faults.json");
    const std::string temporary = path + ".writing";
    return WriteWholeFile(temporary, json) &&
           ::MoveFileExA(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING) != FALSE;
}

bool DownloadServerState::ReadFaults(std::string& content, bool& existed) const {
    const std::string path = text::JoinPath(state_, "faults.json");
    existed = ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
    content.clear();
    return !existed || ReadWholeFile(path, content);
}

bool DownloadServerState::RestoreFaults(const std::string& content, bool existed) const {
    const std::string path = text::JoinPath(state_, "faults.json");
    if (!existed) return ::DeleteFileA(path.c_str()) || ::GetLastError() == ERROR_FILE_NOT_FOUND;
    const std::string temporary = path + ".writing";
    return WriteWholeFile(temporary, content) &&
           ::MoveFileExA(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING) != FALSE;
}

std::vector<RequestRecord> DownloadServerState::Requests(const std::string& name) const {
    std::vector<RequestRecord> records;
    std::string log;
    if (!ReadWholeFile(text::JoinPath(state_, "requests.log"), log)) return records;
    std::istringstream lines(log);
    std::string line;
    while (std::getline(lines, line)) {
        const auto f = SplitTabs(line);
        if (f.size() == 6 && f[1] == "/downloads/" + name) records.push_back({f[0], f[1], f[2], f[3], f[4], f[5]});
    }
    return records;
}

bool WriteWholeFile(const std::string& path, const std::string& content) {
    win::FileHandle file(
        ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    size_t done = 0;
    while (done < content.size()) {
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(content.size() - done, 1u << 20));
        DWORD written = 0;
        if (!::WriteFile(file.Get(), content.data() + done, chunk, &written, nullptr) || written == 0) return false;
        done += written;
    }
    return true;
}

bool ReadWholeFile(const std::string& path, std::string& content) {
    content.clear();
    win::FileHandle file(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                       nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    std::vector<char> buffer(64 * 1024);
    DWORD read = 0;
    while (::ReadFile(file.Get(), buffer.data(), static_cast<DWORD>(buffer.size()), &read, nullptr) && read > 0)
        content.append(buffer.data(), read);
    return true;
}

}  // namespace testbed
