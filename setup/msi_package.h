#pragma once
// What a Windows Installer package says of itself, read from its database
// before it is installed, and its removal by product code.
#include <optional>
#include <string>

// The package's ProductCode ("{...}"); nothing when it cannot be read.
std::optional<std::string> MsiProductCode(const std::string& packagePath);
// The msiexec command that removes an installed product quietly.
struct MsiRemoval {
    std::string application;
    std::string commandLine;
};
MsiRemoval PlanMsiRemoval(const std::string& systemFolder, const std::string& productCode);
// How msiexec's answer to a removal reads.
enum class RemovalAnswer { Removed, RemovedRestart, AlreadyGone, Failed };
RemovalAnswer ClassifyMsiRemoval(unsigned long exitCode);
