#pragma once
// Turning the process's command line into the mode of the run.
#include <cstddef>
#include <optional>
#include <string>
#include <vector>
#include <string_view>

#include "core/flags.h"

// Only the first 255 characters of the converted line are searched.
constexpr std::size_t COMMAND_LINE_LIMIT = 255;

ModeFlags ParseModeFlags(std::string_view commandLine);
std::string CommandLineText(std::wstring_view wideCommandLine);
// The words of the part of a command line after the program's name, split as
// CommandLineToArgvW splits them (quotes group blanks).
std::vector<std::string> CommandLineWords(std::wstring_view commandTail);
// The value of the first word "/name=value" (the name in any case); nothing
// when no word has that name.
std::optional<std::string> SwitchValue(const std::vector<std::string>& words, std::string_view name);
