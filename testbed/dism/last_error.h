#pragma once
// The result of the last failed DISM call, per thread, for
// DismGetLastErrorMessage. Kept by thread id rather than in thread-local
// storage: the library is loaded and unloaded while threads live on, and a
// thread-local destructor must not outlive its DLL.
#include <windows.h>

#include <map>
#include <mutex>
#include <optional>

namespace dism {

class LastErrors {
public:
    void Set(DWORD thread, HRESULT result);
    std::optional<HRESULT> Get(DWORD thread);
    // A thread that ends takes its error along; a later thread with the same
    // id starts without one.
    void Forget(DWORD thread) noexcept;

private:
    std::mutex lock_;
    std::map<DWORD, HRESULT> results_;
};

}  // namespace dism
