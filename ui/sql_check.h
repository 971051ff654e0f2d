#pragma once
// The SQL Server detection of the Setup Type check, off the dialog's thread:
// the fields wait meanwhile and the status line tells what goes on.
#include <windows.h>

class SetupContext;

constexpr UINT WM_SQL_CHECK = WM_APP + 5;    // the check moved the focus on: the detection starts
constexpr UINT WM_SQL_CHECKED = WM_APP + 6;  // wParam: 1 when a SQL Server was found

// Asks for a detection once the check that wants it is done (the focus has
// moved on by then); nothing when one is asked for or goes on.
void StartSqlDetection(SetupContext& context);
// On WM_SQL_CHECK: the fields wait and the detection runs on its thread,
// which posts WM_SQL_CHECKED when it ends.
void BeginSqlDetection(SetupContext& context);
// On WM_SQL_CHECKED: the thread is joined, the fields take input again with
// the focus where it was, and the SQL controls go when a SQL Server is there.
void EndSqlDetection(SetupContext& context, bool found);
// A detection asked for and not yet ended.
bool SqlDetectionPending();
// Before the process (or a test's dialog) ends: a detection still going on
// is waited for and forgotten.
void WaitForSqlDetection();
