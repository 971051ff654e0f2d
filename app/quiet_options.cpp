#include "app/quiet_options.h"

#include <set>

#include "app/command_line.h"
#include "setup/choice_rules.h"
#include "setup/download_server.h"
#include "setup/system_proxy.h"
#include "win/text.h"

namespace {

constexpr const char* SWITCHES[] = {"type", "bitsize", "clientdir", "serverdir", "edition", "port",
                                    "hosts", "sql", "sapwdfile", "proxy", "server", "log"};

constexpr char DEFAULT_SERVER_DIRECTORY[] = "c:\\TCorvanta10";

bool IsKnownSwitch(std::string_view lowerName) {
    for (const char* name : SWITCHES) {
        if (lowerName == name) return true;
    }
    return false;
}

std::optional<QuietMode> ModeWord(std::string_view word) {
    if (!word.empty() && word[0] == '/') word.remove_prefix(1);
    const std::string lower = text::ToLower(word);
    if (lower == "install") return QuietMode::Install;
    if (lower == "repair") return QuietMode::Repair;
    if (lower == "modify") return QuietMode::Modify;
    if (lower == "uninstall") return QuietMode::Uninstall;
    return std::nullopt;
}

std::string Refusal(std::string_view name, std::string_view why) {
    std::string out;
    out.reserve(name.size() + why.size() + 3);
    out += '/';
    out.append(name);
    out += ": ";
    out.append(why);
    return out;
}

// One value checked like its dialog field; the first refusal wins.
class Checker {
public:
    explicit Checker(const QuietWords& words) : words_(words) {}

    bool Given(const char* name) const { return words_.values.count(name) != 0; }
    std::string Value(const char* name, std::string_view fallback = {}) {
        used_.insert(name);
        auto found = words_.values.find(name);
        return found == words_.values.end() ? std::string(fallback) : found->second;
    }
    void Refuse(const char* name, std::string_view why) {
        if (refusal_.empty()) refusal_ = Refusal(name, why);
    }
    void CheckLength(const char* name, ChoiceField field, std::string_view value) {
        if (auto problem = LengthProblem(field, value)) Refuse(name, *problem);
    }
    bool Refused() const { return !refusal_.empty(); }
    const std::string& RefusalText() const { return refusal_; }
    std::vector<std::string> Ignored() const {
        std::vector<std::string> ignored;
        for (const auto& [name, value] : words_.values) {
            if (!used_.count(name)) ignored.push_back("/" + name);
        }
        return ignored;
    }

private:
    const QuietWords& words_;
    std::set<std::string> used_;
    std::string refusal_;
};

SetupFlags SidesOf(const std::string& type) {
    if (type == "client") return SETUP_CLIENT;
    if (type == "server") return SETUP_SERVER;
    if (type == "both") return SETUP_CLIENT | SETUP_SERVER;
    return 0;
}

SetupFlags BitSizeOf(const std::string& value) {
    if (value == "64") return SETUP_BITS_64;
    if (value == "32") return SETUP_BITS_32;
    if (value == "ai") return SETUP_AI_CLIENT;
    return 0;
}

std::optional<std::string> EditionOf(const std::string& value) {
    for (const char* edition : {"Summit", "Crew", "Staple", "Starter"}) {
        if (text::ToLower(edition) == value) return std::string(edition);
    }
    return std::nullopt;
}

void ChooseClient(Checker& check, QuietChoices& choices) {
    const std::string folder = check.Value("clientdir", BitSizeByFlag(choices.setupFlags)->proposals[0]);
    if (text::IsBlank(folder)) check.Refuse("clientdir", CLIENT_DIRECTORY_MISSING_MESSAGE);
    check.CheckLength("clientdir", ChoiceField::ClientDirectory, folder);
    choices.clientDirectory = folder;
}

void ChooseServer(Checker& check, QuietChoices& choices, const std::string& type) {
    choices.serverDirectory = check.Value("serverdir", DEFAULT_SERVER_DIRECTORY);
    if (text::IsBlank(choices.serverDirectory)) check.Refuse("serverdir", SERVER_DIRECTORY_MISSING_MESSAGE);
    check.CheckLength("serverdir", ChoiceField::ServerDirectory, choices.serverDirectory);

    const auto edition = EditionOf(text::ToLower(check.Value("edition", "starter")));
    if (!edition) check.Refuse("edition", EDITION_BLANK_MESSAGE);
    choices.edition = edition.value_or("");
    if (choices.edition == "Summit") choices.setupFlags |= SETUP_EDITION_SUMMIT;

    if (!check.Given("port")) check.Refuse("port", "required with /type=" + type);
    choices.port = text::ParseLong(check.Value("port"));
    if (check.Given("port") && choices.port == 0) check.Refuse("port", PORT_MISSING_MESSAGE);
    if (choices.port != 0 && !PortInRange(choices.port)) check.Refuse("port", PORT_RANGE_MESSAGE);
    if (choices.port == 1465) choices.setupFlags |= SETUP_INFO_SERVER_PORT;

    choices.hosts = check.Value("hosts");
    check.CheckLength("hosts", ChoiceField::Hosts, choices.hosts);

    const std::string sql = text::ToLower(check.Value("sql", "no"));
    if (sql != "yes" && sql != "no") check.Refuse("sql", INSTALL_SQL_BLANK_MESSAGE);
    choices.sql = sql == "yes";
    if (choices.sql) {
        if (!check.Given("sapwdfile")) check.Refuse("sapwdfile", "required with /sql=yes");
        choices.passwordFile = check.Value("sapwdfile");
    }
}

}  // namespace

QuietWords ReadQuietWords(const std::vector<std::string>& words) {
    QuietWords out;
    bool modeSeen = false;
    std::set<std::string> twice;
    auto refuse = [&out](std::string why) {
        if (!out.refusal) out.refusal = std::move(why);
    };
    for (const std::string& word : words) {
        if (text::EqualsNoCase(word, "/quiet")) continue;
        if (const auto mode = ModeWord(word)) {
            // The first mode word chooses; later ones change nothing.
            if (!modeSeen) out.mode = *mode;
            modeSeen = true;
            continue;
        }
        if (const auto name = SwitchName(word)) {
            const std::string lower = text::ToLower(*name);
            if (!IsKnownSwitch(lower)) {
                refuse(Refusal(*name, "unknown switch"));
            } else if (out.values.count(lower) || twice.count(lower)) {
                twice.insert(lower);
                out.values.erase(lower);
                refuse(Refusal(lower, "given twice"));
            } else if (SwitchValueOf(word).empty()) {
                twice.insert(lower);  // a later one is a second time all the same
                refuse(Refusal(lower, "empty"));
            } else {
                out.values[lower] = SwitchValueOf(word);
            }
            continue;
        }
        // "/port" without "=": a switch without its value.
        if (word.size() > 1 && word[0] == '/' && IsKnownSwitch(text::ToLower(word.substr(1)))) {
            refuse(Refusal(text::ToLower(word.substr(1)), "empty"));
            continue;
        }
        refuse(word + ": unknown switch");
    }
    if (out.values.count("log")) out.log = out.values["log"];
    return out;
}

QuietChoice ChooseQuietRun(const QuietWords& words) {
    if (words.refusal) return {std::nullopt, *words.refusal};
    Checker check(words);
    QuietChoices choices;
    choices.mode = words.mode;
    check.Value("log");
    if (!check.Given("type")) return {std::nullopt, Refusal("type", "required")};
    const std::string type = text::ToLower(check.Value("type"));
    choices.setupFlags = SidesOf(type);
    if (!choices.setupFlags) return {std::nullopt, Refusal("type", SETUP_TYPE_BLANK_MESSAGE)};

    const bool installs = words.mode == QuietMode::Install || words.mode == QuietMode::Modify;
    if (words.mode != QuietMode::Uninstall) {
        // Repairs fetch packages too: from the server and through the proxy given.
        if (check.Given("proxy")) {
            const std::string proxy = check.Value("proxy");
            check.CheckLength("proxy", ChoiceField::ProxyServer, proxy);
            if (!IsProxyAddress(proxy)) check.Refuse("proxy", "must be host:port");
            choices.proxy = proxy;
        }
        if (check.Given("server") && !ParseDownloadServer(check.Value("server"))) {
            check.Refuse("server", "must be host or host:port");
        }
    }
    if (installs) {
        const SetupFlags bitSize = BitSizeOf(text::ToLower(check.Value("bitsize", "64")));
        if (!bitSize) check.Refuse("bitsize", "must be 64, 32 or ai");
        choices.setupFlags |= bitSize ? bitSize : SETUP_BITS_64;
        if (choices.setupFlags & SETUP_CLIENT) ChooseClient(check, choices);
        if (choices.setupFlags & SETUP_SERVER) ChooseServer(check, choices, type);
    }
    if (check.Refused()) return {std::nullopt, check.RefusalText()};
    choices.ignored = check.Ignored();
    return {choices, {}};
}

std::string InvalidCommandLineText(std::string_view refusal) {
    return "Invalid command line: " + std::string(refusal);
}

std::optional<std::string> PasswordFromFile(std::string_view bytes, AnsiFromUtf8 toAnsi) {
    const bool utf8 = bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF";
    if (utf8) bytes.remove_prefix(3);
    std::string_view line = bytes.substr(0, bytes.find_first_of("\r\n"));
    std::string password(line);
    if (utf8) {
        auto converted = toAnsi(line);
        if (!converted) return std::nullopt;
        password = *converted;
    }
    return text::TrimTrailingBlanks(password);
}

std::optional<std::string> PasswordFileProblem(std::string_view password) {
    if (auto problem = LengthProblem(ChoiceField::Password, password)) return problem;
    return PasswordProblem(password);
}
