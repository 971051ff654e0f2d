#include "values.h"


#include "config_node.h"

namespace iisadmin {
namespace {

std::wstring_view Trim(std::wstring_view s) {
    const size_t first = s.find_first_not_of(L" \t");
    if (first == std::wstring_view::npos) return {};
    const size_t last = s.find_last_not_of(L" \t");
    return s.substr(first, last - first + 1);
}

std::optional<long long> ParseInteger(std::wstring_view s) {
    s = Trim(s);
    bool negative = false;
    if (!s.empty() && (s[0] == L'-' || s[0] == L'+')) {
        negative = s[0] == L'-';
        s.remove_prefix(1);
    }
    if (s.empty() || s.size() > 19) return std::nullopt;
    long long n = 0;
    for (wchar_t c : s) {
        if (c < L'0' || c > L'9') return std::nullopt;
        n = n * 10 + (c - L'0');
    }
    return negative ? -n : n;
}

bool InRange(ValueType type, long long n) {
    switch (type) {
        case ValueType::Int32: return n >= -2147483648LL && n <= 2147483647LL;
        case ValueType::UInt32: return n >= 0 && n <= 4294967295LL;
        case ValueType::Bool: return n == 0 || n == 1;
        default: return true;
    }
}

std::optional<long> EnumNumber(const PropertySchema& schema, std::wstring_view name) {
    for (const auto& v : schema.values) {
        if (EqualsNoCase(v.name, name)) return v.value;
    }
    if (auto n = ParseInteger(name)) {
        for (const auto& v : schema.values) {
            if (v.value == *n) return v.value;
        }
    }
    return std::nullopt;
}

std::optional<long long> FlagsNumber(const PropertySchema& schema, std::wstring_view text) {
    long long all = 0;
    for (const auto& v : schema.values) all |= v.value;
    long long n = 0;
    while (!text.empty()) {
        const size_t comma = text.find(L',');
        const std::wstring_view part = Trim(text.substr(0, comma));
        text = comma == std::wstring_view::npos ? std::wstring_view() : text.substr(comma + 1);
        if (part.empty()) continue;
        if (auto value = EnumNumber(schema, part)) {
            n |= *value;
        } else if (auto number = ParseInteger(part); number && (*number & ~all) == 0) {
            n |= *number;
        } else {
            return std::nullopt;
        }
    }
    return n;
}

bool ValidNumber(const PropertySchema& schema, long long n) {
    if (schema.type == ValueType::Enum) {
        for (const auto& v : schema.values) {
            if (v.value == n) return true;
        }
        return false;
    }
    if (schema.type == ValueType::Flags) {
        long long all = 0;
        for (const auto& v : schema.values) all |= v.value;
        return n >= 0 && (n & ~all) == 0;
    }
    return InRange(schema.type, n);
}

}  // namespace

std::optional<TypedValue> ParseStored(const PropertySchema* schema, std::wstring_view text) {
    TypedValue value;
    if (!schema || schema->type == ValueType::String) {
        value.text = std::wstring(text);
        return value;
    }
    switch (schema->type) {
        case ValueType::Bool:
            if (EqualsNoCase(Trim(text), L"true")) {
                value.number = 1;
            } else if (!EqualsNoCase(Trim(text), L"false")) {
                return std::nullopt;
            }
            return value;
        case ValueType::Enum: {
            auto n = EnumNumber(*schema, Trim(text));
            if (!n) return std::nullopt;
            value.number = *n;
            return value;
        }
        case ValueType::Flags: {
            auto n = FlagsNumber(*schema, text);
            if (!n) return std::nullopt;
            value.number = *n;
            return value;
        }
        default: {
            auto n = ParseInteger(text);
            if (!n || !InRange(schema->type, *n)) return std::nullopt;
            value.number = *n;
            return value;
        }
    }
}

std::wstring FormatValue(const PropertySchema* schema, const TypedValue& value) {
    if (!schema || schema->type == ValueType::String) return value.text;
    switch (schema->type) {
        case ValueType::Bool: return value.number ? L"true" : L"false";
        case ValueType::Enum:
            for (const auto& v : schema->values) {
                if (v.value == value.number) return v.name;
            }
            return std::to_wstring(value.number);
        case ValueType::Flags: {
            std::wstring text;
            for (const auto& v : schema->values) {
                const bool set = v.value == 0 ? value.number == 0 : (value.number & v.value) == v.value;
                if (!set) continue;
                if (!text.empty()) text += L", ";
                text += v.name;
            }
            return text;
        }
        default: return std::to_wstring(value.number);
    }
}

HRESULT FromVariant(const PropertySchema* schema, const VARIANT& in, TypedValue& out) {
    if (in.vt == VT_BSTR) {
        auto parsed = ParseStored(schema, in.bstrVal ? std::wstring_view(in.bstrVal, ::SysStringLen(in.bstrVal))
                                                     : std::wstring_view());
        if (!parsed) return E_INVALIDARG;
        out = std::move(*parsed);
        return S_OK;
    }
    std::optional<long long> n = in.vt == VT_BOOL ? std::optional<long long>(in.boolVal ? 1 : 0) : IntegerOf(in);
    if (!n) return E_INVALIDARG;
    const ValueType type = schema ? schema->type : ValueType::String;
    out = TypedValue{};
    if (type == ValueType::String) {
        out.text = in.vt == VT_BOOL ? (*n ? L"true" : L"false") : std::to_wstring(*n);
        return S_OK;
    }
    if (type == ValueType::Bool) *n = *n != 0;
    if (!ValidNumber(*schema, *n)) return E_INVALIDARG;
    out.number = *n;
    return S_OK;
}

HRESULT ToVariant(const PropertySchema* schema, const TypedValue& value, VARIANT* out) {
    ::VariantInit(out);
    const ValueType type = schema ? schema->type : ValueType::String;
    switch (type) {
        case ValueType::String:
            out->bstrVal = ::SysAllocStringLen(value.text.data(), static_cast<UINT>(value.text.size()));
            if (!out->bstrVal) return E_OUTOFMEMORY;
            out->vt = VT_BSTR;
            return S_OK;
        case ValueType::Bool:
            out->vt = VT_BOOL;
            out->boolVal = value.number ? VARIANT_TRUE : VARIANT_FALSE;
            return S_OK;
        case ValueType::UInt32:
            out->vt = VT_UI4;
            out->ulVal = static_cast<ULONG>(value.number);
            return S_OK;
        case ValueType::Int64:
            out->vt = VT_I8;
            out->llVal = value.number;
            return S_OK;
        default:
            out->vt = VT_I4;
            out->lVal = static_cast<LONG>(value.number);
            return S_OK;
    }
}

std::optional<long long> IntegerOf(const VARIANT& v) {
    switch (v.vt) {
        case VT_I1: return v.cVal;
        case VT_UI1: return v.bVal;
        case VT_I2: return v.iVal;
        case VT_UI2: return v.uiVal;
        case VT_I4: return v.lVal;
        case VT_UI4: return v.ulVal;
        case VT_INT: return v.intVal;
        case VT_UINT: return v.uintVal;
        case VT_I8: return v.llVal;
        case VT_UI8: return static_cast<long long>(v.ullVal);
        default: return std::nullopt;
    }
}

std::optional<std::wstring> NameOf(const VARIANT& v) {
    if (v.vt != VT_BSTR) return std::nullopt;
    return v.bstrVal ? std::wstring(v.bstrVal, ::SysStringLen(v.bstrVal)) : std::wstring();
}

}  // namespace iisadmin
