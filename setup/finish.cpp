#include "setup/finish.h"

#include <string>

#include "app/context.h"

void FinishProcess(SetupContext& context, const char* successLine, const char* successBox) {
    std::string notes =
        context.restartRequired ? "\nPlease restart the computer to complete the installation." : "";
    // Without its log an administrator would not know what happened.
    if (context.logFileOpened && !context.logFile) {
        notes += "\nThe setup log could not be written: " + context.LogFilePath();
    }
    if (context.failedSteps == 0) {
        context.Log(LOG_UI, successLine);
        context.CloseLog();
        context.ShowMessage(successBox + notes);
        context.host.EndProcess(0);
        return;
    }
    // Administrators deploy unattended and read the exit code.
    context.Log(LOG_UI, "Setup completed with errors");
    const std::string logPath = context.LogFilePath();
    context.CloseLog();
    context.ShowMessage("Setup completed with errors. See the setup log: " + logPath + notes);
    context.host.EndProcess(1);
}
