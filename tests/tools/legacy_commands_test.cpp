// The commands on the legacy service: the real module's SMS object against a scripted TCP server.
// What each command puts into its packet, and that the report has the same shape as on Message.
#include <functional>
#include <gtest/gtest.h>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "automation/text.h"
#include "commands.h"
#include "legacy/protocol/packet_frame.h"
#include "legacy/protocol/tpml.h"
#include "report_json.h"
#include "scoped_time_zone.h"
#include "scripted_tcp_server.h"
#include "tpml_replies.h"

namespace vexa_cli {
namespace {

using Quill::CTPMLParser;
using Quill::TPMLNode;
using Quill::TPMLTree;
using vexa::test::Add;
using vexa::test::Reply;

// Text on the wire is CP949.
std::string Local(std::string_view utf8) { return vexa::Utf8ToLocal(utf8); }

// The answer to a login: the account's name and return phone, the credit and the server's clock.
void AddLoginReply(TPMLNode* root) {
    TPMLNode* user = Add(root, "USER", {{"type", "reply"}});
    TPMLNode* login = Add(user, "LOGIN", {{"result", "succeed"}});
    Add(login, "USER_ID", {}, "abc");
    Add(login, "VERSION", {}, "4.2");
    Add(login, "SERVERTIME", {}, "1709615220");  // 2024-03-05 14:07:00 in Seoul
    Add(Add(user, "STATUS"), "CALL", {}, "42");
    TPMLNode* refer = Add(user, "REFER");
    Add(refer, "user_name", {}, Local("홍길동"));
    Add(refer, "phone_return", {}, "02-000-0000");
}

class LegacyCommands : public testing::Test {
protected:
    void LogIn() {
        server_.Script(Reply(AddLoginReply));
        session_.SetAccount("abc", "pw");
    }

    // The packet of the last exchange, parsed.
    const CTPMLParser& LastPacket() {
        const auto requests = server_.Requests();
        EXPECT_FALSE(requests.empty());
        const std::optional<std::string> text =
            requests.empty() ? std::nullopt : VexaCore::UnframePacket(requests.back());
        EXPECT_TRUE(text);
        packet_.Clear();
        EXPECT_TRUE(packet_.Parse(text.value_or("")));
        return packet_;
    }

    // The first element at the end of a path of names from the packet's root.
    const TPMLNode* Find(std::initializer_list<std::string_view> path) {
        const TPMLNode* node = LastPacket().Root();
        for (std::string_view name : path) node = node ? TPMLTree::FindChild(node, name) : nullptr;
        EXPECT_TRUE(node) << "no such element in the packet";
        return node;
    }

    // The element children of that name, in order.
    static std::vector<const TPMLNode*> Children(const TPMLNode* parent, std::string_view name) {
        std::vector<const TPMLNode*> found;
        for (const TPMLNode* n = parent ? parent->FirstChild() : nullptr; n; n = n->Next())
            if (n->IsElement() && n->Name() == name) found.push_back(n);
        return found;
    }

    // Local times of the component and of the report are the zone's.
    vexa::test::ScopedTimeZone zone_{"Asia/Seoul"};
    vexa::test::ScriptedTcpServer server_{VexaCore::MissingFrameBytes};
    Session session_{VEXA_MODULE_PATH, LegacyServer{"127.0.0.1", server_.Port()}};
    CTPMLParser packet_;
};

TEST_F(LegacyCommands, StatusShowsWhatTheLoginTold) {
    LogIn();
    const TPMLNode* login = Find({"USER", "LOGIN"});
    EXPECT_EQ(TPMLTree::GetChildText(login, "USER_ID"), "abc");

    const CommandResult result = RunStatus(session_, {});
    EXPECT_EQ(server_.Requests().size(), 1u) << "the login's answer is fresh: no second exchange";
    const std::string expected =
        "User ID         abc\n"
        "Name            홍길동\n"
        "Return phone    02-000-0000\n"
        "Return phones   -\n"
        "Credit          42\n"
        "Server time     2024-03-05 14:07:";
    const std::string text = RenderText(result.report);
    EXPECT_EQ(text.substr(0, expected.size()), expected) << text;
    EXPECT_TRUE(text.ends_with("\nServer version  4.2\n")) << text;
    const std::string json = Json(result.report);
    EXPECT_NE(json.find(R"("returnPhones": [],)"), std::string::npos) << json;
    EXPECT_NE(json.find(R"("serverVersion": "4.2")"), std::string::npos) << json;
}

TEST_F(LegacyCommands, LoginFailuresCarryTheComponentsTextAndCode) {
    struct Case {
        std::function<void()> script;
        HRESULT code;
    };
    const Case kCases[] = {
        {[&] {
             server_.Script(Reply([](TPMLNode* root) {
                 Add(Add(root, "USER", {{"type", "reply"}}), "LOGIN", {{"result", "failed"}});
             }));
         },
         VEXA_E_LOGINFAIL},
        // A connection closed without an answer.
        {[] {}, VEXA_E_NOTCONNECTED},
        {[&] {
             server_.Script(Reply([](TPMLNode* root) {
                 Add(Add(root, "USER"), "ERROR", {{"code", "500"}}, "down");
             }));
         },
         VEXA_E_SERVERERROR},
    };
    for (const Case& c : kCases) {
        c.script();
        try {
            session_.SetAccount("abc", "pw");
            ADD_FAILURE() << "the login went through";
        } catch (const ComponentError& e) {
            EXPECT_EQ(e.Code(), c.code) << e.what();
            EXPECT_TRUE(std::string(e.what()).starts_with("Login: ")) << e.what();
            EXPECT_TRUE(std::string(e.what()).ends_with(" (" + HexCode(c.code) + ")")) << e.what();
        }
    }
    // The text is the component's own, as on Message.
    try {
        session_.SetAccount("abc", "pw");
        ADD_FAILURE() << "a closed connection went unnoticed";
    } catch (const ComponentError& e) {
        EXPECT_STREQ(e.what(), "Login: 서버에 접속할 수 없습니다. (0x8004A001)");
    }
}

TEST_F(LegacyCommands, SendReservesForTheLocalTimeGivenAndReportsEachReceiver) {
    LogIn();
    server_.Script(Reply([](TPMLNode* root) {
        AddLoginReply(root);
        TPMLNode* send = Add(root, "SENDSMS", {{"type", "reply"}});
        Add(send, "RESULT", {{"phone", "010-1234-5678"}, {"date", "203001"}, {"index", "17"}}, "succeed");
        Add(send, "RESULT", {{"phone", "02-000-0000"}, {"date", "203001"}, {"index", "17"}}, "failed");
        Add(Add(root, "USER", {{"type", "reply"}}), "STATUS");
    }));
    SendRequest request;
    request.receivers = {{"", "010-1234-5678"}, {"", "02-000-0000"}};
    request.text = "내일 회의는 10시에 시작합니다.";
    request.returnPhone = "02-111-2222";
    request.reservation = vexa::DateParts{2030, 1, 2, 9, 30, 0};
    const CommandResult result = RunSend(session_, request);

    const TPMLNode* send = Find({"SENDSMS"});
    EXPECT_EQ(TPMLTree::GetChildText(send, "SENDER"), "02-111-2222");
    EXPECT_EQ(TPMLTree::GetChildText(send, "COUNT"), "2");
    const auto receivers = Children(send, "RECEIVER");
    ASSERT_EQ(receivers.size(), 2u);
    const char* phones[] = {"010-1234-5678", "02-000-0000"};
    for (size_t i = 0; i < receivers.size(); ++i) {
        EXPECT_EQ(TPMLTree::GetAttribute(receivers[i], "phone"), phones[i]);
        EXPECT_EQ(TPMLTree::GetChildText(receivers[i], "MESSAGE"), Local(request.text));
        const TPMLNode* when = TPMLTree::FindChild(receivers[i], "SENDTIME");
        EXPECT_EQ(TPMLTree::GetAttribute(when, "mode"), "reservation");
        EXPECT_EQ(TPMLTree::GetAttribute(when, "value"), "2030-01-02 09:30:00");
    }

    EXPECT_FALSE(result.complete) << "one receiver failed";
    EXPECT_EQ(RenderText(result.report),
              "Type          sms\n"
              "Reserved for  2030-01-02 09:30:00\n"
              "\n"
              "Phone          Result     Month   Index\n"
              "-------------  ---------  ------  -----\n"
              "010-1234-5678  succeeded  203001  17\n"
              "02-000-0000    failed     203001  17\n"
              "\n"
              "1 accepted, 1 refused, credit 0 left\n");
}

TEST_F(LegacyCommands, SendNowSaysSystemTimeAndAReplyWithoutResultsIsNotComplete) {
    LogIn();
    server_.Script(Reply([](TPMLNode* root) { Add(root, "USER", {{"type", "reply"}}); }));
    SendRequest request;
    request.receivers = {{"", "0101234"}};
    request.text = "hello";
    const CommandResult result = RunSend(session_, request);
    const TPMLNode* when = Find({"SENDSMS", "RECEIVER", "SENDTIME"});
    EXPECT_EQ(TPMLTree::GetAttribute(when, "mode"), "direct");
    EXPECT_EQ(TPMLTree::GetAttribute(when, "value"), "systemtime");
    EXPECT_FALSE(result.complete);
    EXPECT_NE(RenderText(result.report).find("The service reported no receivers."), std::string::npos);
}

TEST_F(LegacyCommands, SendWithoutCreditIsRefused) {
    LogIn();
    server_.Script(Reply([](TPMLNode* root) {
        Add(Add(root, "SENDSMS", {{"type", "reply"}}), "ERROR", {{"code", "200"}}, "no credit");
    }));
    SendRequest request;
    request.receivers = {{"", "0101234"}};
    request.text = "hello";
    try {
        RunSend(session_, request);
        ADD_FAILURE() << "the refusal went unnoticed";
    } catch (const ComponentError& e) {
        EXPECT_EQ(e.Code(), VEXA_E_NEEDFORCALL);
        EXPECT_TRUE(std::string(e.what()).starts_with("SendSMS: ")) << e.what();
    }
}

TEST_F(LegacyCommands, LogsAskForTheMonthOrTheDaysAndShowLocalTimes) {
    LogIn();
    struct Case {
        LogsRequest request;
        const char* element;
        const char* key;
        const char* replyList;
    };
    LogsRequest month;
    month.month = {2024, 3};
    LogsRequest days = month;
    days.days = DayRange{1, 9};
    days.reservedOnly = true;
    days.type = VEXA_MESSAGE_TYPE_SMS;
    const Case kCases[] = {
        {month, "REFER", "202403", "REFER"},
        {days, "REFERRES", "2024030109", "REFERRES"},
    };
    for (const Case& c : kCases) {
        server_.Script(Reply([&](TPMLNode* root) {
            TPMLNode* list = Add(Add(root, "LOGLIST", {{"type", "reply"}}), c.replyList);
            Add(list, "LOG",
                {{"date", "202403"},
                 {"index", "17"},
                 {"class", "reservation"},
                 {"phoneSend", "010-1234-5678"},
                 {"phoneBack", "02-000-0000"},
                 {"countTotal", "3"},
                 {"countSucceed", "2"},
                 {"countFailure", "1"},
                 {"message", Local("예약 문자입니다")},
                 {"timeSend", "1709615229"},
                 {"timeWrite", "1709593200"}});
        }));
        const CommandResult result = RunLogs(session_, c.request);
        EXPECT_EQ(TPMLTree::GetChildText(Find({"LOGLIST", c.element}), "DATE"), c.key) << c.element;
        const std::string text = RenderText(result.report);
        EXPECT_NE(
            text.find(
                "Index  Type  Mode      Send time            Written              State             Total"
                "  Delivered  Pending  Failed  Receiver       Message\n"),
            std::string::npos)
            << text;
        EXPECT_NE(
            text.find(
                "   17  sms   reserved  2024-03-05 14:07:09  2024-03-05 08:00:00  partly delivered      3"
                "          2        0       1  010-1234-5678  예약 문자입니다\n"),
            std::string::npos)
            << text;
        EXPECT_NE(Json(result.report).find(R"("returnPhone": "02-000-0000")"), std::string::npos);
    }
}

TEST_F(LegacyCommands, LogsWithoutAListInTheReplyAreAnError) {
    LogIn();
    server_.Script(Reply([](TPMLNode* root) { Add(root, "USER", {{"type", "reply"}}); }));
    LogsRequest request;
    request.month = {2024, 3};
    EXPECT_THROW(RunLogs(session_, request), std::runtime_error);
}

TEST_F(LegacyCommands, DetailNamesTheTransferAndListsItsReceivers) {
    LogIn();
    server_.Script(Reply([](TPMLNode* root) {
        TPMLNode* group = Add(Add(root, "LOGDETAIL", {{"type", "reply"}}), "REFER",
                              {{"date", "202403"}, {"index", "17"}, {"phoneBack", "02-000-0000"}});
        Add(group, "LOG",
            {{"phoneSend", "010-1234-5678"},
             {"message", "m"},
             {"status", "3"},
             {"result", "0"},
             {"tranDate", "2024-03-05 14:07:09"}});
        Add(group, "LOG",
            {{"phoneSend", "010-0000-0000"}, {"message", "m"}, {"status", "2"}, {"result", "2"}});
    }));
    const CommandResult result = RunDetail(session_, {{2024, 3}, "17", VEXA_MESSAGE_TYPE_ALL});
    const TPMLNode* asked = Find({"LOGDETAIL", "REFER"});
    EXPECT_EQ(TPMLTree::GetAttribute(asked, "date"), "202403");
    EXPECT_EQ(TPMLTree::GetAttribute(asked, "index"), "17");
    EXPECT_EQ(RenderText(result.report),
              "Month         202403\n"
              "Index         17\n"
              "Type          sms\n"
              "Return phone  02-000-0000\n"
              "\n"
              "Phone          Name  State      Delivered            Message\n"
              "-------------  ----  ---------  -------------------  -------\n"
              "010-1234-5678        delivered  2024-03-05 14:07:09  m\n"
              "010-0000-0000        pending                         m\n");
}

TEST_F(LegacyCommands, DetailOfATransferTheServiceDoesNotKnowIsAnError) {
    LogIn();
    server_.Script(Reply([](TPMLNode* root) { Add(root, "LOGDETAIL", {{"type", "reply"}}); }));
    try {
        RunDetail(session_, {{2024, 3}, "17", VEXA_MESSAGE_TYPE_ALL});
        ADD_FAILURE() << "an empty answer went unnoticed";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "the service knows no transfer 17 in 2024-03");
    }
}

TEST_F(LegacyCommands, CancelAndDeleteSendEveryIndexInOnePacket) {
    LogIn();
    struct Case {
        ManageRequest::Action action;
        const char* element;
        std::vector<std::pair<const char*, std::string>> answer;  // of index 17; 18 is left out
        const char* table;
    };
    const Case kCases[] = {
        {ManageRequest::Action::Cancel,
         "CANCEL",
         {{"date", "202403"},
          {"index", "17"},
          {"countTotal", "3"},
          {"countCanceled", "3"},
          {"countRemain", "0"}},
         "Month   Index  Result     Total  OK  Failed\n"
         "------  -----  ---------  -----  --  ------\n"
         "202403     17  succeeded      3   3       0\n"},
        {ManageRequest::Action::Delete,
         "DROP",
         {{"date", "202403"}, {"index", "17"}, {"result", "succeed"}},
         "Month   Index  Result\n"
         "------  -----  ---------\n"
         "202403     17  succeeded\n"},
    };
    for (const Case& c : kCases) {
        server_.Script(Reply([&](TPMLNode* root) {
            TPMLNode* log = Add(Add(Add(root, "LOGLIST", {{"type", "reply"}}), c.element), "LOG");
            for (const auto& [name, value] : c.answer) TPMLTree::SetAttribute(log, name, value);
        }));
        ManageRequest request;
        request.action = c.action;
        request.month = {2024, 3};
        request.indexes = {"17", "18"};
        const CommandResult result = RunManage(session_, request);
        const auto entries = Children(Find({"LOGLIST", c.element}), "LOG");
        ASSERT_EQ(entries.size(), 2u) << c.element;
        EXPECT_EQ(TPMLTree::GetAttribute(entries[0], "index"), "17");
        EXPECT_EQ(TPMLTree::GetAttribute(entries[1], "index"), "18");
        EXPECT_EQ(TPMLTree::GetAttribute(entries[1], "date"), "202403");
        EXPECT_FALSE(result.complete) << "the service answered for one of the two entries only";
        EXPECT_EQ(RenderText(result.report), c.table);
    }
}

}  // namespace
}  // namespace vexa_cli
