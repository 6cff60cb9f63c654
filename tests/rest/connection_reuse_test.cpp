// HttpClient's exchanges share kept connections, TLS sessions and certificate stores across the
// process: what is reused, and what reuse must never cause (a request sent twice, trust carried
// from one set of certificates to another, a changed certificate missed, connections left open).
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <set>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "rest/curl_sessions.h"
#include "rest/exchange_fixture.h"
#include "scratch_directory.h"
#include "scripted_server.h"

namespace vexa {
namespace {

using namespace std::chrono_literals;
using test::Endpoint;
using test::Exchange;
using test::HttpReply;
using test::Request;
using test::RunExchange;
using test::ScriptedReply;
using test::ScriptedServer;

const Request kPost{
    .method = "POST", .path = "/messages/abc", .body = "<messages><count>1</count></messages>"};

ScriptedReply Ok() { return ScriptedReply{HttpReply(200, "<ok/>")}; }

// Waits for a condition that becomes true by itself (a thread closing connections).
template <class Condition>
bool Eventually(Condition condition) {
    for (auto until = std::chrono::steady_clock::now() + 10s; std::chrono::steady_clock::now() < until;) {
        if (condition()) return true;
        std::this_thread::sleep_for(10ms);
    }
    return condition();
}

struct SchemeCase {
    const char* what;
    bool tls;
};

void PrintTo(const SchemeCase& c, std::ostream* os) { *os << c.what; }

class KeptConnection : public ::testing::TestWithParam<SchemeCase> {
protected:
    ScriptedServer server_{ScriptedServer::Options{.tls = GetParam().tls, .keepAlive = true}};
    Endpoint endpoint_ = GetParam().tls ? test::SecureTo(server_) : test::PlainTo(server_);
};

TEST_P(KeptConnection, ServesTheNextExchanges) {
    server_.SetHandler([](const auto&) { return Ok(); });
    for (int i = 0; i < 3; ++i) {
        const Exchange exchange = RunExchange(endpoint_, kPost);
        EXPECT_TRUE(exchange.ok);
        EXPECT_EQ(exchange.response.status, 200);
    }
    EXPECT_EQ(server_.Requests().size(), 3u);
    EXPECT_EQ(server_.Connections(), 1u);
}

// The server ends the kept connection while it is idle (over TLS with its close note first).
TEST_P(KeptConnection, ClosedByTheServerWhileIdleIsReplacedAndTheRequestGoesOnce) {
    server_.SetHandler([](const auto&) { return Ok(); });
    ASSERT_EQ(RunExchange(endpoint_, kPost).response.status, 200);
    server_.CloseIdleConnections();
    const Exchange second = RunExchange(endpoint_, kPost);
    EXPECT_TRUE(second.ok);
    EXPECT_EQ(second.response.status, 200);
    EXPECT_EQ(server_.Requests().size(), 2u);
    EXPECT_EQ(server_.Connections(), 2u);
    // The new connection takes up the TLS session of the old one.
    EXPECT_EQ(server_.ResumedConnections(), GetParam().tls ? 1u : 0u);
}

// The server read the whole request on a kept connection and closed it without a reply: it may
// have acted on it, so the request is reported unanswered and never sent again.
TEST_P(KeptConnection, RequestReceivedButUnansweredIsReportedNotRepeated) {
    const Request requests[] = {kPost, {.method = "DELETE", .path = "/messages/abc/202403/7"}, {}};
    size_t received = 0;
    for (const Request& request : requests) {
        SCOPED_TRACE(request.method);
        server_.Reply(Ok());
        ASSERT_EQ(RunExchange(endpoint_, request).response.status, 200);
        server_.Reply(ScriptedReply{.hangUp = true});
        const Exchange unanswered = RunExchange(endpoint_, request);
        EXPECT_TRUE(unanswered.ok);
        EXPECT_EQ(unanswered.response.status, 0);
        received += 2;
        EXPECT_FALSE(server_.WaitForRequests(received + 1, 300ms)) << "sent again";
        EXPECT_EQ(server_.Requests().size(), received);
    }
}

INSTANTIATE_TEST_SUITE_P(Schemes, KeptConnection,
                         ::testing::Values(SchemeCase{"plain", false}, SchemeCase{"tls", true}),
                         [](const auto& info) { return std::string(info.param.what); });

TEST(SharedConnections, AreNeverReusedAcrossTrustSets) {
    ScriptedServer server(ScriptedServer::Options{.tls = true, .keepAlive = true});
    server.SetHandler([](const auto&) { return Ok(); });
    const test::ScratchDirectory dir;
    const std::string copy = (dir.Path() / "copy.pem").string();
    std::filesystem::copy_file(server.CertificateFile(), copy);

    Endpoint trusted = test::SecureTo(server);
    EXPECT_EQ(RunExchange(trusted).response.status, 200);
    // The system's certificates alone do not know the server, however near its verified
    // connection is.
    Endpoint systemOnly = trusted;
    systemOnly.trusted.clear();
    const Exchange refused = RunExchange(systemOnly);
    EXPECT_TRUE(refused.ok);
    EXPECT_EQ(refused.response.status, 0);
    EXPECT_EQ(server.Requests().size(), 1u);
    // Another file is another trust set, even with the same certificate in it.
    Endpoint other = trusted;
    other.trusted = copy;
    EXPECT_EQ(RunExchange(other).response.status, 200);
    EXPECT_EQ(RunExchange(trusted).response.status, 200);
    EXPECT_EQ(server.Connections(), 3u);  // trusted, the refused handshake, the copy's
    EXPECT_EQ(server.Requests().size(), 3u);
}

// A server restarted with a certificate of its own fails verification as before; the trust file
// rewritten with it is read anew at once.
TEST(SharedConnections, ACertificateChangeIsSeenByTheNextExchange) {
    const test::ScratchDirectory dir;
    const std::string trust = (dir.Path() / "trust.pem").string();
    auto first = std::make_unique<ScriptedServer>(ScriptedServer::Options{.tls = true, .keepAlive = true});
    first->SetHandler([](const auto&) { return Ok(); });
    std::filesystem::copy_file(first->CertificateFile(), trust);
    Endpoint endpoint = test::SecureTo(*first);
    endpoint.trusted = trust;
    ASSERT_EQ(RunExchange(endpoint).response.status, 200);

    const uint16_t port = first->Port();
    first.reset();
    ScriptedServer second(ScriptedServer::Options{.tls = true, .keepAlive = true, .port = port});
    second.SetHandler([](const auto&) { return Ok(); });
    const Exchange refused = RunExchange(endpoint);
    EXPECT_TRUE(refused.ok);
    EXPECT_EQ(refused.response.status, 0);
    EXPECT_TRUE(second.Requests().empty());

    std::filesystem::copy_file(second.CertificateFile(), trust,
                               std::filesystem::copy_options::overwrite_existing);
    EXPECT_EQ(RunExchange(endpoint).response.status, 200);
    EXPECT_EQ(second.Requests().size(), 1u);
}

class ShortIdleLimit : public ::testing::Test {
protected:
    ShortIdleLimit() { SetIdleConnectionLimit(200ms); }
    ~ShortIdleLimit() override { SetIdleConnectionLimit(kIdleConnectionLimit); }
};

TEST_F(ShortIdleLimit, IdleConnectionsAreClosed) {
    ScriptedServer server(ScriptedServer::Options{.tls = true, .keepAlive = true});
    server.SetHandler([](const auto&) { return Ok(); });
    ASSERT_EQ(RunExchange(test::SecureTo(server)).response.status, 200);
    EXPECT_TRUE(Eventually([&] { return server.OpenConnections() == 0; }));
    EXPECT_TRUE(Eventually([] { return CurlSessionCount() == 0; }));
    // And the next exchange simply connects again.
    EXPECT_EQ(RunExchange(test::SecureTo(server)).response.status, 200);
    EXPECT_EQ(server.Connections(), 2u);
}

// A child made by fork shares its parent's sockets, so it must make connections of its own and
// leave the parent's alone.
TEST(SharedConnections, AChildProcessUsesConnectionsOfItsOwn) {
    ScriptedServer server(ScriptedServer::Options{.tls = true, .keepAlive = true});
    server.SetHandler([](const auto&) { return Ok(); });
    const Endpoint endpoint = test::SecureTo(server);
    ASSERT_EQ(RunExchange(endpoint).response.status, 200);
    const pid_t child = fork();
    if (child == 0) {
        const bool ok =
            RunExchange(endpoint).response.status == 200 && RunExchange(endpoint).response.status == 200;
        std::_Exit(ok ? 0 : 1);
    }
    ASSERT_GT(child, 0);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(RunExchange(endpoint).response.status, 200);
    EXPECT_EQ(server.Requests().size(), 4u);
    EXPECT_EQ(server.Connections(), 2u);  // the parent's, kept throughout, and the child's
}

TEST(SharedConnections, ThreadsShareThemWithoutMixingExchanges) {
    ScriptedServer server(ScriptedServer::Options{.tls = true, .keepAlive = true});
    // Each reply carries its request's body back, so a reply given to the wrong exchange shows.
    server.SetHandler(
        [](const test::RecordedRequest& request) { return ScriptedReply{HttpReply(200, request.body)}; });
    constexpr int kThreads = 4, kEach = 25;
    std::vector<std::thread> threads;
    std::vector<int> matched(kThreads, 0);
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < kEach; ++i) {
                Request request = kPost;
                request.body = "<n>" + std::to_string(t) + "-" + std::to_string(i) + "</n>";
                const Exchange exchange = RunExchange(test::SecureTo(server), request);
                matched[t] += exchange.ok && exchange.response.body == request.body;
            }
        });
    }
    for (std::thread& t : threads) t.join();
    for (int t = 0; t < kThreads; ++t) EXPECT_EQ(matched[t], kEach) << "thread " << t;
    EXPECT_EQ(server.Requests().size(), static_cast<size_t>(kThreads * kEach));
    EXPECT_LE(server.Connections(), static_cast<size_t>(kThreads));
}

}  // namespace
}  // namespace vexa
