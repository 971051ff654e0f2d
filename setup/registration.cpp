#include "setup/registration.h"

#include <cstdio>

#include "core/context.h"
#include "setup/install_record.h"
#include "setup/run_sequence.h"
#include "win/handles.h"

namespace {

bool IsClient(LogCategory kind) { return kind == LOG_CLIENT; }

std::string Command(const char* verb, const char* type) {
    std::string command = "\"";
    command += SetupCopyPath();
    command += "\" /";
    command += verb;
    command += " /type=";
    command += type;
    return command;
}

// Version and display name follow a written install path, each only when the
// step before it succeeded. A write that fails is a failed step.
void WriteProductKey(SetupContext& context, HKEY root, const char* key, const std::string& installPath,
                     const std::string& version, const char* displayName) {
    if (!WriteChecked(context, root, key, "InstallPath", installPath)) return;
    if (!WriteChecked(context, root, key, "Version", version)) return;
    WriteChecked(context, root, key, "DisplayName", displayName);
}

}  // namespace

bool WriteChecked(SetupContext& context, HKEY root, const std::string& key, const std::string& name,
                  const std::string& value, REGSAM view) {
    if (WriteRegistryString(root, key, name, value, view)) return true;
    context.Fail(LOG_UI, "Could not write the registry value " + name, key);
    return false;
}

std::string BitSizeText(SetupFlags flags) {
    if (flags & SETUP_BITS_32) return "32 Bit";
    if (flags & SETUP_BITS_64) return "64 Bit";
    if (flags & SETUP_AI_CLIENT) return "AI Client";
    return "";
}

int WriteRegistryString(HKEY root, const std::string& key, const std::string& name, const std::string& value,
                        REGSAM view) {
    win::RegKey handle;
    if (::RegCreateKeyExA(root, key.c_str(), 0, nullptr, 0, KEY_WRITE | view, nullptr, handle.Put(), nullptr) !=
        ERROR_SUCCESS) {
        return 0;
    }
    return ::RegSetValueExA(handle.Get(), name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                            static_cast<DWORD>(value.size() + 1)) == ERROR_SUCCESS
               ? 1
               : 0;
}

std::string InstallDateText(const SYSTEMTIME& local) {
    char text[16];
    std::snprintf(text, sizeof text, "%04u%02u%02u", local.wYear, local.wMonth, local.wDay);
    return text;
}

UninstallEntry PlanUninstallEntry(LogCategory kind, SetupFlags flags, const std::string& clientDirectory,
                                  const std::string& serverDirectory, const std::string& installDate) {
    const bool client = IsClient(kind);
    const char* type = client ? "client" : "server";
    const std::string displayName =
        client ? ((flags & SETUP_AI_CLIENT) ? "CorvantaAI" : "Corvanta10App") : "TovinSoft Corvanta10.1";
    UninstallEntry entry;
    entry.keyPath = std::string(UNINSTALL_KEY_FORMAT) + (client ? "CorvantaClient" : "CorvantaServer");
    entry.values = {{"DisplayName", displayName},
                    {"UninstallString", Command("uninstall", type)},
                    {"ModifyPath", Command("modify", type)},
                    {"RepairPath", Command("repair", type)},
                    {"InstallLocation", client ? clientDirectory : serverDirectory},
                    {"DisplayVersion", "10.1"},
                    {"Publisher", "Tovin Information Systems Pvt. Ltd."},
                    {"DisplayIcon", SetupCopyPath()},
                    {"QuietUninstallString", Command("uninstall", type) + " /quiet"}};
    if (!installDate.empty()) entry.values.emplace_back("InstallDate", installDate);
    return entry;
}

int RegisterProduct(SetupContext& context, LogCategory kind) {
    if (IsClient(kind)) {
        WriteProductKey(context, HKEY_CURRENT_USER, CLIENT_KEY, context.clientDirectory,
                        (context.setupFlags & SETUP_AI_CLIENT) ? "AI" : "10.1", "Corvanta Client");
        // The repair runs the client update again for this bit size.
        WriteChecked(context, HKEY_CURRENT_USER, CLIENT_KEY, "BitSize", BitSizeText(context.setupFlags));
    }
    SYSTEMTIME today = {};
    ::GetLocalTime(&today);
    const UninstallEntry entry = PlanUninstallEntry(kind, context.setupFlags, context.clientDirectory,
                                                    context.serverDirectory, InstallDateText(today));
    win::RegKey key;
    if (::RegCreateKeyExA(HKEY_LOCAL_MACHINE, entry.keyPath.c_str(), 0, nullptr, 0, KEY_WRITE | KEY_WOW64_32KEY,
                          nullptr, key.Put(), nullptr) != ERROR_SUCCESS) {
        context.Fail(LOG_UI, "Cannot write to registry. Need admin rights?", entry.keyPath);
        context.Ask("Cannot write to registry. Need admin rights?", "Error", MB_OK | MB_ICONERROR);
        return 0;
    }
    for (const auto& [name, value] : entry.values) {
        if (::RegSetValueExA(key.Get(), name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                             static_cast<DWORD>(value.size() + 1)) != ERROR_SUCCESS) {
            context.Fail(LOG_UI, "Could not write the registry value " + name, entry.keyPath);
        }
    }
    // As Programs and Features reads it: KiB of what the installation put there.
    const DWORD size = EstimatedSizeKiB(InstallRecord(context, IsClient(kind) ? Product::Client : Product::Server).Files());
    if (::RegSetValueExA(key.Get(), "EstimatedSize", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&size), sizeof size) !=
        ERROR_SUCCESS) {
        context.Fail(LOG_UI, "Could not write the registry value EstimatedSize", entry.keyPath);
    }
    key.Reset();
    WriteProductKey(context, HKEY_LOCAL_MACHINE, SERVER_KEY, context.serverDirectory, "10.1",
                    "TovinSoft Corvanta10.1 Server");
    if (!IsClient(kind)) {
        // The repair runs the server update again with these choices.
        WriteChecked(context, HKEY_LOCAL_MACHINE, SERVER_KEY, "Port", std::to_string(context.port));
        WriteChecked(context, HKEY_LOCAL_MACHINE, SERVER_KEY, "Edition", context.edition);
        WriteChecked(context, HKEY_LOCAL_MACHINE, SERVER_KEY, "BitSize", BitSizeText(context.setupFlags));
    }
    return 1;
}
