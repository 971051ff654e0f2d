#include "command_line.h"

namespace fake {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

}  // namespace

std::vector<std::string> SplitCommandLine(std::string_view line) {
    std::vector<std::string> out;
    size_t i = 0;
    const size_t n = line.size();

    // The program name: quotes only group, a backslash is an ordinary character.
    std::string program;
    bool quoted = false;
    while (i < n && (quoted || !IsBlank(line[i]))) {
        if (line[i] == '"')
            quoted = !quoted;
        else
            program += line[i];
        ++i;
    }
    out.push_back(program);

    for (;;) {
        while (i < n && IsBlank(line[i])) ++i;
        if (i >= n) break;
        std::string argument;
        quoted = false;
        while (i < n && (quoted || !IsBlank(line[i]))) {
            char c = line[i];
            if (c == '\\') {
                size_t count = 0;
                while (i < n && line[i] == '\\') {
                    ++count;
                    ++i;
                }
                if (i < n && line[i] == '"') {
                    argument.append(count / 2, '\\');
                    if (count % 2 == 1) {
                        argument += '"';
                        ++i;
                    }
                } else {
                    argument.append(count, '\\');
                }
                continue;
            }
            if (c == '"') {
                if (quoted && i + 1 < n && line[i + 1] == '"') {
                    argument += '"';
                    i += 2;
                    continue;
                }
                quoted = !quoted;
                ++i;
                continue;
            }
            argument += c;
            ++i;
        }
        out.push_back(argument);
    }
    return out;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (Upper(a[i]) != Upper(b[i])) return false;
    return true;
}

std::string ToUpper(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = Upper(c);
    return out;
}

bool HasSwitch(const std::vector<std::string>& arguments, std::string_view name) {
    for (const std::string& argument : arguments)
        if (EqualsNoCase(argument, name)) return true;
    return false;
}

}  // namespace fake
