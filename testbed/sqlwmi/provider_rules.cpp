#include "provider_rules.h"

#include <windows.h>

#include <algorithm>

namespace sqlwmi {
namespace {

constexpr std::wstring_view kProviderRoot = L"root\\microsoft\\sqlserver\\";
constexpr std::wstring_view kKeyStem = L"ComputerManagement";

// Sleep(INFINITE) would never return; a summed wait stops just short of it.
constexpr unsigned long long kLongestWaitMs = 0xFFFFFFFEull;

bool StartsWithText(std::wstring_view s, std::wstring_view head) noexcept {
    return s.size() >= head.size() && SameText(s.substr(0, head.size()), head);
}

bool IsLocalServer(std::wstring_view server, std::wstring_view computerName) noexcept {
    return server == L"." || SameText(server, L"localhost") ||
           (!computerName.empty() && SameText(server, computerName));
}

bool IsBlank(wchar_t c) noexcept {
    return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n' || c == L'\v' || c == L'\f';
}

bool IsWordChar(wchar_t c) noexcept {
    return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9') || c == L'_';
}

// Walks a query text part by part over the blanks WQL allows between parts.
// Each step either takes its part and moves on or takes nothing.
class QueryReader {
public:
    explicit QueryReader(std::wstring_view text) : rest_(text) {}

    // A keyword, name or number as a whole word: "SELECT" does not take "SELECTED".
    bool Word(std::wstring_view word) {
        SkipBlanks();
        if (rest_.size() < word.size() || !SameText(rest_.substr(0, word.size()), word)) return false;
        if (rest_.size() > word.size() && IsWordChar(rest_[word.size()])) return false;
        rest_.remove_prefix(word.size());
        return true;
    }
    bool Symbol(wchar_t symbol) {
        SkipBlanks();
        if (rest_.empty() || rest_.front() != symbol) return false;
        rest_.remove_prefix(1);
        return true;
    }
    std::optional<std::wstring> Literal() {
        SkipBlanks();
        std::optional<WqlLiteral> literal = ReadWqlLiteral(rest_);
        if (!literal) return std::nullopt;
        rest_.remove_prefix(literal->length);
        return std::move(literal->value);
    }
    bool AtEnd() {
        SkipBlanks();
        return rest_.empty();
    }

private:
    void SkipBlanks() {
        while (!rest_.empty() && IsBlank(rest_.front())) rest_.remove_prefix(1);
    }

    std::wstring_view rest_;
};

// "<name> =" of a condition.
bool ConditionStart(QueryReader& reader, std::wstring_view name) {
    return reader.Word(name) && reader.Symbol(L'=');
}

}  // namespace

bool SameText(std::wstring_view a, std::wstring_view b) noexcept {
    if (a.size() != b.size()) return false;
    if (a.empty()) return true;
    return ::CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(),
                                  static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

std::optional<std::wstring> SqlNamespaceKey(std::wstring_view path, std::wstring_view computerName) {
    std::wstring p(path);
    std::replace(p.begin(), p.end(), L'/', L'\\');
    std::wstring_view rest = p;
    if (rest.substr(0, 2) == L"\\\\") {
        const size_t end = rest.find(L'\\', 2);
        if (end == std::wstring_view::npos) return std::nullopt;
        if (!IsLocalServer(rest.substr(2, end - 2), computerName)) return std::nullopt;
        rest = rest.substr(end + 1);
    }
    if (!StartsWithText(rest, kProviderRoot)) return std::nullopt;
    rest = rest.substr(kProviderRoot.size());
    if (!StartsWithText(rest, kKeyStem)) return std::nullopt;
    const std::wstring_view number = rest.substr(kKeyStem.size());
    if (!std::all_of(number.begin(), number.end(), [](wchar_t c) { return c >= L'0' && c <= L'9'; }))
        return std::nullopt;
    return std::wstring(kKeyStem) + std::wstring(number);
}

std::wstring NamespaceName(std::wstring_view key) {
    return L"ROOT\\Microsoft\\SqlServer\\" + std::wstring(key);
}

std::optional<WqlLiteral> ReadWqlLiteral(std::wstring_view text) {
    if (text.empty() || (text.front() != L'\'' && text.front() != L'"')) return std::nullopt;
    const wchar_t quote = text.front();
    WqlLiteral literal;
    for (size_t i = 1; i < text.size(); ++i) {
        wchar_t c = text[i];
        if (c == quote) {
            literal.length = i + 1;
            return literal;
        }
        if (c == L'\\') {
            if (++i == text.size()) break;
            c = text[i];
            if (c != L'\\' && c != L'\'' && c != L'"') return std::nullopt;
        }
        literal.value += c;
    }
    return std::nullopt;  // no closing quote
}

std::optional<PropertyQuery> ParsePropertyQuery(std::wstring_view query) {
    QueryReader reader(query);
    if (!(reader.Word(L"SELECT") && reader.Symbol(L'*') && reader.Word(L"FROM") &&
          reader.Word(L"SqlServiceAdvancedProperty") && reader.Word(L"WHERE") &&
          ConditionStart(reader, L"SQLServiceType") && reader.Word(L"1") && reader.Word(L"AND") &&
          ConditionStart(reader, L"PropertyName")))
        return std::nullopt;
    std::optional<std::wstring> property = reader.Literal();
    if (!property) return std::nullopt;
    PropertyQuery parsed{std::move(*property), std::nullopt};
    if (reader.AtEnd()) return parsed;
    if (!(reader.Word(L"AND") && ConditionStart(reader, L"ServiceName"))) return std::nullopt;
    parsed.serviceName = reader.Literal();
    if (!parsed.serviceName || !reader.AtEnd()) return std::nullopt;
    return parsed;
}

std::vector<PropertyRow> SelectRows(const std::vector<ServiceData>& services, const PropertyQuery& query) {
    std::vector<PropertyRow> rows;
    for (const ServiceData& service : services) {
        if (query.serviceName && !SameText(service.name, *query.serviceName)) continue;
        for (size_t i = 0; i < service.properties.size(); ++i) {
            const ServiceProperty& property = service.properties[i];
            if (!SameText(property.name, query.propertyName)) continue;
            rows.push_back({service.name, property.name, property.value, static_cast<unsigned long>(i)});
            break;
        }
    }
    return rows;
}

Stall PlanStall(std::optional<unsigned long> callerTimeoutMs, unsigned long pending, const Slowness& slowness) {
    if (pending == 0) return {};
    if (!callerTimeoutMs) {
        const unsigned long long total = static_cast<unsigned long long>(pending) * slowness.waitMs.value_or(0);
        return {false, static_cast<unsigned long>(std::min(total, kLongestWaitMs)), pending};
    }
    return {true, std::min(*callerTimeoutMs, slowness.waitMs.value_or(*callerTimeoutMs)), 1};
}

}  // namespace sqlwmi
