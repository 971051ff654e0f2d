#pragma once
// Another site on the chosen port, typically the Default Web Site on 80: it
// is found, reported and moved to another port before the own site is made.
#include <optional>
#include <string>
#include <string_view>

#include "iis/iis_session.h"

class RunLog;

struct PortConflict {
    std::string siteName;
    std::string message;  // "<port> is already in use on <site>Do you want to continue? "
};

// The first site (in collection order) with a binding on the chosen port,
// the own site aside.
std::optional<PortConflict> CheckPortConflict(IisSession& session, const SiteSpec& spec);
// The port a binding listens on, read in its protocol's form: http, https and
// ftp "address:port:host" (address "*", IPv4 or bracketed IPv6); net.pipe
// none; every other protocol (net.tcp, net.msmq, msmq.formatname, ...)
// "port:host". 0 when the binding has no port or it cannot be read.
long BindingPortOf(std::string_view protocol, std::string_view bindingInformation);
// The first site, the named own site aside (it is made anew), with a binding
// of any protocol on the port; nothing when the port is free.
std::optional<std::string> SiteUsingPort(IisSession& session, long port, const std::string& ownSite);
// Why the conflicting site was not moved and nothing was made.
std::string RebindBlockedMessage(long port, std::string_view siteName, int rebindPort);
// Moves the first binding of the named site to the rebind port. The binding
// information it had before, or nothing when no such site with a binding
// exists or the move was refused.
std::optional<std::string> RebindConflictingSite(IisSession& session, const std::string& conflictSiteName,
                                                 int rebindPort, RunLog& log);
