#pragma once
// The end of a run or a maintenance action: last log line, log closed, final
// box and the end of the process, with exit code 1 when a step failed.
class SetupContext;

void FinishProcess(SetupContext& context, const char* successLine, const char* successBox);
