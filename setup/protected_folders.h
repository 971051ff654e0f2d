#pragma once
// The folders the setup makes or installs into: made along their whole
// path, given to the administrators, and never reached through a link.
#include <optional>
#include <string>
#include <string_view>

#include "core/flags.h"

class SetupContext;

enum class FolderReady { Ready, Link, Missing };

// Makes the folder when it is missing and puts the administrators-only DACL
// on it, logging "Permissions of <folder> set to administrators only". A
// folder reached through a link is refused with "<path> is a link; the setup
// does not follow it" and a failed step, and nothing is made through it.
// Missing: it could not be made (the caller says what that stops).
FolderReady PrepareProtectedFolder(SetupContext& context, LogCategory category, const std::string& folder);

// The same without a word in the log, for the log's own folder, which is
// made before the log is open.
struct ProtectedFolder {
    FolderReady ready = FolderReady::Ready;
    std::string path;               // the folder without its trailing separator
    std::string link;               // Link: the link found along the path
    unsigned long protectError = 0; // Ready: the system's error when the DACL could not be set
};
ProtectedFolder MakeProtectedFolder(const std::string& folder);

// PrepareProtectedFolder for a folder of a product's installation: the folder,
// and every folder made along its path, go into the product's record.
enum class Product;
FolderReady PrepareRecordedFolder(SetupContext& context, Product product, LogCategory category, const std::string& folder);

// Logs the refusal of a link and counts it as a failed step.
void RefuseLink(SetupContext& context, LogCategory category, const std::string& path);
std::string LinkRefusalText(std::string_view path);

// The refusal for an existing folder that belongs to someone the setup does
// not trust with it; nothing when it may be used (or does not exist yet).
std::optional<std::string> FolderOwnerProblem(const std::string& folder);
// The same on plain values: the owner's SID (nothing: it cannot be read),
// its account name, and the SID of the account running the setup.
std::optional<std::string> OwnerRefusal(std::string_view folder, const std::optional<std::string>& ownerSid,
                                        std::string_view ownerName, std::string_view currentUserSid);
