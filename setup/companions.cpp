#include "setup/companions.h"

#include "core/context.h"
#include "prereq/sql_setup.h"
#include "setup/client_setup.h"
#include "setup/download_status.h"
#include "setup/package_trust.h"
#include "setup/server_setup.h"

namespace {

template <typename T, typename... Args>
Companion<T> Make(Args&&... args) {
    return Companion<T>(new T(std::forward<Args>(args)...), [](T* p) { delete p; });
}

}  // namespace

void AttachCompanions(SetupContext& context) {
    context.server = Make<ServerSetup>(context);
    context.sql = Make<SqlSetup>(context);
    context.client = Make<ClientSetup>(context);
    context.downloadStatus = Make<DownloadStatusStore>();
    context.packageTrust = Make<PackageTrust>();
}
