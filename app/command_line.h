#pragma once
// Turning the process's command line into the mode of the run, and into the
// words and switches of a quiet run.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/flags.h"

// Only the first 255 characters of the converted line are searched.
constexpr std::size_t COMMAND_LINE_LIMIT = 255;

ModeFlags ParseModeFlags(std::string_view commandLine);
std::string CommandLineText(std::wstring_view wideCommandLine);

// One word of a command line, as CommandLineToArgvW splits it (quotes group
// blanks, backslashes before a quote escape it), and where it stands in the
// line: [begin, end) of its raw characters, quotes included.
struct CommandWord {
    std::wstring text;
    std::size_t begin = 0;
    std::size_t end = 0;
};
// The words of the part of a command line after the program's name.
std::vector<CommandWord> SplitCommandWords(std::wstring_view commandTail);
// The same words as 8-bit texts.
std::vector<std::string> CommandLineWords(std::wstring_view commandTail);

// "/name=value": the name (letters and digits), nothing for any other word.
std::optional<std::string> SwitchName(std::string_view word);
std::string SwitchValueOf(std::string_view word);
// The value of the first word "/name=value" (the name in any case); nothing
// when no word has that name.
std::optional<std::string> SwitchValue(const std::vector<std::string>& words, std::string_view name);

// The line with every "/name=value" word taken out, so that a value such as
// /log=C:\repair\s.log cannot choose the mode.
std::wstring WithoutSwitchWords(std::wstring_view commandTail);
// The mode of a run with its dialog: the mode words searched in the line
// without its switches.
ModeFlags DialogModeFlags(std::wstring_view commandTail);
// True when one word is /quiet, in any letter case.
bool HasQuietWord(const std::vector<std::string>& words);
// The line as the log shows it: the value of every switch whose name holds
// "pw" or "pass" (in any case) replaced by ********.
std::wstring MaskSecretSwitches(std::wstring_view line);
