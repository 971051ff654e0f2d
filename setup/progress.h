#pragma once
// The run's progress bar: each step adds its weight to the progress done.
class SetupContext;

void ShowProgress(SetupContext& context);
void AdvanceProgress(SetupContext& context, double weight);
// The bar position for a progress done and total: percent, truncated.
int ProgressPercent(double done, double total);
