#include "pool_state.h"

#include "document.h"

namespace iisadmin {
namespace {

constexpr wchar_t kPools[] = L"system.applicationHost/applicationPools";

bool AutoStarts(const Node& pool, const Node& pools) {
    const std::wstring* autoStart = pool.Attribute(L"autoStart");
    if (!autoStart) {
        if (Node::Ptr defaults = pools.Child(L"applicationPoolDefaults")) autoStart = defaults->Attribute(L"autoStart");
    }
    return !autoStart || !EqualsNoCase(*autoStart, L"false");
}

// The committed entry of that name with its state; kPoolUnknown when there is none.
HRESULT FindCommittedPool(std::wstring_view poolName, std::wstring& name, bool& started) {
    Node::Ptr pools;
    if (HRESULT hr = ReadCommittedSection(kPools, pools); FAILED(hr)) return hr;
    if (!pools || poolName.empty()) return kPoolUnknown;
    Node::Ptr pool;
    for (const auto& candidate : pools->Children(L"add")) {
        const std::wstring* candidateName = candidate->Attribute(L"name");
        if (candidateName && EqualsNoCase(*candidateName, poolName)) pool = candidate;
    }
    if (!pool) return kPoolUnknown;
    name = *pool->Attribute(L"name");
    const std::map<std::wstring, bool> recorded = CurrentRecordedStates(kPoolKind);
    auto state = recorded.find(FoldedName(name));
    started = state != recorded.end() ? state->second : AutoStarts(*pool, *pools);
    return S_OK;
}

}  // namespace

PoolOutcome ApplyPoolMethod(bool started, std::wstring_view method) {
    if (method == L"Start") return started ? PoolOutcome{kPoolAlreadyStarted, true} : PoolOutcome{S_OK, true};
    if (method == L"Stop") return started ? PoolOutcome{S_OK, false} : PoolOutcome{kPoolNotStarted, false};
    // A recycle replaces the worker processes of a running pool; a stopped pool has none.
    if (method == L"Recycle") return started ? PoolOutcome{S_OK, true} : PoolOutcome{kPoolNotStarted, false};
    return PoolOutcome{E_INVALIDARG, started};
}

std::wstring PoolEvent(std::wstring_view method, HRESULT result) {
    std::wstring event(method);
    if (SUCCEEDED(result)) return event;
    event += L" failed 0x";
    const unsigned long code = static_cast<unsigned long>(result);
    for (int shift = 28; shift >= 0; shift -= 4) event += L"0123456789ABCDEF"[(code >> shift) & 0xF];
    return event;
}

HRESULT PoolRunState(std::wstring_view poolName, bool& started) {
    std::wstring name;
    return FindCommittedPool(poolName, name, started);
}

HRESULT RunPoolMethod(std::wstring_view poolName, std::wstring_view method) {
    std::wstring name;
    bool started = false;
    if (HRESULT hr = FindCommittedPool(poolName, name, started); FAILED(hr)) return hr;
    const PoolOutcome outcome = ApplyPoolMethod(started, method);
    if (outcome.result == E_INVALIDARG) return outcome.result;
    // A started pool stops once its worker processes have ended; a scenario
    // can make that take a while.
    if (started && !outcome.started) {
        const DWORD stopMs = ReadSettings().poolStopMs;
        if (stopMs > 0) ::Sleep(stopMs > 60000 ? 60000 : stopMs);
    }
    AppendStateRecord({name, kPoolKind, PoolEvent(method, outcome.result)});
    return outcome.result;
}

}  // namespace iisadmin
