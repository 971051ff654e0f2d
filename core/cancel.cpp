#include "core/cancel.h"

CancelToken::CancelToken() : event_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

void CancelToken::Request() {
    requested_ = true;
    if (event_) ::SetEvent(event_.Get());
    std::lock_guard<std::mutex> lock(mutex_);
    if (tracked_ && !closedTracked_) {
        // Closing the request ends the read the run's thread waits in.
        ::WinHttpCloseHandle(tracked_);
        closedTracked_ = true;
    }
}

void CancelToken::Track(HINTERNET request) {
    std::lock_guard<std::mutex> lock(mutex_);
    tracked_ = request;
    closedTracked_ = false;
    if (requested_ && request) {
        ::WinHttpCloseHandle(request);
        closedTracked_ = true;
    }
}

bool CancelToken::Untrack(HINTERNET request) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (tracked_ != request) return true;
    tracked_ = nullptr;
    return !closedTracked_;
}
