#pragma once
// The running state of application pools: Start, Stop and Recycle work on the
// committed configuration and are recorded in the state log (state_log.h) as
// "name<TAB>AppPool<TAB>event". A pool nobody started or stopped runs when its
// autoStart (or the applicationPoolDefaults' one) is not false, as IIS starts
// such a pool once it is committed.
#include <windows.h>

#include <string>
#include <string_view>

#include "state_log.h"

namespace iisadmin {

inline constexpr wchar_t kPoolKind[] = L"AppPool";

inline constexpr HRESULT kPoolUnknown = kObjectUnknown;
inline constexpr HRESULT kPoolAlreadyStarted = static_cast<HRESULT>(0x80070420);  // ERROR_SERVICE_ALREADY_RUNNING
inline constexpr HRESULT kPoolNotStarted = static_cast<HRESULT>(0x80070426);      // ERROR_SERVICE_NOT_ACTIVE

// What one method does to a pool in that state: the answer, and whether the
// pool runs afterwards. Start on a started pool and Stop or Recycle on a
// stopped one fail and change nothing; E_INVALIDARG for any other method.
struct PoolOutcome {
    HRESULT result = S_OK;
    bool started = false;
};
PoolOutcome ApplyPoolMethod(bool started, std::wstring_view method);

// The event recorded for a method and its answer: "Stop", "Start failed 0x80070420".
std::wstring PoolEvent(std::wstring_view method, HRESULT result);

// Whether the pool of that name runs now; 0x800710D8 for a pool the committed
// file does not have.
HRESULT PoolRunState(std::wstring_view poolName, bool& started);

// Runs "Start", "Stop" or "Recycle" for the pool of that name and records the
// outcome. A pool not in the committed file: 0x800710D8, nothing recorded.
HRESULT RunPoolMethod(std::wstring_view poolName, std::wstring_view method);

}  // namespace iisadmin
