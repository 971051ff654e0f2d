#include "app/command_line.h"

#include <windows.h>
#include <shellapi.h>

#include "win/handles.h"
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

std::vector<std::string> CommandLineWords(std::wstring_view commandTail) {
    // A stand-in program name first: the first word is read by other rules.
    const std::wstring line = L"setup " + std::wstring(commandTail);
    int count = 0;
    LPWSTR* words = ::CommandLineToArgvW(line.c_str(), &count);
    win::LocalMemory owner(reinterpret_cast<HLOCAL>(words));
    std::vector<std::string> out;
    for (int i = 1; words && i < count; ++i) out.push_back(win::ToAnsi(words[i]));
    return out;
}

std::optional<std::string> SwitchValue(const std::vector<std::string>& words, std::string_view name) {
    std::string prefix = "/";
    prefix.append(name);
    prefix += '=';
    for (const std::string& word : words) {
        if (word.size() >= prefix.size() && text::EqualsNoCase(std::string_view(word).substr(0, prefix.size()), prefix)) {
            return word.substr(prefix.size());
        }
    }
    return std::nullopt;
}
