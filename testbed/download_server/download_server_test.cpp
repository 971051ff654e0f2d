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
