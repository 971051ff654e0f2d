#pragma once
// Decisions of the web site installation, on plain values.
#include <string>
#include <string_view>

constexpr char INFO_SERVER_CONFIG_PATH[] = "c:\\program Files\\CorvantaIS\\corvantais.cfg";
constexpr int INFO_SERVER_PORT = 1465;

// "TCorvanta10" for 80, 443 and 1064, else followed by the port.
std::string SiteNameForPort(long port);
std::wstring BindingInformation(long port);
// The port of a binding text read from its third character; 0 without digits.
long BindingPort(std::string_view bindingInformation);
// The conflict message, the site name cut so the whole fits 255 characters.
std::string ConflictMessage(long port, std::string_view siteName);
std::string InfoServerConfigText(std::string_view docRoot);
std::string SuccessLine(std::string_view siteName, std::string_view poolName);
