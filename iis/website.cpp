#include "iis/website.h"

#include <windows.h>

#include "core/context.h"
#include "iis/app_pool.h"
#include "iis/checked_calls.h"
#include "iis/config_access.h"
#include "iis/module_check.h"
#include "iis/site.h"
#include "iis/site_level.h"
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

WebsiteOutcome InstallWebsite(IisSession& session, const SiteSpec& spec, const std::string& docRoot, RunLog& log) {
    WebsiteOutcome outcome;
    // Without the manager and its collections no later step can work.
    if (!OpenIisConfiguration(session, log)) return outcome;
    outcome.serverFolder = CheckServerModules(spec.physicalPath, log);
    outcome.conflict = CheckPortConflict(session, spec);
    if (outcome.conflict) log.Log(LOG_SERVER, outcome.conflict->message);
    if (spec.port == INFO_SERVER_PORT) {
        outcome.result = WriteInfoServerConfig(docRoot, log);
        return outcome;
    }
    if (outcome.conflict) RebindConflictingSite(session, outcome.conflict->siteName, spec.rebindPort, log);
    if (FindAppPool(session, spec.poolName)) {
        UpdateAppPool(session, log);
    } else {
        CreateAppPool(session, spec, log);
    }
    outcome.siteId = ReserveSiteId(session, spec.siteName);
    CreateSite(session, spec, outcome.siteId, log);
    AddIsapiCgiRestriction(session, spec, log);
    HRESULT hr = session.adminManager->CommitChanges();
    if (hr != S_OK) {
        log.Fail(LOG_SERVER, "Could not commit the IIS configuration", "0x" + text::Hex8(static_cast<unsigned long>(hr)));
    }
    win::Bstr commitPath(std::wstring(iis::APPHOST_PATH) + L"/" + win::ToWide(spec.siteName));
    IisCalls(log).Check(session.adminManager->put_CommitPath(commitPath.Get()), "set the commit path");
    ConfigureSiteLevel(session, spec, log);
    hr = session.adminManager->CommitChanges();
    if (hr == S_OK) {
        log.Log(LOG_SERVER, SuccessLine(spec.siteName, spec.poolName));
        outcome.created = true;
    } else {
        log.Fail(LOG_SERVER, "Could not commit the site settings of " + spec.siteName,
                 "0x" + text::Hex8(static_cast<unsigned long>(hr)));
    }
    StartSite(session, spec.siteName, log);
    return outcome;
}
