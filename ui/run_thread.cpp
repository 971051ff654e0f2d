#include "ui/run_thread.h"

#include "core/context.h"
#include "setup/finish.h"
#include "ui/dialog_observer.h"
#include "win/com.h"

void StartRun(SetupContext& context, HWND dialog, std::function<void(SetupContext&)> run) {
    context.runThread = std::thread([&context, dialog, run = std::move(run)] {
        {
            win::ComInit com(COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
            try {
                run(context);
            } catch (...) {
                // Nothing may end the process from here: the run just ends.
                context.Fail(LOG_UI, "The run ended unexpectedly");
            }
        }
        ::PostMessageA(dialog, WM_RUN_DONE, 0, 0);
    });
}

bool RunGoesOn(const SetupContext& context) { return context.runThread.joinable(); }

void EndRun(SetupContext& context) {
    if (context.runThread.joinable()) context.runThread.join();
    HWND dialog = context.dialog;
    context.Watch(nullptr);
    context.dialog = nullptr;
    if (dialog) ::DestroyWindow(dialog);
    FinishProcess(context);
}
