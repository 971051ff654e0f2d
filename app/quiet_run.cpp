#include "app/quiet_run.h"

#include <windows.h>

#include "app/log_place.h"
#include "app/quiet_observer.h"
#include "app/startup.h"
#include "core/context.h"
#include "core/package_keys.h"
#include "core/setup_log.h"
#include "prereq/sql_setup.h"
#include "setup/finish.h"
#include "setup/internet_session.h"
#include "setup/maintenance.h"
#include "setup/protected_folders.h"
#include "setup/run_sequence.h"
#include "setup/system_proxy.h"
#include "win/handles.h"
#include "win/text.h"

namespace {

// More than any password file of one line needs.
constexpr DWORD PASSWORD_FILE_LIMIT = 4096;

std::optional<std::string> Utf8ToAnsi(std::string_view utf8) {
    const std::wstring wide = win::ToWide(utf8, CP_UTF8);
    if (wide.empty()) return utf8.empty() ? std::optional<std::string>("") : std::nullopt;
    BOOL lost = FALSE;
    const int length = ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), static_cast<int>(wide.size()),
                                             nullptr, 0, nullptr, &lost);
    if (length <= 0 || lost) return std::nullopt;
    std::string out(static_cast<size_t>(length), '\0');
    ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), static_cast<int>(wide.size()), out.data(), length,
                          nullptr, nullptr);
    return out;
}

std::optional<std::string> ReadFileStart(const std::string& path) {
    win::FileHandle file(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return std::nullopt;
    std::string bytes(PASSWORD_FILE_LIMIT, '\0');
    DWORD read = 0;
    if (!::ReadFile(file.Get(), bytes.data(), PASSWORD_FILE_LIMIT, &read, nullptr)) return std::nullopt;
    bytes.resize(read);
    return bytes;
}

unsigned Refuse(SetupContext& context, const std::string& refusal) {
    context.report.invalidCommandLine = true;
    context.Log(0, InvalidCommandLineText(refusal));
    context.CloseLog();
    return ExitCodeFor(context.report);
}

ModeFlags ModeFlagsOf(QuietMode mode) {
    switch (mode) {
        case QuietMode::Repair: return MODE_REPAIR;
        case QuietMode::Modify: return MODE_MODIFY;
        case QuietMode::Uninstall: return MODE_UNINSTALL;
        default: return MODE_INSTALL;
    }
}

// The choices into the context, as the OK command reads the dialog's fields.
void TakeInstallChoices(SetupContext& context, const QuietChoices& choices, const std::string& password) {
    context.setupFlags = choices.setupFlags;
    context.clientDirectory = choices.clientDirectory;
    context.serverDirectory = choices.serverDirectory;
    context.edition = choices.edition;
    context.port = choices.port;
    context.hosts = choices.hosts;
    context.sqlPassword = password;
    context.sqlPasswordRepeat = password;
    if (!(choices.setupFlags & SETUP_SERVER)) return;
    // As the Setup Type field does for a server: what SQL Server is there.
    context.sql->DetectSqlServer();
    if (choices.sql && context.sql->sqlInstanceCount == 0) context.setupFlags |= SETUP_INSTALL_SQL;
    if (choices.sql && context.sql->sqlInstanceCount > 0) {
        context.Log(LOG_SQL, "A SQL Server is installed already; SQL Server Express is not installed");
    }
    if (context.sql->sqlSetupFlags & SQL_NATIVE_CLIENT_MISSING) context.setupFlags |= SETUP_INSTALL_NATIVE_CLIENT;
}

}  // namespace

std::optional<std::string> CheckOnMachine(const QuietChoices& choices, std::string& password) {
    if (choices.setupFlags & SETUP_CLIENT) {
        if (auto problem = FolderOwnerProblem(choices.clientDirectory)) return "/clientdir: " + *problem;
    }
    if (choices.setupFlags & SETUP_SERVER) {
        if (auto problem = FolderOwnerProblem(choices.serverDirectory)) return "/serverdir: " + *problem;
    }
    if (!choices.sql || choices.passwordFile.empty()) return std::nullopt;
    const auto bytes = ReadFileStart(choices.passwordFile);
    if (!bytes) return "/sapwdfile: cannot read " + choices.passwordFile;
    const auto read = PasswordFromFile(*bytes, Utf8ToAnsi);
    if (!read) return std::string("/sapwdfile: the password holds characters the system code page cannot hold");
    if (auto problem = PasswordFileProblem(*read)) return "/sapwdfile: " + *problem;
    password = *read;
    return std::nullopt;
}

unsigned RunQuiet(SetupContext& context, const std::vector<std::string>& words) {
    context.quiet = true;
    // The notice of a test key belongs to a run; a refusal's log is its
    // header and one line.
    context.announceTestKey = false;
    context.Watch(std::make_unique<QuietObserver>(context));
    const QuietWords read = ReadQuietWords(words);
    PlaceLog(context, read.log);
    if (read.log && !context.OpenLogAt(context.logPath)) {
        const std::string unwritable = context.logPath;
        context.OpenLogAt(DefaultLogPathOf(context));
        return Refuse(context, "/log: cannot write " + unwritable);
    }
    if (!InitializeCom(context)) {
        context.CloseLog();
        return EXIT_FAILED_STEPS;
    }
    const QuietChoice choice = ChooseQuietRun(read);
    if (!choice.choices) return Refuse(context, choice.refusal);
    const QuietChoices& choices = *choice.choices;
    std::string password;
    if (auto refusal = CheckOnMachine(choices, password)) return Refuse(context, *refusal);

    if (PackageKeysAreTestKey()) context.Log(LOG_UI, TEST_KEY_NOTICE);
    for (const std::string& name : choices.ignored) {
        context.Log(LOG_UI, "Command line: " + name + " is not used by this run; it was ignored");
    }
    context.modeFlags = ModeFlagsOf(choices.mode);
    context.proxy = choices.proxy ? *choices.proxy : DetectSystemProxy();
    if (choices.mode == QuietMode::Repair || choices.mode == QuietMode::Uninstall) {
        OpenInternetSession(context);
        MaintenanceChoices maintenance;
        maintenance.action =
            choices.mode == QuietMode::Repair ? MaintenanceAction::Repair : MaintenanceAction::Uninstall;
        maintenance.server = (choices.setupFlags & SETUP_SERVER) != 0;
        maintenance.client = (choices.setupFlags & SETUP_CLIENT) != 0;
        PrepareMaintenance(context, maintenance);
        RunMaintenance(context);
    } else {
        TakeInstallChoices(context, choices, password);
        OpenInternetSession(context);
        RunSetup(context);
    }
    return FinishProcess(context);
}
