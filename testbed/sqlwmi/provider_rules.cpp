#include "provider_rules.h"

#include <windows.h>

#include <algorithm>

namespace sqlwmi {
namespace {

constexpr std::wstring_view kProviderRoot = L"root\\microsoft\\sqlserver\\";
constexpr std::wstring_view kKeyStem = L"ComputerManagement";

constexpr std::wstring_view kInstanceIdQuery =
    L"SELECT * FROM SqlServiceAdvancedProperty WHERE SQLServiceType = 1 AND PropertyName = 'instanceID'";
constexpr std::wstring_view kServicePropertyHead =
    L"select * from SqlServiceAdvancedProperty where SQLServiceType = 1 and PropertyName = '";
constexpr std::wstring_view kServicePropertyMiddle = L"' and ServiceName = '";
constexpr std::wstring_view kServicePropertyTail = L"'";

bool StartsWithText(std::wstring_view s, std::wstring_view head) noexcept {
    return s.size() >= head.size() && SameText(s.substr(0, head.size()), head);
}

bool IsLocalServer(std::wstring_view server, std::wstring_view computerName) noexcept {
    return server == L"." || SameText(server, L"localhost") ||
           (!computerName.empty() && SameText(server, computerName));
}

// A WQL string literal without escapes: a quote inside ends it early and
// leaves the rest of the text as a syntax error.
bool IsPlainLiteral(std::wstring_view s) noexcept {
    return s.find(L'\'') == std::wstring_view::npos;
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

std::optional<PropertyQuery> ParsePropertyQuery(std::wstring_view query) {
    if (query == kInstanceIdQuery) return PropertyQuery{L"instanceID", std::nullopt};

    if (query.substr(0, kServicePropertyHead.size()) != kServicePropertyHead) return std::nullopt;
    std::wstring_view rest = query.substr(kServicePropertyHead.size());
    const size_t middle = rest.find(kServicePropertyMiddle);
    if (middle == std::wstring_view::npos) return std::nullopt;
    const std::wstring_view property = rest.substr(0, middle);
    rest = rest.substr(middle + kServicePropertyMiddle.size());
    if (rest.size() < kServicePropertyTail.size() ||
        rest.substr(rest.size() - kServicePropertyTail.size()) != kServicePropertyTail)
        return std::nullopt;
    const std::wstring_view service = rest.substr(0, rest.size() - kServicePropertyTail.size());
    if (!IsPlainLiteral(property) || !IsPlainLiteral(service)) return std::nullopt;
    return PropertyQuery{std::wstring(property), std::wstring(service)};
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

}  // namespace sqlwmi
