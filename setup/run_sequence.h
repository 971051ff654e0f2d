#pragma once
// One run of the setup: progress, the copy of the setup program, then the
// client update, the server update and the SQL Server installation.
#include <string>
#include <vector>

class SetupContext;

// The fixed copy of the setup that Programs and Features starts:
// <Program Files>\TovinSoft\CorvantaAI\CorvantaSetup.exe.
std::string SetupCopyFolder();
std::string SetupCopyPath();
// True when both paths name one file (the same volume and file index), as
// when the setup runs from its own copy; false when either is missing.
bool IsSameFile(const std::string& a, const std::string& b);

int RunSetup(SetupContext& context);
void SetProgressWeights(SetupContext& context);
// The "Copying Targets" line written to the standard output when the copy fails.
std::string CopyFailureText(unsigned long code, const std::string& systemText);
// True when the copy is in place (or the setup runs from it).
bool CopySetupProgram(SetupContext& context);
// A cancel point between two products: true, with what was finished before
// named in the log ("Kept after Cancel: ..."), when Cancel was confirmed.
bool StoppedByCancel(SetupContext& context, const std::vector<std::string>& kept);
// SQL Server Express, from the installer this run downloaded.
void InstallSqlServer(SetupContext& context);
