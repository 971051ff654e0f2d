#pragma once
// The one seam between the setup and the end user's session: message boxes,
// the end of the process and the standard output. Production passes every
// call straight to Windows; in-process tests answer boxes and observe the end.
#include <windows.h>

#include <string>
#include <string_view>

class SetupHost {
public:
    virtual ~SetupHost() = default;
    virtual int ShowBox(HWND owner, const std::string& text, const std::string& caption, UINT type) = 0;
    // Production posts the quit message that ends the message loop with this
    // exit code; a test host records it. Either way the caller returns at once.
    virtual void EndProcess(unsigned exitCode) = 0;
    virtual void WriteStandardOutput(std::string_view text) = 0;
};

SetupHost& ProductionHost();
