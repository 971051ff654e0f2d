#pragma once
// Keeps the download status text of the server update.
#include <optional>
#include <string>

class DownloadStatusStore {
public:
    DownloadStatusStore() = default;
};
