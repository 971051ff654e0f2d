#pragma once
// The site's web.config as a file: where IIS keeps it, whether it is there,
// and whether what is left in it still says anything.
#include <optional>
#include <string>
#include <string_view>

// <physical path>\web.config
std::string SiteWebConfigPath(std::string_view physicalPath);
bool IsExistingFile(const std::string& path);
// The file's bytes; nothing when it cannot be read or is larger than a
// web.config plausibly is (1 MiB).
std::optional<std::string> ReadSmallFile(const std::string& path);
// Whether the configuration text states any setting: an attribute on any
// element, a <clear /> (it empties the inherited list), text content, or
// anything this reading does not take apart (a DOCTYPE, CDATA, a processing
// instruction other than the XML declaration, an unclosed tag), which is kept
// to be safe. Elements without attributes, comments, white space and the XML
// declaration state nothing: IIS leaves such a skeleton behind when the
// settings in it are removed.
bool WebConfigHoldsSettings(std::string_view text);
