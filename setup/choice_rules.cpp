#include "setup/choice_rules.h"

#include "core/context.h"
#include "win/text.h"

const char PORT_BLANK_MESSAGE[] =
    "Please select Port 80 for Http, 443 for Https and  1465 for Corvanta Information Server or 1064 for custom";
const char PORT_RANGE_MESSAGE[] = "Please select Port 80 for Http, 443 for Https or port No >1000 like  1064 for custom";
const char PORT_MISSING_MESSAGE[] = "Please enter Server Port";
const char SETUP_TYPE_BLANK_MESSAGE[] = "Please select Client or Server Setup or Both";
const char EDITION_BLANK_MESSAGE[] = "Please select the Edition of the Server";
const char INSTALL_SQL_BLANK_MESSAGE[] = "Please select whether you want to install SQL Server";
const char CLIENT_DIRECTORY_MISSING_MESSAGE[] = "Please enter Client Directory";
const char SERVER_DIRECTORY_MISSING_MESSAGE[] = "Please enter Server Directory";

namespace {

constexpr long HIGHEST_PORT = 65535;

struct FieldInfo {
    ChoiceField field;
    const char* name;
    std::size_t limit;
};

// Directory, host and proxy fields are as wide as their context fields; the
// words chosen from lists fit the OK command's scratch text.
constexpr FieldInfo FIELDS[] = {
    {ChoiceField::SetupType, "Setup Type", 255},
    {ChoiceField::BitSize, "BitSize", 255},
    {ChoiceField::ClientDirectory, "Client Directory", FOLDER_WIDTH - 1},
    {ChoiceField::ServerDirectory, "Server Directory", FOLDER_WIDTH - 1},
    {ChoiceField::Edition, "Edition", EDITION_WIDTH - 1},
    {ChoiceField::Port, "Port", 255},
    {ChoiceField::Hosts, "Hosts", FOLDER_WIDTH - 1},
    {ChoiceField::InstallSql, "Install SQL Server", 255},
    {ChoiceField::Password, "Enter Your Password", PASSWORD_WIDTH - 1},
    {ChoiceField::PasswordRepeat, "Re-enter Password", PASSWORD_WIDTH - 1},
    {ChoiceField::ProxyServer, "Proxy Server", FOLDER_WIDTH - 1},
};

const FieldInfo& Find(ChoiceField field) {
    for (const FieldInfo& info : FIELDS) {
        if (info.field == field) return info;
    }
    return FIELDS[0];
}

constexpr BitSizeChoice BIT_SIZES[] = {
    {"32 Bit", SETUP_BITS_32,
     {"c:\\Corvanta10App32", "c:\\Program Files\\TovinSoft\\Corvanta10App32\\", "d:\\Corvanta10App32"}},
    {"64 Bit", SETUP_BITS_64,
     {"c:\\Corvanta10App", "c:\\Program Files\\TovinSoft\\Corvanta10App\\", "d:\\Corvanta10App"}},
    {"AI Client", SETUP_AI_CLIENT,
     {"c:\\CorvantaAIApp", "c:\\Program Files\\TovinSoft\\CorvantaAIApp\\", "d:\\CorvantaAIApp"}},
};

}  // namespace

std::string_view FieldName(ChoiceField field) { return Find(field).name; }

std::size_t FieldLimit(ChoiceField field) { return Find(field).limit; }

std::optional<std::string> LengthProblem(ChoiceField field, std::string_view text) {
    const FieldInfo& info = Find(field);
    if (text.size() <= info.limit) return std::nullopt;
    return std::string("The field ") + info.name + " takes at most " + std::to_string(info.limit) +
           " characters. Please enter a shorter text.";
}

bool PortInRange(long port) { return (port >= 1000 && port <= HIGHEST_PORT) || port == 80 || port == 443; }

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

const BitSizeChoice* BitSizeByText(std::string_view text) {
    for (const BitSizeChoice& choice : BIT_SIZES) {
        if (text == choice.text) return &choice;
    }
    return nullptr;
}

const BitSizeChoice* BitSizeByFlag(SetupFlags flags) {
    for (const BitSizeChoice& choice : BIT_SIZES) {
        if (flags & choice.bit) return &choice;
    }
    return nullptr;
}
