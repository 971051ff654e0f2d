#pragma once
// Property values between the three forms IIS knows: the text stored in the
// file, the text get_StringValue shows, and the VARIANT of the schema's type.
#include <windows.h>
#include <oaidl.h>

#include <optional>
#include <string>
#include <string_view>

#include "schema.h"

namespace iisadmin {

// A value after parsing: text for strings, a number for everything else
// (switches are 0 or 1, enumerations and flags their numeric value).
struct TypedValue {
    std::wstring text;
    long long number = 0;
};

// The stored text parsed for the property's type; nothing when it does not
// fit (unknown enumeration name, number out of range, "yes" for a switch).
// A null schema means an attribute the schema does not know: plain text.
std::optional<TypedValue> ParseStored(const PropertySchema* schema, std::wstring_view text);
// The canonical text of a value: "true"/"false", enumeration names, flags as
// "Read, Script" in the order of their values, decimal numbers.
std::wstring FormatValue(const PropertySchema* schema, const TypedValue& value);
// A VARIANT put into a property, converted to its type; E_INVALIDARG when it
// cannot be.
HRESULT FromVariant(const PropertySchema* schema, const VARIANT& in, TypedValue& out);
// The VARIANT get_Value gives: VT_BSTR, VT_BOOL, VT_I4 (also enumerations and
// flags), VT_UI4 or VT_I8.
HRESULT ToVariant(const PropertySchema* schema, const TypedValue& value, VARIANT* out);

// An integer index of a collection (VT_I2, VT_I4, VT_UI4, ...); nothing for
// other kinds.
std::optional<long long> IntegerOf(const VARIANT& v);
// The text of a VT_BSTR name index; nothing for other kinds.
std::optional<std::wstring> NameOf(const VARIANT& v);

}  // namespace iisadmin
