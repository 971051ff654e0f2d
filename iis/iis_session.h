#pragma once
// The IIS configuration objects a web site installation works on. They are
// held until the process ends; each installation opens them anew.
#include "win/app_host_admin.h"
#include "win/com.h"

struct IisSession {
    win::ComPtr<IAppHostWritableAdminManager> adminManager;
    win::ComPtr<IAppHostElement> section;  // the section opened last
    win::ComPtr<IAppHostElementCollection> sites;
    win::ComPtr<IAppHostElement> currentSite;
    win::ComPtr<IAppHostElementCollection> pools;
    win::ComPtr<IAppHostElement> currentPool;
    win::ComPtr<IAppHostElementCollection> restrictions;
    win::ComPtr<IAppHostElement> restrictionEntry;
    win::ComPtr<IAppHostElement> handlerEntry;
    win::ComPtr<IAppHostElement> defaultDocumentEntry;

    bool Complete() const { return adminManager && sites && pools && restrictions; }
};
