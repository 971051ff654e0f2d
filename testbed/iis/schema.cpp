#include "schema.h"

#include <deque>
#include <map>

namespace iisadmin {
namespace {

using Values = std::vector<EnumValue>;

PropertySchema Text(std::wstring name, std::optional<std::wstring> def = std::wstring()) {
    return {std::move(name), ValueType::String, std::move(def), {}, false};
}
// A unique key of a collection entry: always required.
PropertySchema Key(std::wstring name) {
    PropertySchema key{std::move(name), ValueType::String, std::nullopt, {}, false};
    key.required = true;
    return key;
}
PropertySchema Bool(std::wstring name, bool def) {
    return {std::move(name), ValueType::Bool, std::wstring(def ? L"true" : L"false"), {}, false};
}
PropertySchema UInt(std::wstring name, std::optional<std::wstring> def) {
    return {std::move(name), ValueType::UInt32, std::move(def), {}, false};
}
PropertySchema Enum(std::wstring name, std::wstring def, Values values) {
    return {std::move(name), ValueType::Enum, std::move(def), std::move(values), false};
}
PropertySchema Flags(std::wstring name, std::wstring def, Values values) {
    return {std::move(name), ValueType::Flags, std::move(def), std::move(values), false};
}
PropertySchema RuntimeEnum(std::wstring name, Values values) {
    return {std::move(name), ValueType::Enum, std::nullopt, std::move(values), true};
}
PropertySchema Required(PropertySchema property) {
    property.required = true;
    return property;
}
PropertySchema CaseSensitive(PropertySchema property) {
    property.caseSensitive = true;
    return property;
}

// All schema objects live here, so the pointers between them stay valid.
class Tables {
public:
    Tables() { Build(); }
    const ElementSchema* Section(std::wstring_view name) const {
        auto it = sections_.find(std::wstring(name));
        return it == sections_.end() ? nullptr : it->second;
    }
    std::vector<std::wstring> Names() const {
        std::vector<std::wstring> names;
        for (const auto& entry : sections_) names.push_back(entry.first);
        return names;
    }

private:
    ElementSchema* New(std::wstring name, std::vector<PropertySchema> properties = {}) {
        ElementSchema& schema = store_.emplace_back();
        schema.name = std::move(name);
        schema.properties = std::move(properties);
        return &schema;
    }
    // A collection of keyed entries with nothing else to them.
    ElementSchema* KeyedList(std::wstring name, std::wstring add, PropertySchema key,
                             std::vector<PropertySchema> more = {}) {
        std::wstring keyName = key.name;
        std::vector<PropertySchema> entryProperties{std::move(key)};
        for (auto& p : more) entryProperties.push_back(std::move(p));
        ElementSchema* entry = New(add, std::move(entryProperties));
        ElementSchema* list = New(std::move(name));
        list->collection = CollectionSchema{std::move(add), entry, {{std::move(keyName)}}};
        return list;
    }

    void Build();
    void BuildSites();
    void BuildApplicationPools();
    void BuildWebServer();

    std::deque<ElementSchema> store_;
    std::map<std::wstring, const ElementSchema*> sections_;
};

void Tables::BuildSites() {
    const Values logFormats{{L"IIS", 0}, {L"NCSA", 1}, {L"W3C", 2}, {L"Custom", 3}};
    const Values logonMethods{{L"Interactive", 0}, {L"Batch", 1}, {L"Network", 2}, {L"ClearText", 3}};
    auto logFile = New(L"logFile", {Enum(L"logFormat", L"W3C", logFormats),
                                    Text(L"directory", L"%SystemDrive%\\inetpub\\logs\\LogFiles"),
                                    Bool(L"enabled", true)});
    auto traceLogging = New(L"traceFailedRequestsLogging",
                            {Bool(L"enabled", false),
                             Text(L"directory", L"%SystemDrive%\\inetpub\\logs\\FailedReqLogFiles")});
    auto limits = New(L"limits", {UInt(L"maxBandwidth", L"4294967295"), UInt(L"maxConnections", L"4294967295"),
                                  Text(L"connectionTimeout", L"00:02:00")});
    auto applicationDefaults = New(L"applicationDefaults", {Text(L"applicationPool"),
                                                            Text(L"enabledProtocols", L"http"),
                                                            Bool(L"preloadEnabled", false)});
    auto directoryDefaults = New(L"virtualDirectoryDefaults",
                                 {Text(L"userName"), Text(L"password"),
                                  Enum(L"logonMethod", L"ClearText", logonMethods), Bool(L"allowSubDirConfig", true)});

    auto binding = New(L"binding", {Key(L"protocol"), Key(L"bindingInformation"), UInt(L"sslFlags", L"0")});
    auto bindings = New(L"bindings");
    bindings->collection = CollectionSchema{L"binding", binding, {{L"protocol", L"bindingInformation"}}};

    auto directory = New(L"virtualDirectory", {Key(L"path"), Text(L"physicalPath"), Text(L"userName"),
                                               Text(L"password"), Enum(L"logonMethod", L"ClearText", logonMethods),
                                               Bool(L"allowSubDirConfig", true)});
    auto application = New(L"application", {Key(L"path"), Text(L"applicationPool"),
                                            Text(L"enabledProtocols", L"http"), Bool(L"preloadEnabled", false)});
    application->children = {directoryDefaults};
    application->collection = CollectionSchema{L"virtualDirectory", directory, {{L"path"}}};

    // The manager numbers no site itself: a site without its id fails the commit.
    auto site = New(L"site", {Key(L"name"), Required(UInt(L"id", std::nullopt)), Bool(L"serverAutoStart", true)});
    site->children = {bindings, limits, logFile, traceLogging, applicationDefaults, directoryDefaults};
    site->collection = CollectionSchema{L"application", application, {{L"path"}}};
    site->methods = {L"Start", L"Stop"};
    site->run = RunKind::Site;

    auto siteDefaults = New(L"siteDefaults", {Bool(L"serverAutoStart", true)});
    siteDefaults->children = {limits, logFile, traceLogging};

    auto sites = New(L"sites");
    sites->children = {siteDefaults, applicationDefaults, directoryDefaults};
    sites->collection = CollectionSchema{L"site", site, {{L"name"}, {L"id"}}};
    sections_[L"system.applicationHost/sites"] = sites;
}

void Tables::BuildApplicationPools() {
    const Values pipelineModes{{L"Integrated", 0}, {L"Classic", 1}};
    const Values identities{{L"LocalSystem", 0}, {L"LocalService", 1}, {L"NetworkService", 2},
                            {L"SpecificUser", 3}, {L"ApplicationPoolIdentity", 4}};
    const Values startModes{{L"OnDemand", 0}, {L"AlwaysRunning", 1}};
    const Values logonTypes{{L"LogonBatch", 0}, {L"LogonService", 1}};
    const Values cpuActions{{L"NoAction", 0}, {L"KillW3wp", 1}, {L"Throttle", 2}, {L"ThrottleUnderLoad", 3}};

    auto processModel = New(L"processModel",
                            {Enum(L"identityType", L"ApplicationPoolIdentity", identities), Text(L"userName"),
                             Text(L"password"), Enum(L"logonType", L"LogonBatch", logonTypes),
                             Bool(L"loadUserProfile", true), Bool(L"setProfileEnvironment", true),
                             Bool(L"manualGroupMembership", false), Text(L"idleTimeout", L"00:20:00"),
                             UInt(L"maxProcesses", L"1"), Bool(L"pingingEnabled", true),
                             Text(L"shutdownTimeLimit", L"00:01:30"), Text(L"startupTimeLimit", L"00:01:30")});
    auto periodicRestart = New(L"periodicRestart", {UInt(L"memory", L"0"), UInt(L"privateMemory", L"0"),
                                                    UInt(L"requests", L"0"), Text(L"time", L"1.05:00:00")});
    auto recycling = New(L"recycling", {Bool(L"disallowOverlappingRotation", false),
                                        Bool(L"disallowRotationOnConfigChange", false),
                                        Text(L"logEventOnRecycle", L"Time, Memory, PrivateMemory")});
    recycling->children = {periodicRestart};
    auto failure = New(L"failure", {Bool(L"rapidFailProtection", true),
                                    Text(L"rapidFailProtectionInterval", L"00:05:00"),
                                    UInt(L"rapidFailProtectionMaxCrashes", L"5"), Bool(L"orphanWorkerProcess", false),
                                    Text(L"autoShutdownExe"), Text(L"autoShutdownParams")});
    auto cpu = New(L"cpu", {UInt(L"limit", L"0"), Enum(L"action", L"NoAction", cpuActions),
                            Text(L"resetInterval", L"00:05:00"), Bool(L"smpAffinitized", false)});

    std::vector<PropertySchema> poolProperties{
        Bool(L"autoStart", true),
        Enum(L"managedPipelineMode", L"Integrated", pipelineModes),
        Text(L"managedRuntimeVersion", L"v4.0"),
        Text(L"managedRuntimeLoader", L"webengine4.dll"),
        Bool(L"enable32BitAppOnWin64", false),
        Bool(L"enableConfigurationOverride", true),
        Bool(L"passAnonymousToken", true),
        UInt(L"queueLength", L"1000"),
        Enum(L"startMode", L"OnDemand", startModes)};
    auto defaults = New(L"applicationPoolDefaults", poolProperties);
    defaults->children = {processModel, recycling, failure, cpu};
    poolProperties.insert(poolProperties.begin(), Key(L"name"));
    // The values of IIS's runtime object state; the stand-in's pools are only
    // ever started or stopped.
    poolProperties.push_back(RuntimeEnum(L"state", {{L"Starting", 0}, {L"Started", 1}, {L"Stopping", 2},
                                                    {L"Stopped", 3}, {L"Unknown", 4}}));
    auto pool = New(L"add", poolProperties);
    pool->children = {processModel, recycling, failure, cpu};
    pool->methods = {L"Start", L"Stop", L"Recycle"};
    pool->run = RunKind::ApplicationPool;

    auto pools = New(L"applicationPools");
    pools->children = {defaults};
    pools->collection = CollectionSchema{L"add", pool, {{L"name"}}};
    sections_[L"system.applicationHost/applicationPools"] = pools;
}

void Tables::BuildWebServer() {
    auto restriction =
        New(L"add", {Key(L"path"), Required(Bool(L"allowed", false)), Text(L"groupId"), Text(L"description")});
    auto restrictions = New(L"isapiCgiRestriction",
                            {Bool(L"notListedIsapisAllowed", false), Bool(L"notListedCgisAllowed", false)});
    restrictions->collection = CollectionSchema{L"add", restriction, {{L"path"}}};
    sections_[L"system.webServer/security/isapiCgiRestriction"] = restrictions;

    const Values access{{L"None", 0},          {L"Read", 1},           {L"Write", 2},
                        {L"Execute", 4},       {L"Source", 16},        {L"Script", 512},
                        {L"NoRemoteWrite", 1024}, {L"NoRemoteRead", 4096}, {L"NoRemoteExecute", 8192},
                        {L"NoRemoteScript", 16384}};
    const Values resourceTypes{{L"File", 0}, {L"Directory", 1}, {L"Either", 2}, {L"Unspecified", 3}};
    const Values requireAccess{{L"None", 0}, {L"Read", 1}, {L"Write", 2}, {L"Script", 3}, {L"Execute", 4}};
    auto handler = New(L"add", {CaseSensitive(Key(L"name")), Required(Text(L"path")),
                                CaseSensitive(Required(Text(L"verb"))), Text(L"type"),
                                Text(L"modules", L"ManagedPipelineHandler"),
                                Text(L"scriptProcessor"), Enum(L"resourceType", L"Unspecified", resourceTypes),
                                Enum(L"requireAccess", L"Script", requireAccess), Bool(L"allowPathInfo", false),
                                Text(L"preCondition"), UInt(L"responseBufferLimit", L"4194304")});
    auto handlers = New(L"handlers", {Flags(L"accessPolicy", L"Read", access)});
    handlers->collection = CollectionSchema{L"add", handler, {{L"name"}}};
    sections_[L"system.webServer/handlers"] = handlers;

    auto files = KeyedList(L"files", L"add", Key(L"value"));
    auto defaultDocument = New(L"defaultDocument", {Bool(L"enabled", true)});
    defaultDocument->children = {files};
    sections_[L"system.webServer/defaultDocument"] = defaultDocument;

    auto headerLimits = KeyedList(L"headerLimits", L"add", Key(L"header"), {Required(UInt(L"sizeLimit", L"0"))});
    auto requestLimits = New(L"requestLimits", {UInt(L"maxAllowedContentLength", L"30000000"),
                                                UInt(L"maxUrl", L"4096"), UInt(L"maxQueryString", L"2048")});
    requestLimits->children = {headerLimits};
    auto fileExtensions =
        KeyedList(L"fileExtensions", L"add", Key(L"fileExtension"), {Required(Bool(L"allowed", true))});
    fileExtensions->properties = {Bool(L"allowUnlisted", true), Bool(L"applyToWebDAV", true)};
    auto verbs = KeyedList(L"verbs", L"add", CaseSensitive(Key(L"verb")), {Required(Bool(L"allowed", true))});
    verbs->properties = {Bool(L"allowUnlisted", true), Bool(L"applyToWebDAV", true)};
    // Segments such as "bin" or "Update" that no request may name.
    auto hiddenSegments = KeyedList(L"hiddenSegments", L"add", Key(L"segment"));
    hiddenSegments->properties = {Bool(L"applyToWebDAV", true)};
    auto rule = New(L"filteringRule", {Key(L"name"), Bool(L"scanUrl", false), Bool(L"scanQueryString", false),
                                       Bool(L"scanAllRaw", false)});
    auto rules = New(L"filteringRules");
    rules->collection = CollectionSchema{L"filteringRule", rule, {{L"name"}}};

    auto filtering = New(L"requestFiltering", {Bool(L"allowDoubleEscaping", false),
                                               Bool(L"allowHighBitCharacters", true),
                                               Bool(L"unescapeQueryString", true), Bool(L"removeServerHeader", false)});
    filtering->children = {fileExtensions,
                           requestLimits,
                           verbs,
                           hiddenSegments,
                           KeyedList(L"denyUrlSequences", L"add", Key(L"sequence")),
                           KeyedList(L"alwaysAllowedUrls", L"add", Key(L"url")),
                           KeyedList(L"alwaysAllowedQueryStrings", L"add", Key(L"queryString")),
                           KeyedList(L"denyQueryStringSequences", L"add", Key(L"sequence")),
                           rules};
    sections_[L"system.webServer/security/requestFiltering"] = filtering;
}

void Tables::Build() {
    BuildSites();
    BuildApplicationPools();
    BuildWebServer();
}

// Built once and never changed afterwards.
const Tables& Schema() {
    static const Tables tables;
    return tables;
}

}  // namespace

const PropertySchema* ElementSchema::Property(std::wstring_view property) const {
    for (const auto& p : properties) {
        if (p.name == property) return &p;
    }
    return nullptr;
}

const ElementSchema* ElementSchema::Child(std::wstring_view child) const {
    for (const ElementSchema* c : children) {
        if (c->name == child) return c;
    }
    return nullptr;
}

const ElementSchema* SectionSchema(std::wstring_view section) { return Schema().Section(section); }

std::vector<std::wstring> KnownSections() { return Schema().Names(); }

}  // namespace iisadmin
