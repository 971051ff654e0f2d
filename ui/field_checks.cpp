#include "ui/field_checks.h"

#include <windows.h>

#include "core/context.h"
#include "prereq/sql_setup.h"
#include "resources/resource.h"
#include "ui/setup_dialog.h"
#include "ui/sql_check.h"
#include "win/text.h"

namespace {

struct ControlField {
    int id;
    ChoiceField field;
};

constexpr ControlField CONTROL_FIELDS[] = {
    {IDC_SETUP_TYPE, ChoiceField::SetupType},
    {IDC_BIT_SIZE, ChoiceField::BitSize},
    {IDC_CLIENT_DIRECTORY, ChoiceField::ClientDirectory},
    {IDC_SERVER_DIRECTORY, ChoiceField::ServerDirectory},
    {IDC_EDITION, ChoiceField::Edition},
    {IDC_PORT, ChoiceField::Port},
    {IDC_HOSTS, ChoiceField::Hosts},
    {IDC_INSTALL_SQL, ChoiceField::InstallSql},
    {IDC_PASSWORD, ChoiceField::Password},
    {IDC_PASSWORD_REPEAT, ChoiceField::PasswordRepeat},
    {IDC_PROXY_SERVER, ChoiceField::ProxyServer},
};

int Refuse(SetupContext& context, const std::string& message) {
    context.ShowMessage(message);
    return 0;
}

bool IsServerSide(const std::string& setupType) { return setupType == "Server" || setupType == "Both"; }

}  // namespace

std::optional<ChoiceField> FieldOfControl(int controlId) {
    for (const ControlField& control : CONTROL_FIELDS) {
        if (control.id == controlId) return control.field;
    }
    return std::nullopt;
}

std::size_t FieldLimit(int controlId) {
    const auto field = FieldOfControl(controlId);
    return field ? FieldLimit(*field) : 1023;
}

std::optional<std::string> LengthProblem(int controlId, std::string_view text) {
    const auto field = FieldOfControl(controlId);
    if (!field) return std::nullopt;
    return LengthProblem(*field, text);
}

int CheckSetupType(SetupContext& context, const std::string& value) {
    if (text::IsBlank(value)) return Refuse(context, SETUP_TYPE_BLANK_MESSAGE);
    ShowFieldGroup(context, SETUP_CLIENT, value == "Client" || value == "Both");
    if (IsServerSide(value)) {
        ShowFieldGroup(context, SETUP_SERVER, true);
        StartSqlDetection(context);  // the SQL controls go when it finds one
    } else {
        ShowFieldGroup(context, SETUP_SERVER, false);
        ShowSqlControls(context, false);
    }
    return 1;
}

int CheckBitSize(SetupContext& context, const std::string& value) {
    const BitSizeChoice* choice = BitSizeByText(value);
    if (!choice) return 1;
    context.setupFlags |= choice->bit;
    HWND box = ::GetDlgItem(context.dialog, IDC_CLIENT_DIRECTORY);
    ::SendMessageA(box, CB_RESETCONTENT, 0, 0);
    for (int i = 0; i < 3; ++i) {
        ::SendMessageA(box, CB_INSERTSTRING, i, reinterpret_cast<LPARAM>(choice->proposals[i]));
    }
    ::SendMessageA(box, CB_SETCURSEL, 0, 0);
    return 1;
}

int CheckPort(SetupContext& context, const std::string& value) {
    if (text::IsBlank(value)) return Refuse(context, PORT_BLANK_MESSAGE);
    if (!PortInRange(text::ParseLong(value))) return Refuse(context, PORT_RANGE_MESSAGE);
    return 1;
}

int CheckPassword(SetupContext& context, const std::string& value) {
    if (text::IsBlank(value)) return Refuse(context, "Please enter your password for SQL Server");
    context.sqlPassword = text::TrimTrailingBlanks(value);
    if (auto problem = PasswordProblem(value)) return Refuse(context, *problem);
    return 1;
}

int CheckPasswordRepeat(SetupContext& context, const std::string& value) {
    context.sqlPasswordRepeat = text::TrimTrailingBlanks(value);
    if (context.sqlPasswordRepeat != context.sqlPassword) {
        return Refuse(context, "Second Password should match First Password");
    }
    return 1;
}

int CheckField(SetupContext& context, int controlId, const std::string& value) {
    if (auto problem = LengthProblem(controlId, value)) return Refuse(context, *problem);
    switch (controlId) {
        case IDC_SETUP_TYPE:
            return CheckSetupType(context, value);
        case IDC_BIT_SIZE:
            return CheckBitSize(context, value);
        case IDC_PORT:
            return CheckPort(context, value);
        case IDC_PASSWORD:
            return CheckPassword(context, value);
        case IDC_PASSWORD_REPEAT:
            return CheckPasswordRepeat(context, value);
        case IDC_CLIENT_DIRECTORY:
            if (text::IsBlank(value)) {
                return Refuse(context, "Please select directory in which your Client Programs will be setup");
            }
            return 1;
        case IDC_SERVER_DIRECTORY:
            if (text::IsBlank(value)) {
                return Refuse(context, "Please select directory in which your Server Programs will be setup");
            }
            return 1;
        case IDC_INSTALL_SQL:
            if (text::IsBlank(value)) return Refuse(context, INSTALL_SQL_BLANK_MESSAGE);
            return 1;
        case IDC_EDITION:
            if (text::IsBlank(value)) return Refuse(context, EDITION_BLANK_MESSAGE);
            return 1;
        default:
            return 1;
    }
}
