#include "testbed/uidriver/tests/driver_fixture.h"

#include <sstream>

#include "testbed/uidriver/controls.h"
#include "testbed/uidriver/messaging.h"

std::string TargetProgram() { return e2e::WindowsPath(DRIVER_TARGET_EXE); }
std::string DriverProgram() { return e2e::WindowsPath(UI_DRIVER_EXE); }

void TargetTest::SetUp() {
    target.Start(std::to_string(TARGET_EXIT_CODE));
    dialog = target.WaitForDialog(TARGET_CAPTION);
}

HWND TargetTest::Item(int id) const { return uidriver::Control(dialog, id); }

std::vector<std::string> TargetTest::KeyLog() const {
    std::vector<std::string> lines;
    std::istringstream text(uidriver::ControlText(Item(IDC_KEY_LOG)));
    for (std::string line; std::getline(text, line);) lines.push_back(line);
    return lines;
}

void TargetTest::ClearKeyLog() const { uidriver::SendOrThrow(Item(IDC_KEY_LOG), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(""), "clear"); }

std::string TargetTest::Answer() const { return uidriver::ControlText(Item(IDC_ANSWER)); }
