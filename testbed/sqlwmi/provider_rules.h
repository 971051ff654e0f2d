#pragma once
// Plain-text decisions of the stand-in: which namespace paths belong to the
// SQL Server provider, and which query texts it answers. No Win32 calls here,
// so the tests feed them tables directly.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sqlwmi {

// Ordinal comparison ignoring case, as WMI compares names and WQL compares text.
bool SameText(std::wstring_view a, std::wstring_view b) noexcept;

// The scenario key ("ComputerManagement15") of a namespace path of the local
// SQL Server provider, in any of the forms Windows accepts: "root\...",
// "\\.\root\...", "//./root/...", or with "localhost" or the computer's own
// name as the server. Any other path (another namespace, another computer)
// gives nothing and is not ours to answer.
std::optional<std::wstring> SqlNamespaceKey(std::wstring_view path, std::wstring_view computerName);

// How WMI itself spells the namespace in __NAMESPACE and __PATH.
std::wstring NamespaceName(std::wstring_view key);

struct PropertyQuery {
    std::wstring propertyName;
    // Empty: every database engine service; otherwise only this one.
    std::optional<std::wstring> serviceName;
};

// The two query forms the provider answers, matched word for word with the
// keyword case the setup sends:
//   SELECT * FROM SqlServiceAdvancedProperty WHERE SQLServiceType = 1 AND PropertyName = 'instanceID'
//   select * from SqlServiceAdvancedProperty where SQLServiceType = 1 and PropertyName = '<P>' and ServiceName = '<S>'
// Anything else gives nothing (an invalid query).
std::optional<PropertyQuery> ParsePropertyQuery(std::wstring_view query);

// One database engine service of the scenario with its text properties
// ("instanceID", "Version", ...) in the order they are stored.
struct ServiceProperty {
    std::wstring name;
    std::wstring value;
};
struct ServiceData {
    std::wstring name;
    std::vector<ServiceProperty> properties;
};

// One SqlServiceAdvancedProperty instance.
struct PropertyRow {
    std::wstring serviceName;
    std::wstring propertyName;
    std::wstring value;
    unsigned long index = 0;  // the property's position within its service
};

// The instances a query selects, services in their stored order. Names compare
// without regard to case, as WQL compares strings; a service without the
// property contributes nothing.
std::vector<PropertyRow> SelectRows(const std::vector<ServiceData>& services, const PropertyQuery& query);

}  // namespace sqlwmi
