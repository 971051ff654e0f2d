#include "iis/iis_session.h"

#include "core/context.h"
#include "iis/checked_calls.h"
#include "iis/config_access.h"
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

}  // namespace

bool OpenIisConfiguration(IisSession& session, RunLog& log, IisNeed need) {
    // The thread's apartment is set already; this only balances itself.
    win::ComInit com(COINIT_APARTMENTTHREADED);
    session = IisSession{};
    auto report = [&log, need](std::string_view message) {
        if (need == IisNeed::Required) {
            log.Fail(LOG_SERVER, message);
        } else {
            log.Log(LOG_SERVER, message);
        }
    };
    HRESULT hr = ::CoCreateInstance(CLSID_AppHostWritableAdminManager, nullptr, CLSCTX_INPROC_SERVER,
                                    IID_IAppHostWritableAdminManager, session.adminManager.PutVoid());
    if (hr != S_OK) {
        report(
                 hr == REGDB_E_CLASSNOTREG
                     ? "You have not selected IIS management tootls and scripts in IIS Installation. Please add these "
                       "features"
                     : "Could not access Writable Admin Manager.Please ensure that you have enabled all features in IIS "
                       "setup in Windows configuration. For updating server setup App should be run in  Administration "
                       "role.");
        session.adminManager.Reset();
        return false;
    }
    for (const OpenStep& step : OPEN_STEPS) {
        if (iis::GetSection(session.adminManager.Get(), step.section, iis::APPHOST_PATH, session.section) != S_OK) {
            report(step.sectionMessage);
            return false;
        }
        if (iis::CollectionOf(session.section.Get(), session.*step.collection) != S_OK) {
            report(step.collectionMessage);
            (session.*step.collection).Reset();
            return false;
        }
    }
    return true;
}

int ReserveSiteId(IisSession& session, const std::string& name) {
    const std::wstring wanted = win::ToWide(name);
    long largest = 0;
    const DWORD count = iis::CountOf(session.sites.Get());
    for (DWORD index = 0; index < count; ++index) {
        if (FAILED(iis::ItemAt(session.sites.Get(), index, session.currentSite))) continue;
        const long id = text::ParseLong(win::ToAnsi(iis::StringProperty(session.currentSite.Get(), L"id")));
        if (iis::StringProperty(session.currentSite.Get(), L"name") == wanted) {
            // The site is replaced and keeps its id.
            session.sites->DeleteElement(win::Variant::Int32(static_cast<long>(index)).Get());
            return static_cast<int>(id);
        }
        if (id > largest) largest = id;
    }
    return static_cast<int>(largest + 1);
}

bool FindAppPool(IisSession& session, const std::string& name) {
    return iis::FindByName(session.pools.Get(), win::ToWide(name), session.currentPool);
}

bool AddIsapiCgiRestriction(IisSession& session, const SiteSpec& spec, RunLog& log) {
    IisCalls calls(log);
    const std::wstring path = win::ToWide(spec.modulePath);
    const std::wstring description = win::ToWide(spec.moduleDescription);
    // IIS refuses a second entry for one path: an earlier one is updated instead.
    if (iis::FindByKeyNoCase(session.restrictions.Get(), L"path", path, session.restrictionEntry)) {
        calls.Set(session.restrictionEntry.Get(), L"allowed", win::Variant::Bool(true));
        calls.Set(session.restrictionEntry.Get(), L"description", win::Variant::Text(description));
        return false;
    }
    if (!calls.Create(session.restrictions.Get(), L"add", session.restrictionEntry)) return false;
    calls.Set(session.restrictionEntry.Get(), L"path", win::Variant::Text(path));
    calls.Set(session.restrictionEntry.Get(), L"allowed", win::Variant::Bool(true));
    calls.Set(session.restrictionEntry.Get(), L"description", win::Variant::Text(description));
    return calls.Append(session.restrictions.Get(), session.restrictionEntry.Get());
}
