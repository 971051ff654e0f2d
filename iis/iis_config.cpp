#include "app/context.h"
#include "iis/config_access.h"
#include "setup/server_setup.h"
#include "win/text.h"

namespace {

struct OpenStep {
    const wchar_t* section;
    const char* sectionMessage;
    const char* collectionMessage;
    win::ComPtr<IAppHostElementCollection> IisSession::*collection;
};

constexpr OpenStep OPEN_STEPS[] = {
    {L"system.applicationHost/sites",
     "Could not access Site Section.You must run this App in Administration role while running server setup.",
     "Could not access Site Collection", &IisSession::sites},
    {L"system.applicationHost/applicationPools", "Could not access Application Pool Section",
     "Could not get Application Pool Collection", &IisSession::pools},
    {L"system.webServer/security/isapiCgiRestriction", "Could not get security section",
     "Could not get restriction collection", &IisSession::restrictions},
};

bool EqualsNoCaseWide(std::wstring_view a, std::wstring_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (::towlower(a[i]) != ::towlower(b[i])) return false;
    }
    return true;
}

}  // namespace

int ServerSetup::OpenIisConfiguration() {
    // The thread's apartment is set already; this only balances itself.
    win::ComInit com(COINIT_APARTMENTTHREADED);
    iis = IisSession{};
    HRESULT hr = ::CoCreateInstance(CLSID_AppHostWritableAdminManager, nullptr, CLSCTX_INPROC_SERVER,
                                    IID_IAppHostWritableAdminManager, iis.adminManager.PutVoid());
    if (hr != S_OK) {
        owner.Log(LOG_SERVER,
                  hr == REGDB_E_CLASSNOTREG
                      ? "You have not selected IIS management tootls and scripts in IIS Installation. Please add these "
                        "features"
                      : "Could not access Writable Admin Manager.Please ensure that you have enabled all features in IIS "
                        "setup in Windows configuration. For updating server setup App should be run in  Administration "
                        "role.");
        iis.adminManager.Reset();
        return 0;
    }
    for (const OpenStep& step : OPEN_STEPS) {
        if (iis::GetSection(iis.adminManager.Get(), step.section, iis::APPHOST_PATH, iis.section) != S_OK) {
            owner.Log(LOG_SERVER, step.sectionMessage);
            return 0;
        }
        if (iis::CollectionOf(iis.section.Get(), iis.*step.collection) != S_OK) {
            owner.Log(LOG_SERVER, step.collectionMessage);
            (iis.*step.collection).Reset();
            return 0;
        }
    }
    return 1;
}

void ServerSetup::ReserveSiteId(const std::string& name) {
    const std::wstring wanted = win::ToWide(name);
    long largest = 0;
    const DWORD count = iis::CountOf(iis.sites.Get());
    for (DWORD index = 0; index < count; ++index) {
        if (FAILED(iis::ItemAt(iis.sites.Get(), index, iis.currentSite))) continue;
        const long id = iis::ParseId(iis::StringProperty(iis.currentSite.Get(), L"id"));
        if (iis::StringProperty(iis.currentSite.Get(), L"name") == wanted) {
            // The site is replaced and keeps its id.
            siteId = id;
            iis.sites->DeleteElement(win::Variant::Int32(static_cast<long>(index)).Get());
            return;
        }
        if (id > largest) largest = id;
    }
    siteId = largest + 1;
}

bool ServerSetup::FindAppPool(const std::string& name) {
    const std::wstring wanted = win::ToWide(name);
    const DWORD count = iis::CountOf(iis.pools.Get());
    for (DWORD index = 0; index < count; ++index) {
        if (FAILED(iis::ItemAt(iis.pools.Get(), index, iis.currentPool))) continue;
        if (iis::StringProperty(iis.currentPool.Get(), L"name") == wanted) return true;
    }
    return false;
}

int ServerSetup::AddIsapiCgiRestriction() {
    const std::wstring path = win::ToWide(modulePath);
    const std::wstring description = win::ToWide(moduleDescription);
    // IIS refuses a second entry for one path: an earlier one is updated instead.
    const DWORD count = iis::CountOf(iis.restrictions.Get());
    for (DWORD index = 0; index < count; ++index) {
        win::ComPtr<IAppHostElement> entry;
        if (FAILED(iis::ItemAt(iis.restrictions.Get(), index, entry))) continue;
        if (EqualsNoCaseWide(iis::StringProperty(entry.Get(), L"path"), path)) {
            iis.restrictionEntry = entry;
            iis::SetProperty(entry.Get(), L"allowed", win::Variant::Bool(true));
            iis::SetProperty(entry.Get(), L"description", win::Variant::Text(description));
            return 1;
        }
    }
    if (FAILED(iis::CreateElement(iis.restrictions.Get(), L"add", iis.restrictionEntry))) return 1;
    iis::SetProperty(iis.restrictionEntry.Get(), L"path", win::Variant::Text(path));
    iis::SetProperty(iis.restrictionEntry.Get(), L"allowed", win::Variant::Bool(true));
    iis::SetProperty(iis.restrictionEntry.Get(), L"description", win::Variant::Text(description));
    iis::Append(iis.restrictions.Get(), iis.restrictionEntry.Get());
    return 1;
}
