#include "support/dialog_fixture.h"

#include "ui/sql_check.h"

#include "core/setup_log.h"

#include "ui/setup_dialog.h"

ContextTest::ContextTest() {
    theInstance = ::GetModuleHandleA(nullptr);
    context.startDirectory = startFolder.Path();
}

ContextTest::~ContextTest() {
    WaitForSqlDetection();
    if (context.dialog && ::IsWindow(context.dialog)) ::DestroyWindow(context.dialog);
    context.CloseLog();
}

HWND ContextTest::OpenDialog(int templateId, ModeFlags mode) {
    context.modeFlags = mode;
    return CreateSetupDialog(context, templateId);
}

std::string ContextTest::ControlText(int id) const {
    HWND control = Control(id);
    int length = ::GetWindowTextLengthA(control);
    std::string text(static_cast<size_t>(length) + 1, '\0');
    ::GetWindowTextA(control, text.data(), length + 1);
    text.resize(static_cast<size_t>(length));
    return text;
}

void ContextTest::SetControlText(int id, const std::string& text) { ::SetWindowTextA(Control(id), text.c_str()); }

std::string ContextTest::LogText() const {
    // The test build's notice opens every log; the tests look at what follows.
    const std::string notice = std::string("User Interface:") + TEST_KEY_NOTICE + "\r\n";
    std::string log = ReadFileText(context.LogFilePath());
    if (log.rfind(notice, 0) == 0) log.erase(0, notice.size());
    return log;
}

bool ContextTest::WaitForEnd() {
    const ULONGLONG deadline = ::GetTickCount64() + 60000;
    while (!host.exitCode && ::GetTickCount64() < deadline) {
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        PumpMessages();
    }
    return host.exitCode.has_value();
}

void ContextTest::WaitForDialogChecks() {
    const ULONGLONG deadline = ::GetTickCount64() + 30000;
    while (SqlDetectionPending() && ::GetTickCount64() < deadline) {
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        PumpMessages();
    }
}

void ContextTest::PumpMessages() {
    MSG message;
    while (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&message);
        ::DispatchMessageA(&message);
    }
}
