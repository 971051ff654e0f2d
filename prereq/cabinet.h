#pragma once
// Unpacking of cabinet packages with the system's cabinet library: every file
// flat into the destination, overwritten, with the times stored in the cabinet.
#include <string>
#include <string_view>

class SetupContext;

// 1 when done or nothing to do (a name without "cab"), 0 when it failed.
int ExtractCabinet(SetupContext& context, const std::string& fileName, const std::string& cabinetDir,
                   const std::string& destinationDir);
// cabinetPath ends with a backslash; 1 when the cabinet was copied out completely.
int ExtractCabinetFiles(SetupContext& context, const std::string& cabinetName, const std::string& cabinetPath,
                        const std::string& destinationDir);

const char* CabinetErrorText(int code);
void LogCabinetError(SetupContext& context, int code);
// A stored name that would leave the destination or reach a device:
// absolute, with a drive, with a ".." component or a device name (CON, NUL, ...).
bool IsUnsafeCabinetName(std::string_view storedName);
// Longest path the extraction handles; longer inputs and targets are refused.
constexpr size_t CABINET_PATH_LIMIT = 255;
