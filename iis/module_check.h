#pragma once
// The server module files the web site serves, and how a missing one is told.
#include <string>
#include <vector>

constexpr char INFO_SERVER_FOLDER[] = "c:\\program files\\CorvantaIS";
constexpr char INFO_SERVER_PROGRAM[] = "CorvantaIS.exe";

std::vector<std::string> ServerModuleFiles();
// The log line for the missing files (present[i] for the i-th file), or an
// empty text when none is missing.
std::string MissingModulesMessage(const std::vector<bool>& present);
