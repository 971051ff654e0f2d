#include "setup/server_website.h"

#include "core/context.h"
#include "core/progress.h"
#include "iis/module_check.h"
#include "iis/website.h"
#include "prereq/iis_features.h"
#include "setup/install_record.h"
#include "setup/server_setup.h"
#include "win/text.h"

SiteSpec WebsiteSpecOf(const SetupContext& context, int rebindPort) {
    SiteSpec spec;
    spec.siteName = SiteNameForPort(context.port);
    spec.poolName = spec.siteName;
    spec.port = context.port;
    spec.physicalPath = context.serverDirectory;
    spec.modulePath = text::JoinPath(context.serverDirectory, "TCorvanta10.dll");
    spec.moduleDescription = "TovinSoft CorvantaApp v10.1";
    spec.hosts = context.hosts;
    spec.rebindPort = rebindPort;
    return spec;
}

int ServerSetup::InstallWebsite() {
    owner.Log(LOG_SERVER, "Installing Website");
    const SiteSpec spec = WebsiteSpecOf(owner, rebindPort);
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
    // What reached IIS goes into the record as soon as it is there.
    InstallRecord(owner, Product::Server).AddSite(outcome.record);
    if (outcome.created) AdvanceProgress(owner, owner.progress.website);
    return outcome.result;
}

int ServerSetup::WriteInfoServerConfig() { return ::WriteInfoServerConfig(docRoot, owner); }

void ServerSetup::CheckServerModules() { serverFolder = ::CheckServerModules(owner.serverDirectory, owner); }

bool ServerSetup::SearchServerFolder(const std::string& folder) { return ::SearchServerFolder(folder, serverFolder, owner); }

int ServerSetup::EnableIisFeatures() { return ::EnableIisFeatures(owner); }
