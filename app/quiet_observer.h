#pragma once
// Who watches a quiet run: nobody but the log. A box the run would show is
// written to the log and answered with its default button.
#include <windows.h>

#include <string>

#include "core/observer.h"

class SetupContext;

// The button a box of this type (MB_YESNO | MB_DEFBUTTON2, ...) answers with
// when nobody presses one: its default button.
int DefaultAnswer(UINT type);

class QuietObserver final : public RunObserver {
public:
    explicit QuietObserver(SetupContext& context) : context_(context) {}
    void Status(const std::string&) override {}
    void LogLine(const std::string&) override {}
    void Progress(int) override {}
    int Ask(const std::string& text, const std::string& caption, UINT type) override;

private:
    SetupContext& context_;
};
