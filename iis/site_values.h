#pragma once
// What the web site installation is given: plain values, nothing of the run.
#include <string>

// Where the setup moves a site that holds the chosen port.
constexpr int REBIND_PORT = 8080;

struct SiteSpec {
    std::string siteName;
    std::string poolName;
    long port = 0;
    std::string physicalPath;       // the server directory, as entered
    std::string modulePath;         // the server module in it
    std::string moduleDescription;  // the handler's and the restriction entry's name
    std::string hosts;              // the Hosts field; no binding takes it
    int rebindPort = REBIND_PORT;   // where a site on the chosen port is moved
};
