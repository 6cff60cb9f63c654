#include "cli.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "scoped_env.h"

namespace vexa_cli {
namespace {

using vexa::test::ScopedEnv;

class CommandLine : public testing::Test {
protected:
    static constexpr YearMonth kNow{2024, 3};

    ParseOutcome Parse(std::vector<std::string> args) {
        args.insert(args.begin(), "vexa");
        std::vector<const char*> argv;
        for (const std::string& a : args) argv.push_back(a.c_str());
        out_.str({});
        err_.str({});
        return ParseCommandLine(static_cast<int>(argv.size()), argv.data(), out_, err_, kNow);
    }

    template <class R>
    R RequestOf(std::vector<std::string> args) {
        ParseOutcome outcome = Parse(std::move(args));
        EXPECT_TRUE(outcome.invocation) << err_.str();
        if (!outcome.invocation) return {};
        EXPECT_TRUE(std::holds_alternative<R>(outcome.invocation->request));
        return std::holds_alternative<R>(outcome.invocation->request)
                   ? std::get<R>(outcome.invocation->request)
                   : R{};
    }

    // The environment of the developer running the tests must not leak into them.
    ScopedEnv user_{"VEXA_USER", nullptr}, password_{"VEXA_PASSWORD", nullptr},
        endpoint_{"VEXA_ENDPOINT", nullptr}, cacert_{"VEXA_CACERT", nullptr}, module_{"VEXA_MODULE", nullptr},
        legacy_{"VEXA_LEGACY", nullptr};
    std::ostringstream out_, err_;
};

TEST_F(CommandLine, SendCollectsReceiversTextAndReservation) {
    const auto send =
        RequestOf<SendRequest>({"send", "--to", "010-1234-5678", "--to", "홍길동:02-000-0000", "--text",
                                "안녕하세요", "--from", "02-111-2222", "--at", "2024-03-05 14:07"});
    EXPECT_EQ(send.receivers, (std::vector<ReceiverEntry>{{"", "010-1234-5678"}, {"홍길동", "02-000-0000"}}));
    EXPECT_EQ(send.text, "안녕하세요");
    EXPECT_EQ(send.type, VEXA_MESSAGE_TYPE_SMS);
    EXPECT_EQ(send.returnPhone, "02-111-2222");
    ASSERT_TRUE(send.reservation);
    EXPECT_EQ(*send.reservation, (vexa::DateParts{2024, 3, 5, 14, 7, 0}));
}

TEST_F(CommandLine, SendTypeFollowsTheSubjectAndThePictures) {
    struct Case {
        std::vector<std::string> options;
        VEXA_MESSAGE_TYPE type;
    };
    const Case kCases[] = {
        {{}, VEXA_MESSAGE_TYPE_SMS},
        {{"--subject", "s"}, VEXA_MESSAGE_TYPE_LMS},
        {{"--type", "lms"}, VEXA_MESSAGE_TYPE_LMS},
        {{"--image", "a.png"}, VEXA_MESSAGE_TYPE_MMS},
        {{"--subject", "s", "--image", "a.png"}, VEXA_MESSAGE_TYPE_MMS},
        {{"--type", "MMS", "--image", "a.png"}, VEXA_MESSAGE_TYPE_MMS},
        // An MMS may carry a subject, and may go without pictures.
        {{"--type", "mms", "--subject", "s"}, VEXA_MESSAGE_TYPE_MMS},
    };
    for (const Case& c : kCases) {
        std::vector<std::string> args = {"send", "--to", "0101234", "--text", "t"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        std::string line;
        for (const std::string& o : c.options) line += o + ' ';
        EXPECT_EQ(RequestOf<SendRequest>(args).type, c.type) << line;
    }
    EXPECT_EQ(RequestOf<SendRequest>({"send", "--to", "0101234", "--text", "-"}).text, "-");
    EXPECT_EQ(RequestOf<SendRequest>({"send", "--to", "0101234", "--text", "-5 degrees"}).text, "-5 degrees");
}

TEST_F(CommandLine, SendTakesOnePicturePerOptionInOrder) {
    const auto send = RequestOf<SendRequest>({"send", "--to", "0101234", "--text", "t", "--image", "b.png",
                                              "--image", "사진/a.jpg", "--subject", "s"});
    EXPECT_EQ(send.images, (std::vector<std::string>{"b.png", "사진/a.jpg"}));
    EXPECT_EQ(send.subject, "s");
    EXPECT_TRUE(RequestOf<SendRequest>({"send", "--to", "0101234", "--text", "t"}).images.empty());

    EXPECT_EQ(Parse({"send", "--to", "0101234", "--text", "t", "--type", "lms", "--image", "a.png"}).exitCode,
              kExitUsage);
    EXPECT_NE(err_.str().find("only an MMS carries pictures: use --type mms with --image"), std::string::npos)
        << err_.str();
}

TEST_F(CommandLine, LogsDefaultsToTheCurrentMonthAndAllTypes) {
    const auto logs = RequestOf<LogsRequest>({"logs"});
    EXPECT_EQ(logs.month, kNow);
    EXPECT_FALSE(logs.days);
    EXPECT_FALSE(logs.reservedOnly);
    EXPECT_EQ(logs.type, VEXA_MESSAGE_TYPE_ALL);

    const auto bounded =
        RequestOf<LogsRequest>({"logs", "2024-02", "--days", "3-29", "--reserved", "--type", "mms"});
    EXPECT_EQ(bounded.month, (YearMonth{2024, 2}));
    EXPECT_EQ(bounded.days, (DayRange{3, 29}));
    EXPECT_TRUE(bounded.reservedOnly);
    EXPECT_EQ(bounded.type, VEXA_MESSAGE_TYPE_MMS);
    // Days are checked against the current month when none is given.
    EXPECT_EQ(RequestOf<LogsRequest>({"logs", "--days", "31"}).days, (DayRange{31, 31}));
}

TEST_F(CommandLine, DetailCancelAndDeleteNameTransfers) {
    const auto detail = RequestOf<DetailRequest>({"detail", "202403", "17", "--type", "lms"});
    EXPECT_EQ(detail.month, (YearMonth{2024, 3}));
    EXPECT_EQ(detail.index, "17");
    EXPECT_EQ(detail.type, VEXA_MESSAGE_TYPE_LMS);

    const auto cancel = RequestOf<ManageRequest>({"cancel", "2024-03", "17", "18", "19"});
    EXPECT_EQ(cancel.action, ManageRequest::Action::Cancel);
    EXPECT_EQ(cancel.indexes, (std::vector<std::string>{"17", "18", "19"}));
    EXPECT_EQ(cancel.type, VEXA_MESSAGE_TYPE_ALL);
    EXPECT_EQ(RequestOf<ManageRequest>({"delete", "202403", "5"}).action, ManageRequest::Action::Delete);
}

TEST_F(CommandLine, AccountAndEndpointComeFromOptionsOrTheEnvironment) {
    {
        const ScopedEnv user("VEXA_USER", "env-user"), endpoint("VEXA_ENDPOINT", "http://127.0.0.1:9");
        const ParseOutcome outcome = Parse({"status", "--password", "secret", "--json"});
        ASSERT_TRUE(outcome.invocation);
        EXPECT_EQ(outcome.invocation->options.user, "env-user");
        EXPECT_EQ(outcome.invocation->options.password, "secret");
        EXPECT_EQ(outcome.invocation->options.endpoint, "http://127.0.0.1:9");
        EXPECT_TRUE(outcome.invocation->options.json);
        // An option given wins over its variable.
        EXPECT_EQ(Parse({"status", "-u", "flag-user"}).invocation->options.user, "flag-user");
    }
    const ParseOutcome outcome =
        Parse({"logs", "--module", "/opt/v/VexaComponent32.so", "--cacert", "ca.pem"});
    ASSERT_TRUE(outcome.invocation);
    EXPECT_EQ(outcome.invocation->options.module, "/opt/v/VexaComponent32.so");
    EXPECT_EQ(outcome.invocation->options.cacert, "ca.pem");
    EXPECT_EQ(outcome.invocation->options.user, "");
    EXPECT_FALSE(outcome.invocation->options.json);
}

TEST_F(CommandLine, LegacyServerComesFromTheOptionOrTheEnvironment) {
    const ParseOutcome given = Parse({"status", "--legacy", "127.0.0.1:4545"});
    ASSERT_TRUE(given.invocation) << err_.str();
    EXPECT_EQ(given.invocation->options.legacy, (LegacyServer{"127.0.0.1", 4545}));
    EXPECT_FALSE(Parse({"status"}).invocation->options.legacy);
    {
        // The REST endpoint's variables may stay set: they have no part in a legacy call.
        const ScopedEnv legacy("VEXA_LEGACY", "legacy.example:9000"),
            endpoint("VEXA_ENDPOINT", "https://127.0.0.1:9"), cacert("VEXA_CACERT", "ca.pem");
        const ParseOutcome outcome = Parse({"logs"});
        ASSERT_TRUE(outcome.invocation) << err_.str();
        EXPECT_EQ(outcome.invocation->options.legacy, (LegacyServer{"legacy.example", 9000}));
        EXPECT_EQ(outcome.invocation->options.endpoint, "");
        EXPECT_EQ(outcome.invocation->options.cacert, "");
        EXPECT_EQ(Parse({"logs", "--legacy", "other:1"}).invocation->options.legacy,
                  (LegacyServer{"other", 1}));
        // Before the command, too; it is then the one taken.
        EXPECT_EQ(Parse({"--legacy", "first:2", "logs"}).invocation->options.legacy,
                  (LegacyServer{"first", 2}));
    }
    EXPECT_EQ(Parse({"--legacy", "127.0.0.1:4545", "send", "--to", "0101234", "--text", "t"})
                  .invocation->options.legacy,
              (LegacyServer{"127.0.0.1", 4545}));
    EXPECT_FALSE(
        Parse({"--legacy", "127.0.0.1:4545", "send", "--to", "0101234", "--text", "t", "--subject", "s"})
            .invocation);
    // What the legacy service can carry: SMS, reservations, a return phone, type all or sms.
    const auto send =
        RequestOf<SendRequest>({"send", "--legacy", "h:1", "--to", "0101234", "--text", "t", "--type", "sms",
                                "--from", "02-000-0000", "--at", "2024-03-05 14:07"});
    EXPECT_EQ(send.type, VEXA_MESSAGE_TYPE_SMS);
    EXPECT_TRUE(send.reservation);
    for (const char* type : {"all", "SMS"}) {
        EXPECT_TRUE(Parse({"logs", "--legacy", "h:1", "--type", type}).invocation) << type;
        EXPECT_TRUE(Parse({"detail", "--legacy", "h:1", "202403", "1", "--type", type}).invocation) << type;
    }
}

TEST_F(CommandLine, LegacyRefusesWhatTheLegacyServiceCannotCarry) {
    struct Case {
        std::vector<std::string> args;
        const char* message;
    };
    const Case kCases[] = {
        {{"send", "--to", "0101234", "--text", "t", "--subject", "s"},
         "--subject does not go with --legacy (the legacy service sends and keeps SMS only)"},
        {{"send", "--to", "0101234", "--text", "t", "--image", "a.png"}, "--image does not go with --legacy"},
        {{"send", "--to", "0101234", "--text", "t", "--type", "lms"}, "--type lms does not go with --legacy"},
        {{"send", "--to", "0101234", "--text", "t", "--type", "mms", "--subject", "s"},
         "--subject does not go with --legacy"},
        {{"send", "--to", "홍길동:0101234", "--text", "t"},
         "the legacy service takes no receiver names: give --to PHONE, not '홍길동:0101234'"},
        {{"logs", "--type", "mms"}, "--type mms does not go with --legacy"},
        {{"detail", "202403", "1", "--type", "lms"}, "--type lms does not go with --legacy"},
        {{"cancel", "202403", "1", "--type", "mms"}, "--type mms does not go with --legacy"},
        {{"delete", "202403", "1", "--type", "lms"}, "--type lms does not go with --legacy"},
    };
    for (const Case& c : kCases) {
        std::vector<std::string> args = c.args;
        args.insert(args.begin() + 1, {"--legacy", "127.0.0.1:4545"});
        std::string line;
        for (const std::string& a : args) line += a + ' ';
        const ParseOutcome outcome = Parse(args);
        EXPECT_FALSE(outcome.invocation) << line;
        EXPECT_EQ(outcome.exitCode, kExitUsage) << line;
        EXPECT_NE(err_.str().find(c.message), std::string::npos) << line << "\n" << err_.str();
    }
}

TEST_F(CommandLine, AnUnknownCommandIsNamedWithTheNearestOne) {
    struct Case {
        std::vector<std::string> args;
        const char* message;
    };
    const Case kCases[] = {
        {{"sned", "--to", "0101234"}, "vexa: unknown command 'sned'; did you mean 'send'?\n"},
        {{"--legacy", "127.0.0.1:4545", "lgos"}, "vexa: unknown command 'lgos'; did you mean 'logs'?\n"},
        {{"stat"}, "vexa: unknown command 'stat'; did you mean 'status'?\n"},
        // The values of options before the command are not taken for it; flags have none.
        {{"--profile", "work", "--json", "detial"},
         "vexa: unknown command 'detial'; did you mean 'detail'?\n"},
        {{"frobnicate"}, "vexa: unknown command 'frobnicate'\n"},
    };
    for (const Case& c : kCases) {
        const ParseOutcome outcome = Parse(c.args);
        EXPECT_FALSE(outcome.invocation) << c.args[0];
        EXPECT_EQ(outcome.exitCode, kExitUsage) << c.args[0];
        EXPECT_EQ(err_.str().substr(0, err_.str().find('\n') + 1), c.message);
    }
}

TEST_F(CommandLine, MistakesExitWithStatusTwo) {
    const std::vector<std::vector<std::string>> kMistakes = {
        {},
        {"frobnicate"},
        {"send", "--text", "no receiver"},
        {"send", "--to", "0101234"},
        {"send", "--to", "0101234", "--text", ""},
        {"send", "--to", "0101234", "0105678", "--text", "one phone per --to"},
        {"send", "--to", "not a phone", "--text", "t"},
        {"send", "--to", "0101234", "--text", "t", "--type", "all"},
        {"send", "--to", "0101234", "--text", "t", "--type", "sms", "--subject", "s"},
        {"send", "--to", "0101234", "--text", "t", "--type", "sms", "--image", "a.png"},
        {"send", "--to", "0101234", "--text", "t", "--type", "lms", "--image", "a.png"},
        {"send", "--to", "0101234", "--text", "t", "--image", "a.png", "b.png"},
        {"send", "--to", "0101234", "--text", "t", "--image", ""},
        {"send", "--to", "0101234", "--text", "t", "--image", "a.png", "--image", "\xFF.png"},
        {"send", "--to", "0101234", "--text", "t", "--image"},
        {"send", "--to", "0101234", "--text", "t", "--at", "2024-02-30 10:00"},
        {"send", "--to", "0101234", "--text", "t", "--from", "nobody"},
        {"logs", "2024-13"},
        {"logs", "2024-02", "--days", "1-30"},
        {"logs", "--type", "fax"},
        {"detail", "202403"},
        {"detail", "202403", "1/2"},
        {"cancel", "202403"},
        {"delete"},
        {"status", "--unknown"},
        {"status", "--legacy"},
        {"status", "--legacy", ""},
        {"status", "--legacy", "127.0.0.1"},
        {"status", "--legacy", "127.0.0.1:0"},
        {"logs", "--legacy", "127.0.0.1:70000"},
        {"logs", "--legacy", ":4545"},
    };
    for (const auto& args : kMistakes) {
        std::string line;
        for (const std::string& a : args) line += a + ' ';
        const ParseOutcome outcome = Parse(args);
        EXPECT_FALSE(outcome.invocation) << line;
        EXPECT_EQ(outcome.exitCode, kExitUsage) << line;
        EXPECT_NE(err_.str(), "") << line;
    }
}

TEST_F(CommandLine, HelpShowsOneMonthFormAndAnExampleForEveryCommand) {
    for (const char* command :
         {"status", "send", "logs", "detail", "cancel", "delete", "register", "unregister", "component"}) {
        EXPECT_EQ(Parse({command, "--help"}).exitCode, kExitOk);
        EXPECT_NE(out_.str().find(std::string("Example: vexa ") + command), std::string::npos) << out_.str();
        EXPECT_EQ(out_.str().find("month YYYYMM"), std::string::npos)
            << "a month named otherwise: " << out_.str();
    }
    // Both forms are taken wherever a month is.
    EXPECT_EQ(RequestOf<DetailRequest>({"detail", "2024-03", "7"}).month, (YearMonth{2024, 3}));
    EXPECT_EQ(RequestOf<ManageRequest>({"cancel", "202403", "7"}).month, (YearMonth{2024, 3}));
}

TEST_F(CommandLine, VersionAloneAndJsonBeforeTheCommand) {
    EXPECT_TRUE(Parse({"--version"}).showVersion);
    EXPECT_TRUE(Parse({"--json", "logs"}).invocation->options.json);
    const ParseOutcome send = Parse({"send", "--to", "0101234", "--text", "t", "--strict", "-q"});
    ASSERT_TRUE(send.invocation);
    EXPECT_TRUE(std::get<SendRequest>(send.invocation->request).strict);
    EXPECT_TRUE(std::get<SendRequest>(send.invocation->request).quiet);
}

TEST_F(CommandLine, RegistrationAndComponentTakeOnlyTheModuleAndTheOutputForm) {
    EXPECT_EQ(RequestOf<RegistrationRequest>({"register"}).action, RegistrationRequest::Action::Register);
    EXPECT_EQ(RequestOf<RegistrationRequest>({"unregister"}).action, RegistrationRequest::Action::Unregister);
    RequestOf<ComponentRequest>({"component"});
    const ParseOutcome given = Parse({"register", "--module", "/opt/v/VexaComponent32.so", "--json"});
    ASSERT_TRUE(given.invocation) << err_.str();
    EXPECT_EQ(given.invocation->options.module, "/opt/v/VexaComponent32.so");
    EXPECT_TRUE(given.invocation->options.json);
    {
        const ScopedEnv module("VEXA_MODULE", "/env/VexaComponent32.so");
        EXPECT_EQ(Parse({"component"}).invocation->options.module, "/env/VexaComponent32.so");
    }
    for (const std::vector<std::string>& mistake : std::vector<std::vector<std::string>>{
             {"register", "--user", "kim"}, {"--legacy", "127.0.0.1:4545", "register"}, {"component", "x"}}) {
        const ParseOutcome outcome = Parse(mistake);
        EXPECT_FALSE(outcome.invocation) << mistake.front();
        EXPECT_EQ(outcome.exitCode, kExitUsage) << mistake.front();
    }
}

TEST_F(CommandLine, EverySubcommandHasHelp) {
    for (const char* command : {"status", "send", "logs", "detail", "cancel", "delete"}) {
        const ParseOutcome outcome = Parse({command, "--help"});
        EXPECT_FALSE(outcome.invocation) << command;
        EXPECT_EQ(outcome.exitCode, kExitOk) << command;
        EXPECT_NE(out_.str().find(std::string("vexa ") + command), std::string::npos) << out_.str();
        EXPECT_NE(out_.str().find("--user"), std::string::npos) << command;
        EXPECT_NE(out_.str().find("--legacy"), std::string::npos) << command;
    }
    EXPECT_EQ(Parse({"--help"}).exitCode, kExitOk);
    EXPECT_NE(out_.str().find("Subcommands:"), std::string::npos);
}

}  // namespace
}  // namespace vexa_cli
