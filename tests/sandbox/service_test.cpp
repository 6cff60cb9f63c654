// The service behind the listeners, with its clock in the test's hand: every request answered
// as the component would read it, with the component's own readers.
#include "sandbox/service.h"

#include <gtest/gtest.h>

#include "automation/text.h"
#include "rest/entity.h"
#include "sandbox/local_time.h"
#include "sandbox/sandbox.h"
#include "sandbox_fixture.h"

namespace vexa::sandbox {
namespace {

using test::Addressee;
using test::kDay;
using test::kHour;
using test::kMarch5;
using test::ReadReply;
using test::SendDocument;

constexpr const char* kBase = "http://sandbox.test:8080";

class ServiceTest : public testing::Test {
protected:
    ServiceTest() {
        store_.SetUpAccount({"kim", "secret", 100, "Kim", "02-123-4567"});
        store_.SetUpAccount({"lee", "secret", 100, "Lee", "02-999-9999"});
    }

    ServiceRequest Request(const std::string& method, const std::string& target, const std::string& body = "",
                           const std::string& user = "kim") const {
        ServiceRequest r;
        r.method = method;
        r.target = target;
        r.authorization = test::BasicAuthorization(user, "secret");
        r.realm = DefaultRealm();
        r.body = body;
        r.baseUrl = kBase;
        r.remoteAddress = "127.0.0.9";
        return r;
    }

    ServiceReply Send(const std::string& body) {
        return service_.Handle(Request("POST", "/messages/kim", body));
    }

    // The send's transfer key, from the reply the component reads.
    CRondoMessages SendOk(const std::string& body) {
        const ServiceReply reply = Send(body);
        EXPECT_EQ(reply.status, 200) << reply.body;
        CRondoMessages messages{ServiceContext{}};
        EXPECT_TRUE(ReadReply(messages, reply, "/messages/kim"));
        return messages;
    }

    CRondoTransfers Detail(const std::string& month, const std::string& index,
                           const std::string& type = "all") {
        const std::string path = "/transfers/kim/detail/" + type + "/" + month + "/" + index;
        const ServiceReply reply = service_.Handle(Request("GET", path));
        EXPECT_EQ(reply.status, 200) << reply.body;
        CRondoTransfers transfers{ServiceContext{}};
        EXPECT_TRUE(ReadReply(transfers, reply, path));
        return transfers;
    }

    std::vector<LogRecord> Logs(const std::string& path) {
        const ServiceReply reply = service_.Handle(Request("GET", path));
        EXPECT_EQ(reply.status, 200) << reply.body;
        CRondoTransfers transfers{ServiceContext{}};
        EXPECT_TRUE(ReadReply(transfers, reply, path));
        return transfers.logs.records;
    }

    std::vector<LogRecord> Change(const std::string& method, const std::string& path,
                                  const std::vector<LogKey>& keys) {
        const ServiceReply reply = service_.Handle(Request(method, path, test::LogsDocument(keys)));
        EXPECT_EQ(reply.status, 200) << reply.body;
        CRondoTransfers transfers{ServiceContext{}};
        EXPECT_TRUE(ReadReply(transfers, reply, path));
        return transfers.logs.records;
    }

    int64_t Credit() { return store_.FindAccount("kim")->credit; }

    test::ScopedTimeZone zone_{"Asia/Seoul"};
    test::ScratchDirectory dir_;
    Store store_{dir_.Path() / "sandbox.db"};
    ManualClock clock_{kMarch5};
    Service service_{store_, {DefaultRealm(), 0}, clock_.AsClock()};
};

TEST_F(ServiceTest, AcceptsReceiversOneByOneAndChargesTheAcceptedOnes) {
    const CRondoMessages reply = SendOk(SendDocument(
        "lms", "common", {{"010-1111-2222"}, {""}, {"010-abc"}, {"010-3333-0000", 0, "own"}, {"010-4444"}}));
    const std::vector<ReceiverRecord>& r = reply.message.receivers;
    ASSERT_EQ(r.size(), 5u);
    const char* results[] = {"succeed", "fail", "fail", "succeed", "succeed"};
    for (size_t i = 0; i < r.size(); ++i) {
        EXPECT_EQ(r[i].result, results[i]) << i;
        EXPECT_EQ(r[i].index, r[i].result == "succeed" ? "1" : "") << i;
        EXPECT_EQ(r[i].date, r[i].result == "succeed" ? "202403" : "") << i;
    }
    EXPECT_EQ(r[1].phone, "");
    EXPECT_EQ(r[2].phone, "010-abc");
    EXPECT_EQ(r[3].message, "own");
    EXPECT_EQ(r[0].message, "common");
    EXPECT_EQ(Credit(), 100 - 3 * 3);
    // The reply's info already shows what is left, as the component's login information reads it.
    EXPECT_EQ(reply.Info().status.call, 91);
    EXPECT_EQ(reply.Info().status.userName, "Kim");
    EXPECT_EQ(reply.Info().selfLink, std::string(kBase) + "/messages/kim");

    const CRondoTransfers detail = Detail("202403", "1");
    ASSERT_EQ(detail.detail.detail.receivers.size(), 3u);
    EXPECT_EQ(detail.detail.detail.countTotal, 3);
    EXPECT_EQ(detail.detail.detail.userIp, "127.0.0.9");
    EXPECT_EQ(detail.detail.detail.phoneBack, "02-123-4567");  // no sender: the account's own
}

TEST_F(ServiceTest, ABatchTheCreditDoesNotCoverIs540AndStoresNothing) {
    // 17 MMS receivers cost 102 of 100.
    std::vector<Addressee> many(17, Addressee{"010-1234-5678"});
    const ServiceReply reply = Send(SendDocument("mms", "x", many));
    EXPECT_EQ(reply.status, 540);
    EXPECT_EQ(reply.contentType, kXmlContentType);
    EXPECT_NE(reply.body.find("<code>not-enough-credit</code>"), std::string::npos);
    // The credit it tells is the one the store holds, untouched.
    EXPECT_NE(reply.body.find("the batch costs 102 and the credit is 100"), std::string::npos) << reply.body;
    EXPECT_NE(reply.body.find("<call>100</call>"), std::string::npos) << reply.body;
    EXPECT_EQ(Credit(), 100);
    EXPECT_TRUE(Logs("/transfers/kim/all/202403").empty());
    // Rejected receivers cost nothing, so they do not tip the balance.
    many.resize(16);
    many.push_back({"not-a-phone"});
    EXPECT_EQ(SendOk(SendDocument("mms", "x", many)).message.receivers.size(), 17u);
    EXPECT_EQ(Credit(), 4);
}

TEST_F(ServiceTest, ABatchWithoutAnAcceptableReceiverStoresNoTransfer) {
    const CRondoMessages reply = SendOk(SendDocument("sms", "x", {{""}, {"abc"}}));
    EXPECT_EQ(reply.message.receivers[0].result, "fail");
    EXPECT_EQ(reply.message.receivers[1].result, "fail");
    EXPECT_EQ(Credit(), 100);
    EXPECT_TRUE(Logs("/transfers/kim/all/202403").empty());
    // So the next transfer is still the first of the month.
    EXPECT_EQ(SendOk(SendDocument("sms", "x", {{"010-1"}})).message.receivers[0].index, "1");
}

TEST_F(ServiceTest, KoreanTextTravelsAsUtf8AndReadsBackAsTheComponentsLocalText) {
    const std::string gaLocal = "\xB0\xA1";  // "가" in the component's code page
    SendOk(SendDocument("sms", "hi " + gaLocal, {{"010-1", 0, "", gaLocal + gaLocal}}));
    const TransferKey key{"202403", 1};
    const Transfer stored = *store_.FindTransfer(store_.FindAccount("kim")->id, key);
    EXPECT_EQ(stored.message, "hi \xEA\xB0\x80");
    EXPECT_EQ(stored.receivers[0].name, "\xEA\xB0\x80\xEA\xB0\x80");
    const CRondoTransfers detail = Detail("202403", "1");
    EXPECT_EQ(detail.detail.detail.message, "hi " + gaLocal);
    EXPECT_EQ(detail.detail.detail.receivers[0].name, gaLocal + gaLocal);
    // A receiver without a text of its own got the common one.
    EXPECT_EQ(detail.detail.detail.receivers[0].message, "hi " + gaLocal);
}

TEST_F(ServiceTest, DeliveryStatesFollowTheClock) {
    Service delayed{store_, {DefaultRealm(), 30}, clock_.AsClock()};
    const int64_t reserved = kMarch5 + 2 * kHour;
    ASSERT_EQ(
        delayed
            .Handle(Request("POST", "/messages/kim",
                            SendDocument("sms", "x", {{"010-1111"}, {"010-2222", reserved}, {"010-0000"}})))
            .status,
        200);
    auto states = [&] {
        std::vector<std::string> out;
        for (const DetailRecord& r : Detail("202403", "1").detail.detail.receivers) {
            out.push_back(r.status + "/" + r.result + "/" + r.tranDate);
        }
        return out;
    };
    using States = std::vector<std::string>;
    EXPECT_EQ(states(), (States{"2/1/", "1/1/", "2/1/"}));
    clock_.Advance(30);
    EXPECT_EQ(states(), (States{"3/0/2024-03-05 14:07:39", "1/1/", "3/2/2024-03-05 14:07:39"}));
    clock_.Set(reserved);
    EXPECT_EQ(states()[1], "2/1/");
    clock_.Set(reserved + 30);
    EXPECT_EQ(states()[1], "3/0/2024-03-05 16:07:39");
    const std::vector<LogRecord> logs = Logs("/transfers/kim/all/202403");
    ASSERT_EQ(logs.size(), 1u);
    EXPECT_EQ(logs[0].countSuccess, 2);
    EXPECT_EQ(logs[0].countFailure, 1);
}

TEST_F(ServiceTest, ListsTheMonthByDaysTypeAndReservation) {
    SendOk(SendDocument("sms", "first", {{"010-1"}}));                   // 1: 5th, sms
    SendOk(SendDocument("lms", "second", {{"010-2", kMarch5 + kDay}}));  // 2: 5th, lms, reserved
    clock_.Set(kMarch5 + 10 * kHour);                                    // past midnight: the 6th
    SendOk(SendDocument("sms", "third", {{"010-3"}}));                   // 3: 6th, sms
    clock_.Set(kMarch5 + 30 * kDay);                                     // April 4th
    SendOk(SendDocument("sms", "april", {{"010-4"}}));                   // 202404 1

    auto indexes = [&](const std::string& path) {
        std::string out;
        for (const LogRecord& r : Logs(path)) out += r.index;
        return out;
    };
    EXPECT_EQ(indexes("/transfers/kim/all/202403"), "123");
    EXPECT_EQ(indexes("/transfers/kim/sms/202403"), "13");
    EXPECT_EQ(indexes("/transfers/kim/LMS/202403"), "2");
    EXPECT_EQ(indexes("/transfers/kim/all/202403/reservation"), "2");
    EXPECT_EQ(indexes("/transfers/kim/all/2024030500"), "123");
    EXPECT_EQ(indexes("/transfers/kim/all/2024030005"), "12");
    EXPECT_EQ(indexes("/transfers/kim/all/2024030606"), "3");
    EXPECT_EQ(indexes("/transfers/kim/all/2024030731"), "");
    EXPECT_EQ(indexes("/transfers/kim/all/202404"), "1");

    const std::vector<LogRecord> march = Logs("/transfers/kim/all/202403");
    EXPECT_EQ(march[0].type, "sms");
    EXPECT_FALSE(march[0].isReservation);
    EXPECT_EQ(march[0].timeSend, std::to_string(kMarch5));
    EXPECT_EQ(march[0].timeWrite, std::to_string(kMarch5));
    EXPECT_EQ(march[0].message, "first");
    EXPECT_EQ(march[0].phoneSend, "010-1");
    EXPECT_TRUE(march[1].isReservation);
    EXPECT_EQ(march[1].timeSend, std::to_string(kMarch5 + kDay));
    EXPECT_FALSE(march[1].canCancel);  // April: long past
    // Another account sees none of it.
    const ServiceReply lee = service_.Handle(Request("GET", "/transfers/lee/all/202403", "", "lee"));
    CRondoTransfers transfers{ServiceContext{}};
    ASSERT_TRUE(ReadReply(transfers, lee, "/transfers/lee/all/202403"));
    EXPECT_TRUE(transfers.logs.records.empty());
}

TEST_F(ServiceTest, CancelsAReservationBeforeItsTimeAndRefundsIt) {
    const int64_t reserved = kMarch5 + kHour;
    SendOk(SendDocument("lms", "later", {{"010-1", reserved}, {"010-2", reserved + kHour}}));
    SendOk(SendDocument("lms", "due soon", {{"010-3", reserved}}));
    SendOk(SendDocument("sms", "now", {{"010-4"}}));
    EXPECT_EQ(Credit(), 100 - 9 - 1);
    EXPECT_TRUE(Logs("/transfers/kim/all/202403")[0].canCancel);

    clock_.Set(reserved - 1);
    const std::vector<LogRecord> results = Change(
        "PUT", "/transfers/kim/cancel",
        {{"1", "202403", "lms"}, {"3", "202403", "sms"}, {"9", "202403", "all"}, {"1", "202403", "all"}});
    ASSERT_EQ(results.size(), 4u);
    EXPECT_EQ(results[0].result, "succeed");
    EXPECT_EQ(std::tuple(results[0].countTotal, results[0].countSuccess, results[0].countFailure),
              std::tuple(2, 2, 0));
    EXPECT_EQ(results[1].result, "fail");  // not a reservation
    EXPECT_EQ(std::tuple(results[1].countTotal, results[1].countSuccess, results[1].countFailure),
              std::tuple(1, 0, 1));
    EXPECT_EQ(results[2].result, "fail");  // unknown
    EXPECT_EQ(results[2].countTotal, 0);
    EXPECT_EQ(results[3].result, "fail");  // already cancelled
    EXPECT_EQ(Credit(), 100 - 3 - 1);

    const CRondoTransfers detail = Detail("202403", "1");
    EXPECT_FALSE(detail.detail.detail.canCancel);
    EXPECT_EQ(detail.detail.detail.countFailure, 2);
    for (const DetailRecord& r : detail.detail.detail.receivers) {
        EXPECT_EQ(r.status, "1");
        EXPECT_EQ(r.result, std::to_string(kResultCancelled));
    }
    // Time passes: a cancelled receiver never goes out, and a due reservation cannot be cancelled.
    clock_.Set(reserved + 2 * kHour);
    EXPECT_EQ(Detail("202403", "1").detail.detail.receivers[1].status, "1");
    const std::vector<LogRecord> late = Change("PUT", "/transfers/kim/cancel", {{"2", "202403", "lms"}});
    EXPECT_EQ(late[0].result, "fail");
    EXPECT_EQ(Credit(), 100 - 3 - 1);
}

TEST_F(ServiceTest, DeletesTransfersOfTheAccountOnly) {
    SendOk(SendDocument("sms", "a", {{"010-1"}}));
    SendOk(SendDocument("sms", "b", {{"010-1"}}));
    const std::vector<LogRecord> results = Change("DELETE", "/transfers/kim",
                                                  {{"1", "202403", "sms"},
                                                   {"1", "202403", "sms"},
                                                   {"2", "202403", "lms"},
                                                   {"7", "202403", "sms"},
                                                   {"x", "202403", "sms"},
                                                   {"2", "2024-3", "sms"}});
    std::string outcome;
    for (const LogRecord& r : results) outcome += r.result == "succeed" ? 'S' : 'F';
    EXPECT_EQ(outcome, "SFFFFF");
    EXPECT_EQ(results[0].index, "1");
    EXPECT_EQ(results[0].date, "202403");
    EXPECT_EQ(results[0].type, "sms");
    const std::vector<LogRecord> left = Logs("/transfers/kim/all/202403");
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(left[0].index, "2");
    // Another account cannot delete it.
    const ServiceReply lee = service_.Handle(
        Request("DELETE", "/transfers/lee", test::LogsDocument({{"2", "202403", "sms"}}), "lee"));
    EXPECT_NE(lee.body.find("<result>fail</result>"), std::string::npos);
    // The deleted one still reads, marked so.
    const CRondoTransfers deleted = Detail("202403", "1");
    EXPECT_TRUE(deleted.detail.detail.isDeleted);
    EXPECT_EQ(deleted.detail.detail.timeDelete, std::to_string(kMarch5));
}

TEST_F(ServiceTest, DetailCarriesImagesAsAbsoluteUrlsAndAnUnknownTransferReadsEmpty) {
    const std::string jpeg = "\xFF\xD8\xFF\xE0 picture bytes";
    const std::string uri = "data:image/jpeg;base64,/9j/4CBwaWN0dXJlIGJ5dGVz\r\n";
    SendOk(SendDocument("mms", "look", {{"010-1"}}, {uri, uri}));
    const CRondoTransfers detail = Detail("202403", "1", "mms");
    EXPECT_EQ(detail.detail.detail.imageUrls,
              (std::vector<std::string>{std::string(kBase) + "/images/kim/202403/1/1.jpg",
                                        std::string(kBase) + "/images/kim/202403/1/2.jpg"}));
    const ServiceReply image = service_.Handle(Request("GET", "/images/kim/202403/1/2.jpg"));
    EXPECT_EQ(image.status, 200);
    EXPECT_EQ(image.contentType, "image/jpeg");
    EXPECT_EQ(image.body, jpeg);
    for (const char* missing : {"/images/kim/202403/1/3.jpg", "/images/kim/202403/2/1.jpg",
                                "/images/kim/202403/1/1.png", "/images/kim/2024-3/1/1.jpg"}) {
        EXPECT_EQ(service_.Handle(Request("GET", missing)).status, 404) << missing;
    }
    EXPECT_EQ(service_.Handle(Request("GET", "/images/kim/202403/1/1.jpg", "", "lee")).status, 401);

    // A type word that is not the transfer's, or no such transfer: a detail without receivers.
    for (const CRondoTransfers& empty : {Detail("202403", "1", "sms"), Detail("202403", "2")}) {
        EXPECT_TRUE(empty.detail.detail.receivers.empty());
        EXPECT_EQ(empty.detail.detail.index, "");
        EXPECT_EQ(empty.Info().status.call, 94);
    }
}

TEST_F(ServiceTest, RefusesWhatItCannotRead) {
    const struct {
        const char* method;
        const char* target;
        std::string body;
    } cases[] = {
        {"POST", "/messages/kim", ""},
        {"POST", "/messages/kim", "<messages><type>sms</type>"},
        {"POST", "/messages/kim", "<logs/>"},
        {"POST", "/messages/kim", SendDocument("xms", "x", {{"010-1"}})},
        {"POST", "/messages/kim", SendDocument("sms", "x", {})},
        {"POST", "/messages/kim", SendDocument("sms", "x", {{"010-1"}}, {"data:image/jpeg;base64,/9j/"})},
        {"POST", "/messages/kim", SendDocument("mms", "x", {{"010-1"}}, {"http://elsewhere/p.jpg"})},
        {"POST", "/messages/kim", SendDocument("mms", "x", {{"010-1"}}, {"data:image/jpeg;base64,"})},
        {"POST", "/messages/kim", SendDocument("mms", "x", {{"010-1"}}, {"data:image/jpeg;base64,!!"})},
        {"POST", "/messages/kim",
         "<messages><type>sms</type><count>2</count><receivers><receiver><phone>1</phone></receiver>"
         "</receivers></messages>"},
        {"POST", "/messages/kim",
         "<!DOCTYPE messages [<!ENTITY x SYSTEM \"file:///etc/passwd\">]><messages><type>sms</type>"
         "<receivers><receiver><phone>&x;</phone></receiver></receivers></messages>"},
        {"GET", "/transfers/kim/xms/202403", ""},
        {"GET", "/transfers/kim/all/202413", ""},
        {"GET", "/transfers/kim/all/2024033201", ""},
        {"GET", "/transfers/kim/detail/all/202403/0", ""},
        {"GET", "/transfers/kim/detail/all/2024/1", ""},
        {"GET", "/transfers/kim/detail/xms/202403/1", ""},
        {"DELETE", "/transfers/kim", ""},
        {"DELETE", "/transfers/kim", "<logs/>"},
        {"PUT", "/transfers/kim/cancel", "<messages/>"},
    };
    for (const auto& c : cases) {
        const ServiceReply reply = service_.Handle(Request(c.method, c.target, c.body));
        EXPECT_EQ(reply.status, 400) << c.target << " " << c.body;
        EXPECT_EQ(reply.contentType, kXmlContentType);
        CRondoTransfers reader{ServiceContext{}};
        // A status other than 200 is not read by the component; read it here all the same.
        ASSERT_TRUE(reader.LoadDocument(reply.body)) << reply.body;
        const std::string root = reader.NodeName(xmlDocGetRootElement(reader.Document()));
        EXPECT_EQ(root, std::string(c.target).starts_with("/messages") ? "messages" : "transfers");
        CRondoUserInfo info;
        info.LoadFromNode(reader.FindChildElement(xmlDocGetRootElement(reader.Document()), "info"));
        EXPECT_EQ(info.errorCode, "bad-request") << reply.body;
        EXPECT_FALSE(info.errorMessage.empty());
        EXPECT_EQ(info.status.userId, "kim");
    }
    EXPECT_EQ(Credit(), 100);
}

TEST_F(ServiceTest, OnlyTheAccountsOwnCredentialsInTheRealmGetIn) {
    ServiceRequest request = Request("GET", "/users/kim/status");
    EXPECT_EQ(service_.Handle(request).status, 200);
    const struct {
        const char* authorization;
        const char* realm;
        const char* target;
    } refused[] = {
        {"wrong", nullptr, nullptr},
        {"", nullptr, nullptr},
        {nullptr, "", nullptr},
        {nullptr, "other.example", nullptr},
        {nullptr, nullptr, "/users/lee/status"},
        {nullptr, nullptr, "/transfers/lee/all/202403"},
    };
    for (const auto& c : refused) {
        ServiceRequest r = Request("GET", c.target ? c.target : "/users/kim/status");
        if (c.authorization) {
            r.authorization = std::string(c.authorization) == "wrong"
                                  ? test::BasicAuthorization("kim", "Secret")
                                  : c.authorization;
        }
        if (c.realm) r.realm = c.realm;
        const ServiceReply reply = service_.Handle(r);
        EXPECT_EQ(reply.status, 401) << r.target << " " << r.realm;
        EXPECT_NE(reply.body.find("<code>unauthorized</code>"), std::string::npos);
        EXPECT_EQ(reply.body.find("<status>"), std::string::npos);
        bool challenged = false;
        for (const auto& [name, value] : reply.headers) {
            challenged |= name == "WWW-Authenticate" && value == "Basic realm=\"" + DefaultRealm() + "\"";
        }
        EXPECT_TRUE(challenged);
    }
    // What no resource answers is 404, whoever asks.
    for (const char* target : {"/", "/users/kim", "/messages/kim/1", "/transfers/kim/detail/sms/202403"}) {
        EXPECT_EQ(service_.Handle(Request("PATCH", target)).status, 404) << target;
    }
    EXPECT_EQ(service_.Handle(Request("GET", "/status")).status, 404);
}

TEST_F(ServiceTest, UsersReplyAndDateHeader) {
    const ServiceReply reply = service_.Handle(Request("GET", "/users/kim/status"));
    EXPECT_EQ(reply.contentType, kXmlContentType);
    EXPECT_TRUE(reply.body.starts_with("<?xml version=\"1.0\" encoding=\"UTF-8\"?>")) << reply.body;
    bool dated = false;
    for (const auto& [name, value] : reply.headers) dated |= name == "Date" && value == HttpDate(kMarch5);
    EXPECT_TRUE(dated);
    CRondoUsers users{ServiceContext{}};
    ASSERT_TRUE(ReadReply(users, reply, "/users/kim/status"));
    for (const CRondoUserStatus* status : {&std::as_const(users).status, &users.Info().status}) {
        EXPECT_EQ(status->userId, "kim");
        EXPECT_EQ(status->userName, "Kim");
        EXPECT_EQ(status->phoneReturn, "02-123-4567");
        EXPECT_EQ(status->phoneReturns, std::vector<std::string>{"02-123-4567"});
        EXPECT_EQ(status->call, 100);
        EXPECT_EQ(status->free, 0);
        EXPECT_EQ(status->payType, "prepaid");
    }
    EXPECT_EQ(users.Info().selfLink, std::string(kBase) + "/users/kim/status");
}

}  // namespace
}  // namespace vexa::sandbox
