#include "setup/package_list.h"

#include <algorithm>

#include "win/text.h"

namespace {

bool IsBlankChar(char c) { return c == ' ' || c == '\t'; }

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Well-formed UTF-8: no stray continuation, overlong form, surrogate or
// code point above U+10FFFF.
bool IsUtf8(std::string_view s) {
    for (size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        size_t length = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
        if (length == 0 || i + length > s.size()) return false;
        unsigned long code = length == 1 ? c : c & (0x7F >> length);
        for (size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(s[i + k]);
            if ((next & 0xC0) != 0x80) return false;
            code = (code << 6) | (next & 0x3F);
        }
        static constexpr unsigned long SMALLEST[] = {0, 0, 0x80, 0x800, 0x10000};
        if (code < SMALLEST[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
        i += length;
    }
    return true;
}

// Splits off the next field up to a blank or tab, and the blanks after it.
std::string_view TakeField(std::string_view& rest) {
    size_t end = 0;
    while (end < rest.size() && !IsBlankChar(rest[end])) ++end;
    const std::string_view field = rest.substr(0, end);
    while (end < rest.size() && IsBlankChar(rest[end])) ++end;
    rest.remove_prefix(end);
    return field;
}

std::optional<std::uint64_t> Decimal(std::string_view digits) { return text::ParseDecimal(digits, 18); }

std::optional<win::Sha256Digest> Digest(std::string_view hex) {
    win::Sha256Digest digest{};
    if (hex.size() != digest.size() * 2) return std::nullopt;
    for (size_t i = 0; i < digest.size(); ++i) {
        const int high = HexValue(hex[2 * i]), low = HexValue(hex[2 * i + 1]);
        if (high < 0 || low < 0) return std::nullopt;
        digest[i] = static_cast<std::uint8_t>(high * 16 + low);
    }
    return digest;
}

std::optional<PackageEntry> PackageLine(std::string_view line) {
    std::string_view rest = line;
    const auto digest = Digest(TakeField(rest));
    const auto size = Decimal(TakeField(rest));
    if (!digest || !size || !IsListedFileName(rest)) return std::nullopt;
    return PackageEntry{std::string(rest), *size, *digest};
}

std::optional<std::uint64_t> SerialLine(std::string_view line) {
    std::string_view rest = line;
    if (TakeField(rest) != "serial") return std::nullopt;
    return Decimal(rest);
}

// One DER INTEGER of a signature: positive, minimally encoded, at most 32
// bytes of value, not zero; written right-aligned into out.
bool TakeInteger(std::string_view& der, std::uint8_t* out) {
    if (der.size() < 2 || der[0] != 0x02) return false;
    const auto length = static_cast<unsigned char>(der[1]);
    if (length < 1 || length > 33 || der.size() < 2u + length) return false;
    std::string_view value = der.substr(2, length);
    der.remove_prefix(2u + length);
    if (static_cast<unsigned char>(value[0]) & 0x80) return false;  // negative
    if (value[0] == 0) {
        if (value.size() == 1 || !(static_cast<unsigned char>(value[1]) & 0x80)) return false;  // not minimal
        value.remove_prefix(1);
    }
    if (value.size() > 32) return false;
    std::fill(out, out + 32, std::uint8_t{0});
    std::copy(value.begin(), value.end(), out + (32 - value.size()));
    return std::any_of(out, out + 32, [](std::uint8_t b) { return b != 0; });
}

}  // namespace

const PackageEntry* PackageList::Find(std::string_view name) const {
    for (const PackageEntry& entry : entries) {
        if (text::EqualsNoCase(entry.name, name)) return &entry;
    }
    return nullptr;
}

bool IsListedFileName(std::string_view name) {
    if (name.empty() || name.size() > 255 || name == "." || name == "..") return false;
    if (name.back() == ' ' || name.back() == '.' || name.front() == ' ') return false;
    for (char c : name) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F || std::string_view("<>:\"/\\|?*").find(c) != std::string_view::npos) return false;
    }
    return !text::IsDeviceName(name);
}

PackageListParse ParsePackageList(std::string_view text) {
    constexpr std::string_view BOM = "\xEF\xBB\xBF";
    if (text.substr(0, BOM.size()) == BOM) text.remove_prefix(BOM.size());
    PackageList list;
    bool serialSeen = false;
    size_t number = 0;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        ++number;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.empty() || line[0] == '#') {
            if (!IsUtf8(line)) return {std::nullopt, number};
            continue;
        }
        if (!IsUtf8(line)) return {std::nullopt, number};
        if (auto serial = SerialLine(line)) {
            if (serialSeen) return {std::nullopt, number};
            serialSeen = true;
            list.serial = *serial;
            continue;
        }
        auto entry = PackageLine(line);
        if (!entry || list.Find(entry->name)) return {std::nullopt, number};
        list.entries.push_back(std::move(*entry));
    }
    if (!serialSeen) return {std::nullopt, number + 1};
    return {std::move(list), 0};
}

std::optional<win::RawSignature> DerSignatureToRaw(std::string_view der) {
    if (der.size() < 2 || der[0] != 0x30) return std::nullopt;
    size_t length = static_cast<unsigned char>(der[1]);
    size_t header = 2;
    if (length == 0x81) {  // long form, only where the short one cannot say it
        if (der.size() < 3 || static_cast<unsigned char>(der[2]) < 0x80) return std::nullopt;
        length = static_cast<unsigned char>(der[2]);
        header = 3;
    } else if (length > 0x7F) {
        return std::nullopt;
    }
    if (der.size() != header + length) return std::nullopt;
    std::string_view body = der.substr(header);
    win::RawSignature raw{};
    if (!TakeInteger(body, raw.data()) || !TakeInteger(body, raw.data() + 32) || !body.empty()) return std::nullopt;
    return raw;
}

bool SerialAccepted(std::uint64_t serial, std::optional<std::uint64_t> highestTaken) {
    return !highestTaken || serial >= *highestTaken;
}

bool IsSignedByOneOf(std::string_view list, std::string_view signatureDer, const std::vector<win::EcPoint>& keys) {
    const auto signature = DerSignatureToRaw(signatureDer);
    const auto digest = win::Sha256Of(list);
    if (!signature || !digest) return false;
    for (const win::EcPoint& key : keys) {
        if (win::VerifyEcdsaP256(key, *digest, *signature)) return true;
    }
    return false;
}

std::string HexDigest(const win::Sha256Digest& digest) {
    static constexpr char DIGITS[] = "0123456789abcdef";
    std::string hex;
    for (std::uint8_t b : digest) {
        hex += DIGITS[b >> 4];
        hex += DIGITS[b & 0xF];
    }
    return hex;
}
