#include "iis/website.h"

#include <windows.h>

#include "app/context.h"
#include "iis/config_access.h"
#include "setup/progress.h"
#include "setup/server_setup.h"
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

int ServerSetup::WriteInfoServerConfig() {
    ::DeleteFileA(INFO_SERVER_CONFIG_PATH);
    win::FileHandle file(
        ::CreateFileA(INFO_SERVER_CONFIG_PATH, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        owner.Log(LOG_SERVER, "Could not create the information server configuration",
                  std::string(INFO_SERVER_CONFIG_PATH) + ": " + win::SystemErrorText(::GetLastError()));
        ++owner.failedSteps;
        return -1;
    }
    const std::string content = InfoServerConfigText(docRoot);
    DWORD written = 0;
    if (!::WriteFile(file.Get(), content.data(), static_cast<DWORD>(content.size()), &written, nullptr) ||
        written != content.size()) {
        owner.Log(LOG_SERVER, "Could not write the information server configuration", INFO_SERVER_CONFIG_PATH);
        ++owner.failedSteps;
        return -2;
    }
    return 0;
}

int ServerSetup::StartSite() {
    const std::wstring wanted = win::ToWide(siteName);
    const DWORD count = iis::CountOf(iis.sites.Get());
    for (DWORD index = 0; index < count; ++index) {
        if (FAILED(iis::ItemAt(iis.sites.Get(), index, iis.currentSite))) continue;
        if (iis::StringProperty(iis.currentSite.Get(), L"name") != wanted) continue;
        win::ComPtr<IAppHostMethodCollection> methods;
        win::ComPtr<IAppHostMethod> start;
        win::ComPtr<IAppHostMethodInstance> instance;
        if (SUCCEEDED(iis.currentSite->get_Methods(methods.Put())) && methods &&
            SUCCEEDED(methods->get_Item(win::Variant::Text(L"Start").Get(), start.Put())) && start &&
            SUCCEEDED(start->CreateInstance(instance.Put())) && instance) {
            instance->Execute();
        }
        break;
    }
    return 1;
}

int ServerSetup::InstallWebsite() {
    owner.Log(LOG_SERVER, "Installing Website");
    moduleDescription = "TovinSoft CorvantaApp v10.1";
    portCopy = owner.port;
    modulePath = text::JoinPath(owner.serverDirectory, "TCorvanta10.dll");
    docRoot = owner.serverDirectory;
    if (!OpenIisConfiguration()) {
        // Without the manager and its collections no later step can work.
        ++owner.failedSteps;
        return 1;
    }
    conflictFound = false;
    conflictSiteName = std::string(50, ' ');
    CheckServerModules();
    siteName = SiteNameForPort(portCopy);
    poolName = siteName;
    std::string message;
    if (CheckPortConflict(message)) owner.Log(LOG_SERVER, message);
    if (portCopy == 1465) return WriteInfoServerConfig();
    if (conflictFound) RebindConflictingSite();
    if (FindAppPool(poolName)) {
        UpdateAppPool();
    } else {
        CreateAppPool();
    }
    ReserveSiteId(siteName);
    CreateSite();
    AddIsapiCgiRestriction();
    HRESULT hr = iis.adminManager->CommitChanges();
    if (hr != S_OK) {
        owner.Log(LOG_SERVER, "Could not commit the IIS configuration", "0x" + text::Hex8(static_cast<unsigned long>(hr)));
        ++owner.failedSteps;
    }
    win::Bstr commitPath(std::wstring(iis::APPHOST_PATH) + L"/" + win::ToWide(siteName));
    iis.adminManager->put_CommitPath(commitPath.Get());
    ConfigureSiteLevel();
    hr = iis.adminManager->CommitChanges();
    if (hr == S_OK) {
        owner.Log(LOG_SERVER, SuccessLine(siteName, poolName));
        AdvanceProgress(owner, owner.progress.website);
    } else {
        owner.Log(LOG_SERVER, "Could not commit the site settings of " + siteName, "0x" + text::Hex8(static_cast<unsigned long>(hr)));
        ++owner.failedSteps;
    }
    StartSite();
    return 1;
}
