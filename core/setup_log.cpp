#include "core/setup_log.h"

#include <cstdio>

#include "core/context.h"
#include "core/package_keys.h"
#include "win/file_links.h"
#include "win/text.h"

std::string_view LogPrefix(LogCategory category) {
    if (category & LOG_CLIENT) return "Client Setup:";
    if (category & LOG_SERVER) return "Server Setup:";
    if (category & LOG_UI) return "User Interface:";
    if (category & LOG_SQL) return "SQL Server Install:";
    return {};
}

std::string ComposeLogLine(LogCategory category, std::string_view message,
                           std::optional<std::string_view> detail1, std::optional<std::string_view> detail2) {
    std::string line(LogPrefix(category));
    line += message;
    if (detail1) {
        line += ';';
        line += *detail1;
    }
    if (detail2) {
        line += ';';
        line += *detail2;
    }
    if (line.size() > LOG_LINE_LIMIT - 2) line.resize(LOG_LINE_LIMIT - 2);
    line += "\r\n";
    return line;
}

std::string LogFilePathIn(std::string_view startDirectory) {
    return text::JoinPath(text::TrimTrailingBlanks(startDirectory), LOG_FILE_NAME);
}

std::string UtcOffsetText(int minutes) {
    const char sign = minutes < 0 ? '-' : '+';
    const int magnitude = minutes < 0 ? -minutes : minutes;
    char text[16];
    std::snprintf(text, sizeof text, "%c%02d:%02d", sign, magnitude / 60, magnitude % 60);
    return text;
}

std::string ComposeLogHeader(const LogHeaderFacts& facts) {
    const std::string header = "Corvanta Setup " + facts.version + " started " + facts.localTime + " (UTC" +
                               UtcOffsetText(facts.utcOffsetMinutes) + ") as " + facts.account +
                               "; command line: " + facts.commandLine;
    return ComposeLogLine(0, header, {}, {});
}

std::string CreateProcessFailureText(unsigned long code, std::string_view systemText) {
    std::string out = "CreateProcess failed (" + std::to_string(code) + "): ";
    out += systemText.empty() ? std::string_view("(no message)") : systemText;
    return out;
}

bool WriteLogLine(const win::FileHandle& file, const std::string& line) {
    if (!file) return false;
    LARGE_INTEGER zero = {};
    DWORD written = 0;
    return ::SetFilePointerEx(file.Get(), zero, nullptr, FILE_END) &&
           ::WriteFile(file.Get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr) &&
           written == line.size();
}

win::FileHandle OpenLogFile(const std::string& path) {
    // A link planted under the log's name would let the elevated setup write
    // wherever it points: the log is then not written at all.
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY))) {
        return {};
    }
    // An existing log is opened, never created through; a new one is created
    // only where nothing (a dangling link included) has the name.
    const DWORD disposition = attributes == INVALID_FILE_ATTRIBUTES ? CREATE_NEW : OPEN_EXISTING;
    win::FileHandle file(::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                       nullptr, disposition, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT,
                                       nullptr));
    if (!file || win::OpenedThroughLink(file.Get(), path)) return {};
    // Every run starts the log afresh.
    if (!::SetEndOfFile(file.Get())) return {};
    return file;
}

std::string SetupContext::LogFilePath() const { return logPath.empty() ? LogFilePathIn(startDirectory) : logPath; }

void SetupContext::SetStatus(std::string_view text) { observer->Status(std::string(text)); }

void SetupContext::OpenLogLocked() {
    logFileOpened = true;
    logFile = OpenLogFile(LogFilePath());
    if (logFile && !logHeader.empty() && !WriteLogLine(logFile, logHeader)) logFile.Reset();
    // Every log of a run says when the build trusts only its own test key.
    if (logFile && announceTestKey && PackageKeysAreTestKey() &&
        !WriteLogLine(logFile, ComposeLogLine(LOG_UI, TEST_KEY_NOTICE, {}, {}))) {
        logFile.Reset();
    }
}

bool SetupContext::OpenLogAt(const std::string& path) {
    std::lock_guard<std::mutex> lock(logMutex_);
    logFile.Reset();
    logPath = path;
    OpenLogLocked();
    return static_cast<bool>(logFile);
}

int SetupContext::Log(LogCategory category, std::string_view message, std::optional<std::string_view> detail1,
                      std::optional<std::string_view> detail2) {
    const std::string line = ComposeLogLine(category, message, detail1, detail2);
    {
        // The run's thread and the dialog's may both write.
        std::lock_guard<std::mutex> lock(logMutex_);
        if (!logFileOpened) OpenLogLocked();
        // A log that cannot be written is given up, and the final box says so.
        if (logFile && !WriteLogLine(logFile, line)) logFile.Reset();
    }
    observer->LogLine(line);
    return 1;
}

int SetupContext::LogCreateProcessFailure() {
    const DWORD code = ::GetLastError();
    return Log(LOG_SERVER, CreateProcessFailureText(code, win::SystemErrorText(code, true)));
}

void SetupContext::CloseLog() {
    std::lock_guard<std::mutex> lock(logMutex_);
    logFile.Reset();
}
