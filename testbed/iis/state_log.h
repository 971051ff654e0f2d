#pragma once
// What the running server did, as far as the setup can see it: every Execute of
// a site's or an application pool's method is a line of
// C:\CorvantaTestbed\iis-state.log, and the last successful Start or Stop of
// each is its state. Methods work on the committed configuration (the file),
// never on a manager's pending changes.
#include <windows.h>

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "config_node.h"

namespace iisadmin {

inline constexpr wchar_t kStateFolder[] = L"C:\\CorvantaTestbed";
inline constexpr wchar_t kStateLog[] = L"C:\\CorvantaTestbed\\iis-state.log";

// What IIS answers for an object its runtime does not know: a site or pool
// that is not (yet) in the committed file.
inline constexpr HRESULT kObjectUnknown = static_cast<HRESULT>(0x800710D8);  // ERROR_OBJECT_NOT_FOUND

// One line: "name<TAB>event" for a site, "name<TAB>kind<TAB>event" for other
// objects ("AppPool"). The kind sits between name and event so that looking
// for "name<TAB>Start" finds a site's line only, never a pool of that name.
struct StateRecord {
    std::wstring name;
    std::wstring kind;  // empty for a site
    std::wstring event;  // "Start", "Stop", "Recycle", "Start failed 0x80070020", ...
};
std::wstring StateLine(const StateRecord& record);
// The log's lines, in order; lines without a tab are skipped.
std::vector<StateRecord> ParseStateLog(std::string_view log);
// The last successful Start or Stop per name (case folded) of one kind.
std::map<std::wstring, bool> RecordedStates(std::string_view log, std::wstring_view kind);
// The same, from the log as it is on the disk now.
std::map<std::wstring, bool> CurrentRecordedStates(std::wstring_view kind);
void AppendStateRecord(const StateRecord& record);

// Names compared without letter case, as IIS compares them.
std::wstring FoldedName(std::wstring_view name);

// The server-level section of the committed file: the reason when the file
// cannot be used, a null section when the file has none.
HRESULT ReadCommittedSection(std::wstring_view section, Node::Ptr& found);

}  // namespace iisadmin
