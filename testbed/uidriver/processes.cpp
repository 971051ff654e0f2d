#include "testbed/uidriver/processes.h"

#include <fstream>

#include "testbed/uidriver/driver_error.h"
#include "testbed/uidriver/messaging.h"

namespace uidriver {

namespace {

constexpr char RECORD_FOLDER[] = "C:\\CorvantaTestbed\\uidriver";
constexpr DWORD WATCHER_READY_MS = 10000;

std::string ErrorSuffix(DWORD code) { return " (error " + std::to_string(code) + ")"; }

std::string WatchEventName(DWORD processId) { return "CorvantaUiDriverWatch-" + std::to_string(processId); }

win::FileHandle OpenInheritable(const std::string& path, DWORD access, DWORD disposition) {
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    win::FileHandle file(::CreateFileA(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                       &inherit, disposition, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) throw DriverError("cannot open \"" + path + "\"" + ErrorSuffix(::GetLastError()));
    return file;
}

// A thread attribute list naming the only handles the child inherits.
class InheritedHandles {
public:
    explicit InheritedHandles(std::vector<HANDLE> handles) : handles_(std::move(handles)) {
        SIZE_T size = 0;
        ::InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
        storage_.resize(size);
        list_ = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(storage_.data());
        if (!::InitializeProcThreadAttributeList(list_, 1, 0, &size)) {
            throw DriverError("cannot prepare the process start" + ErrorSuffix(::GetLastError()));
        }
        if (!::UpdateProcThreadAttribute(list_, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, handles_.data(),
                                         handles_.size() * sizeof(HANDLE), nullptr, nullptr)) {
            const DWORD error = ::GetLastError();
            ::DeleteProcThreadAttributeList(list_);
            throw DriverError("cannot prepare the process start" + ErrorSuffix(error));
        }
    }
    ~InheritedHandles() { ::DeleteProcThreadAttributeList(list_); }
    InheritedHandles(const InheritedHandles&) = delete;
    InheritedHandles& operator=(const InheritedHandles&) = delete;
    LPPROC_THREAD_ATTRIBUTE_LIST Get() const { return list_; }

private:
    std::vector<HANDLE> handles_;
    std::vector<char> storage_;
    LPPROC_THREAD_ATTRIBUTE_LIST list_ = nullptr;
};

std::optional<DWORD> ReadExitRecord(DWORD processId) {
    std::ifstream record(ExitRecordPath(processId));
    unsigned long code = 0;
    if (!(record >> code)) return std::nullopt;
    return static_cast<DWORD>(code);
}

}  // namespace

std::string QuoteArgument(std::string_view argument) {
    if (!argument.empty() && argument.find_first_of(" \t\"") == std::string_view::npos) return std::string(argument);
    // Backslashes are literal except in front of a quote, where each one
    // must be doubled; so must the ones before the closing quote.
    std::string quoted = "\"";
    size_t backslashes = 0;
    for (char c : argument) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        if (c == '"') backslashes = backslashes * 2 + 1;
        quoted.append(backslashes, '\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(backslashes * 2, '\\');
    return quoted + "\"";
}

std::string JoinArguments(const std::vector<std::string>& arguments) {
    std::string line;
    for (const std::string& argument : arguments) {
        if (!line.empty()) line.append(1, ' ');
        line.append(QuoteArgument(argument));
    }
    return line;
}

std::string BuildCommandLine(std::string_view program, const std::vector<std::string>& arguments) {
    std::string line;
    line.append(1, '"').append(program).append(1, '"');
    if (!arguments.empty()) line.append(1, ' ').append(JoinArguments(arguments));
    return line;
}

ProcessGroup::ProcessGroup() : job_(::CreateJobObjectA(nullptr, nullptr)) {
    if (!job_) throw DriverError("cannot create a job object" + ErrorSuffix(::GetLastError()));
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    ::SetInformationJobObject(job_.Get(), JobObjectExtendedLimitInformation, &limits, sizeof limits);
}

bool ProcessGroup::TerminateAll(UINT exitCode, DWORD timeoutMs) {
    ::TerminateJobObject(job_.Get(), exitCode);
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    for (;;) {
        JOBOBJECT_BASIC_ACCOUNTING_INFORMATION accounting = {};
        if (!::QueryInformationJobObject(job_.Get(), JobObjectBasicAccountingInformation, &accounting,
                                         sizeof accounting, nullptr)) {
            return false;
        }
        if (accounting.ActiveProcesses == 0) return true;
        if (::GetTickCount64() >= deadline) return false;
        ::Sleep(20);
    }
}

StartedProcess StartProgram(const StartRequest& request) {
    win::FileHandle input = OpenInheritable("NUL", GENERIC_READ, OPEN_EXISTING);
    win::FileHandle output = request.outputFile.empty()
                                 ? OpenInheritable("NUL", GENERIC_WRITE, OPEN_EXISTING)
                                 : OpenInheritable(request.outputFile, GENERIC_WRITE, CREATE_ALWAYS);
    // Only these two handles reach the program: the driver's own output (a
    // pipe when a script reads it) must not stay open for as long as it runs.
    InheritedHandles inherited({input.Get(), output.Get()});
    STARTUPINFOEXA startup = {};
    startup.StartupInfo.cb = sizeof startup;
    startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
    startup.StartupInfo.hStdInput = input.Get();
    startup.StartupInfo.hStdOutput = output.Get();
    startup.StartupInfo.hStdError = output.Get();
    startup.lpAttributeList = inherited.Get();

    std::string commandLine = BuildCommandLine(request.program, {});
    if (!request.commandTail.empty()) commandLine.append(1, ' ').append(request.commandTail);
    PROCESS_INFORMATION started = {};
    const DWORD flags = EXTENDED_STARTUPINFO_PRESENT | (request.group ? CREATE_SUSPENDED : 0);
    if (!::CreateProcessA(request.program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, flags, nullptr,
                          request.folder.c_str(), &startup.StartupInfo, &started)) {
        throw DriverError("cannot start \"" + request.program + "\" in \"" + request.folder + "\"" +
                          ErrorSuffix(::GetLastError()));
    }
    StartedProcess result{win::KernelHandle(started.hProcess), started.dwProcessId};
    win::KernelHandle thread(started.hThread);
    if (request.group) {
        if (!::AssignProcessToJobObject(request.group->Get(), result.process.Get())) {
            const DWORD error = ::GetLastError();
            ::TerminateProcess(result.process.Get(), 1);
            throw DriverError("cannot keep \"" + request.program + "\" in the test's job" + ErrorSuffix(error));
        }
        ::ResumeThread(thread.Get());
    }
    return result;
}

std::optional<DWORD> WaitForExit(HANDLE process, DWORD timeoutMs) {
    if (::WaitForSingleObject(process, timeoutMs) != WAIT_OBJECT_0) return std::nullopt;
    DWORD code = 0;
    if (!::GetExitCodeProcess(process, &code)) throw DriverError("cannot read the exit code" + ErrorSuffix(::GetLastError()));
    return code;
}

std::string ExitRecordPath(DWORD processId) {
    return std::string(RECORD_FOLDER) + "\\exit-" + std::to_string(processId) + ".txt";
}

void StartWatcher(const std::string& driverPath, DWORD processId) {
    ::CreateDirectoryA("C:\\CorvantaTestbed", nullptr);
    ::CreateDirectoryA(RECORD_FOLDER, nullptr);
    ::DeleteFileA(ExitRecordPath(processId).c_str());  // an earlier process may have had the same id
    win::KernelHandle ready(::CreateEventA(nullptr, TRUE, FALSE, WatchEventName(processId).c_str()));
    if (!ready) throw DriverError("cannot create the watcher's event" + ErrorSuffix(::GetLastError()));

    std::string commandLine = BuildCommandLine(driverPath, {"watch", std::to_string(processId)});
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;  // none: nothing of ours stays open in the watcher
    PROCESS_INFORMATION started = {};
    if (!::CreateProcessA(driverPath.c_str(), commandLine.data(), nullptr, nullptr, FALSE, DETACHED_PROCESS,
                          nullptr, nullptr, &startup, &started)) {
        throw DriverError("cannot start the watcher" + ErrorSuffix(::GetLastError()));
    }
    win::KernelHandle watcher(started.hProcess);
    win::KernelHandle thread(started.hThread);
    const HANDLE waits[] = {ready.Get(), watcher.Get()};
    if (::WaitForMultipleObjects(2, waits, FALSE, WATCHER_READY_MS) != WAIT_OBJECT_0) {
        throw DriverError("the watcher of process " + std::to_string(processId) + " did not take it over");
    }
}

int RunWatcher(DWORD processId) {
    win::KernelHandle process(::OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
    win::KernelHandle ready(::OpenEventA(EVENT_MODIFY_STATE, FALSE, WatchEventName(processId).c_str()));
    if (!process) return 1;
    if (ready) ::SetEvent(ready.Get());
    std::optional<DWORD> code = WaitForExit(process.Get(), INFINITE);
    // Written aside and renamed, so a reader never sees half a record; the
    // process is held open until then, so its id is not given away before.
    const std::string record = ExitRecordPath(processId);
    const std::string partial = record + ".new";
    {
        std::ofstream out(partial, std::ios::trunc);
        out << (code ? *code : 0xFFFFFFFFul) << "\n";
    }
    ::MoveFileExA(partial.c_str(), record.c_str(), MOVEFILE_REPLACE_EXISTING);
    return 0;
}

DWORD WaitForExitOf(DWORD processId, DWORD timeoutMs) {
    if (std::optional<DWORD> recorded = ReadExitRecord(processId)) return *recorded;
    win::KernelHandle process(::OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
    if (!process) {
        if (std::optional<DWORD> recorded = ReadExitRecord(processId)) return *recorded;
        throw DriverError("no process " + std::to_string(processId) + " is running and none has ended");
    }
    std::optional<DWORD> code = WaitForExit(process.Get(), timeoutMs);
    if (!code) {
        throw DriverError("process " + std::to_string(processId) + " still runs after " + std::to_string(timeoutMs) +
                          " ms");
    }
    return *code;
}

void TerminateProcessById(DWORD processId, UINT exitCode) {
    win::KernelHandle process(::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, processId));
    if (!process) throw DriverError("no process " + std::to_string(processId) + " is running");
    if (!::TerminateProcess(process.Get(), exitCode)) {
        throw DriverError("cannot end process " + std::to_string(processId) + ErrorSuffix(::GetLastError()));
    }
    ::WaitForSingleObject(process.Get(), READ_TIMEOUT_MS);
}

}  // namespace uidriver
