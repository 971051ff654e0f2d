#include "feature_table.h"

#include <algorithm>

#include "dism_results.h"

namespace dism {
namespace {

struct Dependency {
    std::wstring_view feature;
    std::wstring_view parent;
};

// The IIS part of the optional feature tree of Windows 10 / Server 2016, the
// .NET 4 features ASP.NET 4.x needs, and the process activation service.
constexpr std::wstring_view kKnownFeatures[] = {
    L"IIS-WebServerRole",
    L"IIS-WebServer",
    L"IIS-CommonHttpFeatures",
    L"IIS-StaticContent",
    L"IIS-DefaultDocument",
    L"IIS-DirectoryBrowsing",
    L"IIS-HttpErrors",
    L"IIS-HttpRedirect",
    L"IIS-WebDAV",
    L"IIS-HealthAndDiagnostics",
    L"IIS-HttpLogging",
    L"IIS-RequestMonitor",
    L"IIS-HttpTracing",
    L"IIS-Performance",
    L"IIS-HttpCompressionStatic",
    L"IIS-HttpCompressionDynamic",
    L"IIS-Security",
    L"IIS-RequestFiltering",
    L"IIS-BasicAuthentication",
    L"IIS-WindowsAuthentication",
    L"IIS-IPSecurity",
    L"IIS-URLAuthorization",
    L"IIS-ApplicationDevelopment",
    L"IIS-NetFxExtensibility",
    L"IIS-NetFxExtensibility45",
    L"IIS-ISAPIExtensions",
    L"IIS-ISAPIFilter",
    L"IIS-ASP",
    L"IIS-ASPNET",
    L"IIS-ASPNET45",
    L"IIS-CGI",
    L"IIS-ServerSideIncludes",
    L"IIS-ApplicationInit",
    L"IIS-WebSockets",
    L"IIS-WebServerManagementTools",
    L"IIS-ManagementConsole",
    L"IIS-ManagementScriptingTools",
    L"IIS-ManagementService",
    L"IIS-FTPServer",
    L"IIS-FTPSvc",
    L"NetFx3",
    L"NetFx4-AdvSrvs",
    L"NetFx4Extended-ASPNET45",
    L"WAS-WindowsActivationService",
    L"WAS-ProcessModel",
    L"WAS-ConfigurationAPI",
    L"WAS-NetFxEnvironment",
};

constexpr Dependency kDependencies[] = {
    {L"IIS-WebServer", L"IIS-WebServerRole"},
    {L"IIS-CommonHttpFeatures", L"IIS-WebServer"},
    {L"IIS-StaticContent", L"IIS-CommonHttpFeatures"},
    {L"IIS-DefaultDocument", L"IIS-CommonHttpFeatures"},
    {L"IIS-DirectoryBrowsing", L"IIS-CommonHttpFeatures"},
    {L"IIS-HttpErrors", L"IIS-CommonHttpFeatures"},
    {L"IIS-HttpRedirect", L"IIS-CommonHttpFeatures"},
    {L"IIS-WebDAV", L"IIS-CommonHttpFeatures"},
    {L"IIS-HealthAndDiagnostics", L"IIS-WebServer"},
    {L"IIS-HttpLogging", L"IIS-HealthAndDiagnostics"},
    {L"IIS-RequestMonitor", L"IIS-HealthAndDiagnostics"},
    {L"IIS-HttpTracing", L"IIS-HealthAndDiagnostics"},
    {L"IIS-Performance", L"IIS-WebServer"},
    {L"IIS-HttpCompressionStatic", L"IIS-Performance"},
    {L"IIS-HttpCompressionDynamic", L"IIS-Performance"},
    {L"IIS-Security", L"IIS-WebServer"},
    {L"IIS-RequestFiltering", L"IIS-Security"},
    {L"IIS-BasicAuthentication", L"IIS-Security"},
    {L"IIS-WindowsAuthentication", L"IIS-Security"},
    {L"IIS-IPSecurity", L"IIS-Security"},
    {L"IIS-URLAuthorization", L"IIS-Security"},
    {L"IIS-ApplicationDevelopment", L"IIS-WebServer"},
    {L"IIS-NetFxExtensibility", L"IIS-ApplicationDevelopment"},
    {L"IIS-NetFxExtensibility", L"NetFx3"},
    {L"IIS-NetFxExtensibility", L"WAS-NetFxEnvironment"},
    {L"IIS-NetFxExtensibility45", L"IIS-ApplicationDevelopment"},
    {L"IIS-NetFxExtensibility45", L"NetFx4Extended-ASPNET45"},
    {L"IIS-ISAPIExtensions", L"IIS-ApplicationDevelopment"},
    {L"IIS-ISAPIFilter", L"IIS-ApplicationDevelopment"},
    {L"IIS-ASP", L"IIS-ApplicationDevelopment"},
    {L"IIS-ASP", L"IIS-ISAPIExtensions"},
    {L"IIS-ASPNET", L"IIS-ApplicationDevelopment"},
    {L"IIS-ASPNET", L"IIS-NetFxExtensibility"},
    {L"IIS-ASPNET", L"IIS-ISAPIExtensions"},
    {L"IIS-ASPNET", L"IIS-ISAPIFilter"},
    {L"IIS-ASPNET45", L"IIS-ApplicationDevelopment"},
    {L"IIS-ASPNET45", L"IIS-NetFxExtensibility45"},
    {L"IIS-ASPNET45", L"IIS-ISAPIExtensions"},
    {L"IIS-ASPNET45", L"IIS-ISAPIFilter"},
    {L"IIS-CGI", L"IIS-ApplicationDevelopment"},
    {L"IIS-ServerSideIncludes", L"IIS-ApplicationDevelopment"},
    {L"IIS-ApplicationInit", L"IIS-ApplicationDevelopment"},
    {L"IIS-WebSockets", L"IIS-ApplicationDevelopment"},
    {L"IIS-WebServerManagementTools", L"IIS-WebServerRole"},
    {L"IIS-ManagementConsole", L"IIS-WebServerManagementTools"},
    {L"IIS-ManagementScriptingTools", L"IIS-WebServerManagementTools"},
    {L"IIS-ManagementService", L"IIS-WebServerManagementTools"},
    {L"IIS-FTPServer", L"IIS-WebServerRole"},
    {L"IIS-FTPSvc", L"IIS-FTPServer"},
    {L"NetFx4Extended-ASPNET45", L"NetFx4-AdvSrvs"},
    {L"WAS-ProcessModel", L"WAS-WindowsActivationService"},
    {L"WAS-ConfigurationAPI", L"WAS-WindowsActivationService"},
    {L"WAS-NetFxEnvironment", L"WAS-WindowsActivationService"},
};

bool Contains(const std::vector<std::wstring>& names, std::wstring_view name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

FeaturePlan Failed(HRESULT result) {
    FeaturePlan plan;
    plan.result = result;
    return plan;
}

}  // namespace

std::vector<std::wstring_view> SplitFeatureList(std::wstring_view list) {
    std::vector<std::wstring_view> names;
    size_t start = 0;
    for (;;) {
        size_t end = list.find(L';', start);
        names.push_back(list.substr(start, end == std::wstring_view::npos ? std::wstring_view::npos : end - start));
        if (end == std::wstring_view::npos) break;
        start = end + 1;
    }
    return names;
}

std::span<const std::wstring_view> KnownFeatures() { return kKnownFeatures; }

bool IsKnownFeature(std::wstring_view name) {
    return std::find(std::begin(kKnownFeatures), std::end(kKnownFeatures), name) != std::end(kKnownFeatures);
}

std::vector<std::wstring_view> ParentsOf(std::wstring_view name) {
    std::vector<std::wstring_view> parents;
    for (const Dependency& d : kDependencies) {
        if (d.feature == name) parents.push_back(d.parent);
    }
    return parents;
}

FeaturePlan PlanFeatures(std::wstring_view list, bool enableAll, const std::set<std::wstring>& enabled) {
    FeaturePlan plan;
    for (std::wstring_view name : SplitFeatureList(list)) {
        if (!IsKnownFeature(name)) return Failed(kUnknownFeature);
        if (!Contains(plan.enable, name)) plan.enable.emplace_back(name);
    }
    const size_t requested = plan.enable.size();
    if (!enableAll) {
        for (size_t i = 0; i < requested; ++i) {
            for (std::wstring_view parent : ParentsOf(plan.enable[i])) {
                if (!Contains(plan.enable, parent) && !enabled.count(std::wstring(parent))) {
                    return Failed(kParentFeatureDisabled);
                }
            }
        }
        return plan;
    }
    // The list grows while it is walked: parents of added parents are added too.
    for (size_t i = 0; i < plan.enable.size(); ++i) {
        for (std::wstring_view parent : ParentsOf(plan.enable[i])) {
            if (!Contains(plan.enable, parent)) plan.enable.emplace_back(parent);
        }
    }
    return plan;
}

}  // namespace dism
