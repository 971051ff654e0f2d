#pragma once
// The maintenance dialog's actions: uninstall and repair of the registered
// client and server.
#include <optional>
#include <string>

#include "core/flags.h"

class SetupContext;

enum class MaintenanceAction { Unchanged, Repair, Uninstall };

// What the maintenance dialog's user chose, as data.
struct MaintenanceChoices {
    MaintenanceAction action = MaintenanceAction::Unchanged;  // Unchanged: the command line's mode stays
    bool server = false;
    bool client = false;
};

// Takes the choices into the context: the mode, the products, and their
// folders read back from the registry (logged).
void PrepareMaintenance(SetupContext& context, const MaintenanceChoices& choices);
// The chosen action on the products chosen; the report says how it ended.
void RunMaintenance(SetupContext& context);
void RepairProducts(SetupContext& context);

// A registered string value of a product key; nothing when it is absent.
std::optional<std::string> ReadRegisteredText(bool localMachine, const char* key, const char* name);
// The setup bits of a registered bit size text ("32 Bit", "64 Bit", "AI Client").
SetupFlags BitSizeFlags(const std::string& bitSize);
