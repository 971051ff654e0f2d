#include "setup/finish.h"

#include <string>

#include "app/context.h"

void FinishProcess(SetupContext& context, const char* successLine, const char* successBox) {
    const std::string restartNote =
        context.restartRequired ? "\nPlease restart the computer to complete the installation." : "";
    if (context.failedSteps == 0) {
        context.Log(LOG_UI, successLine);
        context.CloseLog();
        context.ShowMessage(successBox + restartNote);
        context.host.EndProcess(0);
        return;
    }
    // Administrators deploy unattended and read the exit code.
    context.Log(LOG_UI, "Setup completed with errors");
    const std::string logPath = context.LogFilePath();
    context.CloseLog();
    context.ShowMessage("Setup completed with errors. See the setup log: " + logPath + restartNote);
    context.host.EndProcess(1);
}
