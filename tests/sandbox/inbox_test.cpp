// The web inbox through Service::Handle, with the clock in the test's hand: its pages and their
// JSON, filters and search, escaping, delivery states moving with time, the access rule, and
// actions that the service's own API then shows.
#include "sandbox/inbox.h"

#include <boost/property_tree/json_parser.hpp>
#include <boost/property_tree/ptree.hpp>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <regex>
#include <sstream>

#include "rest/entity.h"
#include "sandbox/local_time.h"
#include "sandbox/operations.h"
#include "sandbox/sandbox.h"
#include "sandbox_fixture.h"

namespace vexa::sandbox {
namespace {

using test::kDay;
using test::kHour;
using test::kMarch5;
using testing::HasSubstr;
using testing::Not;
using Tree = boost::property_tree::ptree;
using Keys = std::vector<std::string>;  // "month/index"

constexpr const char* kBase = "http://127.0.0.1:8080";
constexpr const char* kToken = "0123456789abcdef-token";
constexpr int64_t kDelay = 60;
// 40 x 30 pixels, as its frame header says.
const std::string kJpeg(
    "\xFF\xD8\xFF\xE0\x00\x10JFIF\x00\x01\x01\x00\x00\x01\x00\x01\x00\x00"
    "\xFF\xC0\x00\x11\x08\x00\x1E\x00\x28\x03\x01\x22\x00\x02\x11\x01\x03\x11\x01\xFF\xD9",
    41);
const std::string kHostile = "<script>alert(1)</script>\"'&";

Tree Json(const ServiceReply& reply) {
    EXPECT_EQ(reply.contentType, "application/json; charset=utf-8");
    Tree tree;
    std::istringstream in(reply.body);
    boost::property_tree::read_json(in, tree);
    return tree;
}

// The keys of the entries of a JSON list, in order.
Keys JsonKeys(const Tree& list) {
    Keys keys;
    for (const auto& [unused, entry] : list) {
        keys.push_back(entry.get<std::string>("month") + "/" + entry.get<std::string>("index"));
    }
    return keys;
}

// The keys of a list page's rows, in order.
Keys RowKeys(const std::string& html) {
    static const std::regex row(R"re(<tr class="transfer" data-month="(\d+)" data-index="(\d+)")re");
    Keys keys;
    for (auto it = std::sregex_iterator(html.begin(), html.end(), row); it != std::sregex_iterator(); ++it) {
        keys.push_back((*it)[1].str() + "/" + (*it)[2].str());
    }
    return keys;
}

// The data-state of each receiver of a transfer page, in order.
Keys PageStates(const std::string& html) {
    static const std::regex receiver(
        R"re(<div class="receiver" data-phone="[^"]*" data-state="([a-z-]+)")re");
    Keys states;
    for (auto it = std::sregex_iterator(html.begin(), html.end(), receiver); it != std::sregex_iterator();
         ++it) {
        states.push_back((*it)[1].str());
    }
    return states;
}

std::string Header(const ServiceReply& reply, const std::string& name) {
    for (const auto& [key, value] : reply.headers) {
        if (key == name) return value;
    }
    return {};
}

struct Sent {
    std::string type = "sms";
    std::string message = "hello";
    std::vector<SendRequest::Receiver> receivers = {{"010-1111-2222", "", std::nullopt, ""}};
    std::string subject;
    std::vector<std::string> images;
    bool reservation = false;
    std::string via = "rest";
};

class InboxTest : public testing::Test {
protected:
    InboxTest() {
        store_.SetUpAccount({"kim", "secret", 100, "Kim", "02-123-4567"});
        store_.SetUpAccount({"lee", "secret", 100, "Lee", "02-999-9999"});
    }

    static ServiceRequest Request(const std::string& method, const std::string& target,
                                  const std::string& body = "") {
        ServiceRequest r;
        r.method = method;
        r.target = target;
        r.body = body;
        r.baseUrl = kBase;
        r.remoteAddress = "127.0.0.1";
        r.host = "127.0.0.1:8080";
        r.inboxMarker = method == "POST" ? "1" : "";
        return r;
    }
    ServiceReply Get(const std::string& target) { return service_.Handle(Request("GET", target)); }
    ServiceReply Post(const std::string& target, const std::string& body = "") {
        return service_.Handle(Request("POST", target, body));
    }
    Tree GetJson(const std::string& target) {
        const ServiceReply reply = Get(target);
        EXPECT_EQ(reply.status, 200) << target << ": " << reply.body;
        return Json(reply);
    }
    std::string Page(const std::string& target) {
        const ServiceReply reply = Get(target);
        EXPECT_EQ(reply.status, 200) << target << ": " << reply.body;
        EXPECT_EQ(reply.contentType, "text/html; charset=utf-8");
        return reply.body;
    }

    // A send as the service stores one, written now; its key as "month/index".
    std::string Send(const Sent& s, const std::string& user = "kim") {
        SendRequest request;
        request.message = s.message;
        request.subject = s.subject;
        request.sender = "02-555-0101";
        request.reservation = s.reservation;
        request.receivers = s.receivers;
        const std::optional<Account> account = store_.FindAccount(user);
        const SendOutcome outcome = StoreBatch(store_, *account, request,
                                               {s.type, s.images, "127.0.0.1", s.via}, clock_.Now(), kDelay);
        EXPECT_FALSE(outcome.creditShort);
        return outcome.records.front().date + "/" + outcome.records.front().index;
    }

    // A reservation of the text "later" to `phones` for `sendTime`.
    static Sent Reservation(const std::string& type, const std::vector<std::string>& phones,
                            int64_t sendTime) {
        Sent s{type, "later", {}};
        for (const std::string& phone : phones)
            s.receivers.push_back({phone, "", std::nullopt, FormatLocalTime(sendTime)});
        s.reservation = true;
        return s;
    }

    // The service's own API, as the account's host calls it.
    ServiceReply Rest(const std::string& method, const std::string& path, const std::string& body = "") {
        ServiceRequest r = Request(method, path, body);
        r.authorization = test::BasicAuthorization("kim", "secret");
        r.realm = DefaultRealm();
        return service_.Handle(r);
    }
    std::vector<LogRecord> RestLog(const std::string& month) {
        const std::string path = "/transfers/kim/all/" + month;
        CRondoTransfers transfers{ServiceContext{}};
        EXPECT_TRUE(test::ReadReply(transfers, Rest("GET", path), path));
        return transfers.logs.records;
    }
    int32_t RestCredit() {
        CRondoUsers users{ServiceContext{}};
        EXPECT_TRUE(test::ReadReply(users, Rest("GET", "/users/kim/status"), "/users/kim/status"));
        return users.Info().status.call;
    }

    test::ScopedTimeZone zone_{"Asia/Seoul"};
    test::ScratchDirectory dir_;
    Store store_{dir_.Path() / "sandbox.db"};
    ManualClock clock_{kMarch5};
    Service service_{store_, {DefaultRealm(), kDelay, {true, ""}}, clock_.AsClock()};
};

TEST_F(InboxTest, PagesShowAccountsTransfersAndOneTransferAsPhonesWouldShowIt) {
    const std::string sms = Send({});
    clock_.Advance(10);
    const std::string mms =
        Send({"mms",
              "common text",
              {{"010-1111-2222", "Minji", std::nullopt, ""}, {"010-3333-4444", "", "own text", ""}},
              "Hello subject",
              {kJpeg, "not a jpeg"}});

    const std::string accounts = Page("/inbox/");
    EXPECT_THAT(accounts, HasSubstr("<tr class=\"account\" data-user=\"kim\">"));
    EXPECT_THAT(accounts, HasSubstr("<tr class=\"account\" data-user=\"lee\">"));
    EXPECT_THAT(
        accounts,
        HasSubstr("<td class=\"num credit\" data-label=\"credit\">87</td><td class=\"num\" "
                  "data-label=\"transfers\">2</td><td class=\"num\" data-label=\"receivers\">3</td>"));
    EXPECT_THAT(accounts, HasSubstr("data-action=\"credit\""));
    EXPECT_THAT(accounts, HasSubstr("data-action=\"clear\""));
    EXPECT_THAT(accounts, HasSubstr("<meta name=\"viewport\""));
    const Tree json = GetJson("/inbox/api/accounts");
    EXPECT_EQ(json.get_child("accounts").front().second.get<int>("credit"), 87);
    EXPECT_EQ(json.get_child("accounts").front().second.get<int>("receivers"), 3);

    const std::string list = Page("/inbox/kim/");
    EXPECT_EQ(RowKeys(list), (Keys{mms, sms}));
    EXPECT_THAT(list, HasSubstr("<form id=\"filters\""));
    EXPECT_THAT(list, HasSubstr("<table id=\"transfers\">"));
    EXPECT_THAT(list, HasSubstr("data-type=\"mms\"><td><a class=\"open\" href=\"/inbox/kim/" + mms + "\">"));
    EXPECT_THAT(list, HasSubstr("Hello subject"));
    const Tree entry = GetJson("/inbox/api/accounts/kim/transfers").get_child("transfers").front().second;
    EXPECT_EQ(entry.get<std::string>("type"), "mms");
    EXPECT_EQ(entry.get<std::string>("sender"), "02-555-0101");
    EXPECT_EQ(entry.get<int>("images"), 2);
    EXPECT_EQ(entry.get<int>("counts.total"), 2);
    EXPECT_EQ(entry.get<int>("counts.pending"), 2);
    EXPECT_EQ(entry.get<int64_t>("writeTime"), kMarch5 + 10);
    EXPECT_EQ(entry.get<std::string>("writeTimeText"), "2024-03-05T14:07:19+09:00");

    const std::string page = Page("/inbox/kim/" + mms);
    EXPECT_THAT(
        page,
        HasSubstr("<section id=\"transfer\" data-month=\"202403\" data-index=\"2\" data-type=\"mms\">"));
    EXPECT_THAT(page, HasSubstr("<img class=\"picture\" src=\"/inbox/api/accounts/kim/transfers/" + mms +
                                "/images/1.jpg\" width=\"40\" height=\"30\" alt=\"Picture 1\">"));
    EXPECT_THAT(page, HasSubstr("41 bytes, 40 × 30 px"));
    EXPECT_THAT(page, HasSubstr("<img class=\"picture\" src=\"/inbox/api/accounts/kim/transfers/" + mms +
                                "/images/2.jpg\" alt=\"Picture 2\">"));  // no size it could read
    EXPECT_EQ(PageStates(page), (Keys{"pending", "pending"}));
    EXPECT_THAT(page, HasSubstr("<p class=\"subject\">Hello subject</p>"));
    EXPECT_THAT(page, HasSubstr("<p class=\"text\">common text</p>"));
    EXPECT_THAT(page, HasSubstr("<p class=\"text\">own text</p>"));
    EXPECT_THAT(page, HasSubstr("<strong>010-1111-2222</strong> Minji"));
    EXPECT_THAT(page, HasSubstr("data-action=\"delete\""));
    EXPECT_THAT(page, Not(HasSubstr("data-action=\"cancel\"")));  // nothing reserved

    const Tree detail = GetJson("/inbox/api/accounts/kim/transfers/" + mms);
    EXPECT_EQ(detail.get<std::string>("subject"), "Hello subject");
    const Tree& first = detail.get_child("images").front().second;
    EXPECT_EQ(first.get<int>("bytes"), 41);
    EXPECT_EQ(first.get<int>("width"), 40);
    EXPECT_EQ(first.get<std::string>("url"),
              std::string(kBase) + "/inbox/api/accounts/kim/transfers/" + mms + "/images/1.jpg");
    EXPECT_EQ(detail.get_child("images").back().second.get<std::string>("width"), "null");
    EXPECT_EQ(detail.get_child("receivers").back().second.get<std::string>("message"), "own text");
    const ServiceReply picture = Get("/inbox/api/accounts/kim/transfers/" + mms + "/images/1.jpg");
    EXPECT_EQ(picture.contentType, "image/jpeg");
    EXPECT_EQ(picture.body, kJpeg);

    // An SMS bubble shows no subject; a page of nothing is a 404.
    EXPECT_THAT(Page("/inbox/kim/" + sms), Not(HasSubstr("class=\"subject\"")));
    for (const char* missing :
         {"/inbox/kim/202403/9", "/inbox/nobody/", "/inbox/kim/2024-3/1", "/inbox/kim/202403/1/x"}) {
        EXPECT_EQ(Get(missing).status, 404) << missing;
    }
    for (const char* missing : {"/inbox/api/accounts/kim/transfers/202403/9",
                                "/inbox/api/accounts/kim/transfers/"
                                "202403/2/images/3.jpg",
                                "/inbox/api/accounts/nobody/transfers", "/inbox/api/nothing"}) {
        const ServiceReply reply = Get(missing);
        EXPECT_EQ(reply.status, 404) << missing;
        EXPECT_FALSE(Json(reply).get<std::string>("error").empty()) << missing;
    }
}

TEST_F(InboxTest, FiltersAndSearchSelectTheSameTransfersOnThePageAndInJson) {
    const std::string a = Send({"sms", "lunch at noon", {{"010-1111-2222", "Kim Minji", std::nullopt, ""}}});
    clock_.Advance(kDay);  // the 6th
    const std::string b =
        Send({"lms", "see attached", {{"010-3333-4444", "", "your code 1234", ""}}, "Invoice"});
    clock_.Advance(kDay);  // the 7th
    const std::string c =
        Send({"mms",
              "party",
              {{"010-5555-6666", "Park", std::nullopt, FormatLocalTime(clock_.Now() + kHour)}},
              "",
              {kJpeg},
              true});
    clock_.Set(kMarch5 + 30 * kDay);  // April
    const std::string d =
        Send({"sms", "april fool", {{"010-1111-2222", "", std::nullopt, ""}}, "", {}, false, "legacy"});
    Send({}, "lee");

    const struct {
        std::string query;
        Keys keys;
    } cases[] = {
        {"", {d, c, b, a}},
        {"type=sms", {d, a}},
        {"type=MMS", {c}},
        {"type=all", {d, c, b, a}},
        {"month=202403", {c, b, a}},
        {"month=202404", {d}},
        {"month=202403&from=6&to=7", {c, b}},
        {"month=202403&from=6&to=6", {b}},
        {"month=202403&to=5", {a}},
        {"reserved=1", {c}},
        {"reserved=0", {d, c, b, a}},
        {"type=&month=&from=&to=&reserved=&q=", {d, c, b, a}},  // an empty form
        {"q=01011112222", {d, a}},                              // a phone by its digits
        {"q=1111-2222", {d, a}},
        {"q=minji", {a}},                 // a name, any case
        {"q=invoice", {b}},               // a subject
        {"q=code+1234", {b}},             // a receiver's own text
        {"q=PARTY", {c}},                 // the common text
        {"q=02-555-0101", {d, c, b, a}},  // the sender
        {"q=nothing", {}},
        {"type=sms&q=april", {d}},
        {"limit=2", {d, c}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(JsonKeys(GetJson("/inbox/api/accounts/kim/transfers?" + c.query).get_child("transfers")),
                  c.keys)
            << c.query;
        EXPECT_EQ(RowKeys(Page("/inbox/kim/?" + c.query)), c.keys) << c.query;
    }
    // The form shows the filters it was given.
    const std::string page = Page("/inbox/kim/?type=lms&month=202403&reserved=1&q=a%22b");
    EXPECT_THAT(page, HasSubstr("<option value=\"lms\" selected>"));
    EXPECT_THAT(page, HasSubstr("name=\"month\" value=\"202403\""));
    EXPECT_THAT(page, HasSubstr("value=\"1\" checked>"));
    EXPECT_THAT(page, HasSubstr("name=\"q\" value=\"a&quot;b\""));

    for (const char* bad : {"type=fax", "month=202413", "month=2024", "from=0", "to=32", "from=x",
                            "reserved=yes", "limit=0", "q=%zz"}) {
        EXPECT_EQ(Get(std::string("/inbox/api/accounts/kim/transfers?") + bad).status, 400) << bad;
        EXPECT_EQ(Get(std::string("/inbox/kim/?") + bad).status, 400) << bad;
    }
}

TEST_F(InboxTest, StoredTextsAreEscapedInPagesAndReadBackWholeFromJson) {
    store_.SetUpAccount({"a b/" + kHostile, "secret", 100, kHostile, "02-000-0000"});
    const std::string user = "a b/" + kHostile;
    const std::string key =
        Send({"lms", kHostile, {{"010-1111-2222", kHostile, kHostile + " own", ""}}, kHostile}, user);
    const std::string escaped = "&lt;script&gt;alert(1)&lt;/script&gt;&quot;&#39;&amp;";
    const std::string userPath = "/inbox/a%20b%2F<script>alert(1)<%2Fscript>\"'&/";

    for (const std::string& page : {Page("/inbox/"), Page(userPath), Page(userPath + key)}) {
        EXPECT_THAT(page, Not(HasSubstr("<script>alert")));
        EXPECT_THAT(page, Not(HasSubstr("\"'&")));
        EXPECT_THAT(page, HasSubstr(escaped));
    }
    EXPECT_THAT(Page("/inbox/"),
                HasSubstr("href=\"/inbox/a%20b%2F%3Cscript%3Ealert(1)%3C%2Fscript%3E%22&#39;&amp;/\""));
    EXPECT_THAT(Page(userPath + key), HasSubstr("data-phone=\"010-1111-2222\""));

    const std::string api =
        "/inbox/api/accounts/a%20b%2F%3Cscript%3Ealert(1)%3C%2Fscript%3E%22'%26/transfers";
    const ServiceReply list = Get(api);
    ASSERT_EQ(list.status, 200) << list.body;
    EXPECT_THAT(list.body, Not(HasSubstr("<")));
    EXPECT_THAT(list.body, HasSubstr(R"(\u003cscript\u003ealert(1)\u003c/script\u003e\"\u0027\u0026)"));
    EXPECT_EQ(Json(list).get_child("transfers").front().second.get<std::string>("subject"), kHostile);
    const Tree detail = GetJson(api + "/" + key);
    EXPECT_EQ(detail.get<std::string>("user"), user);
    EXPECT_EQ(detail.get_child("receivers").front().second.get<std::string>("name"), kHostile);
    EXPECT_EQ(detail.get_child("receivers").front().second.get<std::string>("message"), kHostile + " own");
    EXPECT_EQ(GetJson("/inbox/api/accounts").get_child("accounts").back().second.get<std::string>("name"),
              kHostile);
}

TEST_F(InboxTest, DeliveryStatesMoveWithTheClockAndTheVersionSaysWhen) {
    const std::string key = Send(Reservation("sms", {"010-1111-2222", "010-5555-0000"}, kMarch5 + kHour));
    const std::string page = "/inbox/kim/" + key;
    const std::string detail = "/inbox/api/accounts/kim/transfers/" + key;
    const struct {
        int64_t at;
        Keys states;
        std::string next;
        bool cancellable;
    } cases[] = {
        {kMarch5, {"reserved", "reserved"}, std::to_string(kMarch5 + kHour), true},
        {kMarch5 + kHour - 1, {"reserved", "reserved"}, std::to_string(kMarch5 + kHour), true},
        {kMarch5 + kHour, {"pending", "pending"}, std::to_string(kMarch5 + kHour + kDelay), false},
        {kMarch5 + kHour + kDelay, {"delivered", "no-such-number"}, "null", false},
    };
    for (const auto& c : cases) {
        clock_.Set(c.at);
        const std::string html = Page(page);
        EXPECT_EQ(PageStates(html), c.states) << c.at - kMarch5;
        EXPECT_EQ(html.find("data-action=\"cancel\"") != std::string::npos, c.cancellable) << c.at - kMarch5;
        const Tree json = GetJson(detail);
        Keys states;
        for (const auto& [unused, r] : json.get_child("receivers"))
            states.push_back(r.get<std::string>("state"));
        EXPECT_EQ(states, c.states) << c.at - kMarch5;
        const Tree version = GetJson("/inbox/api/version");
        EXPECT_EQ(version.get<int64_t>("now"), c.at);
        EXPECT_EQ(version.get<std::string>("next"), c.next) << c.at - kMarch5;
    }
    const Tree counts = GetJson("/inbox/api/accounts/kim/transfers")
                            .get_child("transfers")
                            .front()
                            .second.get_child("counts");
    EXPECT_EQ(counts.get<int>("delivered"), 1);
    EXPECT_EQ(counts.get<int>("noSuchNumber"), 1);
    EXPECT_EQ(counts.get<int>("pending"), 0);

    // A write moves the version on, which is what makes the pages fetch themselves again.
    const int64_t before = GetJson("/inbox/api/version").get<int64_t>("version");
    Send({});
    EXPECT_GT(GetJson("/inbox/api/version").get<int64_t>("version"), before);
}

TEST_F(InboxTest, ActionsGoThroughTheServiceAndItsApiShowsThem) {
    const std::string reserved =
        Send(Reservation("lms", {"010-1111-2222", "010-2222-3333"}, kMarch5 + kHour));
    const std::string direct = Send({});
    ASSERT_EQ(RestCredit(), 100 - 6 - 1);
    const std::string api = "/inbox/api/accounts/kim/transfers/";

    // Cancel: the reservation's credit comes back, its receivers read as cancelled.
    const ServiceReply cancelled = Post(api + reserved + "/cancel");
    ASSERT_EQ(cancelled.status, 200) << cancelled.body;
    EXPECT_EQ(Json(cancelled).get<std::string>("result"), "cancelled");
    EXPECT_EQ(Json(cancelled).get<int>("credit"), 99);
    EXPECT_EQ(RestCredit(), 99);
    const std::vector<LogRecord> log = RestLog("202403");
    ASSERT_EQ(log.size(), 2u);
    EXPECT_FALSE(log[0].canCancel);
    EXPECT_EQ(log[0].countFailure, 2);
    EXPECT_EQ(PageStates(Page("/inbox/kim/" + reserved)), (Keys{"cancelled", "cancelled"}));
    EXPECT_EQ(Json(Post(api + reserved + "/cancel")).get<std::string>("result"), "not-cancellable");
    EXPECT_EQ(Json(Post(api + direct + "/cancel")).get<std::string>("result"), "not-cancellable");
    EXPECT_EQ(RestCredit(), 99);

    // Delete: gone from the REST log and from the inbox.
    const ServiceReply deleted = Post(api + direct + "/delete");
    ASSERT_EQ(deleted.status, 200) << deleted.body;
    EXPECT_EQ(Json(deleted).get<std::string>("result"), "deleted");
    ASSERT_EQ(RestLog("202403").size(), 1u);
    EXPECT_EQ(RestLog("202403")[0].index, reserved.substr(7));
    EXPECT_EQ(Get(api + direct).status, 404);
    EXPECT_EQ(Get("/inbox/kim/" + direct).status, 404);
    EXPECT_EQ(Post(api + direct + "/delete").status, 404);
    EXPECT_EQ(Post(api + direct + "/cancel").status, 404);

    // Credit: set outright, as the REST status reads it.
    const ServiceReply credit = Post("/inbox/api/accounts/kim/credit", R"({"credit": 1000})");
    ASSERT_EQ(credit.status, 200) << credit.body;
    EXPECT_EQ(Json(credit).get<int>("credit"), 1000);
    EXPECT_EQ(RestCredit(), 1000);
    for (const char* bad : {"", "{}", R"({"credit": -5})", R"({"credit": "5"})", "credit=5"}) {
        EXPECT_EQ(Post("/inbox/api/accounts/kim/credit", bad).status, 400) << bad;
    }
    EXPECT_EQ(RestCredit(), 1000);

    // Clear: the log is empty, the account stays and can send again.
    Send({});
    const ServiceReply cleared = Post("/inbox/api/accounts/kim/clear");
    ASSERT_EQ(cleared.status, 200) << cleared.body;
    EXPECT_EQ(Json(cleared).get<int>("deleted"), 3);
    EXPECT_TRUE(RestLog("202403").empty());
    EXPECT_EQ(RestCredit(), 999);
    EXPECT_EQ(GetJson("/inbox/api/accounts").get_child("accounts").front().second.get<int>("transfers"), 0);

    for (const char* unknown : {"/inbox/api/accounts/nobody/credit", "/inbox/api/accounts/nobody/clear"}) {
        EXPECT_EQ(Post(unknown, R"({"credit": 1})").status, 404) << unknown;
    }
    // Each path answers its own method only.
    const struct {
        const char* method;
        std::string target;
        const char* allowed;
    } wrong[] = {
        {"GET", api + reserved + "/cancel", "POST"}, {"GET", "/inbox/api/accounts/kim/credit", "POST"},
        {"POST", "/inbox/api/version", "GET, HEAD"}, {"POST", "/inbox/", "GET, HEAD"},
        {"DELETE", api + reserved, "GET, HEAD"},
    };
    for (const auto& w : wrong) {
        const ServiceReply reply = service_.Handle(Request(w.method, w.target));
        EXPECT_EQ(reply.status, 405) << w.method << " " << w.target;
        EXPECT_EQ(Header(reply, "Allow"), w.allowed) << w.target;
    }
}

TEST_F(InboxTest, MessagesTellWhatAPhoneReceivedNewestFirstAcrossAccounts) {
    Send({"sms",
          "first",
          {{"010-1234-5678", "Me", std::nullopt, ""}, {"010-9999-9999", "", std::nullopt, ""}}});
    clock_.Advance(5);
    Send({"lms", "common", {{"01012345678", "", "second, own", ""}}, "Subject"}, "lee");

    const Tree all = GetJson("/inbox/api/messages?phone=010-1234-5678");
    ASSERT_EQ(all.get_child("messages").size(), 2u);
    const Tree& newest = all.get_child("messages").front().second;
    EXPECT_EQ(newest.get<std::string>("user"), "lee");
    EXPECT_EQ(newest.get<std::string>("phone"), "01012345678");
    EXPECT_EQ(newest.get<std::string>("message"), "second, own");
    EXPECT_EQ(newest.get<std::string>("subject"), "Subject");
    EXPECT_EQ(newest.get<std::string>("state"), "pending");
    EXPECT_EQ(all.get_child("messages").back().second.get<std::string>("name"), "Me");

    const Tree last = GetJson("/inbox/api/messages?phone=01012345678&limit=1");
    ASSERT_EQ(last.get_child("messages").size(), 1u);
    EXPECT_EQ(last.get_child("messages").front().second.get<std::string>("message"), "second, own");
    EXPECT_EQ(GetJson("/inbox/api/messages").get_child("messages").size(), 3u);
    EXPECT_TRUE(GetJson("/inbox/api/messages?phone=010-0000-0001").get_child("messages").empty());
    for (const char* bad : {"phone=abc", "limit=0", "limit=x"}) {
        EXPECT_EQ(Get(std::string("/inbox/api/messages?") + bad).status, 400) << bad;
    }
}

// Every case through its own service, as a sandbox bound to that kind of address and given (or
// not) a token would answer.
TEST_F(InboxTest, TheAccessRuleFollowsTheBindAddressTheTokenAndTheHost) {
    const std::string cookie = std::string("other=1; vexa_inbox=") + kToken;
    const struct {
        const char* name;
        bool loopback;
        const char* token;
        std::string method;
        std::string target;
        std::string host;
        std::string authorization;
        std::string cookie;
        std::string marker;
        int status;
    } cases[] = {
        {"loopback", true, "", "GET", "/inbox/", "127.0.0.1:8080", "", "", "", 200},
        {"localhost", true, "", "GET", "/inbox/api/accounts", "localhost:8080", "", "", "", 200},
        {"IPv6 loopback", true, "", "GET", "/inbox/", "[::1]:8080", "", "", "", 200},
        {"a rebound name", true, "", "GET", "/inbox/", "evil.example:8080", "", "", "", 403},
        {"a rebound name, API", true, "", "GET", "/inbox/api/version", "evil.example", "", "", "", 403},
        {"no Host", true, "", "GET", "/inbox/", "", "", "", "", 403},
        {"POST without the marker", true, "", "POST", "/inbox/api/accounts/kim/clear", "127.0.0.1", "", "",
         "", 403},
        {"POST with another marker", true, "", "POST", "/inbox/api/accounts/kim/clear", "127.0.0.1", "", "",
         "yes", 403},
        {"POST with the marker", true, "", "POST", "/inbox/api/accounts/kim/clear", "127.0.0.1", "", "", "1",
         200},
        {"another bind: off", false, "", "GET", "/inbox/", "127.0.0.1", "", "", "", 404},
        {"another bind: off, API", false, "", "GET", "/inbox/api/accounts", "127.0.0.1", "", "", "", 404},
        {"another bind, no token shown", false, kToken, "GET", "/inbox/", "192.0.2.1", "", "", "", 401},
        {"another bind, bearer", false, kToken, "GET", "/inbox/api/accounts", "192.0.2.1",
         std::string("Bearer ") + kToken, "", "", 200},
        {"another bind, cookie", false, kToken, "GET", "/inbox/", "192.0.2.1", "", cookie, "", 200},
        {"a wrong bearer", false, kToken, "GET", "/inbox/api/accounts", "192.0.2.1",
         "Bearer 0123456789abcdef-tokeN", "", "", 401},
        {"a wrong cookie", false, kToken, "GET", "/inbox/", "192.0.2.1", "", "vexa_inbox=0123456789abcdef",
         "", 401},
        {"Basic credentials are no token", false, kToken, "GET", "/inbox/", "192.0.2.1",
         test::BasicAuthorization("kim", "secret"), "", "", 401},
        {"a token is asked on loopback too", true, kToken, "GET", "/inbox/", "127.0.0.1", "", "", "", 401},
        {"loopback with the token", true, kToken, "GET", "/inbox/", "127.0.0.1",
         std::string("Bearer ") + kToken, "", "", 200},
        {"a token stands for the Host rule", true, kToken, "GET", "/inbox/", "sandbox.lan", "", cookie, "",
         200},
        {"POST with the token, without the marker", false, kToken, "POST", "/inbox/api/accounts/kim/clear",
         "192.0.2.1", std::string("Bearer ") + kToken, "", "", 403},
        {"POST with the token and the marker", false, kToken, "POST", "/inbox/api/accounts/kim/clear",
         "192.0.2.1", std::string("Bearer ") + kToken, "", "1", 200},
    };
    for (const auto& c : cases) {
        Service service(store_, {DefaultRealm(), kDelay, {c.loopback, c.token}}, clock_.AsClock());
        ServiceRequest request = Request(c.method, c.target);
        request.host = c.host;
        request.authorization = c.authorization;
        request.cookie = c.cookie;
        request.inboxMarker = c.marker;
        const ServiceReply reply = service.Handle(request);
        EXPECT_EQ(reply.status, c.status) << c.name << ": " << reply.body;
        const bool api = c.target.starts_with("/inbox/api/");
        if (reply.status == 401 || reply.status == 403) {
            EXPECT_EQ(reply.contentType, api ? "application/json; charset=utf-8" : "text/html; charset=utf-8")
                << c.name;
        }
        if (reply.status == 404) {
            EXPECT_EQ(reply.contentType, kXmlContentType) << c.name;  // no inbox at all
        }
    }
    // The service's own API keeps its own authentication whatever the inbox admits.
    Service open(store_, {DefaultRealm(), kDelay, {true, ""}}, clock_.AsClock());
    EXPECT_EQ(open.Handle(Request("GET", "/users/kim/status")).status, 401);
}

TEST_F(InboxTest, ATokenInTheAddressBecomesACookieAndLeavesTheAddress) {
    Service service(store_, {DefaultRealm(), kDelay, {false, kToken}}, clock_.AsClock());
    const ServiceReply redirect =
        service.Handle(Request("GET", std::string("/inbox/kim/?type=sms&token=") + kToken + "&q=a+b"));
    EXPECT_EQ(redirect.status, 303);
    EXPECT_EQ(Header(redirect, "Location"), "/inbox/kim/?q=a%20b&type=sms");
    EXPECT_EQ(Header(redirect, "Set-Cookie"),
              std::string("vexa_inbox=") + kToken + "; HttpOnly; SameSite=Strict; Path=/inbox/");
    EXPECT_EQ(service.Handle(Request("GET", "/inbox/?token=0123456789abcdef-wrong")).status, 401);
    // The API takes the token only from a header or the cookie.
    EXPECT_EQ(service.Handle(Request("GET", std::string("/inbox/api/accounts?token=") + kToken)).status, 401);
}

TEST_F(InboxTest, EveryReplyIsUncachedAndPagesLoadOnlyTheSandboxsOwnFiles) {
    Send({});
    for (const char* target : {"/inbox/", "/inbox/kim/", "/inbox/kim/202403/1", "/inbox/api/version",
                               "/inbox/api/accounts/kim/transfers/202403/1/images/1.jpg", "/inbox/nobody/",
                               "/inbox/static/inbox.js", "/inbox"}) {
        const ServiceReply reply = Get(target);
        EXPECT_EQ(Header(reply, "Cache-Control"), "no-store") << target;
        EXPECT_EQ(Header(reply, "X-Content-Type-Options"), "nosniff") << target;
        EXPECT_THAT(Header(reply, "Content-Security-Policy"),
                    HasSubstr("default-src 'none'; script-src 'self'"))
            << target;
    }
    EXPECT_EQ(Get("/inbox").status, 301);
    EXPECT_EQ(Header(Get("/inbox"), "Location"), "/inbox/");

    const ServiceReply script = Get("/inbox/static/inbox.js");
    EXPECT_EQ(script.contentType, "text/javascript; charset=utf-8");
    EXPECT_THAT(script.body, HasSubstr("X-Vexa-Inbox"));
    EXPECT_EQ(Get("/inbox/static/inbox.css").contentType, "text/css; charset=utf-8");
    EXPECT_EQ(Get("/inbox/static/other.js").status, 404);
    // No inline script or style, and nothing from elsewhere.
    const std::regex inlineCode(R"(<script>|<style|\sstyle=|\son[a-z]+=|https?://)");
    for (const char* target : {"/inbox/", "/inbox/kim/", "/inbox/kim/202403/1"}) {
        EXPECT_FALSE(std::regex_search(Page(target), inlineCode)) << target;
    }
}

}  // namespace
}  // namespace vexa::sandbox
