#include "ui/ok_sequence.h"

#include <windows.h>

#include "core/context.h"
#include "prereq/sql_setup.h"
#include "resources/resource.h"
#include "setup/internet_session.h"
#include "setup/maintenance.h"
#include "setup/protected_folders.h"
#include "setup/run_sequence.h"
#include "ui/field_checks.h"
#include "ui/field_navigation.h"
#include "ui/run_thread.h"
#include "ui/setup_dialog.h"
#include "win/text.h"

namespace {

// Reads one field for the OK command; an overlong text is refused like any
// other incomplete input.
bool ReadField(SetupContext& context, int controlId, std::string& out) {
    out = ReadControlText(::GetDlgItem(context.dialog, controlId)).value_or("");
    if (auto problem = LengthProblem(controlId, out)) {
        RejectInput(context, controlId, problem->c_str());
        return false;
    }
    return true;
}

// An existing folder must belong to someone the setup trusts with it, as it
// installs programs there that run elevated.
bool AcceptFolderOwner(SetupContext& context, int controlId, const std::string& folder) {
    if (auto problem = FolderOwnerProblem(folder)) return RejectInput(context, controlId, problem->c_str()) != 0;
    return true;
}

// Reads the server side's fields; false after a refusal.
bool ReadServerFields(SetupContext& context) {
    std::string value;
    if (!ReadField(context, IDC_EDITION, context.edition)) return false;
    if (context.edition == "Summit") context.setupFlags |= SETUP_EDITION_SUMMIT;
    if (!ReadField(context, IDC_PORT, value)) return false;
    context.port = text::ParseLong(value);
    if (context.port == 0) return RejectInput(context, IDC_PORT, PORT_MISSING_MESSAGE) != 0;
    if (!PortInRange(context.port)) return RejectInput(context, IDC_PORT, PORT_RANGE_MESSAGE) != 0;
    if (context.port == 1465) context.setupFlags |= SETUP_INFO_SERVER_PORT;
    if (!ReadField(context, IDC_HOSTS, context.hosts)) return false;
    if (!ReadField(context, IDC_INSTALL_SQL, value)) return false;
    if (value == "Yes" && context.sql->sqlInstanceCount == 0) context.setupFlags |= SETUP_INSTALL_SQL;
    if (context.sql->sqlSetupFlags & SQL_NATIVE_CLIENT_MISSING) context.setupFlags |= SETUP_INSTALL_NATIVE_CLIENT;
    // With a SQL Server found the password fields are hidden; input the user
    // can neither see nor correct must not hold the dialog.
    if (context.sql->sqlInstanceCount > 0) return true;
    if (!ReadField(context, IDC_PASSWORD, context.sqlPassword)) return false;
    if (!ReadField(context, IDC_PASSWORD_REPEAT, context.sqlPasswordRepeat)) return false;
    if (context.setupFlags & SETUP_INSTALL_SQL) {
        if (auto problem = PasswordProblem(context.sqlPassword)) {
            return RejectInput(context, IDC_PASSWORD, problem->c_str()) != 0;
        }
    }
    if (context.sqlPassword != context.sqlPasswordRepeat) {
        return RejectInput(context, IDC_PASSWORD_REPEAT, "Passwords dont mach") != 0;
    }
    return true;
}

// Reads every field into the context and computes the setup flags; false
// after a refusal.
bool ReadSetupFields(SetupContext& context) {
    std::string value;
    if (!ReadField(context, IDC_SETUP_TYPE, value)) return false;
    if (value == "Client" || value == "Both") context.setupFlags |= SETUP_CLIENT;
    if (value == "Server" || value == "Both") context.setupFlags |= SETUP_SERVER;
    if (!ReadField(context, IDC_BIT_SIZE, value)) return false;
    if (value == "64 Bit") {
        context.setupFlags |= SETUP_BITS_64;
    } else if (value == "AI Client") {
        context.setupFlags |= SETUP_AI_CLIENT;
    } else if (value == "32 Bit") {
        context.setupFlags |= SETUP_BITS_32;
    }
    if (!ReadField(context, IDC_PROXY_SERVER, context.proxy)) return false;
    if (!ReadField(context, IDC_CLIENT_DIRECTORY, context.clientDirectory)) return false;
    if ((context.setupFlags & SETUP_CLIENT) && text::IsBlank(context.clientDirectory)) {
        return RejectInput(context, IDC_CLIENT_DIRECTORY, CLIENT_DIRECTORY_MISSING_MESSAGE) != 0;
    }
    if ((context.setupFlags & SETUP_CLIENT) && !AcceptFolderOwner(context, IDC_CLIENT_DIRECTORY, context.clientDirectory)) {
        return false;
    }
    if (!ReadField(context, IDC_SERVER_DIRECTORY, context.serverDirectory)) return false;
    if (!(context.setupFlags & SETUP_SERVER)) return true;
    if (text::IsBlank(context.serverDirectory)) {
        return RejectInput(context, IDC_SERVER_DIRECTORY, SERVER_DIRECTORY_MISSING_MESSAGE) != 0;
    }
    if (!AcceptFolderOwner(context, IDC_SERVER_DIRECTORY, context.serverDirectory)) return false;
    return ReadServerFields(context);
}

}  // namespace

int RejectInput(SetupContext& context, int controlId, const char* message) {
    ShowFieldGroup(context, SETUP_CLIENT, context.setupFlags & SETUP_CLIENT);
    ShowFieldGroup(context, SETUP_SERVER, context.setupFlags & SETUP_SERVER);
    ShowSqlControls(context, context.sql->sqlInstanceCount == 0);
    context.ShowMessage(message);
    ::SetFocus(::GetDlgItem(context.dialog, controlId));
    return 0;
}

MaintenanceChoices ReadMaintenanceChoices(HWND dialog) {
    MaintenanceChoices choices;
    if (::IsDlgButtonChecked(dialog, IDC_REPAIR) == BST_CHECKED) {
        choices.action = MaintenanceAction::Repair;
    } else if (::IsDlgButtonChecked(dialog, IDC_UNINSTALL) == BST_CHECKED) {
        choices.action = MaintenanceAction::Uninstall;
    }
    choices.server = ::IsDlgButtonChecked(dialog, IDC_APPLY_SERVER) == BST_CHECKED;
    choices.client = ::IsDlgButtonChecked(dialog, IDC_APPLY_CLIENT) == BST_CHECKED;
    return choices;
}

int OnOk(SetupContext& context) {
    if (RunGoesOn(context)) return 0;
    context.setupFlags = 0;
    OpenInternetSession(context);
    if (context.modeFlags & (MODE_REPAIR | MODE_UNINSTALL)) {
        PrepareMaintenance(context, ReadMaintenanceChoices(context.dialog));
        LockForRun(context);
        StartRun(context, context.dialog, RunMaintenance);
        return 1;
    }
    if (!ReadSetupFields(context)) return 0;
    // The choices are read; the run goes to its own thread.
    LockForRun(context);
    StartRun(context, context.dialog, [](SetupContext& run) { RunSetup(run); });
    return 1;
}
