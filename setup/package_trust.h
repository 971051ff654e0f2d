#pragma once
// The run's trust in what it downloads: the vendor's signed package list,
// checked once before the first package, and the checks of a downloaded file
// just before it is run or unpacked.
#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "core/flags.h"
#include "setup/package_list.h"
#include "win/handles.h"

class SetupContext;

constexpr char PACKAGE_SERIAL_KEY[] = "SOFTWARE\\TovinSoft\\Corvanta10\\Update";
constexpr char PACKAGE_SERIAL_VALUE[] = "PackageListSerial";

// Texts of the list's refusals, which end a run.
std::string ListUnavailableText(std::string_view host);
std::string ListNotSignedText(std::string_view host);
std::string ListNotValidText(std::string_view host, std::size_t line);
std::string ListOlderText(std::string_view host, std::uint64_t serial, std::uint64_t highest);

class PackageTrust {
public:
    // Fetches and checks the list the first time it is asked; false, after
    // logging why and stopping the run, when the list is not to be trusted.
    bool Ready(SetupContext& context, LogCategory category);
    // The list's entry for a file; nothing when it is not listed (or there is no list).
    const PackageEntry* Entry(std::string_view fileName) const;

    // Files this run downloaded and found to match the list.
    void MarkFetched(const std::string& fileName) { fetched_.insert(fileName); }
    bool FetchedThisRun(const std::string& fileName) const { return fetched_.count(fileName) != 0; }

private:
    bool Refuse(SetupContext& context, LogCategory category, const std::string& line);

    bool checked_ = false;
    bool trusted_ = false;
    std::optional<PackageList> list_;
    std::set<std::string> fetched_;
};

// A downloaded file, opened so that nobody can change it, and found to be
// what the list says. It stays so while this object lives.
class HeldPackage {
public:
    explicit HeldPackage(win::FileHandle file) : file_(std::move(file)) {}
    HANDLE Handle() const { return file_.Get(); }

private:
    win::FileHandle file_;
};

// Opens the file with read sharing only and hashes it again. Nothing, after
// logging "<file> was changed after its download; it was not used" and
// counting a failed step, when it differs from the list (or is not listed).
std::optional<HeldPackage> HoldVerifiedPackage(SetupContext& context, LogCategory category, const std::string& path,
                                               const std::string& fileName);
