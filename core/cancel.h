#pragma once
// Cancel during a run: the dialog's thread asks for it, the run's thread
// stops at its next cancel point. What blocks the run is ended from outside:
// the current download request is closed, DISM gets its cancel event, a
// cabinet's extraction aborts; an installer is waited for.
#include <windows.h>
#include <winhttp.h>

#include <atomic>
#include <mutex>

#include "win/handles.h"

class CancelToken {
public:
    CancelToken();
    CancelToken(const CancelToken&) = delete;
    CancelToken& operator=(const CancelToken&) = delete;

    // From any thread: asks the run to stop, and ends what it waits on.
    void Request();
    bool Requested() const { return requested_.load(); }
    // Set when the run is asked to stop (DismEnableFeature takes it).
    HANDLE Event() const { return event_.Get(); }

    // The download request the run waits on. Released by the run before it
    // closes the request itself; false from Untrack when Cancel closed it.
    void Track(HINTERNET request);
    bool Untrack(HINTERNET request);

private:
    std::atomic<bool> requested_{false};
    win::KernelHandle event_;
    std::mutex mutex_;
    HINTERNET tracked_ = nullptr;
    bool closedTracked_ = false;
};
