#include "setup/progress.h"

#include <windows.h>
#include <commctrl.h>

#include "app/context.h"
#include "setup/setup_log.h"

int ProgressPercent(double done, double total) {
    if (total <= 0) return 0;
    return static_cast<int>(done / total * 100.0);
}

void ShowProgress(SetupContext& context) {
    if (!context.dialog) return;
    ::SendDlgItemMessageA(context.dialog, PROGRESS_BAR_ID, PBM_SETPOS,
                          ProgressPercent(context.progress.done, context.progress.total), 0);
    context.RepaintNow();
}

void AdvanceProgress(SetupContext& context, double weight) {
    context.progress.done += weight;
    ShowProgress(context);
}
