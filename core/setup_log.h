#pragma once
// Composition of setup log lines, kept apart from the writing so the exact
// text of every line can be checked on plain values.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "core/flags.h"
#include "win/handles.h"

constexpr char PRODUCT_VERSION[] = "10.1.3";
constexpr char LOG_FILE_NAME[] = "TovinSoft CorvantaAI  Setup v10.1.3.Log";
// A composed line, CR LF included, never exceeds this many bytes.
constexpr std::size_t LOG_LINE_LIMIT = 2000;
constexpr int STATUS_LINE_ID = 40001;
// The first line of every log of a build that trusts only its own test key.
constexpr char TEST_KEY_NOTICE[] = "Package signatures: test key of this build";
constexpr int PROGRESS_BAR_ID = 40002;

std::string_view LogPrefix(LogCategory category);
std::string ComposeLogLine(LogCategory category, std::string_view message,
                           std::optional<std::string_view> detail1, std::optional<std::string_view> detail2);
std::string LogFilePathIn(std::string_view startDirectory);

// The first line of every log: who started which setup when, and how.
struct LogHeaderFacts {
    std::string version;        // "10.1.3"
    std::string localTime;      // "yyyy-mm-dd hh:mm:ss"
    int utcOffsetMinutes = 0;   // local time minus UTC
    std::string account;        // DOMAIN\user
    std::string commandLine;    // as the log may show it (secrets masked)
};
std::string ComposeLogHeader(const LogHeaderFacts& facts);
// "+hh:mm" or "-hh:mm".
std::string UtcOffsetText(int minutes);
std::string CreateProcessFailureText(unsigned long code, std::string_view systemText);
// Opens the log for a fresh run; an invalid handle when it cannot be opened
// safely (a link under its name) or at all.
win::FileHandle OpenLogFile(const std::string& path);
// Appends the line; false when it was not written whole (or there is no file).
bool WriteLogLine(const win::FileHandle& file, const std::string& line);
