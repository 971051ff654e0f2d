#pragma once
// Configuration paths ("MACHINE/WEBROOT/APPHOST/<site>") and the section
// look-ups inside the files: where a section lives at server level or in a
// <location>, whether it is locked for a site, and which folder holds a
// site's web.config.
#include <string>
#include <string_view>
#include <vector>

#include "config_node.h"

namespace iisadmin {

inline constexpr std::wstring_view kServerPath = L"MACHINE/WEBROOT/APPHOST";

// The location below the server level that a configuration path names: "" for
// the server level itself, "Default Web Site" or "Default Web Site/app" below
// it. False for paths outside applicationHost.config.
bool LocationOfPath(std::wstring_view path, std::wstring& location);

// "system.webServer/security/requestFiltering" -> its element names.
std::vector<std::wstring> SectionParts(std::wstring_view section);

// Whether <configSections> declares the section.
bool SectionDeclared(const Node& configuration, std::wstring_view section);

// The section at server level: directly under <configuration> or in a
// <location path=""> (or "."). Null when the file has none.
Node::Ptr FindServerSection(const Node& configuration, std::wstring_view section);
// The section inside a <location> of that path; null when none holds it.
Node::Ptr FindLocationSection(const Node& configuration, std::wstring_view location, std::wstring_view section);
// The container (configuration or a location) with the section's groups made
// on the way; the section itself made implicit when missing.
Node::Ptr MakeSection(const Node::Ptr& container, std::wstring_view section);
// The <location path="..."> for a site-level change; made (implicit, at the end
// of the file) when the file has none.
Node::Ptr MakeLocation(const Node::Ptr& configuration, std::wstring_view location);

// Whether the section may not be changed in the configuration of that
// location: overrideModeDefault="Deny" on its declaration, or a <location>
// of the server level or of that path holding the section with
// overrideMode="Deny" (or the older allowOverride="false"). A later
// overrideMode="Allow" undoes an earlier Deny.
bool SectionLocked(const Node& configuration, std::wstring_view section, std::wstring_view location);

// Whether the declaration says allowDefinition="AppHostOnly": the section is
// never kept in a web.config.
bool SectionAppHostOnly(const Node& configuration, std::wstring_view section);

// The web.config of a site, as the sites section names it: in the
// physicalPath (environment variables expanded) of the virtual directory "/"
// of the application "/" of the site of that name (letter case aside, as IIS
// compares site names). Empty when the section has no such site or folder.
std::wstring SiteWebConfigPath(const Node& sites, std::wstring_view site);

}  // namespace iisadmin
