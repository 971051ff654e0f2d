#pragma once
// The Windows features IIS and the server module need, enabled through DISM.
#include <string>
#include <vector>

std::vector<std::string> IisFeatureNames();
// The names joined by ";" in table order.
std::string JoinedIisFeatures();
// current of total in percent, truncated; 0 for a total of 0.
int IisProgressPercent(unsigned current, unsigned total);
std::string IisProgressText(int percent);
class SetupContext;

// Enables the features in one DISM call, its progress in the status line;
// 1 when every call succeeded.
int EnableIisFeatures(SetupContext& context);
