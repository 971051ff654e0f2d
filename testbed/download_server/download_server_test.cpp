// The download server as the setup meets it: real WinHTTP requests over TLS
// with full certificate checks, from inside the test machine.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "https_client.h"
#include "server_state.h"

namespace {

using testbed::HttpsClient;
using testbed::Response;

std::string Pattern(size_t size) {
    std::string content(size, '\0');
    for (size_t i = 0; i < size; ++i) content[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
    return content;
}

std::vector<std::string> Statuses(const std::vector<testbed::RequestRecord>& records) {
    std::vector<std::string> statuses;
    for (const auto& r : records) statuses.push_back(r.status);
    return statuses;
}

class DownloadServer : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(server.Missing(), "") << "run through testbed/run-tests.sh, which starts the server";
        ASSERT_TRUE(server.ReadFaults(savedFaults, faultsExisted));
    }
    void TearDown() override {
        EXPECT_TRUE(server.RestoreFaults(savedFaults, faultsExisted));
        for (const auto& name : files) ::DeleteFileA(server.DownloadPath(name).c_str());
    }

    // A file of the served folder, named after the test so no two tests share one.
    std::string Put(const std::string& content, const std::string& suffix = "") {
        const auto* info = testing::UnitTest::GetInstance()->current_test_info();
        const std::string name =
            "dst-" + std::to_string(::GetCurrentProcessId()) + "-" + info->name() + suffix + ".cab";
        EXPECT_TRUE(testbed::WriteWholeFile(server.DownloadPath(name), content)) << name;
        files.push_back(name);
        return name;
    }
    void Fault(const std::string& name, const std::string& entry) {
        ASSERT_TRUE(server.SetFaults({{name, entry}}));
    }
    Response Fetch(const std::string& name) {
        HttpsClient client(server.Server());
        return client.Get(name);
    }
    // The log's lines for the file once there are `count` of them (the server
    // writes a line just after its answer has gone out), or after 5 s what there is.
    std::vector<testbed::RequestRecord> Logged(const std::string& name, size_t count) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        auto records = server.Requests(name);
        while (records.size() < count && std::chrono::steady_clock::now() < deadline) {
            ::Sleep(20);
            records = server.Requests(name);
        }
        return records;
    }

    testbed::DownloadServerState server;
    std::string savedFaults;
    bool faultsExisted = false;
    std::vector<std::string> files;
};

TEST_F(DownloadServer, ServesAFileCompletelyWithItsLengthAndRecordsTheRequest) {
    const std::string content = Pattern(300 * 1024 + 17);
    const std::string name = Put(content);
    const Response r = Fetch(name);
    ASSERT_EQ(r.error, 0u) << r.failedCall;
    EXPECT_EQ(r.status, 200u);
    EXPECT_EQ(r.contentLength, content.size());
    EXPECT_TRUE(r.body == content) << "body of " << r.body.size() << " bytes differs";

    const auto log = server.Requests(name);
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].status, "200");
    EXPECT_EQ(log[0].bytes, std::to_string(content.size()));
    EXPECT_EQ(log[0].method, "GET");
    ASSERT_EQ(log[0].time.size(), 24u) << log[0].time;  // 2026-01-31T12:00:00.000Z
    EXPECT_EQ(log[0].time[10], 'T');
    EXPECT_EQ(log[0].time.back(), 'Z');
}

TEST_F(DownloadServer, KeepsOneConnectionForSeveralRequestsOnOneHandle) {
    const std::string name = Put(Pattern(5000));
    HttpsClient client(server.Server());
    for (int i = 0; i < 3; ++i) {
        const Response r = client.Get(name);
        ASSERT_EQ(r.error, 0u) << r.failedCall;
        EXPECT_EQ(r.body.size(), 5000u);
    }
    const auto log = server.Requests(name);
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[1].connection, log[0].connection);
    EXPECT_EQ(log[2].connection, log[0].connection);
}

TEST_F(DownloadServer, AMissingFileGives404WithAShortPage) {
    const Response r = Fetch("dst-no-such-file.cab");
    ASSERT_EQ(r.error, 0u) << r.failedCall;
    EXPECT_EQ(r.status, 404u);
    EXPECT_EQ(r.contentLength, r.body.size());
    EXPECT_LT(r.body.size(), 512u);
    EXPECT_EQ(Statuses(server.Requests("dst-no-such-file.cab")).back(), "404");
}

TEST_F(DownloadServer, Fault404AnswersForAnExistingFileAndLeavesOtherFilesServed) {
    const std::string name = Put(Pattern(1000));
    const std::string other = Put(Pattern(1000), "-other");
    Fault(name, R"("404")");
    EXPECT_EQ(Fetch(name).status, 404u);
    EXPECT_EQ(Fetch(other).status, 200u);
}

TEST_F(DownloadServer, Fault500AnswersWithAnHtmlPage) {
    const std::string name = Put(Pattern(1000));
    Fault(name, R"({"fault": "500"})");
    const Response r = Fetch(name);
    ASSERT_EQ(r.error, 0u) << r.failedCall;
    EXPECT_EQ(r.status, 500u);
    EXPECT_EQ(r.contentType, "text/html");
    EXPECT_NE(r.body.find("<html>"), std::string::npos);
    EXPECT_EQ(r.contentLength, r.body.size());
    EXPECT_EQ(Statuses(server.Requests(name)), std::vector<std::string>{"500"});
}

// Wine's WinHTTP ends a cut body without an error: only Content-Length tells.
TEST_F(DownloadServer, ATruncatedBodyIsToldOnlyByItsContentLength) {
    const std::string content = Pattern(200000);
    const std::string name = Put(content);
    Fault(name, R"({"fault": "truncate", "after": 70000})");
    const Response r = Fetch(name);
    EXPECT_EQ(r.status, 200u);
    EXPECT_EQ(r.contentLength, content.size());
    EXPECT_EQ(r.body.size(), 70000u) << "error " << r.error << " in " << r.failedCall;
    EXPECT_TRUE(r.body == content.substr(0, r.body.size()));
    const auto log = server.Requests(name);
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].status, "truncated");
    EXPECT_EQ(log[0].bytes, "70000");
}

TEST_F(DownloadServer, ADroppedConnectionFailsTheRequestBeforeAnyStatus) {
    const std::string name = Put(Pattern(1000));
    Fault(name, R"("drop")");
    const Response r = Fetch(name);
    EXPECT_NE(r.error, 0u);
    EXPECT_EQ(r.status, 0u) << "failed in " << r.failedCall;
    const auto log = server.Requests(name);
    ASSERT_FALSE(log.empty());
    for (const auto& line : log) EXPECT_EQ(line.status, "dropped");
}

TEST_F(DownloadServer, FailThenServeFailsTwiceThenServesOnTheSameConnectionHandle) {
    const std::string content = Pattern(40000);
    const std::string name = Put(content);
    Fault(name, R"({"fault": "fail-then-serve", "count": 2, "with": "500"})");
    HttpsClient client(server.Server());
    EXPECT_EQ(client.Get(name).status, 500u);
    EXPECT_EQ(client.Get(name).status, 500u);
    const Response third = client.Get(name);
    EXPECT_EQ(third.status, 200u);
    EXPECT_TRUE(third.body == content);
    EXPECT_EQ(client.Get(name).status, 200u);
    EXPECT_EQ(Statuses(server.Requests(name)), (std::vector<std::string>{"500", "500", "200", "200"}));
}

TEST_F(DownloadServer, FailThenServeCountsAfreshWhenItsEntryChanges) {
    const std::string name = Put(Pattern(1000));
    HttpsClient client(server.Server());
    Fault(name, R"({"fault": "fail-then-serve", "count": 1, "with": "404"})");
    EXPECT_EQ(client.Get(name).status, 404u);
    EXPECT_EQ(client.Get(name).status, 200u);
    Fault(name, R"({"fault": "fail-then-serve", "count": 1, "with": "500"})");
    EXPECT_EQ(client.Get(name).status, 500u);
    EXPECT_EQ(client.Get(name).status, 200u);
}

TEST_F(DownloadServer, SlowServesTheWholeBodyAtTheSetRate) {
    const std::string content = Pattern(64 * 1024);
    const std::string name = Put(content);
    Fault(name, R"({"fault": "slow", "rate": 32768, "chunk": 4096})");
    const auto started = std::chrono::steady_clock::now();
    const Response r = Fetch(name);
    const auto took = std::chrono::steady_clock::now() - started;
    ASSERT_EQ(r.error, 0u) << r.failedCall;
    EXPECT_TRUE(r.body == content);
    EXPECT_GE(took, std::chrono::milliseconds(1700));
    EXPECT_LT(took, std::chrono::seconds(10));
}

TEST_F(DownloadServer, Body404ServesTheFullLengthStartingWithTheText404) {
    const std::string content = Pattern(10000);
    const std::string name = Put(content);
    Fault(name, R"("body404")");
    const Response r = Fetch(name);
    ASSERT_EQ(r.error, 0u) << r.failedCall;
    EXPECT_EQ(r.status, 200u);
    EXPECT_EQ(r.contentLength, content.size());
    ASSERT_EQ(r.body.size(), content.size());
    EXPECT_EQ(r.body.substr(0, 3), "404");
    EXPECT_TRUE(r.body.substr(100) == content.substr(100));
}

TEST_F(DownloadServer, ARangeHeaderGets206WithThePartOrA416BeyondTheEnd) {
    const std::string content = Pattern(100000);
    const std::string name = Put(content);
    HttpsClient client(server.Server());
    const Response whole = client.Get(name);
    ASSERT_EQ(whole.error, 0u) << whole.failedCall;
    EXPECT_EQ(whole.status, 200u);
    EXPECT_EQ(whole.contentRange, "");
    ASSERT_GE(whole.etag.size(), 5u);
    EXPECT_EQ(whole.etag.front(), '"');
    EXPECT_EQ(whole.etag.back(), '"');
    EXPECT_EQ(whole.lastModified.substr(whole.lastModified.size() - 4), " GMT") << whole.lastModified;

    struct Case {
        std::string range;
        DWORD status;
        std::string contentRange;
        size_t first, count;
    };
    const Case cases[] = {
        {"bytes=60000-", 206, "bytes 60000-99999/100000", 60000, 40000},
        {"bytes=10-19", 206, "bytes 10-19/100000", 10, 10},
        {"bytes=-1000", 206, "bytes 99000-99999/100000", 99000, 1000},
        {"bytes=100000-", 416, "bytes */100000", 0, 0},
    };
    std::vector<std::string> statuses{"200"}, bytes{"100000"};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.range);
        const Response r = client.Get(name, "Range: " + c.range);
        ASSERT_EQ(r.error, 0u) << r.failedCall;
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(r.contentRange, c.contentRange);
        EXPECT_EQ(r.contentLength, r.body.size());
        if (c.status == 206) {
            EXPECT_EQ(r.etag, whole.etag);
            EXPECT_TRUE(r.body == content.substr(c.first, c.count)) << r.body.size() << " bytes differ";
        }
        statuses.push_back(std::to_string(c.status));
        bytes.push_back(std::to_string(r.body.size()));
    }
    const auto log = Logged(name, statuses.size());
    EXPECT_EQ(Statuses(log), statuses);
    std::vector<std::string> sent;
    for (const auto& line : log) sent.push_back(line.bytes);
    EXPECT_EQ(sent, bytes);
}

TEST_F(DownloadServer, ARedirectIsFollowedToItsTargetOrGivenAsItIs) {
    const std::string name = Put(Pattern(1000));
    const std::string content = Pattern(30000);
    const std::string target = Put(content, "-target");
    Fault(name, R"({"fault": "redirect", "to": ")" + target + R"("})");
    const Response r = Fetch(name);
    ASSERT_EQ(r.error, 0u) << r.failedCall;
    EXPECT_EQ(r.status, 200u);
    EXPECT_TRUE(r.body == content) << r.body.size() << " bytes differ";
    EXPECT_EQ(Statuses(Logged(name, 1)), std::vector<std::string>{"302"});
    EXPECT_EQ(Statuses(Logged(target, 1)), std::vector<std::string>{"200"});

    // Not followed, as the setup asks: the 302 itself and where it points.
    HttpsClient client(server.Server());
    client.SetFollowRedirects(false);
    const Response moved = client.Get(name);
    ASSERT_EQ(moved.error, 0u) << moved.failedCall;
    EXPECT_EQ(moved.status, 302u);
    EXPECT_EQ(moved.location, "/downloads/" + target);
    EXPECT_EQ(moved.contentLength, moved.body.size());
    EXPECT_EQ(Statuses(Logged(name, 2)), (std::vector<std::string>{"302", "302"}));
    EXPECT_EQ(Logged(target, 2).size(), 1u);
}

// A body that stops coming is told by the receive time-out alone. Wine's
// WinHttpReadData waits until the whole buffer is filled and, when the time-out
// comes first, fails with WSAETIMEDOUT and keeps what it had read of it; Windows
// gives what has come and fails with ERROR_WINHTTP_TIMEOUT. The server sees the
// client go away once its handles are closed.
TEST_F(DownloadServer, AStalledBodyEndsInAReceiveTimeout) {
    constexpr DWORD kWineTimeout = 10060;  // WSAETIMEDOUT
    constexpr size_t kBuffer = 64 * 1024;  // what HttpsClient reads at a time
    const std::string content = Pattern(200000);
    const std::string name = Put(content);
    Fault(name, R"({"fault": "stall", "after": 70000, "seconds": 30})");
    Response r;
    const auto started = std::chrono::steady_clock::now();
    {
        HttpsClient client(server.Server());
        client.SetReceiveTimeout(1500);
        r = client.Get(name);
    }
    const auto took = std::chrono::steady_clock::now() - started;
    EXPECT_EQ(r.status, 200u);
    EXPECT_EQ(r.contentLength, content.size());
    EXPECT_TRUE(r.error == ERROR_WINHTTP_TIMEOUT || r.error == kWineTimeout) << r.error;
    EXPECT_EQ(r.failedCall, "WinHttpReadData");
    EXPECT_GE(r.body.size(), kBuffer);
    EXPECT_LE(r.body.size(), 70000u);
    EXPECT_TRUE(r.body == content.substr(0, r.body.size())) << r.body.size() << " bytes arrived";
    EXPECT_GE(took, std::chrono::milliseconds(1400));
    EXPECT_LT(took, std::chrono::seconds(10));
    const auto log = Logged(name, 1);
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].status, "aborted");
    EXPECT_EQ(log[0].bytes, "70000");
}

TEST_F(DownloadServer, TheUntrustedServerFailsCertificateValidation) {
    const std::string name = Put(Pattern(1000));
    HttpsClient client(server.UntrustedServer());
    const Response r = client.Get(name);
    EXPECT_TRUE(r.error == ERROR_WINHTTP_SECURE_FAILURE || r.error == ERROR_WINHTTP_SECURE_CHANNEL_ERROR)
        << r.error << " in " << r.failedCall;
    EXPECT_EQ(r.status, 0u);
    EXPECT_TRUE(server.Requests(name).empty());
    // The same file from the trusted listener: only trust made the difference.
    EXPECT_EQ(Fetch(name).status, 200u);
}

}  // namespace
