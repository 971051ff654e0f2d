#include "core/progress.h"

#include "core/context.h"

int ProgressPercent(double done, double total) {
    if (total <= 0) return 0;
    return static_cast<int>(done / total * 100.0);
}

void ShowProgress(SetupContext& context) {
    context.observer->Progress(ProgressPercent(context.progress.done, context.progress.total));
}

void AdvanceProgress(SetupContext& context, double weight) {
    context.progress.done += weight;
    ShowProgress(context);
}

void ShowStepProgress(SetupContext& context, double weight, double fraction) {
    if (fraction < 0) fraction = 0;
    if (fraction > 1) fraction = 1;
    context.observer->Progress(ProgressPercent(context.progress.done + weight * fraction, context.progress.total));
}

void ShowShareProgress(SetupContext& context, const StepShare& share, double fraction) {
    if (share.parts <= 0) return;
    if (fraction < 0) fraction = 0;
    if (fraction > 1) fraction = 1;
    ShowStepProgress(context, share.weight, (share.part + fraction) / share.parts);
}
