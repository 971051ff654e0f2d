#pragma once
// The outcome of a run, as its steps leave it, and the exit code it gives.
struct RunReport {
    // Steps that failed (a package given up, an installer or an extraction
    // that failed, a write that did not happen); a run with any ends with 1.
    int failedSteps = 0;
    bool restartRequired = false;
    // Something the run cannot trust stopped it: nothing more is fetched,
    // run or unpacked.
    bool stopped = false;
    // Cancel was confirmed during the run; it stopped at its next cancel point.
    bool cancelled = false;
    // A quiet run's command line was refused; nothing was done.
    bool invalidCommandLine = false;
    // What the run's end says when nothing failed.
    const char* successLine = "Successfully updated Software";
    const char* successBox = "Successfuly completed Setup";
};

// Exit codes as Windows Installer and the tools that deploy software read them.
constexpr unsigned EXIT_SUCCESS_DONE = 0;
constexpr unsigned EXIT_FAILED_STEPS = 1;
constexpr unsigned EXIT_CANCELLED = 1602;
constexpr unsigned EXIT_ANOTHER_SETUP_RUNNING = 1618;
constexpr unsigned EXIT_INVALID_COMMAND_LINE = 1639;
constexpr unsigned EXIT_RESTART_REQUIRED = 3010;

// When several apply, the first of: invalid command line, cancelled, failed
// steps, restart required, success.
unsigned ExitCodeFor(const RunReport& report);
