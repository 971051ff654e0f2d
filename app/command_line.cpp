#include "app/command_line.h"

#include <windows.h>

#include "win/text.h"

namespace {

bool IsWordBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

bool IsNameCharacter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); }

// One word from `at` on, as CommandLineToArgvW reads the words after the
// program's name: 2n backslashes and a quote give n backslashes and toggle
// quoting, 2n+1 give n backslashes and a quote; inside quotes a third quote
// in a row is a quote of its own.
CommandWord ReadWord(std::wstring_view line, std::size_t at) {
    CommandWord word;
    word.begin = at;
    std::size_t backslashes = 0;
    int quotes = 0;
    std::size_t i = at;
    while (i < line.size() && !(IsWordBlank(line[i]) && quotes == 0)) {
        const wchar_t c = line[i];
        if (c == L'\\') {
            word.text += c;
            ++backslashes;
            ++i;
            continue;
        }
        if (c == L'"') {
            if (backslashes % 2 == 0) {
                word.text.resize(word.text.size() - backslashes / 2);
                ++quotes;
            } else {
                word.text.resize(word.text.size() - backslashes / 2 - 1);
                word.text += L'"';
            }
            backslashes = 0;
            ++i;
            while (i < line.size() && line[i] == L'"') {
                if (++quotes == 3) {
                    word.text += L'"';
                    quotes = 0;
                }
                ++i;
            }
            if (quotes == 2) quotes = 0;
            continue;
        }
        word.text += c;
        backslashes = 0;
        ++i;
    }
    word.end = i;
    return word;
}

}  // namespace

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

std::vector<CommandWord> SplitCommandWords(std::wstring_view commandTail) {
    std::vector<CommandWord> words;
    std::size_t i = 0;
    for (;;) {
        while (i < commandTail.size() && IsWordBlank(commandTail[i])) ++i;
        if (i >= commandTail.size()) return words;
        words.push_back(ReadWord(commandTail, i));
        i = words.back().end;
    }
}

std::vector<std::string> CommandLineWords(std::wstring_view commandTail) {
    std::vector<std::string> out;
    for (const CommandWord& word : SplitCommandWords(commandTail)) out.push_back(win::ToAnsi(word.text));
    return out;
}

std::optional<std::string> SwitchName(std::string_view word) {
    if (word.size() < 3 || word[0] != '/') return std::nullopt;
    const std::size_t equals = word.find('=');
    if (equals == std::string_view::npos || equals < 2) return std::nullopt;
    for (std::size_t i = 1; i < equals; ++i) {
        if (!IsNameCharacter(word[i])) return std::nullopt;
    }
    return std::string(word.substr(1, equals - 1));
}

std::string SwitchValueOf(std::string_view word) {
    const std::size_t equals = word.find('=');
    return equals == std::string_view::npos ? std::string() : std::string(word.substr(equals + 1));
}

std::optional<std::string> SwitchValue(const std::vector<std::string>& words, std::string_view name) {
    for (const std::string& word : words) {
        const auto found = SwitchName(word);
        if (found && text::EqualsNoCase(*found, name)) return SwitchValueOf(word);
    }
    return std::nullopt;
}

std::wstring WithoutSwitchWords(std::wstring_view commandTail) {
    std::wstring out(commandTail);
    const std::vector<CommandWord> words = SplitCommandWords(commandTail);
    // From the last word back, so the positions of the earlier ones hold.
    for (auto word = words.rbegin(); word != words.rend(); ++word) {
        if (SwitchName(win::ToAnsi(word->text))) out.erase(word->begin, word->end - word->begin);
    }
    return out;
}

ModeFlags DialogModeFlags(std::wstring_view commandTail) {
    return ParseModeFlags(CommandLineText(WithoutSwitchWords(commandTail)));
}

bool HasQuietWord(const std::vector<std::string>& words) {
    for (const std::string& word : words) {
        if (text::EqualsNoCase(word, "/quiet")) return true;
    }
    return false;
}

std::wstring MaskSecretSwitches(std::wstring_view line) {
    std::wstring out(line);
    const std::vector<CommandWord> words = SplitCommandWords(line);
    for (auto word = words.rbegin(); word != words.rend(); ++word) {
        const auto name = SwitchName(win::ToAnsi(word->text));
        if (!name) continue;
        const std::string lower = text::ToLower(*name);
        if (!text::Contains(lower, "pw") && !text::Contains(lower, "pass")) continue;
        // The whole word is written anew, so no quote of the value is left open.
        out.replace(word->begin, word->end - word->begin, L"/" + win::ToWide(*name) + L"=********");
    }
    return out;
}
