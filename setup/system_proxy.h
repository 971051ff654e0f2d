#pragma once
// The HTTP proxy the system is configured with, as the run uses it.
#include <optional>
#include <string>
#include <string_view>

// A proxy query: the proxy list (possibly empty), or nothing when the call failed.
using ProxyQuery = std::optional<std::string> (*)();
// The system's proxy list: the WinHTTP default, and the user's browser
// settings only when the WinHTTP call fails.
std::string SelectProxyList(ProxyQuery winHttpDefault, ProxyQuery browser);
// The proxy text that fits the context's proxy field: the whole list, else
// its first entry, else nothing (empty).
std::string FitProxyList(std::string_view list);
// The system's proxy as the proxy field takes it; empty when there is none.
std::string DetectSystemProxy();
// "host:port" with a port of 1 to 65535.
bool IsProxyAddress(std::string_view text);
