#include "app/command_line.h"

#include "win/text.h"

ModeFlags ParseModeFlags(std::string_view commandLine) {
    commandLine = commandLine.substr(0, COMMAND_LINE_LIMIT);
    ModeFlags mode = 0;
    // Later words win: "uninstall" contains "install" and must replace it.
    if (text::Contains(commandLine, "install")) mode = MODE_INSTALL;
    if (text::Contains(commandLine, "repair")) mode = MODE_REPAIR;
    if (text::Contains(commandLine, "modify")) mode = MODE_MODIFY;
    if (text::Contains(commandLine, "uninstall")) mode = MODE_UNINSTALL;
    if (text::IsBlank(commandLine)) mode = MODE_INSTALL;
    return mode;
}

std::string CommandLineText(std::wstring_view wideCommandLine) {
    std::string line = win::ToAnsi(wideCommandLine);
    if (line.size() > COMMAND_LINE_LIMIT) line.resize(COMMAND_LINE_LIMIT);
    return line;
}
