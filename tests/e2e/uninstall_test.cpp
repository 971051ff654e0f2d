// Uninstalls of the real setup in the test machine: what the installation
// put there goes, what it did not (and what the user changed) stays, in the
// maintenance dialog started from Programs and Features and in quiet mode.
#include <gtest/gtest.h>

#include <algorithm>

#include <shlobj.h>

#include "resources/resource.h"
#include "support/registry.h"
#include "support/temp_folder.h"
#include "support/testbed_access.h"
#include "tests/e2e/scenario.h"

namespace {

using namespace e2e;

constexpr char UNINSTALL[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
constexpr char SETUP_COPY[] = "C:\\Program Files\\TovinSoft\\CorvantaAI\\CorvantaSetup.exe";
constexpr char CLIENT_PROGRAM[] = "c:\\Corvanta10App\\Corvanta10App.exe";

class Uninstall : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(server.Missing(), "");
        ResetMachine();
    }
    // A quiet run: its exit code and log.
    std::pair<DWORD, std::string> Quiet(const std::string& tail) {
        const QuietOutcome outcome = RunQuietSetup(tail);
        EXPECT_TRUE(outcome.windows.empty()) << outcome.windows[0];
        return {outcome.exitCode, outcome.log};
    }
    void Install(const std::string& tail) {
        const auto [code, log] = Quiet("/quiet " + tail);
        ASSERT_EQ(code, 0u) << log;
    }
    static bool EntryExists(const char* entry) {
        return RegistryString(HKEY_LOCAL_MACHINE, std::string(UNINSTALL) + entry, "UninstallString", KEY_WOW64_32KEY) !=
               "<absent>";
    }
    static std::string EntryValue(const char* entry, const char* name) {
        return RegistryString(HKEY_LOCAL_MACHINE, std::string(UNINSTALL) + entry, name, KEY_WOW64_32KEY);
    }
    static bool KeyExists(HKEY root, const std::string& key) {
        HKEY handle = nullptr;
        if (::RegOpenKeyExA(root, key.c_str(), 0, KEY_READ | KEY_WOW64_64KEY, &handle) != ERROR_SUCCESS) return false;
        ::RegCloseKey(handle);
        return true;
    }
    static bool PendingDeletion(const std::string& path) {
        const auto pending = PendingRestartDeletions();
        return std::any_of(pending.begin(), pending.end(), [&](const std::string& p) { return _stricmp(p.c_str(), path.c_str()) == 0; });
    }
    static std::string ShortcutPath(int csidl) {
        char folder[MAX_PATH] = {};
        ::SHGetFolderPathA(nullptr, csidl, nullptr, 0, folder);
        return std::string(folder) + "\\TovinSoft Corvanta v10.1.lnk";
    }

    testbed::DownloadServerState server;
};

TEST_F(Uninstall, TheClientFromProgramsAndFeaturesRemovesWhatItInstalledAndKeepsWhatItDidNot) {
    Install("/type=client");
    ASSERT_TRUE(FileExists(ShortcutPath(CSIDL_PROGRAMS)));
    EXPECT_NE(EntryValue("CorvantaClient", "QuietUninstallString").find("/uninstall /type=client /quiet"), std::string::npos);
    EXPECT_EQ(EntryValue("CorvantaClient", "InstallDate").size(), 8u);
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, "SOFTWARE\\TovinSoft\\Corvanta10\\Client\\Installed\\Files"));
    // The user changed one installed file and added one of their own.
    ASSERT_TRUE(WriteFileText("c:\\Corvanta10App\\CrvUi10.dll", "changed by the user"));
    ASSERT_TRUE(WriteFileText("c:\\Corvanta10App\\notes.txt", "the user's own"));

    std::string uninstall = EntryValue("CorvantaClient", "UninstallString");
    ASSERT_EQ(uninstall.rfind(std::string("\"") + SETUP_COPY + "\" ", 0), 0u) << uninstall;
    SetupSession maintenance(uninstall.substr(std::string(SETUP_COPY).size() + 3), SETUP_COPY);
    ::SendMessageA(maintenance.Control(IDC_APPLY_CLIENT), BM_SETCHECK, BST_CHECKED, 0);
    const Outcome outcome = maintenance.PressOk();
    EXPECT_EQ(outcome.finalBox, "Successfuly completed Setup for Uninstall") << outcome.log;
    EXPECT_EQ(outcome.exitCode, 0u);

    EXPECT_FALSE(FileExists(CLIENT_PROGRAM));
    EXPECT_FALSE(FolderExists("c:\\Corvanta10App\\Update"));
    EXPECT_TRUE(FileExists("c:\\Corvanta10App\\CrvUi10.dll"));
    EXPECT_TRUE(FileExists("c:\\Corvanta10App\\notes.txt"));
    EXPECT_TRUE(HasLine(outcome.log, "Client Setup:Kept c:\\Corvanta10App\\CrvUi10.dll: changed since the installation"));
    EXPECT_TRUE(HasLine(outcome.log, "Client Setup:Kept c:\\Corvanta10App\\notes.txt: not installed by the setup"));
    EXPECT_TRUE(HasLine(outcome.log, "Client Setup:Kept the folder c:\\Corvanta10App: it is not empty"));
    EXPECT_FALSE(FileExists(ShortcutPath(CSIDL_PROGRAMS)));
    EXPECT_FALSE(FileExists(ShortcutPath(CSIDL_DESKTOPDIRECTORY)));
    EXPECT_FALSE(EntryExists("CorvantaClient"));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, "Software\\TovinSoft"));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, "SOFTWARE\\TovinSoft")) << "no product remains: the empty keys go";
    // The copy that runs goes at the next restart, with its folder.
    EXPECT_TRUE(PendingDeletion(SETUP_COPY));
    EXPECT_TRUE(PendingDeletion("C:\\Program Files\\TovinSoft\\CorvantaAI"));
}

TEST_F(Uninstall, TheServerInQuietModeGivesIisBackAsItWasAndKeepsDataAndSqlServer) {
    const std::string iisBefore = ReadFileText(IIS_CONFIG);
    const std::string password = "C:\\CorvantaTestbed\\sa.txt";
    ASSERT_TRUE(WriteFileText(password, "Ab1$cdef\r\n"));
    Install("/type=server /port=80 /sql=yes /sapwdfile=" + password);
    std::string iis = ReadFileText(IIS_CONFIG);
    ASSERT_NE(iis.find(R"(bindingInformation="*:8080:")"), std::string::npos) << "the Default Web Site was moved";
    ASSERT_NE(iis.find(R"(name="TCorvanta10")"), std::string::npos);
    ASSERT_TRUE(FileExists("c:\\TCorvanta10\\CorvantaSeed.bak"));

    const auto [code, log] = Quiet("/quiet /uninstall /type=server");
    EXPECT_EQ(code, 0u) << log;
    EXPECT_TRUE(HasLine(log, "User Interface:Successfully uninstalled Software"));
    EXPECT_EQ(ReadFileText(IIS_CONFIG), iisBefore) << "site, pool and restriction entry gone, the binding given back";
    for (const char* module : {"TCorvanta10.dll", "TCrv10Cml.dll", "Tz10math.dll"}) {
        EXPECT_FALSE(FileExists(std::string("c:\\TCorvanta10\\") + module)) << module;
    }
    EXPECT_FALSE(FolderExists("c:\\TCorvanta10\\Update"));
    EXPECT_FALSE(FolderExists("c:\\TCorvanta10\\cab"));
    EXPECT_TRUE(FileExists("c:\\TCorvanta10\\CorvantaSeed.bak"));
    EXPECT_TRUE(HasLine(log, "Server Setup:Kept c:\\TCorvanta10\\CorvantaSeed.bak: first-installation data, which the "
                             "server changes as it runs"));
    EXPECT_TRUE(HasLine(log, "SQL Server Install:Kept SQL Server and its databases"));
    EXPECT_FALSE(InstallerRuns("SQLEXPR_x64_ENU.exe").empty());
    EXPECT_FALSE(EntryExists("CorvantaServer"));
    EXPECT_EQ(RegistryString(HKEY_LOCAL_MACHINE, "SOFTWARE\\TovinSoft\\Corvanta10\\Update", "PackageListSerial"), "<absent>");
    EXPECT_EQ(RegistryString(HKEY_LOCAL_MACHINE, "SOFTWARE\\TovinSoft\\Corvanta10\\Update", "DownloadStatus"), "<absent>");
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, "SOFTWARE\\TovinSoft\\Corvanta10\\Server"));

    // A second uninstall finds nothing to remove, and says so.
    const auto [again, againLog] = Quiet("/quiet /uninstall /type=server");
    EXPECT_EQ(again, 1u);
    EXPECT_TRUE(HasLine(againLog, "Server Setup:No server installation is registered; nothing to uninstall"));
}

TEST_F(Uninstall, BothWithTheInformationServerRemovesItsPackage) {
    Install("/type=both /port=1465");
    ASSERT_NE(RegistryString(HKEY_LOCAL_MACHINE, "SOFTWARE\\TovinSoft\\CorvantaIS", "InstallPath"), "<absent>");
    const auto [code, log] = Quiet("/quiet /uninstall /type=both");
    EXPECT_EQ(code, 0u) << log;
    EXPECT_EQ(RegistryString(HKEY_LOCAL_MACHINE, "SOFTWARE\\TovinSoft\\CorvantaIS", "InstallPath"), "<absent>")
        << "msiexec /x removed the package";
    EXPECT_NE(log.find("Server Setup:Removed the information server package {"), std::string::npos) << log;
    EXPECT_FALSE(EntryExists("CorvantaServer"));
    EXPECT_FALSE(EntryExists("CorvantaClient"));
    EXPECT_FALSE(FileExists(CLIENT_PROGRAM));
    EXPECT_TRUE(PendingDeletion(SETUP_COPY));
}

TEST_F(Uninstall, AnInstallationWithoutARecordLosesOnlyWhatIsKnownByName) {
    Install("/type=client");
    DeleteRegistryTree(HKEY_LOCAL_MACHINE, "SOFTWARE\\TovinSoft\\Corvanta10\\Client\\Installed");
    const auto [code, log] = Quiet("/quiet /uninstall /type=client");
    EXPECT_EQ(code, 0u) << log;
    EXPECT_FALSE(FileExists(CLIENT_PROGRAM));
    EXPECT_FALSE(FileExists("c:\\Corvanta10App\\Update\\Corvanta10AppSetup.cab"));
    EXPECT_TRUE(FileExists("c:\\Corvanta10App\\CrvUi10.dll")) << "not known by name: it stays";
    EXPECT_FALSE(FileExists(ShortcutPath(CSIDL_PROGRAMS)));
    EXPECT_FALSE(EntryExists("CorvantaClient"));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, "Software\\TovinSoft\\Corvanta10\\Client"));
}

TEST_F(Uninstall, AFileInUseIsDeletedAtTheNextRestart) {
    Install("/type=client");
    HANDLE running = ::CreateFileA(CLIENT_PROGRAM, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(running, INVALID_HANDLE_VALUE);
    const auto [code, log] = Quiet("/quiet /uninstall /type=client");
    ::CloseHandle(running);
    EXPECT_EQ(code, 3010u) << log;
    EXPECT_TRUE(HasLine(log, std::string("Client Setup:") + CLIENT_PROGRAM + " is in use; it is deleted at the next restart"));
    EXPECT_TRUE(PendingDeletion(CLIENT_PROGRAM));
    EXPECT_FALSE(EntryExists("CorvantaClient"));
}

TEST_F(Uninstall, OfAProductThatIsNotThereFails) {
    const auto [code, log] = Quiet("/quiet /uninstall /type=client");
    EXPECT_EQ(code, 1u);
    EXPECT_TRUE(HasLine(log, "Client Setup:No client installation is registered; nothing to uninstall"));
    EXPECT_TRUE(HasLine(log, "User Interface:Setup completed with errors"));
}

}  // namespace
