// The legacy protocol's service without sockets: packets as the legacy client writes them, on the
// same store as the REST service, whose replies the component's own readers check.
#include "sandbox/legacy_service.h"

#include <gtest/gtest.h>

#include "automation/text.h"
#include "legacy_fixture.h"
#include "sandbox/local_time.h"
#include "sandbox/rules.h"
#include "sandbox/sandbox.h"
#include "sandbox/schema.h"
#include "sandbox/service.h"
#include "sandbox_fixture.h"

namespace vexa::sandbox {
namespace {

using test::AddKey;
using test::AddLogin;
using test::AddRequest;
using test::AddSendSms;
using test::Attribute;
using test::CTPMLParser;
using test::Elements;
using test::kDay;
using test::kHour;
using test::kMarch5;
using test::Names;
using test::SmsReceiver;
using test::TPMLNode;
using test::TPMLTree;

using Names_ = std::vector<std::string>;

const std::string kNameUtf8 = "\xEA\xB9\x80\xEC\xB2\xA0\xEC\x88\x98";  // a Korean name

class LegacyServiceTest : public testing::Test {
protected:
    LegacyServiceTest() { store_.SetUpAccount({"kim", "secret", 100, kNameUtf8, "02-123-4567"}); }

    std::unique_ptr<CTPMLParser> Exchange(const CTPMLParser& packet) {
        last_ = service_.Handle(test::Text(packet), "127.0.0.9");
        return test::ParseDocument(last_.document);
    }

    // A packet of USER with LOGIN, then `element` built by `fill`.
    template <class Fill>
    std::unique_ptr<CTPMLParser> ExchangeOne(Fill fill) {
        CTPMLParser packet;
        AddLogin(packet);
        fill(packet);
        return Exchange(packet);
    }

    // The reply's second top-level element, after the USER that answers the login.
    static const TPMLNode* Answer(const CTPMLParser& reply, std::string_view name) {
        const std::vector<const TPMLNode*> top = Elements(reply.Root());
        EXPECT_EQ(top.size(), 2u) << test::Text(reply);
        if (top.size() != 2 || top[1]->Name() != name) return nullptr;
        return top[1];
    }

    std::vector<std::string> Send(const std::vector<SmsReceiver>& receivers) {
        const auto reply = ExchangeOne([&](CTPMLParser& p) { AddSendSms(p, receivers); });
        std::vector<std::string> results;
        for (const TPMLNode* r : Elements(Answer(*reply, "SENDSMS"), "RESULT")) {
            results.push_back(r->Value() + "/" + Attribute(r, "date") + "/" + Attribute(r, "index"));
        }
        return results;
    }

    ServiceReply Rest(const std::string& method, const std::string& target, const std::string& body = "") {
        ServiceRequest r;
        r.method = method;
        r.target = target;
        r.authorization = test::BasicAuthorization("kim", "secret");
        r.realm = DefaultRealm();
        r.body = body;
        r.baseUrl = "http://sandbox.test";
        r.remoteAddress = "127.0.0.5";
        return rest_.Handle(r);
    }

    TransferDetail RestDetail(const std::string& month, const std::string& index) {
        const std::string path = "/transfers/kim/detail/all/" + month + "/" + index;
        CRondoTransfers transfers{ServiceContext{}};
        EXPECT_TRUE(test::ReadReply(transfers, Rest("GET", path), path));
        return transfers.detail.detail;
    }

    std::vector<std::string> RestLogIndexes(const std::string& path) {
        CRondoTransfers transfers{ServiceContext{}};
        EXPECT_TRUE(test::ReadReply(transfers, Rest("GET", path), path));
        std::vector<std::string> indexes;
        for (const LogRecord& r : transfers.logs.records) indexes.push_back(r.index);
        return indexes;
    }

    void RestSend(const std::string& type, const std::vector<test::Addressee>& addressees) {
        ASSERT_EQ(Rest("POST", "/messages/kim", test::SendDocument(type, "from rest", addressees)).status,
                  200);
    }

    int64_t Credit() { return store_.FindAccount("kim")->credit; }

    test::ScopedTimeZone zone_{"Asia/Seoul"};
    test::ScratchDirectory dir_;
    Store store_{dir_.Path() / "sandbox.db"};
    ManualClock clock_{kMarch5};
    LegacyService service_{store_, {0}, clock_.AsClock()};
    Service rest_{store_, {DefaultRealm(), 0}, clock_.AsClock()};
    LegacyAnswer last_;
};

TEST_F(LegacyServiceTest, LoginAnswersTheAccountsStatusAndFieldsAndLogsTheClient) {
    CTPMLParser packet;
    TPMLNode* user = AddLogin(packet);
    TPMLTree::AddElement(user, "STATUS");
    TPMLNode* refer = TPMLTree::AddElement(user, "REFER");
    for (const char* name : {"phone_return", "user_name", "shoe_size"}) TPMLTree::AddElement(refer, name);
    const auto reply = Exchange(packet);

    ASSERT_EQ(Names(reply->Root()), Names_{"USER"});
    const TPMLNode* answer = reply->FirstElement();
    EXPECT_EQ(Names(answer), (Names_{"LOGIN", "STATUS", "REFER"}));
    const TPMLNode* login = TPMLTree::FindChild(answer, "LOGIN");
    EXPECT_EQ(Attribute(login, "result"), "succeed");
    EXPECT_EQ(TPMLTree::GetChildText(login, "USER_ID"), "kim");
    EXPECT_FALSE(TPMLTree::GetChildText(login, "VERSION").empty());
    EXPECT_EQ(TPMLTree::GetChildText(login, "SERVERTIME"), std::to_string(kMarch5));
    EXPECT_EQ(TPMLTree::GetChildText(login, "PAYTYPE"), "prepaid");
    const TPMLNode* status = TPMLTree::FindChild(answer, "STATUS");
    EXPECT_EQ(TPMLTree::GetChildText(status, "CALL"), "100");
    EXPECT_EQ(TPMLTree::GetChildText(status, "POINT"), "0");
    EXPECT_EQ(TPMLTree::GetChildText(status, "FREE"), "0");
    const TPMLNode* fields = TPMLTree::FindChild(answer, "REFER");
    EXPECT_EQ(Names(fields), (Names_{"phone_return", "user_name", "shoe_size"}));
    EXPECT_EQ(TPMLTree::GetChildText(fields, "phone_return"), "02-123-4567");
    EXPECT_EQ(TPMLTree::GetChildText(fields, "user_name"), Utf8ToLocal(kNameUtf8));  // CP949 on the wire
    EXPECT_EQ(TPMLTree::GetChildText(fields, "shoe_size"), "");

    EXPECT_EQ(last_.summary,
              "kim USER macaddress=\"00-11-22-33-44-55\" computername=\"DESK\" username=\"clerk\" "
              "servicecode=\"\" modulename=\"host.exe\" login=succeed");
}

TEST_F(LegacyServiceTest, ARefusedLoginIsAnsweredAloneAndNothingElseOfThePacketIsDone) {
    struct Case {
        const char* what;
        std::string userId;
        std::string wirePassword;
    };
    const Case cases[] = {
        {"wrong password", "kim", test::Scrambled("wrong")},
        {"unknown user", "nobody", test::Scrambled("secret")},
        {"password not scrambled", "kim", "secret"},
        {"no password", "kim", ""},
        {"no user ID", "", test::Scrambled("secret")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CTPMLParser packet;
        TPMLTree::AddElement(AddLogin(packet, c.userId, c.wirePassword), "STATUS");
        AddSendSms(packet, {{"010-1111-2222"}});
        const auto reply = Exchange(packet);
        ASSERT_EQ(Names(reply->Root()), Names_{"USER"});
        EXPECT_EQ(Names(reply->FirstElement()), Names_{"LOGIN"});
        EXPECT_EQ(Attribute(TPMLTree::FindChild(reply->FirstElement(), "LOGIN"), "result"), "failed");
        EXPECT_TRUE(last_.summary.ends_with("login=failed")) << last_.summary;
    }
    EXPECT_EQ(Credit(), 100);
    EXPECT_TRUE(RestLogIndexes("/transfers/kim/all/202403").empty());
}

TEST_F(LegacyServiceTest, APacketThatDoesNotLogInFirstGetsOnlyAnError) {
    CTPMLParser statusOnly;
    TPMLTree::AddElement(AddRequest(statusOnly, "USER"), "STATUS");
    CTPMLParser sendFirst;
    AddSendSms(sendFirst, {{"010-1111-2222"}});
    AddLogin(sendFirst);
    CTPMLParser loginOnTop;
    TPMLTree::AddElement(loginOnTop.Root(), "LOGIN");
    struct Case {
        const char* what;
        std::string packet;
        const char* code;
    };
    const Case cases[] = {
        {"unparsable", "<USER type=\"request\">\n<LOGIN>\n", legacy_error::kBadDocument},
        {"text at the top", "hello", legacy_error::kBadDocument},
        {"empty", "", legacy_error::kNoLogin},
        {"USER without LOGIN", test::Text(statusOnly), legacy_error::kNoLogin},
        {"SENDSMS before USER", test::Text(sendFirst), legacy_error::kNoLogin},
        {"LOGIN outside USER", test::Text(loginOnTop), legacy_error::kNoLogin},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const LegacyAnswer answer = service_.Handle(c.packet, "127.0.0.9");
        const auto reply = test::ParseDocument(answer.document);
        ASSERT_EQ(Names(reply->Root()), Names_{"ERROR"});
        EXPECT_EQ(Attribute(reply->FirstElement(), "code"), c.code);
        EXPECT_FALSE(reply->FirstElement()->Value().empty());
        EXPECT_TRUE(answer.summary.starts_with(std::string("error ") + c.code)) << answer.summary;
    }
    EXPECT_EQ(Credit(), 100);
}

TEST_F(LegacyServiceTest, ElementsAreAnsweredInOrderAndUnknownOnesAreSkipped) {
    CTPMLParser packet;
    TPMLTree::AddElement(packet.Root(), "GREETING");
    AddLogin(packet);
    AddSendSms(packet, {{"010-1111-2222"}, {"010-3333-4444"}});
    TPMLTree::AddElement(packet.Root(), "FAREWELL");
    TPMLNode* status = AddRequest(packet, "USER");
    TPMLTree::AddElement(status, "STATUS");
    TPMLTree::AddElement(status, "LOGIN");  // only the first USER logs in
    const auto reply = Exchange(packet);

    ASSERT_EQ(Names(reply->Root()), (Names_{"USER", "SENDSMS", "USER"}));
    const TPMLNode* last = Elements(reply->Root())[2];
    EXPECT_EQ(Names(last), Names_{"STATUS"});
    // The status comes after the send, and shows its charge.
    EXPECT_EQ(TPMLTree::GetChildText(TPMLTree::FindChild(last, "STATUS"), "CALL"), "98");
    EXPECT_TRUE(last_.summary.starts_with("kim GREETING,USER,SENDSMS,FAREWELL,USER ")) << last_.summary;
}

TEST_F(LegacyServiceTest, ASendFollowsTheRestRulesAndShowsOverRestAsLegacy) {
    const std::string hangul = "\xEC\x95\x88\xEB\x85\x95";  // UTF-8
    const std::string tomorrow = FormatLocalTime(kMarch5 + kDay);
    // The client escapes user-supplied fields: a backslash doubled, a backslash before an apostrophe.
    const std::vector<SmsReceiver> receivers = {
        {"010-1234-5678", Utf8ToLocal(hangul) + " it\\'s a \\\\ test", "systemtime", "Office"},
        {"not-a-phone"},
        {"010-2222-3333", "later", tomorrow},
        {"010-4444-5555", "never", "2024-13-01 00:00:00"},
        {"010-5555-6666", "reserved without a time", ""},
    };
    EXPECT_EQ(Send(receivers),
              (Names_{"succeed/202403/1", "failed//", "succeed/202403/1", "failed//", "failed//"}));
    EXPECT_EQ(Credit(), 98);

    const TransferDetail detail = RestDetail("202403", "1");
    EXPECT_EQ(detail.via, "legacy");
    EXPECT_EQ(detail.type, "sms");
    EXPECT_EQ(detail.userIp, "127.0.0.9");
    EXPECT_EQ(detail.phoneBack, "02-555-1212");
    EXPECT_TRUE(detail.isReservation);  // one receiver is reserved; the direct one goes at once
    ASSERT_EQ(detail.receivers.size(), 2u);
    EXPECT_EQ(detail.receivers[0].phoneSend, "010-1234-5678");
    EXPECT_EQ(detail.receivers[0].name, "Office");
    // Read back through the REST reader, which hands out local text too.
    EXPECT_EQ(detail.receivers[0].message, Utf8ToLocal(hangul) + " it's a \\ test");
    EXPECT_EQ(detail.receivers[0].status, "3");  // gone and reported: no delivery delay
    EXPECT_EQ(detail.receivers[1].status, "1");  // waits for tomorrow
    const Transfer stored = *store_.FindTransfer(store_.FindAccount("kim")->id, {"202403", 1});
    EXPECT_EQ(stored.receivers[0].message, hangul + " it's a \\ test");  // UTF-8 in the store
    EXPECT_EQ(stored.sendTime, kMarch5);
}

TEST_F(LegacyServiceTest, ABatchBeyondTheCreditIsError200AndStoresNothing) {
    store_.SetUpAccount({"poor", "secret", 1, "Poor", "02-000-0000"});
    CTPMLParser packet;
    AddLogin(packet, "poor", test::Scrambled("secret"));
    AddSendSms(packet, {{"010-1111-2222"}, {"010-3333-4444"}});
    const auto reply = Exchange(packet);
    const TPMLNode* send = Answer(*reply, "SENDSMS");
    ASSERT_EQ(Names(send), Names_{"ERROR"});
    EXPECT_EQ(Attribute(TPMLTree::FindChild(send, "ERROR"), "code"), "200");
    EXPECT_EQ(store_.FindAccount("poor")->credit, 1);
    EXPECT_FALSE(store_.FindTransfer(store_.FindAccount("poor")->id, {"202403", 1}));
    // Rejected receivers cost nothing, so they do not tip the balance.
    CTPMLParser affordable;
    AddLogin(affordable, "poor", test::Scrambled("secret"));
    AddSendSms(affordable, {{"010-1111-2222"}, {"bad"}});
    EXPECT_EQ(Names(Answer(*Exchange(affordable), "SENDSMS")), (Names_{"RESULT", "RESULT"}));
    EXPECT_EQ(store_.FindAccount("poor")->credit, 0);
}

TEST_F(LegacyServiceTest, ASendThatListsNoReceiverOrAWrongCountIsRefused) {
    struct Case {
        const char* what;
        std::vector<SmsReceiver> receivers;
        const char* count;
    };
    const Case cases[] = {
        {"no receivers", {}, "0"},
        {"count too high", {{"010-1111-2222"}}, "2"},
        {"count not a number", {{"010-1111-2222"}}, "one"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto reply = ExchangeOne([&](CTPMLParser& p) {
            TPMLNode* send = AddSendSms(p, c.receivers);
            TPMLTree::FindChild(send, "COUNT")->SetValue(c.count);
        });
        const TPMLNode* send = Answer(*reply, "SENDSMS");
        ASSERT_EQ(Names(send), Names_{"ERROR"});
        EXPECT_EQ(Attribute(TPMLTree::FindChild(send, "ERROR"), "code"), legacy_error::kBadRequest);
    }
    EXPECT_EQ(Credit(), 100);
}

TEST_F(LegacyServiceTest, TheLogListsTextsFromBothProtocolsByMonthDaysAndReservation) {
    RestSend("sms", {{"010-1"}});  // 1: sms over REST
    RestSend("lms", {{"010-2"}});  // 2: not a text: the legacy log leaves it out
    Send({{"010-3", "mine", FormatLocalTime(kMarch5 + kDay)}});  // 3: reserved
    clock_.Set(kMarch5 + 10 * kHour);                            // the 6th
    Send({{"010-4"}, {"010-5"}});                                // 4

    auto list = [&](const char* listing, std::vector<std::string> keys) {
        const auto reply = ExchangeOne([&](CTPMLParser& p) {
            TPMLNode* element = TPMLTree::AddElement(AddRequest(p, "LOGLIST"), listing);
            for (const std::string& key : keys) TPMLTree::AddElement(element, "DATE", key);
        });
        std::vector<std::string> indexes;
        for (const TPMLNode* log : Elements(TPMLTree::FindChild(Answer(*reply, "LOGLIST"), listing), "LOG")) {
            indexes.push_back(Attribute(log, "index"));
        }
        return indexes;
    };
    EXPECT_EQ(list("REFER", {"202403"}), (Names_{"1", "3", "4"}));
    EXPECT_EQ(list("REFER", {"2024030505"}), (Names_{"1", "3"}));
    EXPECT_EQ(list("REFER", {"2024030600", "202402"}), (Names_{"4"}));
    EXPECT_EQ(list("REFERRES", {"202403"}), (Names_{"3"}));
    EXPECT_EQ(list("REFER", {}), Names_{});

    const auto reply = ExchangeOne([&](CTPMLParser& p) {
        TPMLTree::AddElement(TPMLTree::AddElement(AddRequest(p, "LOGLIST"), "REFER"), "DATE", "202403");
    });
    const std::vector<const TPMLNode*> logs =
        Elements(TPMLTree::FindChild(Answer(*reply, "LOGLIST"), "REFER"), "LOG");
    ASSERT_EQ(logs.size(), 3u);
    const TPMLNode* reserved = logs[1];
    EXPECT_EQ(Attribute(reserved, "date"), "202403");
    EXPECT_EQ(Attribute(reserved, "class"), "reservation");
    EXPECT_EQ(Attribute(reserved, "phoneSend"), "010-3");
    EXPECT_EQ(Attribute(reserved, "phoneBack"), "02-555-1212");
    EXPECT_EQ(Attribute(reserved, "message"), "mine");
    EXPECT_EQ(Attribute(reserved, "timeWrite"), std::to_string(kMarch5));
    EXPECT_EQ(Attribute(reserved, "timeSend"), std::to_string(kMarch5 + kDay));
    const TPMLNode* direct = logs[2];
    EXPECT_EQ(Attribute(direct, "class"), "direct");
    EXPECT_EQ(Attribute(direct, "countTotal"), "2");
    EXPECT_EQ(Attribute(direct, "countSucceed"), "2");  // reported at once without a delivery delay
    EXPECT_EQ(Attribute(direct, "countFailure"), "0");
    EXPECT_EQ(Attribute(logs[0], "message"), "from rest");
}

TEST_F(LegacyServiceTest, AMalformedDateKeyRefusesTheWholeLogListBeforeAnythingIsDone) {
    Send({{"010-1"}});
    for (const char* key : {"2024", "202413", "2024033201", "20240a", ""}) {
        SCOPED_TRACE(key);
        const auto reply = ExchangeOne([&](CTPMLParser& p) {
            TPMLNode* list = AddRequest(p, "LOGLIST");
            AddKey(TPMLTree::AddElement(list, "DROP"), "LOG", "202403", "1");
            TPMLTree::AddElement(TPMLTree::AddElement(list, "REFER"), "DATE", key);
        });
        const TPMLNode* list = Answer(*reply, "LOGLIST");
        ASSERT_EQ(Names(list), Names_{"ERROR"});
        EXPECT_EQ(Attribute(TPMLTree::FindChild(list, "ERROR"), "code"), legacy_error::kBadRequest);
    }
    EXPECT_EQ(RestLogIndexes("/transfers/kim/all/202403"), Names_{"1"});  // not dropped
}

TEST_F(LegacyServiceTest, DropAndCancelFollowTheRestRules) {
    Send({{"010-1"}});  // 1: direct
    const std::string tomorrow = FormatLocalTime(kMarch5 + kDay);
    Send({{"010-2", "later", tomorrow}, {"010-3", "later", tomorrow}});  // 2: reserved, costs 2
    RestSend("lms", {{"010-4", kMarch5 + kDay}});                        // 3: reserved, not a text
    ASSERT_EQ(Credit(), 100 - 1 - 2 - 3);

    const auto reply = ExchangeOne([&](CTPMLParser& p) {
        TPMLNode* list = AddRequest(p, "LOGLIST");
        TPMLNode* cancel = TPMLTree::AddElement(list, "CANCEL");
        for (const char* index : {"2", "2", "1", "3", "9", "x"}) AddKey(cancel, "LOG", "202403", index);
        TPMLNode* drop = TPMLTree::AddElement(list, "DROP");
        for (const char* index : {"1", "1", "3", "9"}) AddKey(drop, "LOG", "202403", index);
    });
    const TPMLNode* list = Answer(*reply, "LOGLIST");
    ASSERT_EQ(Names(list), (Names_{"CANCEL", "DROP"}));
    std::vector<std::string> cancels;
    for (const TPMLNode* log : Elements(TPMLTree::FindChild(list, "CANCEL"), "LOG")) {
        cancels.push_back(Attribute(log, "index") + ":" + Attribute(log, "result") + "/" +
                          Attribute(log, "countTotal") + "/" + Attribute(log, "countCanceled") + "/" +
                          Attribute(log, "countRemain"));
    }
    EXPECT_EQ(cancels, (Names_{"2:succeed/2/2/0", "2:failed/2/0/2", "1:failed/1/0/1", "3:failed/0/0/0",
                               "9:failed/0/0/0", "x:failed/0/0/0"}));
    std::vector<std::string> drops;
    for (const TPMLNode* log : Elements(TPMLTree::FindChild(list, "DROP"), "LOG")) {
        drops.push_back(Attribute(log, "date") + "/" + Attribute(log, "index") + ":" +
                        Attribute(log, "result"));
    }
    EXPECT_EQ(drops, (Names_{"202403/1:succeed", "202403/1:failed", "202403/3:failed", "202403/9:failed"}));

    EXPECT_EQ(Credit(), 100 - 1 - 3);  // the cancelled reservation's cost came back
    EXPECT_EQ(RestLogIndexes("/transfers/kim/all/202403"), (Names_{"2", "3"}));
    EXPECT_EQ(RestDetail("202403", "2").receivers[0].result, "3");  // cancelled, as REST shows it
}

TEST_F(LegacyServiceTest, TheDetailShowsEachReceiversDeliveryAsTheClientReadsIt) {
    LegacyService delayed{store_, {30}, clock_.AsClock()};
    CTPMLParser packet;
    AddLogin(packet);
    AddSendSms(packet, {{"010-1111-2222", "one"}, {"010-3333-0000", "two"}});
    const auto sent = test::ParseDocument(delayed.Handle(test::Text(packet), "127.0.0.9").document);
    ASSERT_EQ(Names(Answer(*sent, "SENDSMS")), (Names_{"RESULT", "RESULT"}));
    Send({{"010-5", "reserved", FormatLocalTime(kMarch5 + kDay)}});  // 2

    auto detail = [&](std::vector<std::pair<std::string, std::string>> keys) {
        return ExchangeOne([&](CTPMLParser& p) {
            TPMLNode* request = AddRequest(p, "LOGDETAIL");
            for (const auto& [date, index] : keys) AddKey(request, "REFER", date, index);
        });
    };
    auto states = [&](const TPMLNode* group) {
        std::vector<std::string> out;
        for (const TPMLNode* log : Elements(group, "LOG")) {
            out.push_back(Attribute(log, "index") + ":" + Attribute(log, "phoneSend") + "/" +
                          Attribute(log, "message") + "/" + Attribute(log, "status") + "/" +
                          Attribute(log, "result") + "/" + Attribute(log, "tranDate"));
        }
        return out;
    };
    auto reply = detail({{"202403", "1"}, {"202403", "9"}, {"202403", "2"}});
    std::vector<const TPMLNode*> groups = Elements(Answer(*reply, "LOGDETAIL"), "REFER");
    ASSERT_EQ(groups.size(), 3u);
    EXPECT_EQ(Attribute(groups[0], "date"), "202403");
    EXPECT_EQ(Attribute(groups[0], "index"), "1");
    EXPECT_EQ(Attribute(groups[0], "phoneBack"), "02-555-1212");
    EXPECT_EQ(Attribute(groups[0], "tranDate"), "2024-03-05 14:07:09");
    EXPECT_EQ(states(groups[0]), (Names_{"1:010-1111-2222/one/2/1/", "2:010-3333-0000/two/2/1/"}));
    // An unknown transfer reads as one without receivers, as over REST.
    EXPECT_EQ(Attribute(groups[1], "index"), "9");
    EXPECT_TRUE(Elements(groups[1]).empty());
    EXPECT_EQ(states(groups[2]), Names_{"1:010-5/reserved/1/1/"});

    clock_.Advance(30);
    reply = detail({{"202403", "1"}});
    EXPECT_EQ(states(Elements(Answer(*reply, "LOGDETAIL"), "REFER")[0]),
              (Names_{"1:010-1111-2222/one/3/0/2024-03-05 14:07:39",
                      "2:010-3333-0000/two/3/2/2024-03-05 14:07:39"}));

    // A cancelled receiver has no word of its own in the legacy vocabulary: failed.
    ASSERT_EQ(Rest("PUT", "/transfers/kim/cancel", test::LogsDocument({{"2", "202403", "sms"}})).status, 200);
    reply = detail({{"202403", "2"}});
    EXPECT_EQ(states(Elements(Answer(*reply, "LOGDETAIL"), "REFER")[0]), Names_{"1:010-5/reserved/1/1/"});

    for (const auto& [date, index] : std::vector<std::pair<std::string, std::string>>{
             {"2024", "1"}, {"202403", "0"}, {"202403", ""}, {"202413", "1"}}) {
        SCOPED_TRACE(date + "/" + index);
        reply = detail({{"202403", "1"}, {date, index}});
        const TPMLNode* answer = Answer(*reply, "LOGDETAIL");
        ASSERT_EQ(Names(answer), Names_{"ERROR"});
        EXPECT_EQ(Attribute(TPMLTree::FindChild(answer, "ERROR"), "code"), legacy_error::kBadRequest);
    }
}

TEST_F(LegacyServiceTest, TextsFromRestReachTheLegacyClientInItsCodePage) {
    const std::string ga = "\xB0\xA1";  // "가" in CP949, as the component writes it
    ASSERT_EQ(Rest("POST", "/messages/kim", test::SendDocument("sms", "hi " + ga, {{"010-1"}})).status, 200);
    const auto reply = ExchangeOne([&](CTPMLParser& p) {
        AddKey(AddRequest(p, "LOGDETAIL"), "REFER", "202403", "1");
        TPMLTree::AddElement(TPMLTree::AddElement(AddRequest(p, "LOGLIST"), "REFER"), "DATE", "202403");
    });
    const std::vector<const TPMLNode*> top = Elements(reply->Root());
    ASSERT_EQ(top.size(), 3u);
    const TPMLNode* group = TPMLTree::FindChild(top[1], "REFER");
    EXPECT_EQ(Attribute(group, "message"), "hi " + ga);
    EXPECT_EQ(Attribute(TPMLTree::FindChild(group, "LOG"), "message"), "hi " + ga);
    EXPECT_EQ(Attribute(TPMLTree::FindChild(TPMLTree::FindChild(top[2], "REFER"), "LOG"), "message"),
              "hi " + ga);
}

// The protocol a transfer came through is kept since the legacy listener exists; a store written
// before knew only REST.
TEST(LegacyStoreTest, TransfersOfAStoreFromBeforeTheLegacyListenerShowAsSentOverRest) {
    test::ScratchDirectory dir;
    const std::filesystem::path file = dir.Path() / "sandbox.db";
    TransferKey key;
    {
        Store store(file);
        store.SetUpAccount({"kim", "secret", 100, "Kim", "02-000-0000"});
        NewTransfer t;
        t.month = "202403";
        t.type = "sms";
        t.via = "legacy";
        t.receivers.push_back(PlanDelivery("010-1", "", "hi", kMarch5, kMarch5, 0));
        key = *store.AddTransfer(store.FindAccount("kim")->id, t).key;
        EXPECT_EQ(store.FindTransfer(store.FindAccount("kim")->id, key)->via, "legacy");
    }
    {
        Database old(file);
        old.Execute("ALTER TABLE transfers DROP COLUMN via; UPDATE schema_version SET version = 1");
    }
    Store migrated(file);
    EXPECT_EQ(migrated.SchemaVersion(), CurrentSchemaVersion());
    EXPECT_EQ(migrated.FindTransfer(migrated.FindAccount("kim")->id, key)->via, "rest");
}

}  // namespace
}  // namespace vexa::sandbox
