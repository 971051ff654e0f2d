#pragma once
// The command line of a quiet run: its mode, its switches and their checks,
// the same checks as the dialog's fields, as decisions on plain words.
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/flags.h"

enum class QuietMode { Install, Repair, Modify, Uninstall };

// What the words say, before their values are checked.
struct QuietWords {
    QuietMode mode = QuietMode::Install;
    // Switch name in lower case -> its value, for every switch given once.
    std::map<std::string, std::string> values;
    // "<switch>: <why>" for the first word that is wrong; nothing when none is.
    std::optional<std::string> refusal;
    // The /log value when it was given once and is not empty: the log goes
    // there, the refusal of any other word included.
    std::optional<std::string> log;
};
QuietWords ReadQuietWords(const std::vector<std::string>& words);

// A quiet run's choices, checked.
struct QuietChoices {
    QuietMode mode = QuietMode::Install;
    SetupFlags setupFlags = 0;  // the sides, the bit size, Summit, the information server's port
    std::string clientDirectory;
    std::string serverDirectory;
    std::string edition;  // as the dialog lists it ("Starter")
    long port = 0;
    std::string hosts;
    bool sql = false;
    std::string passwordFile;
    std::optional<std::string> proxy;  // nothing: the system's proxy
    // Switches given that this run does not use, for the log.
    std::vector<std::string> ignored;
};
struct QuietChoice {
    std::optional<QuietChoices> choices;
    std::string refusal;  // "<switch>: <why>" when there are no choices
};
QuietChoice ChooseQuietRun(const QuietWords& words);

// The refusal line of the log.
std::string InvalidCommandLineText(std::string_view refusal);

// The first line of a password file: ANSI, or UTF-8 after a byte-order mark
// (converted with `toAnsi`, which gives nothing when the system code page
// cannot hold the text); its line end removed and trailing blanks trimmed.
using AnsiFromUtf8 = std::optional<std::string> (*)(std::string_view utf8);
std::optional<std::string> PasswordFromFile(std::string_view bytes, AnsiFromUtf8 toAnsi);
// Why a password from a file cannot be taken; nothing when it can.
std::optional<std::string> PasswordFileProblem(std::string_view password);
