// The bundles: the request text each one writes, and what each reads from a reply.
#include <gtest/gtest.h>
#include <string>

#include "legacy/log_bundles.h"
#include "legacy/protocol/escape_field.h"
#include "legacy/send_sms_bundle.h"
#include "legacy/user_bundle.h"
#include "scoped_time_zone.h"

namespace VexaCore {
namespace {

std::string Text(CUnknownBundle& bundle) {
    if (!bundle.Processed()) bundle.Process();
    std::string out;
    bundle.Document().Serialize(out);
    return out;
}

// A reply document parsed from markup (which must parse).
struct Reply {
    explicit Reply(const std::string& markup) { EXPECT_TRUE(document.Parse(markup)) << document.LastError(); }
    Quill::CTPMLParser document;
};

TEST(EscapeFieldTest, BackslashesApostrophesAndCarriageReturns) {
    EXPECT_EQ(EscapeField("a\\b'c\r\nd"), "a\\\\b\\'c\nd");
    EXPECT_EQ(EscapeField("\xB0\xA1'"), "\xB0\xA1\\'");  // 가 then an apostrophe
    // The service's side undoes it; a backslash the client did not write stays.
    for (const char* text : {"a\\b'c", "it's \\\\ both", "\\x", ""})
        EXPECT_EQ(UnescapeField(EscapeField(text)), text) << text;
    EXPECT_EQ(UnescapeField("a\\x"), "a\\x");
}

TEST(UserBundleTest, TheLoginPacketLine) {
    CUserBundle user;
    user.SetLogin("kim\\'&</\r", "sCr@mbled");
    user.SetEtcInfo("computername", "desk");
    user.SetEtcInfo("servicecode", "");
    user.AddRefer("phone_return");
    user.AddRefer("user_name");
    user.SetStatus();
    EXPECT_EQ(Text(user),
              "<USER type=\"request\">\n"
              "\t<LOGIN>\n"
              "\t\t<USER_ID>kim\\\\\\'&amp;&lt;&slsh;</USER_ID>\n"
              "\t\t<PASSWORD>sCr@mbled</PASSWORD>\n"
              "\t\t<ETCINFO computername=\"desk\" servicecode=\"\"/>\n"
              "\t</LOGIN>\n"
              "\t<STATUS/>\n"
              "\t<REFER>\n"
              "\t\t<phone_return/>\n"
              "\t\t<user_name/>\n"
              "\t</REFER>\n"
              "</USER>\n");
}

TEST(UserBundleTest, ReadsLoginStatusAndReferAsAttributesOrChildren) {
    for (const char* refer : {"<REFER phone_return=\"02-1\" user_name=\"Kim\"/>",
                              "<REFER><phone_return>02-1</phone_return><user_name>Kim</user_name></REFER>"}) {
        Reply reply(
            std::string("<USER><LOGIN result=\"succeed\"><USER_ID>kim</USER_ID><VERSION>4.2</VERSION>"
                        "<SERVERTIME>1700000000</SERVERTIME><NEWS width=\"320\" height=\"x\" url=\"u\"/>"
                        "<PAYTYPE>pre</PAYTYPE></LOGIN><STATUS><CALL>42</CALL><POINT>1</POINT></STATUS>") +
            refer + "</USER>");
        const CUserBundle user(&reply.document);
        const UserReply& r = user.Reply();
        EXPECT_FALSE(user.HasError());
        EXPECT_TRUE(r.loginSeen);
        EXPECT_EQ(r.loginResult, "succeed");
        EXPECT_EQ(r.serverVersion, "4.2");
        EXPECT_EQ(r.serverTime, "1700000000");
        EXPECT_EQ(r.newsWidth, 320);
        EXPECT_EQ(r.newsHeight, 0);
        EXPECT_EQ(r.payType, "pre");
        EXPECT_TRUE(r.statusSeen);
        EXPECT_EQ(r.call, "42");
        EXPECT_EQ(r.free, "");
        EXPECT_EQ(r.Refer("phone_return"), "02-1");
        EXPECT_EQ(r.Refer("user_name"), "Kim");
    }
}

TEST(UserBundleTest, AnErrorStopsTheReading) {
    Reply inner(
        "<USER><LOGIN result=\"failed\"><ERROR code=\"301\">no such user</ERROR></LOGIN>"
        "<STATUS><CALL>9</CALL></STATUS></USER>");
    const CUserBundle login(&inner.document);
    EXPECT_FALSE(login.HasError());
    EXPECT_TRUE(login.Reply().requestError);
    EXPECT_EQ(login.Reply().requestErrorCode, "301");
    EXPECT_EQ(login.Reply().requestErrorMessage, "no such user");
    EXPECT_FALSE(login.Reply().statusSeen);

    Reply top("<USER><ERROR code=\"500\">down</ERROR><STATUS><CALL>9</CALL></STATUS></USER>");
    const CUserBundle user(&top.document);
    EXPECT_TRUE(user.HasError());
    EXPECT_EQ(user.ErrorCode(), "500");
    EXPECT_EQ(user.ErrorMessage(), "down");
    EXPECT_FALSE(user.Reply().statusSeen);
}

TEST(UserBundleTest, ATagFromAReplyEndsTheNextRequest) {
    Reply reply("<USER><TAG session=\"s1\">t</TAG><STATUS><CALL>1</CALL></STATUS></USER>");
    CUserBundle user(&reply.document);
    EXPECT_TRUE(user.TagSaved());
    user.UseForRequest();
    user.SetStatus();
    EXPECT_EQ(Text(user), "<USER type=\"request\">\n\t<STATUS/>\n\t<TAG session=\"s1\">t</TAG>\n</USER>\n");
}

TEST(PacketBundleTest, BundlesPourTheirElementsInOrder) {
    PacketBundle packet;
    CUserBundle login;
    login.SetLogin("kim", "pw");
    CUserBundle status;
    status.SetStatus();
    CLogListBundle logs;
    logs.AddReferDate("200903");
    packet.Append(login);
    packet.Append(logs);
    packet.Append(status);
    std::string text;
    packet.Document().Serialize(text);
    EXPECT_EQ(text,
              "<USER type=\"request\">\n\t<LOGIN>\n\t\t<USER_ID>kim</USER_ID>\n\t\t<PASSWORD>pw</PASSWORD>\n"
              "\t</LOGIN>\n</USER>\n"
              "<LOGLIST type=\"request\">\n\t<REFER>\n\t\t<DATE>200903</DATE>\n\t</REFER>\n</LOGLIST>\n"
              "<USER type=\"request\">\n\t<STATUS/>\n</USER>\n");
    EXPECT_EQ(login.Document().FirstElement(), nullptr);  // moved, not copied
}

TEST(SendSmsBundleTest, TheRequestOfTwoReceivers) {
    const vexa::test::ScopedTimeZone seoul("Asia/Seoul");
    CSendSMSBundle send;
    send.SetSender("02-123");
    send.AddReceiver("Office", "010-1", "line\nbreak it's", true, 1234);
    send.AddReceiver("", "010-2", "later", false, 0);  // 1970-01-01 00:00 UTC
    const std::string text = Text(send);
    EXPECT_EQ(text.substr(0, text.find("\t<RECEIVER name=\"\"")),
              "<SENDSMS type=\"request\">\n"
              "\t<SENDER>02-123</SENDER>\n"
              "\t<COUNT>2</COUNT>\n"
              "\t<RECEIVER name=\"Office\" phone=\"010-1\">\n"
              "\t\t<MESSAGE>line&br;break it\\'s</MESSAGE>\n"
              "\t\t<SENDTIME mode=\"direct\">systemtime</SENDTIME>\n"
              "\t</RECEIVER>\n");
    // Local time: Seoul is nine hours ahead of UTC.
    EXPECT_NE(text.find("<SENDTIME mode=\"reservation\">1970-01-01 09:00:00</SENDTIME>"), std::string::npos)
        << text;
}

TEST(SendSmsBundleTest, ReadsResultsOrTheError) {
    Reply reply(
        "<SENDSMS><RESULT phone=\"010-1\" date=\"202403\" index=\"7\">succeed</RESULT>"
        "<OTHER/><RESULT phone=\"010-2\">failed</RESULT></SENDSMS>");
    CSendSMSBundle send(&reply.document);
    send.Process();
    ASSERT_EQ(send.Results().size(), 2u);
    EXPECT_EQ(send.Results()[0].status, "succeed");
    EXPECT_EQ(send.Results()[0].date, "202403");
    EXPECT_EQ(send.Results()[0].index, "7");
    EXPECT_EQ(send.Results()[1].phone, "010-2");
    EXPECT_EQ(send.Results()[1].index, "");

    Reply refused("<SENDSMS><ERROR code=\"200\">no credit</ERROR><RESULT>succeed</RESULT></SENDSMS>");
    CSendSMSBundle none(&refused.document);
    none.Process();
    EXPECT_TRUE(none.HasError());
    EXPECT_EQ(none.ErrorCode(), "200");
    EXPECT_TRUE(none.Results().empty());
}

TEST(LogListBundleTest, RequestsInTheirOrder) {
    CLogListBundle logs;
    logs.AddCancel("202403", "3");
    logs.AddDrop("202403", "1");
    logs.AddReferResDate("2024030115");
    logs.AddReferDate("202403");
    EXPECT_EQ(Text(logs),
              "<LOGLIST type=\"request\">\n"
              "\t<REFER>\n\t\t<DATE>202403</DATE>\n\t</REFER>\n"
              "\t<REFERRES>\n\t\t<DATE>2024030115</DATE>\n\t</REFERRES>\n"
              "\t<DROP>\n\t\t<LOG date=\"202403\" index=\"1\"/>\n\t</DROP>\n"
              "\t<CANCEL>\n\t\t<LOG date=\"202403\" index=\"3\"/>\n\t</CANCEL>\n"
              "</LOGLIST>\n");
}

TEST(LogListBundleTest, ReadsEachList) {
    Reply reply(
        "<LOGLIST>"
        "<REFER><LOG date=\"202403\" index=\"1\" class=\"direct\" phoneSend=\"010\" phoneBack=\"02\" "
        "countTotal=\"2\""
        " countSucceed=\"1\" countFailure=\"1\" message=\"hi\" timeWrite=\"5\" timeSend=\"6\"/><LOGS "
        "index=\"9\"/></REFER>"
        "<DROP><LOG date=\"202403\" index=\"1\" result=\"failed\"/></DROP>"
        "<CANCEL><LOG date=\"202403\" index=\"2\" result=\"x\" countTotal=\"3\" countCanceled=\"3\" "
        "countRemain=\"0\"/>"
        "</CANCEL></LOGLIST>");
    CLogListBundle logs(&reply.document);
    logs.Process();
    ASSERT_EQ(logs.Refer().size(), 1u);  // "LOGS" is no log
    const LogRecord& r = logs.Refer()[0];
    EXPECT_EQ(r.logClass, "direct");
    EXPECT_EQ(r.countFailure, "1");
    EXPECT_EQ(r.timeWrite, "5");
    EXPECT_EQ(r.timeSend, "6");
    ASSERT_EQ(logs.Drop().size(), 1u);
    EXPECT_EQ(logs.Drop()[0].result, "failed");
    ASSERT_EQ(logs.Cancel().size(), 1u);
    EXPECT_EQ(logs.Cancel()[0].countSucceed, "3");  // countCanceled
    EXPECT_EQ(logs.Cancel()[0].countFailure, "0");  // countRemain
    EXPECT_TRUE(logs.ReferRes().empty());
}

TEST(LogDetailBundleTest, RequestAndGroups) {
    CLogDetailBundle request;
    request.AddDetailRequest("202403", "1");
    request.AddDetailRequest("202403", "2");
    EXPECT_EQ(Text(request),
              "<LOGDETAIL type=\"request\">\n\t<REFER date=\"202403\" index=\"1\"/>\n"
              "\t<REFER date=\"202403\" index=\"2\"/>\n</LOGDETAIL>\n");

    Reply reply(
        "<LOGDETAIL><REFER date=\"202403\" index=\"1\" phoneBack=\"02\">"
        "<LOG index=\"1\" phoneSend=\"010-1\" message=\"m\" status=\"3\" result=\"2\""
        " tranDate=\"2024-03-01 10:00:00\"/><LOG index=\"2\" phoneSend=\"010-2\"/></REFER>"
        "<ERROR code=\"1\">late</ERROR><REFER index=\"9\"/></LOGDETAIL>");
    CLogDetailBundle detail(&reply.document);
    detail.Process();
    EXPECT_TRUE(detail.HasError());
    ASSERT_EQ(detail.Groups().size(), 1u);  // reading stopped at the error
    ASSERT_EQ(detail.Groups()[0].records.size(), 2u);
    EXPECT_EQ(detail.Groups()[0].phoneBack, "02");
    EXPECT_EQ(detail.Groups()[0].records[0].status, "3");
    EXPECT_EQ(detail.Groups()[0].records[1].tranDate, "");
}

}  // namespace
}  // namespace VexaCore
