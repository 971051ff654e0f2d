#include "testbed/uidriver/cli.h"

#include <functional>

#include "testbed/uidriver/controls.h"
#include "testbed/uidriver/dialogs.h"
#include "testbed/uidriver/driver_error.h"
#include "testbed/uidriver/keys.h"
#include "testbed/uidriver/processes.h"

namespace uidriver {

namespace {

constexpr DWORD DEFAULT_WAIT_MS = 10000;
constexpr DWORD DEFAULT_EXIT_WAIT_MS = 60000;
constexpr int STATUS_LINE_ID = 40001;
constexpr int PROGRESS_BAR_ID = 40002;

struct Call {
    const Invocation& invocation;
    const std::string& driverPath;
    std::ostream& out;
    std::ostream& err;

    const std::string& Argument(size_t index) const { return invocation.arguments[index]; }
    bool Has(size_t index) const { return invocation.arguments.size() > index; }
    HWND Dialog() const { return RequireDialog(Argument(0), invocation.processId); }
    HWND ControlArgument() const { return Control(Dialog(), static_cast<int>(ParseNumber(Argument(1), "control id"))); }
    DWORD Optional(size_t index, DWORD fallback, const char* what) const {
        return Has(index) ? ParseNumber(Argument(index), what) : fallback;
    }
};

struct Command {
    const char* name;
    size_t minArguments;
    size_t maxArguments;
    const char* usage;
    std::function<int(const Call&)> run;
};

int WaitDialog(const Call& call) {
    HWND dialog = WaitForDialog(call.Argument(0), call.Optional(1, DEFAULT_WAIT_MS, "time-out"), call.invocation.processId);
    call.out << ProcessOf(dialog) << "\n";
    return EXIT_DONE;
}

int SetText(const Call& call) {
    SetControlText(call.ControlArgument(), call.Argument(2));
    return EXIT_DONE;
}

int PressKeyCommand(const Call& call) {
    std::optional<Key> key = ParseKey(call.Argument(2));
    if (!key) throw UsageError("unknown key \"" + call.Argument(2) + "\"");
    HWND dialog = call.Dialog();
    const DWORD id = ParseNumber(call.Argument(1), "control id");
    if (!PressKey(dialog, id ? Control(dialog, static_cast<int>(id)) : nullptr, *key)) {
        call.err << "note: the dialog is still busy with the key\n";
    }
    return EXIT_DONE;
}

int ClickCommand(const Call& call) {
    Click(call.Dialog(), call.ControlArgument());
    return EXIT_DONE;
}

int Status(const Call& call) {
    call.out << ControlText(Control(call.Dialog(), STATUS_LINE_ID)) << "\n";
    return EXIT_DONE;
}

int Progress(const Call& call) {
    call.out << ProgressPosition(Control(call.Dialog(), PROGRESS_BAR_ID)) << "\n";
    return EXIT_DONE;
}

int Visible(const Call& call) {
    call.out << (IsShown(call.ControlArgument()) ? "visible" : "hidden") << "\n";
    return EXIT_DONE;
}

int Enabled(const Call& call) {
    call.out << (IsEnabled(call.ControlArgument()) ? "enabled" : "disabled") << "\n";
    return EXIT_DONE;
}

int Focus(const Call& call) {
    call.out << FocusedControlId(call.Dialog()) << "\n";
    return EXIT_DONE;
}

int Items(const Call& call) {
    for (const std::string& item : ReadCombo(call.ControlArgument()).items) call.out << item << "\n";
    return EXIT_DONE;
}

int Selection(const Call& call) {
    ComboContents combo = ReadCombo(call.ControlArgument());
    const bool valid = combo.selection >= 0 && combo.selection < static_cast<int>(combo.items.size());
    call.out << combo.selection << "\t" << (valid ? combo.items[static_cast<size_t>(combo.selection)] : "") << "\n";
    return EXIT_DONE;
}

int Text(const Call& call) {
    call.out << ControlText(call.ControlArgument()) << "\n";
    return EXIT_DONE;
}

int Checked(const Call& call) {
    const int state = CheckState(call.ControlArgument());
    call.out << (state == BST_CHECKED ? "checked" : state == BST_INDETERMINATE ? "indeterminate" : "unchecked") << "\n";
    return EXIT_DONE;
}

int Rect(const Call& call) {
    const RECT rect = ScreenRect(call.Dialog());
    call.out << rect.left << " " << rect.top << " " << rect.right << " " << rect.bottom << "\n";
    return EXIT_DONE;
}

int Boxes(const Call& call) {
    const DWORD processId = call.Optional(0, call.invocation.processId, "process id");
    for (const MessageBoxInfo& box : ListMessageBoxes(processId)) {
        call.out << box.processId << "\t" << OneLine(box.caption) << "\t" << OneLine(box.text) << "\n";
    }
    return EXIT_DONE;
}

int WaitBox(const Call& call) {
    const std::string fragment = call.Has(0) ? call.Argument(0) : "";
    MessageBoxInfo box = WaitForMessageBox(fragment, call.Optional(1, DEFAULT_WAIT_MS, "time-out"), call.invocation.processId);
    call.out << OneLine(box.caption) << "\t" << OneLine(box.text) << "\n";
    return EXIT_DONE;
}

int AnswerBox(const Call& call) {
    std::optional<BoxButton> button = ParseBoxButton(call.Argument(0));
    if (!button) throw UsageError("unknown button \"" + call.Argument(0) + "\"");
    const std::string fragment = call.Has(1) ? call.Argument(1) : "";
    std::optional<MessageBoxInfo> box = FindMessageBox(fragment, call.invocation.processId);
    if (!box) throw DriverError("no message box" + (fragment.empty() ? "" : " with \"" + fragment + "\"") + " is open");
    AnswerMessageBox(*box, *button);
    return EXIT_DONE;
}

int Start(const Call& call) {
    size_t first = 0;
    StartRequest request;
    if (call.Argument(0) == "--output") {
        if (call.invocation.arguments.size() < 4) throw UsageError("start --output needs a file, a folder and a program");
        request.outputFile = call.Argument(1);
        first = 2;
    }
    request.folder = call.Argument(first);
    request.program = call.Argument(first + 1);
    request.commandTail = JoinArguments(std::vector<std::string>(
        call.invocation.arguments.begin() + static_cast<long>(first) + 2, call.invocation.arguments.end()));
    StartedProcess started = StartProgram(request);
    StartWatcher(call.driverPath, started.id);
    call.out << started.id << "\n";
    return EXIT_DONE;
}

int WaitExit(const Call& call) {
    const DWORD code = WaitForExitOf(ParseNumber(call.Argument(0), "process id"),
                                     call.Optional(1, DEFAULT_EXIT_WAIT_MS, "time-out"));
    call.out << code << "\n";
    return EXIT_DONE;
}

int Terminate(const Call& call) {
    TerminateProcessById(ParseNumber(call.Argument(0), "process id"), call.Optional(1, 1, "exit code"));
    return EXIT_DONE;
}

int Watch(const Call& call) { return RunWatcher(ParseNumber(call.Argument(0), "process id")); }

int Help(const Call& call) {
    call.out << UsageText();
    return EXIT_DONE;
}

const Command COMMANDS[] = {
    {"wait-dialog", 1, 2, "wait-dialog <caption> [ms]", WaitDialog},
    {"set-text", 3, 3, "set-text <caption> <id> <text>", SetText},
    {"key", 3, 3, "key <caption> <id|0> tab|shift-tab|enter|escape|f4|alt-f4", PressKeyCommand},
    {"click", 2, 2, "click <caption> <id>", ClickCommand},
    {"status", 1, 1, "status <caption>", Status},
    {"progress", 1, 1, "progress <caption>", Progress},
    {"visible", 2, 2, "visible <caption> <id>", Visible},
    {"enabled", 2, 2, "enabled <caption> <id>", Enabled},
    {"focus", 1, 1, "focus <caption>", Focus},
    {"items", 2, 2, "items <caption> <id>", Items},
    {"selection", 2, 2, "selection <caption> <id>", Selection},
    {"text", 2, 2, "text <caption> <id>", Text},
    {"checked", 2, 2, "checked <caption> <id>", Checked},
    {"rect", 1, 1, "rect <caption>", Rect},
    {"boxes", 0, 1, "boxes [pid]", Boxes},
    {"wait-box", 0, 2, "wait-box [text-fragment] [ms]", WaitBox},
    {"answer-box", 1, 2, "answer-box ok|yes|no|cancel [text-fragment]", AnswerBox},
    {"start", 2, SIZE_MAX, "start [--output <file>] <folder> <program> [arguments...]", Start},
    {"wait-exit", 1, 2, "wait-exit <pid> [ms]", WaitExit},
    {"terminate", 1, 2, "terminate <pid> [exit-code]", Terminate},
    {"watch", 1, 1, nullptr, Watch},  // the driver's own watcher, started by "start"
    {"help", 0, 0, "help", Help},
};

const Command* FindCommand(std::string_view name) {
    for (const Command& command : COMMANDS) {
        if (name == command.name) return &command;
    }
    return nullptr;
}

}  // namespace

DWORD ParseNumber(std::string_view text, const char* what) {
    if (text.empty() || text.size() > 10) throw UsageError(std::string("not a ") + what + ": \"" + std::string(text) + "\"");
    unsigned long long value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') throw UsageError(std::string("not a ") + what + ": \"" + std::string(text) + "\"");
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    if (value > 0xFFFFFFFFull) throw UsageError(std::string(what) + " too large: " + std::string(text));
    return static_cast<DWORD>(value);
}

std::string OneLine(std::string_view text) {
    std::string line;
    for (char c : text) {
        if (c == '\r') line += "\\r";
        else if (c == '\n') line += "\\n";
        else if (c == '\t') line += "\\t";
        else line += c;
    }
    return line;
}

std::string UsageText() {
    std::string text = "usage: CorvantaUiDriver.exe [--pid <pid>] <command> [arguments]\n";
    for (const Command& command : COMMANDS) {
        if (command.usage) text += std::string("  ") + command.usage + "\n";
    }
    return text;
}

Invocation ParseInvocation(const std::vector<std::string>& words) {
    Invocation invocation;
    size_t next = 0;
    if (next < words.size() && words[next] == "--pid") {
        if (next + 1 >= words.size()) throw UsageError("--pid needs a process id");
        invocation.processId = ParseNumber(words[next + 1], "process id");
        next += 2;
    }
    if (next >= words.size()) throw UsageError("no command given");
    invocation.command = words[next++];
    invocation.arguments.assign(words.begin() + static_cast<long>(next), words.end());
    const Command* command = FindCommand(invocation.command);
    if (!command) throw UsageError("unknown command \"" + invocation.command + "\"");
    const size_t count = invocation.arguments.size();
    if (count < command->minArguments || count > command->maxArguments) {
        throw UsageError(std::string("wrong number of arguments; usage: ") +
                         (command->usage ? command->usage : command->name));
    }
    return invocation;
}

int RunCommand(const Invocation& invocation, const std::string& driverPath, std::ostream& out, std::ostream& err) {
    const Command* command = FindCommand(invocation.command);
    if (!command) throw UsageError("unknown command \"" + invocation.command + "\"");
    return command->run(Call{invocation, driverPath, out, err});
}

int RunDriver(const std::vector<std::string>& words, const std::string& driverPath, std::ostream& out,
              std::ostream& err) {
    try {
        return RunCommand(ParseInvocation(words), driverPath, out, err);
    } catch (const UsageError& error) {
        err << "CorvantaUiDriver: " << error.what() << "\n" << UsageText();
        return EXIT_USAGE;
    } catch (const std::exception& error) {
        err << "CorvantaUiDriver: " << error.what() << "\n";
        return EXIT_FAILED;
    }
}

}  // namespace uidriver
