#pragma once
// The running state of sites: Start and Stop work on the committed
// configuration, are recorded in the state log (state_log.h), and Start fails
// like IIS does when a started site already listens on one of the site's
// bindings.
#include <windows.h>

#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "state_log.h"

namespace iisadmin {

inline constexpr HRESULT kSiteUnknown = kObjectUnknown;
inline constexpr HRESULT kBindingInUse = static_cast<HRESULT>(0x80070020);   // ERROR_SHARING_VIOLATION

struct Binding {
    std::wstring protocol;
    std::wstring address;  // "*" for all unassigned addresses
    std::wstring port;
    std::wstring host;
};
// "address:port:host"; the address may be "[v6]". Nothing without two colons.
std::optional<Binding> ParseBinding(std::wstring_view protocol, std::wstring_view information);
// One listener cannot serve both: same protocol, port and host name, and the
// same address or "*" on either side.
bool BindingsClash(const Binding& a, const Binding& b);

// Last successful Start or Stop per site (names case folded) in the log's text;
// the lines of application pools do not count.
std::map<std::wstring, bool> RecordedStates(std::string_view log);

// Runs "Start" or "Stop" for the site of that name; records the outcome.
HRESULT RunSiteMethod(std::wstring_view siteName, std::wstring_view method);

}  // namespace iisadmin
