#pragma once
// Registration of the client and the server: product keys and the entries in
// the Windows list of installed programs.
#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "core/flags.h"

class SetupContext;

constexpr char CLIENT_KEY[] = "Software\\TovinSoft\\Corvanta10\\Client";
constexpr char SERVER_KEY[] = "SOFTWARE\\TovinSoft\\Corvanta10\\Server";
constexpr char UNINSTALL_KEY_FORMAT[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

// Kind LOG_CLIENT registers the client, anything else the server. 0 when the
// uninstall entry could not be written.
int RegisterProduct(SetupContext& context, LogCategory kind);
// 1 when the key could be created or opened and the value written.
int WriteRegistryString(HKEY root, const std::string& key, const std::string& name, const std::string& value,
                        REGSAM view = 0);

// Writes the value; a failure is logged and counted as a failed step.
bool WriteChecked(SetupContext& context, HKEY root, const std::string& key, const std::string& name,
                  const std::string& value, REGSAM view = 0);

struct UninstallEntry {
    std::string keyPath;
    std::vector<std::pair<std::string, std::string>> values;  // in writing order
};
UninstallEntry PlanUninstallEntry(LogCategory kind, SetupFlags flags, const std::string& clientDirectory,
                                  const std::string& serverDirectory, const std::string& installDate = "");
// The entry's InstallDate: yyyymmdd.
std::string InstallDateText(const SYSTEMTIME& local);
// The bit size text stored with the client, for its repair.
std::string BitSizeText(SetupFlags flags);
