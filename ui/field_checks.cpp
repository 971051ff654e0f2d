#include "ui/field_checks.h"

#include <windows.h>

#include "core/context.h"
#include "prereq/sql_setup.h"
#include "resources/resource.h"
#include "ui/setup_dialog.h"
#include "ui/sql_check.h"
#include "win/text.h"

const char PORT_BLANK_MESSAGE[] =
    "Please select Port 80 for Http, 443 for Https and  1465 for Corvanta Information Server or 1064 for custom";
const char PORT_RANGE_MESSAGE[] = "Please select Port 80 for Http, 443 for Https or port No >1000 like  1064 for custom";

namespace {

struct FieldInfo {
    int id;
    const char* name;
    std::size_t limit;
};

// Directory, host and proxy fields are as wide as their context fields; the
// words chosen from lists fit the OK command's scratch text.
constexpr FieldInfo FIELDS[] = {
    {IDC_SETUP_TYPE, "Setup Type", 255},
    {IDC_BIT_SIZE, "BitSize", 255},
    {IDC_CLIENT_DIRECTORY, "Client Directory", FOLDER_WIDTH - 1},
    {IDC_SERVER_DIRECTORY, "Server Directory", FOLDER_WIDTH - 1},
    {IDC_EDITION, "Edition", EDITION_WIDTH - 1},
    {IDC_PORT, "Port", 255},
    {IDC_HOSTS, "Hosts", FOLDER_WIDTH - 1},
    {IDC_INSTALL_SQL, "Install SQL Server", 255},
    {IDC_PASSWORD, "Enter Your Password", PASSWORD_WIDTH - 1},
    {IDC_PASSWORD_REPEAT, "Re-enter Password", PASSWORD_WIDTH - 1},
    {IDC_PROXY_SERVER, "Proxy Server", FOLDER_WIDTH - 1},
};

const FieldInfo* FindField(int id) {
    for (const FieldInfo& field : FIELDS) {
        if (field.id == id) return &field;
    }
    return nullptr;
}

int Refuse(SetupContext& context, const std::string& message) {
    context.ShowMessage(message);
    return 0;
}

bool IsServerSide(const std::string& setupType) { return setupType == "Server" || setupType == "Both"; }

struct BitSizeRow {
    const char* text;
    SetupFlags bit;
    const char* proposals[3];
};

constexpr BitSizeRow BIT_SIZES[] = {
    {"32 Bit", SETUP_BITS_32,
     {"c:\\Corvanta10App32", "c:\\Program Files\\TovinSoft\\Corvanta10App32\\", "d:\\Corvanta10App32"}},
    {"64 Bit", SETUP_BITS_64,
     {"c:\\Corvanta10App", "c:\\Program Files\\TovinSoft\\Corvanta10App\\", "d:\\Corvanta10App"}},
    {"AI Client", SETUP_AI_CLIENT,
     {"c:\\CorvantaAIApp", "c:\\Program Files\\TovinSoft\\CorvantaAIApp\\", "d:\\CorvantaAIApp"}},
};

}  // namespace

std::size_t FieldLimit(int controlId) {
    const FieldInfo* field = FindField(controlId);
    return field ? field->limit : 1023;
}

std::optional<std::string> LengthProblem(int controlId, std::string_view text) {
    const FieldInfo* field = FindField(controlId);
    if (!field || text.size() <= field->limit) return std::nullopt;
    return std::string("The field ") + field->name + " takes at most " + std::to_string(field->limit) +
           " characters. Please enter a shorter text.";
}

bool PortInRange(long port) { return port >= 1000 || port == 80 || port == 443; }

std::optional<std::string> PasswordProblem(std::string_view password) {
    if (text::IsBlank(password)) return std::string("Please enter your password for SQL Server");
    const std::string trimmed = text::TrimTrailingBlanks(password);
    if (trimmed.size() < 6) return std::string("Password should be at least 6 characters ");
    bool digit = false, upper = false, lower = false, special = false;
    for (char c : trimmed) {
        if (c >= '0' && c <= '9') digit = true;
        else if (c >= 'A' && c <= 'Z') upper = true;
        else if (c >= 'a' && c <= 'z') lower = true;
        else if (c == '$' || c == '#' || c == '@' || c == '*') special = true;
    }
    if (digit && upper && lower && special) return std::nullopt;
    return std::string(
        "Password should consist of atleast 1 upper character, 1 lower character, 1 numeric digit and 1 special "
        "character ");
}

int CheckSetupType(SetupContext& context, const std::string& value) {
    if (text::IsBlank(value)) return Refuse(context, "Please select Client or Server Setup or Both");
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
    for (const BitSizeRow& row : BIT_SIZES) {
        if (value != row.text) continue;
        context.setupFlags |= row.bit;
        HWND box = ::GetDlgItem(context.dialog, IDC_CLIENT_DIRECTORY);
        ::SendMessageA(box, CB_RESETCONTENT, 0, 0);
        for (int i = 0; i < 3; ++i) {
            ::SendMessageA(box, CB_INSERTSTRING, i, reinterpret_cast<LPARAM>(row.proposals[i]));
        }
        ::SendMessageA(box, CB_SETCURSEL, 0, 0);
        break;
    }
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
            if (text::IsBlank(value)) return Refuse(context, "Please select whether you want to install SQL Server");
            return 1;
        case IDC_EDITION:
            if (text::IsBlank(value)) return Refuse(context, "Please select the Edition of the Server");
            return 1;
        default:
            return 1;
    }
}
