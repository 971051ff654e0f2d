#pragma once
// What a web site installation put into IIS, as the uninstall needs to know
// it: only what the setup made is taken out again, and a site it moved gets
// its old binding back.
#include <string>
#include <vector>

// Names of the site-level settings the setup writes (its SiteSections).
constexpr char SITE_SECTION_HANDLERS[] = "handlers";
constexpr char SITE_SECTION_DEFAULT_DOCUMENT[] = "defaultDocument";
constexpr char SITE_SECTION_REQUEST_LIMIT[] = "requestLimits";
constexpr char SITE_SECTION_HIDDEN_SEGMENT[] = "hiddenSegments";

struct SiteRecord {
    std::string site;         // the site it made (always made anew); empty: none
    std::string pool;         // the pool it made; empty when one of that name was there
    std::string restriction;  // the module path of the restriction entry it added; empty when one was there
    std::vector<std::string> siteSections;  // the site-level settings that reached the configuration
    std::string movedSite;     // a site it moved off the chosen port; empty: none
    std::string movedBinding;  // that site's binding information before the move
    bool webConfigCreated = false;  // the site's web.config did not exist before its settings
};
