#include "setup/finish.h"

#include <string>

#include "core/context.h"

void FinishProcess(SetupContext& context) {
    const char* successLine = context.report.successLine;
    const char* successBox = context.report.successBox;
    std::string notes =
        context.report.restartRequired ? "\nPlease restart the computer to complete the installation." : "";
    // Without its log an administrator would not know what happened.
    if (context.logFileOpened && !context.logFile) {
        notes += "\nThe setup log could not be written: " + context.LogFilePath();
    }
    if (context.report.cancelled) {
        context.Log(LOG_UI, "Setup was cancelled");
        context.CloseLog();
        context.ShowMessage("Setup was cancelled" + notes);
        context.host.EndProcess(EXIT_CANCELLED);
        return;
    }
    if (context.report.failedSteps == 0) {
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
