#include "testbed/uidriver/probe.h"

#include <algorithm>

#include "testbed/uidriver/messaging.h"

namespace uidriver {
namespace {

double MillisecondsSince(const LARGE_INTEGER& start) {
    LARGE_INTEGER now, frequency;
    ::QueryPerformanceCounter(&now);
    ::QueryPerformanceFrequency(&frequency);
    return static_cast<double>(now.QuadPart - start.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

}  // namespace

ResponseProbe::ResponseProbe(HWND dialog, HWND statusControl, DWORD intervalMs)
    : thread_([this, dialog, statusControl, intervalMs] { Run(dialog, statusControl, intervalMs); }) {}

ResponseProbe::~ResponseProbe() { Stop(); }

void ResponseProbe::Run(HWND dialog, HWND statusControl, DWORD intervalMs) {
    LARGE_INTEGER begin;
    ::QueryPerformanceCounter(&begin);
    while (!stop_ && ::IsWindow(dialog)) {
        LARGE_INTEGER sent;
        ::QueryPerformanceCounter(&sent);
        const ULONGLONG tick = ::GetTickCount64();
        DWORD_PTR result = 0;
        const bool answered =
            ::SendMessageTimeoutA(dialog, WM_NULL, 0, 0, SMTO_NORMAL, PROBE_GIVE_UP_MS, &result) != 0;
        if (!answered && !::IsWindow(dialog)) break;  // gone, not slow
        ProbeSample sample;
        sample.roundTripMs = answered ? MillisecondsSince(sent) : PROBE_GIVE_UP_MS;
        sample.atSeconds = MillisecondsSince(begin) / 1000.0;
        sample.tickMs = tick;
        if (statusControl) sample.status = StoredText(statusControl);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            samples_.push_back(std::move(sample));
        }
        const double spent = MillisecondsSince(sent);
        if (spent < intervalMs) ::Sleep(static_cast<DWORD>(intervalMs - spent));
    }
}

std::vector<ProbeSample> ResponseProbe::Stop() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    return Samples();
}

std::vector<ProbeSample> ResponseProbe::Samples() {
    std::lock_guard<std::mutex> lock(mutex_);
    return samples_;
}

ProbeSummary Summarize(const std::vector<ProbeSample>& samples, const std::string& statusFragment) {
    ProbeSummary summary;
    for (const ProbeSample& sample : samples) {
        if (!statusFragment.empty() && sample.status.find(statusFragment) == std::string::npos) continue;
        ++summary.count;
        summary.longestMs = std::max(summary.longestMs, sample.roundTripMs);
    }
    return summary;
}

}  // namespace uidriver
