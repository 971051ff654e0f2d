// Measures the setup's own download and extraction code in the test machine:
//   corvanta_bench download <file name> <folder>   fetch downloads/<file name>
//   corvanta_bench extract <cabinet folder> <cabinet> <destination>
//   corvanta_bench startup <CorvantaSetup.exe>     start it, wait for its dialog
//   corvanta_bench bareloop <file name> <folder>   the platform's limit: the same
//       session, request and read loop writing the same file, without hashing
//       or progress
//   corvanta_bench ui-latency <CorvantaSetup.exe> <client folder>
//       a client installation through the dialog, its dialog's answers to
//       WM_NULL sampled every 50 ms while the runtime installer runs, the
//       client cabinet downloads and it is unpacked
// Prints one "name=value" line per figure.
#include <windows.h>
#include <objbase.h>
#include <psapi.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "prereq/cabinet.h"
#include "resources/resource.h"
#include "setup/companions.h"
#include "setup/download.h"
#include "setup/download_server.h"
#include "setup/http_transfer.h"
#include "setup/package_trust.h"
#include "testbed/uidriver/controls.h"
#include "testbed/uidriver/dialogs.h"
#include "testbed/uidriver/keys.h"
#include "testbed/uidriver/messaging.h"
#include "testbed/uidriver/probe.h"
#include "testbed/uidriver/processes.h"
#include "ui/ok_sequence.h"
#include "win/handles.h"
#include "win/text.h"

namespace {

class QuietHost final : public SetupHost {
public:
    int ShowBox(HWND, const std::string& text, const std::string&, UINT) override {
        std::fprintf(stderr, "box: %s\n", text.c_str());
        return IDOK;
    }
    void EndProcess(unsigned) override {}
    void WriteStandardOutput(std::string_view text) override { std::fwrite(text.data(), 1, text.size(), stderr); }
};

double Seconds(LARGE_INTEGER start) {
    LARGE_INTEGER now, frequency;
    ::QueryPerformanceCounter(&now);
    ::QueryPerformanceFrequency(&frequency);
    return static_cast<double>(now.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
}

LARGE_INTEGER Now() {
    LARGE_INTEGER now;
    ::QueryPerformanceCounter(&now);
    return now;
}

unsigned long long FileSize(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return 0;
    return (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

int Download(const std::string& name, const std::string& folder) {
    QuietHost host;
    SetupProcessContext context(host);
    context.startDirectory = folder;
    OpenInternetSession(context);
    FetchPlan plan;
    plan.category = LOG_SERVER;
    plan.fileName = name;
    plan.localFolder = folder;
    // The signed list comes once a run, before the first package: the
    // package's own download is what is timed.
    const LARGE_INTEGER listStart = Now();
    if (!context.packageTrust->Ready(context, LOG_SERVER)) return 1;
    std::printf("list_seconds=%.3f\n", Seconds(listStart));
    const LARGE_INTEGER start = Now();
    FetchPackage(context, plan);
    const double seconds = Seconds(start);
    PROCESS_MEMORY_COUNTERS memory = {};
    memory.cb = sizeof memory;
    ::GetProcessMemoryInfo(::GetCurrentProcess(), &memory, sizeof memory);
    const unsigned long long bytes = FileSize(folder + "\\" + name);
    std::printf("download_bytes=%llu\ndownload_seconds=%.3f\npeak_working_set_bytes=%llu\nfailed_steps=%d\n", bytes,
                seconds, static_cast<unsigned long long>(memory.PeakWorkingSetSize), context.report.failedSteps);
    return context.report.failedSteps == 0 && bytes > 0 ? 0 : 1;
}

int Extract(const std::string& cabinetFolder, const std::string& cabinet, const std::string& destination) {
    QuietHost host;
    SetupProcessContext context(host);
    context.startDirectory = destination;
    const LARGE_INTEGER start = Now();
    const int result = ExtractCabinet(context, cabinet, cabinetFolder, destination);
    std::printf("extract_seconds=%.3f\nextract_result=%d\n", Seconds(start), result);
    return result == 1 ? 0 : 1;
}

int Startup(const std::string& program) {
    std::string line = "\"" + program + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    const LARGE_INTEGER start = Now();
    if (!::CreateProcessA(program.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
        return 1;
    }
    HWND dialog = nullptr;
    while (!dialog && Seconds(start) < 60) {
        dialog = ::FindWindowA("#32770", "TovinSoft Corvanta v10.1 Setup");
        if (dialog && !::IsWindowVisible(dialog)) dialog = nullptr;
        if (!dialog) ::Sleep(5);
    }
    const double seconds = Seconds(start);
    ::TerminateProcess(info.hProcess, 0);
    ::WaitForSingleObject(info.hProcess, 10000);
    ::CloseHandle(info.hThread);
    ::CloseHandle(info.hProcess);
    std::printf("startup_seconds=%.3f\n", seconds);
    return dialog ? 0 : 1;
}

int BareLoop(const std::string& name, const std::string& folder) {
    QuietHost host;
    SetupProcessContext context(host);
    context.startDirectory = folder;
    OpenInternetSession(context);
    const LARGE_INTEGER start = Now();
    const DownloadEndpoint endpoint = ResolveDownloadEndpoint(context);
    win::InternetHandle connection(
        ::WinHttpConnect(context.internetSession.Get(), win::ToWide(endpoint.host).c_str(), endpoint.port, 0));
    win::InternetHandle request = OpenPackageRequest(connection.Get(), win::ToWide(ObjectPathFor(name)));
    Answer answer;
    DWORD error = 0;
    bool sent = false;
    if (!request || !SendAndReceive(request.Get(), L"", answer, error, sent) || answer.status != 200) return 1;
    const std::string path = folder + "\\" + name;
    win::FileHandle file(::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                       CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return 1;
    std::vector<char> buffer;
    std::uint64_t received = 0;
    const BodyEnd end = ReadBody(
        request.Get(), buffer, answer.contentLength.value_or(~0ull),
        [&](const char* data, DWORD size) {
            DWORD written = 0;
            return ::WriteFile(file.Get(), data, size, &written, nullptr) && written == size;
        },
        received, error);
    ::FlushFileBuffers(file.Get());
    std::printf("bareloop_bytes=%llu\nbareloop_seconds=%.3f\n", static_cast<unsigned long long>(received),
                Seconds(start));
    return end == BodyEnd::Complete ? 0 : 1;
}

bool ProcessRuns(const char* exeName) {
    win::KernelHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return false;
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Process32First(snapshot.Get(), &entry); more; more = ::Process32Next(snapshot.Get(), &entry)) {
        if (text::EqualsNoCase(entry.szExeFile, exeName)) return true;
    }
    return false;
}

bool HasFiles(const std::string& folder) {
    WIN32_FIND_DATAA data;
    HANDLE find = ::FindFirstFileA((folder + "\\*.dat").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return false;
    ::FindClose(find);
    return true;
}

// One phase of the run as the bench saw it from outside: its start and end.
struct Phase {
    const char* name;
    ULONGLONG from = 0, to = 0;
    void Track(bool now, ULONGLONG tick) {
        if (now && !from) from = tick;
        if (now) to = tick;
    }
};

// The product as never installed, the runtime missing, and its installer
// running for 10 s: the installation goes through every phase.
void PrepareUiRun() {
    for (REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) {
        win::RegKey software;
        if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE", 0, KEY_ALL_ACCESS | view, software.Put()) == ERROR_SUCCESS) {
            ::RegDeleteTreeA(software.Get(), "TovinSoft");
            ::RegDeleteTreeA(software.Get(), "Microsoft\\VisualStudio\\12.0");
            ::RegDeleteTreeA(software.Get(), "Microsoft\\Windows\\CurrentVersion\\Uninstall\\CorvantaClient");
            ::RegDeleteTreeA(software.Get(), "Microsoft\\Windows\\CurrentVersion\\Uninstall\\CorvantaServer");
        }
    }
    ::RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\TovinSoft");
    win::RegKey scenario;
    if (::RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\CorvantaTestbed\\Installers\\vcredist_x64.exe", 0, nullptr,
                          0, KEY_WRITE | KEY_WOW64_64KEY, nullptr, scenario.Put(), nullptr) == ERROR_SUCCESS) {
        const DWORD sleepMs = 10000;
        ::RegSetValueExA(scenario.Get(), "SleepMs", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&sleepMs),
                         sizeof sleepMs);
        ::RegDeleteValueA(scenario.Get(), "ExitCodes");
    }
}

int UiLatency(const std::string& program, const std::string& clientFolder) {
    PrepareUiRun();
    uidriver::ProcessGroup group;
    uidriver::StartRequest start{"C:\\bench", program, "", "", &group};
    uidriver::StartedProcess setup = uidriver::StartProgram(start);
    HWND dialog = uidriver::WaitForDialog("TovinSoft Corvanta v10.1 Setup", 60000, setup.id);
    HWND status = ::GetDlgItem(dialog, IDC_STATUS_LINE);
    uidriver::SetControlText(::GetDlgItem(dialog, IDC_SETUP_TYPE), "Client");
    uidriver::PressKey(dialog, ::GetDlgItem(dialog, IDC_SETUP_TYPE), uidriver::Key::Tab);
    uidriver::SetControlText(::GetDlgItem(dialog, IDC_CLIENT_DIRECTORY), clientFolder);
    uidriver::ResponseProbe probe(dialog, status);
    ::PostMessageA(::GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);

    Phase phases[] = {{"installer"}, {"download"}, {"extraction"}};
    const std::string staging = clientFolder + "\\Update\\staging";
    std::string finalBox;
    const ULONGLONG deadline = ::GetTickCount64() + 600000;
    while (::GetTickCount64() < deadline && uidriver::WaitForExit(setup.process.Get(), 0) == std::nullopt) {
        const ULONGLONG tick = ::GetTickCount64();
        phases[0].Track(ProcessRuns("vcredist_x64.exe"), tick);
        phases[1].Track(uidriver::StoredText(status).rfind("Downloading Corvanta10AppSetup.cab: ", 0) == 0, tick);
        phases[2].Track(HasFiles(staging), tick);
        if (auto box = uidriver::FindMessageBox("", setup.id)) {
            finalBox = box->text;
            uidriver::AnswerMessageBox(*box, uidriver::BoxButton::Ok);
        }
        ::Sleep(10);
    }
    const std::vector<uidriver::ProbeSample> samples = probe.Stop();
    const auto exitCode = uidriver::WaitForExit(setup.process.Get(), 10000);
    group.TerminateAll(1, 10000);
    std::printf("ui_final_box=%s\nui_exit_code=%lu\n", finalBox.c_str(), exitCode ? *exitCode : 259ul);
    double longestOverall = 0;
    for (const Phase& phase : phases) {
        double longest = 0;
        size_t count = 0;
        for (const auto& sample : samples) {
            if (!phase.from || sample.tickMs < phase.from || sample.tickMs > phase.to) continue;
            longest = std::max(longest, sample.roundTripMs);
            ++count;
        }
        longestOverall = std::max(longestOverall, longest);
        std::printf("ui_%s_seconds=%.1f\nui_%s_samples=%zu\nui_%s_longest_ms=%.1f\n", phase.name,
                    phase.from ? static_cast<double>(phase.to - phase.from) / 1000.0 : 0.0, phase.name, count,
                    phase.name, longest);
    }
    std::printf("ui_longest_ms=%.1f\n", longestOverall);
    return exitCode && *exitCode == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "download" && argc == 4) return Download(argv[2], argv[3]);
    if (command == "extract" && argc == 5) return Extract(argv[2], argv[3], argv[4]);
    if (command == "startup" && argc == 3) return Startup(argv[2]);
    if (command == "bareloop" && argc == 4) return BareLoop(argv[2], argv[3]);
    if (command == "ui-latency" && argc == 4) return UiLatency(argv[2], argv[3]);
    std::fprintf(stderr, "usage: corvanta_bench download <name> <folder> | extract <cabinet folder> <cabinet> "
                         "<destination> | startup <CorvantaSetup.exe> | bareloop <name> <folder> | ui-latency "
                         "<CorvantaSetup.exe> <client folder>\n");
    return 2;
}
