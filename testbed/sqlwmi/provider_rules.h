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

// A WQL string literal at the start of `text`, which begins with its opening
// quote, ' or ". A backslash inside takes the next character as it is, which
// must be \\, \' or \" (the escapes WQL documents); the literal ends at the
// first unescaped quote of its own kind, so the other kind may stand raw.
// Gives the unescaped value and how many characters the literal takes, quotes
// included; nothing for an unterminated literal or any other escape.
struct WqlLiteral {
    std::wstring value;
    size_t length = 0;
};
std::optional<WqlLiteral> ReadWqlLiteral(std::wstring_view text);

// The two query forms the provider answers:
//   SELECT * FROM SqlServiceAdvancedProperty WHERE SQLServiceType = 1 AND PropertyName = <P>
//   SELECT * FROM SqlServiceAdvancedProperty WHERE SQLServiceType = 1 AND PropertyName = <P> AND ServiceName = <S>
// Keywords, the class and the property names match without regard to case, as
// in WQL; blanks may stand between any two parts. <P> and <S> are string
// literals (ReadWqlLiteral) and come back unescaped. Anything else, an invalid
// literal included, gives nothing (an invalid query).
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

// A provider host that is slow to send its objects: on each result, the first
// `timeoutsBeforeFirstObject` timed Next or Skip calls time out before the
// first object arrives.
struct Slowness {
    unsigned long timeoutsBeforeFirstObject = 0;
    // How long each of those calls waits; absent, the caller's whole time-out.
    std::optional<unsigned long> waitMs;
};

// What one Next or Skip does while `pending` time-outs are still to come.
struct Stall {
    bool timedOut = false;  // answer WBEM_S_TIMEDOUT without an object
    unsigned long waitMs = 0;
    unsigned long timeoutsUsed = 0;
};

// `callerTimeoutMs` absent is WBEM_INFINITE: such a call cannot time out, so it
// waits out every pending time-out (`waitMs` each, none when that is not set)
// and then gets its objects. A timed call waits its time-out or `waitMs`,
// whichever is shorter, and times out.
Stall PlanStall(std::optional<unsigned long> callerTimeoutMs, unsigned long pending, const Slowness& slowness);

}  // namespace sqlwmi
