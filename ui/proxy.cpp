#include "ui/proxy.h"

#include <windows.h>

#include "core/context.h"
#include "resources/resource.h"
#include "ui/setup_dialog.h"

bool DetectProxy(SetupContext& context) {
    const std::string proxy = DetectSystemProxy();
    const bool found = !proxy.empty();
    if (found) {
        context.proxy = proxy;
        ::SetDlgItemTextA(context.dialog, IDC_PROXY_LABEL, proxy.c_str());
    }
    ShowControl(context, IDC_PROXY_LABEL, found);
    ShowControl(context, IDC_PROXY_SERVER, found);
    return found;
}
