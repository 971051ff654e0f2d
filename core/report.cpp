#include "core/report.h"

unsigned ExitCodeFor(const RunReport& report) {
    if (report.invalidCommandLine) return EXIT_INVALID_COMMAND_LINE;
    if (report.cancelled) return EXIT_CANCELLED;
    if (report.failedSteps > 0) return EXIT_FAILED_STEPS;
    if (report.restartRequired) return EXIT_RESTART_REQUIRED;
    return EXIT_SUCCESS_DONE;
}
