// What the HTTP and HTTPS listeners do with a connection: keep it for many requests, or end it
// after each reply when told to; and let a TLS client resume its session.
#include <future>
#include <gtest/gtest.h>

#include "hostile_clients.h"
#include "rest/entity.h"
#include "sandbox/sandbox.h"
#include "sandbox_fixture.h"
#include "wire_connection.h"

namespace vexa::sandbox {
namespace {

using test::kMarch5;
using test::SendDocument;
using test::TlsClient;
using test::WireConnection;
using test::WireReply;
using test::WireRequest;

constexpr int64_t kCredit = 100;

class ConnectionTest : public testing::Test {
protected:
    void Start(bool keepAlive = true, std::chrono::milliseconds idle = HttpTimeouts{}.idle) {
        SandboxOptions options;
        options.dataDir = dir_.Path();
        options.accounts = {{"kim", "secret", kCredit, "kim", "02-000-0000"}};
        options.keepAlive = keepAlive;
        options.httpTimeouts.idle = idle;
        sandbox_ = std::make_unique<Sandbox>(options, clock_.AsClock());
        tls_ = std::make_unique<TlsClient>(sandbox_->Certificate().certificate);
    }

    WireConnection Connect(bool secure, SSL_SESSION* session = nullptr) const {
        return secure ? WireConnection(sandbox_->Ports().https, *tls_, session)
                      : WireConnection(sandbox_->Ports().http);
    }

    static std::vector<std::string> Credentials() {
        return {"Authorization: " + test::BasicAuthorization("kim", "secret"),
                "Auth-Realm: " + DefaultRealm()};
    }
    static std::string Status() { return WireRequest("GET", "/users/kim/status", Credentials()); }
    static std::string Send() {
        return WireRequest("POST", "/messages/kim", Credentials(), SendDocument("sms", "hi", {{"010-1"}}));
    }

    // The credit a status reply shows.
    static int64_t Credit(const WireReply& reply) {
        CRondoUsers users{ServiceContext{}};
        EXPECT_TRUE(test::ReadReply(users, reply.Header("content-type"), reply.body, "/users/kim/status"))
            << reply.body;
        return users.status.call;
    }

    test::ScopedTimeZone zone_{"Asia/Seoul"};
    test::ScratchDirectory dir_;
    ManualClock clock_{kMarch5};
    std::unique_ptr<Sandbox> sandbox_;
    std::unique_ptr<TlsClient> tls_;
};

TEST_F(ConnectionTest, OneConnectionCarriesFiftyRequestsAndStaysOpen) {
    Start();
    int64_t credit = kCredit;
    for (const bool secure : {false, true}) {
        SCOPED_TRACE(secure ? "https" : "http");
        WireConnection connection = Connect(secure);
        ASSERT_TRUE(connection.Connected());
        // Sends and reads by turns, so request bodies too are framed right on the shared socket.
        for (int i = 1; i <= 50; ++i) {
            const bool send = i % 2 == 1;
            const std::optional<WireReply> reply = connection.Exchange(send ? Send() : Status());
            ASSERT_TRUE(reply) << "request " << i << " found the connection gone";
            ASSERT_EQ(reply->status, 200) << i << ": " << reply->body;
            EXPECT_NE(reply->Header("connection"), "close") << i;
            if (send) {
                --credit;
            } else {
                EXPECT_EQ(Credit(*reply), credit) << i;
            }
        }
    }
    EXPECT_EQ(sandbox_->GetStore().FindAccount("kim")->credit, kCredit - 50);
}

TEST_F(ConnectionTest, WithoutKeepAliveEachReplySaysCloseAndEndsItsConnection) {
    Start(false);
    for (const bool secure : {false, true}) {
        SCOPED_TRACE(secure ? "https" : "http");
        // The client asks nothing about the connection, so HTTP/1.1 would keep it.
        for (const std::string& request : {Status(), Send()}) {
            WireConnection connection = Connect(secure);
            ASSERT_TRUE(connection.Connected());
            const std::optional<WireReply> reply = connection.Exchange(request);
            ASSERT_TRUE(reply);
            EXPECT_EQ(reply->status, 200) << reply->body;
            EXPECT_EQ(reply->Header("connection"), "close");
            EXPECT_TRUE(connection.EndedByServer());
        }
    }
    EXPECT_EQ(sandbox_->GetStore().FindAccount("kim")->credit, kCredit - 2);
}

TEST_F(ConnectionTest, ATlsClientResumesItsSessionOnTheNextConnection) {
    Start();
    const struct {
        const char* name;
        int maxVersion;
        bool tickets;
    } cases[] = {
        {"TLS 1.3, session ticket", TLS1_3_VERSION, true},
        {"TLS 1.2, session ticket", TLS1_2_VERSION, true},
        {"TLS 1.2, session id", TLS1_2_VERSION, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        tls_ = std::make_unique<TlsClient>(sandbox_->Certificate().certificate, c.maxVersion, c.tickets);
        test::SslSession session;
        {
            WireConnection first = Connect(true);
            ASSERT_TRUE(first.Connected());
            // A TLS 1.3 ticket comes after the handshake, so the session is taken after a reply.
            ASSERT_TRUE(first.Exchange(Status()));
            EXPECT_FALSE(first.SessionResumed());
            session = first.Session();
            ASSERT_TRUE(session);
        }
        WireConnection second = Connect(true, session.get());
        ASSERT_TRUE(second.Connected());
        EXPECT_TRUE(second.SessionResumed());
        const std::optional<WireReply> reply = second.Exchange(Status());
        ASSERT_TRUE(reply);
        EXPECT_EQ(reply->status, 200);

        WireConnection fresh = Connect(true);
        ASSERT_TRUE(fresh.Connected());
        EXPECT_FALSE(fresh.SessionResumed());
    }
}

TEST_F(ConnectionTest, AClientThatClosedItsSendingSideStillGetsItsReply) {
    Start();
    EXPECT_EQ(vexa::test::StatusAfterHalfClose(sandbox_->Ports().http, Send(), std::chrono::seconds(5)), 200);
    EXPECT_EQ(sandbox_->GetStore().FindAccount("kim")->credit, kCredit - 1) << "charged once";
}

TEST_F(ConnectionTest, AStopEndsIdleKeptConnectionsAtOnce) {
    // Idle connections would otherwise stay for ten minutes.
    Start(true, std::chrono::minutes(10));
    std::vector<WireConnection> kept;
    for (const bool secure : {false, true}) {
        kept.push_back(Connect(secure));
        ASSERT_TRUE(kept.back().Exchange(Status()));
    }
    std::future<void> stopped = std::async(std::launch::async, [&] { sandbox_->Stop(); });
    // A generous bound, for correctness only.
    ASSERT_EQ(stopped.wait_for(std::chrono::seconds(20)), std::future_status::ready);
    for (WireConnection& connection : kept) EXPECT_TRUE(connection.EndedByServer());
}

}  // namespace
}  // namespace vexa::sandbox
