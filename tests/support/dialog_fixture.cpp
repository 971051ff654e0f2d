#include "support/dialog_fixture.h"

#include "ui/setup_dialog.h"

ContextTest::ContextTest() {
    theInstance = ::GetModuleHandleA(nullptr);
    context.startDirectory = startFolder.Path();
}

ContextTest::~ContextTest() {
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

std::string ContextTest::LogText() const { return ReadFileText(context.LogFilePath()); }

void ContextTest::PumpMessages() {
    MSG message;
    while (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&message);
        ::DispatchMessageA(&message);
    }
}
