#pragma once
// Replacing an installed product's files with staged ones so that the product
// is never left half-updated: every file to be replaced (and every library
// the update removes) first goes into a backup folder, then the staged files
// move in, all by renaming. A journal records each move, so a setup that was
// killed or lost power is finished, or undone, by the next run.
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/flags.h"

class SetupContext;

constexpr char SWAP_JOURNAL_NAME[] = "swap.journal";
constexpr char PENDING_SWAP_KEY[] = "SOFTWARE\\TovinSoft\\Corvanta10\\Update";
constexpr char PENDING_SWAP_VALUE[] = "PendingSwap";

struct FileMove {
    std::string from;
    std::string to;
    bool operator==(const FileMove&) const = default;
};

struct SwapJournal {
    std::string product;  // "server" or "client"
    std::string target, staging, backup;
    std::string pool;     // the application pool stopped meanwhile; empty: none
    std::vector<FileMove> moves;  // the backups first, then the staged files
    size_t backupMoves = 0;
    bool begun = false;   // the plan is complete; moves may have happened
    size_t done = 0;      // moves the journal records as done
};

// The moves of a swap from the names in each folder: every target file that
// a staged file replaces, and (removeLibraries) every target file whose name
// contains "dll", into the backup; then every staged file into the target.
SwapJournal PlanSwap(const std::string& product, const std::string& target, const std::string& staging,
                     const std::string& backup, const std::string& pool, const std::vector<std::string>& stagedNames,
                     const std::vector<std::string>& targetNames, bool removeLibraries);

std::string JournalHeaderText(const SwapJournal& journal);
std::string JournalDoneLine(size_t count);
// Nothing when the text is not a journal of ours.
std::optional<SwapJournal> ParseJournal(std::string_view text);

// How many moves really took place: those the journal records, and the next
// one too when the files show it happened before its line was written.
size_t MovesDone(const SwapJournal& journal, const std::function<bool(const std::string&)>& exists);

enum class RecoveryWay { Forward, Back };
struct Recovery {
    RecoveryWay way = RecoveryWay::Back;
    std::vector<FileMove> moves;  // in the order they are to be made
};
// Forward when every staged file still to move in is still there; otherwise
// back, undoing the moves made, latest first.
Recovery PlanRecovery(const SwapJournal& journal, size_t done, const std::function<bool(const std::string&)>& exists);

// One move of a swap. The test seam: a step can also stop the setup dead, as
// a kill or a power loss would, between two moves.
enum class MoveResult { Moved, Failed, Stopped };
using MoveStep = std::function<MoveResult(const FileMove& move)>;
MoveResult RenameWritingThrough(const FileMove& move);

// Stops (false) or starts (true) the product's application pool.
using PoolControl = std::function<void(const std::string& pool, bool start)>;

// Applies the swap; false, with the product restored and "The <product>
// update was not applied; the installed <product> is unchanged" logged and
// counted, when a move fails (or the journal cannot be kept). Cancel before a
// move undoes the moves made and logs CancelledSwapText, not counted.
bool ApplySwap(SetupContext& context, LogCategory category, SwapJournal journal, const PoolControl& pool,
               const MoveStep& step = RenameWritingThrough);
// Swaps the files staged in <update folder>\staging into the target folder
// (a folder path without its trailing backslash), with the backup in
// <update folder>\backup; the staging folder is gone afterwards. Before the
// first move the staged files go into the product's installation record
// (those of `dataNames` as its first-installation data); when the swap is not
// applied the record is as it was.
bool SwapInStaged(SetupContext& context, LogCategory category, const std::string& product, const std::string& target,
                  const std::string& updateFolder, const std::string& pool, bool removeLibraries,
                  const PoolControl& control, const std::vector<std::string>& dataNames);
// The run's first act: a swap a killed setup left is finished or undone.
void FinishPendingSwap(SetupContext& context, const PoolControl& pool, const MoveStep& step = RenameWritingThrough);
std::string NotAppliedText(const std::string& product);
std::string CancelledSwapText(const std::string& product);
// Cancel before the swap began: the staged files went, nothing else changed.
std::string CancelledUpdateText(const std::string& product);
