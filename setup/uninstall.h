#pragma once
// The uninstall of the client and the server: what the installation record
// names goes (only unchanged files, only inside its folders, never through a
// link); what the setup did not install, and what other programs share,
// stays and is named in the log.
#include <string>
#include <vector>

class SetupContext;

// The products the context's setup flags name; the report says how it ended.
void UninstallProducts(SetupContext& context);

// What an installation made before records were kept leaves, by name.
std::vector<std::string> KnownServerFiles();
std::vector<std::string> KnownServerPackages();
std::vector<std::string> KnownClientPackages();
std::string KnownClientProgram(const std::string& registeredVersion);
