// A real sandbox on loopback, reached over HTTP and HTTPS with a plain HTTP client: the headers,
// each resource's document, image URLs, restarts and the endpoints file.
#include <fstream>
#include <gtest/gtest.h>
#include <set>
#include <thread>
#include <unistd.h>

#include "rest/entity.h"
#include "sandbox/local_time.h"
#include "sandbox/sandbox.h"
#include "sandbox_fixture.h"
#include "wire_connection.h"

namespace vexa::sandbox {
namespace {

using test::kMarch5;
using test::ReadReply;
using test::SendDocument;
using test::WireConnection;
using test::WireReply;
using test::WireRequest;
using Headers = std::vector<std::string>;
using Result = std::optional<WireReply>;

class HttpTest : public testing::Test {
protected:
    HttpTest() { Start(); }

    void Start(std::vector<AccountSetup> accounts = {{"kim", "secret", 100, "kim", "02-000-0000"}}) {
        SandboxOptions options;
        options.dataDir = dir_.Path();
        options.accounts = std::move(accounts);
        sandbox_ = std::make_unique<Sandbox>(options, clock_.AsClock());
    }

    void Restart(std::vector<AccountSetup> accounts = {}) {
        sandbox_.reset();
        Start(std::move(accounts));
    }

    // One kept connection to either listener, as a host keeps it, naming `host` (by default
    // where it connects) in its requests.
    class Client {
    public:
        Client(int port, const test::TlsClient* tls, std::string host = {})
            : connection_(tls ? WireConnection(port, *tls) : WireConnection(port)),
              host_(host.empty() ? "127.0.0.1:" + std::to_string(port) : std::move(host)) {}

        Result Get(const std::string& target, const Headers& headers = {}) {
            return Send("GET", target, headers);
        }
        Result Post(const std::string& target, const Headers& headers, const std::string& body) {
            return Send("POST", target, headers, body);
        }
        Result Put(const std::string& target, const Headers& headers, const std::string& body) {
            return Send("PUT", target, headers, body);
        }
        Result Delete(const std::string& target, const Headers& headers, const std::string& body) {
            return Send("DELETE", target, headers, body);
        }

    private:
        Result Send(const std::string& method, const std::string& target, const Headers& headers,
                    const std::string& body = "") {
            return connection_.Exchange(WireRequest(method, target, headers, body, host_));
        }

        WireConnection connection_;
        std::string host_;
    };

    Client MakeClient(bool secure = true) {
        if (!secure) return Client(sandbox_->Ports().http, nullptr);
        tls_ = std::make_unique<test::TlsClient>(sandbox_->Certificate().certificate);
        return Client(sandbox_->Ports().https, tls_.get());
    }

    static Headers Credentials(const std::string& password = "secret") {
        return {"Authorization: " + test::BasicAuthorization("kim", password),
                "Auth-Realm: " + DefaultRealm()};
    }

    // A reply the component would take: 200, XML, and readable by `entity` for `path`.
    template <class Entity>
    void ExpectRead(Entity& entity, const Result& result, const std::string& path) const {
        ASSERT_TRUE(result) << "no reply";
        EXPECT_EQ(result->status, 200) << result->body;
        EXPECT_EQ(result->Header("content-type"), "application/xml; charset=UTF-8");
        EXPECT_EQ(result->Header("date"), HttpDate(clock_.Now()));
        EXPECT_TRUE(ReadReply(entity, result->Header("content-type"), result->body, path)) << result->body;
    }

    test::ScopedTimeZone zone_{"Asia/Seoul"};
    test::ScratchDirectory dir_;
    ManualClock clock_{kMarch5};
    std::unique_ptr<Sandbox> sandbox_;
    std::unique_ptr<test::TlsClient> tls_;
};

TEST_F(HttpTest, EveryResourceAnswersOverBothListeners) {
    for (const bool secure : {true, false}) {
        SCOPED_TRACE(secure ? "https" : "http");
        Client client = MakeClient(secure);
        CRondoUsers users{ServiceContext{}};
        ExpectRead(users, client.Get("/users/kim/status", Credentials()), "/users/kim/status");
        EXPECT_EQ(users.status.userId, "kim");
        EXPECT_EQ(
            users.Info().selfLink,
            (secure ? sandbox_->GetEndpoints().https : sandbox_->GetEndpoints().http) + "/users/kim/status");

        CRondoMessages sent{ServiceContext{}};
        ExpectRead(sent,
                   client.Post("/messages/kim", Credentials(),
                               SendDocument("sms", "hi",
                                            {{"010-1111-2222", kMarch5 + 60}, {"010-3333", kMarch5 + 3600}})),
                   "/messages/kim");
        ASSERT_EQ(sent.message.receivers.size(), 2u);
        const std::string index = sent.message.receivers[0].index;
        EXPECT_EQ(sent.message.receivers[1].result, "succeed");

        CRondoTransfers logs{ServiceContext{}};
        ExpectRead(logs, client.Get("/transfers/kim/all/202403", Credentials()), "/transfers/kim/all/202403");
        ASSERT_FALSE(logs.logs.records.empty());
        EXPECT_EQ(logs.logs.records.back().index, index);
        EXPECT_TRUE(logs.logs.records.back().canCancel);

        const std::string detailPath = "/transfers/kim/detail/sms/202403/" + index;
        CRondoTransfers detail{ServiceContext{}};
        ExpectRead(detail, client.Get(detailPath, Credentials()), detailPath);
        EXPECT_EQ(detail.detail.detail.receivers.size(), 2u);

        const std::string keys = test::LogsDocument({{index, "202403", "sms"}});
        CRondoTransfers cancelled{ServiceContext{}};
        ExpectRead(cancelled, client.Put("/transfers/kim/cancel", Credentials(), keys),
                   "/transfers/kim/cancel");
        ASSERT_EQ(cancelled.logs.records.size(), 1u);
        EXPECT_EQ(cancelled.logs.records[0].result, "succeed");

        CRondoTransfers deleted{ServiceContext{}};
        ExpectRead(deleted, client.Delete("/transfers/kim", Credentials(), keys), "/transfers/kim");
        ASSERT_EQ(deleted.logs.records.size(), 1u);
        EXPECT_EQ(deleted.logs.records[0].result, "succeed");
        clock_.Advance(1);
    }
}

TEST_F(HttpTest, RefusalsCarryTheirStatusAndAnErrorDocument) {
    Client client = MakeClient();
    const Headers noRealm = {"Authorization: " + test::BasicAuthorization("kim", "secret")};
    const struct {
        Result result;
        int status;
        const char* code;
    } cases[] = {
        {client.Get("/users/kim/status", Credentials("wrong")), 401, "unauthorized"},
        {client.Get("/users/kim/status", noRealm), 401, "unauthorized"},
        {client.Get("/users/kim/status"), 401, "unauthorized"},
        {client.Get("/users/lee/status", Credentials()), 401, "unauthorized"},
        {client.Get("/no/such/thing", Credentials()), 404, "not-found"},
        {client.Post("/messages/kim", Credentials(), "<messages>"), 400, "bad-request"},
        {client.Delete("/transfers/kim", Credentials(), ""), 400, "bad-request"},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(c.result);
        EXPECT_EQ(c.result->status, c.status) << c.result->body;
        EXPECT_EQ(c.result->Header("content-type"), "application/xml; charset=UTF-8");
        EXPECT_EQ(c.result->Header("date"), HttpDate(kMarch5));
        EXPECT_NE(c.result->body.find(std::string("<code>") + c.code + "</code>"), std::string::npos);
    }
    EXPECT_EQ(cases[0].result->Header("www-authenticate"), "Basic realm=\"" + DefaultRealm() + "\"");
}

TEST_F(HttpTest, ImagesAreServedAtTheListedUrlsToTheAccountOnly) {
    const std::string jpeg = "\xFF\xD8\xFF\xE0 picture bytes";
    const std::string uri = "data:image/jpeg;base64,/9j/4CBwaWN0dXJlIGJ5dGVz\r\n";
    for (const bool secure : {true, false}) {
        SCOPED_TRACE(secure ? "https" : "http");
        Client client = MakeClient(secure);
        CRondoMessages sent{ServiceContext{}};
        ExpectRead(
            sent, client.Post("/messages/kim", Credentials(), SendDocument("mms", "pic", {{"010-1"}}, {uri})),
            "/messages/kim");
        const std::string path = "/transfers/kim/detail/mms/202403/" + sent.message.receivers[0].index;
        CRondoTransfers detail{ServiceContext{}};
        ExpectRead(detail, client.Get(path, Credentials()), path);
        ASSERT_EQ(detail.detail.detail.imageUrls.size(), 1u);
        const std::string& url = detail.detail.detail.imageUrls[0];
        const std::string base = secure ? sandbox_->GetEndpoints().https : sandbox_->GetEndpoints().http;
        ASSERT_TRUE(url.starts_with(base + "/images/kim/202403/")) << url;

        const Result image = client.Get(url.substr(base.size()), Credentials());
        ASSERT_TRUE(image);
        EXPECT_EQ(image->status, 200);
        EXPECT_EQ(image->Header("content-type"), "image/jpeg");
        EXPECT_EQ(image->body, jpeg);
        EXPECT_EQ(client.Get(url.substr(base.size()))->status, 401);
    }
}

TEST_F(HttpTest, LinksFollowTheHostTheClientNamed) {
    const test::TlsClient tls(sandbox_->Certificate().certificate);
    Client client(sandbox_->Ports().https, &tls, "localhost:" + std::to_string(sandbox_->Ports().https));
    CRondoUsers users{ServiceContext{}};
    ExpectRead(users, client.Get("/users/kim/status", Credentials()), "/users/kim/status");
    EXPECT_TRUE(users.Info().selfLink.starts_with("https://localhost:")) << users.Info().selfLink;
}

TEST_F(HttpTest, ARestartKeepsAccountsTransfersAndTheCertificate) {
    Client before = MakeClient();
    ASSERT_EQ(before.Post("/messages/kim", Credentials(), SendDocument("lms", "kept", {{"010-1"}}))->status,
              200);
    std::ifstream certificateFile(sandbox_->Certificate().certificate);
    const std::string certificate{std::istreambuf_iterator<char>(certificateFile), {}};

    Restart();
    Client after = MakeClient();
    CRondoTransfers logs{ServiceContext{}};
    ExpectRead(logs, after.Get("/transfers/kim/all/202403", Credentials()), "/transfers/kim/all/202403");
    ASSERT_EQ(logs.logs.records.size(), 1u);
    EXPECT_EQ(logs.logs.records[0].message, "kept");
    EXPECT_EQ(logs.Info().status.call, 97);
    std::ifstream again(sandbox_->Certificate().certificate);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(again), {}), certificate);

    // Naming the account again sets its password and keeps its credit and transfers.
    Restart({{"kim", "changed", 5000, "kim", "02-000-0000"}});
    Client changed = MakeClient();
    EXPECT_EQ(changed.Get("/users/kim/status", Credentials())->status, 401);
    CRondoUsers users{ServiceContext{}};
    ExpectRead(users, changed.Get("/users/kim/status", Credentials("changed")), "/users/kim/status");
    EXPECT_EQ(users.status.call, 97);
}

TEST_F(HttpTest, TheEndpointsFileTellsWhereTheSandboxListensWhileItRuns) {
    const std::filesystem::path file = dir_.Path() / "endpoints";
    std::ifstream in(file);
    const std::string text{std::istreambuf_iterator<char>(in), {}};
    const Endpoints& endpoints = sandbox_->GetEndpoints();
    EXPECT_EQ(text, "http=" + endpoints.http + "\nhttps=" + endpoints.https +
                        "\ncertificate=" + (std::filesystem::canonical(dir_.Path()) / "cert.pem").string() +
                        "\nuser=kim\npid=" + std::to_string(::getpid()) + "\ninbox=" + endpoints.http +
                        "/inbox/\n");
    EXPECT_TRUE(endpoints.http.starts_with("http://127.0.0.1:"));
    EXPECT_TRUE(endpoints.https.starts_with("https://127.0.0.1:"));

    // One sandbox at a time in a directory; the ports of another are taken.
    SandboxOptions same;
    same.dataDir = dir_.Path();
    EXPECT_THROW(Sandbox{same}, std::runtime_error);
    test::ScratchDirectory otherDir;
    SandboxOptions clash;
    clash.dataDir = otherDir.Path();
    clash.httpPort = std::stoi(endpoints.http.substr(endpoints.http.rfind(':') + 1));
    EXPECT_THROW(Sandbox{clash}, std::runtime_error);

    sandbox_->Stop();
    EXPECT_FALSE(std::filesystem::exists(file));
}

TEST_F(HttpTest, ConcurrentSendsOverTheWireGetDistinctIndexes) {
    constexpr int kClients = 4;
    constexpr int kSends = 5;
    std::vector<std::vector<std::string>> indexes(kClients);
    const test::TlsClient tls(sandbox_->Certificate().certificate);
    {
        std::vector<std::jthread> clients;
        for (int c = 0; c < kClients; ++c) {
            clients.emplace_back([&, c] {
                Client client = c % 2 == 0 ? Client(sandbox_->Ports().https, &tls)
                                           : Client(sandbox_->Ports().http, nullptr);
                for (int i = 0; i < kSends; ++i) {
                    const Result result = client.Post("/messages/kim", Credentials(),
                                                      SendDocument("sms", "x", {{"010-1"}, {"010-2"}}));
                    CRondoMessages sent{ServiceContext{}};
                    if (result && ReadReply(sent, result->Header("content-type"), result->body, "/m")) {
                        indexes[c].push_back(sent.message.receivers[0].index);
                    }
                }
            });
        }
    }
    std::set<std::string> distinct;
    for (const auto& perClient : indexes) distinct.insert(perClient.begin(), perClient.end());
    EXPECT_EQ(distinct.size(), static_cast<size_t>(kClients * kSends));
    EXPECT_EQ(sandbox_->GetStore().FindAccount("kim")->credit, 100 - kClients * kSends * 2);
}

}  // namespace
}  // namespace vexa::sandbox
