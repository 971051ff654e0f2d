#include "iis/app_pool.h"

#include "iis/checked_calls.h"
#include "win/text.h"

namespace {

constexpr short PIPELINE_CLASSIC = 1;
constexpr short IDENTITY_LOCAL_SYSTEM = 0;

// The fixed settings of the server module's pool.
void ApplyPoolSettings(IisCalls& calls, IAppHostElement* pool) {
    calls.Set(pool, L"autoStart", win::Variant::Bool(true));
    calls.Set(pool, L"managedPipelineMode", win::Variant::Int16(PIPELINE_CLASSIC));
    calls.Set(pool, L"managedRuntimeVersion", win::Variant::Text(L""));
    calls.Set(pool, L"enable32BitAppOnWin64", win::Variant::Bool(false));
    win::ComPtr<IAppHostElement> processModel, failure;
    if (calls.Child(pool, L"processModel", processModel)) {
        calls.Set(processModel.Get(), L"identityType", win::Variant::Int16(IDENTITY_LOCAL_SYSTEM));
    }
    if (calls.Child(pool, L"failure", failure)) {
        calls.Set(failure.Get(), L"rapidFailProtection", win::Variant::Bool(false));
    }
}

}  // namespace

int CreateAppPool(IisSession& session, const SiteSpec& spec, RunLog& log) {
    IisCalls calls(log);
    if (!calls.Create(session.pools.Get(), L"add", session.currentPool)) return 1;
    calls.Set(session.currentPool.Get(), L"name", win::Variant::Text(win::ToWide(spec.poolName)));
    ApplyPoolSettings(calls, session.currentPool.Get());
    calls.Append(session.pools.Get(), session.currentPool.Get());
    return 1;
}

int UpdateAppPool(IisSession& session, RunLog& log) {
    IisCalls calls(log);
    ApplyPoolSettings(calls, session.currentPool.Get());
    return 1;
}
