#include "setup/file_swap.h"

#include <windows.h>

#include <algorithm>
#include <sstream>

#include "core/context.h"
#include "setup/folders.h"
#include "setup/install_record.h"
#include "setup/protected_folders.h"
#include "win/handles.h"
#include "win/registry.h"
#include "win/text.h"

namespace {

constexpr char JOURNAL_MAGIC[] = "corvanta swap journal 1";

bool Exists(const std::string& path) { return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool SameName(const std::string& a, const std::string& b) { return text::EqualsNoCase(a, b); }

// The journal on disk: written through, one line per move done.
class JournalFile {
public:
    bool Create(const std::string& path, const std::string& header) {
        file_.Reset(::CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_WRITE_THROUGH, nullptr));
        return file_ && Append(header);
    }
    bool Append(const std::string& text) {
        DWORD written = 0;
        return file_ && ::WriteFile(file_.Get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
               written == text.size() && ::FlushFileBuffers(file_.Get());
    }
    void Close() { file_.Reset(); }

private:
    win::FileHandle file_;
};

bool SetPendingSwap(const std::string& journalPath) {
    win::RegKey key;
    if (::RegCreateKeyExA(HKEY_LOCAL_MACHINE, PENDING_SWAP_KEY, 0, nullptr, 0, KEY_WRITE, nullptr, key.Put(), nullptr) !=
        ERROR_SUCCESS) {
        return false;
    }
    return ::RegSetValueExA(key.Get(), PENDING_SWAP_VALUE, 0, REG_SZ, reinterpret_cast<const BYTE*>(journalPath.c_str()),
                            static_cast<DWORD>(journalPath.size() + 1)) == ERROR_SUCCESS &&
           ::RegFlushKey(key.Get()) == ERROR_SUCCESS;
}

bool ClearPendingSwap() {
    win::RegKey key;
    const LONG opened = ::RegOpenKeyExA(HKEY_LOCAL_MACHINE, PENDING_SWAP_KEY, 0, KEY_WRITE, key.Put());
    if (opened == ERROR_FILE_NOT_FOUND) return true;
    if (opened != ERROR_SUCCESS) return false;
    const LONG deleted = ::RegDeleteValueA(key.Get(), PENDING_SWAP_VALUE);
    return deleted == ERROR_SUCCESS || deleted == ERROR_FILE_NOT_FOUND;
}

std::string JournalPathOf(const SwapJournal& journal) {
    const size_t cut = journal.staging.find_last_of('\\');
    return text::JoinPath(cut == std::string::npos ? journal.staging : journal.staging.substr(0, cut),
                          SWAP_JOURNAL_NAME);
}

LogCategory CategoryOf(const SwapJournal& journal) { return journal.product == "client" ? LOG_CLIENT : LOG_SERVER; }

// The end of a swap, applied or not: the journal and its registry value go.
void CloseSwap(SetupContext& context, LogCategory category, const std::string& journalPath) {
    if (!::DeleteFileA(journalPath.c_str()) && Exists(journalPath)) {
        context.Fail(category, "Could not delete " + journalPath, win::SystemErrorText(::GetLastError()));
    }
    if (!ClearPendingSwap()) {
        context.Fail(category, std::string("Could not remove the registry value ") + PENDING_SWAP_VALUE);
    }
}

// Moves the files back, latest first; false when one stays where it is.
bool Undo(SetupContext& context, LogCategory category, const std::vector<FileMove>& moves, size_t done,
          const MoveStep& step) {
    bool complete = true;
    for (size_t i = done; i-- > 0;) {
        const FileMove back{moves[i].to, moves[i].from};
        if (!Exists(back.from)) continue;
        if (step(back) != MoveResult::Moved) {
            context.Fail(category, "Could not put " + back.to + " back", win::SystemErrorText(::GetLastError()));
            complete = false;
        }
    }
    return complete;
}

}  // namespace

SwapJournal PlanSwap(const std::string& product, const std::string& target, const std::string& staging,
                     const std::string& backup, const std::string& pool, const std::vector<std::string>& stagedNames,
                     const std::vector<std::string>& targetNames, bool removeLibraries) {
    SwapJournal journal{product, target, staging, backup, pool, {}, 0, false, 0};
    for (const std::string& name : targetNames) {
        const bool replaced = std::any_of(stagedNames.begin(), stagedNames.end(),
                                          [&](const std::string& staged) { return SameName(staged, name); });
        if (replaced || (removeLibraries && text::Contains(name, "dll"))) {
            journal.moves.push_back({text::JoinPath(target, name), text::JoinPath(backup, name)});
        }
    }
    journal.backupMoves = journal.moves.size();
    for (const std::string& name : stagedNames) {
        journal.moves.push_back({text::JoinPath(staging, name), text::JoinPath(target, name)});
    }
    return journal;
}

std::string JournalHeaderText(const SwapJournal& journal) {
    std::string text = std::string(JOURNAL_MAGIC) + "\r\n";
    text += "product\t" + journal.product + "\r\n";
    text += "target\t" + journal.target + "\r\n";
    text += "staging\t" + journal.staging + "\r\n";
    text += "backup\t" + journal.backup + "\r\n";
    text += "pool\t" + journal.pool + "\r\n";
    text += "backups\t" + std::to_string(journal.backupMoves) + "\r\n";
    for (const FileMove& move : journal.moves) text += "move\t" + move.from + "\t" + move.to + "\r\n";
    return text + "begin\r\n";
}

std::string JournalDoneLine(size_t count) { return "done\t" + std::to_string(count) + "\r\n"; }

std::optional<SwapJournal> ParseJournal(std::string_view content) {
    // A last line without its line end was cut short by a stop: it says nothing.
    content = content.substr(0, content.rfind('\n') == std::string_view::npos ? 0 : content.rfind('\n') + 1);
    std::istringstream lines{std::string(content)};
    std::string line;
    if (!std::getline(lines, line)) return std::nullopt;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line != JOURNAL_MAGIC) return std::nullopt;
    SwapJournal journal;
    std::string* fields[] = {&journal.product, &journal.target, &journal.staging, &journal.backup, &journal.pool};
    const char* names[] = {"product", "target", "staging", "backup", "pool"};
    bool backupsSeen = false;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty()) continue;
        const size_t tab = line.find('\t');
        const std::string key = line.substr(0, tab);
        const std::string value = tab == std::string::npos ? std::string() : line.substr(tab + 1);
        if (key == "begin" && !journal.begun) {
            if (!backupsSeen || journal.backupMoves > journal.moves.size()) return std::nullopt;
            journal.begun = true;
        } else if (key == "done" && journal.begun) {
            const long count = text::ParseLong(value);
            if (count < 0 || static_cast<size_t>(count) > journal.moves.size()) return std::nullopt;
            journal.done = std::max(journal.done, static_cast<size_t>(count));
        } else if (key == "move" && !journal.begun) {
            const size_t split = value.find('\t');
            if (split == std::string::npos) return std::nullopt;
            journal.moves.push_back({value.substr(0, split), value.substr(split + 1)});
        } else if (key == "backups" && !journal.begun) {
            journal.backupMoves = static_cast<size_t>(std::max(0L, text::ParseLong(value)));
            backupsSeen = true;
        } else {
            const auto* found = std::find(std::begin(names), std::end(names), key);
            if (found == std::end(names) || journal.begun) return std::nullopt;
            *fields[found - std::begin(names)] = value;
        }
    }
    if (journal.product.empty() || journal.target.empty() || journal.staging.empty() || journal.backup.empty()) {
        return std::nullopt;
    }
    return journal;
}

size_t MovesDone(const SwapJournal& journal, const std::function<bool(const std::string&)>& exists) {
    size_t done = journal.begun ? journal.done : 0;
    if (journal.begun && done < journal.moves.size()) {
        const FileMove& next = journal.moves[done];
        if (!exists(next.from) && exists(next.to)) ++done;
    }
    return done;
}

Recovery PlanRecovery(const SwapJournal& journal, size_t done, const std::function<bool(const std::string&)>& exists) {
    Recovery recovery;
    bool stagedThere = true;
    for (size_t i = std::max(done, journal.backupMoves); i < journal.moves.size(); ++i) {
        stagedThere = stagedThere && exists(journal.moves[i].from);
    }
    if (stagedThere) {
        recovery.way = RecoveryWay::Forward;
        recovery.moves.assign(journal.moves.begin() + static_cast<std::ptrdiff_t>(done), journal.moves.end());
        return recovery;
    }
    recovery.way = RecoveryWay::Back;
    for (size_t i = done; i-- > 0;) recovery.moves.push_back({journal.moves[i].to, journal.moves[i].from});
    return recovery;
}

MoveResult RenameWritingThrough(const FileMove& move) {
    return ::MoveFileExA(move.from.c_str(), move.to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)
               ? MoveResult::Moved
               : MoveResult::Failed;
}

std::string CancelledUpdateText(const std::string& product) {
    return "Cancel: the " + product + " update was stopped; the installed " + product + " is unchanged";
}

std::string CancelledSwapText(const std::string& product) {
    return "Cancel: the " + product + " update was undone; the installed " + product + " is unchanged";
}

std::string NotAppliedText(const std::string& product) {
    return "The " + product + " update was not applied; the installed " + product + " is unchanged";
}

bool ApplySwap(SetupContext& context, LogCategory category, SwapJournal journal, const PoolControl& pool,
               const MoveStep& step) {
    const std::string journalPath = JournalPathOf(journal);
    JournalFile file;
    journal.begun = true;
    // The journal and its registry value are in place before the first move.
    if (!file.Create(journalPath, JournalHeaderText(journal)) || !SetPendingSwap(journalPath)) {
        context.Log(category, "Could not keep the journal " + journalPath, win::SystemErrorText(::GetLastError()));
        file.Close();
        ::DeleteFileA(journalPath.c_str());
        ClearPendingSwap();
        context.Fail(category, NotAppliedText(journal.product));
        return false;
    }
    if (!journal.pool.empty()) pool(journal.pool, false);
    for (size_t i = 0; i < journal.moves.size(); ++i) {
        const FileMove& move = journal.moves[i];
        if (context.Stopping()) {
            // Cancel: what moved goes back, and the product is as it was.
            file.Close();
            if (Undo(context, category, journal.moves, i, step)) CloseSwap(context, category, journalPath);
            if (!journal.pool.empty()) pool(journal.pool, true);
            context.Log(category, CancelledSwapText(journal.product));
            return false;
        }
        if (i >= journal.backupMoves) FlushFile(move.from);
        const MoveResult result = step(move);
        if (result == MoveResult::Stopped) return false;  // as if the process had died here
        if (result == MoveResult::Failed || !file.Append(JournalDoneLine(i + 1))) {
            const DWORD error = ::GetLastError();
            context.Fail(category, "Could not move " + move.from + " to " + move.to, win::SystemErrorText(error));
            const size_t done = result == MoveResult::Moved ? i + 1 : i;
            file.Close();
            if (Undo(context, category, journal.moves, done, step)) CloseSwap(context, category, journalPath);
            if (!journal.pool.empty()) pool(journal.pool, true);
            context.Fail(category, NotAppliedText(journal.product));
            return false;
        }
    }
    file.Close();
    if (!journal.pool.empty()) pool(journal.pool, true);
    RemoveFolderTree(journal.backup);
    CloseSwap(context, category, journalPath);
    return true;
}

namespace {

// What the record held for the incoming files before they were recorded.
struct RecordChange {
    Product product = Product::Client;
    std::vector<RecordedFile> files, data;  // the record before
    std::vector<std::string> paths;         // the incoming files' paths
};

bool IsDataName(const std::vector<std::string>& dataNames, const std::string& name) {
    return std::any_of(dataNames.begin(), dataNames.end(), [&](const std::string& d) { return text::EqualsNoCase(d, name); });
}

RecordChange RecordIncoming(SetupContext& context, const std::string& product, const std::string& staging,
                            const std::string& target, const std::vector<std::string>& stagedNames,
                            const std::vector<std::string>& dataNames) {
    RecordChange change;
    change.product = product == "server" ? Product::Server : Product::Client;
    InstallRecord record(context, change.product);
    change.files = record.Files();
    change.data = record.Files(true);
    std::vector<std::string> files, data;
    for (const std::string& name : stagedNames) {
        (IsDataName(dataNames, name) ? data : files).push_back(name);
        change.paths.push_back(text::JoinPath(target, name));
    }
    RecordStagedFiles(context, change.product, staging, target, files, false);
    RecordStagedFiles(context, change.product, staging, target, data, true);
    return change;
}

void UndoRecordChange(SetupContext& context, const RecordChange& change) {
    InstallRecord record(context, change.product);
    for (const std::string& path : change.paths) {
        for (bool data : {false, true}) {
            const std::vector<RecordedFile>& before = data ? change.data : change.files;
            const auto old = std::find_if(before.begin(), before.end(), [&](const RecordedFile& f) { return f.path == path; });
            if (old != before.end()) {
                record.AddFile(*old, data);
            } else {
                record.ForgetFile(path, data);
            }
        }
    }
}

}  // namespace

bool SwapInStaged(SetupContext& context, LogCategory category, const std::string& product, const std::string& target,
                  const std::string& updateFolder, const std::string& pool, bool removeLibraries,
                  const PoolControl& control, const std::vector<std::string>& dataNames) {
    const std::string staging = text::JoinPath(updateFolder, "staging");
    const std::vector<std::string> stagedNames = FileNamesIn(staging);
    SwapJournal journal = PlanSwap(product, target, staging, text::JoinPath(updateFolder, "backup"), pool, stagedNames,
                                   FileNamesIn(target), removeLibraries);
    RemoveFolderTree(journal.backup);
    bool applied = false;
    if (PrepareProtectedFolder(context, category, journal.backup) == FolderReady::Ready) {
        // Recorded before the first move, so an interrupted swap can be removed too.
        const RecordChange change = RecordIncoming(context, product, staging, target, stagedNames, dataNames);
        applied = ApplySwap(context, category, std::move(journal), control);
        if (!applied) UndoRecordChange(context, change);
    } else {
        context.Fail(category, NotAppliedText(product));
    }
    RemoveFolderTree(staging);
    return applied;
}

void FinishPendingSwap(SetupContext& context, const PoolControl& pool, const MoveStep& step) {
    const auto journalPath = win::ReadRegistryString(HKEY_LOCAL_MACHINE, PENDING_SWAP_KEY, PENDING_SWAP_VALUE);
    if (!journalPath) return;
    win::FileHandle handle(::CreateFileA(journalPath->c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                         FILE_ATTRIBUTE_NORMAL, nullptr));
    std::string content;
    if (handle) {
        char buffer[4096];
        DWORD read = 0;
        while (::ReadFile(handle.Get(), buffer, sizeof buffer, &read, nullptr) && read > 0) content.append(buffer, read);
        handle.Reset();
    }
    const std::optional<SwapJournal> journal = ParseJournal(content);
    if (!journal) {
        context.Fail(LOG_SERVER, "An interrupted update left " + *journalPath + ", which cannot be read; nothing was changed");
        ::DeleteFileA(journalPath->c_str());
        ClearPendingSwap();
        return;
    }
    const LogCategory category = CategoryOf(*journal);
    const Recovery recovery = PlanRecovery(*journal, MovesDone(*journal, Exists), Exists);
    bool complete = true;
    for (const FileMove& move : recovery.moves) {
        if (!Exists(move.from)) continue;  // a file the interrupted run had not got to, or already moved
        if (recovery.way == RecoveryWay::Forward) FlushFile(move.from);
        if (step(move) != MoveResult::Moved) {
            context.Fail(category, "Could not move " + move.from + " to " + move.to, win::SystemErrorText(::GetLastError()));
            complete = false;
        }
    }
    if (!journal->pool.empty()) pool(journal->pool, true);
    if (!complete) {
        context.Log(category, "An interrupted update of " + journal->target +
                                  " could not be finished; the next run of the setup tries again");
        return;
    }
    if (recovery.way == RecoveryWay::Forward) {
        context.Log(category, "An interrupted update of " + journal->target + " was finished");
        RemoveFolderTree(journal->backup);
    } else {
        context.Log(category, "An interrupted update of " + journal->target + " was undone; the files before it are back");
    }
    CloseSwap(context, category, *journalPath);
}
