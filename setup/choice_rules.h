#pragma once
// The rules a choice must pass, whether it comes from a field of the setup
// dialog or from the command line of a quiet run.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "core/flags.h"

enum class ChoiceField {
    SetupType,
    BitSize,
    ClientDirectory,
    ServerDirectory,
    Edition,
    Port,
    Hosts,
    InstallSql,
    Password,
    PasswordRepeat,
    ProxyServer,
};

// The field's name as the dialog labels it.
std::string_view FieldName(ChoiceField field);
// The longest text a field takes, and the refusal for a longer one.
std::size_t FieldLimit(ChoiceField field);
std::optional<std::string> LengthProblem(ChoiceField field, std::string_view text);

// 80, 443, or 1000 up to the highest TCP port.
bool PortInRange(long port);
std::optional<std::string> PasswordProblem(std::string_view password);

extern const char PORT_BLANK_MESSAGE[];
extern const char PORT_RANGE_MESSAGE[];
extern const char PORT_MISSING_MESSAGE[];
extern const char SETUP_TYPE_BLANK_MESSAGE[];
extern const char EDITION_BLANK_MESSAGE[];
extern const char INSTALL_SQL_BLANK_MESSAGE[];
extern const char CLIENT_DIRECTORY_MISSING_MESSAGE[];
extern const char SERVER_DIRECTORY_MISSING_MESSAGE[];

// A bit size as the dialog lists it, its setup bit and the client folders
// proposed for it (the first is the default).
struct BitSizeChoice {
    const char* text;
    SetupFlags bit;
    const char* proposals[3];
};
const BitSizeChoice* BitSizeByText(std::string_view text);
const BitSizeChoice* BitSizeByFlag(SetupFlags flags);
