#pragma once
// The server module files the web site serves: the check that they are all
// there, and the search of a folder tree for an installation.
#include <string>
#include <vector>

class RunLog;

constexpr char INSTALL_MARKER_FILE[] = "TCorvanta10.dll";
constexpr char INFO_SERVER_FOLDER[] = "c:\\program files\\CorvantaIS";
constexpr char INFO_SERVER_PROGRAM[] = "CorvantaIS.exe";

std::vector<std::string> ServerModuleFiles();
// The log line for the missing files (present[i] for the i-th file), or an
// empty text when none is missing.
std::string MissingModulesMessage(const std::vector<bool>& present);

// Logs which module files the server directory lacks (or that it does not
// exist); gives the folder it examined.
std::string CheckServerModules(const std::string& serverDirectory, RunLog& log);

// Walks a folder tree, depth first, for the server module; true at the first
// find, with serverFolder on its folder (ending in a backslash). The status
// line shows each folder entered; links are not followed.
bool SearchServerFolder(const std::string& folder, std::string& serverFolder, RunLog& log);
// Looks for the information server's program in its fixed folder.
bool LookForInfoServer(std::string& serverFolder, RunLog& log);
