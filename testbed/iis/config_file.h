#pragma once
// One configuration file a manager works on: applicationHost.config, or the
// web.config in a site's folder that IIS keeps the site's own settings in.
// Read whole when first needed, changed in memory, written whole by a commit
// (temporary file in the same folder, then renamed over the old one).
#include <windows.h>

#include <optional>
#include <string>

#include "config_node.h"

namespace iisadmin {

inline constexpr HRESULT kPathNotFound = static_cast<HRESULT>(0x80070003);  // ERROR_PATH_NOT_FOUND

struct ConfigFile {
    std::wstring path;  // empty for a site whose folder the configuration does not name
    Node::Ptr root;     // comments around <configuration>, and <configuration> itself
    Node::Ptr configuration;
    bool declaration = true;  // written with <?xml ...?>; kept as the file had it
    bool dirty = false;
};

// The file's bytes; nothing when it cannot be read (error in *error).
std::optional<std::string> ReadWholeFile(const std::wstring& path, HRESULT* error);

// applicationHost.config: 0x80070002 when it or its folder is missing,
// 0x8007000D when it is not well-formed or has no <configuration>.
HRESULT LoadConfigFile(const std::wstring& path, ConfigFile& file);
// A site's web.config: a missing file (or folder) reads as an empty
// <configuration>, which a commit creates; a broken one answers 0x8007000D.
HRESULT LoadWebConfig(const std::wstring& path, ConfigFile& file);
// Whether the folder the file belongs in is there to write it.
bool FolderExists(const ConfigFile& file);
HRESULT WriteConfigFile(const ConfigFile& file);

}  // namespace iisadmin
