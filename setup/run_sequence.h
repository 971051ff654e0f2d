#pragma once
// One run of the setup: progress, the copy of the setup program, then the
// client update, the server update and the SQL Server installation.
#include <string>

class SetupContext;

constexpr char SETUP_COPY_FOLDER[] = "C:\\Program Files\\TovinSoft\\CorvantaAI";
constexpr char SETUP_COPY_PATH[] = "C:\\Program Files\\TovinSoft\\CorvantaAI\\CorvantaSetup.exe";

int RunSetup(SetupContext& context);
void SetProgressWeights(SetupContext& context);
// The "Copying Targets" line written to the standard output when the copy fails.
std::string CopyFailureText(unsigned long code, const std::string& systemText);
void CopySetupProgram(SetupContext& context);
// SQL Server Express, from the installer this run downloaded.
void InstallSqlServer(SetupContext& context);
