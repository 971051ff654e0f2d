#include "last_error.h"

namespace dism {

void LastErrors::Set(DWORD thread, HRESULT result) {
    std::lock_guard<std::mutex> hold(lock_);
    results_[thread] = result;
}

std::optional<HRESULT> LastErrors::Get(DWORD thread) {
    std::lock_guard<std::mutex> hold(lock_);
    auto found = results_.find(thread);
    if (found == results_.end()) return std::nullopt;
    return found->second;
}

void LastErrors::Forget(DWORD thread) noexcept {
    try {
        std::lock_guard<std::mutex> hold(lock_);
        results_.erase(thread);
    } catch (...) {
        // Called from DllMain; a lock that cannot be taken leaves a stale entry, no more.
    }
}

}  // namespace dism
