#pragma once
// Keeps the download status text of the server update in the registry.
#include <optional>
#include <string>
#include <string_view>

constexpr char DOWNLOAD_STATUS_KEY[] = "Software\\TovinSoft\\Corvanta10\\Update";
constexpr char DOWNLOAD_STATUS_VALUE[] = "DownloadStatus";

class DownloadStatusStore {
public:
    DownloadStatusStore() = default;

    std::optional<std::string> Read() const;
    // Stores the text, or deletes the value when there is none; false on failure.
    bool Store(const std::optional<std::string>& status) const;
};

// "<counter>;<bits OR the number after the last ';' of the previous text>".
std::string ComposeDownloadStatus(unsigned counter, unsigned bits, const std::optional<std::string>& previous);
