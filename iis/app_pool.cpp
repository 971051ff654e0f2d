#include "app/context.h"
#include "iis/config_access.h"
#include "setup/server_setup.h"
#include "win/text.h"

namespace {

constexpr short PIPELINE_CLASSIC = 1;
constexpr short IDENTITY_LOCAL_SYSTEM = 0;

// The fixed settings of the server module's pool.
void ApplyPoolSettings(IAppHostElement* pool) {
    iis::SetProperty(pool, L"autoStart", win::Variant::Bool(true));
    iis::SetProperty(pool, L"managedPipelineMode", win::Variant::Int16(PIPELINE_CLASSIC));
    iis::SetProperty(pool, L"managedRuntimeVersion", win::Variant::Text(L""));
    iis::SetProperty(pool, L"enable32BitAppOnWin64", win::Variant::Bool(false));
    win::ComPtr<IAppHostElement> processModel, failure;
    if (SUCCEEDED(iis::ChildElement(pool, L"processModel", processModel))) {
        iis::SetProperty(processModel.Get(), L"identityType", win::Variant::Int16(IDENTITY_LOCAL_SYSTEM));
    }
    if (SUCCEEDED(iis::ChildElement(pool, L"failure", failure))) {
        iis::SetProperty(failure.Get(), L"rapidFailProtection", win::Variant::Bool(false));
    }
}

}  // namespace

int ServerSetup::CreateAppPool() {
    if (FAILED(iis::CreateElement(iis.pools.Get(), L"add", iis.currentPool))) return 1;
    iis::SetProperty(iis.currentPool.Get(), L"name", win::Variant::Text(win::ToWide(poolName)));
    ApplyPoolSettings(iis.currentPool.Get());
    iis::Append(iis.pools.Get(), iis.currentPool.Get());
    return 1;
}

int ServerSetup::UpdateAppPool() {
    ApplyPoolSettings(iis.currentPool.Get());
    return 1;
}
