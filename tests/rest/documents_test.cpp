// The REST documents without a network: request documents as they are written, replies as an
// exchange would have left them.
#include <cstdlib>
#include <ctime>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "reply_reading.h"
#include "rest/entity.h"
#include "rest/messages_document.h"
#include "rest/transfers_document.h"
#include "scoped_time_zone.h"

namespace vexa {
namespace {

const std::string kGaCp949 = "\xB0\xA1";  // "가"

// Reads elements of a parsed request back.
class Reader : public CRondoXmlParser {
public:
    void LoadFromNode(xmlNodePtr) override {}

    // The element tree in one line: a leaf as name:text, an inner element as name(children).
    std::string Outline(xmlNodePtr element) const {
        if (!xmlFirstElementChild(element)) return NodeName(element) + ":" + ElementText(element);
        std::string out = NodeName(element) + "(";
        for (xmlNodePtr child = xmlFirstElementChild(element); child; child = xmlNextElementSibling(child)) {
            if (child != xmlFirstElementChild(element)) out += ",";
            out += Outline(child);
        }
        return out + ")";
    }
};

// The outline of a serialized document, or "unreadable".
std::string Outline(const std::string& serialized) {
    Reader reader;
    if (!reader.LoadDocument(serialized)) return "unreadable";
    return reader.Outline(xmlDocGetRootElement(reader.Document()));
}

ServiceContext ContextFor(const std::string& userId) {
    ServiceContext context;
    context.userId = userId;
    return context;
}

// Reads a 200 reply as an exchange would have left it.
template <typename Entity>
bool ParseReply(Entity& entity, const std::string& body, const std::string& contentType = "application/xml",
                const std::string& path = "") {
    return test::ReadOkReply(entity, body, contentType, path);
}

class KoreanTime : public testing::Test {
private:
    test::ScopedTimeZone zone_{"Asia/Seoul"};
};

// ---- The entity base and the users document ----

TEST(EntityTest, OnlyXmlContentTypesAreParsed) {
    const struct {
        const char* contentType;
        bool parsed;
    } cases[] = {
        {"application/xml", true},
        {"text/xml; charset=UTF-8", true},
        {"text/xml;charset=euc-kr", true},
        {"application/atom+xml", true},
        {"application/json", false},
        {"application/XML", false},
        {"text/plain", false},
        {"", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.contentType);
        CRondoUsers users(ContextFor("abc"));
        EXPECT_EQ(ParseReply(users, "<users/>", c.contentType), c.parsed);
        // A refused type is not even parsed.
        EXPECT_EQ(users.Document() != nullptr, c.parsed);
    }
}

TEST(EntityTest, UsersReplyNeedsItsRootAndAReadableBody) {
    const struct {
        const char* body;
        bool parsed;
    } cases[] = {
        {"<users/>", true},
        {"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<users><other/></users>", true},
        {"<Users/>", false},
        {"<USERS/>", false},
        {"<messages/>", false},
        {"<users>", false},
        {"", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.body);
        CRondoUsers users(ContextFor("abc"));
        EXPECT_EQ(ParseReply(users, c.body), c.parsed);
    }
}

TEST(UserStatusTest, StatusFieldsAreReadByName) {
    CRondoUsers users(ContextFor("abc"));
    ASSERT_TRUE(ParseReply(users,
                           "<users><status>"
                           "<paytype>post</paytype><userid>abc</userid>"
                           "<username>&#xAC00;</username><phoneReturn>0101</phoneReturn>"
                           "<phoneReturns><phoneReturn>a</phoneReturn><other>x</other>"
                           "<phoneReturn>b</phoneReturn></phoneReturns>"
                           "<call>12abc</call><free>-3</free>"
                           "<news><url>n</url><width>320</width><height>240</height></news>"
                           "<upgrade><lastestVersion>4.3</lastestVersion><url>u</url></upgrade>"
                           "</status></users>"));
    const CRondoUserStatus& s = users.status;
    EXPECT_EQ(s.userId, "abc");
    EXPECT_EQ(s.userName, kGaCp949);
    // The top-level phoneReturn is a field of its own; the list takes only phoneReturn elements.
    EXPECT_EQ(s.phoneReturn, "0101");
    EXPECT_EQ(s.phoneReturns, (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(s.call, 12);
    EXPECT_EQ(s.free, -3);
    EXPECT_EQ(s.payType, "post");
    EXPECT_EQ(s.newsUrl, "n");
    EXPECT_EQ(s.newsWidth, 320);
    EXPECT_EQ(s.newsHeight, 240);
    EXPECT_EQ(s.latestVersion, "4.3");
    EXPECT_EQ(s.upgradeUrl, "u");
}

TEST(UserStatusTest, CallReadsAsADecimalNumber) {
    const struct {
        const char* element;
        int32_t call;
    } cases[] = {
        {"<call>12abc</call>", 12},
        {"<call></call>", 0},
        {"<call>-3</call>", -3},
        {"", 0},
        {"<call> 42 </call>", 42},
        {"<call>x1</call>", 0},
        {"<call>99999999999</call>", INT32_MAX},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.element);
        CRondoUsers users(ContextFor("abc"));
        ASSERT_TRUE(ParseReply(users, std::string("<users><status>") + c.element + "</status></users>"));
        EXPECT_EQ(users.status.call, c.call);
    }
}

TEST(UserStatusTest, OptionalPartsKeepWhatTheyHeld) {
    CRondoUsers users(ContextFor("abc"));
    ASSERT_TRUE(ParseReply(users, "<users><status><username>n</username></status></users>"));
    CRondoUserStatus& s = users.status;
    EXPECT_EQ(s.newsUrl, "");
    EXPECT_EQ(s.newsWidth, 0);
    EXPECT_EQ(s.newsHeight, 0);
    EXPECT_EQ(s.latestVersion, "");
    EXPECT_EQ(s.upgradeUrl, "");
    EXPECT_TRUE(s.phoneReturns.empty());

    // A later status without news and upgrade leaves them; everything else is read again.
    ASSERT_TRUE(ParseReply(users,
                           "<users><status><phoneReturns><phoneReturn>a</phoneReturn></phoneReturns>"
                           "<news><url>n</url><width>1</width><height>2</height></news>"
                           "<upgrade><lastestVersion>v</lastestVersion></upgrade></status></users>"));
    ASSERT_TRUE(ParseReply(users, "<users><status><call>5</call></status></users>"));
    EXPECT_EQ(s.newsUrl, "n");
    EXPECT_EQ(s.newsWidth, 1);
    EXPECT_EQ(s.newsHeight, 2);
    EXPECT_EQ(s.latestVersion, "v");
    EXPECT_EQ(s.upgradeUrl, "");
    EXPECT_EQ(s.userName, "");
    EXPECT_EQ(s.call, 5);
    EXPECT_TRUE(s.phoneReturns.empty());
}

TEST(UserInfoTest, InfoIsReadApartFromTheStatusUnderTheRoot) {
    CRondoUsers users(ContextFor("abc"));
    ASSERT_TRUE(ParseReply(users,
                           "<users>"
                           "<status><username>root</username><call>1</call></status>"
                           "<info><status><username>info</username><call>2</call>"
                           "<phoneReturns><phoneReturn>p</phoneReturn></phoneReturns></status>"
                           "<links><self>/users/abc/status</self></links>"
                           "<error><code>E1</code><message>first</message></error>"
                           "<error><code>E2</code></error>"
                           "<other/></info>"
                           "</users>"));
    EXPECT_EQ(users.status.userName, "root");
    EXPECT_EQ(users.status.call, 1);
    const CRondoUserInfo& info = users.Info();
    EXPECT_EQ(info.status.userName, "info");
    EXPECT_EQ(info.status.call, 2);
    EXPECT_EQ(info.status.phoneReturns, std::vector<std::string>{"p"});
    EXPECT_EQ(info.selfLink, "/users/abc/status");
    // A later error element overwrites the earlier one, missing children included.
    EXPECT_EQ(info.errorCode, "E2");
    EXPECT_EQ(info.errorMessage, "");

    // Copies of info carry its fields (the login refresh takes one).
    const CRondoUserInfo copy = info;
    EXPECT_EQ(copy.status.userName, "info");
    EXPECT_EQ(copy.Document(), nullptr);
}

TEST(UserInfoTest, ReplyWithoutInfoLeavesItEmpty) {
    CRondoUsers users(ContextFor("abc"));
    ASSERT_TRUE(ParseReply(users, "<users><status><username>root</username></status></users>"));
    EXPECT_EQ(users.Info().status.userName, "");
    EXPECT_EQ(users.Info().status.call, 0);
    EXPECT_TRUE(users.Info().status.phoneReturns.empty());
}

// ---- The messages document ----

ReceiverRecord Receiver(const std::string& phone, const std::string& message, int64_t sendTime = 0,
                        const std::string& name = "") {
    ReceiverRecord r;
    r.phone = phone;
    r.message = message;
    r.sendTime = sendTime;
    r.name = name;
    return r;
}

TEST(MessagesRequestTest, FiveReceiversSentAtOnce) {
    CRondoMessages messages(ContextFor("abc"));
    CRondoMessage& m = messages.message;
    m.message = "hello";
    m.receivers = {
        Receiver("01", "hello"),  // the common text is not repeated
        Receiver("02", "Hello"),  // a difference in case is a text of its own
        Receiver("03", ""),       // an empty text under a common one is written empty
        Receiver("04", "other", 0, "Kim"),
        Receiver("", "hello"),  // the phone is written even when empty
    };
    EXPECT_EQ(Outline(messages.BuildRequest()),
              "messages(message:hello,type:sms,reservation:N,sendtime:systemtime,free:N,count:5,receivers("
              "receiver(phone:01,sendtime:systemtime),"
              "receiver(phone:02,message:Hello,sendtime:systemtime),"
              "receiver(phone:03,message:,sendtime:systemtime),"
              "receiver(phone:04,name:Kim,message:other,sendtime:systemtime),"
              "receiver(phone:,sendtime:systemtime)))");
}

TEST(MessagesRequestTest, NoReceiversAndNoTextsLeaveTheirElementsOut) {
    CRondoMessages messages(ContextFor("abc"));
    EXPECT_EQ(messages.BuildRequest(),
              "<?xml version=\"1.0\"?>\n"
              "<messages>\n"
              "  <type>sms</type>\n"
              "  <reservation>N</reservation>\n"
              "  <sendtime>systemtime</sendtime>\n"
              "  <free>N</free>\n"
              "  <count>0</count>\n"
              "</messages>\n");
}

TEST_F(KoreanTime, ReservedMessageWithImages) {
    CRondoMessages messages(ContextFor("abc"));
    CRondoMessage& m = messages.message;
    m.sender = "0100";
    m.message = kGaCp949;
    m.type = "mms";
    m.subject = "subj";
    m.reservation = true;
    m.free = true;
    m.images = {"data:image/jpeg;base64,AAAA\r\n", "data:image/jpeg;base64,BBBB\r\n"};
    m.receivers = {
        Receiver("01", kGaCp949, 1709251200),  // 2024-03-01 00:00:00 UTC
        Receiver("02", kGaCp949, -1),          // a time with no local form
        Receiver("03", kGaCp949, 0),
    };
    const std::string body = messages.BuildRequest();
    // The Korean text travels as a character reference: the body is ASCII.
    EXPECT_NE(body.find("<message>&#xAC00;</message>"), std::string::npos) << body;
    for (unsigned char c : body) ASSERT_LT(c, 0x80) << body;
    EXPECT_EQ(Outline(body), "messages(sender:0100,message:" + kGaCp949 +
                                 ",type:mms,subject:subj,reservation:Y,free:Y,count:3,receivers("
                                 "receiver(phone:01,sendtime:2024-03-01 09:00:00),"
                                 "receiver(phone:02,sendtime:),"
                                 "receiver(phone:03,sendtime:systemtime)),"
                                 "images(image(content:data:image/jpeg;base64,AAAA\r\n),"
                                 "image(content:data:image/jpeg;base64,BBBB\r\n)))");
}

TEST_F(KoreanTime, SendTimesInLocalTimeOrNone) {
    const struct {
        int64_t seconds;
        const char* text;
    } cases[] = {
        {0, "1970-01-01 09:00:00"},
        {1709251200, "2024-03-01 09:00:00"},
        {1709251199, "2024-03-01 08:59:59"},
        {32535215999, "3001-01-01 08:59:59"},  // the last instant a time may be
        {32535216000, ""},
        {-1, ""},
        {-86400, ""},
        {INT64_MAX, ""},
        {INT64_MIN, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.seconds);
        EXPECT_EQ(FormatSendTime(c.seconds), c.text);
    }
}

TEST(MessagesReplyTest, ReceiversOfTheReplyReplaceTheRequest) {
    CRondoMessages messages(ContextFor("abc"));
    messages.message.receivers = {Receiver("01", "a", 0, "Kim"), Receiver("02", "b")};
    ASSERT_TRUE(ParseReply(messages,
                           "<messages><receivers>"
                           "<receiver><result>succeed</result><phone>01</phone><index>17</index>"
                           "<date>202403</date><message>a</message><sendtime>2024-03-01 09:00:00</sendtime>"
                           "<name>ignored</name></receiver>"
                           "<other><phone>x</phone></other>"
                           "<receiver><result>fail</result><phone>02</phone></receiver>"
                           "</receivers><info><status><username>u</username></status></info></messages>"));
    const auto& r = messages.message.receivers;
    ASSERT_EQ(r.size(), 2u);
    EXPECT_EQ(r[0].result, "succeed");
    EXPECT_EQ(r[0].phone, "01");
    EXPECT_EQ(r[0].index, "17");
    EXPECT_EQ(r[0].date, "202403");
    EXPECT_EQ(r[0].message, "a");
    EXPECT_EQ(r[0].name, "");
    EXPECT_EQ(r[0].sendTime, 0);
    EXPECT_EQ(r[1].result, "fail");
    EXPECT_EQ(r[1].phone, "02");
    EXPECT_EQ(r[1].index, "");
    EXPECT_EQ(r[1].message, "");
    EXPECT_EQ(messages.Info().status.userName, "u");
}

TEST(MessagesReplyTest, ReplyWithoutReceiversKeepsTheRequestsRecords) {
    CRondoMessages messages(ContextFor("abc"));
    messages.message.receivers = {Receiver("01", "a"), Receiver("02", "b")};
    ASSERT_TRUE(ParseReply(messages, "<messages><info/></messages>"));
    const auto& r = messages.message.receivers;
    ASSERT_EQ(r.size(), 2u);
    EXPECT_EQ(r[0].phone, "01");
    EXPECT_EQ(r[0].result, "");
    EXPECT_EQ(r[1].phone, "02");
    EXPECT_EQ(r[1].index, "");

    // An empty receivers element is a reply with no receivers at all.
    ASSERT_TRUE(ParseReply(messages, "<messages><receivers/></messages>"));
    EXPECT_TRUE(messages.message.receivers.empty());
}

TEST(MessagesReplyTest, WrongRootOrTypeIsRefused) {
    const struct {
        const char* contentType;
        const char* body;
    } cases[] = {
        {"application/xml", "<Messages><receivers/></Messages>"},
        {"application/xml", "<transfers/>"},
        {"application/json", "<messages/>"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.body);
        CRondoMessages messages(ContextFor("abc"));
        messages.message.receivers = {Receiver("01", "a")};
        EXPECT_FALSE(ParseReply(messages, c.body, c.contentType));
        EXPECT_EQ(messages.message.receivers.size(), 1u);
    }
}

// ---- The transfers documents ----

TEST(TransfersTest, TypeWords) {
    const struct {
        int32_t type;
        const char* name;
    } names[] = {{0, "all"}, {1, "sms"}, {2, "lms"}, {3, "mms"}, {4, "all"}, {7, "all"}, {-1, "all"}};
    for (const auto& c : names) EXPECT_STREQ(TypeName(c.type), c.name) << c.type;

    const struct {
        const char* word;
        int32_t type;
    } types[] = {{"sms", 1}, {"SMS", 1}, {"Lms", 2},  {"mmS", 3}, {"xms", 0},
                 {"", 0},    {"all", 0}, {"sms ", 0}, {"sm", 0}};
    for (const auto& c : types) EXPECT_EQ(TypeFromName(c.word), c.type) << c.word;
}

TEST(TransfersTest, RequestPaths) {
    CRondoTransfers transfers(ContextFor("abc"));
    EXPECT_EQ(transfers.LogsPath("202403", 2, true), "/transfers/abc/lms/202403/reservation");
    EXPECT_EQ(transfers.LogsPath("202403", 2, false), "/transfers/abc/lms/202403");
    EXPECT_EQ(transfers.LogsPath("2024030105", 0, false), "/transfers/abc/all/2024030105");
    EXPECT_EQ(transfers.DetailPath(2024, 3, 3, "17"), "/transfers/abc/detail/mms/202403/17");
    EXPECT_EQ(transfers.DetailPath(999, 12, 9, "1"), "/transfers/abc/detail/all/099912/1");

    // Texts from outside stay inside their own segment.
    CRondoTransfers odd(ContextFor("a b/c"));
    EXPECT_EQ(odd.LogsPath("2024/03", 1, false), "/transfers/a%20b%2Fc/sms/2024%2F03");
    EXPECT_EQ(odd.DetailPath(2024, 3, 1, "../1"), "/transfers/a%20b%2Fc/detail/sms/202403/..%2F1");
}

TEST(TransfersTest, LogsRequestDocument) {
    CRondoTransfers transfers(ContextFor("abc"));
    EXPECT_EQ(transfers.BuildLogsRequest({{"17", "202403", "sms"}, {"3", "202402", "mms"}}),
              "<?xml version=\"1.0\"?>\n"
              "<logs>\n"
              "  <log>\n"
              "    <index>17</index>\n"
              "    <date>202403</date>\n"
              "    <type>sms</type>\n"
              "  </log>\n"
              "  <log>\n"
              "    <index>3</index>\n"
              "    <date>202402</date>\n"
              "    <type>mms</type>\n"
              "  </log>\n"
              "</logs>\n");
    EXPECT_EQ(Outline(transfers.BuildLogsRequest({})), "logs:");
}

TEST(TransfersReplyTest, LogsAreReadInOrder) {
    CRondoTransfers transfers(ContextFor("abc"));
    ASSERT_TRUE(
        ParseReply(transfers,
                   "<transfers><logs>"
                   "<log><index>17</index><date>202403</date><type>sms</type>"
                   "<isReservation>Y</isReservation><phoneSend>01</phoneSend><phoneBack>02</phoneBack>"
                   "<countTotal>5</countTotal><countSuccess>4</countSuccess><countFailure>1x</countFailure>"
                   "<message>&#xAC00;</message><timeSend>1709251200</timeSend>"
                   "<timeWrite>1709251100</timeWrite><canCancel>Y</canCancel><result>succeed</result></log>"
                   "<other><index>9</index></other>"
                   "<log><index>18</index></log>"
                   "</logs><info><status><call>3</call></status></info></transfers>",
                   "application/xml", "/transfers/abc/all/202403"));
    const auto& logs = transfers.logs.records;
    ASSERT_EQ(logs.size(), 2u);
    const LogRecord& a = logs[0];
    EXPECT_EQ(a.index, "17");
    EXPECT_EQ(a.date, "202403");
    EXPECT_EQ(a.type, "sms");
    EXPECT_TRUE(a.isReservation);
    EXPECT_EQ(a.phoneSend, "01");
    EXPECT_EQ(a.phoneBack, "02");
    EXPECT_EQ(a.countTotal, 5);
    EXPECT_EQ(a.countSuccess, 4);
    EXPECT_EQ(a.countFailure, 1);
    EXPECT_EQ(a.message, kGaCp949);
    EXPECT_EQ(a.timeSend, "1709251200");
    EXPECT_EQ(a.timeWrite, "1709251100");
    EXPECT_TRUE(a.canCancel);
    EXPECT_EQ(a.result, "succeed");
    const LogRecord& b = logs[1];
    EXPECT_EQ(b.index, "18");
    EXPECT_EQ(b.type, "");
    EXPECT_FALSE(b.isReservation);
    EXPECT_EQ(b.countTotal, 0);
    EXPECT_EQ(transfers.Info().status.call, 3);
}

TEST(TransfersReplyTest, OnlyAnUpperCaseYIsTrue) {
    const struct {
        const char* text;
        bool value;
    } cases[] = {{"Y", true}, {"y", false}, {"Yes", false}, {"N", false}, {"", false}, {" Y", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const std::string flags =
            std::string("<isReservation>") + c.text + "</isReservation><canCancel>" + c.text + "</canCancel>";
        CRondoTransfers transfers(ContextFor("abc"));
        ASSERT_TRUE(ParseReply(transfers, "<transfers><logs><log>" + flags + "</log></logs></transfers>"));
        ASSERT_EQ(transfers.logs.records.size(), 1u);
        EXPECT_EQ(transfers.logs.records[0].isReservation, c.value);
        EXPECT_EQ(transfers.logs.records[0].canCancel, c.value);

        CRondoTransfers detail(ContextFor("abc"));
        ASSERT_TRUE(ParseReply(
            detail, "<transfers>" + flags + "<isDelay>" + c.text + "</isDelay><details/></transfers>",
            "application/xml", "/transfers/abc/detail/sms/202403/1"));
        EXPECT_EQ(detail.detail.detail.isReservation, c.value);
        EXPECT_EQ(detail.detail.detail.canCancel, c.value);
        EXPECT_EQ(detail.detail.detail.isDelay, c.value);
    }
}

const char kDetailReply[] =
    "<transfers>"
    "<index>17</index><date>202403</date><type>mms</type><isReservation>Y</isReservation>"
    "<phoneSend>01</phoneSend><phoneBack>02</phoneBack><countTotal>2</countTotal>"
    "<countSuccess>1</countSuccess><countFailure>1</countFailure><message>m</message>"
    "<timeSend>100</timeSend><timeWrite>90</timeWrite><canCancel>N</canCancel><via>web</via>"
    "<userIp>10.0.0.1</userIp><isDelay>N</isDelay><isRelay>Y</isRelay><isBible>N</isBible>"
    "<isDeleted>Y</isDeleted><delType>user</delType><timeDelete>110</timeDelete>"
    "<images><image><url>http://x/1</url></image><image><url></url></image><image/>"
    "<other><url>http://x/other</url></other><image><url>http://x/3</url></image></images>"
    "<details>"
    "<detail><message>a</message><name>Kim</name><phoneSend>0101</phoneSend><status>2</status>"
    "<result>0</result><resultDetail>ok</resultDetail><tranDate>2024-03-01 09:00:00</tranDate>"
    "<tranRsltDate>2024-03-01 09:00:05</tranRsltDate></detail>"
    "<skip/>"
    "<detail><phoneSend>0102</phoneSend></detail>"
    "</details>"
    "<logs><log><index>5</index></log></logs>"
    "</transfers>";

TEST(TransfersReplyTest, DetailReplyFillsTheTransfer) {
    CRondoTransfers transfers(ContextFor("abc"));
    ASSERT_TRUE(ParseReply(transfers, kDetailReply, "text/xml", transfers.DetailPath(2024, 3, 3, "17")));
    const TransferDetail& d = transfers.detail.detail;
    EXPECT_EQ(d.index, "17");
    EXPECT_EQ(d.date, "202403");
    EXPECT_EQ(d.type, "mms");
    EXPECT_TRUE(d.isReservation);
    EXPECT_EQ(d.phoneSend, "01");
    EXPECT_EQ(d.phoneBack, "02");
    EXPECT_EQ(d.countTotal, 2);
    EXPECT_EQ(d.countSuccess, 1);
    EXPECT_EQ(d.countFailure, 1);
    EXPECT_EQ(d.message, "m");
    EXPECT_EQ(d.timeSend, "100");
    EXPECT_EQ(d.timeWrite, "90");
    EXPECT_FALSE(d.canCancel);
    EXPECT_EQ(d.via, "web");
    EXPECT_EQ(d.userIp, "10.0.0.1");
    EXPECT_FALSE(d.isDelay);
    EXPECT_TRUE(d.isRelay);
    EXPECT_FALSE(d.isBible);
    EXPECT_TRUE(d.isDeleted);
    EXPECT_EQ(d.delType, "user");
    EXPECT_EQ(d.timeDelete, "110");
    // Empty URLs (an empty url, or none at all) are left out.
    EXPECT_EQ(d.imageUrls, (std::vector<std::string>{"http://x/1", "http://x/3"}));
    ASSERT_EQ(d.receivers.size(), 2u);
    const DetailRecord& r = d.receivers[0];
    EXPECT_EQ(r.message, "a");
    EXPECT_EQ(r.name, "Kim");
    EXPECT_EQ(r.phoneSend, "0101");
    EXPECT_EQ(r.status, "2");
    EXPECT_EQ(r.result, "0");
    EXPECT_EQ(r.resultDetail, "ok");
    EXPECT_EQ(r.tranDate, "2024-03-01 09:00:00");
    EXPECT_EQ(r.tranRsltDate, "2024-03-01 09:00:05");
    EXPECT_EQ(d.receivers[1].phoneSend, "0102");
    EXPECT_EQ(d.receivers[1].name, "");
    // The logs child is read as in every transfers reply.
    ASSERT_EQ(transfers.logs.records.size(), 1u);

    // Reading a second detail reply replaces the lists instead of adding to them.
    ASSERT_TRUE(ParseReply(transfers, kDetailReply, "text/xml", transfers.DetailPath(2024, 3, 3, "17")));
    EXPECT_EQ(d.imageUrls.size(), 2u);
    EXPECT_EQ(d.receivers.size(), 2u);
}

TEST(TransfersReplyTest, DetailReplyWithoutDetailsDescribesNothing) {
    CRondoTransfers transfers(ContextFor("abc"));
    ASSERT_TRUE(ParseReply(transfers,
                           "<transfers><index>17</index><isReservation>Y</isReservation>"
                           "<images><image><url>http://x/1</url></image></images></transfers>",
                           "application/xml", "/transfers/abc/detail/sms/202403/17"));
    const TransferDetail& d = transfers.detail.detail;
    EXPECT_EQ(d.index, "");
    EXPECT_FALSE(d.isReservation);
    EXPECT_TRUE(d.imageUrls.empty());
    EXPECT_TRUE(d.receivers.empty());
}

TEST(TransfersReplyTest, OnlyADetailRequestReadsTheTransfer) {
    const std::string paths[] = {
        "/transfers/abc/all/202403",
        "/transfers/abc/sms/202403/reservation",
        "/transfers/abc",
        "/transfers/abc/cancel",
        // A user whose ID reads "detail" still asks for a list.
        "/transfers/detail/sms/202403",
        "/transfers/mydetails/sms/202403",
        "",
    };
    for (const std::string& path : paths) {
        SCOPED_TRACE(path);
        CRondoTransfers transfers(ContextFor("abc"));
        ASSERT_TRUE(ParseReply(transfers, kDetailReply, "application/xml", path));
        EXPECT_EQ(transfers.detail.detail.index, "");
        EXPECT_TRUE(transfers.detail.detail.receivers.empty());
        EXPECT_TRUE(transfers.detail.detail.imageUrls.empty());
        EXPECT_EQ(transfers.logs.records.size(), 1u);
    }
    // The detail path of a user named "detail" is a detail request.
    CRondoTransfers named(ContextFor("detail"));
    ASSERT_TRUE(ParseReply(named, kDetailReply, "application/xml", named.DetailPath(2024, 3, 3, "17")));
    EXPECT_EQ(named.detail.detail.index, "17");
}

TEST(TransfersReplyTest, WrongRootOrTypeIsRefused) {
    const struct {
        const char* contentType;
        const char* body;
    } cases[] = {
        {"application/xml", "<Transfers><logs/></Transfers>"},
        {"application/xml", "<logs/>"},
        {"application/json", "<transfers/>"},
        {"text/xml", "<transfers>"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.body);
        CRondoTransfers transfers(ContextFor("abc"));
        EXPECT_FALSE(ParseReply(transfers, c.body, c.contentType, "/transfers/abc/all/202403"));
    }
}

}  // namespace
}  // namespace vexa
