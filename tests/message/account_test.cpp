// The account, the header set, and how each reply's outcome maps and refreshes LoginInfo.
#include <ctime>

#include "automation/date.h"
#include "message_fixture.h"
#include "scoped_time_zone.h"

namespace vexa {
namespace {

using test::InfoXml;
using test::OnlyRequest;
using test::Take;
using test::Xml;

class AccountTest : public test::MessageExchangeTest {};

std::string UsersReply(const std::string& info) {
    return test::HttpReply(200, Xml("<users><status><username>root-status</username><call>1</call></status>" +
                                    info + "</users>"));
}

TEST_F(AccountTest, SetAccountInfoNeedsBothTextsAndSendsNothing) {
    Bstr id(u"abc"), empty(u"");
    EXPECT_EQ(message_->SetAccountInfo(empty.Get(), id.Get()), E_FAIL);
    EXPECT_EQ(message_->SetAccountInfo(id.Get(), nullptr), E_FAIL);
    EXPECT_EQ(message_->SetAccountInfo(id.Get(), id.Get()), S_OK);
    EXPECT_TRUE(server_.Requests().empty());
}

TEST_F(AccountTest, UserStatusRequestCarriesTheHeaderSetInOrder) {
    server_.Reply(UsersReply(InfoXml()));
    ASSERT_EQ(message_->UpdateLoginInfo(), S_OK);
    const test::RecordedRequest request = OnlyRequest(server_);
    EXPECT_EQ(request.method, "GET");
    EXPECT_EQ(request.target, "/users/abc/status");
    EXPECT_TRUE(request.body.empty());
    std::vector<std::string> ours;
    for (const auto& [name, value] : request.headers) {
        if (name == "Content-Type" || name == "Authorization" || name == "Auth-Realm" || name == "User-Os" ||
            name == "Client-Name" || name == "Client-Version")
            ours.push_back(name);
    }
    EXPECT_EQ(ours, (std::vector<std::string>{"Content-Type", "Authorization", "Auth-Realm", "User-Os",
                                              "Client-Name", "Client-Version"}));
    EXPECT_EQ(request.Header("Content-Type"), "application/xml; charset=UTF-8");
    EXPECT_EQ(request.Header("Authorization"), "Basic YWJjOnB3");  // abc:pw
    EXPECT_EQ(request.Header("Client-Name"), "Vexa Component");
    EXPECT_EQ(request.Header("Client-Version"), "4.2.1.0");
    EXPECT_EQ(request.Header("User-Agent"), "Vexa Component");
    EXPECT_FALSE(request.Header("Auth-Realm").empty());
    EXPECT_EQ(request.Header("User-Os").find("Windows"), std::string::npos);
}

TEST_F(AccountTest, LongCredentialsStayOneHeaderLine) {
    Bstr id(u"a-rather-long-user-identifier-000"), password(u"and-a-long-password-too-0123456789");
    ASSERT_EQ(message_->SetAccountInfo(id.Get(), password.Get()), S_OK);
    server_.Reply(UsersReply(InfoXml()));
    message_->UpdateLoginInfo();
    const std::string auth = OnlyRequest(server_).Header("Authorization");
    EXPECT_GT(auth.size(), 6u + 64u);
    EXPECT_EQ(auth.find_first_of("\r\n"), std::string::npos);
}

TEST_F(AccountTest, ReplyInfoRefreshesTheSameLoginInfo) {
    IDispatch* none = reinterpret_cast<IDispatch*>(0x1);
    EXPECT_EQ(message_->get_LoginInfo(&none), VEXA_E_NOTLOGINED);

    server_.Reply(UsersReply(InfoXml("홍길동", "02-000-0000", 42, {"02-000-0000", "010-1234-5678"})));
    ASSERT_EQ(message_->UpdateLoginInfo(), S_OK);
    ComPtr<ILoginInfo> info = Login();
    ASSERT_TRUE(info);
    BSTR text = nullptr;
    LONG number = 0;
    VEXA_RESULT logined = VEXA_FAILED;
    info->get_UserID(&text);
    EXPECT_EQ(Take(text), u"abc");  // the account this object uses, not the reply's userid
    info->get_UserName(&text);
    EXPECT_EQ(Take(text), u"홍길동");  // from info's status, not the one under the root
    info->get_UserPhoneNumber(&text);
    EXPECT_EQ(Take(text), u"02-000-0000");
    info->get_FreeCall(&number);
    EXPECT_EQ(number, 42);  // call, not free
    info->get_Logined(&logined);
    EXPECT_EQ(logined, VEXA_SUCCEEDED);
    info->get_ServerIP(&text);
    EXPECT_EQ(Take(text), u"127.0.0.1");
    info->get_ServerPort(&number);
    EXPECT_EQ(number, server_.Port());
    EXPECT_EQ(info->get_ServerVersion(&text), VEXA_E_DEPRECATED);
    EXPECT_EQ(info->get_UserPassword(&text), VEXA_E_DEPRECATED);
    Variant phones;
    ASSERT_EQ(test::Query<ILoginInfo3>(info, IID_ILoginInfo3)->get_UserPhoneNumbers(&phones), S_OK);
    LONG upper = -1;
    SafeArrayGetUBound(phones.parray, 1, &upper);
    EXPECT_EQ(upper, 1);

    // A later 401 keeps the object and marks it logged out; a later 200 refreshes it again.
    server_.Reply(test::HttpReply(401, ""));
    EXPECT_EQ(message_->UpdateLoginInfo(), VEXA_E_LOGINFAIL);
    info->get_Logined(&logined);
    EXPECT_EQ(logined, VEXA_FAILED);
    EXPECT_EQ(Login().Get(), info.Get());
    server_.Reply(UsersReply(InfoXml("김영희", "031-1", 5, {})));
    ASSERT_EQ(message_->UpdateLoginInfo(), S_OK);
    info->get_UserName(&text);
    EXPECT_EQ(Take(text), u"김영희");
    info->get_Logined(&logined);
    EXPECT_EQ(logined, VEXA_SUCCEEDED);
}

TEST_F(AccountTest, ServerTimeIsTheReplyDateOrNow) {
    test::ScopedTimeZone zone("Asia/Seoul");
    server_.Reply(test::HttpReply(200, Xml("<users>" + InfoXml() + "</users>"), "application/xml",
                                  {"Date: Tue, 05 Mar 2024 05:07:09 GMT"}));
    ASSERT_EQ(message_->UpdateLoginInfo(), S_OK);
    DATE when = 0;
    Login()->get_ServerTime(&when);
    DATE expected = 0;
    ASSERT_TRUE(PartsToDate({2024, 3, 5, 14, 7, 9}, expected));  // 05:07:09 UTC in Seoul
    EXPECT_NEAR(when, expected, 2.0 / 86400);

    server_.Reply("HTTP/1.1 200 OK\r\nContent-Type: application/xml\r\nContent-Length: " +
                  std::to_string(Xml("<users/>").size()) + "\r\n\r\n" + Xml("<users/>"));
    ASSERT_EQ(message_->UpdateLoginInfo(), S_OK);
    DATE now = 0;
    DateFromTimeT(std::time(nullptr), now);
    Login()->get_ServerTime(&when);
    EXPECT_NEAR(when, now, 5.0 / 86400);
    // Without an info element the account values are refreshed empty.
    LONG freeCall = -1;
    BSTR name = nullptr;
    Login()->get_FreeCall(&freeCall);
    Login()->get_UserName(&name);
    EXPECT_EQ(freeCall, 0);
    EXPECT_EQ(Take(name), u"");
}

TEST_F(AccountTest, StatusesMapToTheComponentsCodes) {
    struct Case {
        std::string reply;
        HRESULT expected;
    };
    const Case cases[] = {
        {test::HttpReply(401, ""), VEXA_E_LOGINFAIL},
        {test::HttpReply(540, ""), VEXA_E_NEEDFORCALL},
        {test::HttpReply(541, ""), VEXA_E_NEEDFORCALL},
        {test::HttpReply(539, ""), VEXA_E_SERVERERROR},
        {test::HttpReply(542, ""), VEXA_E_SERVERERROR},
        {test::HttpReply(500, Xml("<users/>")), VEXA_E_SERVERERROR},
        {test::HttpReply(302, "", "", {"Location: /elsewhere"}), VEXA_E_SERVERERROR},
        {test::HttpReply(200, "{}", "application/json"), VEXA_E_NOTCONNECTED},
        {test::HttpReply(200, Xml("<users/>"), "application/XML"), VEXA_E_NOTCONNECTED},
        {test::HttpReply(200, Xml("<Users/>")), VEXA_E_NOTCONNECTED},
        {test::HttpReply(200, "<users><unclosed>"), VEXA_E_NOTCONNECTED},
        {test::HttpReply(200, Xml("<users/>"), "text/xml; charset=utf-8"), S_OK},
        {"", VEXA_E_SERVERERROR},  // the connection closes without a reply
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reply.substr(0, 40));
        server_.Reply(c.reply);
        EXPECT_EQ(message_->UpdateLoginInfo(), c.expected);
    }
    EXPECT_EQ(server_.Requests().size(), std::size(cases));
}

TEST_F(AccountTest, A401BeforeAnySuccessCreatesNoLoginInfo) {
    server_.Reply(test::HttpReply(401, ""));
    EXPECT_EQ(message_->UpdateLoginInfo(), VEXA_E_LOGINFAIL);
    EXPECT_EQ(message_->get_LoginInfo(nullptr), VEXA_E_NOTLOGINED);
}

TEST(AccountWithoutServerTest, AServerThatCannotBeReachedIsNotConnected) {
    ComPtr<IMessage> message;
    ASSERT_EQ(Message::CreateInstance(nullptr, IID_IMessage, message.OutVoid()), S_OK);
    uint16_t port = 0;
    {
        test::ScriptedServer gone;
        port = gone.Port();
    }
    const std::string url = "http://127.0.0.1:" + std::to_string(port);
    Bstr wide(std::u16string(url.begin(), url.end()));
    ASSERT_EQ(test::Query<IServiceEndpoint>(message, IID_IServiceEndpoint)->SetEndpoint(wide.Get()), S_OK);
    EXPECT_EQ(message->UpdateLoginInfo(), VEXA_E_NOTCONNECTED);
}

}  // namespace
}  // namespace vexa

namespace vexa {
namespace {

class TlsAccountTest : public test::MessageExchangeTest {
protected:
    TlsAccountTest() : MessageExchangeTest(test::ScriptedServer::Options{.tls = true}) {}
};

TEST_F(TlsAccountTest, TrustComesOnlyFromTheSystemOrTheGivenCertificates) {
    ComPtr<IServiceEndpoint> endpoint = test::Query<IServiceEndpoint>(message_, IID_IServiceEndpoint);
    // Not trusted: the exchange fails like a send without reply, and nothing is accepted silently.
    server_.Reply(UsersReply(InfoXml()));
    EXPECT_EQ(message_->UpdateLoginInfo(), VEXA_E_SERVERERROR);
    EXPECT_EQ(message_->get_LoginInfo(nullptr), VEXA_E_NOTLOGINED);

    Bstr missing(u"/nonexistent/ca.pem");
    EXPECT_EQ(endpoint->SetTrustedCertificates(missing.Get()), E_INVALIDARG);
    Bstr pem(Utf16(server_.CertificateFile()));
    ASSERT_EQ(endpoint->SetTrustedCertificates(pem.Get()), S_OK);
    server_.Reply(UsersReply(InfoXml()));
    ASSERT_EQ(message_->UpdateLoginInfo(), S_OK);
    EXPECT_EQ(server_.Requests().back().target, "/users/abc/status");

    // Back to the system's store alone.
    Bstr none(u"");
    ASSERT_EQ(endpoint->SetTrustedCertificates(none.Get()), S_OK);
    server_.Reply(UsersReply(InfoXml()));
    EXPECT_EQ(message_->UpdateLoginInfo(), VEXA_E_SERVERERROR);
}

TEST_F(TlsAccountTest, EndpointChangesOnlyForValidUrls) {
    ComPtr<IServiceEndpoint> endpoint = test::Query<IServiceEndpoint>(message_, IID_IServiceEndpoint);
    Bstr bad(u"https://user@127.0.0.1/path");
    EXPECT_EQ(endpoint->SetEndpoint(bad.Get()), E_INVALIDARG);
    Bstr pem(Utf16(server_.CertificateFile()));
    ASSERT_EQ(endpoint->SetTrustedCertificates(pem.Get()), S_OK);
    server_.Reply(UsersReply(InfoXml()));
    EXPECT_EQ(message_->UpdateLoginInfo(), S_OK);  // still the server set up by the fixture
}

}  // namespace
}  // namespace vexa
