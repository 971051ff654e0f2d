#include "setup/finish.h"

#include <string>

#include "core/context.h"

unsigned FinishProcess(SetupContext& context) {
    const RunReport& report = context.report;
    std::string notes = report.restartRequired ? "\nPlease restart the computer to complete the installation." : "";
    // Without its log an administrator would not know what happened.
    if (context.logFileOpened && !context.logFile) {
        notes += "\nThe setup log could not be written: " + context.LogFilePath();
    }
    std::string line;
    std::string box;
    if (report.cancelled) {
        line = "Setup was cancelled";
        box = line + notes;
    } else if (report.failedSteps == 0) {
        line = report.successLine;
        box = report.successBox + notes;
    } else {
        line = "Setup completed with errors";
        box = "Setup completed with errors. See the setup log: " + context.LogFilePath() + notes;
    }
    const unsigned exitCode = ExitCodeFor(report);
    context.Log(LOG_UI, line);
    // A quiet run shows no box: what it would say goes to the log.
    if (context.quiet) context.ShowMessage(box);
    context.CloseLog();
    if (!context.quiet) context.ShowMessage(box);
    context.host.EndProcess(exitCode);
    return exitCode;
}
