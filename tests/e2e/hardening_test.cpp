// The setup loads no DLL from its own folder, where a planted copy of a
// system DLL may wait (a Downloads folder).
#include <gtest/gtest.h>

#include "support/registry.h"
#include "support/temp_folder.h"
#include "tests/e2e/scenario.h"

namespace {

const char* const PLANTED[] = {"winhttp.dll", "cabinet.dll", "uxtheme.dll", "comctl32.dll", "DismApi.dll"};

std::string Mark(const char* name) { return std::string("C:\\CorvantaTestbed\\planted-") + name + ".loaded"; }

// Wine loads its own builtin DLLs first; a Windows machine takes a DLL found
// beside the program. Asking Wine for native DLLs first, for these two
// programs, makes it behave so.
class NativeDllsFirst {
public:
    NativeDllsFirst() {
        for (const char* program : PROGRAMS) {
            for (const char* dll : {"winhttp", "cabinet", "uxtheme", "comctl32", "DismApi"}) {
                SetRegistryString(HKEY_CURRENT_USER, Key(program), dll, "native,builtin");
            }
        }
    }
    ~NativeDllsFirst() {
        for (const char* program : PROGRAMS) DeleteRegistryTree(HKEY_CURRENT_USER, Key(program));
    }

private:
    static constexpr const char* PROGRAMS[] = {"CorvantaSetup.exe", "plain_importer.exe"};
    static std::string Key(const char* program) {
        return std::string("Software\\Wine\\AppDefaults\\") + program + "\\DllOverrides";
    }
};

TEST(Hardening, APlantedSystemDllBesideTheSetupIsNeverLoaded) {
    e2e::ResetMachine();
    NativeDllsFirst nativeFirst;
    TempFolder downloads;
    const std::string setupCopy = downloads / "CorvantaSetup.exe";
    ASSERT_TRUE(::CopyFileA(e2e::SetupProgram().c_str(), setupCopy.c_str(), FALSE));
    const std::string planted = e2e::WindowsPath(PLANTED_DIR);
    for (const char* name : PLANTED) {
        ASSERT_TRUE(::CopyFileA((planted + "\\" + name).c_str(), (downloads / name).c_str(), FALSE)) << name;
        ::DeleteFileA(Mark(name).c_str());
    }
    {
        e2e::SetupSession setup("", setupCopy);
        e2e::Choices choices;
        choices.setupType = "Both";
        setup.FillIn(choices);
        EXPECT_EQ(setup.PressOk().exitCode, 0u);
    }
    for (const char* name : PLANTED) EXPECT_FALSE(FileExists(Mark(name))) << name << " was loaded";

    // The control: a program that does not protect itself loads the plant.
    ASSERT_TRUE(::CopyFileA((planted + "\\plain_importer.exe").c_str(), (downloads / "plain_importer.exe").c_str(), FALSE));
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    std::string line = "\"" + (downloads / "plain_importer.exe") + "\"";
    if (::CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, downloads.Path().c_str(), &startup,
                         &info)) {
        ::WaitForSingleObject(info.hProcess, 30000);
        ::CloseHandle(info.hThread);
        ::CloseHandle(info.hProcess);
    }
    EXPECT_TRUE(FileExists(Mark("winhttp.dll"))) << "the plant works on an unprotected program";
    ::DeleteFileA(Mark("winhttp.dll").c_str());
}

TEST(Hardening, APlantedMsiexecBesideTheSetupOrInItsFolderNeverRuns) {
    e2e::ResetMachine();
    const std::string mark = "C:\\CorvantaTestbed\\planted-msiexec.started";
    ::DeleteFileA(mark.c_str());
    TempFolder downloads;
    const std::string setupCopy = downloads / "CorvantaSetup.exe";
    const std::string plant = e2e::WindowsPath(PLANTED_DIR) + "\\msiexec.exe";
    ASSERT_TRUE(::CopyFileA(e2e::SetupProgram().c_str(), setupCopy.c_str(), FALSE));
    ASSERT_TRUE(::CopyFileA(plant.c_str(), (downloads / "msiexec.exe").c_str(), FALSE));
    {
        e2e::SetupSession setup("", setupCopy);
        ASSERT_TRUE(::CopyFileA(plant.c_str(), (setup.Run().StartFolder() + "\\msiexec.exe").c_str(), FALSE));
        e2e::Choices choices;
        choices.setupType = "Server";
        choices.port = "1465";  // the information server's package runs through msiexec
        setup.FillIn(choices);
        const e2e::Outcome outcome = setup.PressOk();
        EXPECT_EQ(outcome.exitCode, 0u) << outcome.log;
    }
    EXPECT_FALSE(FileExists(mark)) << "the planted msiexec ran: " << ReadFileText(mark);
    EXPECT_NE(RegistryString(HKEY_LOCAL_MACHINE, "SOFTWARE\\TovinSoft\\CorvantaIS", "InstallPath"), "<absent>")
        << "the system's msiexec installed the information server";

    // The control: a program that starts msiexec.exe by its bare name runs the plant.
    ASSERT_TRUE(::CopyFileA((e2e::WindowsPath(PLANTED_DIR) + "\\plain_starter.exe").c_str(),
                            (downloads / "plain_starter.exe").c_str(), FALSE));
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    std::string line = "\"" + (downloads / "plain_starter.exe") + "\"";
    if (::CreateProcessA((downloads / "plain_starter.exe").c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr,
                         downloads.Path().c_str(), &startup, &info)) {
        ::WaitForSingleObject(info.hProcess, 30000);
        ::CloseHandle(info.hThread);
        ::CloseHandle(info.hProcess);
    }
    EXPECT_TRUE(FileExists(mark)) << "the plant works on an unprotected program";
    ::DeleteFileA(mark.c_str());
}

}  // namespace
