// Measures the setup's own download and extraction code in the test machine:
//   corvanta_bench download <file name> <folder>   fetch downloads/<file name>
//   corvanta_bench extract <cabinet folder> <cabinet> <destination>
//   corvanta_bench startup <CorvantaSetup.exe>     start it, wait for its dialog
// Prints one "name=value" line per figure.
#include <windows.h>
#include <objbase.h>
#include <psapi.h>

#include <cstdio>
#include <string>

#include "setup/companions.h"
#include "prereq/cabinet.h"
#include "setup/download.h"
#include "ui/ok_sequence.h"

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

}  // namespace

int main(int argc, char** argv) {
    ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "download" && argc == 4) return Download(argv[2], argv[3]);
    if (command == "extract" && argc == 5) return Extract(argv[2], argv[3], argv[4]);
    if (command == "startup" && argc == 3) return Startup(argv[2]);
    std::fprintf(stderr, "usage: corvanta_bench download <name> <folder> | extract <cabinet folder> <cabinet> "
                         "<destination> | startup <CorvantaSetup.exe>\n");
    return 2;
}
