#pragma once
// Detection of the system's HTTP proxy before field groups are shown.
#include <optional>
#include <string>
#include <string_view>

class SetupContext;

bool DetectProxy(SetupContext& context);

// A proxy query: the proxy list (possibly empty), or nothing when the call failed.
using ProxyQuery = std::optional<std::string> (*)();
// The system's proxy list: the WinHTTP default, and the user's browser
// settings only when the WinHTTP call fails.
std::string SelectProxyList(ProxyQuery winHttpDefault, ProxyQuery browser);
// The proxy text that fits the context's proxy field: the whole list, else
// its first entry, else nothing (empty).
std::string FitProxyList(std::string_view list);
