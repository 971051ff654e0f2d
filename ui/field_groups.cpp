#include "ui/field_groups.h"

#include <array>

#include "core/context.h"
#include "resources/resource.h"
#include "ui/proxy.h"
#include "ui/setup_dialog.h"
#include "win/text.h"

namespace {

constexpr std::array CLIENT_GROUP = {IDC_BIT_SIZE_LABEL, IDC_BIT_SIZE, IDC_CLIENT_DIRECTORY_LABEL,
                                     IDC_CLIENT_DIRECTORY};
constexpr std::array SERVER_GROUP = {
    IDC_SERVER_DIRECTORY_LABEL, IDC_SERVER_DIRECTORY, IDC_SEARCH,   IDC_EDITION_LABEL,   IDC_EDITION,
    IDC_PORT_LABEL,             IDC_PORT,             IDC_HOSTS_LABEL, IDC_HOSTS,        IDC_INSTALL_SQL_LABEL,
    IDC_INSTALL_SQL,            IDC_PASSWORD_LABEL,   IDC_PASSWORD, IDC_PASSWORD_REPEAT_LABEL, IDC_PASSWORD_REPEAT};
constexpr std::array SQL_CONTROLS = {IDC_INSTALL_SQL_LABEL, IDC_INSTALL_SQL,           IDC_PASSWORD_LABEL,
                                     IDC_PASSWORD,          IDC_PASSWORD_REPEAT_LABEL, IDC_PASSWORD_REPEAT};

}  // namespace

std::string Blanks(int count) { return std::string(count > 0 ? static_cast<size_t>(count) : 0, ' '); }

void ShowControl(SetupContext& context, int controlId, bool show) {
    HWND control = ::GetDlgItem(context.dialog, controlId);
    if (!control) return;
    char className[16] = {};
    ::GetClassNameA(control, className, sizeof className);
    if (!show && text::EqualsNoCase(className, "ComboBox")) ::SendMessageA(control, CB_SHOWDROPDOWN, FALSE, 0);
    ::ShowWindow(control, show ? SW_SHOW : SW_HIDE);
    ::EnableWindow(control, show);
    ::InvalidateRect(context.dialog, nullptr, TRUE);
}

int ShowFieldGroup(SetupContext& context, unsigned side, bool show) {
    DetectProxy(context);
    if (side & SETUP_CLIENT) {
        for (int id : CLIENT_GROUP) ShowControl(context, id, show);
    } else {
        for (int id : SERVER_GROUP) ShowControl(context, id, show);
    }
    return 1;
}

void ShowSqlControls(SetupContext& context, bool show) {
    for (int id : SQL_CONTROLS) ShowControl(context, id, show);
}
