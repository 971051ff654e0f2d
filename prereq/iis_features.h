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

// Enables the features in one DISM call, its progress in the status line.
// When their files are missing, each feature not yet installed gets a call
// of its own; each one left off is a failed step. 1 when every feature is on.
int EnableIisFeatures(SetupContext& context);
