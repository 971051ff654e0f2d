#pragma once
// The run's progress bar: each step adds its weight to the progress done,
// and a long step moves the bar inside its weight as it goes.
class SetupContext;

void ShowProgress(SetupContext& context);
void AdvanceProgress(SetupContext& context, double weight);
// The bar inside a step: `fraction` (0 to 1) of the step's weight done so far,
// on top of the progress done before the step.
void ShowStepProgress(SetupContext& context, double weight, double fraction);
// One part of a step's weight: the part'th of `parts` (from 0), for the bar
// inside the step as that part goes.
struct StepShare {
    double weight = 0;
    int part = 0;
    int parts = 1;
};
void ShowShareProgress(SetupContext& context, const StepShare& share, double fraction);
// The bar position for a progress done and total: percent, truncated.
int ProgressPercent(double done, double total);
