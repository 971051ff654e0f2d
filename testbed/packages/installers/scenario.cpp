#include "scenario.h"

#include "registry.h"

namespace fake {

namespace {

std::string_view Trim(std::string_view s) {
    size_t begin = s.find_first_not_of(" \t");
    if (begin == std::string_view::npos) return {};
    size_t end = s.find_last_not_of(" \t");
    return s.substr(begin, end - begin + 1);
}

bool ParseCode(std::string_view s, DWORD& out) {
    unsigned base = 10;
    if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        base = 16;
        s.remove_prefix(2);
    }
    if (s.empty()) return false;
    unsigned long long value = 0;
    for (char c : s) {
        unsigned digit;
        if (c >= '0' && c <= '9')
            digit = static_cast<unsigned>(c - '0');
        else if (base == 16 && c >= 'a' && c <= 'f')
            digit = static_cast<unsigned>(c - 'a' + 10);
        else if (base == 16 && c >= 'A' && c <= 'F')
            digit = static_cast<unsigned>(c - 'A' + 10);
        else
            return false;
        if (digit >= base) return false;
        value = value * base + digit;
        if (value > 0xFFFFFFFFull) return false;
    }
    out = static_cast<DWORD>(value);
    return true;
}

std::string KeyOf(const std::string& installer) { return std::string(kScenarioRoot) + "\\" + installer; }

}  // namespace

ExitCodeTake TakeFirstExitCode(std::string_view list) {
    ExitCodeTake take;
    if (Trim(list).empty()) return take;
    size_t comma = list.find(',');
    std::string_view first = Trim(list.substr(0, comma));
    take.entry = std::string(first);
    take.rest = comma == std::string_view::npos ? std::string() : std::string(Trim(list.substr(comma + 1)));
    take.valid = ParseCode(first, take.code);
    if (!take.valid) take.code = 0;
    return take;
}

std::optional<DWORD> NextScenarioExitCode(const std::string& installer, std::string& error) {
    std::optional<std::string> list = GetMachineString(KeyOf(installer), "ExitCodes");
    if (!list || Trim(*list).empty()) return DWORD{0};
    ExitCodeTake take = TakeFirstExitCode(*list);
    LONG written = SetMachineString(KeyOf(installer), "ExitCodes", take.rest);
    if (written != ERROR_SUCCESS) {
        error = "cannot rewrite the scenario's ExitCodes (error " + std::to_string(written) + ")";
        return std::nullopt;
    }
    if (!take.valid) {
        error = "malformed entry \"" + take.entry + "\" in the scenario's ExitCodes";
        return std::nullopt;
    }
    return take.code;
}

DWORD ScenarioDword(const std::string& installer, const std::string& name, DWORD fallback) {
    return GetMachineDword(KeyOf(installer), name).value_or(fallback);
}

std::optional<std::string> ScenarioString(const std::string& installer, const std::string& name) {
    return GetMachineString(KeyOf(installer), name);
}

bool IsSuccessCode(DWORD code) { return code == 0 || code == 3010 || code == 1641; }

}  // namespace fake
