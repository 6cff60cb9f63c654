// A real sandbox under clients that hold its connections without finishing a request: normal
// clients are still answered, every deadline ends such a connection, the connection caps close
// what is over them, and the body budget makes large bodies wait or refuses them.
#include "hostile_clients.h"

#include <future>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>

#include "sandbox/sandbox.h"
#include "sandbox_fixture.h"

namespace vexa::sandbox {
namespace {

using namespace std::chrono_literals;
using vexa::test::ConnectFrom;
using vexa::test::HostileClients;
using vexa::test::Hostility;

// A generous bound on what a loopback answer takes, for correctness only: the latencies are
// measured by bench/hostile_clients_bench.
constexpr auto kAnswerWithin = 5s;

// What arrives on the socket until the server closes it, or kAnswerWithin passes.
std::string ReadUntilClosed(int socket) {
    std::string received;
    char chunk[4096];
    const auto deadline = std::chrono::steady_clock::now() + kAnswerWithin;
    while (std::chrono::steady_clock::now() < deadline) {
        pollfd fd{socket, POLLIN, 0};
        if (::poll(&fd, 1, 100) != 1) continue;
        const ssize_t got = ::recv(socket, chunk, sizeof chunk, 0);
        if (got <= 0) return received;
        received.append(chunk, static_cast<size_t>(got));
    }
    ADD_FAILURE() << "the server did not close the connection; received: " << received;
    return received;
}

void Send(int socket, std::string_view bytes) {
    ASSERT_EQ(::send(socket, bytes.data(), bytes.size(), MSG_NOSIGNAL), static_cast<ssize_t>(bytes.size()));
}

// Retries `check` until it holds or kAnswerWithin passes: the server notices a closed connection
// on its own time.
template <class Check>
bool Eventually(Check check) {
    const auto deadline = std::chrono::steady_clock::now() + kAnswerWithin;
    while (!check()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(20ms);
    }
    return true;
}

class HostileClientsTest : public testing::Test {
protected:
    void Start(const std::function<void(SandboxOptions&)>& adjust = {}) {
        SandboxOptions options;
        options.dataDir = dir_.Path();
        options.accounts = {{"kim", "secret", 100000, "kim", "02-000-0000"}};
        options.legacyPort = 0;
        if (adjust) adjust(options);
        sandbox_ = std::make_unique<Sandbox>(options, clock_.AsClock());
        login_.realm = DefaultRealm();
    }

public:
    // The ports, which the tests' tables name.
    int Http() const { return sandbox_->Ports().http; }
    int Https() const { return sandbox_->Ports().https; }
    int Legacy() const { return sandbox_->Ports().legacy; }

protected:
    bool StatusOverHttp() const {
        return vexa::test::TimedStatus(Http(), login_, std::nullopt, kAnswerWithin).has_value();
    }
    bool StatusOverHttps() const {
        return vexa::test::TimedStatus(Https(), login_, sandbox_->Certificate().certificate, kAnswerWithin)
            .has_value();
    }
    bool LegacyLogin() const {
        return vexa::test::TimedLegacyLogin(Legacy(), login_, kAnswerWithin).has_value();
    }

    void ExpectNormalClientsServed() const {
        EXPECT_TRUE(StatusOverHttp()) << "HTTP";
        EXPECT_TRUE(StatusOverHttps()) << "HTTPS";
        EXPECT_TRUE(LegacyLogin()) << "legacy";
    }

    std::string Post(size_t bodyBytes) const {
        return vexa::test::HttpRequest("POST", "/messages/kim", login_,
                                       vexa::test::MmsDocumentOfSize(bodyBytes));
    }

    test::ScopedTimeZone zone_{"Asia/Seoul"};
    test::ScratchDirectory dir_;
    ManualClock clock_{test::kMarch5};
    std::unique_ptr<Sandbox> sandbox_;
    vexa::test::Login login_;
};

TEST_F(HostileClientsTest, NormalClientsAreAnsweredWhileHostileOnesHoldConnections) {
    Start();
    const struct {
        Hostility hostility;
        int (HostileClientsTest::*port)() const;
        size_t count;
    } cases[] = {
        {Hostility::kIdle, &HostileClientsTest::Http, 200},
        {Hostility::kIdle, &HostileClientsTest::Https, 200},
        {Hostility::kHalfSentRequest, &HostileClientsTest::Http, 200},
        {Hostility::kStalledHandshake, &HostileClientsTest::Https, 200},
        {Hostility::kSlowDrip, &HostileClientsTest::Http, 20},
        {Hostility::kSilentLegacy, &HostileClientsTest::Legacy, 200},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(vexa::test::HostilityName(c.hostility));
        const HostileClients hostile(c.hostility, (this->*c.port)(), c.count, 500ms);
        ASSERT_EQ(hostile.Connected(), c.count);
        // The drip has sent a few bytes of each request by then.
        if (c.hostility == Hostility::kSlowDrip) std::this_thread::sleep_for(2s);
        ExpectNormalClientsServed();
        EXPECT_EQ(hostile.ClosedByServer(), 0u) << "they are held, not dropped";
    }
}

TEST_F(HostileClientsTest, EveryDeadlineEndsAConnectionThatKeepsItWaiting) {
    Start([](SandboxOptions& options) {
        options.httpTimeouts.handshake = 300ms;
        options.httpTimeouts.idle = 300ms;
        options.httpTimeouts.request = 1s;
        options.legacyTimeout = 300ms;
    });
    const struct {
        const char* deadline;
        Hostility hostility;
        int (HostileClientsTest::*port)() const;
    } cases[] = {
        {"idle", Hostility::kIdle, &HostileClientsTest::Http},
        {"TLS handshake", Hostility::kStalledHandshake, &HostileClientsTest::Https},
        {"whole request", Hostility::kHalfSentRequest, &HostileClientsTest::Http},
        // A byte every 100 ms would keep a per-read timeout from ever running out.
        {"whole request, however slowly it drips", Hostility::kSlowDrip, &HostileClientsTest::Http},
        {"legacy request", Hostility::kSilentLegacy, &HostileClientsTest::Legacy},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.deadline);
        const HostileClients hostile(c.hostility, (this->*c.port)(), 2, 100ms);
        ASSERT_EQ(hostile.Connected(), 2u);
        EXPECT_TRUE(Eventually([&] { return hostile.ClosedByServer() == 2; }));
    }
}

TEST_F(HostileClientsTest, AConnectionOverACapIsClosedAtOnceAndItsSlotComesBack) {
    Start([](SandboxOptions& options) { options.connectionLimits = {/*overall=*/6, /*perAddress=*/3}; });
    std::vector<UniqueFd> held;
    for (int i = 0; i < 3; ++i) held.push_back(ConnectFrom("127.0.0.2", Http()));
    // Past its address's cap: told 503 over HTTP, and closed.
    UniqueFd over = ConnectFrom("127.0.0.2", Http());
    EXPECT_TRUE(ReadUntilClosed(over.Get()).starts_with("HTTP/1.1 503 ")) << "per address";
    ExpectNormalClientsServed();

    // Past the overall cap, counted across the listeners: every listener closes the next one.
    ASSERT_TRUE(Eventually([&] { return sandbox_->OpenConnections() == 3; }))
        << "the normal clients' are gone";
    for (int i = 0; i < 3; ++i) held.push_back(ConnectFrom("127.0.0.3", Legacy()));
    ASSERT_TRUE(Eventually([&] { return sandbox_->OpenConnections() == 6; }));
    EXPECT_FALSE(StatusOverHttp()) << "overall";
    for (const int port : {Http(), Https(), Legacy()}) {
        SCOPED_TRACE(port);
        UniqueFd refused = ConnectFrom("127.0.0.1", port);
        const std::string received = ReadUntilClosed(refused.Get());
        EXPECT_TRUE(received.empty() || received.starts_with("HTTP/1.1 503 ")) << received;
    }

    held.pop_back();
    EXPECT_TRUE(Eventually([&] { return StatusOverHttp(); })) << "a closed connection gives its slot back";
}

TEST_F(HostileClientsTest, BodiesPastTheBudgetWaitForRoomOrAreRefused) {
    constexpr size_t kBudget = 64 * 1024;
    Start([](SandboxOptions& options) {
        options.bodyBudget = kBudget;
        options.httpTimeouts.request = 1s;
    });
    EXPECT_EQ(vexa::test::Exchange(Http(), Post(kBudget + 1024), kAnswerWithin), 503)
        << "more than the budget";
    EXPECT_EQ(vexa::test::Exchange(Http(), Post(kMaxRequestBytes + 1024), kAnswerWithin), 413)
        << "more than 16 MiB";

    // A legacy frame half sent holds most of the budget (its own timeout is long).
    const std::string frame = std::string("\x00\xE0\x00\x00", 4) + std::string(0xE000, 'x');  // 56 KiB
    UniqueFd holder = ConnectFrom("127.0.0.2", Legacy());
    Send(holder.Get(), std::string_view(frame).substr(0, frame.size() / 2));
    // Once the holder's share is taken, a request finds no room within its time.
    EXPECT_TRUE(
        Eventually([&] { return vexa::test::Exchange(Http(), Post(16 * 1024), kAnswerWithin) == 503; }));

    // A request that waits is answered once the holder's frame is whole and answered.
    std::future<int> waiting = std::async(
        std::launch::async, [&] { return vexa::test::Exchange(Http(), Post(16 * 1024), kAnswerWithin); });
    std::this_thread::sleep_for(200ms);
    Send(holder.Get(), std::string_view(frame).substr(frame.size() / 2));
    EXPECT_FALSE(ReadUntilClosed(holder.Get()).empty()) << "the holder's frame is answered";
    EXPECT_EQ(waiting.get(), 200);
}

}  // namespace
}  // namespace vexa::sandbox
