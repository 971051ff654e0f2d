#pragma once
// What a run tells whoever watches it. The engine reports only here; the
// dialog shows it (from its own thread), quiet mode has the log alone.
#include <windows.h>

#include <string>

class RunObserver {
public:
    virtual ~RunObserver() = default;
    // A text for the status line that is no log line ("Downloading Server Setup").
    virtual void Status(const std::string& text) = 0;
    // A line just written to the setup log, CR LF included.
    virtual void LogLine(const std::string& line) = 0;
    // The run's progress in percent, 0 to 100.
    virtual void Progress(int percent) = 0;
    // A question or an error the user must see during the run (the buttons
    // and icon as for MessageBox); the answer, or IDOK when nobody can answer.
    virtual int Ask(const std::string& text, const std::string& caption, UINT type) = 0;
};
