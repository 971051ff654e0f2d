#pragma once
// The outcome of a run, as its steps leave it.
#include <atomic>

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
    // What the run's end says when nothing failed.
    const char* successLine = "Successfully updated Software";
    const char* successBox = "Successfuly completed Setup";
};
