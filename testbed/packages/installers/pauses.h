#pragma once
// The pauses a test can put into a fake installer's run through its scenario:
//   Hold      (REG_DWORD, not 0) wait once, before the work, until the test
//             says go: the installer creates C:\CorvantaTestbed\<name>.holding
//             and goes on when <name>.release appears
//   HoldTimeoutMs (REG_DWORD) how long it waits at most; default and upper bound 120 s
//   SleepMs   (REG_DWORD) sleep that long after the work, before finishing
// Each pause adds a field to the installer's call record.
#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace fake {

inline constexpr DWORD kHoldPollMs = 50;
inline constexpr DWORD kHoldLimitMs = 120000;

struct PauseSettings {
    bool hold = false;
    DWORD holdLimitMs = kHoldLimitMs;
    DWORD sleepMs = 0;
};

// The settings from the scenario's raw values (nothing: the value is not set).
PauseSettings ReadPauseSettings(std::optional<DWORD> hold, std::optional<DWORD> holdTimeoutMs,
                                std::optional<DWORD> sleepMs);

enum class HoldResult { released, timedOut, failed };

// Asks `released` at once and then every `pollMs` until it says yes or
// `limitMs` have passed on `nowMs`; the last wait is cut to end at the limit,
// where `released` is asked one last time.
HoldResult WaitForRelease(const std::function<bool()>& released, const std::function<ULONGLONG()>& nowMs,
                          const std::function<void(DWORD)>& sleepMs, DWORD limitMs, DWORD pollMs = kHoldPollMs);

// The call record's fields: "HOLD=released", "HOLD=timed-out", "HOLD=failed"; "SLEEPMS=<n>".
std::string HoldField(HoldResult result);
std::string SleepField(DWORD sleepMs);

// C:\CorvantaTestbed\<installer>.holding and .release.
std::string HoldingFile(const std::string& installer);
std::string ReleaseFile(const std::string& installer);

// Take the installer's hold (clearing Hold first, so a rerun goes straight
// through) or sleep, when its scenario asks for it, and add the field to
// `extras`. A hold that cannot be cleared or whose holding file cannot be
// made does not wait: it is recorded as failed and told on standard error.
void HoldIfAsked(const std::string& installer, std::vector<std::string>& extras);
void SleepIfAsked(const std::string& installer, std::vector<std::string>& extras);

}  // namespace fake
