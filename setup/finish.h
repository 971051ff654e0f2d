#pragma once
// The end of a run or a maintenance action: last log line, log closed, final
// box (in a quiet run: its text in the log) and the end of the process, with
// the exit code of the run's report.
class SetupContext;

// Ends with the report's own success texts when nothing failed; the exit code.
unsigned FinishProcess(SetupContext& context);
