#include "sql_switches.h"

#include "command_line.h"

namespace fake {

namespace {

enum class Kind { Flag, Value };

struct SwitchInfo {
    const char* name;
    Kind kind;
};

constexpr SwitchInfo kSwitches[] = {
    {"Q", Kind::Flag},
    {"QS", Kind::Flag},
    {"IACCEPTSQLSERVERLICENSETERMS", Kind::Flag},
    {"SUPPRESSPRIVACYSTATEMENTNOTICE", Kind::Flag},
    {"ACTION", Kind::Value},
    {"FEATURES", Kind::Value},
    {"SECURITYMODE", Kind::Value},
    {"SAPWD", Kind::Value},
    {"INSTANCENAME", Kind::Value},
    {"SQLUSERDBDIR", Kind::Value},
    {"SQLBACKUPDIR", Kind::Value},
};

constexpr const char* kFeatures[] = {"SQLENGINE", "REPLICATION", "FULLTEXT"};

const SwitchInfo* FindSwitch(const std::string& name) {
    for (const SwitchInfo& info : kSwitches)
        if (EqualsNoCase(name, info.name)) return &info;
    return nullptr;
}

SqlRefusal Refuse(DWORD code, std::string message) { return SqlRefusal{code, std::move(message)}; }

bool KnownFeatureList(const std::string& list) {
    size_t start = 0;
    for (;;) {
        size_t comma = list.find(',', start);
        std::string feature = list.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        bool known = false;
        for (const char* name : kFeatures) known = known || EqualsNoCase(feature, name);
        if (!known) return false;
        if (comma == std::string::npos) return true;
        start = comma + 1;
    }
}

bool ValidInstanceName(const std::string& name) {
    if (name.empty() || name.size() > 16) return false;
    char first = name[0];
    bool letter = (first >= 'A' && first <= 'Z') || (first >= 'a' && first <= 'z') || first == '_';
    if (!letter) return false;
    for (char c : name) {
        bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '$';
        if (!ok) return false;
    }
    return true;
}

void Store(SqlRequest& request, const std::string& name, const std::string& value) {
    if (name == "Q" || name == "QS") request.quiet = true;
    else if (name == "IACCEPTSQLSERVERLICENSETERMS") request.licenseAccepted = true;
    else if (name == "SUPPRESSPRIVACYSTATEMENTNOTICE") request.privacyNoticeSuppressed = true;
    else if (name == "ACTION") request.action = value;
    else if (name == "FEATURES") request.features = value;
    else if (name == "SECURITYMODE") request.securityMode = value;
    else if (name == "SAPWD") {
        request.saPassword = value;
        request.passwordGiven = true;
    } else if (name == "INSTANCENAME") request.instanceName = value;
    else if (name == "SQLUSERDBDIR") request.userDbDir = value;
    else if (name == "SQLBACKUPDIR") request.backupDir = value;
}

}  // namespace

SqlRefusal ParseSqlSwitches(const std::vector<std::string>& arguments, SqlRequest& request) {
    std::vector<std::string> seen;
    for (const std::string& argument : arguments) {
        if (argument.size() < 2 || argument[0] != '/')
            return Refuse(kSqlInvalidParameter, "The setting '" + argument + "' is not a switch.");
        size_t equals = argument.find('=');
        std::string name = ToUpper(argument.substr(1, equals == std::string::npos ? std::string::npos : equals - 1));
        const SwitchInfo* info = FindSwitch(name);
        if (!info) return Refuse(kSqlInvalidParameter, "The setting '" + name + "' specified is not recognized.");
        for (const std::string& earlier : seen)
            if (earlier == name)
                return Refuse(kSqlInvalidParameter, "The setting '" + name + "' is specified more than once.");
        seen.push_back(name);
        if (info->kind == Kind::Flag) {
            if (equals != std::string::npos)
                return Refuse(kSqlInvalidParameter, "The setting '" + name + "' does not take a value.");
            request.parsed.push_back(name);
            Store(request, name, {});
        } else {
            if (equals == std::string::npos)
                return Refuse(kSqlInvalidParameter, "The setting '" + name + "' needs a value.");
            std::string value = argument.substr(equals + 1);
            request.parsed.push_back(name + "=" + value);
            Store(request, name, value);
        }
    }

    if (!request.licenseAccepted)
        return Refuse(kSqlLicenseTermsMissing,
                      "The /IACCEPTSQLSERVERLICENSETERMS command line parameter is missing or has not been "
                      "specified correctly.");
    if (!request.passwordGiven || request.saPassword.empty())
        return Refuse(kSqlPasswordMissing, "The SA password must be given with /SAPWD for SQL authentication.");
    if (!request.quiet)
        return Refuse(kSqlInvalidParameter, "Neither /Q nor /QS is given: setup would wait for its wizard.");
    if (!EqualsNoCase(request.action, "install"))
        return Refuse(kSqlInvalidParameter, "The action '" + request.action + "' is not supported; use /ACTION=install.");
    if (request.features.empty() || !KnownFeatureList(request.features))
        return Refuse(kSqlInvalidParameter, "The feature list '" + request.features + "' is not valid.");
    if (!request.securityMode.empty() && !EqualsNoCase(request.securityMode, "SQL"))
        return Refuse(kSqlInvalidParameter, "The security mode '" + request.securityMode + "' is not valid.");
    if (!ValidInstanceName(request.instanceName))
        return Refuse(kSqlInvalidParameter, "The instance name '" + request.instanceName + "' is not valid.");
    return {};
}

std::string SqlServiceName(const std::string& instanceName) {
    std::string upper = ToUpper(instanceName);
    return upper == "MSSQLSERVER" ? upper : "MSSQL$" + upper;
}

std::string SqlInstanceId(const std::string& instanceName) { return "MSSQL16." + ToUpper(instanceName); }

}  // namespace fake
