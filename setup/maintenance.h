#pragma once
// The maintenance dialog's actions: uninstall and repair of the registered
// client and server.
#include <optional>
#include <string>

#include "app/flags.h"

class SetupContext;

// Ends the process (through the context's host) after the chosen action.
void RunMaintenance(SetupContext& context);
void RepairProducts(SetupContext& context);

// A registered string value of a product key; nothing when it is absent.
std::optional<std::string> ReadRegisteredText(bool localMachine, const char* key, const char* name);
// The setup bits of a registered bit size text ("32 Bit", "64 Bit", "AI Client").
SetupFlags BitSizeFlags(const std::string& bitSize);
