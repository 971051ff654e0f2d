#include "win/security.h"

#include <aclapi.h>
#include <sddl.h>

#include "win/handles.h"

namespace win {

namespace {

std::string SidText(PSID sid) {
    char* text = nullptr;
    if (!sid || !::ConvertSidToStringSidA(sid, &text)) return {};
    LocalMemory owner(text);
    return text;
}

}  // namespace

DWORD ProtectFolder(const std::string& path) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!::ConvertStringSecurityDescriptorToSecurityDescriptorA(ADMIN_ONLY_SDDL, SDDL_REVISION_1, &descriptor,
                                                                  nullptr)) {
        return ::GetLastError();
    }
    LocalMemory owner(descriptor);
    BOOL present = FALSE, defaulted = FALSE;
    PACL dacl = nullptr;
    if (!::GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted)) return ::GetLastError();
    std::string mutablePath = path;
    return ::SetNamedSecurityInfoA(mutablePath.data(), SE_FILE_OBJECT,
                                   DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION, nullptr, nullptr,
                                   dacl, nullptr);
}

std::optional<std::string> OwnerSidOf(const std::string& path) {
    PSID ownerSid = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (::GetNamedSecurityInfoA(path.c_str(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &ownerSid, nullptr, nullptr,
                                nullptr, &descriptor) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    LocalMemory owner(descriptor);
    std::string text = SidText(ownerSid);
    if (text.empty()) return std::nullopt;
    return text;
}

std::string AccountNameOf(const std::string& sidText) {
    PSID sid = nullptr;
    if (!::ConvertStringSidToSidA(sidText.c_str(), &sid)) return sidText;
    LocalMemory owner(sid);
    char name[256] = {}, domain[256] = {};
    DWORD nameSize = sizeof name, domainSize = sizeof domain;
    SID_NAME_USE use;
    if (!::LookupAccountSidA(nullptr, sid, name, &nameSize, domain, &domainSize, &use)) return sidText;
    return domain[0] ? std::string(domain) + "\\" + name : std::string(name);
}

std::string CurrentUserSid() {
    KernelHandle token;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.Put())) return {};
    DWORD size = 0;
    ::GetTokenInformation(token.Get(), TokenUser, nullptr, 0, &size);
    std::vector<BYTE> buffer(size);
    if (!size || !::GetTokenInformation(token.Get(), TokenUser, buffer.data(), size, &size)) return {};
    return SidText(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid);
}

bool IsTrustedOwner(std::string_view ownerSid, std::string_view currentUserSid) {
    if (ownerSid.empty()) return false;
    for (std::string_view trusted : {SID_ADMINISTRATORS, SID_SYSTEM, SID_TRUSTED_INSTALLER}) {
        if (ownerSid == trusted) return true;
    }
    return !currentUserSid.empty() && ownerSid == currentUserSid;
}

std::optional<DaclText> ReadDacl(const std::string& sddl) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!::ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl.c_str(), SDDL_REVISION_1, &descriptor, nullptr)) {
        return std::nullopt;
    }
    LocalMemory owner(descriptor);
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    BOOL present = FALSE, defaulted = FALSE;
    PACL dacl = nullptr;
    if (!::GetSecurityDescriptorControl(descriptor, &control, &revision) ||
        !::GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted) || !present || !dacl) {
        return std::nullopt;
    }
    DaclText text;
    text.isProtected = (control & SE_DACL_PROTECTED) != 0;
    for (DWORD i = 0; i < dacl->AceCount; ++i) {
        void* ace = nullptr;
        if (!::GetAce(dacl, i, &ace)) return std::nullopt;
        const auto* header = static_cast<ACE_HEADER*>(ace);
        if (header->AceType != ACCESS_ALLOWED_ACE_TYPE && header->AceType != ACCESS_DENIED_ACE_TYPE) {
            text.aces.push_back({header->AceType, header->AceFlags, 0, {}});
            continue;
        }
        const auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(ace);
        text.aces.push_back({header->AceType, header->AceFlags, allowed->Mask,
                             SidText(const_cast<DWORD*>(&allowed->SidStart))});
    }
    return text;
}

}  // namespace win
