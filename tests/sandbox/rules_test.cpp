// The service's pure rules and the small readers around requests: phones, costs, delivery over
// time, cancelling, date texts, routes, credentials and the command line.
#include "sandbox/rules.h"

#include <gtest/gtest.h>
#include <sstream>

#include "sandbox/authenticator.h"
#include "sandbox/base64.h"
#include "sandbox/local_time.h"
#include "sandbox/options.h"
#include "sandbox/routes.h"
#include "sandbox_fixture.h"

namespace vexa::sandbox {
namespace {

using test::kHour;
using test::kMarch5;

TEST(RulesTest, AcceptsPhonesOfDigitsAndHyphens) {
    const struct {
        const char* phone;
        bool acceptable;
        bool unassigned;
    } cases[] = {
        {"010-1234-5678", true, false},
        {"01012345678", true, false},
        {"010-1234-0000", true, true},
        {"0000", true, true},
        {"1-0000", true, true},
        {"10000-", true, true},
        {"000", true, false},
        {"", false, false},
        {"-", false, false},
        {"---", false, false},
        {"010 1234 5678", false, false},
        {"+82-10-1234-5678", false, false},
        {"010-1234-567a", false, false},
        {"０１０", false, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsAcceptablePhone(c.phone), c.acceptable) << c.phone;
        if (c.acceptable) {
            EXPECT_EQ(IsUnassignedNumber(c.phone), c.unassigned) << c.phone;
        }
    }
}

TEST(RulesTest, CostsByType) {
    EXPECT_EQ(CostPerReceiver("sms"), 1);
    EXPECT_EQ(CostPerReceiver("lms"), 3);
    EXPECT_EQ(CostPerReceiver("mms"), 6);
    EXPECT_EQ(CostPerReceiver("all"), 0);
    EXPECT_EQ(CostPerReceiver("SMS"), 0);
}

TEST(RulesTest, TypeWords) {
    const struct {
        const char* word;
        std::optional<std::string> type;
    } cases[] = {{"sms", "sms"}, {"LMS", "lms"}, {"Mms", "mms"},        {"all", ""},
                 {"ALL", ""},    {"", ""},       {"xms", std::nullopt}, {"detail", std::nullopt}};
    for (const auto& c : cases) EXPECT_EQ(ParseTypeWord(c.word), c.type) << c.word;
}

TEST(RulesTest, AReservedReceiverGoesFromRequestedToWaitingToReported) {
    test::ScopedTimeZone zone("Asia/Seoul");
    const int64_t reserved = kMarch5 + kHour;
    const Receiver r = PlanDelivery("010-1", "kim", "hi", reserved, kMarch5, 60);
    EXPECT_EQ(r.deliveryTime, reserved + 60);
    const struct {
        int64_t now;
        int status;
        int result;
        const char* deliveredAt;
    } moments[] = {
        {kMarch5, 1, kResultNotDelivered, ""},
        {reserved - 1, 1, kResultNotDelivered, ""},
        {reserved, 2, kResultNotDelivered, ""},
        {reserved + 59, 2, kResultNotDelivered, ""},
        {reserved + 60, 3, kResultDelivered, "2024-03-05 15:08:09"},
        {reserved + 3 * kHour, 3, kResultDelivered, "2024-03-05 15:08:09"},
    };
    for (const auto& m : moments) {
        const ReceiverState state = StateAt(r, m.now);
        EXPECT_EQ(state.status, m.status) << m.now - kMarch5;
        EXPECT_EQ(state.result, m.result) << m.now - kMarch5;
        EXPECT_EQ(state.deliveredAt, m.deliveredAt) << m.now - kMarch5;
    }
}

TEST(RulesTest, DirectAndLateReceiversGoAtOnceAndUnassignedNumbersFail) {
    const Receiver direct = PlanDelivery("010-1", "", "", kMarch5, kMarch5, 0);
    EXPECT_EQ(StateAt(direct, kMarch5).status, 3);
    EXPECT_EQ(StateAt(direct, kMarch5).result, kResultDelivered);
    // A reservation for a time already past goes out when it is accepted.
    const Receiver late = PlanDelivery("010-1", "", "", kMarch5 - kHour, kMarch5, 5);
    EXPECT_EQ(late.deliveryTime, kMarch5 + 5);
    EXPECT_EQ(StateAt(late, kMarch5).status, 2);
    const Receiver unassigned = PlanDelivery("010-1234-0000", "", "", kMarch5, kMarch5, 0);
    EXPECT_EQ(StateAt(unassigned, kMarch5).status, 3);
    EXPECT_EQ(StateAt(unassigned, kMarch5).result, kResultNoSuchNumber);
    Receiver cancelled = direct;
    cancelled.result = kResultCancelled;
    EXPECT_EQ(StateAt(cancelled, kMarch5 + kHour).status, 1);
    EXPECT_EQ(StateAt(cancelled, kMarch5 + kHour).result, kResultCancelled);
}

TEST(RulesTest, CountsAndCancellingFollowTheClock) {
    Transfer t;
    t.reservation = true;
    t.sendTime = kMarch5 + kHour;
    t.receivers = {PlanDelivery("010-1", "", "", kMarch5 + kHour, kMarch5, 0),
                   PlanDelivery("010-0000", "", "", kMarch5 + 2 * kHour, kMarch5, 0)};
    EXPECT_TRUE(CanCancel(t, kMarch5));
    EXPECT_TRUE(CanCancel(t, kMarch5 + kHour - 1));
    EXPECT_FALSE(CanCancel(t, kMarch5 + kHour));

    auto counts = [&](int64_t now) {
        const TransferCounts c = CountsAt(t, now);
        return std::vector<int32_t>{c.total, c.success, c.failure};
    };
    EXPECT_EQ(counts(kMarch5), (std::vector<int32_t>{2, 0, 0}));
    EXPECT_EQ(counts(kMarch5 + kHour), (std::vector<int32_t>{2, 1, 0}));
    EXPECT_EQ(counts(kMarch5 + 2 * kHour), (std::vector<int32_t>{2, 1, 1}));

    t.cancelledTime = kMarch5;
    EXPECT_FALSE(CanCancel(t, kMarch5));
    Transfer direct = t;
    direct.reservation = false;
    direct.cancelledTime.reset();
    EXPECT_FALSE(CanCancel(direct, kMarch5));
}

TEST(RulesTest, LogRanges) {
    const struct {
        const char* text;
        std::optional<std::tuple<std::string, int, int>> range;
    } cases[] = {
        {"202403", std::tuple{"202403", 1, 31}},
        {"202402", std::tuple{"202402", 1, 29}},
        {"202302", std::tuple{"202302", 1, 28}},
        {"190002", std::tuple{"190002", 1, 28}},
        {"200002", std::tuple{"200002", 1, 29}},
        {"202404", std::tuple{"202404", 1, 30}},
        {"2024030510", std::tuple{"202403", 5, 10}},
        {"2024030500", std::tuple{"202403", 5, 31}},
        {"2024030010", std::tuple{"202403", 1, 10}},
        {"2024030000", std::tuple{"202403", 1, 31}},
        {"2024023031", std::tuple{"202402", 30, 29}},  // names no day at all
        {"2024041031", std::tuple{"202404", 10, 30}},
        {"2024031005", std::tuple{"202403", 10, 5}},
        {"2024033200", std::nullopt},
        {"2024030032", std::nullopt},
        {"202413", std::nullopt},
        {"202400", std::nullopt},
        {"20240", std::nullopt},
        {"2024031", std::nullopt},
        {"2024-03", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& c : cases) {
        const std::optional<LogRange> range = ParseLogRange(c.text);
        ASSERT_EQ(range.has_value(), c.range.has_value()) << c.text;
        if (!range) continue;
        EXPECT_EQ(std::tuple(range->month, range->firstDay, range->lastDay), *c.range) << c.text;
    }
}

TEST(RulesTest, IndexesAndMonthKeys) {
    EXPECT_EQ(ParseIndex("17"), 17);
    EXPECT_EQ(ParseIndex("007"), 7);
    EXPECT_FALSE(ParseIndex("0"));
    EXPECT_FALSE(ParseIndex("-1"));
    EXPECT_FALSE(ParseIndex("1a"));
    EXPECT_FALSE(ParseIndex(""));
    EXPECT_FALSE(ParseIndex("99999999999999999999"));
    EXPECT_TRUE(IsMonthKey("202412"));
    EXPECT_FALSE(IsMonthKey("202413"));
    EXPECT_FALSE(IsMonthKey("2024/03"));
}

TEST(LocalTimeTest, TextsOfTheMachinesZone) {
    test::ScopedTimeZone zone("Asia/Seoul");
    EXPECT_EQ(FormatLocalTime(kMarch5), "2024-03-05 14:07:09");
    EXPECT_EQ(ParseLocalTime("2024-03-05 14:07:09"), kMarch5);
    EXPECT_FALSE(ParseLocalTime("systemtime"));
    EXPECT_FALSE(ParseLocalTime(""));
    EXPECT_FALSE(ParseLocalTime("1969-12-31 23:00:00"));
    EXPECT_EQ(LocalDayOf(kMarch5 + 10 * kHour).day, 6);  // past midnight in Seoul
    EXPECT_EQ(HttpDate(kMarch5), "Tue, 05 Mar 2024 05:07:09 GMT");
    test::ScopedTimeZone utc("UTC");
    EXPECT_EQ(FormatLocalTime(kMarch5), "2024-03-05 05:07:09");
}

TEST(RoutesTest, MatchesEachResourceAndNothingElse) {
    const struct {
        const char* method;
        const char* target;
        std::optional<Resource> resource;
        std::vector<std::string> args;
    } cases[] = {
        {"POST", "/messages/kim", Resource::kSend, {}},
        {"GET", "/messages/kim", std::nullopt, {}},
        {"POST", "/messages/kim/", std::nullopt, {}},
        {"GET", "/users/kim/status", Resource::kStatus, {}},
        {"HEAD", "/users/kim/status?x=1", Resource::kStatus, {}},
        {"GET", "/users/kim", std::nullopt, {}},
        {"GET", "/transfers/kim/sms/202403", Resource::kLogs, {"sms", "202403"}},
        {"GET", "/transfers/kim/all/2024030510/reservation", Resource::kLogs, {"all", "2024030510"}},
        {"GET", "/transfers/kim/all/202403/other", std::nullopt, {}},
        {"GET", "/transfers/kim/detail/mms/202403/17", Resource::kDetail, {"mms", "202403", "17"}},
        {"PUT", "/transfers/kim/cancel", Resource::kCancel, {}},
        {"POST", "/transfers/kim/cancel", std::nullopt, {}},
        {"DELETE", "/transfers/kim", Resource::kDelete, {}},
        {"DELETE", "/transfers/kim/sms/202403", std::nullopt, {}},
        {"GET", "/images/kim/202403/17/1.jpg", Resource::kImage, {"202403", "17", "1.jpg"}},
        {"GET", "/transfers//sms/202403", std::nullopt, {}},
        {"GET", "/", std::nullopt, {}},
        {"GET", "users/kim/status", std::nullopt, {}},
        {"GET", "/users/k%ZZ/status", std::nullopt, {}},
        {"GET", "/users/k%4/status", std::nullopt, {}},
    };
    for (const auto& c : cases) {
        const std::optional<Route> route = MatchRoute(c.method, c.target);
        ASSERT_EQ(route.has_value(), c.resource.has_value()) << c.method << " " << c.target;
        if (!route) continue;
        EXPECT_EQ(route->resource, *c.resource) << c.target;
        EXPECT_EQ(route->user, "kim") << c.target;
        EXPECT_EQ(route->args, c.args) << c.target;
    }
    EXPECT_TRUE(MatchRoute("GET", "/transfers/kim/all/202403/reservation")->reservationOnly);
    EXPECT_FALSE(MatchRoute("GET", "/transfers/kim/all/202403")->reservationOnly);
}

TEST(RoutesTest, DecodesEachSegmentAfterSplitting) {
    // The component escapes what a path cannot carry; "/" in a user ID stays inside its segment.
    const std::string escaped = "/users/" + PathSegment("a/b c%") + "/status";
    const std::optional<Route> route = MatchRoute("GET", escaped);
    ASSERT_TRUE(route);
    EXPECT_EQ(route->user, "a/b c%");
    EXPECT_EQ(ErrorRootFor("/transfers/kim/cancel"), "transfers");
    EXPECT_EQ(ErrorRootFor("/messages/kim?x"), "messages");
    EXPECT_EQ(ErrorRootFor("/usersx/kim"), "error");
}

TEST(CredentialsTest, ReadsBasicValuesAsTheComponentWritesThem) {
    const std::optional<BasicCredentials> parsed =
        ParseBasicCredentials(test::BasicAuthorization("kim", "p:w d"));
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->userId, "kim");
    EXPECT_EQ(parsed->password, "p:w d");
    // Long credentials come as one Base64 line.
    const std::string longPassword(200, 'x');
    EXPECT_EQ(ParseBasicCredentials(test::BasicAuthorization("kim", longPassword))->password, longPassword);
    EXPECT_EQ(ParseBasicCredentials("basic   a2ltOnB3  ")->password, "pw");

    for (const char* bad : {"", "Basic", "Basic ", "Bearer a2ltOnB3", "Basic a2ltOnB3=", "Basic !!!!",
                            "Basic a2lt", "Basic OnB3", "Basica2ltOnB3"}) {
        EXPECT_FALSE(ParseBasicCredentials(bad)) << bad;
    }
}

TEST(Base64Test, DecodesPaddedTextAcrossLineBreaks) {
    EXPECT_EQ(DecodeBase64(""), "");
    EXPECT_EQ(DecodeBase64("YQ=="), "a");
    EXPECT_EQ(DecodeBase64("YWI="), "ab");
    EXPECT_EQ(DecodeBase64("YWJj"), "abc");
    EXPECT_EQ(DecodeBase64("YW\r\nJj\r\n"), "abc");
    EXPECT_EQ(DecodeBase64("/9j/"), std::string("\xFF\xD8\xFF"));
    EXPECT_FALSE(DecodeBase64("YQ"));
    EXPECT_FALSE(DecodeBase64("Y*=="));
    EXPECT_FALSE(DecodeBase64("YQ==YQ=="));
}

TEST(OptionsTest, AccountOptions) {
    const struct {
        const char* text;
        std::optional<std::tuple<std::string, std::string, int64_t>> account;
    } cases[] = {
        {"kim:secret", std::tuple{"kim", "secret", kDefaultCredit}},
        {"kim:secret:250", std::tuple{"kim", "secret", 250}},
        {"kim:secret:0", std::tuple{"kim", "secret", 0}},
        {"kim:se:cret", std::tuple{"kim", "se:cret", kDefaultCredit}},
        {"kim:pass:123:50", std::tuple{"kim", "pass:123", 50}},
        {"kim:secret:-5", std::tuple{"kim", "secret:-5", kDefaultCredit}},
        {"kim:secret:", std::tuple{"kim", "secret:", kDefaultCredit}},
        {"kim:", std::nullopt},
        {"kim::5", std::tuple{"kim", "", 5}},  // no password here: it comes from elsewhere
        {":secret", std::nullopt},
        {"kim", std::tuple{"kim", "", kDefaultCredit}},
    };
    for (const auto& c : cases) {
        const std::optional<AccountSetup> setup = ParseAccountOption(c.text);
        ASSERT_EQ(setup.has_value(), c.account.has_value()) << c.text;
        if (!setup) continue;
        EXPECT_EQ(std::tuple(setup->userId, setup->password, setup->credit), *c.account) << c.text;
        EXPECT_EQ(setup->name, setup->userId);
        EXPECT_EQ(setup->returnPhone, kDefaultReturnPhone);
    }
}

TEST(OptionsTest, CommandLine) {
    auto parse = [](std::vector<const char*> args, SandboxOptions& options) {
        args.insert(args.begin(), "vexa-sandbox");
        std::ostringstream out;
        std::ostringstream err;
        CommandLine line;
        const int code = ParseCommandLine(static_cast<int>(args.size()), args.data(), line, out, err);
        options = line.sandbox;
        return code;
    };
    SandboxOptions options;
    ASSERT_EQ(parse({"--data-dir", "/tmp/x", "--account", "kim:pw", "--account", "lee:pw:5", "--http-port",
                     "8080", "--delivery-delay", "30", "--realm", "test.example"},
                    options),
              -1);
    EXPECT_EQ(options.dataDir, "/tmp/x");
    EXPECT_EQ(options.bindAddress, "127.0.0.1");
    EXPECT_EQ(options.httpPort, 8080);
    EXPECT_EQ(options.httpsPort, 0);
    EXPECT_EQ(options.deliveryDelay, 30);
    EXPECT_EQ(options.realm, "test.example");
    ASSERT_EQ(options.accounts.size(), 2u);
    EXPECT_EQ(options.accounts[1].credit, 5);

    SandboxOptions defaults;
    ASSERT_EQ(parse({"--data-dir", "d"}, defaults), -1);
    EXPECT_EQ(defaults.realm, DefaultRealm());
    EXPECT_FALSE(DefaultRealm().empty());

    SandboxOptions ignored;
    EXPECT_EQ(parse({"--help"}, ignored), 0);
    for (const std::vector<const char*>& bad : {std::vector<const char*>{},
                                                {"--data-dir", "d", "--account", "kim"},
                                                {"--data-dir", "d", "--realm", ""},
                                                {"--data-dir", "d", "--http-port", "70000"},
                                                {"--data-dir", "d", "--delivery-delay", "-1"},
                                                {"--data-dir", "d", "--unknown"}}) {
        EXPECT_GT(parse(bad, ignored), 0);
    }
}

}  // namespace
}  // namespace vexa::sandbox
