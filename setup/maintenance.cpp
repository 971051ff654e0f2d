#include "setup/maintenance.h"

#include <windows.h>

#include "core/context.h"
#include "setup/client_setup.h"
#include "setup/file_swap.h"
#include "setup/finish.h"
#include "setup/registration.h"
#include "setup/run_sequence.h"
#include "setup/server_setup.h"
#include "setup/uninstall.h"
#include "win/registry.h"
#include "win/text.h"

namespace {

bool ServerRegistered() {
    return win::ReadRegistryString(HKEY_LOCAL_MACHINE, (std::string(UNINSTALL_KEY_FORMAT) + "CorvantaServer").c_str(),
                                   "UninstallString", KEY_WOW64_32KEY)
        .has_value();
}

void RepairServer(SetupContext& context) {
    // The server key is also written by a client installation: only the
    // server's own entry and its port say a server is installed.
    const auto port = ReadRegisteredText(true, SERVER_KEY, "Port");
    if (text::IsBlank(context.serverDirectory) || !port || !ServerRegistered()) {
        context.Fail(LOG_SERVER, "No server installation is registered; the server cannot be repaired");
        return;
    }
    // The server's own bit size, whatever the client's is.
    context.setupFlags &= ~(SETUP_BITS_32 | SETUP_BITS_64 | SETUP_AI_CLIENT);
    context.setupFlags |= BitSizeFlags(ReadRegisteredText(true, SERVER_KEY, "BitSize").value_or(""));
    context.port = text::ParseLong(*port);
    if (context.port == 1465) context.setupFlags |= SETUP_INFO_SERVER_PORT;
    context.edition = ReadRegisteredText(true, SERVER_KEY, "Edition").value_or("");
    if (context.edition == "Summit") context.setupFlags |= SETUP_EDITION_SUMMIT;
    context.server->UpdateServer();
}

void RepairClient(SetupContext& context) {
    const SetupFlags bitSize = BitSizeFlags(ReadRegisteredText(false, CLIENT_KEY, "BitSize").value_or(""));
    if (text::IsBlank(context.clientDirectory) || !bitSize) {
        context.Fail(LOG_CLIENT, "No client installation is registered; the client cannot be repaired");
        return;
    }
    context.setupFlags |= bitSize;
    context.client->UpdateClient();
}

}  // namespace

std::optional<std::string> ReadRegisteredText(bool localMachine, const char* key, const char* name) {
    return win::ReadRegistryString(localMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER, key, name);
}

SetupFlags BitSizeFlags(const std::string& bitSize) {
    if (bitSize == "32 Bit") return SETUP_BITS_32;
    if (bitSize == "64 Bit") return SETUP_BITS_64;
    if (bitSize == "AI Client") return SETUP_AI_CLIENT;
    return 0;
}

void RepairProducts(SetupContext& context) {
    FinishPendingSwap(context, ServerPoolControl(context));
    SetProgressWeights(context);
    if (context.setupFlags & SETUP_CLIENT) RepairClient(context);
    // Cancel: a client repaired before it stays repaired.
    if (context.Stopping()) return;
    if (context.setupFlags & SETUP_SERVER) RepairServer(context);
    context.report.successLine = "Successfully repaired Software";
    context.report.successBox = "Successfuly completed Setup for Repair";
}

void PrepareMaintenance(SetupContext& context, const MaintenanceChoices& choices) {
    context.setupFlags = 0;
    if (choices.action == MaintenanceAction::Repair) {
        context.modeFlags = MODE_REPAIR;
    } else if (choices.action == MaintenanceAction::Uninstall) {
        context.modeFlags = MODE_UNINSTALL;
    }
    if (choices.server) {
        context.setupFlags |= SETUP_SERVER;
        if (auto path = ReadRegisteredText(true, SERVER_KEY, "InstallPath")) context.serverDirectory = *path;
        context.Log(LOG_SERVER, "Server Directory", context.serverDirectory);
    }
    if (choices.client) {
        context.setupFlags |= SETUP_CLIENT;
        if (auto path = ReadRegisteredText(false, CLIENT_KEY, "InstallPath")) context.clientDirectory = *path;
        context.Log(LOG_CLIENT, "Client Directory", context.clientDirectory);
    }
}

void RunMaintenance(SetupContext& context) {
    if (context.modeFlags & MODE_REPAIR) {
        RepairProducts(context);
        return;
    }
    UninstallProducts(context);
    context.report.successLine = "Successfully uninstalled Software";
    context.report.successBox = "Successfuly completed Setup for Uninstall";
}
