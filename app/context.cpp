#include "app/context.h"

#include "prereq/sql_setup.h"
#include "setup/client_setup.h"
#include "setup/download_server.h"
#include "setup/download_status.h"
#include "setup/package_trust.h"
#include "setup/server_setup.h"

HINSTANCE theInstance = nullptr;

SetupContext::SetupContext(SetupHost& hostToUse)
    : server(std::make_unique<ServerSetup>(*this)),
      sql(std::make_unique<SqlSetup>(*this)),
      client(std::make_unique<ClientSetup>(*this)),
      downloadStatus(std::make_unique<DownloadStatusStore>()),
      packageTrust(std::make_unique<PackageTrust>()),
      host(hostToUse) {}

SetupContext::~SetupContext() = default;

int SetupContext::ShowMessage(const std::string& text) {
    host.ShowBox(::GetActiveWindow(), text, "TovinSoft Corvanta Version 10.1 App", MB_OK | MB_ICONINFORMATION);
    return 0;
}
