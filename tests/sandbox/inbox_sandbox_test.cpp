// The web inbox in a whole sandbox: served on both listeners, with the headers it needs passing
// through them, named in the endpoints file, and its token taken from the command line.
#include <fstream>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/stat.h>

#include "sandbox/options.h"
#include "sandbox/sandbox.h"
#include "sandbox_fixture.h"
#include "wire_connection.h"

namespace vexa::sandbox {
namespace {

using test::WireConnection;
using test::WireReply;
using test::WireRequest;
using testing::HasSubstr;

constexpr const char* kToken = "a-token-of-24-characters";

class InboxSandboxTest : public testing::Test {
protected:
    void Start(const std::string& token = "") {
        SandboxOptions options;
        options.dataDir = dir_.Path();
        options.accounts = {{"kim", "secret", 100, "Kim", "02-000-0000"}};
        options.inboxToken = token;
        sandbox_ = std::make_unique<Sandbox>(options, clock_.AsClock());
    }

    // One request over a connection of its own, naming `host` (by default where it connects).
    WireReply Exchange(bool secure, const std::string& method, const std::string& target,
                       const std::vector<std::string>& headers = {}, const std::string& body = "",
                       std::string host = "") {
        const int port = secure ? sandbox_->Ports().https : sandbox_->Ports().http;
        if (host.empty()) host = "127.0.0.1:" + std::to_string(port);
        std::optional<WireConnection> connection;
        if (secure) {
            tls_ = std::make_unique<test::TlsClient>(sandbox_->Certificate().certificate);
            connection.emplace(port, *tls_);
        } else {
            connection.emplace(port);
        }
        const std::optional<WireReply> reply =
            connection->Exchange(WireRequest(method, target, headers, body, host));
        EXPECT_TRUE(reply) << target;
        return reply.value_or(WireReply{});
    }
    WireReply Get(const std::string& target, const std::vector<std::string>& headers = {},
                  std::string host = "") {
        return Exchange(false, "GET", target, headers, "", std::move(host));
    }

    test::ScopedTimeZone zone_{"Asia/Seoul"};
    test::ScratchDirectory dir_;
    ManualClock clock_{test::kMarch5};
    std::unique_ptr<test::TlsClient> tls_;
    std::unique_ptr<Sandbox> sandbox_;
};

TEST_F(InboxSandboxTest, OnLoopbackBothListenersServeItToLoopbackNamesOnly) {
    Start();
    for (const bool secure : {false, true}) {
        const WireReply page = Exchange(secure, "GET", "/inbox/");
        EXPECT_EQ(page.status, 200) << secure;
        EXPECT_EQ(page.Header("content-type"), "text/html; charset=utf-8");
        EXPECT_EQ(page.Header("cache-control"), "no-store");
        EXPECT_EQ(page.Header("x-content-type-options"), "nosniff");
        EXPECT_THAT(page.Header("content-security-policy"), HasSubstr("frame-ancestors 'none'"));
        EXPECT_THAT(page.body, HasSubstr("data-user=\"kim\""));
    }
    EXPECT_EQ(Get("/inbox/", {}, "localhost").status, 200);
    EXPECT_EQ(Get("/inbox/", {}, "rebound.example:8080").status, 403);

    // The marker header reaches the inbox, and only with it does an action run.
    const std::string credit = R"({"credit": 7})";
    EXPECT_EQ(
        Exchange(false, "POST", "/inbox/api/accounts/kim/credit", {"Content-Type: application/json"}, credit)
            .status,
        403);
    EXPECT_EQ(sandbox_->GetStore().FindAccount("kim")->credit, 100);
    const WireReply set =
        Exchange(false, "POST", "/inbox/api/accounts/kim/credit", {"X-Vexa-Inbox: 1"}, credit);
    EXPECT_EQ(set.status, 200) << set.body;
    EXPECT_EQ(set.body, R"({"credit":7})");
    EXPECT_EQ(sandbox_->GetStore().FindAccount("kim")->credit, 7);

    // Named last in the endpoints file, over plain HTTP.
    std::ifstream in(dir_.Path() / "endpoints");
    const std::string text{std::istreambuf_iterator<char>(in), {}};
    const std::string inbox = sandbox_->GetEndpoints().http + "/inbox/";
    EXPECT_EQ(sandbox_->GetEndpoints().inbox, inbox);
    EXPECT_TRUE(text.ends_with("\ninbox=" + inbox + "\n")) << text;
}

TEST_F(InboxSandboxTest, WithATokenABrowserShowsItOnceAndKeepsItInACookie) {
    Start(kToken);
    EXPECT_EQ(Get("/inbox/").status, 401);
    EXPECT_EQ(Get("/inbox/api/accounts").status, 401);

    const WireReply redirect = Get(std::string("/inbox/?token=") + kToken);
    EXPECT_EQ(redirect.status, 303);
    EXPECT_EQ(redirect.Header("location"), "/inbox/");
    const std::string cookie = redirect.Header("set-cookie");
    EXPECT_THAT(cookie, HasSubstr("HttpOnly"));
    EXPECT_THAT(cookie, HasSubstr("SameSite=Strict"));
    const std::string pair = cookie.substr(0, cookie.find(';'));
    EXPECT_EQ(Get("/inbox/", {"Cookie: " + pair}).status, 200);
    EXPECT_EQ(Get("/inbox/api/version", {std::string("Authorization: Bearer ") + kToken}).status, 200);
    // With the token the Host rule gives way: the token is what keeps others out.
    EXPECT_EQ(Get("/inbox/", {"Cookie: " + pair}, "sandbox.lan").status, 200);
    EXPECT_EQ(Get("/inbox/", {"Cookie: vexa_inbox=a-token-of-24-characterz"}).status, 401);
}

TEST_F(InboxSandboxTest, TheTokenComesFromTheCommandLineOrAnOwnerOnlyFile) {
    const auto file = [&](const std::string& name, const std::string& text, mode_t mode) {
        const std::filesystem::path path = dir_.Path() / name;
        std::ofstream(path, std::ios::binary) << text;
        ::chmod(path.c_str(), mode);
        return path.string();
    };
    const std::string good = file("good", std::string(kToken) + "\r\nignored\n", 0600);
    const std::string open = file("open", std::string(kToken) + "\n", 0644);
    const std::string shortToken = file("short", "fifteen-chars15\n", 0600);
    const struct {
        std::vector<std::string> args;
        int code;
        std::string token;
        std::string said;
    } cases[] = {
        {{}, -1, "", ""},
        {{"--inbox-token", kToken}, -1, kToken, ""},
        {{"--inbox-token-file", good}, -1, kToken, ""},
        {{"--inbox-token", "fifteen-chars15"}, 2, "", "at least 16"},
        {{"--inbox-token", "sixteen chars 16"}, 2, "", "letters, digits"},
        {{"--inbox-token-file", shortToken}, 2, "", "at least 16"},
        {{"--inbox-token-file", open}, 2, "", "chmod 600"},
        {{"--inbox-token-file", (dir_.Path() / "missing").string()}, 2, "", "missing"},
        {{"--inbox-token", kToken, "--inbox-token-file", good}, 2, "", "excludes"},
    };
    for (const auto& c : cases) {
        std::vector<const char*> argv = {"vexa-sandbox", "--data-dir", "d"};
        for (const std::string& arg : c.args) argv.push_back(arg.c_str());
        CommandLine line;
        std::ostringstream out;
        std::ostringstream err;
        EXPECT_EQ(ParseCommandLine(static_cast<int>(argv.size()), argv.data(), line, out, err), c.code)
            << err.str();
        if (c.code == -1) {
            EXPECT_EQ(line.sandbox.inboxToken, c.token);
        }
        EXPECT_THAT(err.str(), HasSubstr(c.said));
        EXPECT_THAT(err.str(), testing::Not(HasSubstr(kToken)));  // a token is never repeated
    }
}

}  // namespace
}  // namespace vexa::sandbox
