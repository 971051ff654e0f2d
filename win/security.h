#pragma once
// Who may change a folder: the setup gives every folder it makes or installs
// into to the administrators, and refuses folders that belong to someone else.
#include <windows.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace win {

// Full control for SYSTEM and Administrators, read and execute for Users,
// inherited by files and subfolders, nothing inherited from the parent.
constexpr char ADMIN_ONLY_SDDL[] = "D:PAI(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)";

constexpr char SID_SYSTEM[] = "S-1-5-18";
constexpr char SID_ADMINISTRATORS[] = "S-1-5-32-544";
constexpr char SID_USERS[] = "S-1-5-32-545";
constexpr char SID_TRUSTED_INSTALLER[] = "S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";

// Puts the administrators-only DACL on a folder; the system's error code when it cannot.
DWORD ProtectFolder(const std::string& path);
// The owner of a file or folder as a SID text, and who that is (DOMAIN\name,
// or the SID text when it has no name).
std::optional<std::string> OwnerSidOf(const std::string& path);
std::string AccountNameOf(const std::string& sid);
// The SID text of the account this process runs as.
std::string CurrentUserSid();

// An owner the setup trusts with a folder it installs into: Administrators,
// SYSTEM, TrustedInstaller, or the account running the setup.
bool IsTrustedOwner(std::string_view ownerSid, std::string_view currentUserSid);

struct AceText {
    int type = 0;           // ACCESS_ALLOWED_ACE_TYPE, ...
    int flags = 0;          // OBJECT_INHERIT_ACE, CONTAINER_INHERIT_ACE, INHERITED_ACE, ...
    unsigned long mask = 0;
    std::string sid;
};
struct DaclText {
    bool isProtected = false;  // SE_DACL_PROTECTED: nothing inherited from the parent
    std::vector<AceText> aces;
};
// The DACL of a security descriptor in SDDL, entry by entry; nothing when the text is not one.
std::optional<DaclText> ReadDacl(const std::string& sddl);

}  // namespace win
