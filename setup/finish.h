#pragma once
// The end of a run or a maintenance action: last log line, log closed, final
// box and the end of the process, with exit code 1 when a step failed and
// 1602 when the run was cancelled.
class SetupContext;

constexpr unsigned EXIT_CANCELLED = 1602;

// Ends with the report's own success texts when nothing failed.
void FinishProcess(SetupContext& context);
