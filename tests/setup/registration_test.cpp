// Product keys and Programs and Features entries in the test machine's registry.
#include "setup/registration.h"

#include <gtest/gtest.h>

#include "support/dialog_fixture.h"
#include "support/registry.h"

namespace {

constexpr char UNINSTALL_ROOT[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const std::string CLIENT_ENTRY = std::string(UNINSTALL_ROOT) + "\\CorvantaClient";
const std::string SERVER_ENTRY = std::string(UNINSTALL_ROOT) + "\\CorvantaServer";

class Registration : public ContextTest {
protected:
    RegistryCleanup entries{HKEY_LOCAL_MACHINE, {CLIENT_ENTRY, SERVER_ENTRY}, KEY_WOW64_32KEY};
    RegistryCleanup server{HKEY_LOCAL_MACHINE, {SERVER_KEY}};
    RegistryCleanup client{HKEY_CURRENT_USER, {"Software\\TovinSoft"}};

    std::string Entry(const std::string& key, const char* name) {
        return RegistryString(HKEY_LOCAL_MACHINE, key, name, KEY_WOW64_32KEY);
    }
};

TEST_F(Registration, ClientGetsItsKeysAndAnEntryInThe32BitView) {
    context.setupFlags = SETUP_CLIENT | SETUP_AI_CLIENT;
    context.clientDirectory = "c:\\CorvantaAIApp\\";
    context.serverDirectory = "c:\\TCorvanta10";
    EXPECT_EQ(RegisterProduct(context, LOG_CLIENT), 1);
    EXPECT_EQ(RegistryString(HKEY_CURRENT_USER, CLIENT_KEY, "InstallPath"), "c:\\CorvantaAIApp\\");
    EXPECT_EQ(RegistryString(HKEY_CURRENT_USER, CLIENT_KEY, "Version"), "AI");
    EXPECT_EQ(RegistryString(HKEY_CURRENT_USER, CLIENT_KEY, "DisplayName"), "Corvanta Client");
    EXPECT_EQ(RegistryString(HKEY_CURRENT_USER, CLIENT_KEY, "BitSize"), "AI Client");
    EXPECT_EQ(RegistryString(HKEY_LOCAL_MACHINE, SERVER_KEY, "InstallPath"), "c:\\TCorvanta10");
    EXPECT_EQ(RegistryString(HKEY_LOCAL_MACHINE, SERVER_KEY, "Version"), "10.1");
    EXPECT_EQ(RegistryString(HKEY_LOCAL_MACHINE, SERVER_KEY, "DisplayName"), "TovinSoft Corvanta10.1 Server");
    EXPECT_EQ(Entry(CLIENT_ENTRY, "DisplayName"), "CorvantaAI");
    EXPECT_EQ(Entry(CLIENT_ENTRY, "UninstallString"),
              "\"C:\\Program Files\\TovinSoft\\CorvantaAI\\CorvantaSetup.exe\" /uninstall /type=client");
    EXPECT_EQ(Entry(CLIENT_ENTRY, "ModifyPath"),
              "\"C:\\Program Files\\TovinSoft\\CorvantaAI\\CorvantaSetup.exe\" /modify /type=client");
    EXPECT_EQ(Entry(CLIENT_ENTRY, "RepairPath"),
              "\"C:\\Program Files\\TovinSoft\\CorvantaAI\\CorvantaSetup.exe\" /repair /type=client");
    EXPECT_EQ(Entry(CLIENT_ENTRY, "InstallLocation"), "c:\\CorvantaAIApp\\");
    EXPECT_EQ(Entry(CLIENT_ENTRY, "DisplayVersion"), "10.1");
    EXPECT_EQ(Entry(CLIENT_ENTRY, "Publisher"), "Tovin Information Systems Pvt. Ltd.");
    EXPECT_EQ(Entry(CLIENT_ENTRY, "DisplayIcon"), "C:\\Program Files\\TovinSoft\\CorvantaAI\\CorvantaSetup.exe");
    EXPECT_EQ(RegistryString(HKEY_LOCAL_MACHINE, CLIENT_ENTRY, "DisplayName", KEY_WOW64_64KEY), "<absent>");
}

TEST_F(Registration, ServerEntryAndTheChoicesItsRepairNeeds) {
    context.setupFlags = SETUP_SERVER;
    context.serverDirectory = "D:\\Srv\\";
    context.port = 8080;
    context.edition = "Summit";
    EXPECT_EQ(RegisterProduct(context, LOG_SERVER), 1);
    EXPECT_EQ(Entry(SERVER_ENTRY, "DisplayName"), "TovinSoft Corvanta10.1");
    EXPECT_EQ(Entry(SERVER_ENTRY, "UninstallString"),
              "\"C:\\Program Files\\TovinSoft\\CorvantaAI\\CorvantaSetup.exe\" /uninstall /type=server");
    EXPECT_EQ(Entry(SERVER_ENTRY, "InstallLocation"), "D:\\Srv\\");
    EXPECT_EQ(RegistryString(HKEY_LOCAL_MACHINE, SERVER_KEY, "Port"), "8080");
    EXPECT_EQ(RegistryString(HKEY_LOCAL_MACHINE, SERVER_KEY, "Edition"), "Summit");
    EXPECT_EQ(RegistryString(HKEY_CURRENT_USER, CLIENT_KEY, "InstallPath"), "<absent>");
}

TEST_F(Registration, AClientKeyThatCannotBeMadeStopsItsChainSilently) {
    // Keys below a volatile key must be volatile too: this one cannot be made.
    HKEY vendor = nullptr;
    ASSERT_EQ(::RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\TovinSoft", 0, nullptr, REG_OPTION_VOLATILE, KEY_WRITE,
                                nullptr, &vendor, nullptr),
              ERROR_SUCCESS);
    ::RegCloseKey(vendor);
    context.setupFlags = SETUP_CLIENT | SETUP_BITS_64;
    context.clientDirectory = "c:\\Corvanta10App\\";
    EXPECT_EQ(RegisterProduct(context, LOG_CLIENT), 1);
    EXPECT_TRUE(host.boxes.empty());
    EXPECT_EQ(RegistryString(HKEY_CURRENT_USER, CLIENT_KEY, "InstallPath"), "<absent>");
    EXPECT_EQ(Entry(CLIENT_ENTRY, "DisplayName"), "Corvanta10App");
}

TEST_F(Registration, AnEntryThatCannotBeWrittenIsShownAndEndsTheRegistration) {
    RegistryCleanup uninstall{HKEY_LOCAL_MACHINE, {UNINSTALL_ROOT}, KEY_WOW64_32KEY};
    HKEY volatileRoot = nullptr;
    ASSERT_EQ(::RegCreateKeyExA(HKEY_LOCAL_MACHINE, UNINSTALL_ROOT, 0, nullptr, REG_OPTION_VOLATILE,
                                KEY_WRITE | KEY_WOW64_32KEY, nullptr, &volatileRoot, nullptr),
              ERROR_SUCCESS);
    ::RegCloseKey(volatileRoot);
    context.serverDirectory = "D:\\Srv\\";
    EXPECT_EQ(RegisterProduct(context, LOG_SERVER), 0);
    ASSERT_EQ(host.boxes.size(), 1u);
    EXPECT_EQ(host.boxes[0].text, "Cannot write to registry. Need admin rights?");
    EXPECT_EQ(host.boxes[0].caption, "Error");
    EXPECT_EQ(RegistryString(HKEY_LOCAL_MACHINE, SERVER_KEY, "InstallPath"), "<absent>");
}

}  // namespace
