#pragma once
// Deleting what an installation left, one file or folder at a time, never
// through a link and never a file that is not what was installed: a file is
// checked and deleted through one handle, and one in use is deleted at the
// next restart.
#include <string>
#include <vector>

#include "core/flags.h"
#include "setup/install_record.h"

class SetupContext;

enum class RemovalResult { Deleted, Scheduled, Kept, Gone, Failed };

// A recorded file: deleted when its size and SHA-256 are still the recorded
// ones and it lies inside one of the folders; otherwise kept and named.
RemovalResult RemoveRecordedFile(SetupContext& context, LogCategory category, const RecordedFile& file,
                                 const std::vector<std::string>& folders);
// A file known by its name only (an installation made before records were
// kept): deleted when it is there and no link.
RemovalResult RemoveNamedFile(SetupContext& context, LogCategory category, const std::string& path);
// A folder with everything in it (the downloaded packages); a link in its
// place is removed itself. False, logged and counted, when it stays.
bool RemoveFolderWithContent(SetupContext& context, LogCategory category, const std::string& folder);
// A folder the installation made, when it is empty; a folder that is not is
// kept and named.
void RemoveEmptyFolder(SetupContext& context, LogCategory category, const std::string& folder);
// Deletes the file or empty folder at the next restart; false when that
// could not be arranged.
bool DeleteAtRestart(const std::string& path);
