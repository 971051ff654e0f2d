#include "pauses.h"

#include "call_record.h"
#include "registry.h"
#include "scenario.h"
#include "win/handles.h"

namespace fake {

namespace {

std::string ScenarioKeyOf(const std::string& installer) { return std::string(kScenarioRoot) + "\\" + installer; }

bool FileThere(const std::string& path) { return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

void Tell(const std::string& installer, const std::string& text) {
    WriteStream(STD_ERROR_HANDLE, installer + ": " + text + "\r\n");
}

}  // namespace

PauseSettings ReadPauseSettings(std::optional<DWORD> hold, std::optional<DWORD> holdTimeoutMs,
                                std::optional<DWORD> sleepMs) {
    PauseSettings settings;
    settings.hold = hold.value_or(0) != 0;
    if (holdTimeoutMs) settings.holdLimitMs = *holdTimeoutMs < kHoldLimitMs ? *holdTimeoutMs : kHoldLimitMs;
    settings.sleepMs = sleepMs.value_or(0);
    return settings;
}

HoldResult WaitForRelease(const std::function<bool()>& released, const std::function<ULONGLONG()>& nowMs,
                          const std::function<void(DWORD)>& sleepMs, DWORD limitMs, DWORD pollMs) {
    const ULONGLONG start = nowMs();
    for (;;) {
        if (released()) return HoldResult::released;
        ULONGLONG waited = nowMs() - start;
        if (waited >= limitMs) return HoldResult::timedOut;
        ULONGLONG left = limitMs - waited;
        sleepMs(left < pollMs ? static_cast<DWORD>(left) : pollMs);
    }
}

std::string HoldField(HoldResult result) {
    switch (result) {
        case HoldResult::released: return "HOLD=released";
        case HoldResult::timedOut: return "HOLD=timed-out";
        case HoldResult::failed: break;
    }
    return "HOLD=failed";
}

std::string SleepField(DWORD sleepMs) { return "SLEEPMS=" + std::to_string(sleepMs); }

std::string HoldingFile(const std::string& installer) { return std::string(kTestbedFolder) + "\\" + installer + ".holding"; }

std::string ReleaseFile(const std::string& installer) { return std::string(kTestbedFolder) + "\\" + installer + ".release"; }

void HoldIfAsked(const std::string& installer, std::vector<std::string>& extras) {
    const std::string key = ScenarioKeyOf(installer);
    PauseSettings settings =
        ReadPauseSettings(GetMachineDword(key, "Hold"), GetMachineDword(key, "HoldTimeoutMs"), std::nullopt);
    if (!settings.hold) return;

    // Taken once: whatever happens below, a rerun does not hold again.
    LONG cleared = DeleteMachineValue(key, "Hold");
    if (cleared != ERROR_SUCCESS) {
        Tell(installer, "cannot clear the scenario's Hold (error " + std::to_string(cleared) + "); not holding");
        extras.push_back(HoldField(HoldResult::failed));
        return;
    }
    const std::string holding = HoldingFile(installer);
    const std::string release = ReleaseFile(installer);
    ::DeleteFileA(release.c_str());  // one left from an earlier run must not end this hold
    ::CreateDirectoryA(kTestbedFolder, nullptr);
    win::FileHandle mark(::CreateFileA(holding.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                       CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!mark) {
        Tell(installer, "cannot create " + holding + " (error " + std::to_string(::GetLastError()) + "); not holding");
        extras.push_back(HoldField(HoldResult::failed));
        return;
    }
    mark.Reset();  // the test only looks for it; it must be free to open and delete

    HoldResult result = WaitForRelease([&] { return FileThere(release); }, [] { return ::GetTickCount64(); },
                                       [](DWORD ms) { ::Sleep(ms); }, settings.holdLimitMs);
    if (result == HoldResult::timedOut)
        Tell(installer, release + " did not appear within " + std::to_string(settings.holdLimitMs) +
                            " ms; going on");
    // The release file first: once the holding file is gone, the test knows the run goes on.
    // The test may still be closing the release file it wrote: ask again.
    for (int attempt = 0; attempt < 100 && !::DeleteFileA(release.c_str()) && FileThere(release); ++attempt) {
        ::Sleep(10);
    }
    ::DeleteFileA(holding.c_str());
    extras.push_back(HoldField(result));
}

void SleepIfAsked(const std::string& installer, std::vector<std::string>& extras) {
    PauseSettings settings =
        ReadPauseSettings(std::nullopt, std::nullopt, GetMachineDword(ScenarioKeyOf(installer), "SleepMs"));
    if (settings.sleepMs == 0) return;
    ::Sleep(settings.sleepMs);
    extras.push_back(SleepField(settings.sleepMs));
}

}  // namespace fake
