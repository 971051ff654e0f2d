// Fetching from the machine's HTTPS download server, faults included.
#include "setup/download.h"

#include "setup/http_transfer.h"

#include <gtest/gtest.h>

#include <thread>

#include "setup/package_trust.h"
#include "support/dialog_fixture.h"
#include "support/package_signing.h"
#include "support/recording_observer.h"
#include "support/registry.h"
#include "support/testbed_access.h"
#include "ui/ok_sequence.h"

namespace {

class Fetching : public ContextTest {
protected:
    void SetUp() override {
        ASSERT_EQ(server.Missing(), "") << "run through testbed/run-tests.sh";
        OpenInternetSession(context);
    }
    // A client fetch that only stores the file (no installer, no cabinet).
    int Fetch(const std::string& name, bool handOnSucceeds = true) {
        FetchPlan plan;
        plan.category = LOG_CLIENT;
        plan.fileName = name;
        plan.localFolder = startFolder.Path();
        plan.handOn = [handOnSucceeds](const std::string&) {
            return handOnSucceeds ? HandOnResult::Done : HandOnResult::Retry;
        };
        return FetchPackage(context, plan);
    }
    std::vector<std::string> Statuses(const std::string& name, size_t expected) {
        std::vector<std::string> statuses;
        for (const auto& record : WaitForRequests(server, name, expected)) statuses.push_back(record.status);
        return statuses;
    }
    bool Logged(const std::string& line) { return LogText().find(line + "\r\n") != std::string::npos; }

    testbed::DownloadServerState server;
};

TEST_F(Fetching, StoresACompleteFileAndSaysWhereItCameFrom) {
    ServedFile served(server, "fetch-complete.bin", PackagePath("TCrvx.cab"));
    EXPECT_EQ(Fetch("fetch-complete.bin"), 1);
    EXPECT_EQ(ReadFileText(startFolder / "fetch-complete.bin"), ReadFileText(PackagePath("TCrvx.cab")));
    const std::string host = server.Server().substr(0, server.Server().find(':'));
    EXPECT_TRUE(Logged("Client Setup:Downloading;" + host + ";downloads/fetch-complete.bin"));
    EXPECT_TRUE(Logged("Client Setup:Downloaded;" + host + ";downloads/fetch-complete.bin"));
    EXPECT_EQ(Statuses("fetch-complete.bin", 1), std::vector<std::string>{"200"});
    EXPECT_EQ(context.report.failedSteps, 0);
}

TEST_F(Fetching, NotFoundGoesOnWithoutAFile) {
    ServedFile served(server, "fetch-missing.cab", PackagePath("TCrvx.cab"));
    ServerFaults faults(server, {{"fetch-missing.cab", R"("404")"}});
    EXPECT_EQ(Fetch("fetch-missing.cab"), 1);
    EXPECT_TRUE(Logged("Client Setup:Could not find fetch-missing.cab on server. Please contact you administrator"));
    EXPECT_FALSE(FileExists(startFolder / "fetch-missing.cab"));
    EXPECT_EQ(Statuses("fetch-missing.cab", 1), std::vector<std::string>{"404"});
    EXPECT_EQ(context.report.failedSteps, 1);
}

TEST_F(Fetching, RetriesFailedTransfersUntilTheFileIsComplete) {
    ServedFile served(server, "fetch-retry.bin", PackagePath("TCrvx.cab"));
    ServerFaults faults(server, {{"fetch-retry.bin", R"({"fault": "fail-then-serve", "count": 1, "with": "500"})"}});
    EXPECT_EQ(Fetch("fetch-retry.bin"), 1);
    EXPECT_EQ(Statuses("fetch-retry.bin", 2), (std::vector<std::string>{"500", "200"}));
    EXPECT_TRUE(Logged("Client Setup:Download of fetch-retry.bin failed: the server answered with HTTP status 500"));
    EXPECT_EQ(context.report.failedSteps, 0);
}

TEST_F(Fetching, ContinuesACutOffBodyWhereItStoppedAndNeverKeepsAPart) {
    ServedFile served(server, "fetch-truncated.bin", PackagePath("TCrvx.cab"));
    ServerFaults faults(server, {{"fetch-truncated.bin", R"({"fault": "fail-then-serve", "count": 2, "with": "truncate", "after": 1000})"}});
    EXPECT_EQ(Fetch("fetch-truncated.bin"), 1);
    const auto records = WaitForRequests(server, "fetch-truncated.bin", 3);
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0].status, "truncated");
    EXPECT_EQ(records[2].status, "206") << "the last attempt asked for the rest only";
    const size_t size = ReadFileText(PackagePath("TCrvx.cab")).size();
    size_t sent = 0;
    for (const auto& record : records) sent += std::stoul(record.bytes);
    EXPECT_EQ(sent, size) << "no byte was sent twice";
    EXPECT_NE(LogText().find("fetch-truncated.bin failed: incomplete, 1000 of "), std::string::npos);
    EXPECT_NE(LogText().find("fetch-truncated.bin failed: incomplete, 2000 of "), std::string::npos);
    EXPECT_EQ(ReadFileText(startFolder / "fetch-truncated.bin"), ReadFileText(PackagePath("TCrvx.cab")));
    EXPECT_FALSE(FileExists(startFolder / "fetch-truncated.bin.partial"));
}

TEST_F(Fetching, APartLeftByAFetchThatGaveUpIsDeleted) {
    ServedFile served(server, "fetch-cut.bin", PackagePath("TCrvx.cab"));
    ServerFaults faults(server, {{"fetch-cut.bin", R"({"fault": "truncate", "after": 500})"}});
    EXPECT_EQ(Fetch("fetch-cut.bin"), 1);
    EXPECT_EQ(Statuses("fetch-cut.bin", 5), (std::vector<std::string>(5, "truncated")));
    EXPECT_FALSE(FileExists(startFolder / "fetch-cut.bin.partial"));
    EXPECT_FALSE(FileExists(startFolder / "fetch-cut.bin"));
}

TEST_F(Fetching, GivesUpAfterFiveAttemptsAndCountsTheFailure) {
    ServedFile served(server, "fetch-dropped.bin", PackagePath("TCrvx.cab"));
    ServerFaults faults(server, {{"fetch-dropped.bin", R"("drop")"}});
    EXPECT_EQ(Fetch("fetch-dropped.bin"), 1);
    EXPECT_EQ(Statuses("fetch-dropped.bin", 5).size(), 5u);
    EXPECT_TRUE(Logged("Client Setup:Could not download fetch-dropped.bin after 5 attempts"));
    EXPECT_TRUE(Logged("Client Setup:Could not conact  Server:Server-> "));
    EXPECT_FALSE(FileExists(startFolder / "fetch-dropped.bin"));
    EXPECT_EQ(context.report.failedSteps, 1);
}

TEST_F(Fetching, AHandOnThatFailsFetchesTheFileAgain) {
    ServedFile served(server, "fetch-handon.bin", PackagePath("TCrvx.cab"));
    EXPECT_EQ(Fetch("fetch-handon.bin", false), 1);
    EXPECT_EQ(Statuses("fetch-handon.bin", 5).size(), 5u);
    EXPECT_EQ(context.report.failedSteps, 1);
}

TEST_F(Fetching, StoresAListedPackageThatContainsTheText404) {
    TempFolder source;
    ASSERT_TRUE(WriteFileText(source / "body.bin", "404 Not Found is only text in this package\r\n"));
    ServedFile served(server, "fetch-body404.bin", source / "body.bin");
    EXPECT_EQ(Fetch("fetch-body404.bin"), 1);
    EXPECT_EQ(ReadFileText(startFolder / "fetch-body404.bin").rfind("404 Not Found", 0), 0u);
    EXPECT_EQ(context.report.failedSteps, 0);
}

TEST_F(Fetching, ABodyChangedOnTheWayIsNotTheListedPackage) {
    ServedFile served(server, "fetch-changed.bin", PackagePath("TCrvx.cab"));
    ServerFaults faults(server, {{"fetch-changed.bin", R"("body404")"}});
    EXPECT_EQ(Fetch("fetch-changed.bin"), 1);
    EXPECT_TRUE(Logged(ContentMismatchText("fetch-changed.bin")));
    EXPECT_FALSE(FileExists(startFolder / "fetch-changed.bin"));
    EXPECT_EQ(context.report.failedSteps, 1);
}

TEST_F(Fetching, ARequestThatCannotBeOpenedStopsTheUpdateAndCountsAsFailed) {
    ServedFile served(server, "fetch-first.bin", PackagePath("TCrvx.cab"));
    ASSERT_EQ(Fetch("fetch-first.bin"), 1);
    context.internetSession.Reset();
    EXPECT_EQ(Fetch("fetch-first.bin"), 0);
    EXPECT_TRUE(Logged("Client Setup:Could not conact Url->downloads/fetch-first.bin "));
    EXPECT_EQ(context.report.failedSteps, 1);
}

TEST_F(Fetching, AFileTheListDoesNotNameIsNeverAskedFor) {
    ServedFile served(server, "fetch-unlisted.bin", PackagePath("TCrvx.cab"));
    ServedList list(server, ServedFolderList(server, SERVED_SERIAL, {"fetch-unlisted.bin"}),
                    ListSigner::BuildTestKey().Sign(ServedFolderList(server, SERVED_SERIAL, {"fetch-unlisted.bin"})));
    EXPECT_EQ(Fetch("fetch-unlisted.bin"), 1);
    EXPECT_TRUE(Logged("Client Setup:fetch-unlisted.bin is not in the signed package list; it was not downloaded"));
    EXPECT_TRUE(server.Requests("fetch-unlisted.bin").empty());
    EXPECT_FALSE(FileExists(startFolder / "fetch-unlisted.bin"));
    EXPECT_EQ(context.report.failedSteps, 1);
}

TEST_F(Fetching, AFileThatDiffersFromTheListIsFetchedAgainAndNeverKept) {
    ServedFile listed(server, "fetch-tampered.bin", PackagePath("TCrvx.cab"));
    ServedFile tampered(server, "fetch-tampered.bin", PackagePath("TCorvanta10641.cab"), ListUpdate::KeepList);
    EXPECT_EQ(Fetch("fetch-tampered.bin"), 1);
    EXPECT_EQ(Statuses("fetch-tampered.bin", 5).size(), 5u);
    EXPECT_TRUE(Logged(ContentMismatchText("fetch-tampered.bin")));
    EXPECT_TRUE(Logged("Client Setup:Could not download fetch-tampered.bin after 5 attempts"));
    EXPECT_FALSE(FileExists(startFolder / "fetch-tampered.bin"));
    EXPECT_FALSE(FileExists(startFolder / "fetch-tampered.bin.partial"));
    EXPECT_EQ(context.report.failedSteps, 1);
}

TEST_F(Fetching, TheListIsAskedForOnceARun) {
    ServedFile served(server, "fetch-once.bin", PackagePath("TCrvx.cab"));
    const size_t before = server.Requests("packages.manifest").size();
    EXPECT_EQ(Fetch("fetch-once.bin"), 1);
    EXPECT_EQ(Fetch("fetch-once.bin"), 1);
    EXPECT_EQ(WaitForRequests(server, "packages.manifest", before + 1).size(), before + 1);
    EXPECT_TRUE(Logged("Client Setup:Checked the signed package list of localhost (serial 1000)"));
    EXPECT_EQ(RegistryQword(HKEY_LOCAL_MACHINE, PACKAGE_SERIAL_KEY, PACKAGE_SERIAL_VALUE), SERVED_SERIAL)
        << "the serial taken is kept";
}

// The stall limit of a test, removed again with the value alone (the policy
// key holds the test machine's download server too).
class StallLimit {
public:
    explicit StallLimit(DWORD seconds) {
        SetRegistryDword(HKEY_LOCAL_MACHINE, POLICY_KEY, STALL_POLICY_VALUE, seconds);
    }
    ~StallLimit() { ::RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, POLICY_KEY, STALL_POLICY_VALUE); }
    static constexpr char POLICY_KEY[] = "SOFTWARE\\Policies\\TovinSoft\\Corvanta10";
};

TEST_F(Fetching, ATransferWithoutDataForTheStallLimitFailsItsAttemptAndTheNextContinues) {
    StallLimit limit(2);
    ServedFile served(server, "fetch-stall.bin", PackagePath("TCrvx.cab"));
    ServerFaults faults(server, {{"fetch-stall.bin",
                                  R"({"fault": "fail-then-serve", "count": 1, "with": "stall", "after": 1000, "seconds": 8})"}});
    const ULONGLONG start = ::GetTickCount64();
    EXPECT_EQ(Fetch("fetch-stall.bin"), 1);
    EXPECT_LT(::GetTickCount64() - start, 7000u) << "the stall was not waited out";
    EXPECT_TRUE(Logged("Client Setup:Download of fetch-stall.bin failed: no data for 2 seconds")) << LogText();
    EXPECT_EQ(ReadFileText(startFolder / "fetch-stall.bin"), ReadFileText(PackagePath("TCrvx.cab")));
    EXPECT_EQ(context.report.failedSteps, 0);
}

TEST_F(Fetching, CancelBeforeAnAttemptAsksForNothing) {
    ServedFile served(server, "fetch-cancelled.bin", PackagePath("TCrvx.cab"));
    context.cancel.Request();
    EXPECT_EQ(Fetch("fetch-cancelled.bin"), 0);
    EXPECT_TRUE(Logged("Client Setup:Download of fetch-cancelled.bin was stopped by Cancel"));
    EXPECT_TRUE(server.Requests("fetch-cancelled.bin").empty());
    EXPECT_TRUE(context.report.cancelled);
    EXPECT_EQ(context.report.failedSteps, 0);
}

TEST_F(Fetching, CancelDuringASlowTransferEndsItSoonAndLeavesNoPart) {
    auto* observer = new RecordingObserver;
    context.Watch(std::unique_ptr<RunObserver>(observer));
    ServedFile served(server, "fetch-slow.bin", PackagePath("TCrvx.cab"));
    ServerFaults faults(server, {{"fetch-slow.bin", R"({"fault": "slow", "rate": 2048, "chunk": 512})"}});
    ULONGLONG cancelledAt = 0;
    std::thread dialog([&] {
        // As the dialog would: Cancel once the first bytes are shown.
        for (int i = 0; i < 500; ++i) {
            {
                std::lock_guard<std::mutex> lock(observer->Mutex());
                if (!observer->statuses.empty()) break;
            }
            ::Sleep(10);
        }
        cancelledAt = ::GetTickCount64();
        context.cancel.Request();
    });
    EXPECT_EQ(Fetch("fetch-slow.bin"), 0);
    const ULONGLONG endedAt = ::GetTickCount64();
    dialog.join();
    EXPECT_LT(endedAt - cancelledAt, 2000u);
    EXPECT_TRUE(Logged("Client Setup:Download of fetch-slow.bin was stopped by Cancel"));
    EXPECT_FALSE(FileExists(startFolder / "fetch-slow.bin"));
    EXPECT_FALSE(FileExists(startFolder / "fetch-slow.bin.partial"));
    ASSERT_FALSE(observer->statuses.empty());
    EXPECT_EQ(observer->statuses.front().rfind("Downloading fetch-slow.bin: ", 0), 0u) << observer->statuses.front();
    EXPECT_EQ(context.report.failedSteps, 0);
}

TEST_F(Fetching, CancelWhileTheServerSendsNothingEndsTheWaitAtOnce) {
    ServedFile served(server, "fetch-stalled.bin", PackagePath("TCrvx.cab"));
    ServerFaults faults(server, {{"fetch-stalled.bin", R"({"fault": "stall", "after": 1000, "seconds": 20})"}});
    std::thread dialog([&] {
        // Once the first bytes are in, the server holds the rest back.
        for (int i = 0; i < 1000 && !FileExists(startFolder / "fetch-stalled.bin.partial"); ++i) ::Sleep(10);
        ::Sleep(500);
        context.cancel.Request();
    });
    const ULONGLONG start = ::GetTickCount64();
    EXPECT_EQ(Fetch("fetch-stalled.bin"), 0);
    dialog.join();
    EXPECT_LT(::GetTickCount64() - start, 5000u) << "the stall was waited out";
    EXPECT_TRUE(Logged("Client Setup:Download of fetch-stalled.bin was stopped by Cancel"));
    EXPECT_FALSE(FileExists(startFolder / "fetch-stalled.bin.partial"));
    EXPECT_EQ(context.report.failedSteps, 0);
}

TEST(DownloadStatus, ShowsMebibytesWithOneDecimal) {
    constexpr std::uint64_t MiB = 1u << 20;
    const struct {
        std::uint64_t received;
        std::optional<std::uint64_t> total;
        const char* text;
    } cases[] = {
        {0, 0, "Downloading f.cab: 0.0 of 0.0 MB"},
        {0, std::nullopt, "Downloading f.cab: 0.0 MB"},
        {MiB * 123 / 10, MiB * 456 / 10, "Downloading f.cab: 12.3 of 45.6 MB"},
        {MiB / 20, MiB, "Downloading f.cab: 0.0 of 1.0 MB"},      // just under half a tenth (52428.8 bytes)
        {MiB / 20 + 1, MiB, "Downloading f.cab: 0.1 of 1.0 MB"},  // half a tenth rounds up
        {MiB * 1023 + MiB * 99 / 100, std::nullopt, "Downloading f.cab: 1024.0 MB"},
        {5ull << 40, 5ull << 40, "Downloading f.cab: 5242880.0 of 5242880.0 MB"},
    };
    for (const auto& c : cases) EXPECT_EQ(DownloadStatusText("f.cab", c.received, c.total), c.text);
}

// A list the run cannot trust ends it: the fetch stops the update, and no
// package is asked for.
struct ListCase {
    const char* name;
    std::string (*list)(const testbed::DownloadServerState&);
    std::string (*signature)(const std::string& list);
    const char* fault;  // on packages.manifest, or nothing
    const char* line;
};

std::string GoodList(const testbed::DownloadServerState& server) { return ServedFolderList(server); }
std::string TestKey(const std::string& list) { return ListSigner::BuildTestKey().Sign(list); }

class RefusedLists : public Fetching, public ::testing::WithParamInterface<ListCase> {};

TEST_P(RefusedLists, StopTheRunBeforeAnyPackage) {
    const ListCase& c = GetParam();
    ServedFile served(server, "fetch-after-list.bin", PackagePath("TCrvx.cab"));
    const std::string list = c.list(server);
    ServedList published(server, list, c.signature(list));
    std::vector<std::pair<std::string, std::string>> entries;
    if (c.fault) entries.push_back({"packages.manifest", c.fault});
    ServerFaults faults(server, entries);
    RegistryCleanup cleanup(HKEY_LOCAL_MACHINE, {PACKAGE_SERIAL_KEY});
    SetRegistryQword(HKEY_LOCAL_MACHINE, PACKAGE_SERIAL_KEY, PACKAGE_SERIAL_VALUE, SERVED_SERIAL);

    EXPECT_EQ(Fetch("fetch-after-list.bin"), 0);
    EXPECT_TRUE(Logged(std::string("Client Setup:") + c.line)) << LogText();
    EXPECT_TRUE(context.report.stopped);
    EXPECT_EQ(context.report.failedSteps, 1);
    EXPECT_TRUE(server.Requests("fetch-after-list.bin").empty());
    EXPECT_EQ(Fetch("fetch-after-list.bin"), 0) << "refused once, refused for the whole run";
    EXPECT_EQ(context.report.failedSteps, 1);
}

INSTANTIATE_TEST_SUITE_P(
    Lists, RefusedLists,
    ::testing::Values(
        ListCase{"Unavailable", GoodList, TestKey, R"("500")",
                 "Could not get the signed package list from localhost; nothing was installed"},
        ListCase{"SignatureEmpty", GoodList, [](const std::string&) { return std::string(); }, nullptr,
                 "The package list of localhost is not signed by TovinSoft; nothing was installed"},
        ListCase{"SignatureGarbled", GoodList, [](const std::string&) { return std::string("\x30\x03\x02\x01\x01"); },
                 nullptr, "The package list of localhost is not signed by TovinSoft; nothing was installed"},
        ListCase{"SignedByAnotherKey", GoodList, [](const std::string& l) { return ListSigner::NewKey().Sign(l); },
                 nullptr, "The package list of localhost is not signed by TovinSoft; nothing was installed"},
        ListCase{"SignedOverOtherBytes", GoodList, [](const std::string& l) { return TestKey(l + "\n"); }, nullptr,
                 "The package list of localhost is not signed by TovinSoft; nothing was installed"},
        ListCase{"MalformedLine",
                 [](const testbed::DownloadServerState&) { return std::string("serial 1000\n0123 12 short.cab\n"); },
                 TestKey, nullptr, "The package list of localhost is not valid (line 2); nothing was installed"},
        ListCase{"OlderSerial", [](const testbed::DownloadServerState& s) { return ServedFolderList(s, 999); }, TestKey,
                 nullptr,
                 "The package list of localhost is older than one already used (serial 999, at least 1000); nothing "
                 "was installed"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Resume, AsksForTheRestOnlyOfTheFileTheFirstAnswerDescribed) {
    EXPECT_EQ(ResumeHeaders(1000, L"\"abc\"", L"Tue, 14 Nov 2023 22:13:20 GMT"),
              L"Range: bytes=1000-\r\nIf-Range: \"abc\"\r\n");
    EXPECT_EQ(ResumeHeaders(7, L"W/\"weak\"", L"Tue, 14 Nov 2023 22:13:20 GMT"),
              L"Range: bytes=7-\r\nIf-Range: Tue, 14 Nov 2023 22:13:20 GMT\r\n")
        << "a weak tag cannot stand in If-Range";
    EXPECT_EQ(ResumeHeaders(7, L"", L""), L"") << "nothing tells it is the same file";
    EXPECT_EQ(ResumeHeaders(0, L"\"abc\"", L""), L"") << "nothing to continue from";
}

TEST(Resume, ReadsOnlyAWholeContentRange) {
    const auto range = ParseContentRange(L"bytes 1000-8299/8300");
    ASSERT_TRUE(range);
    EXPECT_EQ(range->first, 1000u);
    EXPECT_EQ(range->last, 8299u);
    EXPECT_EQ(range->total, 8300u);
    for (const wchar_t* bad : {L"", L"bytes */8300", L"bytes 10-5/8300", L"bytes 0-8300/8300", L"items 0-1/2",
                               L"bytes 0-1/", L"bytes -1/2", L"bytes 0-1/99999999999999999999"}) {
        EXPECT_FALSE(ParseContentRange(bad)) << std::string(bad, bad + wcslen(bad));
    }
}

TEST(ConnectFailure, NamesWhatCouldNotBeReached) {
    EXPECT_EQ(ConnectFailureText("Url", "downloads/x.cab"), "Could not conact Url->downloads/x.cab ");
    EXPECT_EQ(ConnectFailureText("Server", "host"), "Could not conact  Server:Server->host ");
    EXPECT_EQ(ConnectFailureText("Server", ""), "Could not conact  Server:Server-> ");
    EXPECT_EQ(ConnectFailureText("", "detail"), "Could not conact detail ");
    EXPECT_EQ(ConnectFailureText(" ", " "), "Could not conact ");
}

TEST(DownloadServerSetting, TakesAHostAndAnOptionalPort) {
    EXPECT_EQ(ParseDownloadServer("mirror.local")->host, "mirror.local");
    EXPECT_EQ(ParseDownloadServer("mirror.local")->port, 443);
    EXPECT_EQ(ParseDownloadServer("localhost:8443")->port, 8443);
    for (const char* bad : {"", "host:", ":80", "host:0", "host:65536", "host:8x", "a b", "http://host", "h:1:2"}) {
        EXPECT_FALSE(ParseDownloadServer(bad).has_value()) << bad;
    }
}

}  // namespace
