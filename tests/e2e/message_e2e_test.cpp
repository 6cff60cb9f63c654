// Every Message operation through the module against a real sandbox over HTTPS, and the
// sandbox's rules as a host meets them.
#include <set>
#include <thread>

#include "e2e_fixture.h"
#include "vexa/calendar.h"

namespace vexa::e2e {
namespace {

using vexa_host::Utf8;

// Reading and writing properties as a C++ host does.
template <class Itf>
std::string Text(Itf* obj, HRESULT (STDMETHODCALLTYPE Itf::*get)(BSTR*)) {
    ModuleString s(Module());
    EXPECT_EQ((obj->*get)(s.Out()), S_OK);
    return Utf8(s.Text());
}

template <class Itf, class T>
T Value(Itf* obj, HRESULT (STDMETHODCALLTYPE Itf::*get)(T*)) {
    T value{};
    EXPECT_EQ((obj->*get)(&value), S_OK);
    return value;
}

template <class Itf>
ComPtr<Itf> As(const ComPtr<IDispatch>& obj, const IID& iid) {
    ComPtr<Itf> typed;
    EXPECT_EQ(obj.As(iid, typed), S_OK);
    return typed;
}

template <class Collection>
ComPtr<IDispatch> ItemAt(Collection* list, LONG index) {
    ComPtr<IDispatch> item;
    EXPECT_EQ(list->get_Item(index, item.Out()), S_OK);
    return item;
}

struct Month {
    LONG year, month;
    std::string key;
};

Month ThisMonth(int64_t now) {
    const time_t t = static_cast<time_t>(now);
    tm local{};
    localtime_r(&t, &local);
    char key[32];
    std::snprintf(key, sizeof key, "%04d%02d", local.tm_year + 1900, local.tm_mon + 1);
    return {local.tm_year + 1900, local.tm_mon + 1, key};
}

// The local time of a Unix time as an automation DATE, as a host computes it.
DATE LocalDate(int64_t unixTime) {
    const time_t t = static_cast<time_t>(unixTime);
    tm local{};
    localtime_r(&t, &local);
    DATE date = 0;
    EXPECT_TRUE(vexa::PartsToDate(
        {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec},
        date));
    return date;
}

class MessageEndToEnd : public EndToEndTest {
protected:
    struct Addressee {
        std::string phone;
        std::string name;
        DATE at = 0;  // 0: at once
    };

    ComPtr<ISendResults> Send(IMessage* message, const std::vector<Addressee>& to, VEXA_MESSAGE_TYPE type,
                              const std::string& text, const std::string& subject = "",
                              HRESULT expected = S_OK) {
        const VexaModule& m = Module();
        ComPtr<IDispatch> listDisp, contentsDisp;
        EXPECT_EQ(message->CreateReceivers(listDisp.Out()), S_OK);
        ComPtr<IReceivers> list = As<IReceivers>(listDisp, IID_IReceivers);
        for (const Addressee& a : to) {
            ModuleString phone(m, U(a.phone)), body(m, U(text)), name(m, U(a.name));
            EXPECT_EQ(
                list->AddDirect(phone.Get(), body.Get(), a.at == 0 ? VEXA_DIRECT : VEXA_RESERVATION, a.at),
                S_OK);
            LONG count = 0;
            list->get_Count(&count);
            As<IReceiver2>(ItemAt(list.Get(), count - 1), IID_IReceiver2)->put_Name(name.Get());
        }
        EXPECT_EQ(message->CreateContents(contentsDisp.Out()), S_OK);
        ComPtr<IContents> contents = As<IContents>(contentsDisp, IID_IContents);
        ModuleString common(m, U(text)), title(m, U(subject)), from(m, u"02-123-4567");
        contents->put_Type(type);
        contents->put_Message(common.Get());
        contents->put_Subject(title.Get());
        ComPtr<IDispatch> results;
        EXPECT_EQ(message->Send(from.Get(), listDisp.Get(), contentsDisp.Get(), results.Out()), expected);
        return results ? As<ISendResults>(results, IID_ISendResults) : ComPtr<ISendResults>();
    }

    LONG FreeCall(IMessage* message) {
        EXPECT_EQ(message->UpdateLoginInfo(), S_OK);
        ComPtr<IDispatch> info;
        EXPECT_EQ(message->get_LoginInfo(info.Out()), S_OK);
        return Value(As<ILoginInfo>(info, IID_ILoginInfo).Get(), &ILoginInfo::get_FreeCall);
    }

    ComPtr<ILogLists> Logs(IMessage* message, VEXA_LOGBY by = VEXA_BYALL,
                           VEXA_MESSAGE_TYPE type = VEXA_MESSAGE_TYPE_ALL, LONG startDay = 0,
                           LONG endDay = 0) {
        const Month month = ThisMonth(clock_.Now());
        ComPtr<IDispatch> lists;
        EXPECT_EQ(message->RequestLogBound(month.year, month.month, startDay, endDay, by, type, lists.Out()),
                  S_OK);
        return As<ILogLists>(lists, IID_ILogLists);
    }

    ComPtr<ILogDetails> Detail(IMessage* message, const std::string& index, VEXA_MESSAGE_TYPE type) {
        const Month month = ThisMonth(clock_.Now());
        ModuleString idx(Module(), U(index));
        ComPtr<IDispatch> details;
        EXPECT_EQ(message->RequestLogDetail(month.year, month.month, idx.Get(), type, details.Out()), S_OK);
        return As<ILogDetails>(details, IID_ILogDetails);
    }

    ComPtr<ICancelResult> Cancel(IMessage* message, const std::string& index, VEXA_MESSAGE_TYPE type) {
        const Month month = ThisMonth(clock_.Now());
        ModuleString idx(Module(), U(index));
        ComPtr<IDispatch> result;
        EXPECT_EQ(message->CancelReservation(month.year, month.month, idx.Get(), type, result.Out()), S_OK);
        return As<ICancelResult>(result, IID_ICancelResult);
    }
};

TEST_F(MessageEndToEnd, TheWholeStoryAgreesWithWhatTheSandboxStored) {
    ComPtr<IMessage> message = NewMessage();
    const Month month = ThisMonth(clock_.Now());

    ASSERT_EQ(message->UpdateLoginInfo(), S_OK);
    ComPtr<IDispatch> infoDisp;
    ASSERT_EQ(message->get_LoginInfo(infoDisp.Out()), S_OK);
    ComPtr<ILoginInfo> info = As<ILoginInfo>(infoDisp, IID_ILoginInfo);
    EXPECT_EQ(Text(info.Get(), &ILoginInfo::get_UserName), "김민수");
    EXPECT_EQ(Text(info.Get(), &ILoginInfo::get_UserPhoneNumber), "02-123-4567");
    EXPECT_EQ(Value(info.Get(), &ILoginInfo::get_FreeCall), kCredit);

    // An SMS to three: one delivered, one number that does not exist, one that is no number.
    ComPtr<ISendResults> sms =
        Send(message.Get(), {{"010-1234-5678", "홍길동"}, {"010-5555-0000", ""}, {"abc", ""}},
             VEXA_MESSAGE_TYPE_SMS, "안녕하세요");
    ASSERT_TRUE(sms);
    ASSERT_EQ(Value(sms.Get(), &ISendResults::get_Count), 3);
    const VEXA_RESULT expected[] = {VEXA_SUCCEEDED, VEXA_SUCCEEDED, VEXA_FAILED};
    for (LONG i = 0; i < 3; ++i) {
        ComPtr<ISendResult> r = As<ISendResult>(ItemAt(sms.Get(), i), IID_ISendResult);
        EXPECT_EQ(Value(r.Get(), &ISendResult::get_Result), expected[i]) << i;
        if (expected[i] == VEXA_SUCCEEDED) {
            EXPECT_EQ(Text(r.Get(), &ISendResult::get_Date), month.key);
            EXPECT_EQ(Text(r.Get(), &ISendResult::get_Index), "1");
        }
    }
    EXPECT_EQ(info->get_FreeCall(nullptr), S_OK);
    EXPECT_EQ(Value(info.Get(), &ILoginInfo::get_FreeCall), kCredit - 2);  // refreshed by the send's reply

    ComPtr<ISendResults> lms =
        Send(message.Get(), {{"010-2222-3333", ""}}, VEXA_MESSAGE_TYPE_LMS, "긴 본문", "제목");
    EXPECT_EQ(Text(lms.Get(), &ISendResults::get_Index), "2");
    ComPtr<ISendResults> later = Send(message.Get(), {{"010-7777-8888", "", LocalDate(clock_.Now() + 3600)}},
                                      VEXA_MESSAGE_TYPE_SMS, "나중에");
    EXPECT_EQ(Text(later.Get(), &ISendResults::get_Index), "3");
    EXPECT_EQ(FreeCall(message.Get()), kCredit - 2 - 3 - 1);

    ComPtr<ILogLists> all = Logs(message.Get());
    ASSERT_EQ(Value(all.Get(), &ILogLists::get_Count), 3);
    ComPtr<IDispatch> third = ItemAt(all.Get(), 2);
    EXPECT_EQ(Value(As<ILogList>(third, IID_ILogList).Get(), &ILogList::get_SendMode), VEXA_RESERVATION);
    EXPECT_NEAR(Value(As<ILogList>(third, IID_ILogList).Get(), &ILogList::get_SendTime),
                LocalDate(clock_.Now() + 3600), 1.0 / 86400);
    EXPECT_EQ(Value(As<ILogList3>(ItemAt(all.Get(), 1), IID_ILogList3).Get(), &ILogList3::get_Type),
              VEXA_MESSAGE_TYPE_LMS);
    EXPECT_EQ(Value(Logs(message.Get(), VEXA_BYRESERVATION).Get(), &ILogLists::get_Count), 1);
    EXPECT_EQ(Value(Logs(message.Get(), VEXA_BYALL, VEXA_MESSAGE_TYPE_LMS).Get(), &ILogLists::get_Count), 1);

    // Details: the rejected receiver was never stored; the others carry their delivery.
    ComPtr<ILogDetails> details = Detail(message.Get(), "1", VEXA_MESSAGE_TYPE_SMS);
    ASSERT_EQ(Value(details.Get(), &ILogDetails::get_Count), 2);
    EXPECT_EQ(Text(details.Get(), &ILogDetails::get_ReturnPhone), "02-123-4567");
    ComPtr<IDispatch> first = ItemAt(details.Get(), 0), second = ItemAt(details.Get(), 1);
    EXPECT_EQ(Text(As<ILogDetail2>(first, IID_ILogDetail2).Get(), &ILogDetail2::get_Name), "홍길동");
    EXPECT_EQ(Value(As<ILogDetail>(first, IID_ILogDetail).Get(), &ILogDetail::get_Status),
              VEXA_TRANS_RECEIVED);
    EXPECT_EQ(Value(As<ILogDetail>(first, IID_ILogDetail).Get(), &ILogDetail::get_Result),
              VEXA_TRANS_SUCCEEDED);
    EXPECT_EQ(Value(As<ILogDetail>(second, IID_ILogDetail).Get(), &ILogDetail::get_Result),
              VEXA_TRANS_NOTEXISTNUMBER);
    ComPtr<ILogDetails> waiting = Detail(message.Get(), "3", VEXA_MESSAGE_TYPE_SMS);
    EXPECT_EQ(Value(As<ILogDetail>(ItemAt(waiting.Get(), 0), IID_ILogDetail).Get(), &ILogDetail::get_Status),
              VEXA_TRANS_REQUESTED);

    // Cancelling gives the reservation's credit back; a direct transfer cannot be cancelled.
    ComPtr<ICancelResult> cancelled = Cancel(message.Get(), "3", VEXA_MESSAGE_TYPE_SMS);
    EXPECT_EQ(Value(cancelled.Get(), &ICancelResult::get_Result), VEXA_SUCCEEDED);
    EXPECT_EQ(Value(cancelled.Get(), &ICancelResult::get_CountTotal), 1);
    EXPECT_EQ(Value(cancelled.Get(), &ICancelResult::get_CountSucceed), 1);
    EXPECT_EQ(FreeCall(message.Get()), kCredit - 2 - 3);
    EXPECT_EQ(Value(Cancel(message.Get(), "1", VEXA_MESSAGE_TYPE_SMS).Get(), &ICancelResult::get_Result),
              VEXA_FAILED);

    // Deleting removes a transfer from the log; an unknown one is refused.
    ModuleString two(Module(), u"2"), unknown(Module(), u"99");
    ComPtr<IDispatch> deleted, notThere;
    ASSERT_EQ(message->DeleteLog(month.year, month.month, two.Get(), VEXA_MESSAGE_TYPE_LMS, deleted.Out()),
              S_OK);
    EXPECT_EQ(Value(As<IDeleteResult>(deleted, IID_IDeleteResult).Get(), &IDeleteResult::get_Result),
              VEXA_SUCCEEDED);
    ASSERT_EQ(
        message->DeleteLog(month.year, month.month, unknown.Get(), VEXA_MESSAGE_TYPE_SMS, notThere.Out()),
        S_OK);
    EXPECT_EQ(Value(As<IDeleteResult>(notThere, IID_IDeleteResult).Get(), &IDeleteResult::get_Result),
              VEXA_FAILED);
    EXPECT_EQ(Value(Logs(message.Get()).Get(), &ILogLists::get_Count), 2);
}

TEST_F(MessageEndToEnd, AReservationThatIsDueIsDeliveredAndCannotBeCancelled) {
    ComPtr<IMessage> message = NewMessage();
    Send(message.Get(), {{"010-1", "", LocalDate(clock_.Now() + 3600)}}, VEXA_MESSAGE_TYPE_SMS, "곧");
    clock_.Advance(2 * 3600);
    ComPtr<ILogDetails> details = Detail(message.Get(), "1", VEXA_MESSAGE_TYPE_SMS);
    EXPECT_EQ(Value(As<ILogDetail>(ItemAt(details.Get(), 0), IID_ILogDetail).Get(), &ILogDetail::get_Status),
              VEXA_TRANS_RECEIVED);
    EXPECT_EQ(Value(Cancel(message.Get(), "1", VEXA_MESSAGE_TYPE_SMS).Get(), &ICancelResult::get_Result),
              VEXA_FAILED);
}

TEST_F(MessageEndToEnd, AccountAndCreditRules) {
    EXPECT_EQ(NewMessage("kim", "wrong")->UpdateLoginInfo(), VEXA_E_LOGINFAIL);
    EXPECT_EQ(NewMessage("nobody", "secret")->UpdateLoginInfo(), VEXA_E_LOGINFAIL);

    ComPtr<IMessage> message = NewMessage();
    std::vector<Addressee> many(kCredit / 3 + 1, Addressee{"010-1111-2222", ""});
    EXPECT_FALSE(Send(message.Get(), many, VEXA_MESSAGE_TYPE_LMS, "too much", "", VEXA_E_NEEDFORCALL));
    EXPECT_EQ(Value(Logs(message.Get()).Get(), &ILogLists::get_Count), 0);  // nothing stored
    EXPECT_EQ(FreeCall(message.Get()), kCredit);
}

TEST_F(MessageEndToEnd, DayRangesSelectByTheDayTheTransferWasWritten) {
    ComPtr<IMessage> message = NewMessage();
    Send(message.Get(), {{"010-1", ""}}, VEXA_MESSAGE_TYPE_SMS, "오늘");
    const time_t now = static_cast<time_t>(clock_.Now());
    tm local{};
    localtime_r(&now, &local);
    const LONG today = local.tm_mday;
    EXPECT_EQ(Value(Logs(message.Get(), VEXA_BYALL, VEXA_MESSAGE_TYPE_ALL, today, today).Get(),
                    &ILogLists::get_Count),
              1);
    EXPECT_EQ(
        Value(Logs(message.Get(), VEXA_BYALL, VEXA_MESSAGE_TYPE_ALL, 0, today).Get(), &ILogLists::get_Count),
        1);
    if (today < 28) {
        EXPECT_EQ(Value(Logs(message.Get(), VEXA_BYALL, VEXA_MESSAGE_TYPE_ALL, today + 1, 0).Get(),
                        &ILogLists::get_Count),
                  0);
    }
}

TEST_F(MessageEndToEnd, ConcurrentHostsNeverLoseOrShareATransfer) {
    constexpr int kThreads = 4, kSends = 10;
    std::vector<std::vector<std::string>> indexes(kThreads);
    std::vector<std::thread> hosts;
    for (int t = 0; t < kThreads; ++t) {
        hosts.emplace_back([&, t] {
            ComPtr<IMessage> message = NewMessage();  // each host thread its own object
            for (int i = 0; i < kSends; ++i) {
                ComPtr<ISendResults> r =
                    Send(message.Get(), {{"010-1", ""}}, VEXA_MESSAGE_TYPE_SMS, "동시에");
                if (r) indexes[t].push_back(Text(r.Get(), &ISendResults::get_Index));
            }
        });
    }
    for (std::thread& h : hosts) h.join();
    std::set<std::string> distinct;
    for (const auto& list : indexes)
        for (const std::string& index : list) distinct.insert(index);
    EXPECT_EQ(distinct.size(), static_cast<size_t>(kThreads * kSends));
    EXPECT_EQ(Value(Logs(NewMessage().Get()).Get(), &ILogLists::get_Count), kThreads * kSends);
}

TEST_F(MessageEndToEnd, ARestartKeepsAccountsTransfersAndCertificate) {
    Send(NewMessage().Get(), {{"010-1", ""}}, VEXA_MESSAGE_TYPE_SMS, "남아 있음");
    const std::string pem = sandbox_->Certificate().certificate.string();
    Restart();
    EXPECT_EQ(sandbox_->Certificate().certificate.string(), pem);
    ComPtr<IMessage> message = NewMessage();  // trusts the same certificate file
    EXPECT_EQ(Value(Logs(message.Get()).Get(), &ILogLists::get_Count), 1);
    EXPECT_EQ(FreeCall(message.Get()), kCredit - 1);
}

}  // namespace
}  // namespace vexa::e2e
