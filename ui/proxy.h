#pragma once
// Detection of the system's HTTP proxy before field groups are shown.
#include <string>
#include <string_view>

class SetupContext;

bool DetectProxy(SetupContext& context);
// The proxy text that fits the context's proxy field: the whole list, else
// its first entry, else nothing (empty).
std::string FitProxyList(std::string_view list);
