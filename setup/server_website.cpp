// The server update's web site step: the site specification from the run's
// choices, the installation through iis/, its outcome kept in ServerSetup.
#include "core/context.h"
#include "core/progress.h"
#include "iis/module_check.h"
#include "iis/website.h"
#include "prereq/iis_features.h"
#include "setup/server_setup.h"
#include "win/text.h"

SiteSpec ServerSetup::Spec() const {
    SiteSpec spec;
    spec.siteName = SiteNameForPort(owner.port);
    spec.poolName = spec.siteName;
    spec.port = owner.port;
    spec.physicalPath = owner.serverDirectory;
    spec.modulePath = text::JoinPath(owner.serverDirectory, "TCorvanta10.dll");
    spec.moduleDescription = "TovinSoft CorvantaApp v10.1";
    spec.hosts = owner.hosts;
    spec.rebindPort = rebindPort;
    return spec;
}

int ServerSetup::InstallWebsite() {
    owner.Log(LOG_SERVER, "Installing Website");
    const SiteSpec spec = Spec();
    moduleDescription = spec.moduleDescription;
    portCopy = spec.port;
    modulePath = spec.modulePath;
    docRoot = owner.serverDirectory;
    conflictFound = false;
    conflictSiteName = std::string(50, ' ');
    siteName = spec.siteName;
    poolName = spec.poolName;
    const WebsiteOutcome outcome = ::InstallWebsite(iis, spec, docRoot, owner);
    if (!outcome.serverFolder.empty()) serverFolder = outcome.serverFolder;
    if (outcome.conflict) {
        conflictFound = true;
        conflictSiteName = outcome.conflict->siteName;
    }
    siteId = outcome.siteId;
    if (outcome.created) AdvanceProgress(owner, owner.progress.website);
    return outcome.result;
}

int ServerSetup::WriteInfoServerConfig() { return ::WriteInfoServerConfig(docRoot, owner); }

void ServerSetup::CheckServerModules() { serverFolder = ::CheckServerModules(owner.serverDirectory, owner); }

bool ServerSetup::SearchServerFolder(const std::string& folder) { return ::SearchServerFolder(folder, serverFolder, owner); }

int ServerSetup::EnableIisFeatures() { return ::EnableIisFeatures(owner); }
