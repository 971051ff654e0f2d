#pragma once
// Turning the process's command line into the mode of the run.
#include <cstddef>
#include <string>
#include <string_view>

#include "app/flags.h"

// Only the first 255 characters of the converted line are searched.
constexpr std::size_t COMMAND_LINE_LIMIT = 255;

ModeFlags ParseModeFlags(std::string_view commandLine);
std::string CommandLineText(std::wstring_view wideCommandLine);
