// The SMS object against a scripted legacy server: the checks of each method and their order, the
// packets, how every reply element maps, and the codes of failures.
#include "legacy/sms.h"

#include <functional>
#include <gtest/gtest.h>
#include <initializer_list>
#include <string>
#include <tuple>
#include <utility>

#include "automation/date.h"
#include "automation/text.h"
#include "automation_test_support.h"
#include "contract/log_detail.h"
#include "contract/login_info.h"
#include "contract/outcome_results.h"
#include "contract/send_result.h"
#include "legacy/protocol/packet_frame.h"
#include "legacy/protocol/scramble.h"
#include "scoped_time_zone.h"
#include "scripted_tcp_server.h"
#include "tpml_replies.h"

namespace vexa {
namespace {

using Quill::CTPMLParser;
using Quill::TPMLNode;
using Quill::TPMLTree;
using test::Add;
using test::CountOf;
using test::Get;
using test::ItemOf;
using test::Reply;

void LoginReply(TPMLNode* root, const char* result = "succeed", const char* call = "42") {
    TPMLNode* user = Add(root, "USER");
    TPMLNode* login = Add(user, "LOGIN", {{"result", result}});
    Add(login, "VERSION", {}, "4.2");
    Add(login, "SERVERTIME", {}, "1709615220");
    Add(Add(user, "STATUS"), "CALL", {}, call);
    TPMLNode* refer = Add(user, "REFER");
    Add(refer, "phone_return", {}, "02-000-0000");
    Add(refer, "user_name", {}, "Kim");
}

void StatusReply(TPMLNode* root, const char* call) {
    Add(Add(Add(root, "USER"), "STATUS"), "CALL", {}, call);
}

class SmsTest : public test::ArrayBaseTest {
protected:
    void SetUp() override {
        test::ArrayBaseTest::SetUp();
        sms_->SetTimeoutsForTesting(
            {std::chrono::milliseconds(500), std::chrono::milliseconds(500), std::chrono::milliseconds(500)});
    }

    HRESULT LogIn(const char16_t* password = u"pw") {
        server_.Script(Reply([](TPMLNode* root) { LoginReply(root); }));
        return sms_->Login(Bstr(u"127.0.0.1").Get(), server_.Port(), Bstr(u"kim").Get(), Bstr(password).Get(),
                           nullptr);
    }

    // The last packet the server received, parsed.
    const CTPMLParser& LastPacket() {
        const auto requests = server_.Requests();
        packet_.Clear();
        if (requests.empty()) return packet_;
        const std::optional<std::string> text = VexaCore::UnframePacket(requests.back());
        EXPECT_TRUE(text && packet_.Parse(*text));
        return packet_;
    }
    // The names of the packet's top-level elements and of their element children.
    std::string Outline() {
        std::string out;
        for (const TPMLNode* top = LastPacket().Root()->FirstChild(); top; top = top->Next()) {
            out += top->Name() + "(";
            for (const TPMLNode* c = top->FirstChild(); c; c = c->Next())
                if (c->IsElement()) out += c->Name() + " ";
            out += ") ";
        }
        return out;
    }

    ComPtr<IReceivers> Receivers(std::initializer_list<const char16_t*> phones) {
        ComPtr<IDispatch> list;
        EXPECT_EQ(sms_->CreateReceivers(list.Out()), S_OK);
        ComPtr<IReceivers> typed = test::Query<IReceivers>(list, IID_IReceivers);
        for (const char16_t* phone : phones)
            typed->AddDirect(Bstr(phone).Get(), Bstr(u"hello").Get(), VEXA_DIRECT, 0.0);
        return typed;
    }

    ComPtr<ILoginInfo> Info() {
        ComPtr<IDispatch> info;
        EXPECT_EQ(sms_->get_LoginInfo(info.Out()), S_OK);
        return test::Query<ILoginInfo>(info, IID_ILoginInfo);
    }

    test::ScopedTimeZone zone_{"Asia/Seoul"};
    test::ScriptedTcpServer server_{VexaCore::MissingFrameBytes};
    ComPtr<SMS> sms_ = SMS::Make();
    CTPMLParser packet_;
};

TEST_F(SmsTest, LoginSendsTheAccountAndKeepsWhatTheServerTold) {
    ASSERT_EQ(LogIn(u"with spaces in it"), S_OK);
    EXPECT_EQ(Outline(), "USER(LOGIN STATUS REFER ) ");
    const TPMLNode* login = TPMLTree::FindChild(LastPacket().FirstElement(), "LOGIN");
    EXPECT_EQ(TPMLTree::GetChildText(login, "USER_ID"), "kim");
    const std::string sent = TPMLTree::GetChildText(login, "PASSWORD");
    EXPECT_EQ(sent.find(' '), std::string::npos);
    EXPECT_EQ(VexaCore::UnscrambleText(sent), "with spaces in it");
    const TPMLNode* etc = TPMLTree::FindChild(login, "ETCINFO");
    ASSERT_TRUE(etc);
    EXPECT_TRUE(TPMLTree::FindChild(etc, "servicecode", Quill::TPMLNodeKind::Attribute));
    EXPECT_EQ(TPMLTree::GetAttribute(etc, "modulename"), "vexa_legacy_tests");

    ComPtr<ILoginInfo> info = Info();
    EXPECT_EQ(Get(info, &ILoginInfo::get_UserPassword), u"with spaces in it");
    EXPECT_EQ(Get(info, &ILoginInfo::get_ServerIP), u"127.0.0.1");
    EXPECT_EQ(Get(info, &ILoginInfo::get_UserName), u"Kim");
    EXPECT_EQ(Get(info, &ILoginInfo::get_UserPhoneNumber), u"02-000-0000");
    EXPECT_EQ(Get(info, &ILoginInfo::get_FreeCall), 42);
    EXPECT_EQ(Get(info, &ILoginInfo::get_ServerPort), server_.Port());
    EXPECT_EQ(Get(info, &ILoginInfo::get_Logined), VEXA_SUCCEEDED);
}

TEST_F(SmsTest, LoginFailuresLeaveTheObjectLoggedOut) {
    const struct {
        std::function<void(TPMLNode*)> reply;  // none: the connection closes unanswered
        HRESULT code;
    } cases[] = {
        {[](TPMLNode* root) { LoginReply(root, "failed"); }, VEXA_E_LOGINFAIL},
        {[](TPMLNode* root) { Add(root, "USER"); }, VEXA_E_LOGINFAIL},  // no LOGIN at all
        {[](TPMLNode* root) {
             Add(Add(root, "USER"), "ERROR", {{"code", "9"}}, "down");
         },
         VEXA_E_SERVERERROR},
        {nullptr, VEXA_E_NOTCONNECTED},
    };
    for (const auto& c : cases) {
        ASSERT_EQ(LogIn(), S_OK);  // logged in first: a failed login logs out
        if (c.reply) server_.Script(Reply(c.reply));
        IDispatch* info = reinterpret_cast<IDispatch*>(0x1);
        EXPECT_EQ(sms_->Login(Bstr(u"127.0.0.1").Get(), server_.Port(), Bstr(u"kim").Get(), Bstr(u"pw").Get(),
                              &info),
                  c.code);
        EXPECT_EQ(info, nullptr);
        ComPtr<IDispatch> none;
        EXPECT_EQ(sms_->get_LoginInfo(none.Out()), VEXA_E_NOTLOGINED);
    }
}

TEST_F(SmsTest, UpdateLoginInfoKeepsWhatTheReplyDoesNotTellAndMarksTheLogin) {
    ASSERT_EQ(LogIn(), S_OK);
    server_.Script(Reply([](TPMLNode* root) { Add(root, "ERROR", {{"code", "500"}}); }));
    EXPECT_EQ(sms_->UpdateLoginInfo(), VEXA_E_SERVERERROR);
    server_.Script(Reply([](TPMLNode* root) { LoginReply(root, "failed"); }));
    EXPECT_EQ(sms_->UpdateLoginInfo(), VEXA_E_LOGINFAIL);
    EXPECT_EQ(Get(Info(), &ILoginInfo::get_Logined), VEXA_FAILED);

    // A status alone: the credit changes, the name and the mark of the login stay.
    server_.Script(Reply([](TPMLNode* root) { StatusReply(root, "7"); }));
    EXPECT_EQ(sms_->UpdateLoginInfo(), S_OK);
    EXPECT_EQ(Get(Info(), &ILoginInfo::get_UserName), u"Kim");
    EXPECT_EQ(Get(Info(), &ILoginInfo::get_FreeCall), 7);
    EXPECT_EQ(Get(Info(), &ILoginInfo::get_Logined), VEXA_FAILED);

    // An accepted login in any later reply marks it again.
    server_.Script(Reply([](TPMLNode* root) { LoginReply(root); }));
    EXPECT_EQ(sms_->UpdateLoginInfo(), S_OK);
    EXPECT_EQ(Get(Info(), &ILoginInfo::get_Logined), VEXA_SUCCEEDED);
}

TEST_F(SmsTest, EveryExchangingMethodNeedsALogin) {
    ComPtr<IDispatch> out;
    ComPtr<IReceivers> receivers = Receivers({u"010-1"});
    ComPtr<IDispatch> lists;
    sms_->CreateLogLists(lists.Out());
    EXPECT_EQ(sms_->UpdateLoginInfo(), VEXA_E_NOTLOGINED);
    EXPECT_EQ(sms_->SendSMS(nullptr, receivers.Get(), out.Out()), VEXA_E_NOTLOGINED);
    EXPECT_EQ(sms_->SendSMS(nullptr, nullptr, out.Out()), E_INVALIDARG);  // checked before the login
    EXPECT_EQ(sms_->RequestLog(2024, 3, VEXA_BYALL, out.Out()), VEXA_E_NOTLOGINED);
    EXPECT_EQ(sms_->RequestLog(2024, 3, VEXA_BYALL, nullptr), E_POINTER);
    EXPECT_EQ(sms_->RequestLogDetail(2024, 3, Bstr(u"1").Get(), out.Out()), VEXA_E_NOTLOGINED);
    EXPECT_EQ(sms_->RequestLogDetail(0, 3, Bstr(u"1").Get(), out.Out()), E_INVALIDARG);
    EXPECT_EQ(sms_->DeleteLogByLists(lists.Get(), out.Out()), VEXA_E_NOTLOGINED);
    EXPECT_EQ(sms_->CancelReservationByLists(nullptr, out.Out()), E_INVALIDARG);
    EXPECT_TRUE(server_.Requests().empty());
}

TEST_F(SmsTest, LogRangesAreCheckedBeforeConnecting) {
    ASSERT_EQ(LogIn(), S_OK);
    ComPtr<IDispatch> out;
    const struct {
        LONG year, month, start, end;
        VEXA_LOGBY by;
    } refused[] = {{2009, 4, 1, 31, VEXA_BYALL}, {0, 3, 0, 0, VEXA_BYALL},
                   {2009, 13, 0, 0, VEXA_BYALL}, {2009, 3, 0, 0, VEXA_LOGBY(2)},
                   {2009, 3, 0, 32, VEXA_BYALL}, {2100, 2, 1, 29, VEXA_BYALL}};
    for (const auto& r : refused)
        EXPECT_EQ(sms_->RequestLogBound(r.year, r.month, r.start, r.end, r.by, out.Out()), E_INVALIDARG)
            << r.year << "-" << r.month << " " << r.start << ".." << r.end;
    EXPECT_EQ(server_.Requests().size(), 1u);

    // Without both days there is no day check; the key keeps the 00.
    server_.Script(Reply([](TPMLNode* root) { Add(root, "LOGLIST"); }));
    EXPECT_EQ(sms_->RequestLogBound(2009, 4, 0, 15, VEXA_BYRESERVATION, out.Out()), S_OK);
    EXPECT_EQ(Outline(), "USER(LOGIN ) LOGLIST(REFERRES ) ");
    const TPMLNode* keys = TPMLTree::FindChild(LastPacket().Root()->FirstChild()->Next(), "REFERRES");
    EXPECT_EQ(TPMLTree::GetChildText(keys, "DATE"), "2009040015");
}

TEST_F(SmsTest, SendCarriesTheReceiversAndReadsResultsAndTheCredit) {
    ASSERT_EQ(LogIn(), S_OK);
    sms_->put_OfficeName(Bstr(u"Head office").Get());
    server_.Script(Reply([](TPMLNode* root) {
        Add(Add(root, "USER"), "LOGIN", {{"result", "succeed"}});
        TPMLNode* send = Add(root, "SENDSMS");
        Add(send, "RESULT", {{"phone", "010-1"}, {"date", "202403"}, {"index", "7"}}, "succeed");
        Add(send, "RESULT", {{"phone", "010-2"}, {"date", "202403"}, {"index", "7"}}, "failed");
        StatusReply(root, "40");
    }));
    ComPtr<IDispatch> results;
    ASSERT_EQ(sms_->SendSMS(Bstr(u"02-9").Get(), Receivers({u"010-1", u"010-2"}).Get(), results.Out()), S_OK);
    EXPECT_EQ(Outline(), "USER(LOGIN ) SENDSMS(SENDER COUNT RECEIVER RECEIVER ) USER(STATUS ) ");
    const TPMLNode* receiver = TPMLTree::FindChild(LastPacket().Root()->FirstChild()->Next(), "RECEIVER");
    EXPECT_EQ(TPMLTree::GetAttribute(receiver, "name"), "Head office");

    ComPtr<ISendResults> list = test::Query<ISendResults>(results, IID_ISendResults);
    ASSERT_EQ(CountOf(list), 2);
    ComPtr<ISendResult> result = ItemOf<ISendResult>(list, 1, IID_ISendResult);
    EXPECT_EQ(Get(result, &ISendResult::get_Result), VEXA_FAILED);
    EXPECT_EQ(Get(result, &ISendResult::get_Index), u"7");
    EXPECT_EQ(Get(Info(), &ILoginInfo::get_FreeCall), 40);

    // One receiver through SendSMSOne: the first result, whatever the base.
    SetArrayBase(1);
    server_.Script(Reply([](TPMLNode* root) {
        Add(Add(root, "SENDSMS"), "RESULT", {{"phone", "010-1"}, {"date", "202403"}, {"index", "8"}},
            "succeed");
    }));
    ComPtr<IDispatch> receiver1;
    ComPtr<IDispatch> one;
    sms_->CreateReceiverDirect(Bstr(u"010-1").Get(), Bstr(u"x").Get(), VEXA_DIRECT, 0.0, receiver1.Out());
    ASSERT_EQ(sms_->SendSMSOne(nullptr, receiver1.Get(), one.Out()), S_OK);
    ASSERT_TRUE(one);
}

TEST_F(SmsTest, WhatTheReplyElementsDecide) {
    ASSERT_EQ(LogIn(), S_OK);
    const auto goodSend = [](TPMLNode* root) {
        Add(Add(root, "SENDSMS"), "RESULT", {{"phone", "010-1"}}, "succeed");
    };
    const struct {
        const char* what;
        std::function<void(TPMLNode*)> reply;
        HRESULT code;
        bool results;
    } cases[] = {
        {"an error first",
         [&](TPMLNode* root) {
             Add(root, "ERROR", {{"code", "1"}});
             goodSend(root);
         },
         VEXA_E_SERVERERROR, false},
        {"no credit",
         [](TPMLNode* root) {
             Add(Add(root, "SENDSMS"), "ERROR", {{"code", "200"}});
         },
         VEXA_E_NEEDFORCALL, false},
        {"another send error",
         [](TPMLNode* root) {
             Add(Add(root, "SENDSMS"), "ERROR", {{"code", "201"}});
         },
         VEXA_E_SERVERERROR, false},
        {"no send element", [](TPMLNode* root) { Add(root, "OTHER"); }, S_OK, false},
        {"unknown elements are skipped",
         [&](TPMLNode* root) {
             Add(root, "NEWS");
             goodSend(root);
         },
         S_OK, true},
        {"a refused login",
         [&](TPMLNode* root) {
             LoginReply(root, "failed");
             goodSend(root);
         },
         VEXA_E_LOGINFAIL, false},
    };
    for (const auto& c : cases) {
        server_.Script(Reply(c.reply));
        ComPtr<IDispatch> results;
        EXPECT_EQ(sms_->SendSMS(nullptr, Receivers({u"010-1"}).Get(), results.Out()), c.code) << c.what;
        EXPECT_EQ(static_cast<bool>(results), c.results) << c.what;
    }
    // The refused login marked the account, but its information stays for later calls.
    VEXA_RESULT logined = VEXA_SUCCEEDED;
    Info()->get_Logined(&logined);
    EXPECT_EQ(logined, VEXA_FAILED);

    // Receivers that are all something else: nothing is sent.
    const size_t before = server_.Requests().size();
    ComPtr<IDispatch> foreign;
    sms_->CreateReceivers(foreign.Out());
    ComPtr<IDispatch> list;
    sms_->CreateLogList(list.Out());
    test::Query<IReceivers>(foreign, IID_IReceivers)->Add(list.Get());
    ComPtr<IDispatch> results;
    EXPECT_EQ(sms_->SendSMS(nullptr, foreign.Get(), results.Out()), VEXA_E_RECEIVERNOTFOUND);
    EXPECT_EQ(server_.Requests().size(), before);
}

TEST_F(SmsTest, LogRepliesBecomeLogObjects) {
    ASSERT_EQ(LogIn(), S_OK);
    server_.Script(Reply([](TPMLNode* root) {
        TPMLNode* refer = Add(Add(root, "LOGLIST"), "REFER");
        Add(refer, "LOG",
            {{"date", "202403"},
             {"index", "3"},
             {"class", "reservation"},
             {"phoneSend", "010-1"},
             {"countTotal", "2"},
             {"countSucceed", "1"},
             {"timeSend", "1709615220"}});
        Add(refer, "LOGS", {{"index", "9"}});
    }));
    ComPtr<IDispatch> logs;
    ASSERT_EQ(sms_->RequestLog(2024, 3, VEXA_BYALL, logs.Out()), S_OK);
    ComPtr<ILogLists> lists = test::Query<ILogLists>(logs, IID_ILogLists);
    ASSERT_EQ(CountOf(lists), 1);
    ComPtr<ILogList> log = ItemOf<ILogList>(lists, 0, IID_ILogList);
    EXPECT_EQ(Get(log, &ILogList::get_SendMode), VEXA_RESERVATION);
    EXPECT_EQ(Get(log, &ILogList::get_CountTotal), 2);
    DATE expected = 0;
    ASSERT_TRUE(DateFromTimeT(1709615220, expected));
    EXPECT_DOUBLE_EQ(Get(log, &ILogList::get_SendTime), expected);

    // Details: status 3 and result 2; a date of 18 characters is no date.
    server_.Script(Reply([](TPMLNode* root) {
        TPMLNode* refer = Add(Add(root, "LOGDETAIL"), "REFER", {{"date", "202403"}, {"index", "3"}});
        Add(refer, "LOG",
            {{"phoneSend", "010-1"}, {"status", "3"}, {"result", "2"}, {"tranDate", "2024-03-05 14:07:0"}});
    }));
    ComPtr<IDispatch> detailsDisp;
    ASSERT_EQ(sms_->RequestLogDetail(2024, 3, Bstr(u"3").Get(), detailsDisp.Out()), S_OK);
    EXPECT_EQ(Outline(), "USER(LOGIN ) LOGDETAIL(REFER ) ");
    ComPtr<ILogDetails> details = test::Query<ILogDetails>(detailsDisp, IID_ILogDetails);
    ComPtr<ILogDetail> detail = ItemOf<ILogDetail>(details, 0, IID_ILogDetail);
    VEXA_TRANS_STATUS status{};
    VEXA_TRANS_RESULT result{};
    DATE when = 1;
    detail->get_Status(&status);
    detail->get_Result(&result);
    detail->get_TransDate(&when);
    EXPECT_EQ(status, VEXA_TRANS_RECEIVED);
    EXPECT_EQ(result, VEXA_TRANS_NOTEXISTNUMBER);
    EXPECT_EQ(when, 0.0);
}

TEST_F(SmsTest, DeleteAndCancelResults) {
    ASSERT_EQ(LogIn(), S_OK);
    server_.Script(Reply([](TPMLNode* root) {
        Add(Add(Add(root, "LOGLIST"), "DROP"), "LOG",
            {{"date", "202403"}, {"index", "1"}, {"result", "failed"}});
    }));
    ComPtr<IDispatch> deleted;
    ASSERT_EQ(sms_->DeleteLog(2024, 3, Bstr(u"1").Get(), deleted.Out()), S_OK);
    EXPECT_EQ(Outline(), "USER(LOGIN ) LOGLIST(DROP ) USER(STATUS ) ");
    VEXA_RESULT outcome = VEXA_SUCCEEDED;
    test::Query<IDeleteResult>(deleted, IID_IDeleteResult)->get_Result(&outcome);
    EXPECT_EQ(outcome, VEXA_FAILED);

    for (const auto& [total, canceled, expected] :
         {std::tuple{"3", "3", VEXA_SUCCEEDED}, {"0", "0", VEXA_FAILED}, {"3", "2", VEXA_FAILED}}) {
        server_.Script(Reply([&](TPMLNode* root) {
            Add(Add(Add(root, "LOGLIST"), "CANCEL"), "LOG",
                {{"date", "202403"}, {"index", "2"}, {"countTotal", total}, {"countCanceled", canceled}});
        }));
        ComPtr<IDispatch> cancelled;
        ASSERT_EQ(sms_->CancelReservation(2024, 3, Bstr(u"2").Get(), cancelled.Out()), S_OK);
        test::Query<ICancelResult>(cancelled, IID_ICancelResult)->get_Result(&outcome);
        EXPECT_EQ(outcome, expected) << total << "/" << canceled;
    }
}

TEST_F(SmsTest, LateBoundMembersOfItsOwn) {
    ComPtr<IDispatch> disp = test::Query<IDispatch>(sms_, IID_IDispatch);
    for (const auto& [name, id] : {std::pair{u"SendSMS", 21}, {u"SendSMSOne", 22}, {u"ServiceCode", 2}}) {
        OLECHAR* names[] = {const_cast<OLECHAR*>(name)};
        DISPID found = 0;
        EXPECT_EQ(disp->GetIDsOfNames(IID_NULL, names, 1, 0, &found), S_OK);
        EXPECT_EQ(found, id);
    }
    OLECHAR* send[] = {const_cast<OLECHAR*>(u"Send")};
    DISPID none = 0;
    EXPECT_EQ(disp->GetIDsOfNames(IID_NULL, send, 1, 0, &none), DISP_E_UNKNOWNNAME);
}

}  // namespace
}  // namespace vexa
