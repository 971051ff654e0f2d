#pragma once
// What the package set's tests need of the test machine: the package set's
// folder, programs run with captured output, registry keys and files that
// are put back as they were, and the installers' call log.
#include <windows.h>

#include <atomic>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace testbed {

// The package set's folder as the test machine sees it, backslashes only.
const std::string& PackageSet();
void SetPackageSet(std::string folder);
std::string InPackageSet(const std::string& name);

struct ProgramRun {
    bool started = false;
    DWORD exitCode = 0;
    std::string out, err;      // captured standard output and error
    size_t outChunks = 0;      // reads that returned data, output only
    DWORD firstOutputMs = 0;   // from the start to the first byte of output
    DWORD elapsedMs = 0;       // from the start to the end of the process
};

// CreateProcessA with the application name (empty: none), the command line
// and the current directory; waits for the end. With `capture`, standard
// output and error go to two pipes read in chunks of `chunk` bytes while the
// program runs.
ProgramRun RunProgram(const std::string& application, const std::string& commandLine,
                      const std::string& currentDirectory, bool capture = false, size_t chunk = 256);

// RunProgram on a thread of its own, for a test that acts while the program
// runs. Ending the object waits for the program.
class BackgroundRun {
public:
    BackgroundRun(std::string application, std::string commandLine, std::string currentDirectory,
                  bool capture = false);
    ~BackgroundRun();
    BackgroundRun(const BackgroundRun&) = delete;
    BackgroundRun& operator=(const BackgroundRun&) = delete;
    bool Finished() const { return finished_; }
    ProgramRun Wait();

private:
    ProgramRun run_;
    std::atomic<bool> finished_{false};
    std::thread thread_;
};

// Whether the file is there within `timeoutMs`, looking every 20 ms.
bool WaitForFile(const std::string& path, DWORD timeoutMs);

// A program in the folder the fake installers were built in; CorvantaIS.exe
// is only there and inside its package.
std::string FakeProgram(const std::string& name);

// A fresh folder under the system's temporary folder, removed with its contents.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::string& Path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "\\" + name; }

private:
    std::string path_;
};
void RemoveTree(const std::string& path);
std::optional<std::string> ReadWholeFile(const std::string& path);
bool WriteWholeFile(const std::string& path, const std::string& content);
bool FolderExists(const std::string& path);
bool FileExists(const std::string& path);

// HKEY_LOCAL_MACHINE, 64-bit view.
bool MachineKeyExists(const std::string& key);
void DeleteMachineKey(const std::string& key);  // with everything below it
std::optional<std::string> MachineString(const std::string& key, const std::string& name);
std::optional<DWORD> MachineDword(const std::string& key, const std::string& name);
void SetMachineString(const std::string& key, const std::string& name, const std::string& value);
void SetMachineDword(const std::string& key, const std::string& name, DWORD value);

// Keys a test may create: each one that is missing when the guard is made is
// deleted again when it ends (list parents before their subkeys).
class KeyGuard {
public:
    explicit KeyGuard(std::vector<std::string> keys);
    ~KeyGuard();
    KeyGuard(const KeyGuard&) = delete;
    KeyGuard& operator=(const KeyGuard&) = delete;

private:
    std::vector<std::string> created_;
};

// The fake installers' log, C:\CorvantaTestbed\installers.log: the lines
// added since the mark was made; the log is cut back to its old length when
// the mark ends.
class InstallerLogMark {
public:
    InstallerLogMark();
    ~InstallerLogMark();
    InstallerLogMark(const InstallerLogMark&) = delete;
    InstallerLogMark& operator=(const InstallerLogMark&) = delete;
    std::vector<std::vector<std::string>> NewRecords() const;  // tab-separated fields per line

private:
    bool folderExisted_ = false;
    bool existed_ = false;
    LONGLONG size_ = 0;
};

}  // namespace testbed
