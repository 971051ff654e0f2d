#include "machine.h"

#include <thread>

#include "registry.h"
#include "win/handles.h"

namespace testbed {

namespace {

std::string packageSetFolder;  // set once by main before any test runs

// Reads a pipe to its end in chunks; counts the reads and notes when the first data came.
void Drain(HANDLE pipe, size_t chunk, ULONGLONG start, std::string& text, size_t* chunks, DWORD* firstMs) {
    std::string buffer(chunk, '\0');
    DWORD got = 0;
    while (::ReadFile(pipe, buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr) && got > 0) {
        if (chunks) {
            if (*chunks == 0) *firstMs = static_cast<DWORD>(::GetTickCount64() - start);
            ++*chunks;
        }
        text.append(buffer.data(), got);
    }
}

bool MakePipe(win::KernelHandle& read, win::KernelHandle& write) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE r = nullptr, w = nullptr;
    if (!::CreatePipe(&r, &w, &inherit, 0)) return false;
    read.Reset(r);
    write.Reset(w);
    return ::SetHandleInformation(r, HANDLE_FLAG_INHERIT, 0);
}

std::pair<std::string, std::string> SplitKey(const std::string& key) {
    size_t slash = key.find_last_of('\\');
    return {key.substr(0, slash), key.substr(slash + 1)};
}

}  // namespace

const std::string& PackageSet() { return packageSetFolder; }

void SetPackageSet(std::string folder) {
    for (char& c : folder)
        if (c == '/') c = '\\';
    while (!folder.empty() && folder.back() == '\\') folder.pop_back();
    packageSetFolder = folder;
}

std::string InPackageSet(const std::string& name) { return PackageSet() + "\\" + name; }

ProgramRun RunProgram(const std::string& application, const std::string& commandLine,
                      const std::string& currentDirectory, bool capture, size_t chunk) {
    ProgramRun run;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    win::KernelHandle outRead, outWrite, errRead, errWrite;
    win::FileHandle nothing;
    if (capture) {
        SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
        nothing.Reset(::CreateFileA("NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING,
                                    0, nullptr));
        if (!MakePipe(outRead, outWrite) || !MakePipe(errRead, errWrite)) return run;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = nothing.Get();
        startup.hStdOutput = outWrite.Get();
        startup.hStdError = errWrite.Get();
    }
    std::string line = commandLine;  // CreateProcessA may write into it
    PROCESS_INFORMATION info{};
    ULONGLONG start = ::GetTickCount64();
    run.started = ::CreateProcessA(application.empty() ? nullptr : application.c_str(), line.data(), nullptr,
                                   nullptr, capture, 0, nullptr, currentDirectory.c_str(), &startup, &info);
    if (!run.started) return run;
    win::KernelHandle process(info.hProcess), thread(info.hThread);
    if (capture) {
        outWrite.Reset();  // only the child writes now, so the reads end with it
        errWrite.Reset();
        std::thread errors(Drain, errRead.Get(), chunk, start, std::ref(run.err), nullptr, nullptr);
        Drain(outRead.Get(), chunk, start, run.out, &run.outChunks, &run.firstOutputMs);
        errors.join();
    }
    ::WaitForSingleObject(process.Get(), INFINITE);
    run.elapsedMs = static_cast<DWORD>(::GetTickCount64() - start);
    if (!::GetExitCodeProcess(process.Get(), &run.exitCode)) run.exitCode = 1;
    return run;
}

BackgroundRun::BackgroundRun(std::string application, std::string commandLine, std::string currentDirectory,
                             bool capture)
    : thread_([this, application = std::move(application), commandLine = std::move(commandLine),
               currentDirectory = std::move(currentDirectory), capture] {
          run_ = RunProgram(application, commandLine, currentDirectory, capture);
          finished_ = true;
      }) {}

BackgroundRun::~BackgroundRun() {
    if (thread_.joinable()) thread_.join();
}

ProgramRun BackgroundRun::Wait() {
    if (thread_.joinable()) thread_.join();
    return run_;
}

bool WaitForFile(const std::string& path, DWORD timeoutMs) {
    const ULONGLONG start = ::GetTickCount64();
    for (;;) {
        if (FileExists(path)) return true;
        if (::GetTickCount64() - start >= timeoutMs) return false;
        ::Sleep(20);
    }
}

std::string FakeProgram(const std::string& name) {
    std::string folder = std::string("Z:") + FAKE_PROGRAM_DIR;
    for (char& c : folder)
        if (c == '/') c = '\\';
    return folder + "\\" + name;
}

TempFolder::TempFolder() {
    std::string base(::GetTempPathA(0, nullptr), '\0');
    base.resize(::GetTempPathA(static_cast<DWORD>(base.size()), base.data()));
    for (unsigned n = ::GetTickCount() & 0xFFFF;; ++n) {
        path_ = base + "pkgtest-" + std::to_string(::GetCurrentProcessId()) + "-" + std::to_string(n);
        if (::CreateDirectoryA(path_.c_str(), nullptr)) return;
        if (::GetLastError() != ERROR_ALREADY_EXISTS) return;
    }
}

TempFolder::~TempFolder() { RemoveTree(path_); }

void RemoveTree(const std::string& path) {
    WIN32_FIND_DATAA entry;
    win::FindHandle find(::FindFirstFileA((path + "\\*").c_str(), &entry));
    if (find) {
        do {
            std::string name = entry.cFileName;
            if (name == "." || name == "..") continue;
            std::string full = path + "\\" + name;
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(full);
            } else {
                ::SetFileAttributesA(full.c_str(), FILE_ATTRIBUTE_NORMAL);
                ::DeleteFileA(full.c_str());
            }
        } while (::FindNextFileA(find.Get(), &entry));
    }
    find.Reset();
    ::RemoveDirectoryA(path.c_str());
}

std::optional<std::string> ReadWholeFile(const std::string& path) {
    win::FileHandle file(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return std::nullopt;
    std::string text;
    char buffer[4096];
    DWORD got = 0;
    while (::ReadFile(file.Get(), buffer, sizeof buffer, &got, nullptr) && got > 0) text.append(buffer, got);
    return text;
}

bool WriteWholeFile(const std::string& path, const std::string& content) {
    win::FileHandle file(::CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    return file && ::WriteFile(file.Get(), content.data(), static_cast<DWORD>(content.size()), &written, nullptr) &&
           written == content.size();
}

bool FolderExists(const std::string& path) {
    DWORD attributes = ::GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool FileExists(const std::string& path) {
    DWORD attributes = ::GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool MachineKeyExists(const std::string& key) {
    win::RegKey handle;
    return ::RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ | KEY_WOW64_64KEY, handle.Put()) ==
           ERROR_SUCCESS;
}

void DeleteMachineKey(const std::string& key) {
    auto [parent, leaf] = SplitKey(key);
    win::RegKey handle;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, parent.c_str(), 0, KEY_ALL_ACCESS | KEY_WOW64_64KEY, handle.Put()) !=
        ERROR_SUCCESS)
        return;
    ::RegDeleteTreeA(handle.Get(), leaf.c_str());
}

std::optional<std::string> MachineString(const std::string& key, const std::string& name) {
    return fake::GetMachineString(key, name);
}

std::optional<DWORD> MachineDword(const std::string& key, const std::string& name) {
    return fake::GetMachineDword(key, name);
}

void SetMachineString(const std::string& key, const std::string& name, const std::string& value) {
    fake::SetMachineString(key, name, value);
}

void SetMachineDword(const std::string& key, const std::string& name, DWORD value) {
    fake::SetMachineDword(key, name, value);
}

KeyGuard::KeyGuard(std::vector<std::string> keys) {
    for (std::string& key : keys)
        if (!MachineKeyExists(key)) created_.push_back(std::move(key));
}

KeyGuard::~KeyGuard() {
    for (auto key = created_.rbegin(); key != created_.rend(); ++key) DeleteMachineKey(*key);
}

namespace {
constexpr char kFolder[] = "C:\\CorvantaTestbed";
constexpr char kLog[] = "C:\\CorvantaTestbed\\installers.log";
}

InstallerLogMark::InstallerLogMark() {
    folderExisted_ = FolderExists(kFolder);
    WIN32_FILE_ATTRIBUTE_DATA data;
    existed_ = ::GetFileAttributesExA(kLog, GetFileExInfoStandard, &data);
    if (existed_) size_ = (static_cast<LONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

InstallerLogMark::~InstallerLogMark() {
    if (!existed_) {
        ::DeleteFileA(kLog);
        if (!folderExisted_) ::RemoveDirectoryA(kFolder);  // only when nothing else is in it
        return;
    }
    win::FileHandle log(::CreateFileA(kLog, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER at;
    at.QuadPart = size_;
    if (log && ::SetFilePointerEx(log.Get(), at, nullptr, FILE_BEGIN)) ::SetEndOfFile(log.Get());
}

std::vector<std::vector<std::string>> InstallerLogMark::NewRecords() const {
    std::vector<std::vector<std::string>> records;
    std::string text = ReadWholeFile(kLog).value_or("");
    if (text.size() < static_cast<size_t>(size_)) return records;
    text.erase(0, static_cast<size_t>(size_));
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find("\r\n", start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        std::vector<std::string> fields;
        size_t from = 0;
        for (;;) {
            size_t tab = line.find('\t', from);
            fields.push_back(line.substr(from, tab == std::string::npos ? std::string::npos : tab - from));
            if (tab == std::string::npos) break;
            from = tab + 1;
        }
        records.push_back(std::move(fields));
        start = end + 2;
    }
    return records;
}

}  // namespace testbed
