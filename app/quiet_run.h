#pragma once
// A run with no window and no box, from the command line alone, as software
// distribution tools start the setup: the engine on the main thread, the
// log as its only witness, and a standard exit code.
#include <optional>
#include <string>
#include <vector>

#include "app/quiet_options.h"

class SetupContext;

// Runs the setup as the words say and gives its exit code.
unsigned RunQuiet(SetupContext& context, const std::vector<std::string>& words);

// The checks that need the machine: the folder owners and the password
// file; the refusal ("<switch>: <why>") or nothing, with the password read.
std::optional<std::string> CheckOnMachine(const QuietChoices& choices, std::string& password);
