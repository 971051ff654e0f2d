#include "ui/dialog_observer.h"

#include <commctrl.h>

#include <string>

#include "core/context.h"
#include "core/setup_log.h"

namespace {

struct Question {
    std::string text;
    std::string caption;
    UINT type = 0;
};

class DialogObserver final : public RunObserver {
public:
    DialogObserver(SetupContext& context, HWND dialog)
        : context_(context), dialog_(dialog), thread_(::GetWindowThreadProcessId(dialog, nullptr)) {}

    // From the dialog's own thread the change is made at once; from the
    // run's thread it is posted, and the run goes on without waiting.
    void Status(const std::string& text) override { Show(text); }
    void LogLine(const std::string& line) override { Show(line); }
    void Progress(int percent) override {
        if (OnDialogThread()) {
            ::SendDlgItemMessageA(dialog_, PROGRESS_BAR_ID, PBM_SETPOS, static_cast<WPARAM>(percent), 0);
        } else {
            ::PostMessageA(dialog_, WM_RUN_PROGRESS, static_cast<WPARAM>(percent), 0);
        }
    }
    int Ask(const std::string& text, const std::string& caption, UINT type) override {
        Question question{text, caption, type};
        // From the dialog's own thread the box is shown at once; from the
        // run's thread the dialog shows it and the run waits for the answer.
        if (OnDialogThread()) return context_.host.ShowBox(dialog_, text, caption, type);
        return static_cast<int>(::SendMessageA(dialog_, WM_RUN_ASK, 0, reinterpret_cast<LPARAM>(&question)));
    }

private:
    bool OnDialogThread() const { return ::GetCurrentThreadId() == thread_; }
    void Show(const std::string& text) {
        if (OnDialogThread()) {
            ::SetDlgItemTextA(dialog_, STATUS_LINE_ID, text.c_str());
            return;
        }
        auto* copy = new std::string(text);
        if (!::PostMessageA(dialog_, WM_RUN_STATUS, 0, reinterpret_cast<LPARAM>(copy))) delete copy;
    }

    SetupContext& context_;
    HWND dialog_;
    DWORD thread_;
};

}  // namespace

std::unique_ptr<RunObserver> MakeDialogObserver(SetupContext& context, HWND dialog) {
    return std::make_unique<DialogObserver>(context, dialog);
}

bool HandleRunMessage(SetupContext& context, HWND dialog, UINT message, WPARAM wParam, LPARAM lParam,
                      INT_PTR& result) {
    switch (message) {
        case WM_RUN_STATUS: {
            std::unique_ptr<std::string> text(reinterpret_cast<std::string*>(lParam));
            ::SetDlgItemTextA(dialog, STATUS_LINE_ID, text->c_str());
            result = TRUE;
            return true;
        }
        case WM_RUN_PROGRESS:
            ::SendDlgItemMessageA(dialog, PROGRESS_BAR_ID, PBM_SETPOS, wParam, 0);
            result = TRUE;
            return true;
        case WM_RUN_ASK: {
            const auto* question = reinterpret_cast<const Question*>(lParam);
            const int answer = context.host.ShowBox(dialog, question->text, question->caption, question->type);
            ::SetWindowLongPtrA(dialog, DWLP_MSGRESULT, answer);
            result = TRUE;
            return true;
        }
        default:
            return false;
    }
}
