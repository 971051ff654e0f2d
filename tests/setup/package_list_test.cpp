// The signed package list on plain inputs: its format, the signature's
// encoding, the serial rule, the download server's sources, and one setup at
// a time.
#include "setup/package_list.h"

#include <gtest/gtest.h>

#include "app/command_line.h"
#include "app/startup.h"
#include "setup/download_server.h"
#include "core/package_keys.h"
#include "setup/package_trust.h"
#include "support/package_signing.h"
#include "win/text.h"

namespace {

const std::string DIGEST_A(64, 'a');
const std::string DIGEST_B = "0123456789ABCDEFabcdef0123456789ABCDEF0123456789abcdef0123456789";

struct ListCase {
    const char* name;
    std::string text;
    size_t badLine;  // 0: the list is taken
};

class ListFormat : public ::testing::TestWithParam<ListCase> {};

TEST_P(ListFormat, TakesOnlyWellFormedLists) {
    const PackageListParse parsed = ParsePackageList(GetParam().text);
    EXPECT_EQ(parsed.list.has_value(), GetParam().badLine == 0);
    EXPECT_EQ(parsed.badLine, GetParam().badLine);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, ListFormat,
    ::testing::Values(
        ListCase{"Minimal", "serial 1\n", 0},
        ListCase{"CommentsBlankLinesAndCrLf", "# vendor\r\n\r\nserial 7\r\n" + DIGEST_A + " 10 a.cab\r\n", 0},
        ListCase{"TabsAndRunsOfBlanks", "serial\t 7\n" + DIGEST_B + " \t 10\t\tname with blanks.exe\n", 0},
        ListCase{"NoFinalLineEnd", "serial 7\n" + DIGEST_A + " 0 empty.txt", 0},
        ListCase{"ByteOrderMark", "\xEF\xBB\xBFserial 7\n", 0},
        ListCase{"Utf8Name", "serial 7\n" + DIGEST_A + " 1 Gr\xC3\xBC\xC3\x9F" "e.cab\n", 0},
        ListCase{"EighteenDigitSerial", "serial 999999999999999999\n", 0},
        ListCase{"NineteenDigitSerial", "serial 1000000000000000000\n", 1},
        ListCase{"NoSerial", "# nothing\n" + DIGEST_A + " 1 a.cab\n", 3},
        ListCase{"TwoSerials", "serial 1\nserial 2\n", 2},
        ListCase{"SerialWithText", "serial 5 six\n", 1},
        ListCase{"SerialInCapitals", "Serial 5\n", 1},
        ListCase{"LineOfBlanks", "serial 5\n   \n", 2},
        ListCase{"ShortDigest", "serial 5\n" + DIGEST_A.substr(1) + " 1 a.cab\n", 2},
        ListCase{"NotHex", "serial 5\n" + std::string(63, 'a') + "g 1 a.cab\n", 2},
        ListCase{"SignedSize", "serial 5\n" + DIGEST_A + " +1 a.cab\n", 2},
        ListCase{"NineteenDigitSize", "serial 5\n" + DIGEST_A + " 1234567890123456789 a.cab\n", 2},
        ListCase{"NoName", "serial 5\n" + DIGEST_A + " 1 \n", 2},
        ListCase{"NameWithAFolder", "serial 5\n" + DIGEST_A + " 1 sub\\a.cab\n", 2},
        ListCase{"NameUpTheTree", "serial 5\n" + DIGEST_A + " 1 ..\n", 2},
        ListCase{"NameWithADrive", "serial 5\n" + DIGEST_A + " 1 c:a.cab\n", 2},
        ListCase{"NameEndingInABlank", "serial 5\n" + DIGEST_A + " 1 a.cab \n", 2},
        ListCase{"NameEndingInADot", "serial 5\n" + DIGEST_A + " 1 a.\n", 2},
        ListCase{"DeviceName", "serial 5\n" + DIGEST_A + " 1 CON.cab\n", 2},
        ListCase{"ControlCharacter", "serial 5\n" + DIGEST_A + " 1 a\rb.cab\n", 2},
        ListCase{"NameTwiceInOtherCase", "serial 5\n" + DIGEST_A + " 1 a.cab\n" + DIGEST_B + " 2 A.CAB\n", 3},
        ListCase{"BrokenUtf8", "serial 5\n" + DIGEST_A + " 1 a\xC3.cab\n", 2},
        ListCase{"OverlongUtf8", "serial 5\n" + DIGEST_A + " 1 \xC0\xAF.cab\n", 2},
        ListCase{"BrokenUtf8InAComment", "#\xFF\nserial 5\n", 1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ListContent, KeepsEveryFieldAndFindsNamesInAnyCase) {
    const auto parsed = ParsePackageList("serial 42\n" + DIGEST_B + " 123456 Corvanta Setup.cab\n");
    ASSERT_TRUE(parsed.list);
    EXPECT_EQ(parsed.list->serial, 42u);
    const PackageEntry* entry = parsed.list->Find("corvanta setup.CAB");
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->name, "Corvanta Setup.cab");
    EXPECT_EQ(entry->size, 123456u);
    EXPECT_EQ(HexDigest(entry->sha256), "0123456789abcdefabcdef0123456789abcdef0123456789abcdef0123456789");
    EXPECT_EQ(parsed.list->Find("other.cab"), nullptr);
}

win::RawSignature Raw(std::uint8_t firstOfR, std::uint8_t firstOfS) {
    win::RawSignature raw{};
    raw.fill(0x11);
    raw[0] = firstOfR;
    raw[32] = firstOfS;
    return raw;
}

TEST(SignatureEncoding, DerBecomesRAndSRightAligned) {
    for (const win::RawSignature& raw : {Raw(0x80, 0x01), Raw(0x00, 0x7F), Raw(0xFF, 0xFF)}) {
        const auto back = DerSignatureToRaw(RawSignatureToDer(raw));
        ASSERT_TRUE(back);
        EXPECT_EQ(*back, raw);
    }
    // r = 1 and s = 0x80 (padded with a zero byte): both right-aligned.
    const auto small = DerSignatureToRaw(std::string("\x30\x07\x02\x01\x01\x02\x02\x00\x80", 9));
    ASSERT_TRUE(small);
    EXPECT_EQ((*small)[31], 1);
    EXPECT_EQ((*small)[63], 0x80);
    EXPECT_EQ((*small)[62], 0);
}

TEST(SignatureEncoding, RefusesEverythingButAStrictEncoding) {
    const std::string good = RawSignatureToDer(Raw(0x12, 0x34));
    const std::string cases[] = {
        "",
        std::string("\x31") + good.substr(1),                           // not a SEQUENCE
        good.substr(0, good.size() - 1),                                 // cut short
        good + std::string(1, '\0'),                                     // trailing byte
        std::string("\x30\x06\x02\x01\x01\x02\x01\x80", 8),              // negative s
        std::string("\x30\x07\x02\x02\x00\x01\x02\x01\x01", 9),          // r with a needless zero
        std::string("\x30\x06\x02\x01\x00\x02\x01\x01", 8),              // r is zero
        std::string("\x30\x03\x02\x01\x01", 5),                          // one INTEGER only
        std::string("\x30\x81\x06\x02\x01\x01\x02\x01\x01", 9),          // long form for a short length
        std::string("\x30\x06\x04\x01\x01\x02\x01\x01", 8),              // not an INTEGER
        std::string("\x30\x26\x02\x21\x01") + std::string(32, '\x11') + std::string("\x02\x01\x01", 3),  // 33-byte r
    };
    for (const std::string& der : cases) EXPECT_FALSE(DerSignatureToRaw(der)) << der.size() << " bytes";
}

TEST(SignatureCheck, TakesTheBytesSignedByAnyBuiltInKeyOnly) {
    const std::string list = "serial 1\n";
    const std::string signature = ListSigner::BuildTestKey().Sign(list);
    const std::vector<win::EcPoint> keys = BuiltInPackageKeys();
    EXPECT_TRUE(PackageKeysAreTestKey());
    EXPECT_TRUE(IsSignedByOneOf(list, signature, keys));
    // A rotation: the list is taken when the second key signed it.
    std::vector<win::EcPoint> rotated = {win::EcPoint{}, keys.front()};
    rotated.front().fill(0x42);
    EXPECT_TRUE(IsSignedByOneOf(list, signature, rotated));
    EXPECT_FALSE(IsSignedByOneOf(list + " ", signature, keys));
    EXPECT_FALSE(IsSignedByOneOf(list, ListSigner::NewKey().Sign(list), keys));
    EXPECT_FALSE(IsSignedByOneOf(list, signature, {}));
}

TEST(Serial, ALowerSerialThanOneTakenIsRefused) {
    EXPECT_TRUE(SerialAccepted(5, std::nullopt));
    EXPECT_TRUE(SerialAccepted(5, 5));
    EXPECT_TRUE(SerialAccepted(6, 5));
    EXPECT_FALSE(SerialAccepted(4, 5));
    EXPECT_FALSE(SerialAccepted(0, 999999999999999999));
}

TEST(DeviceNames, AreKnownInAnyCaseAndWithAnyExtension) {
    for (const char* name : {"CON", "con", "Prn.txt", "aux.tar.gz", "NUL", "COM1", "com9.log", "LPT1", "lpt9.x", "CON ",
                             "AUX.", "Nul ..txt"}) {
        EXPECT_TRUE(text::IsDeviceName(name)) << name;
    }
    for (const char* name : {"CONSOLE", "COM0", "COM10", "LPT", "xCON", "nul_", "COM1x.txt", ""}) {
        EXPECT_FALSE(text::IsDeviceName(name)) << name;
    }
}

struct ServerCase {
    const char* name;
    std::optional<std::string> commandLine;
    std::optional<std::string> policy;
    bool oldVariable;
    const char* host;
    INTERNET_PORT port;
    std::vector<std::string> notes;
};

class ServerSources : public ::testing::TestWithParam<ServerCase> {};

TEST_P(ServerSources, TheFirstValidSourceWins) {
    const ServerCase& c = GetParam();
    const DownloadServerChoice choice = ChooseDownloadServer(c.commandLine, c.policy, c.oldVariable);
    EXPECT_EQ(choice.endpoint.host, c.host);
    EXPECT_EQ(choice.endpoint.port, c.port);
    EXPECT_EQ(choice.notes, c.notes);
}

const char OLD_VARIABLE_NOTE[] = "CORVANTA_DOWNLOAD_SERVER is no longer read; set the DownloadServer policy or /server=";

INSTANTIATE_TEST_SUITE_P(
    Sources, ServerSources,
    ::testing::Values(
        ServerCase{"Default", std::nullopt, std::nullopt, false, "downloads.tovinsoft.com", 443, {}},
        ServerCase{"Policy", std::nullopt, "mirror.corp:8443", false, "mirror.corp", 8443, {}},
        ServerCase{"CommandLineBeforePolicy", "cli.corp", "mirror.corp", false, "cli.corp", 443, {}},
        ServerCase{"BadCommandLineThenPolicy", "bad host", "mirror.corp", false, "mirror.corp", 443,
                   {"The download server setting /server= is not valid; using mirror.corp"}},
        ServerCase{"BadPolicyThenDefault", std::nullopt, "x:99999", false, "downloads.tovinsoft.com", 443,
                   {"The download server setting DownloadServer is not valid; using downloads.tovinsoft.com"}},
        ServerCase{"BothBad", "", "h:", false, "downloads.tovinsoft.com", 443,
                   {"The download server setting /server= is not valid; using downloads.tovinsoft.com",
                    "The download server setting DownloadServer is not valid; using downloads.tovinsoft.com"}},
        ServerCase{"OldVariableIsNotRead", std::nullopt, std::nullopt, true, "downloads.tovinsoft.com", 443,
                   {OLD_VARIABLE_NOTE}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CommandLineSwitches, AreFoundByNameInAnyCaseWithQuotedValues) {
    const std::vector<std::string> words = CommandLineWords(L"/repair \"/Server=mirror.corp:8443\" /type=server");
    EXPECT_EQ(words, (std::vector<std::string>{"/repair", "/Server=mirror.corp:8443", "/type=server"}));
    EXPECT_EQ(SwitchValue(words, "server"), "mirror.corp:8443");
    EXPECT_EQ(SwitchValue(words, "TYPE"), "server");
    EXPECT_EQ(SwitchValue(words, "log"), std::nullopt);
    EXPECT_EQ(SwitchValue(CommandLineWords(L"/server= /server=second"), "server"), "") << "the first one counts";
    EXPECT_TRUE(CommandLineWords(L"").empty());
}

TEST(OneSetupAtATime, AnAbandonedLockCountsAsTaken) {
    EXPECT_TRUE(SetupLockTaken(WAIT_OBJECT_0));
    EXPECT_TRUE(SetupLockTaken(WAIT_ABANDONED));
    EXPECT_FALSE(SetupLockTaken(WAIT_TIMEOUT));
    EXPECT_FALSE(SetupLockTaken(WAIT_FAILED));
}

}  // namespace
