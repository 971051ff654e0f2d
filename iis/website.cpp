#include "iis/website.h"

#include <windows.h>

#include "core/context.h"
#include "iis/app_pool.h"
#include "iis/checked_calls.h"
#include "iis/config_access.h"
#include "iis/module_check.h"
#include "iis/site.h"
#include "iis/site_level.h"
#include "iis/web_config_file.h"
#include "win/handles.h"
#include "win/text.h"

std::string SiteNameForPort(long port) {
    if (port == 80 || port == 443 || port == 1064) return "TCorvanta10";
    return "TCorvanta10" + std::to_string(port);
}

std::wstring BindingInformation(long port) { return L"*:" + std::to_wstring(port) + L":"; }

std::string InfoServerConfigText(std::string_view docRoot) {
    return "DOC_ROOT=" + std::string(docRoot) + "\r\nPORT=1465\r\nENABLE_ISAPI=yes\r\n";
}

std::string SuccessLine(std::string_view siteName, std::string_view poolName) {
    return "Successfully Created Website:" + std::string(siteName) + "  with application pool:" + std::string(poolName);
}

int WriteInfoServerConfig(const std::string& docRoot, RunLog& log) {
    ::DeleteFileA(INFO_SERVER_CONFIG_PATH);
    win::FileHandle file(
        ::CreateFileA(INFO_SERVER_CONFIG_PATH, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        log.Fail(LOG_SERVER, "Could not create the information server configuration",
                 std::string(INFO_SERVER_CONFIG_PATH) + ": " + win::SystemErrorText(::GetLastError()));
        return -1;
    }
    const std::string content = InfoServerConfigText(docRoot);
    DWORD written = 0;
    if (!::WriteFile(file.Get(), content.data(), static_cast<DWORD>(content.size()), &written, nullptr) ||
        written != content.size()) {
        log.Fail(LOG_SERVER, "Could not write the information server configuration", INFO_SERVER_CONFIG_PATH);
        return -2;
    }
    return 0;
}

int StartSite(IisSession& session, const std::string& siteName, RunLog& log) {
    IisCalls calls(log);
    if (!iis::FindByName(session.sites.Get(), win::ToWide(siteName), session.currentSite)) return 1;
    win::ComPtr<IAppHostMethodCollection> methods;
    win::ComPtr<IAppHostMethod> start;
    win::ComPtr<IAppHostMethodInstance> instance;
    if (calls.Check(session.currentSite->get_Methods(methods.Put()), "list the site's methods") && methods &&
        calls.Check(methods->get_Item(win::Variant::Text(L"Start").Get(), start.Put()), "find the site's Start") &&
        start && calls.Check(start->CreateInstance(instance.Put()), "prepare the site's start") && instance) {
        calls.Check(instance->Execute(), "start the site " + siteName);
    }
    return 1;
}

namespace {

// What the changes made so far will put into IIS once a commit writes them: a
// failed commit leaves them pending, so the next successful one does.
struct PendingRecord {
    bool poolMade = false;
    bool restrictionAdded = false;
    std::optional<std::string> movedBinding;
    std::vector<std::string> siteSections;
    bool serverLevel = false;  // the server-level changes wait for a commit
};

bool Committed(HRESULT hr, const std::string& failure, RunLog& log) {
    if (hr == S_OK) return true;
    log.Fail(LOG_SERVER, failure, "0x" + text::Hex8(static_cast<unsigned long>(hr)));
    return false;
}

// Takes what a successful commit wrote into the record, the site and pool as
// the committed configuration has them.
void RecordCommitted(IisSession& session, const SiteSpec& spec, const std::optional<PortConflict>& conflict,
                     PendingRecord& pending, SiteRecord& record) {
    if (pending.serverLevel) {
        win::ComPtr<IAppHostElement> found;
        if (iis::FindByName(session.sites.Get(), win::ToWide(spec.siteName), found)) record.site = spec.siteName;
        if (pending.poolMade && iis::FindByName(session.pools.Get(), win::ToWide(spec.poolName), found)) {
            record.pool = spec.poolName;
        }
        if (pending.restrictionAdded) record.restriction = spec.modulePath;
        if (conflict && pending.movedBinding) {
            record.movedSite = conflict->siteName;
            record.movedBinding = *pending.movedBinding;
        }
        pending.serverLevel = false;
    }
    record.siteSections.insert(record.siteSections.end(), pending.siteSections.begin(), pending.siteSections.end());
    pending.siteSections.clear();
}

}  // namespace

WebsiteOutcome InstallWebsite(IisSession& session, const SiteSpec& spec, const std::string& docRoot, RunLog& log) {
    WebsiteOutcome outcome;
    // The information server's port needs only its configuration file; every
    // other port needs the manager and its collections for every later step.
    const bool infoServer = spec.port == INFO_SERVER_PORT;
    const bool opened = OpenIisConfiguration(session, log, infoServer ? IisNeed::Optional : IisNeed::Required);
    if (!opened && !infoServer) return outcome;
    outcome.serverFolder = CheckServerModules(spec.physicalPath, log);
    if (opened) {
        outcome.conflict = CheckPortConflict(session, spec);
        if (outcome.conflict) log.Log(LOG_SERVER, outcome.conflict->message);
    }
    if (infoServer) {
        outcome.result = WriteInfoServerConfig(docRoot, log);
        return outcome;
    }
    PendingRecord pending;
    if (outcome.conflict) {
        // Moved onto a port in use, the other site would clash with that one
        // instead; better to make nothing and say why.
        if (SiteUsingPort(session, spec.rebindPort, spec.siteName)) {
            log.Fail(LOG_SERVER, RebindBlockedMessage(spec.port, outcome.conflict->siteName, spec.rebindPort));
            return outcome;
        }
        pending.movedBinding = RebindConflictingSite(session, outcome.conflict->siteName, spec.rebindPort, log);
    }
    if (FindAppPool(session, spec.poolName)) {
        UpdateAppPool(session, log);
    } else {
        CreateAppPool(session, spec, log);
        pending.poolMade = true;
    }
    outcome.siteId = ReserveSiteId(session, spec.siteName);
    CreateSite(session, spec, outcome.siteId, log);
    pending.restrictionAdded = AddIsapiCgiRestriction(session, spec, log);
    pending.serverLevel = true;
    if (Committed(session.adminManager->CommitChanges(), "Could not commit the IIS configuration", log)) {
        RecordCommitted(session, spec, outcome.conflict, pending, outcome.record);
    }
    win::Bstr commitPath(std::wstring(iis::APPHOST_PATH) + L"/" + win::ToWide(spec.siteName));
    IisCalls(log).Check(session.adminManager->put_CommitPath(commitPath.Get()), "set the commit path");
    const std::string webConfig = SiteWebConfigPath(spec.physicalPath);
    const bool webConfigExisted = IsExistingFile(webConfig);
    pending.siteSections = ConfigureSiteLevel(session, spec, log);
    if (Committed(session.adminManager->CommitChanges(), "Could not commit the site settings of " + spec.siteName,
                  log)) {
        RecordCommitted(session, spec, outcome.conflict, pending, outcome.record);
        outcome.record.webConfigCreated = !webConfigExisted && IsExistingFile(webConfig);
        log.Log(LOG_SERVER, SuccessLine(spec.siteName, spec.poolName));
        outcome.created = true;
    }
    StartSite(session, spec.siteName, log);
    return outcome;
}
