// Fetching from the machine's HTTPS download server, faults included.
#include "setup/download.h"

#include <gtest/gtest.h>

#include "support/dialog_fixture.h"
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
        plan.handOn = [handOnSucceeds](const std::string&) { return handOnSucceeds; };
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
    EXPECT_EQ(context.failedSteps, 0);
}

TEST_F(Fetching, NotFoundGoesOnWithoutAFile) {
    ServedFile missing(server, "fetch-missing.cab", "");
    EXPECT_EQ(Fetch("fetch-missing.cab"), 1);
    EXPECT_TRUE(Logged("Client Setup:Could not find fetch-missing.cab on server. Please contact you administrator"));
    EXPECT_FALSE(FileExists(startFolder / "fetch-missing.cab"));
    EXPECT_EQ(Statuses("fetch-missing.cab", 1), std::vector<std::string>{"404"});
    EXPECT_EQ(context.failedSteps, 1);
}

TEST_F(Fetching, RetriesFailedTransfersUntilTheFileIsComplete) {
    ServedFile served(server, "fetch-retry.bin", PackagePath("TCrvx.cab"));
    ServerFaults faults(server, {{"fetch-retry.bin", R"({"fault": "fail-then-serve", "count": 1, "with": "500"})"}});
    EXPECT_EQ(Fetch("fetch-retry.bin"), 1);
    EXPECT_EQ(Statuses("fetch-retry.bin", 2), (std::vector<std::string>{"500", "200"}));
    EXPECT_TRUE(Logged("Client Setup:Download of fetch-retry.bin failed: the server answered with HTTP status 500"));
    EXPECT_EQ(context.failedSteps, 0);
}

TEST_F(Fetching, NeverKeepsACutOffBody) {
    ServedFile served(server, "fetch-truncated.bin", PackagePath("TCrvx.cab"));
    ServerFaults faults(server, {{"fetch-truncated.bin", R"({"fault": "fail-then-serve", "count": 2, "with": "truncate", "after": 1000})"}});
    EXPECT_EQ(Fetch("fetch-truncated.bin"), 1);
    EXPECT_EQ(Statuses("fetch-truncated.bin", 3), (std::vector<std::string>{"truncated", "truncated", "200"}));
    EXPECT_NE(LogText().find("fetch-truncated.bin failed: incomplete, 1000 of "), std::string::npos);
    EXPECT_EQ(ReadFileText(startFolder / "fetch-truncated.bin"), ReadFileText(PackagePath("TCrvx.cab")));
    EXPECT_FALSE(FileExists(startFolder / "fetch-truncated.bin.partial"));
}

TEST_F(Fetching, GivesUpAfterFiveAttemptsAndCountsTheFailure) {
    ServedFile served(server, "fetch-dropped.bin", PackagePath("TCrvx.cab"));
    ServerFaults faults(server, {{"fetch-dropped.bin", R"("drop")"}});
    EXPECT_EQ(Fetch("fetch-dropped.bin"), 1);
    EXPECT_EQ(Statuses("fetch-dropped.bin", 5).size(), 5u);
    EXPECT_TRUE(Logged("Client Setup:Could not download fetch-dropped.bin after 5 attempts"));
    EXPECT_TRUE(Logged("Client Setup:Could not conact  Server:Server-> "));
    EXPECT_FALSE(FileExists(startFolder / "fetch-dropped.bin"));
    EXPECT_EQ(context.failedSteps, 1);
}

TEST_F(Fetching, AHandOnThatFailsFetchesTheFileAgain) {
    ServedFile served(server, "fetch-handon.bin", PackagePath("TCrvx.cab"));
    EXPECT_EQ(Fetch("fetch-handon.bin", false), 1);
    EXPECT_EQ(Statuses("fetch-handon.bin", 5).size(), 5u);
    EXPECT_EQ(context.failedSteps, 1);
}

TEST_F(Fetching, StoresAPackageThatContainsTheText404) {
    ServedFile served(server, "fetch-body404.bin", PackagePath("TCrvx.cab"));
    ServerFaults faults(server, {{"fetch-body404.bin", R"("body404")"}});
    EXPECT_EQ(Fetch("fetch-body404.bin"), 1);
    EXPECT_EQ(ReadFileText(startFolder / "fetch-body404.bin").rfind("404 Not Found", 0), 0u);
    EXPECT_EQ(context.failedSteps, 0);
}

TEST_F(Fetching, ARequestThatCannotBeOpenedStopsTheUpdate) {
    context.internetSession.Reset();
    EXPECT_EQ(Fetch("anything.cab"), 0);
    EXPECT_TRUE(Logged("Client Setup:Could not conact Url->downloads/anything.cab "));
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
