#pragma once
// How quickly a dialog answers while it works: a thread of its own sends
// WM_NULL to the dialog at a fixed interval and times each round trip,
// noting the status text shown at that moment.
#include <windows.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace uidriver {

struct ProbeSample {
    double atSeconds = 0;      // since the probe started
    ULONGLONG tickMs = 0;      // GetTickCount64 when it was sent
    double roundTripMs = 0;    // PROBE_GIVE_UP_MS when the dialog did not answer at all
    std::string status;        // the status control's stored text, when one was given
};

constexpr UINT PROBE_GIVE_UP_MS = 10000;

class ResponseProbe {
public:
    // Samples every intervalMs until Stop or until the dialog is gone.
    ResponseProbe(HWND dialog, HWND statusControl = nullptr, DWORD intervalMs = 50);
    ~ResponseProbe();
    ResponseProbe(const ResponseProbe&) = delete;
    ResponseProbe& operator=(const ResponseProbe&) = delete;

    std::vector<ProbeSample> Stop();
    // The samples so far.
    std::vector<ProbeSample> Samples();

private:
    void Run(HWND dialog, HWND statusControl, DWORD intervalMs);

    std::mutex mutex_;
    std::vector<ProbeSample> samples_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// The longest round trip of the samples whose status text contains the
// fragment (all samples for an empty one), and how many there were.
struct ProbeSummary {
    double longestMs = 0;
    size_t count = 0;
};
ProbeSummary Summarize(const std::vector<ProbeSample>& samples, const std::string& statusFragment = "");

}  // namespace uidriver
